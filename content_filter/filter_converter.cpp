#include "content_filter/filter_converter.h"

#include <algorithm>
#include <optional>
#include <set>

namespace lumo::content_filter {

namespace {

// Adblock's separator "^": any character but a letter, a digit or _ . % -.
constexpr std::string_view Separator = "[^a-zA-Z0-9_.%-]";
constexpr std::string_view HostStart = "^[a-z-]+://([^/]*\\.)?";

bool IsAsciiPrintable(char c)
{
    return c >= 0x20 && c < 0x7f;
}

bool IsAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> SplitOn(std::string_view text, char sep)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

void AppendJsonString(std::string& out, std::string_view text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

void AppendJsonArray(std::string& out, const char* key, const std::vector<std::string>& values)
{
    if (values.empty())
        return;
    out += ",\"";
    out += key;
    out += "\":[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i)
            out += ',';
        AppendJsonString(out, values[i]);
    }
    out += ']';
}

// A domain of a filter's domain list made into WebKit's form (the domain
// and those under it), or the reason it cannot be.
std::optional<std::string> WebKitDomain(std::string_view domain, std::string& reason)
{
    if (domain.empty()) {
        reason = "empty domain";
        return std::nullopt;
    }
    if (domain.front() == '/') {
        reason = "regular expression as domain";
        return std::nullopt;
    }
    if (domain.size() >= 2 && domain.substr(domain.size() - 2) == ".*") {
        reason = "domain with any top-level domain (example.*)";
        return std::nullopt;
    }
    for (char c : domain) {
        if (!IsAsciiPrintable(c)) {
            reason = "non-ASCII domain";
            return std::nullopt;
        }
        if (!IsAlnum(c) && c != '.' && c != '-' && c != '_') {
            reason = "malformed domain";
            return std::nullopt;
        }
    }
    if (domain.front() == '.' || domain.back() == '.') {
        reason = "malformed domain";
        return std::nullopt;
    }
    return "*" + LowerAscii(domain);
}

// Parses "a.com|~b.com" (sep '|') or "a.com,~b.com" (sep ','). False with a
// reason when a domain cannot be written or both kinds are mixed (WebKit
// allows one domain condition per rule).
bool ParseDomains(std::string_view list, char sep, std::vector<std::string>& ifDomain,
                  std::vector<std::string>& unlessDomain, std::string& reason)
{
    for (std::string_view item : SplitOn(list, sep)) {
        item = Trim(item);
        bool negated = !item.empty() && item.front() == '~';
        if (negated)
            item.remove_prefix(1);
        auto domain = WebKitDomain(item, reason);
        if (!domain)
            return false;
        (negated ? unlessDomain : ifDomain).push_back(*domain);
    }
    if (!ifDomain.empty() && !unlessDomain.empty()) {
        reason = "both included and excluded domains";
        return false;
    }
    return true;
}

bool IsHostChar(char c)
{
    return IsAlnum(c) || c == '.' || c == '-' || c == '_';
}

// The url-filter of an Adblock address pattern (no options, not a
// /regular expression/), or the reason it has none.
std::optional<std::string> PatternToUrlFilter(std::string_view pattern, std::string& reason)
{
    std::string out;
    bool hostAnchor = false;
    bool startAnchor = false;
    if (pattern.substr(0, 2) == "||") {
        out = HostStart;
        hostAnchor = startAnchor = true;
        pattern.remove_prefix(2);
    } else if (!pattern.empty() && pattern.front() == '|') {
        out = "^";
        startAnchor = true;
        pattern.remove_prefix(1);
    }
    bool endAnchor = false;
    if (!pattern.empty() && pattern.back() == '|') {
        endAnchor = true;
        pattern.remove_suffix(1);
    }
    // WebKit looks for the expression anywhere in the address: a "*" at
    // either open end adds nothing.
    if (!startAnchor)
        while (!pattern.empty() && pattern.front() == '*')
            pattern.remove_prefix(1);
    if (!endAnchor)
        while (!pattern.empty() && pattern.back() == '*')
            pattern.remove_suffix(1);

    bool inHost = hostAnchor;
    bool ended = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (!IsAsciiPrintable(c)) {
            reason = "non-ASCII address";
            return std::nullopt;
        }
        if (c == '*') {
            inHost = false;
            if (out.size() < 2 || out.substr(out.size() - 2) != ".*")
                out += ".*";
        } else if (c == '^') {
            bool last = i + 1 == pattern.size();
            if (last && endAnchor) {
                out += Separator;
                out += "?$";
                ended = true;
            } else if (last && !inHost) {
                out += "(";
                out += Separator;
                out += ".*)?$";
                ended = true;
            } else {
                // Inside the address, or right after a "||" host: a host
                // is always followed by "/" or ":" in an address.
                out += Separator;
            }
            inHost = false;
        } else {
            if (inHost && !IsHostChar(c))
                inHost = false;
            if (std::string_view(".+?$()[]{}\\|").find(c) != std::string_view::npos)
                out += '\\';
            out += inHost ? Lower(c) : c;
        }
    }
    if (endAnchor && !ended)
        out += '$';
    if (out.empty())
        out = ".*";
    if (!IsWebKitUrlFilter(out)) {
        reason = "address pattern WebKit cannot read";
        return std::nullopt;
    }
    return out;
}

bool IsWholeHostPattern(std::string_view pattern)
{
    if (pattern.substr(0, 2) != "||" || pattern.size() < 4 || pattern.back() != '^')
        return false;
    std::string_view host = pattern.substr(2, pattern.size() - 3);
    return std::all_of(host.begin(), host.end(), IsHostChar);
}

enum TypeBit : unsigned
{
    TScript = 1u << 0,
    TImage = 1u << 1,
    TStylesheet = 1u << 2,
    TFont = 1u << 3,
    TMedia = 1u << 4,
    TXhr = 1u << 5,
    TPing = 1u << 6,
    TWebsocket = 1u << 7,
    TOther = 1u << 8,
    TSubdocument = 1u << 9,
    TPopup = 1u << 10,
    TDocument = 1u << 11,
};
constexpr unsigned SubresourceTypes =
    TScript | TImage | TStylesheet | TFont | TMedia | TXhr | TPing | TWebsocket | TOther;
constexpr unsigned DefaultTypes = SubresourceTypes | TSubdocument;

struct TypeName
{
    std::string_view name;
    unsigned bit;
};
constexpr TypeName TypeNames[] = {
    {"script", TScript},
    {"image", TImage},
    {"stylesheet", TStylesheet},
    {"css", TStylesheet},
    {"font", TFont},
    {"media", TMedia},
    {"xmlhttprequest", TXhr},
    {"xhr", TXhr},
    {"ping", TPing},
    {"beacon", TPing},
    {"websocket", TWebsocket},
    {"other", TOther},
    {"subdocument", TSubdocument},
    {"frame", TSubdocument},
    {"popup", TPopup},
    {"document", TDocument},
    {"doc", TDocument},
};

struct WebKitType
{
    unsigned bit;
    const char* name;
};
constexpr WebKitType WebKitTypes[] = {
    {TScript, "script"}, {TImage, "image"},         {TStylesheet, "style-sheet"},
    {TFont, "font"},     {TMedia, "media"},         {TXhr, "fetch"},
    {TPing, "ping"},     {TWebsocket, "websocket"}, {TOther, "other"},
    {TPopup, "popup"},   {TDocument, "document"},
};

std::vector<std::string> WebKitTypeNames(unsigned types)
{
    std::vector<std::string> names;
    for (const auto& t : WebKitTypes)
        if (types & t.bit)
            names.emplace_back(t.name);
    return names;
}

} // namespace

