#include "browser/engine/blocking/content_blocking.h"

#include <algorithm>
#include <ctime>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include <wx/config.h>

#include "browser/engine/engine_environment.h"
#include "browser/web_engine.h"
#include "content_filter/blocking_settings.h"
#include "content_filter/filter_converter.h"

#include <webkit2/webkit2.h>

namespace fs = std::filesystem;
using namespace lumo::content_filter;

namespace lumo {
namespace {

// A downloaded list larger than this is no filter list.
constexpr gsize kMaxListBytes = 64 * 1024 * 1024;

std::string& ShippedFolderSetting()
{
    static std::string folder;
    return folder;
}

std::chrono::milliseconds& UpdateDelay()
{
    static std::chrono::milliseconds delay{60000};
    return delay;
}

bool BlockingEnabledIn(wxConfigBase& config)
{
    return config.ReadBool(wxString("/") + kBlockingSection + "/" + kBlockingEnabledKey,
                           kBlockingEnabledByDefault);
}

fs::path ShippedFolder()
{
    if (!ShippedFolderSetting().empty())
        return ShippedFolderSetting();
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ShippedFolder), &info) && info.dli_fname)
        return fs::path(info.dli_fname).parent_path() / "filters";
    return {};
}

fs::path CacheFolder()
{
    return fs::path(g_get_user_cache_dir()) / "lumo-news-reader";
}

// Words of a file, one list: "checksum id id ..." or "id id ...".
std::vector<std::string> ReadWords(const fs::path& file)
{
    std::ifstream in(file);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

bool WriteWords(const fs::path& file, const std::vector<std::string>& words)
{
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    fs::path temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const std::string& word : words)
            out << word << '\n';
        out.close();
        if (!out)
            return false;
    }
    fs::rename(temporary, file, error);
    return !error;
}

std::string ErrorText(GError* error)
{
    std::string text = error && error->message ? error->message : "unknown error";
    if (error)
        g_error_free(error);
    return text;
}

// One item to compile: its identifier in the store and its rules.
struct Compilation
{
    std::string id;
    GBytes* rules = nullptr; // owned
    std::string file;        // or the file holding them
};

using FiltersDone =
    std::function<void(std::vector<WebKitUserContentFilter*> filters, std::string error)>;

// Compiles (or, with no rules given, loads) the items one after the other;
// `done` gets every filter, or the first error.
struct StoreJob
{
    WebKitUserContentFilterStore* store;
    std::vector<Compilation> items;
    bool load = false;
    std::size_t next = 0;
    std::vector<WebKitUserContentFilter*> filters;
    FiltersDone done;

    ~StoreJob()
    {
        for (auto& item : items)
            if (item.rules)
                g_bytes_unref(item.rules);
        for (auto* filter : filters)
            webkit_user_content_filter_unref(filter);
    }

    static void Run(std::unique_ptr<StoreJob> job)
    {
        if (job->next == job->items.size()) {
            auto filters = std::exchange(job->filters, {});
            job->done(std::move(filters), {});
            return;
        }
        StoreJob* raw = job.release();
        const Compilation& item = raw->items[raw->next];
        if (raw->load) {
            webkit_user_content_filter_store_load(raw->store, item.id.c_str(), nullptr, Answer,
                                                  raw);
        } else if (item.rules) {
            webkit_user_content_filter_store_save(raw->store, item.id.c_str(), item.rules, nullptr,
                                                  Answer, raw);
        } else {
            GFile* file = g_file_new_for_path(item.file.c_str());
            webkit_user_content_filter_store_save_from_file(raw->store, item.id.c_str(), file,
                                                            nullptr, Answer, raw);
            g_object_unref(file);
        }
    }

    static void Answer(GObject* source, GAsyncResult* result, gpointer data)
    {
        std::unique_ptr<StoreJob> job(static_cast<StoreJob*>(data));
        auto* store = WEBKIT_USER_CONTENT_FILTER_STORE(source);
        GError* error = nullptr;
        WebKitUserContentFilter* filter =
            job->load ? webkit_user_content_filter_store_load_finish(store, result, &error)
                      : webkit_user_content_filter_store_save_finish(store, result, &error);
        if (!filter) {
            const std::string text = job->items[job->next].id + ": " + ErrorText(error);
            job->done({}, text);
            return;
        }
        job->filters.push_back(filter);
        ++job->next;
        Run(std::move(job));
    }
};

