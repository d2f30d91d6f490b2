#pragma once
// What the feed, page and OPML readers share about libxml2: documents held by
// scope, parsers that stay quiet and offline, and web addresses resolved
// against a document's base. Safe on any thread: nothing here changes
// libxml2's global state after its one-time initialisation.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace headlines {

struct XmlDocDeleter
{
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct XmlParserDeleter
{
    void operator()(xmlParserCtxt* ctxt) const;
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;
using XmlParserPtr = std::unique_ptr<xmlParserCtxt, XmlParserDeleter>;

// For the length of one read, keeps libxml2 quiet on this thread: its
// encoding and input layers report without a parser context, to the
// thread's own error handlers (libxml2 keeps them per thread), which this
// sets to nothing and puts back after.
class QuietXmlErrors
{
public:
    QuietXmlErrors();
    ~QuietXmlErrors();
    QuietXmlErrors(const QuietXmlErrors&) = delete;
    QuietXmlErrors& operator=(const QuietXmlErrors&) = delete;

private:
    xmlStructuredErrorFunc m_structured;
    void* m_structuredContext;
    xmlGenericErrorFunc m_generic;
    void* m_genericContext;
};

// A parser context whose errors go nowhere: a broken feed or page is an
// ordinary case, not something to print. Null when libxml2 has no memory.
XmlParserPtr NewQuietXmlParser();
XmlParserPtr NewQuietHtmlParser();

// No network, no DTD loading, no entity substitution, libxml2's size and
// amplification limits kept (no XML_PARSE_HUGE), errors kept quiet.
inline constexpr int kSafeXmlOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;

inline const char* Chars(const xmlChar* text)
{
    return reinterpret_cast<const char*>(text);
}
inline const xmlChar* XmlChars(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

// The local name of an element, "" for other nodes.
std::string_view NameOf(const xmlNode* node);
// The namespace of an element, "" when it has none.
std::string_view NamespaceOf(const xmlNode* node);
// An attribute without a namespace, or nullopt when it is missing.
std::optional<std::string> AttributeOf(const xmlNode* node, const char* name);

// Case-insensitive equality for ASCII names and tokens.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);
std::string_view TrimAscii(std::string_view text);

// `reference` resolved against `base` when it is a web address (http or
// https with a host); nullopt for anything else (mailto:, javascript:, a
// relative reference with no web base to resolve it against).
std::optional<std::string> ResolveWebAddress(std::string_view reference, std::string_view base);

// The base of a node's references: its xml:base attributes resolved in turn
// against the document's address.
std::string BaseOf(const xmlNode* node);

} // namespace headlines
