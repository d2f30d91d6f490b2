#include "browser/core/reader_page.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include "browser/core/web_address.h"
#include "common/address_text.h"

namespace lumo {
namespace {

// Elements kept with their tag.
constexpr std::string_view kKeptElements[] = {
    "a",    "abbr",    "article", "b",     "blockquote", "br",  "caption", "cite",       "code",
    "dd",   "del",     "dfn",     "div",   "dl",         "dt",  "em",      "figcaption", "figure",
    "h1",   "h2",      "h3",      "h4",    "h5",         "h6",  "hr",      "i",          "img",
    "ins",  "kbd",     "li",      "mark",  "ol",         "p",   "pre",     "q",          "s",
    "samp", "section", "small",   "span",  "strong",     "sub", "sup",     "table",      "tbody",
    "td",   "tfoot",   "th",      "thead", "time",       "tr",  "ul"};

// Elements dropped together with everything inside them. Not <embed>: the
// parser knows it as no empty element and puts what follows it inside, so it
// goes the way of every element not listed (its tag goes, its inside stays),
// as do <source>, <track> and <wbr> for the same reason.
constexpr std::string_view kDroppedElements[] = {
    "applet",   "audio",   "base",     "button",   "canvas", "form",   "frame",
    "frameset", "head",    "iframe",   "input",    "link",   "map",    "math",
    "meta",     "noembed", "noframes", "noscript", "object", "script", "select",
    "style",    "svg",     "template", "textarea", "title",  "video"};

constexpr std::string_view kVoidElements[] = {"br", "hr", "img"};

// Deeper than this, the article's nesting is flattened to its text.
constexpr size_t kMaxDepth = 200;

template <size_t N> bool IsIn(const std::string_view (&list)[N], std::string_view name)
{
    return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

void AppendEscaped(std::string& out, std::string_view text)
{
    out += EscapeHtml(text);
}

std::string Escaped(std::string_view text)
{
    return EscapeHtml(text);
}

// The address with blanks and control characters around it taken away, when
// it starts with one of `schemes` (case ignored); else nothing.
std::string AddressWithScheme(std::string_view address,
                              std::initializer_list<std::string_view> schemes)
{
    const auto blank = [](unsigned char c) { return c <= ' '; };
    while (!address.empty() && blank(address.front()))
        address.remove_prefix(1);
    while (!address.empty() && blank(address.back()))
        address.remove_suffix(1);
    // A control character inside could hide a scheme from this check but not
    // from the engine.
    if (std::any_of(address.begin(), address.end(),
                    [](unsigned char c) { return c < ' ' || c == 0x7f; }))
        return {};
    const std::string lower = Lower(address.substr(0, 16));
    for (std::string_view scheme : schemes)
        if (lower.starts_with(scheme))
            return std::string(address);
    return {};
}

std::string_view NameOf(const xmlNode* node)
{
    return node->name ? reinterpret_cast<const char*>(node->name) : "";
}

std::string AttributeOf(xmlNode* node, const char* name)
{
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string out = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return out;
}

bool IsNumber(std::string_view text)
{
    return !text.empty() && text.size() <= 5 &&
           std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

// The attributes an element keeps, written out; false when the element cannot
// stay at all (an image with no source that may show).
bool KeptAttributes(xmlNode* node, std::string_view name, std::string& out)
{
    const auto add = [&out](std::string_view attribute, std::string_view value) {
        out += ' ';
        out += attribute;
        out += "=\"";
        AppendEscaped(out, value);
        out += '"';
    };
    if (name == "a") {
        std::string href = AddressWithScheme(AttributeOf(node, "href"), {"http://", "https://"});
        if (!href.empty())
            add("href", href);
    } else if (name == "img") {
        std::string src =
            AddressWithScheme(AttributeOf(node, "src"), {"http://", "https://", "data:image/"});
        if (src.empty())
            return false;
        add("src", src);
        if (std::string alt = AttributeOf(node, "alt"); !alt.empty())
            add("alt", alt);
        for (const char* size : {"width", "height"})
            if (std::string value = AttributeOf(node, size); IsNumber(value))
                add(size, value);
    } else if (name == "td" || name == "th") {
        for (const char* span : {"colspan", "rowspan"})
            if (std::string value = AttributeOf(node, span); IsNumber(value))
                add(span, value);
    } else if (name == "ol") {
        if (std::string start = AttributeOf(node, "start"); IsNumber(start))
            add("start", start);
    } else if (name == "time") {
        if (std::string when = AttributeOf(node, "datetime"); !when.empty())
            add("datetime", when);
    }
    return true;
}

// Writes `first` and, when `siblings`, the nodes after it, with all they
// hold: in a loop rather than by recursion, however deep the page nested
// its markup.
void AppendNodes(std::string& out, xmlNode* first, bool siblings)
{
    // The elements entered on the way down: the tag to close, or an empty
    // one for an element that keeps only its inside.
    std::vector<std::string> open;
    xmlNode* node = first;
    while (node) {
        bool enter = false;
        std::string tag;
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            if (node->content)
                AppendEscaped(out, reinterpret_cast<const char*>(node->content));
        } else if (node->type == XML_ELEMENT_NODE) {
            // Not comments, processing instructions, entity references.
            const std::string name = Lower(NameOf(node));
            std::string attributes;
            if (IsIn(kDroppedElements, name)) {
                // gone with its content
            } else if (!IsIn(kKeptElements, name) || open.size() > kMaxDepth) {
                enter = true;
            } else if (KeptAttributes(node, name, attributes)) {
                out += '<';
                out += name;
                out += attributes;
                out += '>';
                enter = !IsIn(kVoidElements, name);
                if (enter)
                    tag = name;
            }
        }
        if (enter && node->children) {
            open.push_back(std::move(tag));
            node = node->children;
            continue;
        }
        if (!tag.empty())
            out += "</" + tag + '>';
        // On to the next node, closing the elements left on the way up.
        for (;;) {
            if (open.empty()) {
                if (!siblings || !node->next)
                    return;
                break;
            }
            if (node->next)
                break;
            if (!open.back().empty())
                out += "</" + open.back() + '>';
            open.pop_back();
            node = node->parent;
        }
        node = node->next;
    }
}

struct DocFree
{
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

constexpr std::string_view kMonths[] = {"January",   "February", "March",    "April",
                                        "May",       "June",     "July",     "August",
                                        "September", "October",  "November", "December"};

} // namespace

std::string SanitizeArticleHtml(std::string_view html)
{
    if (html.empty())
        return {};
    // The fragment parsed as the body of a document of its own; nothing is
    // fetched, no error is reported. Without XML_PARSE_HUGE the parser stops
    // at 256 levels of nesting and drops everything after them.
    std::unique_ptr<xmlDoc, DocFree> doc(htmlReadMemory(
        html.data(), static_cast<int>(html.size()), nullptr, "UTF-8",
        HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | XML_PARSE_HUGE));
    if (!doc)
        return {};
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root)
        return {};
    std::string out;
    // The parser puts the fragment into <html><body>; a <head> it made holds
    // only what belongs in none of the article.
    for (xmlNode* part = root->children; part; part = part->next) {
        if (part->type == XML_ELEMENT_NODE && Lower(NameOf(part)) == "body")
            AppendNodes(out, part->children, true);
        else if (part->type != XML_ELEMENT_NODE || Lower(NameOf(part)) != "head")
            AppendNodes(out, part, false);
    }
    return out;
}

std::string ReaderDate(std::string_view published)
{
    const auto digits = [&](size_t at, size_t count) {
        if (published.size() < at + count)
            return -1;
        int value = 0;
        for (size_t i = at; i < at + count; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(published[i])))
                return -1;
            value = value * 10 + (published[i] - '0');
        }
        return value;
    };
    const int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
    if (year > 0 && published[4] == '-' && published[7] == '-' && month >= 1 && month <= 12 &&
        day >= 1 && day <= 31 &&
        (published.size() == 10 || published[10] == 'T' || published[10] == ' '))
        return std::to_string(day) + ' ' + std::string(kMonths[month - 1]) + ' ' +
               std::to_string(year);
    return std::string(published.substr(0, 80));
}

