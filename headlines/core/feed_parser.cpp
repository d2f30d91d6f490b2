#include "headlines/core/feed_parser.h"

#include "headlines/core/feed_dates.h"
#include "headlines/core/plain_text.h"
#include "headlines/core/xml_support.h"

#include <array>
#include <cctype>
#include <unordered_set>

namespace headlines {

namespace {

constexpr std::string_view kAtomNs = "http://www.w3.org/2005/Atom";
constexpr std::string_view kAtom03Ns = "http://purl.org/atom/ns#";
constexpr std::string_view kRss090Ns = "http://my.netscape.com/rdf/simple/0.9/";
constexpr std::string_view kRss10Ns = "http://purl.org/rss/1.0/";
// Namespaces some RSS 2.0 feeds of the early 2000s put their elements in.
constexpr std::string_view kRss2UserlandNs = "http://backend.userland.com/rss2";
constexpr std::string_view kRss2HarvardNs = "http://blogs.law.harvard.edu/tech/rss";
constexpr std::string_view kRdfNs = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr std::string_view kDublinCoreNs = "http://purl.org/dc/elements/1.1/";
constexpr std::string_view kContentNs = "http://purl.org/rss/1.0/modules/content/";

// ---- Bytes made readable -------------------------------------------------

// UTF-16 and UTF-32 documents, where '&' and '<' are not single bytes, are
// read as they are.
bool IsAsciiCompatible(std::string_view bytes)
{
    return !bytes.starts_with("\xFE\xFF") && !bytes.starts_with("\xFF\xFE") &&
           !bytes.starts_with(std::string_view("\0<", 2)) &&
           !bytes.starts_with(std::string_view("<\0", 2)) &&
           !bytes.starts_with(std::string_view("\0\0", 2));
}

// Control characters XML never allows; ESC stays, ISO-2022-JP needs it.
bool IsForbiddenControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\x1B';
}

void AppendWithoutControls(std::string& out, std::string_view text)
{
    for (const char c : text)
        out += IsForbiddenControl(c) ? ' ' : c;
}

// The references XML knows without a document type: the five predefined
// entities and character references.
bool IsXmlReference(std::string_view text)
{
    for (const std::string_view name : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"})
        if (text.starts_with(name))
            return true;
    if (!text.starts_with("&#"))
        return false;
    const bool hex = text.size() > 2 && text[2] == 'x';
    std::size_t i = hex ? 3 : 2;
    const std::size_t firstDigit = i;
    while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) ||
                               (hex && std::isxdigit(static_cast<unsigned char>(text[i])))))
        ++i;
    return i > firstDigit && i < text.size() && text[i] == ';';
}

// Sections copied as they are: a '&' inside them is no reference.
std::size_t VerbatimSectionEnd(std::string_view bytes, std::size_t lt)
{
    struct Section
    {
        std::string_view open, close;
    };
    constexpr std::array<Section, 3> kSections = {
        {{"<![CDATA[", "]]>"}, {"<!--", "-->"}, {"<?", "?>"}}};
    for (const Section& section : kSections) {
        if (bytes.substr(lt).starts_with(section.open)) {
            const std::size_t close = bytes.find(section.close, lt + section.open.size());
            return close == std::string_view::npos ? bytes.size() : close + section.close.size();
        }
    }
    return lt + 1;
}

// Mends what real feeds get wrong and XML refuses outright: a bare '&'
// ("AT&T", "?a=1&b=2") and HTML's named references (&nbsp;) become "&amp;",
// which the plain text step decodes again; control characters become
// spaces. Entities the document declares are never expanded this way.
std::string RepairFeedBytes(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 32);
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t next = std::min(bytes.find_first_of("<&", i), bytes.size());
        AppendWithoutControls(out, bytes.substr(i, next - i));
        if (next == bytes.size())
            break;
        if (bytes[next] == '<') {
            const std::size_t end = VerbatimSectionEnd(bytes, next);
            AppendWithoutControls(out, bytes.substr(next, end - next));
            i = end;
        } else {
            out += IsXmlReference(bytes.substr(next, 16)) ? "&" : "&amp;";
            i = next + 1;
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes.substr(i));
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