std::string RuleToJson(const Rule& rule)
{
    std::string out = "{\"trigger\":{\"url-filter\":";
    AppendJsonString(out, rule.urlFilter);
    if (rule.caseSensitive)
        out += ",\"url-filter-is-case-sensitive\":true";
    AppendJsonArray(out, "if-domain", rule.ifDomain);
    AppendJsonArray(out, "unless-domain", rule.unlessDomain);
    AppendJsonArray(out, "if-top-url", rule.ifTopUrl);
    AppendJsonArray(out, "resource-type", rule.resourceTypes);
    if (!rule.loadType.empty())
        AppendJsonArray(out, "load-type", {rule.loadType});
    AppendJsonArray(out, "load-context", rule.loadContext);
    out += "},\"action\":{\"type\":";
    switch (rule.action) {
    case Rule::Action::Block:
        out += "\"block\"";
        break;
    case Rule::Action::IgnorePreviousRules:
        out += "\"ignore-previous-rules\"";
        break;
    case Rule::Action::CssDisplayNone:
        out += "\"css-display-none\",\"selector\":";
        AppendJsonString(out, rule.selector);
        break;
    }
    out += "}}";
    return out;
}

bool IsWebKitUrlFilter(std::string_view p)
{
    if (p.empty())
        return false;
    int depth = 0;
    bool atomBefore = false; // a quantifier may follow
    for (std::size_t i = 0; i < p.size(); ++i) {
        char c = p[i];
        if (!IsAsciiPrintable(c))
            return false;
        switch (c) {
        case '^':
            if (i != 0)
                return false;
            atomBefore = false;
            break;
        case '$':
            if (i + 1 != p.size() || depth != 0)
                return false;
            atomBefore = false;
            break;
        case '|':
        case '{':
        case '}':
        case ']':
            return false;
        case '*':
        case '+':
        case '?':
            if (!atomBefore)
                return false;
            atomBefore = false;
            break;
        case '(':
            if (i + 1 < p.size() && (p[i + 1] == '?' || p[i + 1] == ')'))
                return false;
            ++depth;
            atomBefore = false;
            break;
        case ')':
            if (depth == 0)
                return false;
            --depth;
            atomBefore = true;
            break;
        case '\\':
            if (i + 1 >= p.size() || !IsAsciiPrintable(p[i + 1]) || IsAlnum(p[i + 1]))
                return false;
            ++i;
            atomBefore = true;
            break;
        case '[': {
            std::size_t j = i + 1;
            if (j < p.size() && p[j] == '^')
                ++j;
            int members = 0;
            int previous = -1; // the last single character, for a range
            while (j < p.size() && p[j] != ']') {
                char m = p[j];
                if (!IsAsciiPrintable(m) || m == '[')
                    return false;
                if (m == '\\') {
                    if (j + 1 >= p.size() || !IsAsciiPrintable(p[j + 1]) || IsAlnum(p[j + 1]))
                        return false;
                    m = p[++j];
                } else if (m == '-' && previous >= 0 && j + 1 < p.size() && p[j + 1] != ']') {
                    char high = p[j + 1];
                    if (high == '\\' || high == '[' || !IsAsciiPrintable(high) ||
                        static_cast<unsigned char>(high) < static_cast<unsigned char>(previous))
                        return false;
                    j += 2;
                    previous = -1;
                    ++members;
                    continue;
                }
                previous = static_cast<unsigned char>(m);
                ++members;
                ++j;
            }
            if (j >= p.size() || members == 0)
                return false;
            i = j;
            atomBefore = true;
            break;
        }
        default:
            atomBefore = true;
        }
    }
    return depth == 0;
}

