#include "browser/engine/blocking/list_update.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <utility>

#include "browser/engine/blocking/filter_library.h"
#include "browser/engine/blocking/filter_probe.h"
#include "browser/engine/blocking/worker_task.h"
#include "browser/engine/engine_environment.h"
#include "common/resource_ids.h"
#include "content_filter/blocking_settings.h"
#include "content_filter/filter_converter.h"
#include "content_filter/filter_lists.h"
#include "content_filter/list_checks.h"

// The lists are fetched with the libsoup the web engine itself links (2.4
// under webkit2gtk-4.0, 3 under 4.1; its headers come with WebKit's): wx's
// own web request is built without a backend on Debian, GIO has no HTTP
// client, and a second libsoup major version in the process would crash it.
// It also takes the system's proxy settings, as the pages do.
#include <webkit2/webkit2.h>

using namespace lumo::content_filter;
using lumo::content_filter::CompiledRecord;

namespace lumo {
namespace {

// A download larger than this is no filter list (EasyList is 2 MB): it is
// refused as soon as it passes this, never held whole.
constexpr std::size_t kMaxListBytes = 20 * 1024 * 1024;
constexpr gsize kReadPiece = 64 * 1024;

std::string MessageOf(const GError* error)
{
    return error && error->message ? error->message : "unknown error";
}

// The downloads converted and checked on the worker: each list into its
// parts, each part ending with the exception for the program's own pages.
struct ConvertedLists
{
    std::vector<std::pair<std::string, std::string>> texts; // name, list
    std::vector<std::filesystem::path> shippedFiles;
    std::map<std::string, std::size_t> shippedCounts;
    std::vector<std::pair<std::string, std::string>> parts; // name-N, rules
    std::string error;

    static void Convert(ConvertedLists& lists)
    {
        const std::vector<Rule> last = {ExemptPagesOf(kStartPageScheme)};
        lists.shippedCounts = CountShippedRules(lists.shippedFiles);
        for (auto& [name, text] : lists.texts) {
            lists.error = ConvertList(lists, name, text, last);
            if (!lists.error.empty())
                return;
            text.clear();
        }
    }

    static std::string ConvertList(ConvertedLists& lists, const std::string& name,
                                   const std::string& text, const std::vector<Rule>& last)
    {
        if (!LooksLikeFilterList(text))
            return name + ": the download is not a filter list";
        Converter converter;
        converter.AddList(text);
        Conversion conversion = converter.Finish();
        if (conversion.RuleCount() == 0)
            return name + ": the list holds no rule that can be used";
        if (std::string why = CheckRules(conversion); !why.empty())
            return name + ": " + why;
        std::vector<std::string> parts = SplitIntoParts(conversion, WebKitMaxRules - last.size());
        if (parts.empty())
            return name + ": the list does not fit in a filter";
        std::size_t rules = 0;
        for (std::string& part : parts) {
            part = AppendRules(part, last);
            rules += CountRules(part);
        }
        if (std::string why = CheckRuleCount(name, rules, lists.shippedCounts[name]); !why.empty())
            return why;
        for (std::size_t i = 0; i < parts.size(); ++i)
            lists.parts.emplace_back(name + "-" + std::to_string(i + 1), std::move(parts[i]));
        return {};
    }
};

} // namespace

ListUpdater& ListUpdater::Get()
{
    static auto* updater = new ListUpdater; // lives as long as the process
    return *updater;
}

ListUpdater::ListUpdater()
    : m_schedule([] { return static_cast<std::int64_t>(std::time(nullptr)); },
                 [this](std::optional<std::chrono::milliseconds> delay) { SetTimer(delay); })
{
}

void ListUpdater::Start()
{
    if (!m_networkWatch)
        m_networkWatch = g_signal_connect(g_network_monitor_get_default(), "network-changed",
                                          G_CALLBACK(OnNetworkChanged), nullptr);
    m_schedule.Begin(m_firstDelay);
}

void ListUpdater::SetTimer(std::optional<std::chrono::milliseconds> delay)
{
    if (m_timer)
        g_source_remove(m_timer);
    m_timer = 0;
    if (!delay)
        return;
    // Long waits to the second: the system wakes up less often for them.
    if (*delay >= std::chrono::minutes(1))
        m_timer = g_timeout_add_seconds(
            static_cast<guint>(std::chrono::duration_cast<std::chrono::seconds>(*delay).count()),
            OnTimer, nullptr);
    else
        m_timer = g_timeout_add(static_cast<guint>(delay->count()), OnTimer, nullptr);
}

gboolean ListUpdater::OnTimer(gpointer)
{
    ListUpdater& me = Get();
    me.m_timer = 0;
    me.m_schedule.TimerFired();
    me.CheckNow();
    return G_SOURCE_REMOVE;
}

void ListUpdater::OnNetworkChanged(GNetworkMonitor*, gboolean available, gpointer)
{
    ListUpdater& me = Get();
    if (me.m_schedule.NetworkChanged(available))
        me.CheckNow();
}

void ListUpdater::CheckNow()
{
    FilterLibrary& library = FilterLibrary::Get();
    const BlockingSettings settings(library.UserSettings());
    const bool allowed = library.CurrentState() == FilterLibrary::State::Ready &&
                         library.HasUsers() && settings.Enabled();
    if (m_schedule.Check(settings.LastListUpdate(), allowed, NetworkAvailable()))
        StartUpdate();
}

void ListUpdater::StartUpdate()
{
    BlockingSettings settings(FilterLibrary::Get().UserSettings());
    // At most once every four days, whatever comes of it.
    settings.SetLastListUpdate(static_cast<std::int64_t>(std::time(nullptr)));
    m_downloads = {{"ads", settings.EasyListAddress(), {}},
                   {"trackers", settings.EasyPrivacyAddress(), {}}};
    m_next = 0;
    if (!m_session) {
        m_session.reset(soup_session_new());
        g_object_set(m_session.get(), "timeout", 120, "user-agent", "LumoNewsReader", nullptr);
    }
    FetchNext();
}

void ListUpdater::FetchNext()
{
    if (m_next == m_downloads.size()) {
        Convert();
        return;
    }
    const std::string& address = m_downloads[m_next].address;
    if (!SiteOf(address).empty())
        m_message.reset(soup_message_new("GET", address.c_str()));
    if (SiteOf(address).empty() || !m_message) {
        Failed("not a web address: " + address);
        return;
    }
#if SOUP_CHECK_VERSION(2, 99, 0)
    soup_session_send_async(m_session.get(), m_message.get(), G_PRIORITY_LOW, nullptr, Sent,
                            nullptr);
#else
    soup_session_send_async(m_session.get(), m_message.get(), nullptr, Sent, nullptr);
#endif
}

void ListUpdater::Sent(GObject* source, GAsyncResult* result, gpointer)
{
    ListUpdater& me = Get();
    g_autoptr(GError) error = nullptr;
    GObjectPtr<GInputStream> in(soup_session_send_finish(SOUP_SESSION(source), result, &error));
    GObjectPtr<SoupMessage> message = std::move(me.m_message);
#if SOUP_CHECK_VERSION(2, 99, 0)
    const guint status = soup_message_get_status(message.get());
    SoupMessageHeaders* headers = soup_message_get_response_headers(message.get());
#else
    const guint status = message->status_code;
    SoupMessageHeaders* headers = message->response_headers;
#endif
    const std::string& address = me.m_downloads[me.m_next].address;
    if (!in) {
        me.Failed(address + ": " + MessageOf(error));
        return;
    }
    if (status != 200) {
        me.Failed(address + ": HTTP status " + std::to_string(status));
        return;
    }
    if (soup_message_headers_get_content_length(headers) > goffset{kMaxListBytes}) {
        me.Failed(address + ": larger than 20 MB, no filter list");
        return;
    }
    me.m_body = std::move(in);
    me.ReadMore();
}

void ListUpdater::ReadMore()
{
    g_input_stream_read_bytes_async(m_body.get(), kReadPiece, G_PRIORITY_LOW, nullptr, Read,
                                    nullptr);
}

void ListUpdater::Read(GObject* source, GAsyncResult* result, gpointer)
{
    ListUpdater& me = Get();
    g_autoptr(GError) error = nullptr;
    GBytesPtr piece(g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), result, &error));
    Download& download = me.m_downloads[me.m_next];
    if (!piece) {
        me.Failed(download.address + ": " + MessageOf(error));
        return;
    }
    gsize size = 0;
    const char* data = static_cast<const char*>(g_bytes_get_data(piece.get(), &size));
    if (size == 0) {
        me.m_body.reset();
        ++me.m_next;
        me.FetchNext();
        return;
    }
    if (download.text.size() + size > kMaxListBytes) {
        me.Failed(download.address + ": larger than 20 MB, no filter list");
        return;
    }
    download.text.append(data, size);
    me.ReadMore();
}