// A document that names no encoding is UTF-8 to XML; one that is not valid
// UTF-8 was most likely written in windows-1252 (Latin-1's superset).
const char* EncodingToAssume(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF") || !IsAsciiCompatible(bytes))
        return nullptr;
    if (bytes.starts_with("<?xml")) {
        const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
        if (declaration.find("encoding") != std::string_view::npos)
            return nullptr;
    }
    return IsValidUtf8(bytes) ? nullptr : "windows-1252";
}

// The document's tree, recovered as far as libxml2 can when it is not
// well-formed (a feed cut short still has its first items).
XmlDocPtr ReadDocument(std::string_view bytes, const std::string& address)
{
    XmlParserPtr parser = NewQuietXmlParser();
    if (!parser)
        return nullptr;
    const std::string text = IsAsciiCompatible(bytes) ? RepairFeedBytes(bytes) : std::string(bytes);
    return XmlDocPtr(xmlCtxtReadMemory(parser.get(), text.data(), static_cast<int>(text.size()),
                                       address.c_str(), EncodingToAssume(bytes),
                                       kSafeXmlOptions | XML_PARSE_RECOVER));
}

// ---- Elements --------------------------------------------------------------

bool IsRss(const xmlNode* node, std::string_view name)
{
    const std::string_view ns = NamespaceOf(node);
    return NameOf(node) == name && (ns.empty() || ns == kRss090Ns || ns == kRss10Ns ||
                                    ns == kRss2UserlandNs || ns == kRss2HarvardNs);
}

bool IsAtom(const xmlNode* node, std::string_view name)
{
    const std::string_view ns = NamespaceOf(node);
    return NameOf(node) == name && (ns == kAtomNs || ns == kAtom03Ns);
}

bool IsIn(const xmlNode* node, std::string_view ns, std::string_view name)
{
    return NameOf(node) == name && NamespaceOf(node) == ns;
}

template <typename Match> const xmlNode* FirstChild(const xmlNode* parent, Match match)
{
    for (const xmlNode* child = parent ? parent->children : nullptr; child; child = child->next)
        if (match(child))
            return child;
    return nullptr;
}

bool IsTextNode(const xmlNode* node)
{
    return (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) && node->content;
}

bool IsBlockElement(const xmlNode* node)
{
    return node->type == XML_ELEMENT_NODE && !IsInlineHtmlElement(NameOf(node));
}

// The text of an element and its descendants, with a space where an element
// that ends a block (a paragraph of inline XHTML) starts or ends, and U+FFFD
// for bytes libxml2 passed on from a broken document. Entity references are
// not followed.
std::string TextOf(const xmlNode* node)
{
    std::string text;
    const xmlNode* current = node ? node->children : nullptr;
    while (current) {
        if (IsTextNode(current))
            text += Chars(current->content);
        else if (IsBlockElement(current))
            text += ' ';
        if (current->type == XML_ELEMENT_NODE && current->children) {
            current = current->children;
            continue;
        }
        while (current != node && !current->next) {
            current = current->parent;
            if (current != node && IsBlockElement(current))
                text += ' ';
        }
        current = current == node ? nullptr : current->next;
    }
    return ReplaceInvalidUtf8(text);
}

// RSS leaves open whether a title is text or HTML; feeds write both, so
// tags go and references are decoded.
std::string RssText(const xmlNode* node)
{
    return HtmlToPlainText(TextOf(node));
}

// Atom says: "text" (the default) is text as it stands, "html" is escaped
// HTML, "xhtml" is inline XHTML.
std::string AtomText(const xmlNode* node)
{
    const std::string type = AttributeOf(node, "type").value_or("text");
    const std::string mode = AttributeOf(node, "mode").value_or(""); // Atom 0.3
    if (EqualsAsciiNoCase(type, "html") || EqualsAsciiNoCase(type, "text/html") ||
        EqualsAsciiNoCase(mode, "escaped"))
        return HtmlToPlainText(TextOf(node));
    if (type.starts_with("text") || type.find("xhtml") != std::string::npos)
        return CollapseWhitespace(TextOf(node));
    return {}; // other media types (an image, base64) have no text to show
}

std::optional<std::string> LinkOf(const xmlNode* node)
{
    return ResolveWebAddress(TrimAscii(TextOf(node)), BaseOf(node));
}