// The filters of this process, shared by every page view.
class FilterLibrary
{
public:
    enum class State
    {
        Idle,
        Preparing,
        Ready,
        Off // none shipped, or they could not be prepared
    };

    static FilterLibrary& Get()
    {
        static auto* library = new FilterLibrary; // lives as long as the process
        return *library;
    }

    State CurrentState() const { return m_state; }
    unsigned Generation() const { return m_generation; }
    const std::vector<WebKitUserContentFilter*>& Filters() const { return m_filters; }
    FilterListUpdates& Updates() { return m_updates; }

    void Add(PageContentBlocking* page) { m_pages.push_back(page); }
    void Remove(PageContentBlocking* page) { std::erase(m_pages, page); }
    const std::vector<PageContentBlocking*>& Pages() const { return m_pages; }

    void Prepare()
    {
        if (m_state != State::Idle)
            return;
        std::vector<fs::path> files = ShippedFilterFiles(ShippedFolder());
        if (files.empty()) {
            m_state = State::Off; // a build without filters: nothing to say
            return;
        }
        m_state = State::Preparing;
        if (!m_store)
            m_store = webkit_user_content_filter_store_new((CacheFolder() / "filters").c_str());
        m_shippedFiles = files;
        // The checksum reads every file: on a thread of its own.
        GTask* task = g_task_new(nullptr, nullptr, ChecksumReady, nullptr);
        g_task_set_task_data(task, new std::vector<fs::path>(files), [](gpointer data) {
            delete static_cast<std::vector<fs::path>*>(data);
        });
        g_task_run_in_thread(task, [](GTask* t, gpointer, gpointer data, GCancellable*) {
            const auto* list = static_cast<std::vector<fs::path>*>(data);
            g_task_return_pointer(t, g_strdup(ChecksumOfFiles(*list).c_str()), g_free);
        });
        g_object_unref(task);
    }

    void CheckForUpdate();

    // The filters are to be prepared again (from another folder), unless
    // that is under way.
    void Reset()
    {
        if (m_state == State::Preparing || m_updating)
            return;
        for (auto* filter : m_filters)
            webkit_user_content_filter_unref(filter);
        m_filters.clear();
        ++m_generation;
        m_state = State::Idle;
    }

private:
    static fs::path ShippedState() { return CacheFolder() / "filters-shipped.ids"; }
    static fs::path FreshState() { return CacheFolder() / "filters-fresh.ids"; }

    static void ChecksumReady(GObject*, GAsyncResult* result, gpointer)
    {
        char* sum = static_cast<char*>(g_task_propagate_pointer(G_TASK(result), nullptr));
        Get().OnChecksum(sum ? sum : "");
        g_free(sum);
    }

    void OnChecksum(const std::string& sum)
    {
        if (sum.empty()) {
            Fail("the shipped filters cannot be read");
            return;
        }
        m_shippedSum = sum;
        std::vector<std::string> shipped = ReadWords(ShippedState());
        if (shipped.size() < 2 || shipped.front() != sum) {
            // New shipped filters are newer than lists fetched before them.
            RemoveFromStore(ReadWords(FreshState()));
            std::error_code error;
            fs::remove(FreshState(), error);
            CompileShipped();
            return;
        }
        shipped.erase(shipped.begin());
        std::vector<std::string> fresh = ReadWords(FreshState());
        auto loadShipped = [this, shipped] {
            Load(shipped, [this](std::vector<WebKitUserContentFilter*> filters, std::string) {
                if (filters.empty())
                    CompileShipped();
                else
                    Use(std::move(filters));
            });
        };
        if (fresh.empty()) {
            loadShipped();
            return;
        }
        Load(fresh,
             [this, loadShipped](std::vector<WebKitUserContentFilter*> filters, std::string) {
                 if (filters.empty())
                     loadShipped();
                 else
                     Use(std::move(filters));
             });
    }

