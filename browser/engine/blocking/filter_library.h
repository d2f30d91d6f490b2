#pragma once
// The ad and tracker filters of this process, shared by every page view:
// WebKit's content filters, compiled from the shipped EasyList and
// EasyPrivacy rules once into a store under the user's cache folder and
// loaded from there at later starts, or from the lists fetched since
// (list_update.h), which take their place. A checksum of the shipped files
// tells when they changed and are to be compiled again.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "browser/engine/gobject_ptr.h"

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
    // The filters in use changed, or their preparation ended; `failed`: they
    // cannot be had, which one user of all says.
    virtual void OnFiltersSettled(bool failed) = 0;
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
        Off // none shipped, or they could not be prepared
    };

    static FilterLibrary& Get();

    State CurrentState() const { return m_state; }
    // Goes up at every change of the filters in use.
    unsigned Generation() const { return m_generation; }
    const FilterSet& Filters() const { return m_filters; }

    void Add(FilterUser* user);
    void Remove(FilterUser* user);
    // Whether a view uses the filters, and the settings of the first.
    bool HasUsers() const { return !m_users.empty(); }
    wxConfigBase* UserSettings() const;

    // Prepares the filters, once (again after Reset).
    void Prepare();
    // The filters are to be prepared again (from another folder), unless
    // that or a compilation is under way.
    void Reset();

    // Compiles each item's rules (a JSON array) into the store under its id,
    // one after the other; `done` gets every filter, or the first error.
    using FiltersDone = std::function<void(FilterSet filters, std::string error)>;
    struct Item
    {
        std::string id;
        std::string rules;
    };
    void Compile(std::vector<Item> items, FiltersDone done);

    // The ids of the fetched lists' filters in the store, empty while the
    // shipped ones serve.
    std::vector<std::string> FreshIds() const;
    // Filters of fetched lists, compiled under `ids`, take the place of
    // those in use; fetched lists compiled before leave the store.
    void UseFresh(FilterSet filters, const std::vector<std::string>& ids);

private:
    FilterLibrary() = default;

    void OnChecksum(const std::string& sum);
    void Load(const std::vector<std::string>& ids, FiltersDone done);
    void CompileShipped();
    void RemoveFromStore(const std::vector<std::string>& ids);
    void Use(FilterSet filters);
    void Fail(const std::string& why);
    void Settled(bool failed);

    State m_state = State::Idle;
    unsigned m_generation = 0;
    int m_compiling = 0;
    GObjectPtr<WebKitUserContentFilterStore> m_store;
    std::vector<std::string> m_shippedFiles;
    std::string m_shippedSum;
    FilterSet m_filters;
    std::vector<FilterUser*> m_users;
};

// Where the shipped filters are read from: by default the "filters" folder
// beside this engine's module. Another folder has them prepared again.
void SetShippedFiltersFolder(const std::string& folder);
// Whether the filters are ready for use.
bool ContentFiltersReady();

} // namespace lumo
