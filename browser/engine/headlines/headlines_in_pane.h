#pragma once
// The Headlines page in the pane: served on the program's own scheme from the
// headlines database, updated in place when new headlines arrive, and told
// which headline the user opened. The headlines themselves are read by one
// service for the whole process, started once the pane's first page is shown
// so that it never delays the window or that page.
#include <string>
#include <vector>

#include "browser/web_engine.h"

typedef struct _WebKitWebView WebKitWebView;

namespace lumo {

class HeadlinesInPane
{
public:
    HeadlinesInPane(WebKitWebView* view, WebEngineHost& host);
    ~HeadlinesInPane();
    HeadlinesInPane(const HeadlinesInPane&) = delete;
    HeadlinesInPane& operator=(const HeadlinesInPane&) = delete;

    // The user's favorites changed (WebEngineHost::FavoritePapers).
    void FavoritesChanged();
    // A page was shown in the pane (its load finished).
    void PageShown(const std::string& uri);
    // The user asked for the page again (F5): the feeds are read now.
    void Reload();
    // The settings changed ([Headlines]).
    void SettingsChanged();

private:
    void OnChanged();

    WebKitWebView* m_view;
    WebEngineHost& m_host;
    unsigned long m_messages = 0;
};

// The page for an address of the Headlines page (lumo://headlines...), or
// false for any other address.
bool HeadlinesPageFor(const std::string& uri, std::string& html);

} // namespace lumo
