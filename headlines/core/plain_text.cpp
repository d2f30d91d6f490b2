#include "headlines/core/plain_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace headlines {

namespace {

using NamedReference = std::pair<std::string_view, char32_t>;

// The named references feeds use: HTML 4's Latin-1 letters and symbols, its
// punctuation and a few arrows and signs. Sorted for a binary search.
constexpr std::array kNamedReferences = std::to_array<NamedReference>({
    {"AElig", 0xC6},    {"Aacute", 0xC1},   {"Acirc", 0xC2},    {"Agrave", 0xC0},
    {"Aring", 0xC5},    {"Atilde", 0xC3},   {"Auml", 0xC4},     {"Ccedil", 0xC7},
    {"Dagger", 0x2021}, {"ETH", 0xD0},      {"Eacute", 0xC9},   {"Ecirc", 0xCA},
    {"Egrave", 0xC8},   {"Euml", 0xCB},     {"Iacute", 0xCD},   {"Icirc", 0xCE},
    {"Igrave", 0xCC},   {"Iuml", 0xCF},     {"Ntilde", 0xD1},   {"OElig", 0x152},
    {"Oacute", 0xD3},   {"Ocirc", 0xD4},    {"Ograve", 0xD2},   {"Oslash", 0xD8},
    {"Otilde", 0xD5},   {"Ouml", 0xD6},     {"Prime", 0x2033},  {"Scaron", 0x160},
    {"THORN", 0xDE},    {"Uacute", 0xDA},   {"Ucirc", 0xDB},    {"Ugrave", 0xD9},
    {"Uuml", 0xDC},     {"Yacute", 0xDD},   {"Yuml", 0x178},    {"aacute", 0xE1},
    {"acirc", 0xE2},    {"acute", 0xB4},    {"aelig", 0xE6},    {"agrave", 0xE0},
    {"amp", 0x26},      {"apos", 0x27},     {"aring", 0xE5},    {"asymp", 0x2248},
    {"atilde", 0xE3},   {"auml", 0xE4},     {"bdquo", 0x201E},  {"brvbar", 0xA6},
    {"bull", 0x2022},   {"ccedil", 0xE7},   {"cedil", 0xB8},    {"cent", 0xA2},
    {"circ", 0x2C6},    {"copy", 0xA9},     {"curren", 0xA4},   {"dagger", 0x2020},
    {"darr", 0x2193},   {"deg", 0xB0},      {"divide", 0xF7},   {"eacute", 0xE9},
    {"ecirc", 0xEA},    {"egrave", 0xE8},   {"emsp", 0x2003},   {"ensp", 0x2002},
    {"eth", 0xF0},      {"euml", 0xEB},     {"euro", 0x20AC},   {"fnof", 0x192},
    {"frac12", 0xBD},   {"frac14", 0xBC},   {"frac34", 0xBE},   {"ge", 0x2265},
    {"gt", 0x3E},       {"harr", 0x2194},   {"hellip", 0x2026}, {"iacute", 0xED},
    {"icirc", 0xEE},    {"iexcl", 0xA1},    {"igrave", 0xEC},   {"infin", 0x221E},
    {"iquest", 0xBF},   {"iuml", 0xEF},     {"laquo", 0xAB},    {"larr", 0x2190},
    {"ldquo", 0x201C},  {"le", 0x2264},     {"lrm", 0x200E},    {"lsaquo", 0x2039},
    {"lsquo", 0x2018},  {"lt", 0x3C},       {"macr", 0xAF},     {"mdash", 0x2014},
    {"micro", 0xB5},    {"middot", 0xB7},   {"minus", 0x2212},  {"nbsp", 0xA0},
    {"ndash", 0x2013},  {"ne", 0x2260},     {"not", 0xAC},      {"ntilde", 0xF1},
    {"oacute", 0xF3},   {"ocirc", 0xF4},    {"oelig", 0x153},   {"ograve", 0xF2},
    {"oline", 0x203E},  {"ordf", 0xAA},     {"ordm", 0xBA},     {"oslash", 0xF8},
    {"otilde", 0xF5},   {"ouml", 0xF6},     {"para", 0xB6},     {"permil", 0x2030},
    {"plusmn", 0xB1},   {"pound", 0xA3},    {"prime", 0x2032},  {"quot", 0x22},
    {"raquo", 0xBB},    {"rarr", 0x2192},   {"rdquo", 0x201D},  {"reg", 0xAE},
    {"rlm", 0x200F},    {"rsaquo", 0x203A}, {"rsquo", 0x2019},  {"sbquo", 0x201A},
    {"scaron", 0x161},  {"sect", 0xA7},     {"shy", 0xAD},      {"sup1", 0xB9},
    {"sup2", 0xB2},     {"sup3", 0xB3},     {"szlig", 0xDF},    {"thinsp", 0x2009},
    {"thorn", 0xFE},    {"tilde", 0x2DC},   {"times", 0xD7},    {"trade", 0x2122},
    {"uacute", 0xFA},   {"uarr", 0x2191},   {"ucirc", 0xFB},    {"ugrave", 0xF9},
    {"uml", 0xA8},      {"uuml", 0xFC},     {"yacute", 0xFD},   {"yen", 0xA5},
    {"yuml", 0xFF},     {"zwj", 0x200D},    {"zwnj", 0x200C},
});

// What HTML makes of the references &#128; to &#159;, which many feeds
// write meaning windows-1252 (&#146; for a right quotation mark); 0 drops.
constexpr std::array<char32_t, 32> kWindows1252Controls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

constexpr std::array<std::string_view, 33> kInlineElements = {
    "a",     "abbr", "b",      "bdi",    "bdo", "big", "cite",  "code", "data", "del", "dfn",
    "em",    "font", "i",      "img",    "ins", "kbd", "label", "mark", "q",    "s",   "samp",
    "small", "span", "strike", "strong", "sub", "sup", "time",  "tt",   "u",    "var", "wbr",
};

constexpr std::string_view kBlanks = " \t\n\v\f\r";

bool IsAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiAlnum(char c)
{
    return IsAsciiAlpha(c) || (c >= '0' && c <= '9');
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// A referenced character as it is shown: 0 when it is dropped.
char32_t Shown(char32_t cp)
{
    if (cp >= 0x80 && cp <= 0x9F)
        return kWindows1252Controls[cp - 0x80];
    if (cp == '\t' || cp == '\n' || cp == '\r' || cp == 0xA0)
        return ' ';
    if (cp < 0x20 || cp == 0x7F || cp == 0xAD)
        return 0;
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0xFFFD;
    return cp;
}

// The character of a numeric reference's digits ("#233", "#xE9"), or
// nullopt-like 0xFFFFFFFF when they are not one.
constexpr char32_t kNoCharacter = 0xFFFFFFFF;
char32_t NumericReference(std::string_view digits)
{
    const bool hex = digits.size() > 1 && LowerAscii(digits[1]) == 'x';
    digits.remove_prefix(hex ? 2 : 1);
    if (digits.empty())
        return kNoCharacter;
    std::uint32_t value = 0;
    for (const char c : digits) {
        const char lower = LowerAscii(c);
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && lower >= 'a' && lower <= 'f')
            digit = lower - 'a' + 10;
        else
            return kNoCharacter;
        value = std::min<std::uint32_t>(value * (hex ? 16 : 10) + digit, 0x110000);
    }
    return value;
}

char32_t NamedReferenceValue(std::string_view name)
{
    const auto* found = std::lower_bound(
        kNamedReferences.begin(), kNamedReferences.end(), name,
        [](const NamedReference& entry, std::string_view key) { return entry.first < key; });
    if (found == kNamedReferences.end() || found->first != name)
        return kNoCharacter;
    return found->second;
}

// The reference at `text` ("&...;"): its character and length, or length 0.
std::pair<char32_t, std::size_t> ReferenceAt(std::string_view text)
{
    constexpr std::size_t kLongestReference = 12;
    const std::size_t end = text.substr(0, kLongestReference).find(';');
    if (end == std::string_view::npos || end < 2)
        return {0, 0};
    const std::string_view body = text.substr(1, end - 1);
    const char32_t cp = body[0] == '#' ? NumericReference(body) : NamedReferenceValue(body);
    if (cp == kNoCharacter)
        return {0, 0};
    return {cp, end + 1};
}

// Where the tag starting at `start` ('<') ends, just past its '>'; quoted
// attribute values may hold '>'. The end of the text when it never closes.
std::size_t TagEnd(std::string_view html, std::size_t start)
{
    std::size_t i = start + 1;
    while (i < html.size() && html[i] != '>') {
        if (html[i] == '=') {
            i = html.find_first_not_of(kBlanks, i + 1);
            if (i == std::string_view::npos)
                return html.size();
            if (html[i] == '"' || html[i] == '\'') {
                i = html.find(html[i], i + 1);
                if (i == std::string_view::npos)
                    return html.size();
            }
        }
        ++i;
    }
    return std::min(i + 1, html.size());
}

std::string LowerTagName(std::string_view html, std::size_t nameStart)
{
    std::string name;
    for (std::size_t i = nameStart; i < html.size() && IsAsciiAlnum(html[i]); ++i)
        name += LowerAscii(html[i]);
    return name;
}

// Past the end tag of a script or style element whose start tag ends at
// `from`: their content is code, never text.
std::size_t SkipRawText(std::string_view html, std::size_t from, std::string_view name)
{
    for (std::size_t i = html.find("</", from); i != std::string_view::npos;
         i = html.find("</", i + 2)) {
        if (LowerTagName(html, i + 2) == name)
            return TagEnd(html, i);
    }
    return html.size();
}

// Skips the markup at `i` ('<'), leaving a space for one that ends a block.
// Returns where the text goes on.
std::size_t SkipMarkup(std::string_view html, std::size_t i, std::string& out)
{
    if (html.substr(i, 4) == "<!--") {
        const std::size_t end = html.find("-->", i + 4);
        return end == std::string_view::npos ? html.size() : end + 3;
    }
    const bool closing = html[i + 1] == '/';
    const std::string name = LowerTagName(html, i + (closing ? 2 : 1));
    const std::size_t end = TagEnd(html, i);
    if (!IsInlineHtmlElement(name))
        out += ' ';
    if (!closing && (name == "script" || name == "style"))
        return SkipRawText(html, end, name);
    return end;
}

bool StartsMarkup(std::string_view html, std::size_t i)
{
    if (i + 1 >= html.size())
        return false;
    const char next = html[i + 1];
    return IsAsciiAlpha(next) || next == '!' || next == '?' ||
           (next == '/' && i + 2 < html.size() && IsAsciiAlpha(html[i + 2]));
}

bool IsUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::size_t Utf8SequenceLength(std::string_view text)
{
    if (text.empty())
        return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80)
        return 1;
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || length > text.size())
        return 0;
    // The second byte's range rules out overlong forms, surrogates and
    // characters beyond U+10FFFF.
    const auto second = static_cast<unsigned char>(text[1]);
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (!IsUtf8Continuation(text[k]))
            return 0;
    return length;
}