// An Atom entry's or feed's page: its first rel="alternate" link (the
// default relation), resolved against the element's base.
std::optional<std::string> AtomLinkOf(const xmlNode* parent)
{
    for (const xmlNode* child = parent->children; child; child = child->next) {
        if (!IsAtom(child, "link"))
            continue;
        const std::string rel = AttributeOf(child, "rel").value_or("alternate");
        const std::optional<std::string> href = AttributeOf(child, "href");
        if (href && EqualsAsciiNoCase(TrimAscii(rel), "alternate"))
            if (auto link = ResolveWebAddress(*href, BaseOf(child)))
                return link;
    }
    return std::nullopt;
}

// ---- Items -----------------------------------------------------------------

// What an item says before it becomes a FeedItem.
struct ItemParts
{
    std::string id;
    std::optional<std::string> link;
    std::string title;
    std::string summary;
    std::string fullContent; // the summary when the item gives none
    std::string date;
};

void ReadRssItemPart(const xmlNode* child, ItemParts& parts)
{
    if (IsRss(child, "title") && parts.title.empty()) {
        parts.title = RssText(child);
    } else if (IsRss(child, "link") && !parts.link) {
        parts.link = LinkOf(child);
    } else if (IsRss(child, "description") && parts.summary.empty()) {
        parts.summary = RssText(child);
    } else if (IsIn(child, kContentNs, "encoded") && parts.fullContent.empty()) {
        parts.fullContent = RssText(child);
    } else if (IsRss(child, "guid") && parts.id.empty()) {
        parts.id = TrimAscii(TextOf(child));
        // A guid is the item's page unless it says otherwise.
        if (!parts.link &&
            !EqualsAsciiNoCase(AttributeOf(child, "isPermaLink").value_or(""), "false"))
            parts.link = LinkOf(child);
    } else if ((IsRss(child, "pubDate") || IsIn(child, kDublinCoreNs, "date")) &&
               parts.date.empty()) {
        parts.date = TrimAscii(TextOf(child));
    }
}

ItemParts ReadRssItem(const xmlNode* item)
{
    ItemParts parts;
    for (const xmlNode* child = item->children; child; child = child->next)
        ReadRssItemPart(child, parts);
    // RSS 1.0 names each item by its rdf:about.
    if (xmlChar* about = xmlGetNsProp(item, XmlChars("about"), XmlChars(kRdfNs.data())); about) {
        if (parts.id.empty())
            parts.id = ReplaceInvalidUtf8(TrimAscii(Chars(about)));
        xmlFree(about);
    }
    return parts;
}

void ReadAtomEntryPart(const xmlNode* child, ItemParts& parts)
{
    if (IsAtom(child, "title") && parts.title.empty()) {
        parts.title = AtomText(child);
    } else if (IsAtom(child, "id") && parts.id.empty()) {
        parts.id = TrimAscii(TextOf(child));
    } else if (IsAtom(child, "summary") && parts.summary.empty()) {
        parts.summary = AtomText(child);
    } else if (IsAtom(child, "content") && parts.fullContent.empty() &&
               !AttributeOf(child, "src")) {
        parts.fullContent = AtomText(child);
    }
}

// An entry's date: when it was published, else when it was last updated.
std::string AtomDateOf(const xmlNode* entry)
{
    for (const std::string_view name : {"published", "issued", "updated", "modified"})
        if (const xmlNode* date = FirstChild(entry, [&](auto* n) { return IsAtom(n, name); }))
            return std::string(TrimAscii(TextOf(date)));
    if (const xmlNode* date =
            FirstChild(entry, [](auto* n) { return IsIn(n, kDublinCoreNs, "date"); }))
        return std::string(TrimAscii(TextOf(date)));
    return {};
}

ItemParts ReadAtomEntry(const xmlNode* entry)
{
    ItemParts parts;
    for (const xmlNode* child = entry->children; child; child = child->next)
        ReadAtomEntryPart(child, parts);
    parts.link = AtomLinkOf(entry);
    parts.date = AtomDateOf(entry);
    return parts;
}

