#pragma once
// Ads and trackers blocked in the pane's page (never in the reader view) by
// WebKit's content filters, compiled from the shipped EasyList and
// EasyPrivacy rules once into a store under the user's cache folder and
// loaded from there at later starts. While they are first prepared, a web
// page the program opens waits for them; the program's own pages never do.
// The lists are fetched again from their published addresses at most once
// every four days, and used once they are fetched, converted and compiled.
// The user turns blocking off, or allows a site, in the settings group
// [ContentBlocking] (content_filter/blocking_settings.h).
#include <chrono>
#include <functional>
#include <string>

class wxConfigBase;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitContextMenu WebKitContextMenu;

namespace lumo {

class WebEngineHost;

// The blocking of one page view.
class PageContentBlocking
{
public:
    PageContentBlocking(WebKitWebView* view, WebEngineHost& host);
    ~PageContentBlocking();
    PageContentBlocking(const PageContentBlocking&) = delete;
    PageContentBlocking& operator=(const PageContentBlocking&) = delete;

    // A web page asked for while the filters are being prepared waits for
    // them: true when `load` is kept, to run once they are ready (or cannot
    // be had). Any other address drops a load kept earlier.
    bool HoldUntilReady(const std::string& address, std::function<void()> load);
    void DropHeldLoad();
    // Sets the filters for a load of `address`: none on an allowed site or
    // with blocking off.
    void ApplyFor(const std::string& address);
    // The page's menu offers to allow the site of `address`, or to block it again.
    void AppendMenuItems(WebKitContextMenu* menu, const std::string& address);

    // The filters changed, or their preparation ended.
    void OnFiltersSettled(bool failed);
    // The settings the view keeps its choices in.
    wxConfigBase* Settings() const;

private:
    bool Enabled() const;
    bool Allowed(const std::string& site) const;
    void SetAllowed(const std::string& site, bool allowed);
    void Refresh();

    WebKitWebView* m_view;
    WebEngineHost& m_host;
    std::function<void()> m_held;
    std::string m_site;
    // The set of filters in the view's content manager (0: none).
    unsigned m_applied = 0;
};

// Where the shipped filters are read from: by default the "filters" folder
// beside this engine's module. Another folder has them prepared again.
void SetShippedFiltersFolder(const std::string& folder);
// How long after the filters are ready the lists are first checked for an
// update (by default a minute: the start's own loads go first).
void SetListUpdateDelay(std::chrono::milliseconds delay);
// Checks now whether the lists are due, and fetches them if they are.
void CheckFilterListsNow();

// Whether the filters are ready for use.
bool ContentFiltersReady();
// What became of the list updates so far.
struct FilterListUpdates
{
    int started = 0;
    int switched = 0; // fetched, converted, compiled and in use
    int failed = 0;   // the filters in use were kept
    std::string lastError;
};
FilterListUpdates FilterListUpdateCount();

} // namespace lumo