    void RemoveFromStore(const std::vector<std::string>& ids)
    {
        for (const std::string& id : ids)
            webkit_user_content_filter_store_remove(
                m_store, id.c_str(), nullptr,
                [](GObject* source, GAsyncResult* result, gpointer) {
                    webkit_user_content_filter_store_remove_finish(
                        WEBKIT_USER_CONTENT_FILTER_STORE(source), result, nullptr);
                },
                nullptr);
    }

    void Load(const std::vector<std::string>& ids, FiltersDone done)
    {
        auto job = std::make_unique<StoreJob>();
        job->store = m_store;
        job->load = true;
        for (const std::string& id : ids)
            job->items.push_back({id, nullptr, {}});
        job->done = std::move(done);
        StoreJob::Run(std::move(job));
    }

    void CompileShipped()
    {
        auto job = std::make_unique<StoreJob>();
        job->store = m_store;
        std::vector<std::string> ids;
        for (const fs::path& file : m_shippedFiles) {
            ids.push_back("shipped-" + file.stem().string());
            job->items.push_back({ids.back(), nullptr, file.string()});
        }
        job->done = [this, ids](std::vector<WebKitUserContentFilter*> filters, std::string error) {
            if (filters.empty()) {
                Fail(error);
                return;
            }
            std::vector<std::string> state{m_shippedSum};
            state.insert(state.end(), ids.begin(), ids.end());
            WriteWords(ShippedState(), state);
            Use(std::move(filters));
        };
        StoreJob::Run(std::move(job));
    }

    void Use(std::vector<WebKitUserContentFilter*> filters)
    {
        for (auto* filter : m_filters)
            webkit_user_content_filter_unref(filter);
        m_filters = std::move(filters);
        ++m_generation;
        const bool first = m_state != State::Ready;
        m_state = State::Ready;
        Settled(false);
        if (first)
            g_timeout_add(static_cast<guint>(UpdateDelay().count()), UpdateTimer, nullptr);
    }

    void Fail(const std::string& why)
    {
        g_warning("ad and tracker filters: %s", why.c_str());
        m_state = State::Off;
        Settled(true);
    }

    void Settled(bool failed)
    {
        // A copy: a held load may make or remove pages.
        std::vector<PageContentBlocking*> pages = m_pages;
        bool told = false;
        for (PageContentBlocking* page : pages) {
            if (std::find(m_pages.begin(), m_pages.end(), page) == m_pages.end())
                continue;
            // One line for the user, however many views.
            page->OnFiltersSettled(failed && !told);
            told = told || failed;
        }
    }

    static gboolean UpdateTimer(gpointer)
    {
        Get().CheckForUpdate();
        return G_SOURCE_REMOVE;
    }

    // --- Fresh lists ---------------------------------------------------------

    struct Download
    {
        std::string name; // "ads", "trackers"
        std::string address;
        GBytes* text = nullptr;
    };

    void StartUpdate(wxConfigBase& config);
    void FetchNext();
    static void Sent(GObject* source, GAsyncResult* result, gpointer);
    static void Read(GObject* source, GAsyncResult* result, gpointer);
    void ConvertDownloads();
    void UpdateFailed(const std::string& why);
    void WatchNetwork();

    State m_state = State::Idle;
    unsigned m_generation = 0;
    WebKitUserContentFilterStore* m_store = nullptr;
    std::vector<fs::path> m_shippedFiles;
    std::string m_shippedSum;
    std::vector<WebKitUserContentFilter*> m_filters;
    std::vector<PageContentBlocking*> m_pages;
    FilterListUpdates m_updates;
    bool m_updating = false;
    bool m_updateQueued = false;
    gulong m_networkWatch = 0;
    SoupSession* m_session = nullptr;
    SoupMessage* m_message = nullptr;
    std::vector<Download> m_downloads;
    std::size_t m_nextDownload = 0;
};

wxConfigBase* SettingsOfAnyPage();

