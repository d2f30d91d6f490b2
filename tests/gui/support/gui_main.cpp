// Entry point of every GUI test program: starts wxWidgets on the display
// (Xvfb in the test command), turns wx assertion failures into test
// failures, runs the tests and shuts wx down.
#include <gtest/gtest.h>

#include <csignal>
#include <execinfo.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/log.h>

#include "browser/web_engine.h"
#include "gui_test_support.h"

namespace {

class GuiTestApp : public wxApp
{
public:
    bool OnInit() override { return true; }
};

// A crash in a GUI test prints where it happened, so a failure in CI can be read.
void PrintCrash(int signal)
{
    void* frames[64];
    int count = backtrace(frames, 64);
    const char header[] = "\n*** crashed; backtrace:\n";
    (void)!write(STDERR_FILENO, header, sizeof header - 1);
    backtrace_symbols_fd(frames, count, STDERR_FILENO);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGSEGV, PrintCrash);
    std::signal(SIGABRT, PrintCrash);
    testing::InitGoogleTest(&argc, argv);
    lumo::test::PrepareGuiTestEnvironment();
    // The tests link the web engine in rather than loading its module.
    lumo::SetWebEngineFactory(&lumo_create_web_engine);

    wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& cond,
                          const wxString& msg) {
        ADD_FAILURE_AT(file.utf8_string().c_str(), line)
            << cond.utf8_string() << ' ' << msg.utf8_string();
    });

    wxApp::SetInstance(new GuiTestApp);
    if (!wxEntryStart(argc, argv)) {
        fprintf(stderr, "cannot start wxWidgets (no display?)\n");
        return 2;
    }
    wxTheApp->CallOnInit();
    // Tests run outside wxApp::MainLoop; give them an active loop to dispatch with.
    wxGUIEventLoop loop;
    wxEventLoopBase::SetActive(&loop);
    // Errors logged by the code under test go to stderr, never to a dialog.
    delete wxLog::SetActiveTarget(new wxLogStderr);

    int result = RUN_ALL_TESTS();

    wxEventLoopBase::SetActive(nullptr);
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
