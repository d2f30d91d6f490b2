#pragma once
// The compiled filters on disk. WebKit keeps each filter of its store in a
// file of its own, which the program records by size and checksum when it
// was made and checks before it is loaded again: a damaged file is compiled
// anew, never handed to the engine. WebKit's compiler writes into the
// temporary folder first and leaves its file there when it fails or is
// killed; those go too. Plain C++: no wx, no GTK.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo::content_filter {

struct CompiledRecord
{
    std::string id;
    std::uint64_t size = 0;
    std::string sum;
    bool operator==(const CompiledRecord&) const = default;
};

// The file WebKit keeps the filter `id` in, inside its store's folder.
std::filesystem::path CompiledFile(const std::filesystem::path& store, std::string_view id);
// The record of the filter `id` as its file is now; none when it is no
// regular file or cannot be read.
std::optional<CompiledRecord> RecordOf(const std::filesystem::path& store, const std::string& id);
// Whether the filter's file is as `record` says.
bool Intact(const std::filesystem::path& store, const CompiledRecord& record);
// Makes room for the filter `id`: whatever stands where its file goes and
// is no regular file (a folder) is removed.
void ClearPlaceOf(const std::filesystem::path& store, std::string_view id);

// Records as the state files keep them, a line each ("id size checksum"),
// and back; none when a line is not one (a damaged file, an older form).
std::string FormatRecords(const std::vector<CompiledRecord>& records);
std::optional<std::vector<CompiledRecord>> ParseRecords(std::string_view text);

// Removes the files WebKit's compiler left in `folder` (the temporary
// folder): "ContentRuleList-" and six characters, this user's, that no
// process has open. Returns how many went.
int RemoveCompileLeftovers(const std::filesystem::path& folder);

} // namespace lumo::content_filter
