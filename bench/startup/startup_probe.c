/* Start-up probe: starts one program and measures, from the X server's point
 * of view, how long it takes until its main window is mapped and until the
 * window's caption holds an expected text; then sums the proportional set size
 * (PSS) of the program and every process it started (the web engine's helper
 * processes) and ends them all.
 *
 * Usage: startup_probe [-C dir] [-e caption] [-t timeout_ms] [-s settle_ms]
 *                      -- program [args...]
 *   -C dir         working directory of the program (default: the current one)
 *   -e caption     text the caption must contain (default: any caption)
 *   -t timeout_ms  give up after this long (default 30000)
 *   -s settle_ms   wait this long after the caption before measuring memory
 *                  (default 1500)
 *
 * Prints one line on stdout: window_ms=<..> title_ms=<..> pss_kib=<..>
 * (-1 for a figure that was not reached). Exit code 0 when every figure was
 * measured, 2 on a timeout, 3 when the program ended early, 1 on bad usage.
 *
 * Works with and without a window manager. Without one, top-level windows are
 * direct children of the root window and their MapNotify on the root is the
 * moment they appear on screen. A window manager puts each one into a frame of
 * its own before mapping it, so the probe also watches every new top-level
 * window itself: the main window counts as shown once it is viewable (mapped
 * with the frame around it mapped too) and at least 101 x 101: a framed
 * window may be mapped at the size the frame first gave it and grow later.
 */

#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum
{
    kMinWindowSide = 101, /* GTK maps small helper windows too: tooltips, popups */
    kMaxWindows = 4096,
    kMaxProcs = 1 << 16
};

static Atom g_netWmPid;
static Atom g_netWmName;
static Atom g_utf8String;
static Atom g_clientLeader;

static double NowMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

/* Windows may disappear between an event and our request: ignore such errors. */
static int IgnoreXErrors(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;
    return 0;
}

static long WindowPid(Display* display, Window window)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    long pid = -1;
    if (XGetWindowProperty(display, window, g_netWmPid, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        if (type == XA_CARDINAL && format == 32 && count == 1)
            pid = (long)*(unsigned long*)data;
        XFree(data);
    }
    return pid;
}

