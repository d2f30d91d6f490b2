#include "browser/engine/blocking/filter_library.h"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <memory>

#include "common/file_replacement.h"
#include "content_filter/blocking_settings.h"
#include "content_filter/filter_lists.h"

namespace fs = std::filesystem;
using namespace lumo::content_filter;

namespace lumo {
namespace {

std::string& ShippedFolderSetting()
{
    static std::string folder;
    return folder;
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

// What the store holds: the shipped filters' checksum and ids, and the ids
// of the fetched lists' filters.
fs::path ShippedState()
{
    return CacheFolder() / "filters-shipped.ids";
}

fs::path FreshState()
{
    return CacheFolder() / "filters-fresh.ids";
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
    std::string text;
    for (const std::string& word : words)
        text += word + '\n';
    FileReplacement replacement;
    return replacement.Begin(file.string()) && replacement.Write(text.data(), text.size()) &&
           replacement.Commit();
}

std::string MessageOf(const GError* error)
{
    return error && error->message ? error->message : "unknown error";
}

// Compiles (or, with `load`, loads) the items one after the other; `done`
// gets every filter, or the first error.
struct StoreJob
{
    WebKitUserContentFilterStore* store = nullptr;
    std::vector<FilterLibrary::Item> items;
    std::vector<std::string> files; // the shipped files, compiled from where they are
    bool load = false;
    std::size_t next = 0;
    FilterSet filters;
    FilterLibrary::FiltersDone done;

    std::size_t Count() const { return std::max(items.size(), files.size()); }
    std::string Id() const
    {
        return next < items.size() ? items[next].id
                                   : "shipped-" + fs::path(files[next]).stem().string();
    }

    static void Run(std::unique_ptr<StoreJob> job)
    {
        if (job->next == job->Count()) {
            job->done(std::move(job->filters), {});
            return;
        }
        StoreJob* raw = job.release();
        const std::string id = raw->Id();
        if (raw->load) {
            webkit_user_content_filter_store_load(raw->store, id.c_str(), nullptr, Answer, raw);
        } else if (raw->next < raw->items.size()) {
            const std::string& rules = raw->items[raw->next].rules;
            GBytesPtr bytes(g_bytes_new(rules.data(), rules.size()));
            webkit_user_content_filter_store_save(raw->store, id.c_str(), bytes.get(), nullptr,
                                                  Answer, raw);
        } else {
            GObjectPtr<GFile> file(g_file_new_for_path(raw->files[raw->next].c_str()));
            webkit_user_content_filter_store_save_from_file(raw->store, id.c_str(), file.get(),
                                                            nullptr, Answer, raw);
        }
    }

    static void Answer(GObject* source, GAsyncResult* result, gpointer data)
    {
        std::unique_ptr<StoreJob> job(static_cast<StoreJob*>(data));
        auto* store = WEBKIT_USER_CONTENT_FILTER_STORE(source);
        g_autoptr(GError) error = nullptr;
        FilterPtr filter(job->load
                             ? webkit_user_content_filter_store_load_finish(store, result, &error)
                             : webkit_user_content_filter_store_save_finish(store, result, &error));
        if (!filter) {
            job->done({}, job->Id() + ": " + MessageOf(error));
            return;
        }
        job->filters.push_back(std::move(filter));
        ++job->next;
        Run(std::move(job));
    }
};

} // namespace

FilterLibrary& FilterLibrary::Get()
{
    static auto* library = new FilterLibrary; // lives as long as the process
    return *library;
}

void FilterLibrary::Add(FilterUser* user)
{
    m_users.push_back(user);
}

void FilterLibrary::Remove(FilterUser* user)
{
    std::erase(m_users, user);
}

wxConfigBase* FilterLibrary::UserSettings() const
{
    return m_users.empty() ? nullptr : m_users.front()->Settings();
}

void FilterLibrary::Prepare()
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
        m_store.reset(webkit_user_content_filter_store_new((CacheFolder() / "filters").c_str()));
    m_shippedFiles.clear();
    for (const fs::path& file : files)
        m_shippedFiles.push_back(file.string());
    // The checksum reads every file: on a thread of its own.
    g_autoptr(GTask) task = g_task_new(
        nullptr, nullptr,
        [](GObject*, GAsyncResult* result, gpointer) {
            g_autofree char* sum =
                static_cast<char*>(g_task_propagate_pointer(G_TASK(result), nullptr));
            Get().OnChecksum(sum ? sum : "");
        },
        nullptr);
    g_task_set_task_data(task, new std::vector<fs::path>(std::move(files)),
                         [](gpointer data) { delete static_cast<std::vector<fs::path>*>(data); });
    g_task_run_in_thread(task, [](GTask* t, gpointer, gpointer data, GCancellable*) {
        const auto* list = static_cast<std::vector<fs::path>*>(data);
        g_task_return_pointer(t, g_strdup(ChecksumOfFiles(*list).c_str()), g_free);
    });
}

void FilterLibrary::Reset()
{
    if (m_state == State::Preparing || m_compiling > 0)
        return;
    m_filters.clear();
    ++m_generation;
    m_state = State::Idle;
}

void FilterLibrary::OnChecksum(const std::string& sum)
{
    if (sum.empty()) {
        Fail("the shipped filters cannot be read");
        return;
    }
    m_shippedSum = sum;
    std::vector<std::string> shipped = ReadWords(ShippedState());
    if (shipped.size() < 2 || shipped.front() != sum) {
        // New shipped filters are newer than lists fetched before them.
        RemoveFromStore(FreshIds());
        std::error_code error;
        fs::remove(FreshState(), error);
        CompileShipped();
        return;
    }
    shipped.erase(shipped.begin());
    auto loadShipped = [this, shipped] {
        Load(shipped, [this](FilterSet filters, std::string) {
            if (filters.empty())
                CompileShipped();
            else
                Use(std::move(filters));
        });
    };
    const std::vector<std::string> fresh = FreshIds();
    if (fresh.empty()) {
        loadShipped();
        return;
    }
    Load(fresh, [this, loadShipped](FilterSet filters, std::string) {
        if (filters.empty())
            loadShipped();
        else
            Use(std::move(filters));
    });
}

void FilterLibrary::Load(const std::vector<std::string>& ids, FiltersDone done)
{
    auto job = std::make_unique<StoreJob>();
    job->store = m_store.get();
    job->load = true;
    for (const std::string& id : ids)
        job->items.push_back({id, {}});
    job->done = std::move(done);
    StoreJob::Run(std::move(job));
}

void FilterLibrary::Compile(std::vector<Item> items, FiltersDone done)
{
    auto job = std::make_unique<StoreJob>();
    job->store = m_store.get();
    job->items = std::move(items);
    ++m_compiling;
    job->done = [this, done = std::move(done)](FilterSet filters, std::string error) {
        --m_compiling;
        done(std::move(filters), std::move(error));
    };
    StoreJob::Run(std::move(job));
}

void FilterLibrary::CompileShipped()
{
    auto job = std::make_unique<StoreJob>();
    job->store = m_store.get();
    job->files = m_shippedFiles;
    std::vector<std::string> state{m_shippedSum};
    for (const std::string& file : m_shippedFiles)
        state.push_back("shipped-" + fs::path(file).stem().string());
    ++m_compiling;
    job->done = [this, state](FilterSet filters, std::string error) {
        --m_compiling;
        if (filters.empty()) {
            Fail(error);
            return;
        }
        WriteWords(ShippedState(), state);
        Use(std::move(filters));
    };
    StoreJob::Run(std::move(job));
}

void FilterLibrary::RemoveFromStore(const std::vector<std::string>& ids)
{
    for (const std::string& id : ids)
        webkit_user_content_filter_store_remove(
            m_store.get(), id.c_str(), nullptr,
            [](GObject* source, GAsyncResult* result, gpointer) {
                webkit_user_content_filter_store_remove_finish(
                    WEBKIT_USER_CONTENT_FILTER_STORE(source), result, nullptr);
            },
            nullptr);
}

std::vector<std::string> FilterLibrary::FreshIds() const
{
    return ReadWords(FreshState());
}

void FilterLibrary::UseFresh(FilterSet filters, const std::vector<std::string>& ids)
{
    std::vector<std::string> old;
    for (const std::string& id : FreshIds())
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
            old.push_back(id);
    WriteWords(FreshState(), ids);
    // The lists fetched before are of no more use: out of the cache.
    RemoveFromStore(old);
    // Prepared again meanwhile: they are loaded with the rest.
    if (m_state == State::Ready)
        Use(std::move(filters));
}

void FilterLibrary::Use(FilterSet filters)
{
    m_filters = std::move(filters);
    ++m_generation;
    m_state = State::Ready;
    Settled(false);
}

void FilterLibrary::Fail(const std::string& why)
{
    g_warning("ad and tracker filters: %s", why.c_str());
    m_state = State::Off;
    Settled(true);
}

void FilterLibrary::Settled(bool failed)
{
    // A copy: a held load may make or remove views.
    std::vector<FilterUser*> users = m_users;
    bool told = false;
    for (FilterUser* user : users) {
        if (std::find(m_users.begin(), m_users.end(), user) == m_users.end())
            continue;
        // One line for the user, however many views.
        user->OnFiltersSettled(failed && !told);
        told = told || failed;
    }
}

void SetShippedFiltersFolder(const std::string& folder)
{
    if (folder == ShippedFolderSetting())
        return;
    ShippedFolderSetting() = folder;
    FilterLibrary::Get().Reset();
}

bool ContentFiltersReady()
{
    return FilterLibrary::Get().CurrentState() == FilterLibrary::State::Ready;
}

} // namespace lumo
