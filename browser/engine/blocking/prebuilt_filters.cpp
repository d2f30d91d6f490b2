#include "browser/engine/blocking/prebuilt_filters.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <webkit2/webkit2.h>

#include "common/file_replacement.h"
#include "common/resource_ids.h"
#include "content_filter/filter_converter.h"
#include "content_filter/filter_lists.h"

namespace fs = std::filesystem;
using namespace lumo::content_filter;

namespace lumo {
namespace {

constexpr const char* kStateFile = "filters.ids";
constexpr const char* kVersionPrefix = "webkit ";

std::string ExemptionJson()
{
    return RuleToJson(ExemptPagesOf(kStartPageScheme));
}

} // namespace

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteText(const fs::path& file, const std::string& text)
{
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    FileReplacement replacement;
    return replacement.Begin(file.string()) && replacement.Write(text.data(), text.size()) &&
           replacement.Commit();
}

std::string ShippedFilterId(const fs::path& file)
{
    return "shipped-" + file.stem().string();
}

std::vector<ShippedFilter> ReadShippedFilters(const std::vector<fs::path>& files)
{
    const std::vector<Rule> last = {ExemptPagesOf(kStartPageScheme)};
    std::vector<ShippedFilter> filters;
    for (const fs::path& file : files)
        filters.push_back({ShippedFilterId(file), AppendRules(ReadText(file), last)});
    return filters;
}

std::string ShippedFiltersSum(const std::vector<fs::path>& files)
{
    std::string sum = ChecksumOfFiles(files);
    return sum.empty() ? sum : sum + ChecksumOfText(ExemptionJson());
}

std::string EngineVersion()
{
    return std::to_string(webkit_get_major_version()) + "." +
           std::to_string(webkit_get_minor_version()) + "." +
           std::to_string(webkit_get_micro_version());
}

fs::path PrebuiltFolder(const fs::path& shipped)
{
    return shipped / "compiled";
}

std::optional<std::vector<std::string>> UsablePrebuiltIds(const fs::path& shipped,
                                                          const std::vector<fs::path>& files,
                                                          const std::string& sum)
{
    // The sum, the version, then the records.
    const std::string state = ReadText(PrebuiltFolder(shipped) / kStateFile);
    std::istringstream lines(state);
    std::string firstLine, secondLine;
    if (sum.empty() || !std::getline(lines, firstLine) || firstLine != sum ||
        !std::getline(lines, secondLine) || secondLine != kVersionPrefix + EngineVersion())
        return std::nullopt;
    const std::size_t recordsAt = firstLine.size() + secondLine.size() + 2;
    std::optional<std::vector<CompiledRecord>> records =
        ParseRecords(std::string_view(state).substr(std::min(recordsAt, state.size())));
    if (!records || records->size() != files.size() ||
        !std::all_of(records->begin(), records->end(), [&](const CompiledRecord& record) {
            return Intact(PrebuiltFolder(shipped), record);
        }))
        return std::nullopt;
    std::vector<std::string> ids;
    for (const CompiledRecord& record : *records)
        ids.push_back(record.id);
    return ids;
}

bool CompilePrebuiltFilters(const fs::path& shipped, std::string& error)
{
    const std::vector<fs::path> files = ShippedFilterFiles(shipped);
    const std::string sum = ShippedFiltersSum(files);
    if (files.empty() || sum.empty()) {
        error = "no shipped filters can be read in " + shipped.string();
        return false;
    }
    const fs::path folder = PrebuiltFolder(shipped);
    std::error_code removed;
    fs::remove_all(folder, removed);
    fs::create_directories(folder, removed);
    WebKitUserContentFilterStore* store = webkit_user_content_filter_store_new(folder.c_str());
    std::vector<CompiledRecord> records;
    for (ShippedFilter& filter : ReadShippedFilters(files)) {
        struct Answer
        {
            GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
            WebKitUserContentFilter* filter = nullptr;
            GError* error = nullptr;
        } answer;
        GBytes* rules = g_bytes_new(filter.rules.data(), filter.rules.size());
        webkit_user_content_filter_store_save(
            store, filter.id.c_str(), rules, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                auto* answer = static_cast<Answer*>(data);
                answer->filter = webkit_user_content_filter_store_save_finish(
                    WEBKIT_USER_CONTENT_FILTER_STORE(source), result, &answer->error);
                g_main_loop_quit(answer->loop);
            },
            &answer);
        g_main_loop_run(answer.loop);
        g_main_loop_unref(answer.loop);
        g_bytes_unref(rules);
        std::optional<CompiledRecord> record =
            answer.filter ? RecordOf(folder, filter.id) : std::nullopt;
        if (answer.filter)
            webkit_user_content_filter_unref(answer.filter);
        if (!record) {
            error = filter.id + ": " +
                    (answer.error ? answer.error->message : "the compiled file cannot be read");
            g_clear_error(&answer.error);
            g_object_unref(store);
            return false;
        }
        records.push_back(*record);
    }
    g_object_unref(store);
    const std::string state =
        sum + "\n" + kVersionPrefix + EngineVersion() + "\n" + FormatRecords(records);
    if (!WriteText(folder / kStateFile, state)) {
        error = "the state file cannot be written in " + folder.string();
        return false;
    }
    return true;
}

} // namespace lumo
