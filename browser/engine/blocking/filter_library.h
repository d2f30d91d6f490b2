#pragma once
// The ad and tracker filters of this process, shared by every page view:
// WebKit's content filters: the shipped EasyList and EasyPrivacy rules as
// compiled when the program was built (prebuilt_filters.h), or, on another
// WebKit version, compiled once into a store under the user's cache folder
// and loaded from there at later starts; or the lists fetched since
// (list_update.h), which take their place. A checksum of the shipped files
// tells when they changed and are to be compiled again; each compiled file
// is recorded by size and checksum and compiled again when it no longer
// matches. Every compiled set ends with an exception for the program's own
// pages, which are never filtered.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "browser/engine/gobject_ptr.h"
#include "content_filter/filter_store.h"

#include <webkit2/webkit2.h>

class wxConfigBase;

namespace lumo {

using FilterPtr = GRefPtr<WebKitUserContentFilter, webkit_user_content_filter_unref>;
using FilterSet = std::vector<FilterPtr>;

// What uses the filters: a page view.
class FilterUser
{
public:
    virtual ~FilterUser() = default;
    // The filters in use changed, or their preparation ended; `notice`, when
    // there is one, is for one user of all to say.
    virtual void OnFiltersSettled(const char* notice) = 0;
    // The settings the user keeps its choices in (nullptr: the program's).
    virtual wxConfigBase* Settings() const = 0;
};

class FilterLibrary
{
public:
    enum class State
    {
        Idle,
        Preparing,
        Ready,
        Off // none shipped, they could not be prepared, or turned off for the run
    };

    static FilterLibrary& Get();

    State CurrentState() const { return m_state; }
    // Goes up at every change of the filters in use.
    unsigned Generation() const { return m_generation; }
    const FilterSet& Filters() const { return m_filters; }
    // The shipped filter files.
    std::vector<std::filesystem::path> ShippedFiles() const;

    void Add(FilterUser* user);
    void Remove(FilterUser* user);
    // Whether a view uses the filters, and the settings of the first.
    bool HasUsers() const { return !m_users.empty(); }
    wxConfigBase* UserSettings() const;

    // Prepares the filters, once (again after Reset).
    void Prepare();
    // The filters are to be prepared again, as at the program's next start,
    // unless that or a compilation is under way.
    void Reset();
    // No filters for the rest of the run: they take the pages down.
    void TurnOffForRun(const std::string& why);
    // The lists fetched since the program was built leave the store; the
    // shipped filters are prepared again and serve.
    void ReturnToShipped();

    // Compiles each item's rules (a JSON array) into the store under its id,
    // one after the other; `done` gets every filter and the record of each
    // compiled file, or the first error.
    struct Item
    {
        std::string id;
        std::string rules;
    };
    using Compiled = std::function<void(
        FilterSet filters, std::vector<content_filter::CompiledRecord> records, std::string error)>;
    void Compile(std::vector<Item> items, Compiled done);

    // The ids of the fetched lists' filters in the store, empty while the
    // shipped ones serve.
    std::vector<std::string> FreshIds() const;
    // Filters of fetched lists, compiled as `records` say, take the place of
    // those in use; fetched lists compiled before leave the store.
    void UseFresh(FilterSet filters, const std::vector<content_filter::CompiledRecord>& records);
    void RemoveFromStore(const std::vector<std::string>& ids);
    // The shipped folder changed: its compiled filters are another store.
    void ForgetPrebuilt() { m_prebuilt.reset(); }

private:
    using Loaded = std::function<void(FilterSet filters, std::string error)>;
    struct StartPlan;

    FilterLibrary() = default;
    void OnStartPlan(StartPlan& plan);
    void Load(WebKitUserContentFilterStore* store, const std::vector<std::string>& ids,
              Loaded done);
    // The store of the filters compiled with the program.
    WebKitUserContentFilterStore* Prebuilt();
    void LoadShipped(const std::vector<std::string>& ids);
    void CompileShipped();
    void DropFresh();
    void Use(FilterSet filters);
    void Fail(const std::string& why);
    void Settled(const char* notice);

    State m_state = State::Idle;
    bool m_offForRun = false;
    unsigned m_generation = 0;
    int m_compiling = 0;
    GObjectPtr<WebKitUserContentFilterStore> m_store;
    GObjectPtr<WebKitUserContentFilterStore> m_prebuilt;
    // Where the shipped filters load from: the program's own compile, or the
    // user's store.
    WebKitUserContentFilterStore* m_shippedFrom = nullptr;
    std::string m_shippedSum;
    FilterSet m_filters;
    std::vector<FilterUser*> m_users;
};

// Where the shipped filters are read from: by default the "filters" folder
// beside this engine's module. Another folder has them prepared again.
void SetShippedFiltersFolder(const std::string& folder);
// The filters are prepared again as at the program's next start.
void PrepareFiltersAgain();
// Whether the filters are ready for use.
bool ContentFiltersReady();
// The folder of the compiled filters.
std::string CompiledFiltersFolder();

} // namespace lumo
