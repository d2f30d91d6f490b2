#include "headlines/core/opml.h"

#include "headlines/core/plain_text.h"
#include "headlines/core/xml_support.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace headlines {

namespace {

const std::string kMsgTooLarge = "The file is larger than " +
                                 std::to_string(kMaxOpmlFileSize >> 20) +
                                 " MB, far more than a list of feeds needs. Nothing was imported.";
static_assert(kMaxOpmlOutlines == 10000, "the message below says how many");
constexpr const char* kMsgTooManyOutlines =
    "The file has more than 10,000 outlines, far more than a list of feeds needs. Nothing was "
    "imported.";
constexpr const char* kMsgNotXml = "The file is not an OPML file: it is not XML.";
constexpr const char* kMsgEntities =
    "The file declares entities, which an OPML file never needs. Nothing was imported.";
constexpr const char* kMsgNotAFile = "This is not a file that can be read.";

// ---- Reading -----------------------------------------------------------------

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

OpmlReadResult Refused(std::string why)
{
    OpmlReadResult result;
    result.error = std::move(why);
    return result;
}

std::string ReadError(int error)
{
    return std::string("The file could not be read: ") + std::strerror(error) + ".";
}

// The file's bytes, at most one beyond the size limit: the file may grow
// while it is read. Not a FIFO or a device, which could block or never end.
std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error)
{
    const FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    if (fd.Get() < 0 || fstat(fd.Get(), &st) != 0) {
        error = ReadError(errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error = kMsgNotAFile;
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    while (bytes.size() <= kMaxOpmlFileSize) {
        const ssize_t got = read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = ReadError(errno);
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

// Declared entities are where entity bombs live, and OPML has no use for
// them: the first declaration stops the parser, before any is registered.
void RefuseEntityDeclaration(void* userData, const xmlChar*, int, const xmlChar*, const xmlChar*,
                             xmlChar*)
{
    auto* ctxt = static_cast<xmlParserCtxt*>(userData);
    *static_cast<bool*>(ctxt->_private) = true;
    xmlStopParser(ctxt);
}

XmlDocPtr ParseOpml(std::string_view bytes, std::string& error)
{
    XmlParserPtr parser = NewQuietXmlParser();
    if (!parser) {
        error = kMsgNotXml;
        return nullptr;
    }
    bool declaresEntities = false;
    parser->_private = &declaresEntities;
    parser->sax->entityDecl = &RefuseEntityDeclaration;
    XmlDocPtr doc(xmlCtxtReadMemory(parser.get(), bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, nullptr, kSafeXmlOptions));
    if (declaresEntities) {
        error = kMsgEntities;
        return nullptr;
    }
    if (!doc || !parser->wellFormed || !xmlDocGetRootElement(doc.get())) {
        error = kMsgNotXml;
        return nullptr;
    }
    return doc;
}

// What an outline's address attribute holds: "" when it has none, nullopt
// when it holds one that is not a web address.
std::optional<std::string> AddressOf(const xmlNode* outline, const char* name)
{
    const std::string value = AttributeOf(outline, name).value_or("");
    if (TrimAscii(value).empty())
        return std::string();
    return ResolveWebAddress(value, {});
}

// Reads one outline into the result: an entry when it has an address.
void ReadOutline(const xmlNode* outline, OpmlReadResult& result)
{
    const std::optional<std::string> xmlUrl = AddressOf(outline, "xmlUrl");
    const std::optional<std::string> htmlUrl = AddressOf(outline, "htmlUrl");
    if (!xmlUrl || !htmlUrl) {
        ++result.skipped;
        return;
    }
    if (xmlUrl->empty() && htmlUrl->empty())
        return; // a folder
    const std::string& key = xmlUrl->empty() ? *htmlUrl : *xmlUrl;
    const bool seen = std::any_of(result.outlines.begin(), result.outlines.end(), [&](auto& o) {
        return (o.xmlUrl.empty() ? o.htmlUrl : o.xmlUrl) == key;
    });
    if (seen)
        return;
    const std::optional<std::string> title = AttributeOf(outline, "title");
    const std::string text =
        title && !TrimAscii(*title).empty() ? *title : AttributeOf(outline, "text").value_or("");
    result.outlines.push_back({CollapseWhitespace(text), *htmlUrl, *xmlUrl});
}

// Every outline under <body>, folders' contents included, in document
// order; refused when there are too many.
OpmlReadResult ReadOutlines(const xmlNode* body)
{
    OpmlReadResult result;
    std::vector<const xmlNode*> pending;
    std::size_t count = 0;
    for (const xmlNode* child = body ? body->last : nullptr; child; child = child->prev)
        pending.push_back(child);
    while (!pending.empty()) {
        const xmlNode* node = pending.back();
        pending.pop_back();
        if (NameOf(node) != "outline")
            continue;
        if (++count > kMaxOpmlOutlines)
            return Refused(kMsgTooManyOutlines);
        ReadOutline(node, result);
        for (const xmlNode* child = node->last; child; child = child->prev)
            pending.push_back(child);
    }
    return result;
}

const xmlNode* ChildNamed(const xmlNode* parent, std::string_view name)
{
    for (const xmlNode* child = parent->children; child; child = child->next)
        if (NameOf(child) == name)
            return child;
    return nullptr;
}

// ---- Writing -----------------------------------------------------------------

// Text for an attribute or an element: markup characters and line breaks as
// references (an attribute keeps them that way), bytes XML cannot hold
// (control characters, broken UTF-8) as U+FFFD.
std::string EscapeXml(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const std::size_t length = Utf8SequenceLength(text.substr(i));
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '\t' || c == '\n' || c == '\r')
            out += "&#" + std::to_string(int(c)) + ";";
        else if (length == 0 || static_cast<unsigned char>(c) < 0x20)
            out += "\uFFFD";
        else
            out.append(text, i, length);
        i += std::max<std::size_t>(length, 1);
    }
    return out;
}

void WriteAttribute(std::string& out, const char* name, std::string_view value)
{
    out += ' ';
    out += name;
    out += "=\"";
    out += EscapeXml(value);
    out += '"';
}

} // namespace

bool operator==(const OpmlOutline& a, const OpmlOutline& b)
{
    return a.title == b.title && a.htmlUrl == b.htmlUrl && a.xmlUrl == b.xmlUrl;
}

OpmlReadResult ReadOpmlFile(const std::string& path)
{
    std::string error;
    const std::optional<std::string> bytes = ReadWholeFile(path, error);
    if (!bytes)
        return Refused(error);
    return ReadOpml(*bytes);
}

OpmlReadResult ReadOpml(std::string_view bytes)
{
    if (bytes.size() > kMaxOpmlFileSize)
        return Refused(kMsgTooLarge);
    std::string error;
    const QuietXmlErrors quiet;
    const XmlDocPtr doc = ParseOpml(bytes, error);
    if (!doc)
        return Refused(error);
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (NameOf(root) != "opml")
        return Refused("The file is not an OPML file: it is <" + std::string(NameOf(root)) + ">.");
    return ReadOutlines(ChildNamed(root, "body"));
}

std::string WriteOpml(const std::vector<OpmlOutline>& outlines, std::string_view title)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\">\n"
                      "  <head>\n    <title>" +
                      EscapeXml(title) + "</title>\n  </head>\n  <body>\n";
    for (const OpmlOutline& outline : outlines) {
        if (outline.xmlUrl.empty() && outline.htmlUrl.empty())
            continue;
        out += "    <outline";
        WriteAttribute(out, "text", outline.title);
        if (!outline.title.empty())
            WriteAttribute(out, "title", outline.title);
        if (!outline.xmlUrl.empty()) {
            WriteAttribute(out, "type", "rss");
            WriteAttribute(out, "xmlUrl", outline.xmlUrl);
        }
        if (!outline.htmlUrl.empty())
            WriteAttribute(out, "htmlUrl", outline.htmlUrl);
        out += "/>\n";
    }
    out += "  </body>\n</opml>\n";
    return out;
}

} // namespace headlines