// The item as kept, or nullopt when it has nothing to show.
std::optional<FeedItem> MakeItem(ItemParts parts)
{
    FeedItem item;
    item.title = ShortenText(parts.title, kTitleLength);
    item.link = parts.link.value_or("");
    item.summary =
        ShortenText(parts.summary.empty() ? parts.fullContent : parts.summary, kSummaryLength);
    item.published = ParseFeedDate(parts.date);
    if (item.title.empty() && item.link.empty() && item.summary.empty())
        return std::nullopt;
    if (!parts.id.empty())
        item.identity = parts.id;
    else if (!item.link.empty())
        item.identity = item.link;
    else
        item.identity = (item.title.empty() ? item.summary : item.title) + "\n" + parts.date;
    return item;
}

// ---- Feeds -----------------------------------------------------------------

enum class FeedFormat
{
    Rss,  // RSS 0.9x and 2.0: items inside the channel
    Rdf,  // RSS 0.90 and 1.0: items beside the channel
    Atom, // Atom 1.0 (and 0.3)
};

std::optional<FeedFormat> FormatOf(const xmlNode* root)
{
    if (IsRss(root, "rss") || IsRss(root, "channel"))
        return FeedFormat::Rss;
    if (IsIn(root, kRdfNs, "RDF"))
        return FeedFormat::Rdf;
    if (IsAtom(root, "feed"))
        return FeedFormat::Atom;
    return std::nullopt;
}

void AddItem(ParsedFeed& feed, std::unordered_set<std::string>& seen, ItemParts parts)
{
    std::optional<FeedItem> item = MakeItem(std::move(parts));
    // An identity seen before in this document is the same item again.
    if (item && seen.insert(item->identity).second)
        feed.items.push_back(std::move(*item));
}

ParsedFeed ReadRss(const xmlNode* root, FeedFormat format)
{
    ParsedFeed feed;
    const xmlNode* channel = IsRss(root, "channel")
                                 ? root
                                 : FirstChild(root, [](auto* n) { return IsRss(n, "channel"); });
    if (const xmlNode* title = FirstChild(channel, [](auto* n) { return IsRss(n, "title"); }))
        feed.title = ShortenText(RssText(title), kTitleLength);
    if (const xmlNode* link = FirstChild(channel, [](auto* n) { return IsRss(n, "link"); }))
        feed.link = LinkOf(link).value_or("");
    std::unordered_set<std::string> seen;
    for (const xmlNode* child = format == FeedFormat::Rdf ? root->children
                                : channel                 ? channel->children
                                                          : nullptr;
         child; child = child->next)
        if (IsRss(child, "item"))
            AddItem(feed, seen, ReadRssItem(child));
    return feed;
}

ParsedFeed ReadAtom(const xmlNode* root)
{
    ParsedFeed feed;
    if (const xmlNode* title = FirstChild(root, [](auto* n) { return IsAtom(n, "title"); }))
        feed.title = ShortenText(AtomText(title), kTitleLength);
    feed.link = AtomLinkOf(root).value_or("");
    std::unordered_set<std::string> seen;
    for (const xmlNode* child = root->children; child; child = child->next)
        if (IsAtom(child, "entry"))
            AddItem(feed, seen, ReadAtomEntry(child));
    return feed;
}

FeedParseResult Failure(const std::string& why)
{
    return {std::nullopt, "not a feed: " + why};
}

std::string WhatTheRootIs(const xmlNode* root)
{
    if (EqualsAsciiNoCase(NameOf(root), "html"))
        return "this is a web page, not RSS or Atom";
    return "the document is <" + std::string(NameOf(root)) + ">, not RSS or Atom";
}

} // namespace

FeedParseResult ParseFeed(std::string_view bytes, const std::string& feedAddress)
{
    if (TrimAscii(bytes).empty())
        return Failure("the document is empty");
    if (bytes.size() > kMaxFeedSize)
        return Failure("the document is larger than " + std::to_string(kMaxFeedSize >> 20) + " MB");
    const QuietXmlErrors quiet;
    const XmlDocPtr doc = ReadDocument(bytes, feedAddress);
    const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root)
        return Failure("the document is not XML");
    const std::optional<FeedFormat> format = FormatOf(root);
    if (!format)
        return Failure(WhatTheRootIs(root));
    return {*format == FeedFormat::Atom ? ReadAtom(root) : ReadRss(root, *format), {}};
}

} // namespace headlines
