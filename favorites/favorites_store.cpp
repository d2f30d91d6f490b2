#include "favorites/favorites_store.h"

#include "common/file_replacement.h"

#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo {

namespace {

// No network, no external document types or entities, no entity
// substitution (the tree keeps entity references, so a rewrite keeps them
// too), no lifting of libxml2's limits on depth and sizes.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Bytes of text one operation may gather through entity references. A file
// of 1 MB can reference a 1 MB entity 100,000 times: libxml2 keeps the
// references as they are, and only gathering their text would expand them.
constexpr std::size_t kEntityTextBudget = std::size_t{16} << 20;
// Nesting of elements and entity references walked while gathering a text.
constexpr std::size_t kMaxTextDepth = 1024;

constexpr std::string_view kTrimmed = " \t\n\v\f\r";

// How long a change waits for another program's change to the file.
constexpr std::chrono::milliseconds kLockWait{5000};
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct DocDeleter
{
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ParserDeleter
{
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct XPathContextDeleter
{
    void operator()(xmlXPathContext* ctxt) const { xmlXPathFreeContext(ctxt); }
};
struct XPathObjectDeleter
{
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};
struct NodeDeleter
{
    void operator()(xmlNode* node) const { xmlFreeNode(node); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;
using ParserPtr = std::unique_ptr<xmlParserCtxt, ParserDeleter>;
using XPathContextPtr = std::unique_ptr<xmlXPathContext, XPathContextDeleter>;
using XPathObjectPtr = std::unique_ptr<xmlXPathObject, XPathObjectDeleter>;
using NodePtr = std::unique_ptr<xmlNode, NodeDeleter>;

const char* Chars(const xmlChar* text)
{
    return reinterpret_cast<const char*>(text);
}

const xmlChar* XmlChars(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

void IgnoreXmlError(void*, xmlErrorPtr) {}

// Keeps libxml2 from printing to stderr on this thread for the length of one
// operation; a malformed favorites file is an ordinary case, not an event.
class SilentXmlErrors
{
public:
    SilentXmlErrors() : m_handler(xmlStructuredError), m_context(xmlStructuredErrorContext)
    {
        xmlSetStructuredErrorFunc(nullptr, &IgnoreXmlError);
    }
    ~SilentXmlErrors() { xmlSetStructuredErrorFunc(m_context, m_handler); }
    SilentXmlErrors(const SilentXmlErrors&) = delete;
    SilentXmlErrors& operator=(const SilentXmlErrors&) = delete;

private:
    xmlStructuredErrorFunc m_handler;
    void* m_context;
};

void InitXmlOnce()
{
    static const bool initialised = (xmlInitParser(), true);
    (void)initialised;
}

// What the handlers of one parse share, through the parser's _private (which
// libxml2 also hands to the contexts that parse entity content).
struct QuickRead;
struct ParseReport
{
    const xmlParserCtxt* parser = nullptr;
    bool onlyForReading = false;
    bool failed = false;
    QuickRead* quick = nullptr; // a reading without the tree
};

void RecordParseError(void* userData, xmlErrorPtr error)
{
    // libxml2 hands the parser context as the user data.
    const auto* ctxt = static_cast<const xmlParserCtxt*>(userData);
    if (ctxt && ctxt->_private && error && error->level >= XML_ERR_ERROR)
        static_cast<ParseReport*>(ctxt->_private)->failed = true;
}

// Reading takes text only from inside `title` and `url`: text straight under
// the document element or under an entry is never read. Leaving out those
// nodes, mostly indentation, spares a typical file a third of its tree.
void KeepReadableText(void* userData, const xmlChar* text, int length)
{
    const auto* ctxt = static_cast<const xmlParserCtxt*>(userData);
    const auto* report = static_cast<const ParseReport*>(ctxt->_private);
    // Entity content is parsed in a context of its own; any of it may be
    // read through a reference.
    if (report && report->onlyForReading && ctxt == report->parser && ctxt->nodeNr <= 2)
        return;
    xmlSAX2Characters(userData, text, length);
}

// The favorites file opened for reading, and what the parser has read of it.
class FileInput
{
public:
    // Opens a regular file no larger than the limit; not a FIFO, which
    // would block.
    explicit FileInput(const std::string& path)
        : m_fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC))
    {
        struct stat st;
        if (m_fd < 0)
            m_state = errno == ENOENT  ? FavoritesFileState::Missing
                      : errno == ENXIO ? FavoritesFileState::NotAFile // a socket
                                       : FavoritesFileState::Unreadable;
        else if (fstat(m_fd, &st) != 0)
            m_state = FavoritesFileState::Unreadable;
        else if (!S_ISREG(st.st_mode))
            m_state = FavoritesFileState::NotAFile;
        else if (static_cast<std::size_t>(st.st_size) > kMaxFavoritesFileSize)
            m_state = FavoritesFileState::TooLarge;
        if (m_fd >= 0 && m_state != FavoritesFileState::Read) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~FileInput()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileInput(const FileInput&) = delete;
    FileInput& operator=(const FileInput&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    bool StartsWithUtf8Bom() const { return m_start == kUtf8Bom; }
    // Read while the file could be read; the parser's verdict comes on top.
    FavoritesFileState State() const { return m_state; }

    // libxml2's read callback. The file may grow while it is read: the limit
    // holds for what is read, too.
    static int Read(void* context, char* buffer, int length)
    {
        auto* self = static_cast<FileInput*>(context);
        ssize_t got;
        do
            got = read(self->m_fd, buffer, static_cast<std::size_t>(length));
        while (got < 0 && errno == EINTR);
        if (got < 0) {
            self->m_state = FavoritesFileState::Unreadable;
            return -1;
        }
        const std::size_t count = static_cast<std::size_t>(got);
        if (self->m_start.size() < kUtf8Bom.size())
            self->m_start.append(buffer, std::min(count, kUtf8Bom.size() - self->m_start.size()));
        self->m_total += count;
        if (self->m_total <= kMaxFavoritesFileSize)
            return static_cast<int>(got);
        self->m_state = FavoritesFileState::TooLarge;
        return -1;
    }

private:
    int m_fd;
    FavoritesFileState m_state = FavoritesFileState::Read;
    std::size_t m_total = 0;
    std::string m_start; // the first bytes, to keep a byte order mark
};

// A loaded favorites file: its tree, or none when the file is missing,
// unreadable or not well-formed, and what a rewrite needs to give back.
struct Document
{
    DocPtr doc;
    bool utf8Bom = false;
    FavoritesFileState state = FavoritesFileState::Read;
};

// Parses with what every favorites parse uses; `read` runs libxml2 on the
// source. The document only when it is well-formed: libxml2 can stop early
// (on a memory or size limit) and still call the part it read well-formed,
// and a rewrite of that part would lose the rest. Namespace errors count
// too: such a file is not well-formed for a namespace-aware reader. A
// document only for reading lacks text that reading never looks at and must
// not be written back.
template <typename Read> DocPtr Parse(xmlParserCtxt* parser, bool onlyForReading, Read read)
{
    ParseReport report{parser, onlyForReading};
    parser->_private = &report;
    parser->sax->serror = &RecordParseError;
    // Both, so that libxml2 sends all character data through one handler
    // instead of guessing which white space is ignorable.
    parser->sax->characters = &KeepReadableText;
    parser->sax->ignorableWhitespace = &KeepReadableText;
    DocPtr doc(read(parser));
    parser->_private = nullptr;
    if (!doc || !parser->wellFormed || report.failed)
        return nullptr;
    return doc;
}

// A fresh parser, or none when libxml2 cannot create one; the user has been
// told.
ParserPtr NewParser(FavoritesReporter& reporter)
{
    InitXmlOnce();
    ParserPtr parser(xmlNewParserCtxt());
    if (!parser)
        reporter.ShowMessage(kMsgNoXmlParser);
    return parser;
}

// Runs `parser` over the whole file, with what every favorites parse uses.
xmlDoc* ReadInput(xmlParserCtxt* parser, FileInput& input)
{
    return xmlCtxtReadIO(parser, &FileInput::Read, nullptr, &input, nullptr, nullptr,
                         kParseOptions);
}

// The first steps of every operation: a fresh parser, then the whole file.
// Nothing when libxml2 cannot create a parser; the user has been told.
std::optional<Document> OpenDocument(const std::string& path, FavoritesReporter& reporter,
                                     bool onlyForReading = false)
{
    ParserPtr parser = NewParser(reporter);
    if (!parser)
        return std::nullopt;
    Document document;
    FileInput input(path);
    if (input.IsOpen()) {
        document.doc = Parse(parser.get(), onlyForReading,
                             [&input](xmlParserCtxt* ctxt) { return ReadInput(ctxt, input); });
        document.utf8Bom = document.doc && input.StartsWithUtf8Bom();
    }
    document.state = input.State();
    if (document.state == FavoritesFileState::Read && input.IsOpen() && !document.doc)
        document.state = FavoritesFileState::Malformed;
    return document;
}

// The nodes that `path` selects from the document node, or nothing on
// failure.
XPathObjectPtr Select(xmlDoc* doc, const char* path)
{
    XPathContextPtr context(xmlXPathNewContext(doc));
    if (!context)
        return nullptr;
    context->node = reinterpret_cast<xmlNode*>(doc);
    context->error = &IgnoreXmlError;
    XPathObjectPtr result(xmlXPathEvalExpression(XmlChars(path), context.get()));
    if (result && result->type != XPATH_NODESET)
        return nullptr;
    return result;
}

// The document element when it is what the path "Favorites" selects: named
// exactly `Favorites`, in no namespace. Checked directly: an XPath context
// alone costs a sixth of parsing a file of ten entries.
xmlNode* FindDocumentElement(xmlDoc* doc)
{
    xmlNode* root = xmlDocGetRootElement(doc);
    return root && !root->ns && std::strcmp(Chars(root->name), "Favorites") == 0 ? root : nullptr;
}

void TrimInPlace(std::string& text)
{
    const auto last = text.find_last_not_of(kTrimmed);
    if (last == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(last + 1);
    text.erase(0, text.find_first_not_of(kTrimmed));
}

// Appends all text beneath `element` in document order, following entity
// references into their content. False when the operation's entity budget
// or the depth limit runs out.
bool AppendText(const xmlNode* element, std::string& out, std::size_t& entityBudget)
{
    struct Resume
    {
        const xmlNode* next;
        bool inEntity;
    };
    std::vector<Resume> pending;
    const xmlNode* node = element->children;
    bool inEntity = false;
    for (;;) {
        if (!node) {
            if (pending.empty())
                return true;
            node = pending.back().next;
            inEntity = pending.back().inEntity;
            pending.pop_back();
            continue;
        }
        const xmlNode* descend = nullptr;
        switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (node->content) {
                const std::size_t length = std::strlen(Chars(node->content));
                if (inEntity) {
                    if (length > entityBudget)
                        return false;
                    entityBudget -= length;
                }
                out.append(Chars(node->content), length);
            }
            break;
        case XML_ELEMENT_NODE:
            descend = node->children;
            break;
        case XML_ENTITY_REF_NODE:
            if (const xmlEntity* entity = xmlGetDocEntity(node->doc, node->name))
                descend = entity->children;
            break;
        default:
            break;
        }
        if (descend) {
            if (pending.size() >= kMaxTextDepth)
                return false;
            pending.push_back({node->next, inEntity});
            inEntity = inEntity || node->type == XML_ENTITY_REF_NODE;
            node = descend;
        } else
            node = node->next;
    }
}

bool IsNamed(const xmlNode* node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && (!node->ns || !node->ns->prefix) &&
           std::strcmp(Chars(node->name), name) == 0;
}

// The reading rule: the last child named "title" gives the title, the last
// named "url" the address, each trimmed; a missing one leaves it empty.
bool ReadEntry(const xmlNode* element, FavoriteEntry& entry, std::size_t& entityBudget)
{
    const xmlNode* title = nullptr;
    const xmlNode* url = nullptr;
    for (const xmlNode* child = element->children; child; child = child->next) {
        if (IsNamed(child, "title"))
            title = child;
        else if (IsNamed(child, "url"))
            url = child;
    }
    entry.title.clear();
    entry.url.clear();
    if ((title && !AppendText(title, entry.title, entityBudget)) ||
        (url && !AppendText(url, entry.url, entityBudget)))
        return false;
    TrimInPlace(entry.title);
    TrimInPlace(entry.url);
    return true;
}

// The entries that "Favorites/Favorite" selects, in document order.
struct Selection
{
    std::vector<FavoriteEntry> entries;
    bool complete = false;    // false: reading stopped early, after `entries`
    bool fetchFailed = false; // a selected node could not be fetched
};

Selection ReadFavorites(xmlDoc* doc)
{
    Selection selection;
    XPathObjectPtr found = Select(doc, "Favorites/Favorite");
    if (!found)
        return selection;
    const xmlNodeSet* nodes = found->nodesetval;
    const int count = xmlXPathNodeSetGetLength(nodes);
    selection.entries.reserve(static_cast<std::size_t>(count));
    std::size_t entityBudget = kEntityTextBudget;
    for (int i = 0; i < count; ++i) {
        const xmlNode* node = xmlXPathNodeSetItem(nodes, i);
        if (!node) {
            selection.fetchFailed = true;
            return selection;
        }
        FavoriteEntry entry;
        if (!ReadEntry(node, entry, entityBudget))
            return selection;
        selection.entries.push_back(std::move(entry));
    }
    selection.complete = true;
    return selection;
}

// Reading a file without building its tree: a third of the time, and
// little memory, for a file of plain entries. It reads what ReadFavorites
// reads from the tree (the entries of a `Favorites` document element in no
// namespace; in each, the text beneath its last child named `title` and its
// last named `url`, trimmed) and hands the file to the tree for what it does
// not follow: a document type, with any entity of the file's own, and a run
// of text long enough for the tree's builder to refuse it.
struct QuickRead
{
    std::vector<FavoriteEntry> entries;
    FavoriteEntry entry;
    int depth = 0; // elements open
    bool inFavorites = false;
    bool inEntry = false;
    std::string* text = nullptr; // the title or address being gathered
    std::size_t run = 0;         // bytes of text since the last tag
    bool needsTree = false;
};

// Far below the 10,000,000 bytes of one text node that libxml2's tree
// builder refuses, far above any name or address.
constexpr std::size_t kQuickTextRun = 1000000;

QuickRead& QuickState(void* userData)
{
    const auto* ctxt = static_cast<const xmlParserCtxt*>(userData);
    return *static_cast<ParseReport*>(ctxt->_private)->quick;
}

void NeedTree(void* userData)
{
    QuickState(userData).needsTree = true;
    xmlStopParser(static_cast<xmlParserCtxt*>(userData));
}

void NeedTreeForDocumentType(void* userData, const xmlChar*, const xmlChar*, const xmlChar*)
{
    NeedTree(userData);
}

void NeedTreeForEntity(void* userData, const xmlChar*)
{
    NeedTree(userData);
}

bool NameIs(const xmlChar* name, const char* wanted)
{
    return std::strcmp(Chars(name), wanted) == 0;
}

void QuickStart(void* userData, const xmlChar* name, const xmlChar* prefix, const xmlChar* uri, int,
                const xmlChar**, int, int, const xmlChar**)
{
    QuickRead& read = QuickState(userData);
    read.run = 0;
    ++read.depth;
    if (read.depth == 1) {
        read.inFavorites = !uri && NameIs(name, "Favorites");
    } else if (read.depth == 2) {
        read.inEntry = read.inFavorites && !uri && NameIs(name, "Favorite");
        read.entry = {};
    } else if (read.depth == 3 && read.inEntry && !prefix) {
        if (NameIs(name, "title"))
            read.text = &read.entry.title;
        else if (NameIs(name, "url"))
            read.text = &read.entry.url;
        if (read.text)
            read.text->clear(); // the last of that name counts
    }
}

void QuickEnd(void* userData, const xmlChar*, const xmlChar*, const xmlChar*)
{
    QuickRead& read = QuickState(userData);
    read.run = 0;
    if (read.depth == 3) {
        read.text = nullptr;
    } else if (read.depth == 2 && read.inEntry) {
        TrimInPlace(read.entry.title);
        TrimInPlace(read.entry.url);
        read.entries.push_back(std::move(read.entry));
        read.inEntry = false;
    }
    --read.depth;
}

void QuickText(void* userData, const xmlChar* text, int length)
{
    QuickRead& read = QuickState(userData);
    read.run += static_cast<std::size_t>(length);
    if (read.run > kQuickTextRun)
        NeedTree(userData);
    else if (read.text)
        read.text->append(Chars(text), static_cast<std::size_t>(length));
}

// The entries, or nothing when the file needs its tree to be read.
std::optional<std::vector<FavoriteEntry>>
ReadWithoutTree(const std::string& path, FavoritesReporter& reporter, FavoritesFileState& state)
{
    ParserPtr parser = NewParser(reporter);
    FileInput input(path);
    state = input.State();
    if (!parser || !input.IsOpen())
        return std::vector<FavoriteEntry>{};
    xmlSAXHandler& sax = *parser->sax;
    sax = xmlSAXHandler{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = &QuickStart;
    sax.endElementNs = &QuickEnd;
    sax.characters = &QuickText;
    sax.ignorableWhitespace = &QuickText;
    sax.cdataBlock = &QuickText;
    sax.internalSubset = &NeedTreeForDocumentType;
    sax.externalSubset = &NeedTreeForDocumentType;
    sax.reference = &NeedTreeForEntity;
    sax.serror = &RecordParseError;
    QuickRead read;
    ParseReport report{parser.get(), true, false, &read};
    parser->_private = &report;
    DocPtr doc(ReadInput(parser.get(), input));
    parser->_private = nullptr;
    if (read.needsTree)
        return std::nullopt;
    state = input.State();
    if (state == FavoritesFileState::Read && (!parser->wellFormed || report.failed))
        state = FavoritesFileState::Malformed;
    if (state != FavoritesFileState::Read)
        return std::vector<FavoriteEntry>{};
    if (!read.inFavorites)
        state = FavoritesFileState::NoFavorites;
    return std::move(read.entries);
}

// The first child of `root` that reads as `wanted`, or null. False when a
// text could not be gathered.
bool FindEntry(xmlNode* root, const FavoriteEntry& wanted, xmlNode*& match)
{
    std::size_t entityBudget = kEntityTextBudget;
    FavoriteEntry entry;
    for (xmlNode* child = root->children; child; child = child->next) {
        // Other nodes have no child elements and read as an empty pair, which
        // never matches a trimmed, non-empty one.
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (!ReadEntry(child, entry, entityBudget))
            return false;
        if (entry == wanted) {
            match = child;
            return true;
        }
    }
    match = nullptr;
    return true;
}

// The length of the UTF-8 sequence at `p` with its character in `c`, or 0
// when the bytes there are not one (cut short, overlong, beyond U+10FFFF).
int DecodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& c)
{
    c = *p;
    int length = 1;
    char32_t smallest = 0;
    if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        c &= 0x07;
        smallest = 0x10000;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        c &= 0x0F;
        smallest = 0x800;
    } else if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        c &= 0x1F;
        smallest = 0x80;
    } else if (c >= 0x80) {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[i] & 0x3F);
    }
    return c < smallest || c > 0x10FFFF ? 0 : length;
}

bool IsXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// What of `text` is not valid UTF-8 or not a character an XML 1.0 document
// can hold ("U+0001, U+FFFF"), or nothing when all of it is. libxml2 would
// write such text as it is and leave a file that no longer parses.
std::string CharactersXmlCannotHold(std::string_view text)
{
    std::string found;
    const auto add = [&found](const std::string& what) {
        if (found.find(what) == std::string::npos)
            found += (found.empty() ? "" : ", ") + what;
    };
    bool notUtf8 = false;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        char32_t c = 0;
        const int length = DecodeUtf8(p, end, c);
        if (length == 0) {
            notUtf8 = true;
            ++p;
            continue;
        }
        if (!IsXmlCharacter(c)) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            add(code);
        }
        p += length;
    }
    if (notUtf8)
        add("bytes that are not UTF-8");
    return found;
}

bool IsBlankText(const xmlNode* node)
{
    if (!node || node->type != XML_TEXT_NODE || !node->content)
        return false;
    return std::string_view(Chars(node->content)).find_first_not_of(" \t\n\r") ==
           std::string_view::npos;
}

const xmlNode* FirstElementChild(const xmlNode* parent)
{
    for (const xmlNode* child = parent->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            return child;
    return nullptr;
}

// White space written around a new entry so that it lines up with the file.
struct EntryLayout
{
    std::string before;  // in front of <Favorite>
    std::string inner;   // in front of <title> and of <url>
    std::string closing; // in front of </Favorite>
    std::string after;   // after the entry, when the document element had none
};

// The layout of the entries already in the file: the indentation of the
// last element, the inner layout of the last one that has child elements.
// For a file without any, two spaces per level below </Favorites>.
EntryLayout LayoutFor(const xmlNode* root)
{
    EntryLayout layout;
    bool indented = false;
    for (const xmlNode* child = root->last; child; child = child->prev) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (!indented) {
            if (IsBlankText(child->prev))
                layout.before = Chars(child->prev->content);
            indented = true;
        }
        if (const xmlNode* first = FirstElementChild(child)) {
            if (IsBlankText(first->prev)) {
                layout.inner = Chars(first->prev->content);
                if (IsBlankText(child->last))
                    layout.closing = Chars(child->last->content);
            }
            return layout;
        }
    }
    if (indented)
        return layout;

    std::string base = "\n";
    if (IsBlankText(root->last)) {
        const std::string_view blank = Chars(root->last->content);
        const auto newline = blank.rfind('\n');
        if (newline != std::string_view::npos)
            base.append(blank.substr(newline + 1));
    } else
        layout.after = base;
    layout.before = base + "  ";
    layout.inner = base + "    ";
    layout.closing = base + "  ";
    return layout;
}

// Adds a text node to `parent`; nothing for an empty text. libxml2 may merge
// it into a neighbouring text node, which is what the file would read as.
bool AddText(xmlNode* parent, const std::string& text)
{
    if (text.empty())
        return true;
    NodePtr node(xmlNewDocText(parent->doc, XmlChars(text.c_str())));
    if (!node || !xmlAddChild(parent, node.get()))
        return false;
    node.release();
    return true;
}

bool AddTextElement(xmlNode* parent, const char* name, const std::string& text)
{
    NodePtr element(xmlNewDocNode(parent->doc, nullptr, XmlChars(name), nullptr));
    // The text goes in as a text node, not through xmlNodeSetContent, which
    // would read "&amp;" in a typed name as an entity reference.
    if (!element || !AddText(element.get(), text) || !xmlAddChild(parent, element.get()))
        return false;
    element.release();
    return true;
}

// Builds the new <Favorite> and places it after every other element of the
// document element, in front of the white space that closes it.
bool AppendEntry(xmlNode* root, const FavoriteEntry& entry)
{
    const EntryLayout layout = LayoutFor(root);
    NodePtr favorite(xmlNewDocNode(root->doc, nullptr, XmlChars("Favorite"), nullptr));
    if (!favorite || !AddText(favorite.get(), layout.inner) ||
        !AddTextElement(favorite.get(), "title", entry.title) ||
        !AddText(favorite.get(), layout.inner) ||
        !AddTextElement(favorite.get(), "url", entry.url) ||
        !AddText(favorite.get(), layout.closing))
        return false;

    xmlNode* placed = IsBlankText(root->last) ? xmlAddPrevSibling(root->last, favorite.get())
                                              : xmlAddChild(root, favorite.get());
    if (!placed)
        return false;
    xmlNode* added = favorite.release();
    if (!layout.before.empty()) {
        // Inserted after the entry is placed: in front of the closing white
        // space it would have merged with that text instead.
        NodePtr before(xmlNewDocText(root->doc, XmlChars(layout.before.c_str())));
        if (!before || !xmlAddPrevSibling(added, before.get()))
            return false;
        before.release();
    }
    return AddText(root, layout.after);
}

// Gives the last child of `entry` named `name` (the one read) `text` as
// its only content.
bool ReplaceEntryText(xmlNode* entry, const char* name, const std::string& text)
{
    xmlNode* element = nullptr;
    for (xmlNode* child = entry->children; child; child = child->next)
        if (IsNamed(child, name))
            element = child;
    if (!element)
        return false;
    while (xmlNode* child = element->children) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
    return AddText(element, text);
}

// Removes an entry and the white space that indents it, so that no empty
// line is left where it was.
void RemoveEntry(xmlNode* element)
{
    xmlNode* indent = IsBlankText(element->prev) ? element->prev : nullptr;
    xmlUnlinkNode(element);
    xmlFreeNode(element);
    if (indent) {
        xmlUnlinkNode(indent);
        xmlFreeNode(indent);
    }
}

int AppendToString(void* context, const char* buffer, int length)
{
    try {
        static_cast<std::string*>(context)->append(buffer, static_cast<std::size_t>(length));
        return length;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

// The document as the bytes of the file: in its own encoding, with its XML
// declaration as it was (or none), and its byte order mark.
std::optional<std::string> Serialize(const Document& document)
{
    xmlDoc* doc = document.doc.get();
    std::string bytes;
    const char* encoding = doc->encoding ? Chars(doc->encoding) : "UTF-8";
    if (document.utf8Bom && strcasecmp(encoding, "UTF-8") == 0)
        bytes.append(kUtf8Bom);
    int options = XML_SAVE_AS_XML | XML_SAVE_NO_XHTML;
    const bool hadDeclaration = doc->standalone != -1;
    if (!hadDeclaration)
        options |= XML_SAVE_NO_DECL;
    else if (!doc->encoding) {
        // Without an encoding to convert to, libxml2 writes every non-ASCII
        // character as a character reference, and asking it for UTF-8 would
        // add encoding="UTF-8" to the declaration: write the declaration here.
        options |= XML_SAVE_NO_DECL;
        bytes.append("<?xml version=\"").append(doc->version ? Chars(doc->version) : "1.0");
        if (doc->standalone == 1)
            bytes.append("\" standalone=\"yes");
        else if (doc->standalone == 0)
            bytes.append("\" standalone=\"no");
        bytes.append("\"?>\n");
    }
    xmlSaveCtxt* save = xmlSaveToIO(&AppendToString, nullptr, &bytes, encoding, options);
    if (!save)
        return std::nullopt;
    const long dumped = xmlSaveDoc(save, doc);
    const int flushed = xmlSaveClose(save);
    if (dumped < 0 || flushed < 0)
        return std::nullopt;
    return bytes;
}

// True when the document is written in UTF-8 or UTF-16, which hold every
// character. Any other encoding may need character references, which
// libxml2 2.9 can get wrong: through an ICU converter (used for names that
// iconv does not know) it drops characters and escapes the markup after
// them, leaving a file that no longer reads.
bool WritesEveryCharacter(const xmlDoc* doc)
{
    if (!doc->encoding)
        return true;
    const xmlCharEncoding encoding = xmlParseCharEncoding(Chars(doc->encoding));
    return encoding == XML_CHAR_ENCODING_UTF8 || encoding == XML_CHAR_ENCODING_UTF16LE ||
           encoding == XML_CHAR_ENCODING_UTF16BE;
}

// True when `bytes`, parsed afresh, read as the same entries as `doc`.
bool ReadsBackTheSame(xmlDoc* doc, const std::string& bytes)
{
    ParserPtr parser(xmlNewParserCtxt());
    if (!parser)
        return false;
    DocPtr written = Parse(parser.get(), true, [&bytes](xmlParserCtxt* ctxt) {
        return xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                 nullptr, kParseOptions);
    });
    if (!written)
        return false;
    const Selection expected = ReadFavorites(doc);
    const Selection actual = ReadFavorites(written.get());
    return expected.complete && actual.complete && expected.entries == actual.entries;
}

const char* SaveFailureMessage(ReplaceFailure failure)
{
    switch (failure) {
    case ReplaceFailure::ReadOnlyFile:
        return kMsgSaveReadOnly;
    case ReplaceFailure::NotAFile:
        return kMsgSaveNotAFile;
    case ReplaceFailure::FolderNotWritable:
        return kMsgSaveFolderNotWritable;
    case ReplaceFailure::DiskFull:
        return kMsgSaveDiskFull;
    default:
        return kMsgSaveFailed;
    }
}

bool Save(const Document& document, const std::string& path, FavoritesReporter& reporter)
{
    // Never write what the next read would refuse.
    const std::optional<std::string> bytes = Serialize(document);
    if (!bytes) {
        reporter.ShowMessage(kMsgSaveFailed);
        return false;
    }
    if (bytes->size() > kMaxFavoritesFileSize) {
        reporter.ShowMessage(kMsgSaveRefusedPrefix + path + " would be larger than " +
                             std::to_string(kMaxFavoritesFileSize >> 20) + " MB" +
                             kMsgSaveRefusedSuffix);
        return false;
    }
    if (!WritesEveryCharacter(document.doc.get()) &&
        !ReadsBackTheSame(document.doc.get(), *bytes)) {
        reporter.ShowMessage(kMsgSaveRefusedPrefix + std::string("the encoding of ") + path +
                             " cannot hold the change" + kMsgSaveRefusedSuffix);
        return false;
    }
    FileReplacement file;
    if (file.Begin(path) && file.Write(bytes->data(), bytes->size()) && file.Commit())
        return true;
    reporter.ShowMessage(SaveFailureMessage(file.Failure()));
    return false;
}

// Holds an advisory lock on the folder of the favorites file while a change
// reads and writes the file (the file itself is replaced, so its own lock
// would not carry over). Another program's change is waited for, a few
// seconds at most, through the reporter, which keeps the program's window
// alive meanwhile. A folder that cannot be opened is changed without a lock.
class FolderLock
{
public:
    FolderLock(const std::string& path, FavoritesReporter& reporter)
    {
        const auto slash = path.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        m_fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        // A folder without locks is changed as before.
        const auto tryLock = [this] {
            return flock(m_fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        };
        m_held = tryLock() || reporter.WaitForLock(tryLock, kLockWait);
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // False only when another program held the lock all along.
    bool Held() const { return m_fd < 0 || m_held; }

private:
    int m_fd = -1;
    bool m_held = false;
};

// What adding and deleting start with: the trimmed pair, the file's
// document element and the first of its children that reads as the pair.
struct Change
{
    FavoriteEntry wanted;
    Document document;
    xmlNode* root = nullptr;
    xmlNode* match = nullptr;
};

// What a missing favorites file starts as, in the shape of the one the
// program comes with.
constexpr std::string_view kNewFavoritesFile =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n</Favorites>\n";

// The file's document with its `Favorites` document element, for a change;
// nothing when there is no parser or the file cannot be read or has no such
// element (the user is told why). A missing file is started afresh when
// `create`.
std::optional<Document> OpenForChange(const std::string& path, FavoritesReporter& reporter,
                                      bool create)
{
    std::optional<Document> document = OpenDocument(path, reporter);
    if (!document)
        return std::nullopt;
    if (document->state == FavoritesFileState::Missing && create) {
        document->doc.reset(xmlReadMemory(kNewFavoritesFile.data(),
                                          static_cast<int>(kNewFavoritesFile.size()), nullptr,
                                          nullptr, kParseOptions));
        if (!document->doc)
            return std::nullopt;
        document->state = FavoritesFileState::Read;
    }
    if (document->doc && !FindDocumentElement(document->doc.get()))
        document->state = FavoritesFileState::NoFavorites;
    if (document->state != FavoritesFileState::Read || !document->doc) {
        if (document->state != FavoritesFileState::Read)
            reporter.ShowMessage(
                kMsgSaveRefusedPrefix + FavoritesFileProblem(document->state, path) +
                (document->state == FavoritesFileState::Missing ? "." : kMsgSaveRefusedSuffix));
        return std::nullopt;
    }
    return document;
}

// Nothing when the change ends here and returns false: a blank name or
// address (the file is not even opened), no parser, a file that cannot be
// read or has no `Favorites` document element (the user is told why), or a
// text that cannot be read. A missing file is started afresh when `create`.
std::optional<Change> StartChange(const std::string& path, FavoritesReporter& reporter,
                                  const std::string& name, const std::string& url, bool create)
{
    Change change{{TrimFavoriteText(name), TrimFavoriteText(url)}, {}};
    if (change.wanted.title.empty() || change.wanted.url.empty())
        return std::nullopt;
    std::optional<Document> document = OpenForChange(path, reporter, create);
    if (!document)
        return std::nullopt;
    change.document = std::move(*document);
    change.root = FindDocumentElement(change.document.doc.get());
    if (!FindEntry(change.root, change.wanted, change.match))
        return std::nullopt;
    return change;
}

// A change of the file from its start to its save: XML errors kept quiet,
// the folder locked, and the file read as StartChange reads it. Empty when
// the change ends before it starts: the lock stayed another program's (the
// user is told) or StartChange gave nothing.
class LockedChange
{
public:
    LockedChange(const std::string& path, FavoritesReporter& reporter, const std::string& name,
                 const std::string& url, bool create)
        : m_lock(path, reporter)
    {
        if (!m_lock.Held()) {
            reporter.ShowMessage(kMsgSaveBusy);
            return;
        }
        m_change = StartChange(path, reporter, name, url, create);
    }

    explicit operator bool() const { return m_change.has_value(); }
    Change* operator->() { return &*m_change; }

private:
    SilentXmlErrors m_silent;
    FolderLock m_lock;
    std::optional<Change> m_change;
};

// Says which characters of the name or the address a favorites file cannot
// hold; true when there are none.
bool CanHold(const FavoriteEntry& entry, FavoritesReporter& reporter)
{
    const std::pair<const std::string*, const char*> texts[] = {{&entry.title, "name"},
                                                                {&entry.url, "address"}};
    for (const auto& [text, what] : texts) {
        const std::string bad = CharactersXmlCannotHold(*text);
        if (!bad.empty()) {
            reporter.ShowMessage(std::string("The favorite was not saved: the ") + what +
                                 " holds characters a favorites file cannot keep (" + bad + ").");
            return false;
        }
    }
    return true;
}

} // namespace

bool operator==(const FavoriteEntry& a, const FavoriteEntry& b)
{
    return a.title == b.title && a.url == b.url;
}

int RemoveLeftoverSaves(const std::string& path)
{
    return RemoveLeftoverReplacements(path);
}

bool FavoritesReporter::WaitForLock(const std::function<bool()>& tryLock,
                                    std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!tryLock()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        usleep(10000);
    }
    return true;
}

std::string FavoritesFileProblem(FavoritesFileState state, const std::string& path)
{
    switch (state) {
    case FavoritesFileState::Read:
        return {};
    case FavoritesFileState::Missing:
        return path + " does not exist";
    case FavoritesFileState::NotAFile:
        return path + " is not a file";
    case FavoritesFileState::TooLarge:
        return path + " is larger than " + std::to_string(kMaxFavoritesFileSize >> 20) + " MB";
    case FavoritesFileState::Unreadable:
        return path + " cannot be read";
    case FavoritesFileState::Malformed:
        return path + " is not well-formed XML";
    case FavoritesFileState::NoFavorites:
        return path + " holds no <Favorites> list";
    }
    return {};
}

std::string UnreadableFavoritesMessage(FavoritesFileState state, const std::string& path)
{
    if (state == FavoritesFileState::Read || state == FavoritesFileState::Missing)
        return {};
    return "My Favorites cannot be shown: " + FavoritesFileProblem(state, path) + ".";
}

std::string TrimFavoriteText(std::string_view text)
{
    std::string trimmed(text);
    TrimInPlace(trimmed);
    return trimmed;
}

FavoritesStore::FavoritesStore(std::string path, FavoritesReporter& reporter)
    : m_path(std::move(path)), m_reporter(reporter)
{
}

std::vector<FavoriteEntry> FavoritesStore::LoadFavorites(FavoritesFileState* state) const
{
    SilentXmlErrors silent;
    FavoritesFileState found = FavoritesFileState::Read;
    std::optional<std::vector<FavoriteEntry>> entries = ReadWithoutTree(m_path, m_reporter, found);
    if (!entries)
        entries = LoadFavoritesThroughTree(&found);
    if (state)
        *state = found;
    return std::move(*entries);
}

std::vector<FavoriteEntry> FavoritesStore::LoadFavoritesThroughTree(FavoritesFileState* state) const
{
    SilentXmlErrors silent;
    const std::optional<Document> document = OpenDocument(m_path, m_reporter, true);
    if (state)
        *state = document ? document->state : FavoritesFileState::Read;
    if (!document || !document->doc)
        return {};
    if (state && !FindDocumentElement(document->doc.get()))
        *state = FavoritesFileState::NoFavorites;
    Selection selection = ReadFavorites(document->doc.get());
    if (selection.fetchFailed)
        m_reporter.ShowMessage(kMsgAccessNodeFailure);
    return std::move(selection.entries);
}

bool FavoritesStore::AddFavorite(const std::string& name, const std::string& url) const
{
    if (TrimFavoriteText(name).size() > kMaxFavoriteTextLength ||
        TrimFavoriteText(url).size() > kMaxFavoriteTextLength) {
        m_reporter.ShowMessage(kMsgTextTooLong);
        return false;
    }
    const FavoriteEntry typed{TrimFavoriteText(name), TrimFavoriteText(url)};
    if (!typed.title.empty() && !typed.url.empty() && !CanHold(typed, m_reporter))
        return false;
    LockedChange change(m_path, m_reporter, name, url, true);
    if (!change)
        return false;
    if (change->match) {
        m_reporter.ShowMessage(kMsgSameContentExists);
        return false;
    }
    if (!AppendEntry(change->root, change->wanted))
        return false;
    return Save(change->document, m_path, m_reporter);
}

bool FavoritesStore::DeleteFavorite(const std::string& name, const std::string& url) const
{
    LockedChange change(m_path, m_reporter, name, url, false);
    if (!change)
        return false;
    if (change->match)
        RemoveEntry(change->match);
    return Save(change->document, m_path, m_reporter);
}

FavoritesStore::EntryEdit FavoritesStore::ChangeFavorite(const FavoriteEntry& entry,
                                                         const FavoriteEntry* changed) const
{
    FavoriteEntry typed;
    if (changed) {
        typed = {TrimFavoriteText(changed->title), TrimFavoriteText(changed->url)};
        if (typed.title.size() > kMaxFavoriteTextLength ||
            typed.url.size() > kMaxFavoriteTextLength) {
            m_reporter.ShowMessage(kMsgTextTooLong);
            return EntryEdit::Failed;
        }
        if (typed.title.empty() || typed.url.empty() || !CanHold(typed, m_reporter))
            return EntryEdit::Failed;
    }
    LockedChange change(m_path, m_reporter, entry.title, entry.url, false);
    if (!change)
        return EntryEdit::Failed;
    if (!change->match)
        return EntryEdit::Gone;
    if (!changed) {
        RemoveEntry(change->match);
    } else {
        if (typed == change->wanted)
            return EntryEdit::Done; // nothing to write
        xmlNode* same = nullptr;
        if (!FindEntry(change->root, typed, same))
            return EntryEdit::Failed;
        if (same) {
            m_reporter.ShowMessage(kMsgSameContentExists);
            return EntryEdit::Failed;
        }
        if (!ReplaceEntryText(change->match, "title", typed.title) ||
            !ReplaceEntryText(change->match, "url", typed.url)) {
            m_reporter.ShowMessage(kMsgSaveFailed);
            return EntryEdit::Failed;
        }
    }
    return Save(change->document, m_path, m_reporter) ? EntryEdit::Done : EntryEdit::Failed;
}

FavoritesStore::AddedFavorites
FavoritesStore::AddFavorites(const std::vector<FavoriteEntry>& entries) const
{
    AddedFavorites result;
    std::vector<FavoriteEntry> typed;
    typed.reserve(entries.size());
    for (const FavoriteEntry& entry : entries) {
        FavoriteEntry trimmed{TrimFavoriteText(entry.title), TrimFavoriteText(entry.url)};
        if (trimmed.title.size() > kMaxFavoriteTextLength ||
            trimmed.url.size() > kMaxFavoriteTextLength) {
            m_reporter.ShowMessage(kMsgTextTooLong);
            return {};
        }
        if (trimmed.title.empty() || trimmed.url.empty())
            ++result.skipped;
        else if (!CanHold(trimmed, m_reporter))
            return {};
        else
            typed.push_back(std::move(trimmed));
    }
    SilentXmlErrors silent;
    FolderLock lock(m_path, m_reporter);
    if (!lock.Held()) {
        m_reporter.ShowMessage(kMsgSaveBusy);
        return {};
    }
    std::optional<Document> document = OpenForChange(m_path, m_reporter, true);
    if (!document)
        return {};
    xmlNode* root = FindDocumentElement(document->doc.get());
    // The pairs every child element reads as, the rule FindEntry matches by.
    std::set<std::pair<std::string, std::string>> present;
    std::size_t entityBudget = kEntityTextBudget;
    FavoriteEntry read;
    for (const xmlNode* child = root->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (!ReadEntry(child, read, entityBudget))
            return {};
        present.emplace(std::move(read.title), std::move(read.url));
    }
    std::size_t added = 0;
    for (const FavoriteEntry& entry : typed) {
        if (!present.emplace(entry.title, entry.url).second) {
            ++result.skipped;
            continue;
        }
        if (!AppendEntry(root, entry)) {
            m_reporter.ShowMessage(kMsgSaveFailed);
            return {};
        }
        ++added;
    }
    // Nothing new: the file is left as it is, a missing one not created.
    if (added > 0 && !Save(*document, m_path, m_reporter))
        return {};
    result.done = true;
    result.added = added;
    return result;
}

} // namespace lumo