void Converter::Skip(const std::string& reason)
{
    ++m_result.summary.filtersSkipped;
    ++m_result.summary.skipped[reason];
}

void Converter::AddList(std::string_view text)
{
    for (std::string_view line : SplitOn(text, '\n'))
        AddLine(line);
}

void Converter::AddLine(std::string_view line)
{
    ++m_result.summary.linesRead;
    line = Trim(line);
    if (line.empty())
        return;
    // Lines for some platforms only: not ours.
    if (line.substr(0, 4) == "!#if") {
        ++m_conditionalDepth;
        return;
    }
    if (line.substr(0, 7) == "!#endif") {
        if (m_conditionalDepth > 0)
            --m_conditionalDepth;
        return;
    }
    if (line.front() == '!' || line.front() == '[')
        return;
    ++m_result.summary.filtersRead;
    if (m_conditionalDepth > 0)
        return Skip("inside !#if (for some platforms only)");

    // Cosmetic filters: domains, a separator, a selector.
    struct Marker
    {
        std::string_view text;
        const char* reason; // nullptr: element hiding
        bool exception;
    };
    static constexpr Marker markers[] = {
        {"#@?#", "extended selector (#?#)", true},
        {"#?#", "extended selector (#?#)", false},
        {"#@$#", "style injection (#$#)", true},
        {"#$#", "style injection (#$#)", false},
        {"#@%#", "script injection (#%#)", true},
        {"#%#", "script injection (#%#)", false},
        {"$@$", "HTML filter ($$)", true},
        {"$$", "HTML filter ($$)", false},
        {"#@#", nullptr, true},
        {"##", nullptr, false},
    };
    const Marker* found = nullptr;
    std::size_t foundAt = std::string_view::npos;
    for (const auto& marker : markers) {
        std::size_t at = line.find(marker.text);
        if (at < foundAt) {
            found = &marker;
            foundAt = at;
        }
    }
    if (!found)
        return AddNetworkLine(line);
    if (found->reason)
        return Skip(found->reason);
    AddHidingFilter(line.substr(0, foundAt), line.substr(foundAt + found->text.size()),
                    found->exception);
}

