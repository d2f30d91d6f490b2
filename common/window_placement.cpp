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

std::optional<ScreenRect> FitToScreens(const ScreenRect& kept,
                                       const std::vector<ScreenRect>& workAreas)
{
    if (kept.width < kMinimumKeptWidth || kept.height < kMinimumKeptHeight)
        return std::nullopt;
    const ScreenRect* best = nullptr;
    long long bestOverlap = 0;
    for (const ScreenRect& area : workAreas) {
        long long overlap = OverlapArea(kept, area);
        if (overlap > bestOverlap) {
            best = &area;
            bestOverlap = overlap;
        }
    }
    if (!best)
        return std::nullopt;
    ScreenRect fitted = kept;
    fitted.width = std::min(kept.width, best->width);
    fitted.height = std::min(kept.height, best->height);
    fitted.x = std::clamp(kept.x, best->x, best->x + best->width - fitted.width);
    fitted.y = std::clamp(kept.y, best->y, best->y + best->height - fitted.height);
    return fitted;
}

} // namespace lumo
