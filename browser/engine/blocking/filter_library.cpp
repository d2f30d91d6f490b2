#include "browser/engine/blocking/filter_library.h"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
#include <memory>
#include <utility>

#include "browser/engine/blocking/prebuilt_filters.h"
#include "browser/engine/blocking/worker_task.h"
#include "common/resource_ids.h"
#include "content_filter/blocking_settings.h"
#include "content_filter/filter_converter.h"
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

fs::path StoreFolder()
{
    return CacheFolder() / "filters";
}

// What the store holds: the shipped filters' checksum on the first line, then
// the record of each compiled file; and the records of the fetched lists'.
fs::path ShippedState()
{
    return CacheFolder() / "filters-shipped.ids";
}

fs::path FreshState()
{
    return CacheFolder() / "filters-fresh.ids";
}

std::vector<std::string> IdsOf(const std::vector<CompiledRecord>& records)
{
    std::vector<std::string> ids;
    for (const CompiledRecord& record : records)
        ids.push_back(record.id);
    return ids;
}

bool AllIntact(const std::vector<CompiledRecord>& records)
{
    return !records.empty() && std::all_of(records.begin(), records.end(),
                                           [](const auto& r) { return Intact(StoreFolder(), r); });
}

std::string MessageOf(const GError* error)
{
    return error && error->message ? error->message : "unknown error";
}

// Compiles (or, with `load`, loads) the ids one after the other; `done`
// gets every filter, or the first error.
struct StoreJob
{
    WebKitUserContentFilterStore* store = nullptr;
    std::vector<FilterLibrary::Item> items;
    bool load = false;
    std::size_t next = 0;
    FilterSet filters;
    std::function<void(FilterSet, std::string)> done;

    static void Run(std::unique_ptr<StoreJob> job)
    {
        if (job->next == job->items.size()) {
            job->done(std::move(job->filters), {});
            return;
        }
        StoreJob* raw = job.release();
        FilterLibrary::Item& item = raw->items[raw->next];
        if (raw->load) {
            webkit_user_content_filter_store_load(raw->store, item.id.c_str(), nullptr, Answer,
                                                  raw);
            return;
        }
        // The rules go with the bytes WebKit holds while it compiles them.
        auto* rules = new std::string(std::move(item.rules));
        GBytesPtr bytes(g_bytes_new_with_free_func(
            rules->data(), rules->size(), [](gpointer r) { delete static_cast<std::string*>(r); },
            rules));
        webkit_user_content_filter_store_save(raw->store, item.id.c_str(), bytes.get(), nullptr,
                                              Answer, raw);
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
            job->done({}, job->items[job->next].id + ": " + MessageOf(error));
            return;
        }
        job->filters.push_back(std::move(filter));
        ++job->next;
        Run(std::move(job));
    }
};

} // namespace

// What the start finds on disk, read on a worker: the shipped files'
// checksum, and whether the compiled files are as recorded.
struct FilterLibrary::StartPlan
{
    std::vector<fs::path> files;
    std::string sum;
    bool shippedChanged = true;
    bool shippedIntact = false;
    std::vector<std::string> shippedIds;
    std::vector<std::string> freshIds;
    bool freshIntact = false;
    // The shipped filters as compiled with the program, when this WebKit
    // compiled them.
    std::optional<std::vector<std::string>> prebuiltIds;

    static void Read(StartPlan& plan)
    {
        // Room for the store where something else took its place.
        std::error_code error;
        if (fs::exists(fs::symlink_status(StoreFolder(), error)) &&
            !fs::is_directory(fs::symlink_status(StoreFolder(), error)))
            fs::remove(StoreFolder(), error);
        // The files, and what the program adds to them: either changed, they
        // are compiled again.
        plan.sum = ShippedFiltersSum(plan.files);
        plan.prebuiltIds = UsablePrebuiltIds(ShippedFolder(), plan.files, plan.sum);
        const std::string shipped = ReadText(ShippedState());
        const std::size_t firstLine = shipped.find('\n');
        if (firstLine != std::string::npos && shipped.substr(0, firstLine) == plan.sum) {
            plan.shippedChanged = false;
            std::optional<std::vector<CompiledRecord>> records =
                ParseRecords(std::string_view(shipped).substr(firstLine + 1));
            if (records) {
                plan.shippedIds = IdsOf(*records);
                plan.shippedIntact = records->size() == plan.files.size() && AllIntact(*records);
            }
        }
        if (std::optional<std::vector<CompiledRecord>> fresh =
                ParseRecords(ReadText(FreshState()))) {
            plan.freshIds = IdsOf(*fresh);
            plan.freshIntact = AllIntact(*fresh);
        }
        // What a compile that failed or was killed left behind.
        RemoveCompileLeftovers(g_get_tmp_dir());
    }
};

FilterLibrary& FilterLibrary::Get()
{
    static auto* library = new FilterLibrary; // lives as long as the process
    return *library;
}