bool IsValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80         ? 1
                             : (c >> 5) == 6  ? 2
                             : (c >> 4) == 14 ? 3
                             : (c >> 3) == 30 ? 4
                                              : 0;
        if (!length || (length == 2 && c < 0xc2) || i + length > text.size())
            return false;
        unsigned code = length == 1 ? c : c & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3f);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xd800 && code <= 0xdfff))) ||
            (length == 4 && (code < 0x10000 || code > 0x10ffff)))
            return false;
        i += length;
    }
    return true;
}

namespace {

// Selectors WebKit reads as plain CSS: balanced brackets and quotes, and
// only the standard pseudo-classes (procedural ones of other blockers,
// :has-text(), :-abp-has(), :xpath() ..., are not CSS).
bool IsPlainSelector(std::string_view selector, std::string& reason)
{
    static const std::set<std::string, std::less<>> pseudo = {
        "not",
        "is",
        "where",
        "has",
        "nth-child",
        "nth-of-type",
        "nth-last-child",
        "nth-last-of-type",
        "first-child",
        "last-child",
        "only-child",
        "first-of-type",
        "last-of-type",
        "only-of-type",
        "empty",
        "root",
        "link",
        "visited",
        "hover",
        "active",
        "focus",
        "checked",
        "disabled",
        "enabled",
        "lang",
        "before",
        "after",
        "first-line",
        "first-letter",
        "placeholder",
        "focus-within",
        "target",
        "any-link",
        "defined",
        "scope",
        "read-only",
        "read-write",
        "required",
        "optional",
        "invalid",
        "valid",
        "focus-visible",
    };
    if (selector.empty()) {
        reason = "empty selector";
        return false;
    }
    if (!IsValidUtf8(selector)) {
        reason = "selector not in UTF-8";
        return false;
    }
    if (selector.front() == '^') {
        reason = "HTML filter (##^)";
        return false;
    }
    if (selector.front() == '+') {
        reason = "scriptlet (##+js)";
        return false;
    }
    std::vector<char> open;
    char quote = 0;
    for (std::size_t i = 0; i < selector.size(); ++i) {
        char c = selector[i];
        if (quote) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
            continue;
        }
        switch (c) {
        case '"':
        case '\'':
            quote = c;
            break;
        case '\\':
            ++i;
            break;
        case '(':
        case '[':
            open.push_back(c);
            break;
        case ')':
        case ']':
            if (open.empty() || open.back() != (c == ')' ? '(' : '[')) {
                reason = "malformed selector";
                return false;
            }
            open.pop_back();
            break;
        case '{':
            reason = "style injection (selector { style })";
            return false;
        case '}':
        case ';':
            reason = "malformed selector";
            return false;
        case ':': {
            if (!open.empty() && open.back() == '[')
                break;
            std::size_t start = i + 1;
            if (start < selector.size() && selector[start] == ':')
                ++start;
            std::size_t end = start;
            while (end < selector.size() && (IsAlnum(selector[end]) || selector[end] == '-'))
                ++end;
            std::string name = LowerAscii(selector.substr(start, end - start));
            if (!pseudo.contains(name)) {
                reason = name.empty() || name[0] == '-' || name == "has-text" || name == "xpath" ||
                                 name == "upward" || name == "remove" || name == "style" ||
                                 name == "matches-css" || name == "matches-path" ||
                                 name == "min-text-length" || name == "matches-attr" ||
                                 name == "watch-attr" || name == "others" || name == "contains"
                             ? "procedural selector (:" + (name.empty() ? "?" : name) + ")"
                             : "unknown pseudo-class (:" + name + ")";
                if (name.size() > 0 && name[0] == '-')
                    reason = "procedural selector (:-abp-...)";
                return false;
            }
            i = end - 1;
            break;
        }
        default:
            break;
        }
    }
    if (quote || !open.empty()) {
        reason = "malformed selector";
        return false;
    }
    return true;
}

} // namespace

