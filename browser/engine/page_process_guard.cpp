// The page process guard: watches the page process of the pane's view and
// ends, replaces or reloads it, so that no page holds or takes down the pane.
#include "browser/engine/page_process_guard.h"

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtk/gtk.h>
#include <mutex>

#include "browser/engine/engine_environment.h"
#include "browser/web_engine.h"

namespace lumo {
namespace {

// How often a navigation checks that the page process still answers.
constexpr int kWatchdogMs = 1000;
// A navigation of the user's that the page process has not taken up in this
// time finds it hung, however busy the machine: the process is ended and
// the navigation runs in a fresh one.
constexpr int kNavigationAnswerMs = 1500;
// How often the page processes' memory is measured.
constexpr int kMemoryCheckMs = 500;
// A page process that has not answered a probe in this time, while a
// navigation waits for it, is busy with itself.
constexpr int kProbeAnswerMs = 1500;
// The script world the probes run in, apart from the page's own scripts.
constexpr const char* kProbeWorld = "lumo-page-process-guard";

struct ProbeAnswer
{
    PageProcessGuard* guard;
    unsigned probe;
};

// The guards alive in this process.
std::vector<PageProcessGuard*>& Guards()
{
    static std::vector<PageProcessGuard*> guards;
    return guards;
}

// The times (seconds since the epoch) of the page processes that failed to
// start, carried across the restarts in place.
constexpr const char* kFailedLaunchesVariable = "LUMO_FAILED_PAGE_LAUNCHES";
// Failed starts this close together count as one run of failures.
constexpr std::time_t kFailedLaunchSpan = 60;

// Notes a page process that failed to start; the number of those in the
// last kFailedLaunchSpan, this one included.
int NoteFailedLaunch()
{
    const std::time_t now = std::time(nullptr);
    std::string kept;
    int count = 1;
    if (const char* before = getenv(kFailedLaunchesVariable)) {
        std::istringstream times(before);
        for (long long at = 0; times >> at;)
            if (now - static_cast<std::time_t>(at) < kFailedLaunchSpan) {
                kept += std::to_string(at) + " ";
                ++count;
            }
    }
    kept += std::to_string(static_cast<long long>(now));
    setenv(kFailedLaunchesVariable, kept.c_str(), 1);
    return count;
}

// Starts this program again in place of itself (same process, same
// arguments), reopening `address`; returns only when that fails.
void RestartProgram(const std::string& address)
{
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::string cmdline((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<char*> argv;
    for (size_t at = 0; at < cmdline.size(); at = cmdline.find('\0', at) + 1)
        argv.push_back(cmdline.data() + at);
    argv.push_back(nullptr);
    if (!address.empty())
        setenv(kResumeAddressVariable, address.c_str(), 1);
    // Nothing of this run goes over: its page and network processes are
    // ended and collected, and no open file is inherited.
    for (pid_t child : ChildrenOfThisProcess()) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    execv("/proc/self/exe", argv.data());
}

// Where a restart would resume, noted on the main thread for the fatal
// message's handler, which may run on any thread and so reads only this.
struct ResumePoint
{
    std::mutex lock;
    std::string address;
    bool restartable = false; // the program itself, running its main loop
};

ResumePoint& Resume()
{
    static ResumePoint point;
    return point;
}

// The engine ends the whole process (a fatal log message) when a page
// process dies before it could report itself, for example when it is
// killed in its first milliseconds; nothing can continue inside this
// process after that message. The program starts again in its place
// instead, on the page it showed.
void OnFatalLogMessage(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer)
{
    std::string_view text = message ? message : "";
    bool launchFailed = text.starts_with("readPIDFromPeer") ||
                        text.starts_with("Failed to read pid from child process");
    if (launchFailed) {
        std::string address;
        bool restartable = false;
        // Never waits: the thread that holds the lock may be the one stopped here.
        if (std::unique_lock<std::mutex> hold(Resume().lock, std::try_to_lock); hold) {
            address = Resume().address;
            restartable = Resume().restartable;
        }
        if (restartable) {
            // Failing again soon after the last restart: the program comes
            // back without the engine, which starts when the user asks.
            if (NoteFailedLaunch() >= 2)
                setenv(kEngineHeldVariable, "1", 1);
            RestartProgram(address);
        }
    }
    g_log_default_handler(domain, level, message, nullptr);
}

} // namespace

void GuardAgainstFailedLaunches()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    g_log_set_handler(
        nullptr,
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_ERROR | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
        OnFatalLogMessage, nullptr);
}

PageProcessGuard::PageProcessGuard(WebKitWebView* view, Owner& owner) : m_view(view), m_owner(owner)
{
    g_signal_connect(m_view, "web-process-terminated", G_CALLBACK(WebProcessTerminatedThunk), this);
    g_signal_connect(m_view, "notify::is-web-process-responsive", G_CALLBACK(ResponsiveThunk),
                     this);
    m_watchdog.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { CheckNavigationAnswers(); });
    m_navigationAnswer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnNavigationUnanswered(); });
    m_memoryCheck.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { CheckMemory(); });
    m_memoryCheck.Start(kMemoryCheckMs);
    Guards().push_back(this);
}