void FilterLibrary::CheckForUpdate()
{
    if (m_state != State::Ready || m_updating)
        return;
    wxConfigBase* config = SettingsOfAnyPage();
    if (!config || !BlockingEnabledIn(*config))
        return;
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    wxString lastText;
    config->Read(wxString("/") + kBlockingSection + "/" + kLastListUpdateKey, &lastText);
    long long last = 0;
    lastText.ToLongLong(&last);
    if (!ListUpdateDue(last, now)) {
        // Checked again when due, or in six hours at the latest.
        const std::int64_t wait =
            std::min<std::int64_t>(last + kListUpdateIntervalSeconds - now + 1, 6 * 60 * 60);
        g_timeout_add_seconds(static_cast<guint>(std::max<std::int64_t>(wait, 60)), UpdateTimer,
                              nullptr);
        return;
    }
    if (!NetworkAvailable()) {
        WatchNetwork();
        return;
    }
    StartUpdate(*config);
}

void FilterLibrary::WatchNetwork()
{
    if (m_networkWatch)
        return;
    m_networkWatch =
        g_signal_connect(g_network_monitor_get_default(), "network-changed",
                         G_CALLBACK(+[](GNetworkMonitor*, gboolean available, gpointer) {
                             if (available)
                                 Get().CheckForUpdate();
                         }),
                         nullptr);
}

// The lists are fetched with the libsoup the web engine itself links (2.4
// under webkit2gtk-4.0, 3 under 4.1; its headers come with WebKit's): wx's
// own web request is built without a backend on Debian, GIO has no HTTP
// client, and a second libsoup major version in the process would crash it.
// It also takes the system's proxy settings, as the pages do.
void FilterLibrary::StartUpdate(wxConfigBase& config)
{
    const wxString section = wxString("/") + kBlockingSection + "/";
    // At most once every four days, whatever comes of it.
    config.Write(section + kLastListUpdateKey,
                 wxString::Format("%lld", static_cast<long long>(std::time(nullptr))));
    config.Flush();
    m_updating = true;
    ++m_updates.started;
    m_downloads = {
        {"ads", config.Read(section + kEasyListAddressKey, kDefaultEasyListAddress).utf8_string()},
        {"trackers",
         config.Read(section + kEasyPrivacyAddressKey, kDefaultEasyPrivacyAddress).utf8_string()}};
    m_nextDownload = 0;
    if (!m_session) {
        m_session = soup_session_new();
        g_object_set(m_session, "timeout", 120, "user-agent", "LumoNewsReader", nullptr);
    }
    FetchNext();
}

void FilterLibrary::FetchNext()
{
    if (m_nextDownload == m_downloads.size()) {
        ConvertDownloads();
        return;
    }
    const std::string& address = m_downloads[m_nextDownload].address;
    if (SiteOf(address).empty()) {
        UpdateFailed("not a web address: " + address);
        return;
    }
    m_message = soup_message_new("GET", address.c_str());
    if (!m_message) {
        UpdateFailed("not a web address: " + address);
        return;
    }
#if SOUP_CHECK_VERSION(2, 99, 0)
    soup_session_send_async(m_session, m_message, G_PRIORITY_LOW, nullptr, Sent, nullptr);
#else
    soup_session_send_async(m_session, m_message, nullptr, Sent, nullptr);
#endif
}

void FilterLibrary::Sent(GObject* source, GAsyncResult* result, gpointer)
{
    FilterLibrary& me = Get();
    GError* error = nullptr;
    GInputStream* in = soup_session_send_finish(SOUP_SESSION(source), result, &error);
#if SOUP_CHECK_VERSION(2, 99, 0)
    const guint status = soup_message_get_status(me.m_message);
#else
    const guint status = me.m_message->status_code;
#endif
    g_object_unref(me.m_message);
    me.m_message = nullptr;
    const std::string& address = me.m_downloads[me.m_nextDownload].address;
    if (!in) {
        me.UpdateFailed(address + ": " + ErrorText(error));
        return;
    }
    if (status != 200) {
        g_object_unref(in);
        me.UpdateFailed(address + ": HTTP status " + std::to_string(status));
        return;
    }
    GOutputStream* out = g_memory_output_stream_new_resizable();
    g_output_stream_splice_async(
        out, in,
        static_cast<GOutputStreamSpliceFlags>(G_OUTPUT_STREAM_SPLICE_CLOSE_SOURCE |
                                              G_OUTPUT_STREAM_SPLICE_CLOSE_TARGET),
        G_PRIORITY_LOW, nullptr, Read, nullptr);
    g_object_unref(in);
    g_object_unref(out);
}

