// The program as a whole process: started from its program directory on the
// test display with its own settings, looked at and closed through X.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <iostream>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "browser/engine/engine_environment.h"
#include "temp_dir.h"

using lumo::test::FileExists;
using lumo::test::ReadFile;
using lumo::test::TempDir;
using lumo::test::WriteFile;

namespace {

using Clock = std::chrono::steady_clock;

class Program
{
public:
    Program(const std::string& configHome, std::vector<std::string> args = {},
            const std::string& workDir = LUMO_PROGRAM_DIR)
    {
        m_display = XOpenDisplay(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
            if (chdir(workDir.c_str()) != 0)
                _exit(126);
            std::string exe = std::string(LUMO_PROGRAM_DIR) + "/LumoNewsReader";
            std::vector<char*> argv{const_cast<char*>(exe.c_str())};
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
    }
    ~Program()
    {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_display)
            XCloseDisplay(m_display);
    }

    // The program's mapped top-level windows larger than 100x100.
    std::vector<Window> Windows()
    {
        std::vector<Window> found;
        Window root = DefaultRootWindow(m_display), parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, root, &root, &parent, &children, &count))
            return found;
        for (unsigned i = 0; i < count; ++i) {
            Window w = ClientOf(children[i]);
            XWindowAttributes attrs;
            if (!XGetWindowAttributes(m_display, w, &attrs) || attrs.map_state != IsViewable ||
                attrs.width <= 100 || attrs.height <= 60)
                continue;
            if (Pid(w) == m_pid)
                found.push_back(w);
        }
        if (children)
            XFree(children);
        return found;
    }

    std::optional<Window> WaitForWindow(std::chrono::seconds limit = std::chrono::seconds(30))
    {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (auto w = Windows(); !w.empty())
                return w.front();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }

    std::string Caption(Window w)
    {
        Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
        std::string text = Property(w, XInternAtom(m_display, "_NET_WM_NAME", False), utf8);
        return text;
    }

    bool WaitForCaption(Window w, const std::string& wanted,
                        std::chrono::seconds limit = std::chrono::seconds(30))
    {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (Caption(w) == wanted)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    bool IsMaximized(Window w)
    {
        Atom type;
        int format;
        unsigned long n = 0, after;
        unsigned char* data = nullptr;
        Atom state = XInternAtom(m_display, "_NET_WM_STATE", False);
        Atom vert = XInternAtom(m_display, "_NET_WM_STATE_MAXIMIZED_VERT", False);
        bool maximized = false;
        if (XGetWindowProperty(m_display, w, state, 0, 64, False, XA_ATOM, &type, &format, &n,
                               &after, &data) == Success &&
            data) {
            for (unsigned long i = 0; i < n; ++i)
                maximized |= reinterpret_cast<Atom*>(data)[i] == vert;
            XFree(data);
        }
        return maximized;
    }

    // Asks the window to close, as its close box does.
    void Close(Window w)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = w;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, w, False, NoEventMask, &event);
        XFlush(m_display);
    }

    // Gives `w` the keyboard and presses `keysym` there (XTest).
    void PressKey(Window w, unsigned long keysym)
    {
        XSetInputFocus(m_display, w, RevertToParent, CurrentTime);
        XSync(m_display, False);
        for (auto end = Clock::now() + std::chrono::seconds(2); Clock::now() < end;) {
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(m_display, &focus, &revert);
            if (focus == w)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const KeyCode code = XKeysymToKeycode(m_display, keysym);
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        XFlush(m_display);
    }

    // The exit status, or nullopt when the program did not end in time.
    std::optional<int> WaitForExit(std::chrono::seconds limit = std::chrono::seconds(20))
    {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }

    pid_t ProcessId() const { return m_pid; }

private:
    Window ClientOf(Window frame)
    {
        // With a window manager the client sits inside a frame window.
        if (Pid(frame) != 0)
            return frame;
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        Window client = frame;
        if (XQueryTree(m_display, frame, &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count; ++i)
                if (Pid(children[i]) != 0)
                    client = children[i];
            if (children)
                XFree(children);
        }
        return client;
    }

    pid_t Pid(Window w)
    {
        Atom type;
        int format;
        unsigned long n = 0, after;
        unsigned char* data = nullptr;
        pid_t pid = 0;
        if (XGetWindowProperty(m_display, w, XInternAtom(m_display, "_NET_WM_PID", False), 0, 1,
                               False, XA_CARDINAL, &type, &format, &n, &after, &data) == Success &&
            data) {
            if (n == 1)
                pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
            XFree(data);
        }
        return pid;
    }

    std::string Property(Window w, Atom property, Atom type)
    {
        Atom actual;
        int format;
        unsigned long n = 0, after;
        unsigned char* data = nullptr;
        std::string text;
        if (XGetWindowProperty(m_display, w, property, 0, 4096, False, type, &actual, &format, &n,
                               &after, &data) == Success &&
            data) {
            text.assign(reinterpret_cast<char*>(data), n);
            XFree(data);
        }
        return text;
    }

    Display* m_display = nullptr;
    pid_t m_pid = -1;
    bool m_exited = false;
};