PageProcessGuard::~PageProcessGuard()
{
    std::erase(Guards(), this);
    m_watchdog.Stop();
    m_navigationAnswer.Stop();
    m_memoryCheck.Stop();
    g_signal_handlers_disconnect_by_data(m_view, this);
}

std::string PageProcessGuard::ResumeAddress()
{
    return Guards().empty() ? std::string() : Guards().front()->m_owner.ShownAddress();
}

void PageProcessGuard::NoteResumePoint()
{
    std::string address = ResumeAddress();
    const bool restartable = gtk_main_level() > 0;
    std::lock_guard<std::mutex> hold(Resume().lock);
    Resume().address = std::move(address);
    Resume().restartable = restartable;
}

void PageProcessGuard::NewVisit(bool answerBounded)
{
    m_reloadedAfterCrash = false;
    m_endedHungProcess = false;
    m_answerBounded = answerBounded;
}

void PageProcessGuard::Navigate(std::function<void()> start)
{
    m_pending = std::move(start);
    m_committed = false;
    if (!webkit_web_view_get_is_web_process_responsive(m_view) && EndHungProcess())
        return;
    RunPending();
}

void PageProcessGuard::RunPending()
{
    m_navigationAnswered = false;
    m_probeOpen = false;
    m_pending();
    NoteResumePoint();
    m_watchdog.Start(kWatchdogMs);
    if (m_answerBounded && !m_endedHungProcess) {
        m_navigationAnswer.StartOnce(kNavigationAnswerMs);
        // Leaving a page shown: its leave handlers run before the next
        // page can come, and the probe queues behind them.
        ProbePageProcess();
    }
}

void PageProcessGuard::ProbePageProcess()
{
    if (m_probeOpen) {
        if (std::chrono::steady_clock::now() - m_probeSent >=
            std::chrono::milliseconds(kProbeAnswerMs))
            EndHungProcess();
        return;
    }
    m_probeOpen = true;
    m_probeSent = std::chrono::steady_clock::now();
    webkit_web_view_evaluate_javascript(
        m_view, "0", -1, kProbeWorld, nullptr, nullptr,
        [](GObject* view, GAsyncResult* result, gpointer data) {
            std::unique_ptr<ProbeAnswer> answer(static_cast<ProbeAnswer*>(data));
            g_autoptr(GError) error = nullptr;
            g_autoptr(JSCValue) value =
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
            // The guard may have gone meanwhile.
            if (std::find(Guards().begin(), Guards().end(), answer->guard) != Guards().end())
                answer->guard->OnProbeAnswered(answer->probe);
        },
        new ProbeAnswer{this, ++m_probe});
}

void PageProcessGuard::OnProbeAnswered(unsigned probe)
{
    if (probe == m_probe)
        m_probeOpen = false;
}

void PageProcessGuard::NavigationAnswered()
{
    m_navigationAnswered = true;
    m_navigationAnswer.Stop();
}

void PageProcessGuard::Stop()
{
    m_watchdog.Stop();
    m_navigationAnswer.Stop();
    m_pending = nullptr;
}