std::vector<fs::path> FilterLibrary::ShippedFiles() const
{
    return ShippedFilterFiles(ShippedFolder());
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
    auto plan = std::make_unique<StartPlan>();
    plan->files = ShippedFilterFiles(ShippedFolder());
    if (plan->files.empty()) {
        m_state = State::Off; // a build without filters: nothing to say
        return;
    }
    m_state = State::Preparing;
    if (!m_store)
        m_store.reset(webkit_user_content_filter_store_new(StoreFolder().c_str()));
    // The checks read every file: on a worker.
    RunOnWorker<StartPlan>(std::move(plan), StartPlan::Read,
                           [](StartPlan& plan) { Get().OnStartPlan(plan); });
}

void FilterLibrary::Reset()
{
    if (m_state == State::Preparing || m_compiling > 0 || m_offForRun)
        return;
    m_filters.clear();
    ++m_generation;
    m_state = State::Idle;
}

void FilterLibrary::TurnOffForRun(const std::string& why)
{
    if (m_offForRun)
        return;
    g_warning("ad and tracker filters turned off until the program starts again: %s", why.c_str());
    m_offForRun = true;
    m_state = State::Off;
    m_filters.clear();
    ++m_generation;
    Settled(kFiltersTurnedOffMessage);
}

void FilterLibrary::ReturnToShipped()
{
    if (m_state == State::Preparing || m_compiling > 0 || m_offForRun)
        return;
    DropFresh();
    if (m_state == State::Ready) {
        Reset();
        Prepare();
    }
}

void FilterLibrary::OnStartPlan(StartPlan& plan)
{
    if (plan.sum.empty()) {
        Fail("the shipped filters cannot be read");
        return;
    }
    m_shippedSum = plan.sum;
    // New shipped filters are newer than lists fetched before them; the
    // fetched lists' damaged files cannot be compiled again (their lists are
    // not kept): the shipped filters serve until the next update.
    if (!plan.shippedChanged && !plan.freshIds.empty() && !plan.freshIntact) {
        g_message("ad and tracker filters: the fetched lists' compiled filters are damaged; the "
                  "shipped ones serve until the lists are fetched again, soon");
        BlockingSettings(UserSettings()).SetLastListUpdate(0);
    }
    if (plan.shippedChanged || !plan.freshIntact) {
        DropFresh();
        plan.freshIds.clear();
    }
    if (plan.prebuiltIds) {
        // Compiled with the program: nothing to compile, and the user's own
        // compile of them is of no more use.
        if (plan.shippedChanged)
            WriteText(ShippedState(), plan.sum + "\n");
        std::vector<std::string> own;
        for (const fs::path& file : plan.files)
            own.push_back(ShippedFilterId(file));
        RemoveFromStore(own);
        plan.shippedIds = *plan.prebuiltIds;
    } else if (plan.shippedChanged || !plan.shippedIntact) {
        if (!plan.shippedChanged && !plan.shippedIds.empty())
            g_message("ad and tracker filters: the compiled filters are damaged, compiled again");
        CompileShipped();
        return;
    }
    m_shippedFrom = plan.prebuiltIds ? Prebuilt() : m_store.get();
    if (plan.freshIds.empty()) {
        LoadShipped(plan.shippedIds);
        return;
    }
    Load(m_store.get(), plan.freshIds,
         [this, shipped = plan.shippedIds](FilterSet filters, std::string) {
             if (!filters.empty()) {
                 Use(std::move(filters));
                 return;
             }
             DropFresh();
             LoadShipped(shipped);
         });
}

void FilterLibrary::LoadShipped(const std::vector<std::string>& ids)
{
    Load(m_shippedFrom, ids, [this](FilterSet filters, std::string error) {
        if (!filters.empty()) {
            Use(std::move(filters));
            return;
        }
        if (m_shippedFrom != m_store.get())
            g_message("ad and tracker filters: the filters compiled with the program cannot be "
                      "loaded (%s); compiled again",
                      error.c_str());
        CompileShipped();
    });
}

WebKitUserContentFilterStore* FilterLibrary::Prebuilt()
{
    if (!m_prebuilt)
        m_prebuilt.reset(
            webkit_user_content_filter_store_new(PrebuiltFolder(ShippedFolder()).c_str()));
    return m_prebuilt.get();
}

void FilterLibrary::Load(WebKitUserContentFilterStore* store, const std::vector<std::string>& ids,
                         Loaded done)
{
    auto job = std::make_unique<StoreJob>();
    job->store = store;
    job->load = true;
    for (const std::string& id : ids)
        job->items.push_back({id, {}});
    job->done = std::move(done);
    StoreJob::Run(std::move(job));
}