void Converter::AddHidingFilter(std::string_view domains, std::string_view selector, bool exception)
{
    selector = Trim(selector);
    std::string reason;
    if (!IsPlainSelector(selector, reason))
        return Skip(reason);
    std::vector<std::string> ifDomain, unlessDomain;
    if (!ParseDomains(domains, ',', ifDomain, unlessDomain, reason) && !domains.empty())
        return Skip(reason);
    std::string key(selector);
    auto [it, added] = m_hiding.try_emplace(key);
    if (added)
        m_hidingOrder.push_back(key);
    Hiding& hiding = it->second;
    if (exception) {
        if (!unlessDomain.empty())
            return Skip("element hiding exception with excluded domains");
        if (domains.empty())
            hiding.exceptedEverywhere = true;
        for (auto& d : ifDomain)
            hiding.exceptedDomains.push_back(d);
        return;
    }
    if (domains.empty())
        hiding.everywhere = true;
    else if (ifDomain.empty())
        hiding.unlessSets.push_back(unlessDomain);
    for (auto& d : ifDomain)
        hiding.domains.push_back(d);
}

namespace {

// A network filter's address pattern and options (after the last "$"; none
// for a whole /regular expression/).
std::pair<std::string_view, std::string_view> SplitOptions(std::string_view filter)
{
    std::string_view body = filter.substr(0, 2) == "@@" ? filter.substr(2) : filter;
    bool wholeRegex = body.size() >= 2 && body.front() == '/' && body.back() == '/';
    std::size_t dollar = filter.rfind('$');
    if (wholeRegex || dollar == std::string_view::npos || dollar < filter.size() - body.size())
        return {filter, {}};
    return {filter.substr(0, dollar), filter.substr(dollar + 1)};
}

} // namespace

void Converter::AddNetworkLine(std::string_view filter)
{
    auto [pattern, options] = SplitOptions(filter);
    std::string kept;
    bool bad = false;
    for (std::string_view option : SplitOn(options, ',')) {
        if (LowerAscii(Trim(option)) == "badfilter") {
            bad = true;
        } else {
            kept += kept.empty() ? "" : ",";
            kept += option;
        }
    }
    if (!bad) {
        m_networkFilters.emplace_back(filter);
        return;
    }
    std::string named(pattern);
    if (!kept.empty())
        named += "$" + kept;
    m_badFilters.insert(named);
    Skip("$badfilter (cancels the filter it names)");
}