std::string ReplaceInvalidUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0)
            out += "\uFFFD";
        else
            out.append(text, i, length);
        i += std::max<std::size_t>(length, 1);
    }
    return out;
}

bool IsInlineHtmlElement(std::string_view name)
{
    return std::binary_search(kInlineElements.begin(), kInlineElements.end(), name);
}

std::string DecodeCharacterReferences(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t amp = std::min(text.find('&', i), text.size());
        out.append(text, i, amp - i);
        if (amp == text.size())
            break;
        const auto [cp, length] = ReferenceAt(text.substr(amp));
        if (length == 0) {
            out += '&';
            i = amp + 1;
            continue;
        }
        if (const char32_t shown = Shown(cp))
            AppendUtf8(out, shown);
        i = amp + length;
    }
    return out;
}

std::string HtmlToPlainText(std::string_view html)
{
    std::string text;
    text.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        const std::size_t lt = std::min(html.find('<', i), html.size());
        text.append(html, i, lt - i);
        if (lt == html.size())
            break;
        if (StartsMarkup(html, lt)) {
            i = SkipMarkup(html, lt, text);
        } else {
            text += '<';
            i = lt + 1;
        }
    }
    return CollapseWhitespace(DecodeCharacterReferences(text));
}

std::string CollapseWhitespace(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool noBreakSpace = c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0';
        if (kBlanks.find(c) != std::string_view::npos || noBreakSpace) {
            pendingSpace = !out.empty();
            i += noBreakSpace ? 1 : 0;
            continue;
        }
        if (pendingSpace)
            out += ' ';
        pendingSpace = false;
        out += c;
    }
    return out;
}

std::string ShortenText(std::string_view text, std::size_t limit)
{
    std::size_t characters = 0;
    std::size_t cut = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsUtf8Continuation(text[i]))
            continue;
        if (characters++ == limit) {
            cut = i;
            break;
        }
    }
    if (cut == 0)
        return std::string(text);
    std::string_view kept = text.substr(0, cut);
    // At the last word's end when it is close: "the new tow…" reads worse
    // than "the new…".
    const std::size_t space = kept.rfind(' ');
    if (space != std::string_view::npos && cut - space < limit / 5)
        kept = kept.substr(0, space);
    const std::size_t last = kept.find_last_not_of(" ,;:-");
    kept = kept.substr(0, last == std::string_view::npos ? 0 : last + 1);
    return std::string(kept) + "\u2026";
}

} // namespace headlines
