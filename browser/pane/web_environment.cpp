#include "browser/pane/web_environment.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

namespace lumo {

void PrepareWebEngineEnvironment()
{
    // setenv with overwrite 0 keeps whatever the user chose.
    setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
}

namespace {

struct SandboxProbe
{
    bool started = false;
    bool finished = false;
    bool supported = false;
    pid_t pid = -1;
};

SandboxProbe& Probe()
{
    static SandboxProbe probe;
    return probe;
}

} // namespace

void StartWebSandboxProbe()
{
    SandboxProbe& probe = Probe();
    if (probe.started)
        return;
    probe.started = true;
    // The engine cannot start a page process at all when the sandbox is on
    // but cannot be made, so try making one first.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"bwrap",         "--ro-bind",         "/",    "/",
                          "--unshare-all", "--die-with-parent", "true", nullptr};
    if (posix_spawnp(&probe.pid, "bwrap", &actions, nullptr, const_cast<char**>(argv), environ) !=
        0) {
        probe.finished = true;
        probe.pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

bool WebSandboxSupported()
{
    StartWebSandboxProbe();
    SandboxProbe& probe = Probe();
    if (!probe.finished) {
        int status = 0;
        pid_t done;
        do
            done = waitpid(probe.pid, &status, 0);
        while (done < 0 && errno == EINTR);
        probe.supported = done == probe.pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        probe.finished = true;
    }
    return probe.supported;
}

} // namespace lumo
