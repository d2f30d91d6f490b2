#pragma once
// Settings of the web engine that must be in place before it starts.

namespace lumo {

// Makes the web pane draw on machines without GPU acceleration and under a
// virtual X server: WebKit's DMA-BUF renderer leaves the pane blank there, so
// its documented fallback is switched on. A value the user set is kept.
// Call before the first web view exists.
void PrepareWebEngineEnvironment();

// Starts finding out, in a child process, whether this system can run the web
// engine's sandbox for page processes (bubblewrap present and allowed to make
// namespaces). Called early at start-up so that the answer is ready when the
// engine starts; later calls do nothing.
void StartWebSandboxProbe();
// The answer of the probe (started now if it was not), waiting for it if needed.
bool WebSandboxSupported();

// Turns on the engine's sandbox when `supported`; true when it is on. Must run
// before the first web view exists; later calls change nothing.
bool EnableWebSandbox(bool supported);

} // namespace lumo

#include <cstddef>
#include <functional>
#include <sys/types.h>
#include <vector>

namespace lumo {

// Set when the program starts itself again because the web engine could not
// go on: the address the pane showed, opened in place of the start page.
inline constexpr const char* kResumeAddressVariable = "LUMO_RESUME_ADDRESS";

// Where, under the XDG data and cache homes, the web engine keeps its storage
// and its cache: never in the program directory.
inline constexpr const char* kWebStorageFolder = "lumo-news-reader/web";

// The most resident memory a page process may use before it is ended: the
// smaller of 2 GiB and a quarter of the machine's memory, unless set.
std::size_t WebProcessMemoryLimit();
void SetWebProcessMemoryLimit(std::size_t bytes);

// Whether this computer has a network, which a failure page says before
// anything else when it has none: the system's network monitor, unless
// another check was set (an empty one puts the monitor back).
bool NetworkAvailable();
void SetNetworkAvailableCheck(std::function<bool()> check);

struct WebProcessUsage
{
    pid_t pid;
    std::size_t residentBytes;
};
// The page processes started by `ancestor` (directly or inside the engine's
// sandbox) with their resident memory; those of this program by default.
std::vector<WebProcessUsage> WebProcessesOf(pid_t ancestor);
std::vector<WebProcessUsage> WebProcessesOfThisProgram();
// The processes this program started that still exist (or wait to be collected).
std::vector<pid_t> ChildrenOfThisProcess();

} // namespace lumo