void Converter::AddNetworkFilter(std::string_view filter)
{
    bool exception = filter.substr(0, 2) == "@@";
    if (exception)
        filter.remove_prefix(2);
    auto [pattern, options] = SplitOptions(filter);

    Rule rule;
    rule.action = exception ? Rule::Action::IgnorePreviousRules : Rule::Action::Block;
    unsigned positive = 0, negative = 0;
    bool important = false;
    std::string reason;
    if (!options.empty() || filter.size() != pattern.size()) {
        for (std::string_view option : SplitOn(options, ',')) {
            option = Trim(option);
            bool negated = !option.empty() && option.front() == '~';
            if (negated)
                option.remove_prefix(1);
            std::string_view value;
            std::size_t eq = option.find('=');
            if (eq != std::string_view::npos) {
                value = option.substr(eq + 1);
                option = option.substr(0, eq);
            }
            std::string name = LowerAscii(option);
            const TypeName* type = nullptr;
            for (const auto& t : TypeNames)
                if (t.name == name)
                    type = &t;
            if (type && eq == std::string_view::npos) {
                (negated ? negative : positive) |= type->bit;
            } else if (name == "third-party" || name == "3p") {
                rule.loadType = negated ? "first-party" : "third-party";
            } else if (name == "first-party" || name == "1p") {
                rule.loadType = negated ? "third-party" : "first-party";
            } else if ((name == "domain" || name == "from") && !negated) {
                if (!ParseDomains(value, '|', rule.ifDomain, rule.unlessDomain, reason))
                    return Skip(reason);
            } else if (name == "match-case" && !negated) {
                rule.caseSensitive = true;
            } else if (name == "important" && !negated && !exception) {
                important = true;
            } else if (name == "all" && !negated) {
                positive |= DefaultTypes | TPopup | TDocument;
            } else if (!name.empty() && name.find_first_not_of('_') == std::string::npos) {
                // uBlock's no-op option
            } else {
                if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) {
                        return IsAlnum(c) || c == '-' || c == '_';
                    }))
                    return Skip("malformed options");
                return Skip("option $" + name);
            }
        }
    }

    bool isRegex = pattern.size() >= 2 && pattern.front() == '/' && pattern.back() == '/';
    if (isRegex) {
        std::string_view body = pattern.substr(1, pattern.size() - 2);
        if (!IsWebKitUrlFilter(body))
            return Skip("regular expression WebKit cannot read");
        rule.urlFilter = body;
    } else {
        auto urlFilter = PatternToUrlFilter(pattern, reason);
        if (!urlFilter)
            return Skip(reason);
        rule.urlFilter = *urlFilter;
    }

    unsigned types = (positive ? positive : DefaultTypes) & ~negative;
    if (!types)
        return Skip("no type left");

    std::vector<Rule> out;
    if (exception && (types & TDocument)) {
        // Nothing blocked or hidden on such a page: every load of it.
        if (!rule.ifDomain.empty() || !rule.unlessDomain.empty())
            return Skip("$document exception with domains");
        Rule page = rule;
        page.ifTopUrl = {rule.urlFilter};
        page.urlFilter = ".*";
        page.resourceTypes.clear();
        out.push_back(page);
        types &= ~(TDocument | TSubdocument);
        if (types & SubresourceTypes)
            types &= SubresourceTypes;
        else
            types = 0;
    }
    if (types) {
        if (!exception && !positive && !negative && !isRegex && IsWholeHostPattern(pattern)) {
            out.push_back(rule); // every type, the host's pages too
        } else {
            unsigned main = types & ~TSubdocument;
            if ((types & TDocument) && (types & TSubdocument))
                main |= TDocument;
            if (main) {
                Rule r = rule;
                r.resourceTypes = WebKitTypeNames(main);
                out.push_back(r);
            }
            if ((types & TSubdocument) && !(types & TDocument)) {
                Rule frame = rule;
                frame.resourceTypes = {"document"};
                frame.loadContext = {"child-frame"};
                out.push_back(frame);
            }
        }
    }
    auto& target =
        exception ? m_result.exceptions : (important ? m_result.important : m_result.blocking);
    for (auto& r : out)
        target.push_back(std::move(r));
}

