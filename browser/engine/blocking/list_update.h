#pragma once
// The filter lists fetched again from their published addresses (the
// settings' EasyList and EasyPrivacy addresses) at most once every four
// days: downloaded with the engine's libsoup, at most 20 MB each, converted
// into content-blocker rules and checked against the shipped lists on a
// worker thread, compiled into the library's store in the slot the filters
// in use are not from, tried on plain pages (filter_probe.h), and switched
// to only then. A failed update keeps the filters in use and says why in the
// log; either way the next check is set (content_filter/list_schedule.h).
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gio/gio.h>

#include "browser/engine/gobject_ptr.h"
#include "content_filter/list_schedule.h"

typedef struct _SoupSession SoupSession;
typedef struct _SoupMessage SoupMessage;

namespace lumo {

using content_filter::FilterListUpdates;

class ListUpdater
{
public:
    static ListUpdater& Get();

    // The filters are ready: the lists are checked for the first time a
    // while later (the start's own loads go first). Once only.
    void Start();
    // Checks now whether the lists are due, and fetches them if they are.
    void CheckNow();

    const FilterListUpdates& Updates() const { return m_schedule.Updates(); }
    void SetFirstDelay(std::chrono::milliseconds delay) { m_firstDelay = delay; }

private:
    struct Download
    {
        std::string name; // "ads", "trackers"
        std::string address;
        std::string text;
    };

    ListUpdater();
    void SetTimer(std::optional<std::chrono::milliseconds> delay);
    void StartUpdate();
    void FetchNext();
    void ReadMore();
    static void Sent(GObject* source, GAsyncResult* result, gpointer);
    static void Read(GObject* source, GAsyncResult* result, gpointer);
    void Convert();
    void Compile(std::vector<std::pair<std::string, std::string>> parts);
    void Failed(const std::string& why);
    static gboolean OnTimer(gpointer);
    static void OnNetworkChanged(GNetworkMonitor*, gboolean available, gpointer);

    std::chrono::milliseconds m_firstDelay{60000};
    content_filter::ListUpdateSchedule m_schedule;
    // The schedule's one timer (0: none set).
    guint m_timer = 0;
    gulong m_networkWatch = 0;
    GObjectPtr<SoupSession> m_session;
    GObjectPtr<SoupMessage> m_message;
    GObjectPtr<GInputStream> m_body;
    std::vector<Download> m_downloads;
    std::size_t m_next = 0;
};

// How long after the filters are ready the lists are first checked for an
// update (by default a minute).
void SetListUpdateDelay(std::chrono::milliseconds delay);
// Checks now whether the lists are due, and fetches them if they are.
void CheckFilterListsNow();
FilterListUpdates FilterListUpdateCount();

} // namespace lumo