void ListUpdater::Convert()
{
    auto lists = std::make_unique<ConvertedLists>();
    for (Download& download : m_downloads)
        lists->texts.emplace_back(download.name, std::move(download.text));
    lists->shippedFiles = FilterLibrary::Get().ShippedFiles();
    m_downloads.clear();
    RunOnWorker<ConvertedLists>(std::move(lists), ConvertedLists::Convert,
                                [](ConvertedLists& lists) {
                                    if (!lists.error.empty())
                                        Get().Failed(lists.error);
                                    else
                                        Get().Compile(std::move(lists.parts));
                                });
}

void ListUpdater::Compile(std::vector<std::pair<std::string, std::string>> parts)
{
    FilterLibrary& library = FilterLibrary::Get();
    // Into the slot the filters in use are not from.
    const std::vector<std::string> fresh = library.FreshIds();
    const std::string slot =
        !fresh.empty() && fresh.front().starts_with("fresh-a-") ? "fresh-b-" : "fresh-a-";
    std::vector<FilterLibrary::Item> items;
    std::vector<std::string> ids;
    for (auto& [name, rules] : parts) {
        ids.push_back(slot + name);
        items.push_back({ids.back(), std::move(rules)});
    }
    library.Compile(std::move(items), [ids](FilterSet filters, std::vector<CompiledRecord> records,
                                            std::string error) {
        if (filters.empty()) {
            FilterLibrary::Get().RemoveFromStore(ids);
            Get().Failed(error);
            return;
        }
        // Tried on plain pages before they serve.
        auto shared = std::make_shared<FilterSet>(std::move(filters));
        ProbeFilters(*shared, [shared, ids, records](std::string why) {
            if (!why.empty()) {
                FilterLibrary::Get().RemoveFromStore(ids);
                Get().Failed(why);
                return;
            }
            Get().m_schedule.Ended(true, {});
            FilterLibrary::Get().UseFresh(std::move(*shared), records);
        });
    });
}

void ListUpdater::Failed(const std::string& why)
{
    g_message("ad and tracker lists not updated, the filters in use are kept: %s", why.c_str());
    m_body.reset();
    m_downloads.clear();
    m_schedule.Ended(false, why);
}

void SetListUpdateDelay(std::chrono::milliseconds delay)
{
    ListUpdater::Get().SetFirstDelay(delay);
}

void CheckFilterListsNow()
{
    ListUpdater::Get().CheckNow();
}

FilterListUpdates FilterListUpdateCount()
{
    return ListUpdater::Get().Updates();
}

} // namespace lumo
