#include "content_filter/blocking_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

namespace lumo::content_filter {

bool ListUpdateDue(std::int64_t last, std::int64_t now)
{
    return last <= 0 || last > now || now - last >= kListUpdateIntervalSeconds;
}

std::set<std::string> ParseAllowedSites(std::string_view text)
{
    std::set<std::string> sites;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of(" \t,", at);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > at)
            sites.insert(SiteOf("http://" + std::string(text.substr(at, end - at)) + "/"));
        at = end + 1;
    }
    sites.erase("");
    return sites;
}

std::string FormatAllowedSites(const std::set<std::string>& sites)
{
    std::string text;
    for (const std::string& site : sites) {
        if (!text.empty())
            text += ' ';
        text += site;
    }
    return text;
}

std::string SiteOf(std::string_view address)
{
    std::size_t scheme = address.find("://");
    if (scheme == std::string_view::npos)
        return {};
    std::string_view name = address.substr(0, scheme);
    if (name != "http" && name != "https")
        return {};
    std::string_view rest = address.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (std::size_t user = rest.rfind('@'); user != std::string_view::npos)
        rest = rest.substr(user + 1);
    if (!rest.empty() && rest.front() == '[')
        rest = rest.substr(0, rest.find(']') + 1);
    else
        rest = rest.substr(0, rest.find(':'));
    std::string host(rest);
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    return host;
}

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
