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

// A kept place fitted to the screens' work areas: it must be of a usable
// size and overlap a work area; it is then shrunk to that area and moved
// inside it. Nothing when it cannot be used (the window then takes the
// default size and the window manager places it).
std::optional<ScreenRect> FitToScreens(const ScreenRect& kept,
                                       const std::vector<ScreenRect>& workAreas);

} // namespace lumo
