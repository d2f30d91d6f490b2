#pragma once
// Ads and trackers blocked in the pane's page by the filters of the library
// (filter_library.h), and in its reader view, which keeps to them on every
// site. An image they blocked leaves no empty box. While they are first
// prepared, a web page the program opens waits for them; the program's own
// pages never do. The user turns blocking off, or allows a site, in the
// settings group [ContentBlocking] (content_filter/blocking_settings.h).
#include <functional>
#include <string>

#include "browser/engine/blocking/filter_library.h"

#include <glib.h>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitContextMenu WebKitContextMenu;

namespace lumo {

class WebEngineHost;

// The blocking of one page view.
class PageContentBlocking : private FilterUser
{
public:
    PageContentBlocking(WebKitWebView* view, WebEngineHost& host);
    ~PageContentBlocking() override;
    PageContentBlocking(const PageContentBlocking&) = delete;
    PageContentBlocking& operator=(const PageContentBlocking&) = delete;

    // A web page asked for while the filters are being prepared waits for
    // them: true when `load` is kept, to run once they are ready (or cannot
    // be had). Any other address drops a load kept earlier.
    bool HoldUntilReady(const std::string& address, std::function<void()> load);
    void DropHeldLoad();
    // A page on screen has its title: the filters are prepared now, after
    // the start page rather than before it (a web page asked for earlier
    // prepares them at once).
    void PageTitled();
    // Sets the filters for a load of `address`: none on an allowed site or
    // with blocking off.
    void ApplyFor(const std::string& address);
    // The page's menu offers to allow the site of `address`, or to block it again.
    void AppendMenuItems(WebKitContextMenu* menu, const std::string& address);
    // The reader view's own web view keeps to the filters too, whatever the
    // site: what the page was spared, its article is.
    void FilterReader(WebKitWebView* reader);
    // The lists fetched from the web leave; the shipped filters serve again
    // once prepared, and then `reload` runs.
    void ReturnToShippedLists(std::function<void()> reload);
    // The view's page process crashed. One that dies again and again with
    // the filters turns them off for the rest of the run.
    void OnPageProcessCrashed();

private:
    void OnFiltersSettled(const char* notice) override;
    wxConfigBase* Settings() const override;
    bool Enabled() const;
    void Refresh();
    static void Apply(WebKitWebView* view, unsigned set, unsigned& applied);

    WebKitWebView* m_view;
    WebEngineHost& m_host;
    std::function<void()> m_held;
    std::string m_site;
    // The set of filters in the view's content manager (0: none).
    unsigned m_applied = 0;
    WebKitWebView* m_reader = nullptr; // none until it is made, and once it is gone
    unsigned m_readerApplied = 0;
    // The crashes with the filters in a row, each soon after the last.
    int m_crashes = 0;
    gint64 m_lastCrash = 0;
};

} // namespace lumo