void FilterLibrary::Read(GObject* source, GAsyncResult* result, gpointer)
{
    FilterLibrary& me = Get();
    GError* error = nullptr;
    auto* out = G_OUTPUT_STREAM(source);
    const gssize size = g_output_stream_splice_finish(out, result, &error);
    Download& download = me.m_downloads[me.m_nextDownload];
    if (size < 0) {
        me.UpdateFailed(download.address + ": " + ErrorText(error));
        return;
    }
    download.text = g_memory_output_stream_steal_as_bytes(G_MEMORY_OUTPUT_STREAM(out));
    if (g_bytes_get_size(download.text) > kMaxListBytes) {
        me.UpdateFailed(download.address + ": too large for a filter list");
        return;
    }
    ++me.m_nextDownload;
    me.FetchNext();
}

// The downloads converted on a thread of their own: each list into its parts.
struct ConvertedLists
{
    std::vector<std::pair<std::string, std::string>> texts; // name, list
    std::vector<std::pair<std::string, std::string>> parts; // name-N, rules
    std::string error;
};

void FilterLibrary::ConvertDownloads()
{
    auto* work = new ConvertedLists;
    for (Download& download : m_downloads) {
        gsize size = 0;
        const char* data = static_cast<const char*>(g_bytes_get_data(download.text, &size));
        work->texts.emplace_back(download.name, std::string(data ? data : "", size));
        g_bytes_unref(download.text);
        download.text = nullptr;
    }
    GTask* task = g_task_new(
        nullptr, nullptr,
        [](GObject*, GAsyncResult* result, gpointer) {
            auto* lists =
                static_cast<ConvertedLists*>(g_task_propagate_pointer(G_TASK(result), nullptr));
            std::unique_ptr<ConvertedLists> owned(lists);
            FilterLibrary& me = Get();
            if (!owned || !owned->error.empty()) {
                me.UpdateFailed(owned ? owned->error : "no conversion");
                return;
            }
            // Into the slot the filters in use are not from.
            std::vector<std::string> fresh = ReadWords(FreshState());
            const std::string slot =
                !fresh.empty() && fresh.front().starts_with("fresh-a-") ? "fresh-b-" : "fresh-a-";
            auto job = std::make_unique<StoreJob>();
            job->store = me.m_store;
            std::vector<std::string> ids;
            for (auto& [name, rules] : owned->parts) {
                ids.push_back(slot + name);
                job->items.push_back({ids.back(), g_bytes_new(rules.data(), rules.size()), {}});
            }
            job->done = [ids, fresh](std::vector<WebKitUserContentFilter*> filters,
                                     std::string error) {
                FilterLibrary& library = Get();
                if (filters.empty()) {
                    library.UpdateFailed(error);
                    return;
                }
                WriteWords(FreshState(), ids);
                // The lists fetched before are of no more use: out of the cache.
                std::vector<std::string> old;
                for (const std::string& id : fresh)
                    if (std::find(ids.begin(), ids.end(), id) == ids.end())
                        old.push_back(id);
                library.RemoveFromStore(old);
                library.m_updating = false;
                ++library.m_updates.switched;
                library.Use(std::move(filters));
            };
            StoreJob::Run(std::move(job));
        },
        nullptr);
    g_task_set_task_data(task, work, nullptr);
    g_task_run_in_thread(task, [](GTask* t, gpointer, gpointer data, GCancellable*) {
        auto* lists = static_cast<ConvertedLists*>(data);
        for (auto& [name, text] : lists->texts) {
            if (!LooksLikeFilterList(text)) {
                lists->error = name + ": the download is not a filter list";
                break;
            }
            Converter converter;
            converter.AddList(text);
            Conversion conversion = converter.Finish();
            if (conversion.RuleCount() == 0) {
                lists->error = name + ": the list holds no rule that can be used";
                break;
            }
            std::vector<std::string> parts = SplitIntoParts(conversion, WebKitMaxRules);
            if (parts.empty()) {
                lists->error = name + ": the list does not fit in a filter";
                break;
            }
            for (std::size_t i = 0; i < parts.size(); ++i)
                lists->parts.emplace_back(name + "-" + std::to_string(i + 1), std::move(parts[i]));
            text.clear();
        }
        g_task_return_pointer(t, lists, nullptr);
    });
    g_object_unref(task);
}

