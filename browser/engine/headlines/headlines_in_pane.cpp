#include "browser/engine/headlines/headlines_in_pane.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <memory>

#include <wx/config.h>

#include "browser/engine/view_address.h"
#include "headlines/core/headlines_page.h"
#include "headlines/core/headlines_settings.h"
#include "headlines/service/headlines_service.h"

#include <webkit2/webkit2.h>

namespace lumo {
namespace {

// Headlines are read first this long after the pane's first page is shown.
constexpr guint kStartDelayMs = 1500;
// Changes that come close together update the page once.
constexpr guint kUpdateDelayMs = 250;
constexpr const char* kMessageHandler = "lumoHeadlines";

// The one service of the process and the panes that show its page.
struct Shared
{
    std::unique_ptr<headlines::HeadlinesService> service;
    std::vector<HeadlinesInPane*> panes;
    WebEngineHost* host = nullptr; // the first pane's, which tells the favorites
    wxConfigBase* settings = nullptr;
    bool started = false;
    guint startTimer = 0;
    guint updateTimer = 0;
    // Changes to what the page shows (news, read marks), and how many of
    // them the Headlines page last made or updated holds.
    unsigned changes = 0;
    unsigned changesShown = 0;
};

Shared& State()
{
    static auto* state = new Shared; // as long as the process
    return *state;
}

headlines::HeadlinesService& Service()
{
    Shared& state = State();
    if (!state.service) {
        state.service = std::make_unique<headlines::HeadlinesService>(
            headlines::HeadlinesDatabasePath(), [] { return std::time(nullptr); });
        if (!state.service->OpenNotice().empty())
            g_message("headlines: %s", state.service->OpenNotice().c_str());
        if (!state.service->Usable())
            g_warning("headlines: %s", state.service->OpenError().c_str());
    }
    return *state.service;
}

headlines::ServiceSettings CurrentSettings()
{
    wxConfigBase* config = State().settings ? State().settings : wxConfigBase::Get(false);
    headlines::ServiceSettings settings;
    if (config) {
        const headlines::HeadlinesSettings kept = headlines::ReadHeadlinesSettings(*config);
        settings.enabled = kept.enabled;
        settings.interval = kept.interval;
    }
    return settings;
}

std::vector<headlines::Paper> PapersOf(WebEngineHost& host)
{
    std::vector<headlines::Paper> papers;
    for (const FavoritePaper& paper : host.FavoritePapers())
        papers.push_back({paper.name, paper.address});
    return papers;
}

void Start()
{
    Shared& state = State();
    if (state.startTimer) {
        g_source_remove(state.startTimer);
        state.startTimer = 0;
    }
    if (state.started)
        return;
    state.started = true;
    headlines::HeadlinesService& service = Service();
    service.SetSettings(CurrentSettings());
    if (state.host)
        service.SetPapers(PapersOf(*state.host));
    service.Refresh(false);
}

void StartSoon()
{
    Shared& state = State();
    if (state.started || state.startTimer)
        return;
    state.startTimer = g_timeout_add(
        kStartDelayMs,
        [](gpointer) {
            State().startTimer = 0;
            Start();
            return G_SOURCE_REMOVE;
        },
        nullptr);
}

bool ShowsHeadlines(WebKitWebView* view)
{
    return headlines::ParseHeadlinesAddress(UriOf(view)).has_value();
}

void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* message, gpointer data)
{
    // Only the Headlines page itself may say what was read.
    auto* view = static_cast<WebKitWebView*>(data);
    if (!ShowsHeadlines(view))
        return;
    JSCValue* value = webkit_javascript_result_get_js_value(message);
    if (!jsc_value_is_string(value))
        return;
    g_autofree char* text = jsc_value_to_string(value);
    const std::string_view said(text ? text : "");
    constexpr std::string_view prefix = "read:";
    if (!said.starts_with(prefix))
        return;
    std::int64_t id = 0;
    const std::string_view number = said.substr(prefix.size());
    if (std::from_chars(number.data(), number.data() + number.size(), id).ec == std::errc() &&
        Service().MarkRead(id))
        ++State().changes;
}

} // namespace

HeadlinesInPane::HeadlinesInPane(WebKitWebView* view, WebEngineHost& host)
    : m_view(view), m_host(host)
{
    State().panes.push_back(this);
    if (!State().host) {
        State().host = &host;
        State().settings = host.Settings();
    }
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(view);
    webkit_user_content_manager_register_script_message_handler(manager, kMessageHandler);
    m_messages = g_signal_connect(manager, "script-message-received::lumoHeadlines",
                                  G_CALLBACK(OnScriptMessage), view);
}

HeadlinesInPane::~HeadlinesInPane()
{
    std::erase(State().panes, this);
    if (State().host == &m_host)
        State().host = State().panes.empty() ? nullptr : &State().panes.front()->m_host;
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(m_view);
    g_signal_handler_disconnect(manager, m_messages);
    webkit_user_content_manager_unregister_script_message_handler(manager, kMessageHandler);
    if (State().service && State().panes.empty())
        State().service->SetListener(nullptr);
}

void HeadlinesInPane::FavoritesChanged()
{
    if (State().started)
        Service().SetPapers(PapersOf(m_host));
}

void HeadlinesInPane::PageShown(const std::string& uri)
{
    Service().SetListener([] {
        Shared& state = State();
        ++state.changes;
        if (state.updateTimer)
            return;
        state.updateTimer = g_timeout_add(
            kUpdateDelayMs,
            [](gpointer) {
                State().updateTimer = 0;
                for (HeadlinesInPane* pane : State().panes)
                    pane->OnChanged();
                return G_SOURCE_REMOVE;
            },
            nullptr);
    });
    if (headlines::ParseHeadlinesAddress(uri)) {
        Start();
        // Back from an article, the page comes as it was left: what was
        // read meanwhile, and what came, is put in. A page just made holds it.
        if (State().changesShown != State().changes)
            OnChanged();
        return;
    }
    StartSoon();
    if (State().started)
        Service().PageShown(uri);
}

void HeadlinesInPane::Reload()
{
    if (!ShowsHeadlines(m_view))
        return;
    Start();
    Service().Refresh(true);
}

void HeadlinesInPane::SettingsChanged()
{
    if (State().started)
        Service().SetSettings(CurrentSettings());
}

void HeadlinesInPane::OnChanged()
{
    const std::optional<headlines::HeadlinesRequest> shown =
        headlines::ParseHeadlinesAddress(UriOf(m_view));
    if (!shown || webkit_web_view_is_loading(m_view))
        return;
    State().changesShown = State().changes;
    const std::string script = headlines::HeadlinesUpdateScript(Service().View(shown->order));
    webkit_web_view_evaluate_javascript(m_view, script.data(), static_cast<gssize>(script.size()),
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
}

bool HeadlinesPageFor(const std::string& uri, std::string& html)
{
    const std::optional<headlines::HeadlinesRequest> request =
        headlines::ParseHeadlinesAddress(uri);
    if (!request)
        return false;
    headlines::HeadlinesService& service = Service();
    if (request->action == headlines::HeadlinesRequest::Action::MarkAllRead)
        service.MarkAllRead();
    State().changesShown = State().changes;
    html = headlines::HeadlinesPageHtml(service.View(request->order));
    return true;
}

} // namespace lumo
