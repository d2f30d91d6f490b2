#pragma once
// The shipped filters compiled when the program is built, in the "compiled"
// folder beside them, with a state file that names the shipped files'
// checksum, the WebKit version that compiled them and the record of each
// compiled file. A start whose WebKit is that version loads them from there
// rather than compiling them first; any other start compiles its own.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "content_filter/filter_store.h"

namespace lumo {

// A file's whole text (empty when it cannot be read), and a file's text
// replaced safely, its folder made first.
std::string ReadText(const std::filesystem::path& file);
bool WriteText(const std::filesystem::path& file, const std::string& text);

// The shipped filters as they are compiled: an id and its rules (the file's,
// then the exception for the program's own pages).
struct ShippedFilter
{
    std::string id;
    std::string rules;
};
std::string ShippedFilterId(const std::filesystem::path& file);
std::vector<ShippedFilter> ReadShippedFilters(const std::vector<std::filesystem::path>& files);
// A checksum of the shipped files and of what the program adds to them;
// empty when one cannot be read.
std::string ShippedFiltersSum(const std::vector<std::filesystem::path>& files);

// The version of the WebKit this program runs on, as "major.minor.micro".
std::string EngineVersion();

std::filesystem::path PrebuiltFolder(const std::filesystem::path& shipped);
// The ids of the compiled filters in the shipped folder `shipped`, when they
// were compiled from `files` as they are now (`sum`), by this WebKit, and are
// all intact; none otherwise.
std::optional<std::vector<std::string>>
UsablePrebuiltIds(const std::filesystem::path& shipped,
                  const std::vector<std::filesystem::path>& files, const std::string& sum);

// Compiles the shipped filters of `shipped` into its "compiled" folder and
// writes their state file; runs GLib's main loop until done. False, with
// `error`, when one cannot be compiled or recorded.
bool CompilePrebuiltFilters(const std::filesystem::path& shipped, std::string& error);

} // namespace lumo
