#include "content_filter/filter_lists.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace lumo::content_filter {

std::vector<std::filesystem::path> ShippedFilterFiles(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if ((name.starts_with("ads-") || name.starts_with("trackers-")) &&
            name.ends_with(".json") && entry.is_regular_file(error))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ChecksumOfFiles(const std::vector<std::filesystem::path>& files)
{
    std::uint64_t hash = 14695981039346656037ULL;
    const auto add = [&hash](const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            hash ^= static_cast<unsigned char>(data[i]);
            hash *= 1099511628211ULL;
        }
    };
    for (const auto& file : files) {
        const std::string name = file.filename().string();
        add(name.c_str(), name.size() + 1);
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return {};
        char buffer[1 << 16];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
            add(buffer, static_cast<std::size_t>(in.gcount()));
        if (in.bad())
            return {};
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

bool LooksLikeFilterList(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    return text.starts_with("[Adblock");
}

} // namespace lumo::content_filter
