#include "headlines/core/headlines_settings.h"

#include <algorithm>

#include <wx/config.h>

namespace headlines {
namespace {

wxString Key(const char* name)
{
    return wxString("/") + kHeadlinesSection + "/" + name;
}

} // namespace

HeadlinesSettings ReadHeadlinesSettings(wxConfigBase& config)
{
    HeadlinesSettings settings;
    settings.enabled = config.ReadBool(Key(kHeadlinesEnabledKey), kHeadlinesEnabledByDefault);
    long minutes = config.ReadLong(Key(kRefreshMinutesKey), kDefaultRefreshMinutes);
    if (minutes <= 0)
        minutes = kDefaultRefreshMinutes;
    settings.interval = std::clamp(minutes, kMinRefreshMinutes, kMaxRefreshMinutes) * 60;
    return settings;
}

void WriteHeadlinesEnabled(wxConfigBase& config, bool enabled)
{
    config.Write(Key(kHeadlinesEnabledKey), enabled);
    config.Flush();
}

} // namespace headlines
