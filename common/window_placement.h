#pragma once
// Where the main window sits when it is neither maximised nor minimised. The
// place is kept in a settings group of its own, so that a window started
// maximised still has a usable size to return to.
#include <optional>
#include <vector>

namespace lumo {

class ProfileStore;

inline constexpr const char* kWindowSection = "Window";

struct ScreenRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ScreenRect&) const = default;
};

// The default size of the main window, and the smallest kept size that is
// still usable (menu bar, tree and page all show).
inline constexpr ScreenRect kDefaultWindowRect{0, 0, 1024, 720};
inline constexpr int kMinimumKeptWidth = 400;
inline constexpr int kMinimumKeptHeight = 300;

// The kept place, or nothing when none is stored or any of its values is missing.
std::optional<ScreenRect> ReadNormalPlacement(const ProfileStore& profile);
void WriteNormalPlacement(ProfileStore& profile, const ScreenRect& rect);

// Where the window opens, given the place kept at the last exit (if any) and
// the screens' work areas, the main screen's first. A kept place of a usable
// size opens where it was, on the screen it overlaps most, or on the main
// screen when the screens changed and it overlaps none; it is shrunk to that
// screen and moved onto it whole. Without one (a first start, or a size too
// small to use) the window takes the default size, centred on the main
// screen. With no work area known, the kept place or the default size is
// taken as it is.
ScreenRect PlaceOnScreens(const std::optional<ScreenRect>& kept,
                          const std::vector<ScreenRect>& workAreas);

} // namespace lumo
