#pragma once
// The page process guard: no page process can hold or take the pane down.
// A navigation of the user's that the page process does not take up in time
// ends the process and runs in a fresh one; a process that grows beyond the
// program's limit is ended; a page whose process died is loaded again once,
// else the pane's own failure page says so; and when the engine would end
// the whole program over a process that failed to start, the program starts
// again in its place, on the page it showed.
#include <chrono>
#include <functional>
#include <string>

#include <wx/event.h>
#include <wx/timer.h>

#include <webkit2/webkit2.h>

#include "browser/core/web_address.h"

namespace lumo {

// From here on, a page process that dies before it could report itself
// restarts the program in place instead of ending it.
void GuardAgainstFailedLaunches();

class PageProcessGuard : public wxEvtHandler
{
public:
    // What the guard asks of the engine whose page process it watches.
    class Owner
    {
    public:
        virtual ~Owner() = default;
        // The address the pane shows, reopened after a restart in place.
        virtual std::string ShownAddress() const = 0;
        // The page process is gone: nothing loads any more.
        virtual void EndLoad() = 0;
        // The address of the page in the view, or of the last one shown
        // while the view names none.
        virtual std::string PageUri() const = 0;
        // The paper the program was asked for last; empty after back,
        // forward and reload.
        virtual std::string AskedAddress() const = 0;
        // The address the program itself asked the engine for last.
        virtual std::string ProgramUri() const = 0;
        // The pane's failure page for `address`.
        virtual void ShowProcessFailure(const std::string& address, FailureReason reason) = 0;
        // The page process crashed; the guard acts on it next.
        virtual void PageProcessCrashed() {}
    };

    PageProcessGuard(WebKitWebView* view, Owner& owner);
    ~PageProcessGuard() override;
    PageProcessGuard(const PageProcessGuard&) = delete;
    PageProcessGuard& operator=(const PageProcessGuard&) = delete;

    // A navigation the program asked for: a fresh chance of a reload after a
    // crash and of a hung process ended; `answerBounded` when the page
    // process must take it up in time.
    void NewVisit(bool answerBounded);
    void SetAnswerBounded(bool answerBounded) { m_answerBounded = answerBounded; }

    // Starts a navigation of the user's. When the page process does not
    // answer, it is ended and the navigation runs in a fresh one.
    void Navigate(std::function<void()> start);
    // The page process took up the navigation: it asked about it, or began it.
    void NavigationAnswered();
    // The navigation's page is shown.
    void Commit()
    {
        m_committed = true;
        NoteResumePoint();
    }
    // No more checks whether the page process answers the navigation.
    void StopWatchdog() { m_watchdog.Stop(); }
    // The navigation is over (its page loaded, or it was stopped): it never
    // runs again.
    void ForgetNavigation() { m_pending = nullptr; }
    void Stop();

    // Whether a navigation of the user's is under way (until its page loaded).
    bool Pending() const { return static_cast<bool>(m_pending); }
    // Whether the last navigation's page has been shown.
    bool Committed() const { return m_committed; }
    int CrashReloads() const { return m_crashReloads; }
    int HungEnded() const { return m_hungEnded; }

    // The owner of the first guard alive, for the address a restart reopens.
    static std::string ResumeAddress();
    // Notes where a restart after a fatal engine message would resume
    // (main thread only; the message may come on any thread).
    static void NoteResumePoint();

private:
    void RunPending();
    // Asks the page process for a trivial answer, in a script world of the
    // program's own; one still unanswered after kProbeAnswerMs means the
    // process is busy with itself (a page's leave handler that spins), and
    // it is ended for the navigation.
    void ProbePageProcess();
    void OnProbeAnswered(unsigned probe);
    void OnNavigationUnanswered();
    void CheckNavigationAnswers();
    bool EndHungProcess();
    void OnResponsiveChanged();
    void OnWebProcessTerminated(WebKitWebProcessTerminationReason reason);
    void CheckMemory();

    static void WebProcessTerminatedThunk(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                          gpointer self);
    static void ResponsiveThunk(WebKitWebView*, GParamSpec*, gpointer self);

    WebKitWebView* m_view;
    Owner& m_owner;
    // The user's navigation under way, run again in a fresh process when the
    // page process had to be ended for it.
    std::function<void()> m_pending;
    bool m_committed = true;
    // Whether the user's navigation was taken up by the page process.
    bool m_navigationAnswered = true;
    // What happened to the process during the navigation the program asked for last.
    bool m_reloadedAfterCrash = false;
    bool m_endedHungProcess = false;
    bool m_answerBounded = false;
    bool m_endingHungProcess = false;
    bool m_endedForMemory = false;
    int m_crashReloads = 0;
    int m_hungEnded = 0;
    // The last probe sent, whether it is still unanswered, and when it went.
    unsigned m_probe = 0;
    bool m_probeOpen = false;
    std::chrono::steady_clock::time_point m_probeSent{};
    wxTimer m_watchdog;
    wxTimer m_navigationAnswer;
    wxTimer m_memoryCheck;
};

} // namespace lumo
