#pragma once
// The pane's zoom: steps along kZoomSteps, kept for each site in the
// settings group "Zoom" (and for the reader view under a key of its own),
// and used whenever a page of that site shows.
#include <string>

namespace lumo {

class ProfileStore;
class WebEngine;

// The zoom levels, in percent, that Ctrl++ and Ctrl+- step through.
inline constexpr int kZoomSteps[] = {30, 50, 67, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};
inline constexpr const char* kZoomSection = "Zoom";
// The reader view's zoom, in that group: no site's host has brackets.
inline constexpr const char* kReaderZoomKey = "(reader)";

class PaneZoom
{
public:
    explicit PaneZoom(ProfileStore& profile) : m_profile(profile) {}

    // The site of the page shown.
    void SetPageHost(const std::string& host) { m_pageHost = host; }
    // Gives `engine` the zoom kept for what is on screen: the reader view
    // (`reader`) or the page's site.
    void ApplyKept(WebEngine& engine, bool reader);
    // One step in (+1) or out (-1), or back to 100 % (0), kept for what is
    // on screen.
    void Step(WebEngine& engine, bool reader, int steps);
    int Percent() const { return m_percent; }

private:
    // The key of [Zoom] what is on screen keeps its zoom under.
    std::string Key(bool reader) const;

    ProfileStore& m_profile;
    std::string m_pageHost;
    int m_percent = 100;
};

} // namespace lumo