/* The pid of the window, else the pid of its client leader. */
static long OwnerPid(Display* display, Window window)
{
    long pid = WindowPid(display, window);
    if (pid > 0)
        return pid;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    if (XGetWindowProperty(display, window, g_clientLeader, 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        if (type == XA_WINDOW && format == 32 && count == 1)
            pid = WindowPid(display, (Window) * (unsigned long*)data);
        XFree(data);
    }
    return pid;
}

/* The caption as raw bytes: _NET_WM_NAME (UTF-8) if set, else WM_NAME. */
static char* WindowName(Display* display, Window window)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    if (XGetWindowProperty(display, window, g_netWmName, 0, 4096, False, g_utf8String, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
        if (type == g_utf8String && format == 8)
            return (char*)data;
        XFree(data);
        data = NULL;
    }
    if (XGetWindowProperty(display, window, XA_WM_NAME, 0, 4096, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
        if (format == 8)
            return (char*)data;
        XFree(data);
    }
    return NULL;
}

static int CaptionMatches(Display* display, Window window, const char* expected)
{
    char* name = WindowName(display, window);
    int match = name && (!expected || strstr(name, expected));
    if (name)
        XFree(name);
    return match;
}

/* ---- processes ---------------------------------------------------------- */

/* Parent pid from /proc/<pid>/stat; the command name may hold blanks and ')'. */
static long ParentPid(long pid)
{
    char path[64], buffer[1024];
    snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    FILE* file = fopen(path, "r");
    if (!file)
        return -1;
    size_t n = fread(buffer, 1, sizeof buffer - 1, file);
    fclose(file);
    buffer[n] = '\0';
    char* end = strrchr(buffer, ')');
    long ppid = -1;
    char state;
    if (!end || sscanf(end + 1, " %c %ld", &state, &ppid) != 2)
        return -1;
    return ppid;
}

static int IsDescendant(long pid, long ancestor)
{
    for (int depth = 0; pid > 1 && depth < 64; ++depth) {
        if (pid == ancestor)
            return 1;
        pid = ParentPid(pid);
    }
    return 0;
}

/* The process and all its descendants, found through the parent links. */
static int ProcessTree(long root, long* out, int capacity)
{
    static long pids[kMaxProcs], parents[kMaxProcs];
    int total = 0;
    DIR* dir = opendir("/proc");
    if (!dir)
        return 0;
    struct dirent* entry;
    while ((entry = readdir(dir)) && total < kMaxProcs) {
        if (!isdigit((unsigned char)entry->d_name[0]))
            continue;
        long pid = strtol(entry->d_name, NULL, 10);
        long ppid = ParentPid(pid);
        if (ppid < 0)
            continue;
        pids[total] = pid;
        parents[total] = ppid;
        ++total;
    }
    closedir(dir);

    int found = 0;
    out[found++] = root;
    for (int head = 0; head < found; ++head)
        for (int i = 0; i < total && found < capacity; ++i)
            if (parents[i] == out[head])
                out[found++] = pids[i];
    return found;
}

/* One field of /proc/<pid>/smaps_rollup in KiB, 0 when it cannot be read. */
static long RollupKib(long pid, const char* field)
{
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%ld/smaps_rollup", pid);
    FILE* file = fopen(path, "r");
    if (!file)
        return 0;
    const size_t length = strlen(field);
    long kib = 0;
    while (fgets(line, sizeof line, file))
        if (strncmp(line, field, length) == 0 && line[length] == ':') {
            kib = strtol(line + length + 1, NULL, 10);
            break;
        }
    fclose(file);
    return kib;
}

static long PssKib(long pid)
{
    return RollupKib(pid, "Pss");
}

static void VerboseTree(const long* pids, int count)
{
    for (int i = 0; i < count; ++i) {
        char path[64], name[256] = "?";
        snprintf(path, sizeof path, "/proc/%ld/comm", pids[i]);
        FILE* file = fopen(path, "r");
        if (file) {
            if (fgets(name, sizeof name, file))
                name[strcspn(name, "\n")] = '\0';
            fclose(file);
        }
        /* PSS and the private part depend on what else maps the same libraries
         * at the moment; anonymous memory (heap, stacks, caches) does not. */
        fprintf(stderr, "startup_probe: pid %ld %-16s pss %6ld kB rss %6ld kB anon %6ld kB\n",
                pids[i], name, PssKib(pids[i]), RollupKib(pids[i], "Rss"),
                RollupKib(pids[i], "Anonymous"));
    }
}

/* Ends the program and its helpers: a polite SIGTERM first, then SIGKILL. */
static int EndProcesses(pid_t child, const long* tree, int count)
{
    kill(-child, SIGTERM);
    kill(child, SIGTERM);
    int status = 0;
    int reaped = 0;
    for (int i = 0; i < 300 && !reaped; ++i) {
        pid_t r = waitpid(child, &status, WNOHANG);
        if (r == child || (r < 0 && errno == ECHILD))
            reaped = 1;
        else
            usleep(10000);
    }
    if (!reaped) {
        kill(-child, SIGKILL);
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    /* Helpers that outlive their parent (or sit in a process group of their own). */
    for (int i = 1; i < count; ++i)
        if (kill((pid_t)tree[i], 0) == 0)
            kill((pid_t)tree[i], SIGKILL);
    return status;
}

/* ---- main --------------------------------------------------------------- */

static void Usage(void)
{
    fprintf(stderr, "usage: startup_probe [-C dir] [-e caption] [-t timeout_ms] [-s settle_ms] "
                    "[-v] -- program [args...]\n");
}

int main(int argc, char** argv)
{
    const char* workDir = NULL;
    const char* expected = NULL;
    long timeoutMs = 30000;
    long settleMs = 1500;
    int verbose = 0;
    int opt;
    while ((opt = getopt(argc, argv, "+C:e:t:s:v")) != -1) {
        switch (opt) {
        case 'C':
            workDir = optarg;
            break;
        case 'e':
            expected = optarg;
            break;
        case 't':
            timeoutMs = strtol(optarg, NULL, 10);
            break;
        case 's':
            settleMs = strtol(optarg, NULL, 10);
            break;
        case 'v':
            verbose = 1;
            break;
        default:
            Usage();
            return 1;
        }
    }
    if (optind >= argc) {
        Usage();
        return 1;
    }

    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "startup_probe: cannot open display %s\n", XDisplayName(NULL));
        return 1;
    }
    XSetErrorHandler(IgnoreXErrors);
    g_netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    g_netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    g_utf8String = XInternAtom(display, "UTF8_STRING", False);
    g_clientLeader = XInternAtom(display, "WM_CLIENT_LEADER", False);
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);

    const double t0 = NowMs();
    if (verbose)
        fprintf(stderr, "startup_probe: t0 %.3f ms (CLOCK_MONOTONIC)\n", t0);
    pid_t child = fork();
    if (child < 0) {
        perror("startup_probe: fork");
        return 1;
    }
    if (child == 0) {
        setpgid(0, 0);
        if (workDir && chdir(workDir) != 0) {
            perror("startup_probe: chdir");
            _exit(127);
        }
        dup2(STDERR_FILENO, STDOUT_FILENO); /* our stdout carries the result only */
        execvp(argv[optind], argv + optind);
        perror("startup_probe: exec");
        _exit(127);
    }
    setpgid(child, child);

    static Window created[kMaxWindows];
    int createdCount = 0;
    Window mainWindow = None;  /* the program's window, once on screen */
    Window shownWindow = None; /* the program's window, once mapped */
    double windowMs = -1, titleMs = -1;
    long pssKib = -1;
    int childGone = 0;
    const double deadline = t0 + timeoutMs;

    while (titleMs < 0) {
        int status;
        if (waitpid(child, &status, WNOHANG) == child) {
            childGone = 1;
            break;
        }
        if (!XPending(display)) {
            double left = deadline - NowMs();
            if (left <= 0)
                break;
            struct pollfd pfd = {ConnectionNumber(display), POLLIN, 0};
            poll(&pfd, 1, left < 50 ? (int)left + 1 : 50); /* wake up to notice an early exit */
            if (!XPending(display))
                continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        const double now = NowMs();
        if (verbose && shownWindow != None && mainWindow == None &&
            (event.type == MapNotify || event.type == ConfigureNotify)) {
            XWindowAttributes seen;
            if (XGetWindowAttributes(display, shownWindow, &seen))
                fprintf(stderr, "startup_probe: %.1f ms: %s of %lx, window %dx%d%s\n", now - t0,
                        event.type == MapNotify ? "map" : "configure", event.xany.window,
                        seen.width, seen.height, seen.map_state == IsViewable ? " viewable" : "");
        }
        if (event.type == CreateNotify && event.xcreatewindow.parent == root) {
            if (createdCount < kMaxWindows)
                created[createdCount++] = event.xcreatewindow.window;
            /* Its own MapNotify still reaches us once a window manager has framed it. */
            XSelectInput(display, event.xcreatewindow.window, StructureNotifyMask);
        } else if ((event.type == MapNotify || event.type == ConfigureNotify) &&
                   mainWindow == None && shownWindow != None) {
            /* A frame mapped, or the window got its size: it may be on screen now. */
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display, shownWindow, &attributes) &&
                attributes.map_state == IsViewable && attributes.width >= kMinWindowSide &&
                attributes.height >= kMinWindowSide) {
                mainWindow = shownWindow;
                windowMs = now - t0;
                if (CaptionMatches(display, mainWindow, expected))
                    titleMs = NowMs() - t0;
            }
        }
        if (event.type == MapNotify && mainWindow == None && shownWindow == None &&
            (event.xmap.event == root || event.xmap.event == event.xmap.window)) {
            Window window = event.xmap.window;
            XWindowAttributes attributes;
            /* Small windows of their own (tooltips, popups) are not framed; a
             * framed window may still be as small as the frame left it when mapped. */
            const int framed = event.xmap.event == window;
            if (!XGetWindowAttributes(display, window, &attributes) ||
                attributes.override_redirect ||
                (!framed &&
                 (attributes.width < kMinWindowSide || attributes.height < kMinWindowSide)))
                continue;
            long pid = OwnerPid(display, window);
            /* A descendant counts too: the program may run under a wrapper (strace, a launcher). */
            int ours = pid > 0 && IsDescendant(pid, child);
            if (pid <= 0) {
                /* No pid on the window: accept a named window created since the start. */
                char* name = WindowName(display, window);
                for (int i = 0; name && i < createdCount && !ours; ++i)
                    ours = created[i] == window;
                if (name)
                    XFree(name);
            }
            if (!ours)
                continue;
            shownWindow = window;
            XSelectInput(display, window, PropertyChangeMask | StructureNotifyMask);
            XSync(display, False);
            if (attributes.map_state == IsViewable && attributes.width >= kMinWindowSide &&
                attributes.height >= kMinWindowSide) {
                mainWindow = window;
                windowMs = now - t0;
            }
            /* The caption may have been set before the window was mapped. */
            if (mainWindow != None && CaptionMatches(display, mainWindow, expected))
                titleMs = NowMs() - t0;
        } else if (event.type == PropertyNotify && event.xproperty.window == mainWindow &&
                   (event.xproperty.atom == g_netWmName || event.xproperty.atom == XA_WM_NAME)) {
            if (CaptionMatches(display, mainWindow, expected))
                titleMs = now - t0;
        }
    }

    static long tree[kMaxProcs];
    int treeCount = 1;
    tree[0] = child;
    if (!childGone && titleMs >= 0) {
        /* Let the web engine's processes finish their start-up work first. */
        const double until = NowMs() + settleMs;
        for (double left; (left = until - NowMs()) > 0;) {
            struct pollfd pfd = {ConnectionNumber(display), POLLIN, 0};
            poll(&pfd, 1, (int)left + 1);
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
            }
        }
        treeCount = ProcessTree(child, tree, kMaxProcs);
        pssKib = 0;
        for (int i = 0; i < treeCount; ++i)
            pssKib += PssKib(tree[i]);
        if (verbose)
            VerboseTree(tree, treeCount);
    } else if (!childGone) {
        treeCount = ProcessTree(child, tree, kMaxProcs);
    }

    if (!childGone)
        EndProcesses(child, tree, treeCount);
    XCloseDisplay(display);

    printf("window_ms=%.1f title_ms=%.1f pss_kib=%ld\n", windowMs, titleMs, pssKib);
    fflush(stdout);
    if (childGone) {
        fprintf(stderr, "startup_probe: %s ended before its caption showed the text\n",
                argv[optind]);
        return 3;
    }
    if (titleMs < 0) {
        fprintf(stderr, "startup_probe: timed out after %ld ms (window %s)\n", timeoutMs,
                mainWindow == None ? "never mapped" : "mapped, caption never matched");
        return 2;
    }
    return 0;
}