Conversion Converter::Finish()
{
    for (const std::string& filter : m_networkFilters) {
        if (m_badFilters.contains(filter))
            Skip("cancelled by $badfilter");
        else
            AddNetworkFilter(filter);
    }
    m_networkFilters.clear();
    m_badFilters.clear();

    // Generic selectors without exceptions, GroupSize to a rule; those with
    // exceptions on some domains, each in a rule of its own; selectors for
    // domains, grouped by the same domains.
    std::vector<std::string> generic;
    std::map<std::vector<std::string>, std::vector<std::string>> byDomains;
    std::vector<std::vector<std::string>> domainOrder;
    auto addHiding = [&](std::vector<std::string> ifDomain, std::vector<std::string> unless,
                         const std::string& selector) {
        Rule rule;
        rule.action = Rule::Action::CssDisplayNone;
        rule.selector = selector;
        rule.ifDomain = std::move(ifDomain);
        rule.unlessDomain = std::move(unless);
        m_result.blocking.push_back(std::move(rule));
    };
    for (const std::string& selector : m_hidingOrder) {
        Hiding& h = m_hiding[selector];
        auto excepted = [&](const std::string& d) {
            return std::find(h.exceptedDomains.begin(), h.exceptedDomains.end(), d) !=
                   h.exceptedDomains.end();
        };
        if (h.exceptedEverywhere)
            continue;
        auto withExceptions = [&](std::vector<std::string> unless) {
            for (auto& d : h.exceptedDomains)
                if (std::find(unless.begin(), unless.end(), d) == unless.end())
                    unless.push_back(d);
            return unless;
        };
        if (h.everywhere) {
            if (h.exceptedDomains.empty())
                generic.push_back(selector);
            else
                addHiding({}, withExceptions({}), selector);
        } else {
            for (auto& unless : h.unlessSets)
                addHiding({}, withExceptions(unless), selector);
        }
        std::vector<std::string> domains;
        for (auto& d : h.domains)
            if (!excepted(d) && std::find(domains.begin(), domains.end(), d) == domains.end())
                domains.push_back(d);
        // An exception for a domain under one of the selector's domains
        // would need if-domain and unless-domain together.
        for (auto& e : h.exceptedDomains)
            if (std::any_of(domains.begin(), domains.end(), [&](const std::string& d) {
                    return e.size() > d.size() && e.ends_with(d.substr(1)) &&
                           e[e.size() - d.size()] == '.';
                }))
                Skip("element hiding exception for a domain under a hiding domain");
        if (domains.empty())
            continue;
        std::sort(domains.begin(), domains.end());
        auto [it, added] = byDomains.try_emplace(domains);
        if (added)
            domainOrder.push_back(domains);
        it->second.push_back(selector);
    }
    for (std::size_t i = 0; i < generic.size(); i += GroupSize) {
        std::string joined;
        for (std::size_t j = i; j < std::min(generic.size(), i + GroupSize); ++j) {
            if (j > i)
                joined += ", ";
            joined += generic[j];
        }
        addHiding({}, {}, joined);
    }
    for (const auto& domains : domainOrder) {
        const auto& selectors = byDomains[domains];
        for (std::size_t i = 0; i < selectors.size(); i += GroupSize) {
            std::string joined;
            for (std::size_t j = i; j < std::min(selectors.size(), i + GroupSize); ++j) {
                if (j > i)
                    joined += ", ";
                joined += selectors[j];
            }
            addHiding(domains, {}, joined);
        }
    }
    m_hiding.clear();
    m_hidingOrder.clear();
    Conversion result = std::move(m_result);
    m_result = {};
    return result;
}

std::vector<std::string> SplitIntoParts(const Conversion& conversion, std::size_t maxRules)
{
    std::size_t fixed = conversion.exceptions.size() + conversion.important.size();
    if (fixed >= maxRules)
        return {};
    std::size_t room = maxRules - fixed;
    std::vector<std::string> parts;
    std::size_t next = 0;
    do {
        std::size_t end = std::min(conversion.blocking.size(), next + room);
        std::string json = "[\n";
        bool first = true;
        auto add = [&](const Rule& rule) {
            if (!first)
                json += ",\n";
            first = false;
            json += RuleToJson(rule);
        };
        for (std::size_t i = next; i < end; ++i)
            add(conversion.blocking[i]);
        for (const auto& rule : conversion.exceptions)
            add(rule);
        for (const auto& rule : conversion.important)
            add(rule);
        json += "\n]\n";
        parts.push_back(std::move(json));
        next = end;
    } while (next < conversion.blocking.size());
    return parts;
}

Rule ExemptPagesOf(std::string_view scheme)
{
    Rule rule;
    rule.action = Rule::Action::IgnorePreviousRules;
    rule.urlFilter = "^" + std::string(scheme) + ":";
    return rule;
}

std::string AppendRules(std::string_view json, const std::vector<Rule>& rules)
{
    std::size_t end = json.find_last_not_of(" \t\r\n");
    if (end == std::string_view::npos || json[end] != ']')
        return std::string(json);
    std::string out(json.substr(0, end));
    const std::size_t last = out.find_last_not_of(" \t\r\n");
    bool first = last == std::string::npos || out[last] == '[';
    out.erase(last == std::string::npos ? 0 : last + 1);
    for (const Rule& rule : rules) {
        out += first ? "\n" : ",\n";
        first = false;
        out += RuleToJson(rule);
    }
    out += "\n]\n";
    return out;
}

} // namespace lumo::content_filter
