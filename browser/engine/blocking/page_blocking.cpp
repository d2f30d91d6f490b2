#include "browser/engine/blocking/page_blocking.h"

#include <utility>

#include "browser/engine/blocking/list_update.h"
#include "browser/web_engine.h"
#include "content_filter/blocking_settings.h"

#include <webkit2/webkit2.h>

using namespace lumo::content_filter;

namespace lumo {
namespace {

// Crashes with the filters this close to each other, this many times in a
// row, are the filters' doing.
constexpr gint64 kCrashesApartUs = 60 * G_USEC_PER_SEC;
constexpr int kCrashesInARow = 3;

// An image that did not load, and a frame left empty under no address of
// its own, leave no box behind: the filters blocked them. In a script world
// of its own, which the page's scripts do not see; in the page's own
// document only (in every frame, WebKitGTK 2.52 failed loads of pages that
// make many frames).
constexpr const char* kCollapseScript = R"((function () {
  function collapse(element) { element.style.setProperty('display', 'none', 'important'); }
  addEventListener('error', function (event) {
    if (event.target && event.target.tagName === 'IMG')
      collapse(event.target);
  }, true);
  addEventListener('load', function () {
    var frames = document.getElementsByTagName('iframe');
    for (var i = 0; i < frames.length; i++) {
      var frame = frames[i];
      if (!/^https?:/.test(frame.src) || frame.loading === 'lazy')
        continue;
      try {
        if (frame.contentDocument && frame.contentDocument.URL === 'about:blank')
          collapse(frame);
      } catch (e) {
        // Another site's page: it loaded.
      }
    }
  });
})();)";

WebKitUserScript* CollapseScript()
{
    static WebKitUserScript* script = webkit_user_script_new_for_world(
        kCollapseScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, "lumo-blocking", nullptr, nullptr);
    return script; // for as long as the process
}

} // namespace

PageContentBlocking::PageContentBlocking(WebKitWebView* view, WebEngineHost& host)
    : m_view(view), m_host(host)
{
    FilterLibrary::Get().Add(this);
}

void PageContentBlocking::PageTitled()
{
    if (Enabled())
        FilterLibrary::Get().Prepare();
}

PageContentBlocking::~PageContentBlocking()
{
    FilterLibrary::Get().Remove(this);
    if (m_reader)
        g_object_remove_weak_pointer(G_OBJECT(m_reader), reinterpret_cast<gpointer*>(&m_reader));
}

void PageContentBlocking::FilterReader(WebKitWebView* reader)
{
    if (m_reader)
        g_object_remove_weak_pointer(G_OBJECT(m_reader), reinterpret_cast<gpointer*>(&m_reader));
    m_reader = reader;
    m_readerApplied = 0;
    g_object_add_weak_pointer(G_OBJECT(m_reader), reinterpret_cast<gpointer*>(&m_reader));
    Refresh();
}

wxConfigBase* PageContentBlocking::Settings() const
{
    return m_host.Settings();
}

bool PageContentBlocking::Enabled() const
{
    return BlockingSettings(Settings()).Enabled();
}

bool PageContentBlocking::HoldUntilReady(const std::string& address, std::function<void()> load)
{
    if (SiteOf(address).empty() || !Enabled()) {
        DropHeldLoad();
        return false;
    }
    FilterLibrary& library = FilterLibrary::Get();
    library.Prepare();
    if (library.CurrentState() != FilterLibrary::State::Preparing)
        return false;
    const bool wasHolding = static_cast<bool>(m_held);
    m_held = std::move(load);
    if (!wasHolding)
        m_host.OnFiltersPreparing(true);
    return true;
}

void PageContentBlocking::DropHeldLoad()
{
    if (!m_held)
        return;
    m_held = nullptr;
    m_host.OnFiltersPreparing(false);
}

void PageContentBlocking::ApplyFor(const std::string& address)
{
    const std::string site = SiteOf(address);
    if (!site.empty())
        m_site = site;
    Refresh();
}

void PageContentBlocking::Refresh()
{
    FilterLibrary& library = FilterLibrary::Get();
    const BlockingSettings settings(Settings());
    const bool enabled = settings.Enabled();
    if (enabled && !m_site.empty() && library.CurrentState() == FilterLibrary::State::Idle)
        library.Prepare();
    const bool ready = library.CurrentState() == FilterLibrary::State::Ready && enabled;
    Apply(m_view, ready && !settings.Allowed(m_site) ? library.Generation() : 0, m_applied);
    if (m_reader)
        Apply(m_reader, ready ? library.Generation() : 0, m_readerApplied);
}

void PageContentBlocking::Apply(WebKitWebView* view, unsigned set, unsigned& applied)
{
    if (set == applied)
        return;
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(view);
    webkit_user_content_manager_remove_all_filters(manager);
    webkit_user_content_manager_remove_script(manager, CollapseScript());
    if (set) {
        for (const FilterPtr& filter : FilterLibrary::Get().Filters())
            webkit_user_content_manager_add_filter(manager, filter.get());
        webkit_user_content_manager_add_script(manager, CollapseScript());
    }
    applied = set;
}

void PageContentBlocking::ReturnToShippedLists(std::function<void()> reload)
{
    FilterLibrary& library = FilterLibrary::Get();
    library.ReturnToShipped();
    if (library.CurrentState() != FilterLibrary::State::Preparing) {
        reload();
        return;
    }
    if (!m_held)
        m_host.OnFiltersPreparing(true);
    m_held = std::move(reload);
}

void PageContentBlocking::OnPageProcessCrashed()
{
    if (m_applied == 0) {
        m_crashes = 0;
        return;
    }
    const gint64 now = g_get_monotonic_time();
    m_crashes = m_crashes > 0 && now - m_lastCrash <= kCrashesApartUs ? m_crashes + 1 : 1;
    m_lastCrash = now;
    if (m_crashes >= kCrashesInARow)
        FilterLibrary::Get().TurnOffForRun("the page process crashed " + std::to_string(m_crashes) +
                                           " times in a row with them");
}

void PageContentBlocking::OnFiltersSettled(const char* notice)
{
    if (FilterLibrary::Get().CurrentState() == FilterLibrary::State::Ready)
        ListUpdater::Get().Start();
    Refresh();
    if (notice)
        m_host.OnNotice(notice);
    if (m_held) {
        auto load = std::exchange(m_held, nullptr);
        m_host.OnFiltersPreparing(false);
        load();
    }
}

void PageContentBlocking::AppendMenuItems(WebKitContextMenu* menu, const std::string& address)
{
    const std::string site = SiteOf(address);
    if (site.empty() || !Enabled() ||
        FilterLibrary::Get().CurrentState() == FilterLibrary::State::Off)
        return;
    const bool allowed = BlockingSettings(Settings()).Allowed(site);
    g_autoptr(GSimpleAction) action = g_simple_action_new("toggle-ads-on-site", nullptr);
    struct Toggle
    {
        PageContentBlocking* page;
        std::string site;
        bool allow;
    };
    g_signal_connect_data(
        action, "activate", G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer data) {
            auto* toggle = static_cast<Toggle*>(data);
            BlockingSettings(toggle->page->Settings()).SetAllowed(toggle->site, toggle->allow);
        }),
        new Toggle{this, site, !allowed},
        [](gpointer data, GClosure*) { delete static_cast<Toggle*>(data); },
        static_cast<GConnectFlags>(0));
    webkit_context_menu_append(
        menu, webkit_context_menu_item_new_from_gaction(
                  G_ACTION(action), allowed ? kBlockAdsLabel : kAllowAdsLabel, nullptr));
}

} // namespace lumo
