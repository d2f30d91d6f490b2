// Where the main window opens: where it was, on the screens there are now,
// or in the middle of the main screen.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "common/window_placement.h"

namespace lumo {

void PrintTo(const ScreenRect& rect, std::ostream* out)
{
    *out << rect.width << "x" << rect.height << "+" << rect.x << "+" << rect.y;
}

} // namespace lumo

using namespace lumo;

TEST(WindowPlacement, KeptPlaceOpensWhereItWasWholeOnAScreenThatExists)
{
    // The main screen, and a larger one to its right.
    const std::vector<ScreenRect> screens{{0, 0, 1280, 1000}, {1280, 0, 1920, 1080}};
    EXPECT_EQ(PlaceOnScreens(ScreenRect{100, 80, 800, 600}, screens),
              (ScreenRect{100, 80, 800, 600}));
    EXPECT_EQ(PlaceOnScreens(ScreenRect{1500, 200, 800, 600}, screens),
              (ScreenRect{1500, 200, 800, 600}));
    // Partly off a screen: moved onto the one it overlaps most, whole.
    EXPECT_EQ(PlaceOnScreens(ScreenRect{-300, 900, 800, 600}, screens),
              (ScreenRect{0, 400, 800, 600}));
    EXPECT_EQ(PlaceOnScreens(ScreenRect{1100, 100, 800, 600}, screens),
              (ScreenRect{1280, 100, 800, 600}));
    // Larger than the screen: as large as it.
    EXPECT_EQ(PlaceOnScreens(ScreenRect{1000, 0, 3000, 2000}, screens),
              (ScreenRect{1280, 0, 1920, 1080}));
    // On a screen that is gone: on the main screen, its size kept.
    EXPECT_EQ(PlaceOnScreens(ScreenRect{3500, 300, 800, 600}, screens),
              (ScreenRect{480, 300, 800, 600}));
    EXPECT_EQ(PlaceOnScreens(ScreenRect{-900, -700, 800, 600}, screens),
              (ScreenRect{0, 0, 800, 600}));
}

TEST(WindowPlacement, FirstStartOpensInTheMiddleOfTheMainScreen)
{
    const std::vector<ScreenRect> screens{{1920, 0, 1280, 1000}, {0, 0, 1920, 1080}};
    EXPECT_EQ(PlaceOnScreens(std::nullopt, screens), (ScreenRect{2048, 140, 1024, 720}));
    // So does a kept size too small to use.
    EXPECT_EQ(PlaceOnScreens(ScreenRect{100, 80, 390, 47}, screens),
              (ScreenRect{2048, 140, 1024, 720}));
    // A screen smaller than the default size: as large as its work area.
    EXPECT_EQ(PlaceOnScreens(std::nullopt, {{0, 30, 800, 570}}), (ScreenRect{0, 30, 800, 570}));
    // No screen known: the place as it is.
    EXPECT_EQ(PlaceOnScreens(std::nullopt, {}), kDefaultWindowRect);
    EXPECT_EQ(PlaceOnScreens(ScreenRect{100, 80, 800, 600}, {}), (ScreenRect{100, 80, 800, 600}));
}
