#pragma once
// What the web engine module knows of its surroundings: the sandbox of its
// page processes, the memory they use, the network, and where it keeps its
// storage. Defined inside the module only.

#include <chrono>
#include <cstddef>
#include <functional>
#include <sys/types.h>
#include <vector>

namespace lumo {

// Where, under the XDG data and cache homes, the web engine keeps its storage
// and its cache: never in the program directory.
inline constexpr const char* kWebStorageFolder = "lumo-news-reader/web";

// Turns on the engine's sandbox when `supported`; true when it is on. Must run
// before the first web view exists; later calls change nothing.
bool EnableWebSandbox(bool supported);

// The most resident memory a page process may use before it is ended: the
// smaller of 2 GiB and a quarter of the machine's memory, unless set.
std::size_t WebProcessMemoryLimit();
void SetWebProcessMemoryLimit(std::size_t bytes);

// Whether this computer has a network, which a failure page says before
// anything else when it has none: the system's network monitor, unless
// another check was set (an empty one puts the monitor back).
bool NetworkAvailable();
void SetNetworkAvailableCheck(std::function<bool()> check);

// The time the engine tells a burst of pop-up windows by: the steady
// clock, unless another was set (an empty one puts the steady clock back).
std::chrono::steady_clock::time_point EngineNow();
void SetEngineClock(std::function<std::chrono::steady_clock::time_point()> clock);

// How long a navigation may go without the first data of its page before
// it fails (30 s, unless set; 0 puts the default back).
int NavigationAnswerLimitMs();
void SetNavigationAnswerLimit(int ms);

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
