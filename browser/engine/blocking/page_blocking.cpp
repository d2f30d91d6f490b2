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

} // namespace

PageContentBlocking::PageContentBlocking(WebKitWebView* view, WebEngineHost& host)
    : m_view(view), m_host(host)
{
    FilterLibrary::Get().Add(this);
    if (Enabled())
        FilterLibrary::Get().Prepare();
}

PageContentBlocking::~PageContentBlocking()
{
    FilterLibrary::Get().Remove(this);
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
    if (enabled && library.CurrentState() == FilterLibrary::State::Idle)
        library.Prepare();
    const bool wanted = library.CurrentState() == FilterLibrary::State::Ready && enabled &&
                        !settings.Allowed(m_site);
    const unsigned set = wanted ? library.Generation() : 0;
    if (set == m_applied)
        return;
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(m_view);
    webkit_user_content_manager_remove_all_filters(manager);
    if (wanted)
        for (const FilterPtr& filter : library.Filters())
            webkit_user_content_manager_add_filter(manager, filter.get());
    m_applied = set;
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
