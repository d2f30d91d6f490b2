// lumo-filter-convert: Adblock filter lists to WebKit content-blocker JSON.
//
//   lumo-filter-convert [--max-rules N] OUTPUT_DIR NAME LIST...
//
// Converts the lists together and writes OUTPUT_DIR/NAME-1.json,
// NAME-2.json, ... (each within WebKit's rule limit, each with all the
// exceptions; see SplitIntoParts), removing older NAME-*.json files there.
// Prints what it read, wrote and left out, and its time.
#include "content_filter/filter_converter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace lumo::content_filter;

namespace {

int Usage()
{
    std::cerr << "usage: lumo-filter-convert [--max-rules N] OUTPUT_DIR NAME LIST...\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    auto start = std::chrono::steady_clock::now();
    std::size_t maxRules = WebKitMaxRules;
    int arg = 1;
    if (arg + 1 < argc && std::string(argv[arg]) == "--max-rules") {
        char* end = nullptr;
        unsigned long long value = std::strtoull(argv[arg + 1], &end, 10);
        if (!end || *end || value == 0 || value > WebKitMaxRules) {
            std::cerr << "lumo-filter-convert: --max-rules must be 1 to " << WebKitMaxRules << "\n";
            return 2;
        }
        maxRules = value;
        arg += 2;
    }
    if (argc - arg < 3)
        return Usage();
    fs::path outputDir = argv[arg];
    std::string name = argv[arg + 1];

    Converter converter;
    for (int i = arg + 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            std::cerr << "lumo-filter-convert: cannot read " << argv[i] << "\n";
            return 1;
        }
        converter.AddList(text.str());
    }
    Conversion conversion = converter.Finish();
    std::vector<std::string> parts = SplitIntoParts(conversion, maxRules);
    if (parts.empty()) {
        std::cerr << "lumo-filter-convert: the " << conversion.exceptions.size()
                  << " exceptions alone do not fit in " << maxRules << " rules\n";
        return 1;
    }

    std::error_code error;
    fs::create_directories(outputDir, error);
    for (const auto& entry : fs::directory_iterator(outputDir, error)) {
        std::string file = entry.path().filename().string();
        if (file.starts_with(name + "-") && file.ends_with(".json"))
            fs::remove(entry.path(), error);
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        fs::path file = outputDir / (name + "-" + std::to_string(i + 1) + ".json");
        fs::path temporary = file;
        temporary += ".tmp";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << parts[i];
            out.close();
            if (!out) {
                std::cerr << "lumo-filter-convert: cannot write " << temporary << "\n";
                return 1;
            }
        }
        fs::rename(temporary, file, error);
        if (error) {
            std::cerr << "lumo-filter-convert: cannot write " << file << ": " << error.message()
                      << "\n";
            return 1;
        }
    }

    const Summary& s = conversion.summary;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %zu lines, %zu filters read, %zu skipped; %zu rules written "
                "(%zu blocking and hiding, %zu exceptions, %zu important) in %zu file(s), "
                "%.2f s\n",
                name.c_str(), s.linesRead, s.filtersRead, s.filtersSkipped, conversion.RuleCount(),
                conversion.blocking.size(), conversion.exceptions.size(),
                conversion.important.size(), parts.size(), seconds);
    for (const auto& [reason, count] : s.skipped)
        std::printf("  skipped %6zu  %s\n", count, reason.c_str());
    return 0;
}