std::string ReaderPageTitle(const ReaderArticle& article)
{
    std::string title = !article.pageTitle.empty() ? article.pageTitle : article.title;
    if (!article.siteName.empty() && title.find(article.siteName) == std::string::npos)
        title += title.empty() ? article.siteName : " - " + article.siteName;
    return title;
}

std::string ReaderPageHtml(const ReaderArticle& article, std::string_view skin)
{
    const auto safeWord = [](std::string_view word) {
        return !word.empty() && word.size() <= 35 &&
               std::all_of(word.begin(), word.end(),
                           [](unsigned char c) { return std::isalnum(c) != 0 || c == '-'; });
    };
    std::string html = "<!DOCTYPE html>\n<html";
    if (safeWord(article.lang))
        html += " lang=\"" + article.lang + '"';
    if (article.dir == "rtl" || article.dir == "ltr")
        html += " dir=\"" + article.dir + '"';
    html += " data-skin=\"" + (safeWord(skin) ? std::string(skin) : std::string("mini")) + "\">\n";
    // Nothing runs, nothing is sent as a referrer and nothing loads but the
    // built-in style sheet and the article's images.
    html += "<head>\n<meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "img-src http: https: data:; style-src lumo://start/reader.css; base-uri 'none'; "
            "form-action 'none'\">\n"
            "<meta name=\"referrer\" content=\"no-referrer\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            "<link rel=\"stylesheet\" href=\"lumo://start/reader.css\">\n<title>";
    html += Escaped(ReaderPageTitle(article));
    html += "</title>\n</head>\n<body>\n<header class=\"source\">\n<span class=\"paper\">";
    std::string original = AddressWithScheme(article.address, {"http://", "https://", "file://"});
    std::string paper = !article.siteName.empty() ? article.siteName : std::string();
    html += Escaped(paper.empty() ? std::string("Reader view") : paper);
    html += "</span>\n";
    if (!original.empty())
        html += "<a class=\"original\" href=\"" + Escaped(original) + "\">" + Escaped(original) +
                "</a>\n";
    html += "</header>\n<article>\n<h1>";
    html += Escaped(!article.title.empty() ? article.title : article.pageTitle);
    html += "</h1>\n";
    if (!article.byline.empty() || !article.published.empty()) {
        html += "<p class=\"byline\">";
        if (!article.byline.empty())
            html += "<span class=\"author\">" + Escaped(article.byline) + "</span>";
        if (!article.byline.empty() && !article.published.empty())
            html += " \u00b7 ";
        if (!article.published.empty())
            html += "<time>" + Escaped(ReaderDate(article.published)) + "</time>";
        html += "</p>\n";
    }
    html += "<div class=\"text\">\n";
    html += SanitizeArticleHtml(article.content);
    html += "\n</div>\n</article>\n</body>\n</html>\n";
    return html;
}

} // namespace lumo
