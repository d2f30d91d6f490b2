#include "headlines/core/feed_discovery.h"

#include "headlines/core/plain_text.h"
#include "headlines/core/xml_support.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <array>

namespace headlines {

namespace {

constexpr int kHtmlOptions = HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                             HTML_PARSE_RECOVER | HTML_PARSE_COMPACT;

XmlDocPtr ReadPage(std::string_view html, const std::string& pageAddress)
{
    XmlParserPtr parser = NewQuietHtmlParser();
    if (!parser)
        return nullptr;
    html = html.substr(0, kMaxDiscoveryPageSize);
    return XmlDocPtr(htmlCtxtReadMemory(parser.get(), html.data(), static_cast<int>(html.size()),
                                        pageAddress.c_str(), nullptr, kHtmlOptions));
}

const xmlNode* ChildNamed(const xmlNode* parent, std::string_view name)
{
    for (const xmlNode* child = parent ? parent->children : nullptr; child; child = child->next)
        if (EqualsAsciiNoCase(NameOf(child), name))
            return child;
    return nullptr;
}

// The elements of the head in document order (a link may sit in a
// <noscript> there).
std::vector<const xmlNode*> HeadElements(const xmlDoc* doc)
{
    std::vector<const xmlNode*> elements;
    const xmlNode* head = ChildNamed(xmlDocGetRootElement(doc), "head");
    std::vector<const xmlNode*> pending;
    for (const xmlNode* child = head ? head->last : nullptr; child; child = child->prev)
        pending.push_back(child);
    while (!pending.empty()) {
        const xmlNode* node = pending.back();
        pending.pop_back();
        if (node->type != XML_ELEMENT_NODE)
            continue;
        elements.push_back(node);
        for (const xmlNode* child = node->last; child; child = child->prev)
            pending.push_back(child);
    }
    return elements;
}

// The base of the page's links: the first <base href>, itself resolved
// against the page's address.
std::string BaseAddress(const std::vector<const xmlNode*>& head, const std::string& pageAddress)
{
    for (const xmlNode* element : head) {
        if (!EqualsAsciiNoCase(NameOf(element), "base"))
            continue;
        if (const std::optional<std::string> href = AttributeOf(element, "href"))
            return ResolveWebAddress(*href, pageAddress).value_or(pageAddress);
    }
    return pageAddress;
}

bool HasToken(std::string_view list, std::string_view token)
{
    constexpr std::string_view kBlanks = " \t\n\f\r";
    std::size_t start = list.find_first_not_of(kBlanks);
    while (start != std::string_view::npos) {
        const std::size_t end = std::min(list.find_first_of(kBlanks, start), list.size());
        if (EqualsAsciiNoCase(list.substr(start, end - start), token))
            return true;
        start = list.find_first_not_of(kBlanks, end);
    }
    return false;
}

// "application/rss+xml; charset=utf-8" and "Application/Atom+XML" count.
bool IsFeedType(std::string_view type)
{
    type = TrimAscii(type.substr(0, type.find(';')));
    return EqualsAsciiNoCase(type, "application/rss+xml") ||
           EqualsAsciiNoCase(type, "application/atom+xml");
}

bool IsFeedLink(const xmlNode* element)
{
    return EqualsAsciiNoCase(NameOf(element), "link") &&
           HasToken(AttributeOf(element, "rel").value_or(""), "alternate") &&
           IsFeedType(AttributeOf(element, "type").value_or(""));
}

} // namespace

std::vector<DiscoveredFeed> DiscoverFeeds(std::string_view html, const std::string& pageAddress)
{
    std::vector<DiscoveredFeed> feeds;
    const QuietXmlErrors quiet;
    const XmlDocPtr doc = ReadPage(html, pageAddress);
    if (!doc)
        return feeds;
    const std::vector<const xmlNode*> head = HeadElements(doc.get());
    const std::string base = BaseAddress(head, pageAddress);
    for (const xmlNode* element : head) {
        if (!IsFeedLink(element))
            continue;
        std::optional<std::string> address =
            ResolveWebAddress(AttributeOf(element, "href").value_or(""), base);
        if (!address || std::any_of(feeds.begin(), feeds.end(),
                                    [&](const DiscoveredFeed& f) { return f.address == *address; }))
            continue;
        feeds.push_back({std::move(*address), CollapseWhitespace(ReplaceInvalidUtf8(
                                                  AttributeOf(element, "title").value_or("")))});
    }
    return feeds;
}

std::vector<std::string> FallbackFeedAddresses(const std::string& pageAddress)
{
    constexpr std::array<std::string_view, 6> kUsualPlaces = {
        "/feed", "/rss", "/rss.xml", "/feed.xml", "/atom.xml", "/index.xml"};
    std::vector<std::string> addresses;
    if (!ResolveWebAddress(pageAddress, {}))
        return addresses;
    for (const std::string_view place : kUsualPlaces)
        if (std::optional<std::string> address = ResolveWebAddress(place, pageAddress))
            addresses.push_back(std::move(*address));
    return addresses;
}

} // namespace headlines
