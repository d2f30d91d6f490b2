#include "content_filter/filter_store.h"

#include <charconv>
#include <set>
#include <sstream>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "content_filter/filter_lists.h"

namespace fs = std::filesystem;

namespace lumo::content_filter {
namespace {

constexpr std::string_view kFilePrefix = "ContentRuleList-";

// The files that processes of this user have open, as device and inode.
std::set<std::pair<dev_t, ino_t>> OpenFiles()
{
    std::set<std::pair<dev_t, ino_t>> open;
    DIR* processes = opendir("/proc");
    if (!processes)
        return open;
    while (const dirent* process = readdir(processes)) {
        if (process->d_name[0] < '0' || process->d_name[0] > '9')
            continue;
        const std::string fds = std::string("/proc/") + process->d_name + "/fd";
        DIR* listing = opendir(fds.c_str());
        if (!listing)
            continue;
        while (const dirent* fd = readdir(listing)) {
            struct stat st;
            if (fd->d_name[0] != '.' && stat((fds + "/" + fd->d_name).c_str(), &st) == 0 &&
                S_ISREG(st.st_mode))
                open.insert({st.st_dev, st.st_ino});
        }
        closedir(listing);
    }
    closedir(processes);
    return open;
}

} // namespace

fs::path CompiledFile(const fs::path& store, std::string_view id)
{
    return store / (std::string(kFilePrefix) + std::string(id));
}

std::optional<CompiledRecord> RecordOf(const fs::path& store, const std::string& id)
{
    const fs::path file = CompiledFile(store, id);
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(file, error)))
        return std::nullopt;
    const std::uintmax_t size = fs::file_size(file, error);
    const std::string sum = ChecksumOfFiles({file});
    if (error || sum.empty())
        return std::nullopt;
    return CompiledRecord{id, size, sum};
}

bool Intact(const fs::path& store, const CompiledRecord& record)
{
    const fs::path file = CompiledFile(store, record.id);
    std::error_code error;
    // The size first: a file cut short needs no reading.
    if (!fs::is_regular_file(fs::symlink_status(file, error)) ||
        fs::file_size(file, error) != record.size || error)
        return false;
    std::optional<CompiledRecord> now = RecordOf(store, record.id);
    return now && *now == record;
}

void ClearPlaceOf(const fs::path& store, std::string_view id)
{
    const fs::path file = CompiledFile(store, id);
    std::error_code error;
    const fs::file_status status = fs::symlink_status(file, error);
    if (fs::exists(status) && !fs::is_regular_file(status))
        fs::remove_all(file, error);
}

std::string FormatRecords(const std::vector<CompiledRecord>& records)
{
    std::string text;
    for (const CompiledRecord& record : records)
        text += record.id + ' ' + std::to_string(record.size) + ' ' + record.sum + '\n';
    return text;
}

std::optional<std::vector<CompiledRecord>> ParseRecords(std::string_view text)
{
    std::vector<CompiledRecord> records;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        if (line.empty())
            continue;
        std::istringstream words(line);
        CompiledRecord record;
        std::string size, rest;
        if (!(words >> record.id >> size >> record.sum) || (words >> rest))
            return std::nullopt;
        const auto [end, error] =
            std::from_chars(size.data(), size.data() + size.size(), record.size);
        if (error != std::errc() || end != size.data() + size.size())
            return std::nullopt;
        records.push_back(std::move(record));
    }
    return records;
}

int RemoveCompileLeftovers(const fs::path& folder)
{
    std::vector<std::pair<fs::path, std::pair<dev_t, ino_t>>> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        struct stat st;
        if (name.size() == kFilePrefix.size() + 6 && name.starts_with(kFilePrefix) &&
            lstat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid())
            found.push_back({entry.path(), {st.st_dev, st.st_ino}});
    }
    if (found.empty())
        return 0;
    // One being written now is open in its compiler's process.
    const std::set<std::pair<dev_t, ino_t>> open = OpenFiles();
    int removed = 0;
    for (const auto& [path, identity] : found)
        if (!open.contains(identity) && fs::remove(path, error))
            ++removed;
    return removed;
}

} // namespace lumo::content_filter