void FilterLibrary::UpdateFailed(const std::string& why)
{
    g_message("ad and tracker lists not updated, the filters in use are kept: %s", why.c_str());
    for (Download& download : m_downloads)
        if (download.text) {
            g_bytes_unref(download.text);
            download.text = nullptr;
        }
    m_updating = false;
    ++m_updates.failed;
    m_updates.lastError = why;
}

wxConfigBase* SettingsOfAnyPage()
{
    for (PageContentBlocking* page : FilterLibrary::Get().Pages())
        if (wxConfigBase* config = page->Settings())
            return config;
    return nullptr;
}

} // namespace

// --- One page view ---------------------------------------------------------

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
    wxConfigBase* config = m_host.Settings();
    return config ? config : wxConfigBase::Get(false);
}

bool PageContentBlocking::Enabled() const
{
    wxConfigBase* config = Settings();
    return !config || BlockingEnabledIn(*config);
}

bool PageContentBlocking::Allowed(const std::string& site) const
{
    wxConfigBase* config = Settings();
    if (!config || site.empty())
        return false;
    const wxString text = config->Read(wxString("/") + kBlockingSection + "/" + kAllowedSitesKey);
    return ParseAllowedSites(text.utf8_string()).contains(site);
}

void PageContentBlocking::SetAllowed(const std::string& site, bool allowed)
{
    wxConfigBase* config = Settings();
    if (!config || site.empty())
        return;
    const wxString key = wxString("/") + kBlockingSection + "/" + kAllowedSitesKey;
    std::set<std::string> sites = ParseAllowedSites(config->Read(key).utf8_string());
    if (allowed)
        sites.insert(site);
    else
        sites.erase(site);
    config->Write(key, wxString::FromUTF8(FormatAllowedSites(sites)));
    config->Flush();
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
    if (Enabled() && library.CurrentState() == FilterLibrary::State::Idle)
        library.Prepare();
    const bool wanted =
        library.CurrentState() == FilterLibrary::State::Ready && Enabled() && !Allowed(m_site);
    const unsigned set = wanted ? library.Generation() : 0;
    if (set == m_applied)
        return;
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(m_view);
    webkit_user_content_manager_remove_all_filters(manager);
    if (wanted)
        for (WebKitUserContentFilter* filter : library.Filters())
            webkit_user_content_manager_add_filter(manager, filter);
    m_applied = set;
}

void PageContentBlocking::OnFiltersSettled(bool failed)
{
    Refresh();
    if (failed)
        m_host.OnNotice(kFiltersFailedMessage);
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
    const bool allowed = Allowed(site);
    GSimpleAction* action = g_simple_action_new("toggle-ads-on-site", nullptr);
    struct Toggle
    {
        PageContentBlocking* page;
        std::string site;
        bool allow;
    };
    g_signal_connect_data(
        action, "activate", G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer data) {
            auto* toggle = static_cast<Toggle*>(data);
            toggle->page->SetAllowed(toggle->site, toggle->allow);
        }),
        new Toggle{this, site, !allowed},
        [](gpointer data, GClosure*) { delete static_cast<Toggle*>(data); },
        static_cast<GConnectFlags>(0));
    webkit_context_menu_append(
        menu, webkit_context_menu_item_new_from_gaction(
                  G_ACTION(action), allowed ? kBlockAdsLabel : kAllowAdsLabel, nullptr));
    g_object_unref(action);
}

// --- Process-wide ------------------------------------------------------------

void SetShippedFiltersFolder(const std::string& folder)
{
    if (folder == ShippedFolderSetting())
        return;
    ShippedFolderSetting() = folder;
    FilterLibrary::Get().Reset();
}

void SetListUpdateDelay(std::chrono::milliseconds delay)
{
    UpdateDelay() = delay;
}

void CheckFilterListsNow()
{
    FilterLibrary::Get().CheckForUpdate();
}

bool ContentFiltersReady()
{
    return FilterLibrary::Get().CurrentState() == FilterLibrary::State::Ready;
}

FilterListUpdates FilterListUpdateCount()
{
    return FilterLibrary::Get().Updates();
}

} // namespace lumo
