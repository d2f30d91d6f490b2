#include "common/window_placement.h"

#include <algorithm>

#include "common/settings.h"

namespace lumo {

namespace {

constexpr const char* kKeys[] = {"Left", "Top", "Width", "Height"};

long long OverlapArea(const ScreenRect& a, const ScreenRect& b)
{
    long long width = std::min<long long>(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
    long long height = std::min<long long>(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
    return width > 0 && height > 0 ? width * height : 0;
}

} // namespace

std::optional<ScreenRect> ReadNormalPlacement(const ProfileStore& profile)
{
    int values[4];
    for (int i = 0; i < 4; ++i) {
        // Two different defaults tell a missing value from a stored one.
        int value = profile.GetProfileInt(kWindowSection, kKeys[i], -1);
        if (value != profile.GetProfileInt(kWindowSection, kKeys[i], -2))
            return std::nullopt;
        values[i] = value;
    }
    return ScreenRect{values[0], values[1], values[2], values[3]};
}

void WriteNormalPlacement(ProfileStore& profile, const ScreenRect& rect)
{
    const int values[] = {rect.x, rect.y, rect.width, rect.height};
    for (int i = 0; i < 4; ++i)
        profile.WriteProfileInt(kWindowSection, kKeys[i], values[i]);
}

ScreenRect PlaceOnScreens(const std::optional<ScreenRect>& kept,
                          const std::vector<ScreenRect>& workAreas)
{
    const bool usable =
        kept && kept->width >= kMinimumKeptWidth && kept->height >= kMinimumKeptHeight;
    if (workAreas.empty())
        return usable ? *kept : kDefaultWindowRect;
    const ScreenRect* screen = &workAreas.front();
    ScreenRect placed = kDefaultWindowRect;
    if (usable) {
        placed = *kept;
        long long bestOverlap = 0;
        for (const ScreenRect& area : workAreas)
            if (const long long overlap = OverlapArea(*kept, area); overlap > bestOverlap) {
                screen = &area;
                bestOverlap = overlap;
            }
    } else {
        placed.x = screen->x + (screen->width - std::min(placed.width, screen->width)) / 2;
        placed.y = screen->y + (screen->height - std::min(placed.height, screen->height)) / 2;
    }
    placed.width = std::min(placed.width, screen->width);
    placed.height = std::min(placed.height, screen->height);
    placed.x = std::clamp(placed.x, screen->x, screen->x + screen->width - placed.width);
    placed.y = std::clamp(placed.y, screen->y, screen->y + screen->height - placed.height);
    return placed;
}

} // namespace lumo