void FilterLibrary::Compile(std::vector<Item> items, Compiled done)
{
    // After the compilation, on a worker: the record of each file made, and
    // what the compiler left in the temporary folder.
    struct Afterwards
    {
        std::vector<std::string> ids;
        FilterSet filters;
        std::string error;
        std::vector<CompiledRecord> records;
        Compiled done;

        static void Record(Afterwards& me)
        {
            if (me.error.empty())
                for (const std::string& id : me.ids) {
                    std::optional<CompiledRecord> record = RecordOf(StoreFolder(), id);
                    if (!record) {
                        me.error = id + ": the compiled file cannot be read";
                        break;
                    }
                    me.records.push_back(*record);
                }
            RemoveCompileLeftovers(g_get_tmp_dir());
        }
        static void Then(Afterwards& me)
        {
            --Get().m_compiling;
            if (!me.error.empty())
                me.filters.clear();
            me.done(std::move(me.filters), std::move(me.records), std::move(me.error));
        }
    };
    auto job = std::make_unique<StoreJob>();
    job->store = m_store.get();
    std::vector<std::string> ids;
    for (const Item& item : items) {
        // A folder where the file goes would fail every compilation.
        ClearPlaceOf(StoreFolder(), item.id);
        ids.push_back(item.id);
    }
    job->items = std::move(items);
    ++m_compiling;
    job->done = [ids, done = std::move(done)](FilterSet filters, std::string error) mutable {
        auto after = std::make_unique<Afterwards>();
        after->ids = std::move(ids);
        after->filters = std::move(filters);
        after->error = std::move(error);
        after->done = std::move(done);
        RunOnWorker<Afterwards>(std::move(after), Afterwards::Record, Afterwards::Then);
    };
    StoreJob::Run(std::move(job));
}

void FilterLibrary::CompileShipped()
{
    // The shipped files read, with the program's exception after their
    // rules, on a worker.
    struct Shipped
    {
        std::vector<fs::path> files;
        std::vector<Item> items;
        static void Read(Shipped& me)
        {
            for (ShippedFilter& filter : ReadShippedFilters(me.files))
                me.items.push_back({std::move(filter.id), std::move(filter.rules)});
        }
    };
    auto shipped = std::make_unique<Shipped>();
    shipped->files = ShippedFilterFiles(ShippedFolder());
    ++m_compiling;
    RunOnWorker<Shipped>(std::move(shipped), Shipped::Read, [](Shipped& me) {
        FilterLibrary& library = Get();
        --library.m_compiling;
        library.Compile(
            std::move(me.items),
            [](FilterSet filters, std::vector<CompiledRecord> records, std::string error) {
                FilterLibrary& library = Get();
                if (filters.empty()) {
                    library.Fail(error);
                    return;
                }
                WriteText(ShippedState(), library.m_shippedSum + "\n" + FormatRecords(records));
                library.Use(std::move(filters));
            });
    });
}

void FilterLibrary::DropFresh()
{
    // Every fetched list's filter in the store, recorded or not (an older
    // state file names them otherwise).
    std::vector<std::string> ids;
    const std::string prefix = CompiledFile({}, "fresh-").string();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(StoreFolder(), error))
        if (const std::string name = entry.path().filename().string(); name.starts_with(prefix))
            ids.push_back(name.substr(prefix.size() - std::string("fresh-").size()));
    RemoveFromStore(ids);
    fs::remove(FreshState(), error);
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
    return IdsOf(ParseRecords(ReadText(FreshState())).value_or(std::vector<CompiledRecord>{}));
}

void FilterLibrary::UseFresh(FilterSet filters, const std::vector<CompiledRecord>& records)
{
    const std::vector<std::string> ids = IdsOf(records);
    std::vector<std::string> old;
    for (const std::string& id : FreshIds())
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
            old.push_back(id);
    WriteText(FreshState(), FormatRecords(records));
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
    Settled(nullptr);
}

void FilterLibrary::Fail(const std::string& why)
{
    g_warning("ad and tracker filters: %s", why.c_str());
    m_state = State::Off;
    Settled(kFiltersFailedMessage);
}

void FilterLibrary::Settled(const char* notice)
{
    // A copy: a held load may make or remove views.
    std::vector<FilterUser*> users = m_users;
    for (FilterUser* user : users) {
        if (std::find(m_users.begin(), m_users.end(), user) == m_users.end())
            continue;
        // One line for the user, however many views.
        user->OnFiltersSettled(std::exchange(notice, nullptr));
    }
}

void SetShippedFiltersFolder(const std::string& folder)
{
    if (folder == ShippedFolderSetting())
        return;
    ShippedFolderSetting() = folder;
    FilterLibrary::Get().ForgetPrebuilt();
    FilterLibrary::Get().Reset();
}

void PrepareFiltersAgain()
{
    FilterLibrary::Get().Reset();
}

bool ContentFiltersReady()
{
    return FilterLibrary::Get().CurrentState() == FilterLibrary::State::Ready;
}

std::string CompiledFiltersFolder()
{
    return StoreFolder().string();
}

} // namespace lumo