// The user's navigation went unanswered for kNavigationAnswerMs: the page
// process is busy with itself (a script that never ends). Waiting for the
// engine's own check whether it answers takes far longer on a busy
// machine; the user asked for another page, so this one is ended now.
void PageProcessGuard::OnNavigationUnanswered()
{
    if (m_endingHungProcess) {
        // The engine never reported the end of the process: the
        // navigation goes on all the same.
        m_endingHungProcess = false;
        if (m_pending)
            RunPending();
        return;
    }
    if (!m_navigationAnswered && m_pending && !m_committed)
        EndHungProcess();
}

void PageProcessGuard::CheckNavigationAnswers()
{
    if (m_committed || !m_pending) {
        m_watchdog.Stop();
        return;
    }
    if (!webkit_web_view_get_is_web_process_responsive(m_view))
        EndHungProcess();
    else
        ProbePageProcess();
}

// Ends the page process for the navigation under way; false when it was
// ended for this navigation already (a machine too busy to answer in
// time is no reason to end the next process too).
bool PageProcessGuard::EndHungProcess()
{
    m_watchdog.Stop();
    m_navigationAnswer.Stop();
    if (m_endingHungProcess)
        return true;
    if (m_endedHungProcess)
        return false;
    m_endedHungProcess = true;
    m_endingHungProcess = true;
    ++m_hungEnded;
    webkit_web_view_terminate_web_process(m_view);
    // Should the engine never report the process's end, the navigation
    // goes on after this time all the same.
    m_navigationAnswer.StartOnce(kNavigationAnswerMs);
    return true;
}

void PageProcessGuard::OnResponsiveChanged()
{
    if (!webkit_web_view_get_is_web_process_responsive(m_view) && m_pending && !m_committed)
        EndHungProcess();
}

void PageProcessGuard::OnWebProcessTerminated(WebKitWebProcessTerminationReason reason)
{
    m_owner.EndLoad();
    // A probe sent to the process that went is never answered.
    m_probeOpen = false;
    ++m_probe;
    if (reason == WEBKIT_WEB_PROCESS_CRASHED)
        m_owner.PageProcessCrashed();
    if (m_endingHungProcess) {
        // Ended for the user's navigation: run it in a fresh process.
        m_endingHungProcess = false;
        m_navigationAnswer.Stop();
        if (m_pending)
            RunPending();
        return;
    }
    std::string uri = m_owner.PageUri();
    const std::string asked = m_owner.AskedAddress();
    if (reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT || m_endedForMemory) {
        m_endedForMemory = false;
        m_owner.ShowProcessFailure(asked.empty() ? uri : asked, FailureReason::TooMuchMemory);
        return;
    }
    if (m_pending && !m_committed) {
        // Died as the user's navigation started: it runs once more in a
        // fresh process, rather than the page it was leaving.
        if (!m_reloadedAfterCrash) {
            m_reloadedAfterCrash = true;
            ++m_crashReloads;
            RunPending();
            return;
        }
        m_owner.ShowProcessFailure(asked.empty() ? m_owner.ProgramUri() : asked,
                                   FailureReason::StoppedWorking);
        return;
    }
    if (ParseFailurePageAddress(uri) || !m_reloadedAfterCrash) {
        // Once per navigation of the user's, and the pane's own page always.
        m_reloadedAfterCrash = true;
        ++m_crashReloads;
        webkit_web_view_reload(m_view);
        return;
    }
    m_owner.ShowProcessFailure(uri, FailureReason::StoppedWorking);
}

void PageProcessGuard::CheckMemory()
{
    NoteResumePoint();
    const std::size_t limit = WebProcessMemoryLimit();
    for (const WebProcessUsage& process : WebProcessesOfThisProgram()) {
        if (process.residentBytes > limit) {
            m_endedForMemory = true;
            kill(process.pid, SIGKILL);
        }
    }
}

void PageProcessGuard::WebProcessTerminatedThunk(WebKitWebView*,
                                                 WebKitWebProcessTerminationReason reason,
                                                 gpointer self)
{
    // Whatever ended the process, the pane must not stay dead. Leave the
    // signal handler before loading again.
    auto* guard = static_cast<PageProcessGuard*>(self);
    guard->CallAfter([guard, reason] { guard->OnWebProcessTerminated(reason); });
}

void PageProcessGuard::ResponsiveThunk(WebKitWebView*, GParamSpec*, gpointer self)
{
    static_cast<PageProcessGuard*>(self)->OnResponsiveChanged();
}

} // namespace lumo