std::string ConfigFile(const TempDir& home)
{
    return home.File("LumoNewsReader/LumoNewsReader.conf");
}

void WriteSettings(const TempDir& home, const std::string& text)
{
    mkdir(home.File("LumoNewsReader").c_str(), 0700);
    WriteFile(ConfigFile(home), text);
}

} // namespace

TEST(Startup, PageProcessesKilledAsTheyStartNeverEndTheProgram)
{
    TempDir home;
    WriteFile(home.File("page.html"), "<html><head><title>Still Reading</title></head></html>");
    WriteSettings(home, "[Settings_en]\nIndexPage=3\nIndexPageURL=file://" +
                            home.File("page.html") + "\n");
    Program program(home.Path());
    auto window = program.WaitForWindow();
    ASSERT_TRUE(window);
    // Each page process is killed the moment it is seen, fifty times over
    // or until the program holds its engine back.
    std::vector<pid_t> killed;
    const auto held = [&] {
        const std::vector<Window> shown = program.Windows();
        return !shown.empty() &&
               program.Caption(shown.front()) == "Web engine not started - Lumo News Reader";
    };
    auto end = Clock::now() + std::chrono::seconds(90);
    while (killed.size() < 50 && !held() && Clock::now() < end) {
        for (const lumo::WebProcessUsage& page : lumo::WebProcessesOf(program.ProcessId()))
            if (std::find(killed.begin(), killed.end(), page.pid) == killed.end()) {
                kill(page.pid, SIGKILL);
                killed.push_back(page.pid);
            }
        ASSERT_FALSE(program.WaitForExit(std::chrono::seconds(0))) << "after " << killed.size();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(killed.size() == 50u || held()) << killed.size();
    // Still running (a page process killed before it could report itself
    // makes the program start again in its place, on the same page; failing
    // again soon after, it comes back without the engine and says so), and
    // once the killing stops it shows the page, or (where the engine reported
    // each death) its own page saying the page stopped working; held, it
    // starts the engine when asked (F5, as "Try again").
    auto end2 = Clock::now() + std::chrono::seconds(60);
    bool shown = false, asked = false;
    while (!shown && Clock::now() < end2) {
        window = program.WaitForWindow();
        const std::string caption = window ? program.Caption(*window) : std::string();
        shown = caption == "Still Reading - Lumo News Reader" ||
                caption == "This page - Lumo News Reader";
        if (window && caption == "Web engine not started - Lumo News Reader" && !asked) {
            asked = true;
            program.PressKey(*window, XK_F5);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(shown) << (window ? program.Caption(*window) : "no window");
    std::cout << (asked ? "the engine was held until asked\n" : "the engine was not held\n");
    program.Close(*window);
    EXPECT_EQ(program.WaitForExit(), 0);
}

TEST(Startup, FirstRunShowsTheStartPageInANormalWindowAndStoresOnlyItsSizeAndPlace)
{
    TempDir home;
    Program program(home.Path());
    auto window = program.WaitForWindow();
    ASSERT_TRUE(window);
    EXPECT_FALSE(program.IsMaximized(*window));
    EXPECT_TRUE(program.WaitForCaption(*window, "Lumo News Reader — Start - Lumo News Reader"))
        << program.Caption(*window);
    EXPECT_EQ(program.Windows().size(), 1u); // no dialog of any kind
    program.Close(*window);
    EXPECT_EQ(program.WaitForExit(), 0);
    // The window's place goes to a group of its own.
    std::string settings = ReadFile(ConfigFile(home));
    EXPECT_EQ(settings.substr(0, settings.find("[Window]")), "[Settings_en]\nWindowSize=5\n");
    EXPECT_NE(settings.find("[Window]\nLeft="), std::string::npos) << settings;
}

TEST(Startup, CaptionEndsInTheVersionWhenNoPageReplacesIt)
{
    TempDir home;
    WriteSettings(home, "[Settings_en]\nIndexPage=1\nSkinStyle=7\n");
    Program program(home.Path());
    auto window = program.WaitForWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(program.WaitForCaption(*window, "Lumo News Reader Version 4.1.5 Build 1728"))
        << program.Caption(*window);
    program.Close(*window);
    EXPECT_EQ(program.WaitForExit(), 0);
}

TEST(Startup, MaximisedStaysMaximisedAcrossRuns)
{
    TempDir home;
    WriteSettings(home, "[Settings_en]\nWindowSize=3\nIndexPage=1\n");
    for (int run = 0; run < 2; ++run) {
        Program program(home.Path());
        auto window = program.WaitForWindow();
        ASSERT_TRUE(window);
        auto end = Clock::now() + std::chrono::seconds(10);
        while (!program.IsMaximized(*window) && Clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(program.IsMaximized(*window)) << "run " << run;
        program.Close(*window);
        EXPECT_EQ(program.WaitForExit(), 0);
        EXPECT_NE(ReadFile(ConfigFile(home)).find("WindowSize=3"), std::string::npos);
    }
}

TEST(Startup, BadSettingsNeverStopTheProgramOrShowADialog)
{
    // A corrupt file, and a settings folder that cannot be written.
    TempDir corrupt;
    WriteSettings(corrupt, "\x01garbage\n[Settings_en\n=3\nWindowSize=abc\nIndexPage=1\n\xff\n");
    TempDir blocked;
    WriteFile(blocked.File("LumoNewsReader"), "a file where the folder should be");
    for (const TempDir* home : {&corrupt, &blocked}) {
        Program program(home->Path());
        auto window = program.WaitForWindow();
        ASSERT_TRUE(window);
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        EXPECT_EQ(program.Windows().size(), 1u);
        program.Close(*window);
        EXPECT_EQ(program.WaitForExit(), 0);
    }
    EXPECT_EQ(ReadFile(blocked.File("LumoNewsReader")), "a file where the folder should be");
}

TEST(Startup, MissingFilesAreNoReasonForADialog)
{
    // Started from a folder without favorites, help page or skins.
    TempDir empty;
    TempDir home;
    Program program(home.Path(), {}, empty.Path());
    auto window = program.WaitForWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(program.WaitForCaption(*window, "Lumo News Reader — Start - Lumo News Reader"));
    EXPECT_EQ(program.Windows().size(), 1u);
    program.Close(*window);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_FALSE(FileExists(empty.File("Favorites.xml")));
}

TEST(Startup, LeftoversOfKilledSavesGoAndWhatCannotBeReadOrSavedIsSaidOverTheWindow)
{
    TempDir home;
    TempDir programDir;
    TempDir tmp;
    // What saves killed midway leave: hidden new contents beside the
    // favorites file, its backup and the settings file, and the copy a
    // rewrite in place keeps in the temporary folder.
    const std::vector<std::string> leftovers{
        programDir.File(".Favorites.xml.a1B2c3"), programDir.File(".Favorites.xml.bk.Q9w8E7"),
        home.File("LumoNewsReader/.LumoNewsReader.conf.x1Y2z3"),
        tmp.File("lumo-news-reader-old-Favorites.xml.Kx81Qz")};
    mkdir(home.File("LumoNewsReader").c_str(), 0700);
    for (const std::string& path : leftovers) {
        WriteFile(path, "<Favorites>");
        chmod(path.c_str(), 0600);
    }
    WriteFile(programDir.File("Favorites.xml"),
              "<Favorites><Favorite><title>&nbsp;</title></Favorite></Favorites>");
    // The settings file is a link to a pipe.
    const std::string pipe = home.File("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(symlink(pipe.c_str(), ConfigFile(home).c_str()), 0);

    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    setenv("TMPDIR", tmp.Path().c_str(), 1);
    Program program(home.Path(), {}, programDir.Path());
    if (oldTmp)
        setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        unsetenv("TMPDIR");
    auto window = program.WaitForWindow();
    ASSERT_TRUE(window);
    // One message says the settings cannot be saved, one names the
    // favorites file; each is answered in turn.
    int messages = 0;
    const auto end = Clock::now() + std::chrono::seconds(20);
    while (messages < 2 && Clock::now() < end) {
        for (Window w : program.Windows())
            if (program.Caption(w) == "LumoNewsReader") {
                ++messages;
                program.Close(w);
                for (std::vector<Window> shown = program.Windows();
                     Clock::now() < end && std::find(shown.begin(), shown.end(), w) != shown.end();
                     shown = program.Windows())
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(messages, 2);
    for (const std::string& path : leftovers)
        EXPECT_FALSE(FileExists(path)) << path;
    for (Window w : program.Windows())
        if (program.Caption(w) != "LumoNewsReader")
            window = w;
    program.Close(*window);
    EXPECT_EQ(program.WaitForExit(), 0);

    struct stat st;
    ASSERT_EQ(lstat(ConfigFile(home).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(lstat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(Startup, UnknownOptionGivesUsageAndFailure)
{
    TempDir home;
    Program program(home.Path(), {"--no-such-option"});
    auto status = program.WaitForExit();
    ASSERT_TRUE(status);
    EXPECT_NE(*status, 0);
    EXPECT_FALSE(FileExists(ConfigFile(home)));
}
