#include "headlines/core/xml_support.h"

#include "common/address_text.h"

#include <libxml/HTMLparser.h>
#include <libxml/uri.h>
#include <libxml/xmlerror.h>

#include <algorithm>

namespace headlines {

namespace {

void IgnoreXmlError(void*, xmlErrorPtr) {}
void IgnoreGenericError(void*, const char*, ...) {}

void InitXmlOnce()
{
    static const bool initialised = (xmlInitParser(), true);
    (void)initialised;
}

// Errors of this context go to a handler of its own, never to the thread's
// or the process's: libxml2 then neither prints them nor calls another
// part's handler.
XmlParserPtr Quiet(xmlParserCtxt* ctxt)
{
    XmlParserPtr parser(ctxt);
    if (parser && parser->sax)
        parser->sax->serror = &IgnoreXmlError;
    return parser;
}

struct XmlFree
{
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlText = std::unique_ptr<xmlChar, XmlFree>;

// Browsers drop tabs and line breaks inside an address and take spaces and
// bytes beyond ASCII as if written %XX; libxml2's URI parser refuses them.
std::string EscapeForUri(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t' || c == '\n' || c == '\r')
            continue;
        if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' ||
            c == '^' || c == '`' || c == '{' || c == '|' || c == '}') {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

bool IsWebAddress(std::string_view address)
{
    const std::string scheme = lumo::SchemeOf(address);
    return (scheme == "http" || scheme == "https") && !lumo::HostOf(address).empty();
}

} // namespace

QuietXmlErrors::QuietXmlErrors()
    : m_structured(xmlStructuredError), m_structuredContext(xmlStructuredErrorContext),
      m_generic(xmlGenericError), m_genericContext(xmlGenericErrorContext)
{
    InitXmlOnce();
    xmlSetStructuredErrorFunc(nullptr, &IgnoreXmlError);
    xmlSetGenericErrorFunc(nullptr, &IgnoreGenericError);
}

QuietXmlErrors::~QuietXmlErrors()
{
    xmlSetStructuredErrorFunc(m_structuredContext, m_structured);
    xmlSetGenericErrorFunc(m_genericContext, m_generic);
}

void XmlParserDeleter::operator()(xmlParserCtxt* ctxt) const
{
    if (ctxt && ctxt->html)
        htmlFreeParserCtxt(ctxt);
    else
        xmlFreeParserCtxt(ctxt);
}

XmlParserPtr NewQuietXmlParser()
{
    InitXmlOnce();
    return Quiet(xmlNewParserCtxt());
}

XmlParserPtr NewQuietHtmlParser()
{
    InitXmlOnce();
    return Quiet(htmlNewParserCtxt());
}

std::string_view NameOf(const xmlNode* node)
{
    if (!node || node->type != XML_ELEMENT_NODE || !node->name)
        return {};
    return Chars(node->name);
}

std::string_view NamespaceOf(const xmlNode* node)
{
    if (!node || node->type != XML_ELEMENT_NODE || !node->ns || !node->ns->href)
        return {};
    return Chars(node->ns->href);
}

std::optional<std::string> AttributeOf(const xmlNode* node, const char* name)
{
    XmlText value(xmlGetNoNsProp(node, XmlChars(name)));
    if (!value)
        return std::nullopt;
    return std::string(Chars(value.get()));
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

std::string_view TrimAscii(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<std::string> ResolveWebAddress(std::string_view reference, std::string_view base)
{
    reference = TrimAscii(reference);
    if (reference.empty())
        return std::nullopt;
    const std::string escapedReference = EscapeForUri(reference);
    const std::string escapedBase = EscapeForUri(TrimAscii(base));
    XmlText resolved(xmlBuildURI(XmlChars(escapedReference.c_str()),
                                 escapedBase.empty() ? nullptr : XmlChars(escapedBase.c_str())));
    if (!resolved || !IsWebAddress(Chars(resolved.get())))
        return std::nullopt;
    return std::string(Chars(resolved.get()));
}

std::string BaseOf(const xmlNode* node)
{
    if (!node)
        return {};
    XmlText base(xmlNodeGetBase(node->doc, node));
    return base ? std::string(Chars(base.get())) : std::string();
}

} // namespace headlines
