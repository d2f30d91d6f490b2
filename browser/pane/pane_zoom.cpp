#include "browser/pane/pane_zoom.h"

#include <algorithm>
#include <iterator>

#include "browser/web_engine.h"
#include "common/settings.h"

namespace lumo {

std::string PaneZoom::Key(bool reader) const
{
    return reader ? std::string(kReaderZoomKey) : m_pageHost;
}

void PaneZoom::ApplyKept(WebEngine& engine, bool reader)
{
    const std::string key = Key(reader);
    const int kept = key.empty() ? 100 : m_profile.GetProfileInt(kZoomSection, key, 100);
    m_percent = std::clamp(kept, kZoomSteps[0], kZoomSteps[std::size(kZoomSteps) - 1]);
    engine.SetZoom(m_percent / 100.0);
}

void PaneZoom::Step(WebEngine& engine, bool reader, int steps)
{
    int percent = 100;
    if (steps > 0) {
        const int* next = std::upper_bound(std::begin(kZoomSteps), std::end(kZoomSteps), m_percent);
        percent = next != std::end(kZoomSteps) ? *next : kZoomSteps[std::size(kZoomSteps) - 1];
    } else if (steps < 0) {
        const int* next = std::lower_bound(std::begin(kZoomSteps), std::end(kZoomSteps), m_percent);
        percent = next != std::begin(kZoomSteps) ? *(next - 1) : kZoomSteps[0];
    }
    m_percent = percent;
    engine.SetZoom(percent / 100.0);
    if (const std::string key = Key(reader); !key.empty())
        m_profile.WriteProfileInt(kZoomSection, key, percent);
}

} // namespace lumo
