#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <map>
#include <string_view>
#include <unistd.h>

#include "browser/engine/engine_environment.h"

namespace lumo {
namespace {

std::size_t& ConfiguredLimit()
{
    static std::size_t limit = 0;
    return limit;
}

struct ProcessEntry
{
    pid_t parent = 0;
    bool isWebProcess = false;
};

} // namespace

std::size_t WebProcessMemoryLimit()
{
    if (ConfiguredLimit())
        return ConfiguredLimit();
    constexpr std::size_t twoGiB = std::size_t(2) << 30;
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return twoGiB;
    return std::min(twoGiB,
                    static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize) / 4);
}

void SetWebProcessMemoryLimit(std::size_t bytes)
{
    ConfiguredLimit() = bytes;
}

namespace {

// Every process: its parent, and whether it is a page process.
std::map<pid_t, ProcessEntry> ScanProcesses()
{
    std::map<pid_t, ProcessEntry> processes;
    DIR* proc = opendir("/proc");
    if (!proc)
        return processes;
    while (dirent* entry = readdir(proc)) {
        pid_t pid = static_cast<pid_t>(atoi(entry->d_name));
        if (pid <= 0)
            continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
        FILE* file = std::fopen(path, "r");
        if (!file)
            continue;
        char line[512];
        size_t length = std::fread(line, 1, sizeof line - 1, file);
        std::fclose(file);
        line[length] = '\0';
        // "pid (name) state parent ...": the name may hold blanks and parentheses.
        const char* open = std::strchr(line, '(');
        const char* close = std::strrchr(line, ')');
        if (!open || !close || close < open)
            continue;
        ProcessEntry info;
        info.isWebProcess = std::string_view(open + 1, close - open - 1).find("WebKitWebProces") !=
                            std::string_view::npos;
        char state = 0;
        int parent = 0;
        if (std::sscanf(close + 1, " %c %d", &state, &parent) == 2)
            info.parent = parent;
        processes[pid] = info;
    }
    closedir(proc);
    return processes;
}

} // namespace

std::vector<WebProcessUsage> WebProcessesOf(pid_t ancestor)
{
    std::map<pid_t, ProcessEntry> processes = ScanProcesses();
    std::vector<WebProcessUsage> found;
    for (const auto& [pid, info] : processes) {
        if (!info.isWebProcess)
            continue;
        bool ours = false;
        for (pid_t up = info.parent; up > 1 && !ours;) {
            ours = up == ancestor;
            auto it = processes.find(up);
            up = it == processes.end() ? 0 : it->second.parent;
        }
        if (!ours)
            continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%d/statm", pid);
        long size = 0, resident = 0;
        if (FILE* file = std::fopen(path, "r")) {
            if (std::fscanf(file, "%ld %ld", &size, &resident) != 2)
                resident = 0;
            std::fclose(file);
        }
        found.push_back({pid, static_cast<std::size_t>(resident) *
                                  static_cast<std::size_t>(sysconf(_SC_PAGE_SIZE))});
    }
    return found;
}

std::vector<WebProcessUsage> WebProcessesOfThisProgram()
{
    return WebProcessesOf(getpid());
}

std::vector<pid_t> ChildrenOfThisProcess()
{
    std::vector<pid_t> children;
    const pid_t self = getpid();
    for (const auto& [pid, info] : ScanProcesses())
        if (info.parent == self)
            children.push_back(pid);
    return children;
}

} // namespace lumo
