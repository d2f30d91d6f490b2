#include "content_filter/list_checks.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace lumo::content_filter {
namespace {

// How the converter begins the url-filter of "||host": such a rule names
// its host and no other.
constexpr std::string_view kHostStart = "^[a-z-]+://([^/]*\\.)?";

bool NamesHost(std::string_view urlFilter)
{
    if (!urlFilter.starts_with(kHostStart) || urlFilter.size() == kHostStart.size())
        return false;
    const char first = urlFilter[kHostStart.size()];
    return (first >= 'a' && first <= 'z') || (first >= '0' && first <= '9');
}

// Whether a rule blocks what a page is made of: the page itself, its
// scripts, style sheets, fonts or images (not its pings, say).
bool BlocksPageContent(const Rule& rule)
{
    if (rule.resourceTypes.empty())
        return true;
    for (const std::string& type : rule.resourceTypes)
        if (type == "document" || type == "script" || type == "style-sheet" || type == "font" ||
            type == "image")
            return true;
    return false;
}

bool TakesPlainAddress(const Rule& rule)
{
    if (rule.action != Rule::Action::Block || !rule.ifDomain.empty() || !rule.ifTopUrl.empty() ||
        NamesHost(rule.urlFilter) || !BlocksPageContent(rule))
        return false;
    auto flags = std::regex::ECMAScript | std::regex::nosubs | std::regex::optimize;
    if (!rule.caseSensitive)
        flags |= std::regex::icase;
    try {
        const std::regex pattern(rule.urlFilter, flags);
        for (const std::string& address : PlainAddresses())
            if (std::regex_search(address, pattern))
                return true;
    } catch (const std::regex_error&) {
        // Past what the standard library reads; WebKit's own try tells.
    }
    return false;
}

// The selectors of a list, split at the commas outside brackets, quotes
// and parentheses.
std::vector<std::string_view> SplitSelectors(std::string_view list)
{
    std::vector<std::string_view> parts;
    int depth = 0;
    char quote = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        if (quote) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '(' || c == '[') {
            ++depth;
        } else if ((c == ')' || c == ']') && depth > 0) {
            --depth;
        } else if (c == ',' && depth == 0) {
            parts.push_back(list.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(list.substr(start));
    return parts;
}

// Whether a selector is made of nothing but html, body, :root and "*",
// joined by combinators.
bool NamesOnlyThePage(std::string_view selector)
{
    bool any = false;
    std::size_t i = 0;
    while (i < selector.size()) {
        const char c = selector[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '>' || c == '+' || c == '~') {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < selector.size() &&
               std::string_view(" \t\n>+~").find(selector[end]) == std::string_view::npos)
            ++end;
        const std::string_view compound = selector.substr(i, end - i);
        if (compound != "*" && compound != "html" && compound != "body" && compound != ":root" &&
            compound != "html:root")
            return false;
        any = true;
        i = end;
    }
    return any;
}

} // namespace

const std::vector<std::string>& PlainAddresses()
{
    static const std::vector<std::string> addresses = {
        "https://www.example.com/",
        "http://news.example.org/2024/05/06/city-council-votes.html",
        "https://example.net/index.php?id=7&page=2",
        "https://static.example.com/images/river.jpg",
        "https://static.example.com/styles/site.css",
    };
    return addresses;
}

bool HidesWholePage(std::string_view selectors)
{
    for (std::string_view selector : SplitSelectors(selectors))
        if (NamesOnlyThePage(selector))
            return true;
    return false;
}

std::string CheckRules(const Conversion& conversion)
{
    for (const auto* rules : {&conversion.blocking, &conversion.important}) {
        for (const Rule& rule : *rules) {
            if (rule.action == Rule::Action::CssDisplayNone && HidesWholePage(rule.selector))
                return "a rule hides the whole page: " + rule.selector;
            if (rule.action == Rule::Action::Block && TakesPlainAddress(rule))
                return "a rule blocks the plain addresses of any site: " + RuleToJson(rule);
        }
    }
    return {};
}

std::size_t CountRules(std::string_view json)
{
    // Written only as a rule begins: a selector or an address cannot hold
    // an unescaped quote.
    constexpr std::string_view kRuleStart = "{\"trigger\":";
    std::size_t count = 0;
    for (std::size_t at = json.find(kRuleStart); at != std::string_view::npos;
         at = json.find(kRuleStart, at + kRuleStart.size()))
        ++count;
    return count;
}

std::map<std::string, std::size_t>
CountShippedRules(const std::vector<std::filesystem::path>& files)
{
    std::map<std::string, std::size_t> counts;
    for (const std::filesystem::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const std::string stem = file.stem().string();
        counts[stem.substr(0, stem.rfind('-'))] += CountRules(text.str());
    }
    return counts;
}

std::string CheckRuleCount(const std::string& name, std::size_t fresh, std::size_t shipped)
{
    if (fresh * 2 < shipped || fresh > shipped * 2)
        return name + ": " + std::to_string(fresh) + " rules where the shipped list has " +
               std::to_string(shipped);
    return {};
}

} // namespace lumo::content_filter
