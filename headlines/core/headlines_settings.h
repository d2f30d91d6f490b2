#pragma once
// Whether the program reads the papers' feeds, and how often: the program's
// own settings group [Headlines] (never the group of the design's settings).
#include <ctime>

class wxConfigBase;

namespace headlines {

inline constexpr const char* kHeadlinesSection = "Headlines";
// 1 (the default): feeds are read; 0: no request for a feed or a paper's page
// leaves the program.
inline constexpr const char* kHeadlinesEnabledKey = "Enabled";
inline constexpr bool kHeadlinesEnabledByDefault = true;
// Minutes between two readings of a feed while the program runs.
inline constexpr const char* kRefreshMinutesKey = "RefreshMinutes";
inline constexpr long kDefaultRefreshMinutes = 30;
inline constexpr long kMinRefreshMinutes = 5;
inline constexpr long kMaxRefreshMinutes = 24 * 60;

struct HeadlinesSettings
{
    bool enabled = kHeadlinesEnabledByDefault;
    std::time_t interval = kDefaultRefreshMinutes * 60; // seconds
};

// The settings as kept in `config`; a missing or odd value reads as the
// default, an interval out of range as the nearest one in range.
HeadlinesSettings ReadHeadlinesSettings(wxConfigBase& config);
void WriteHeadlinesEnabled(wxConfigBase& config, bool enabled);

} // namespace headlines
