#pragma once
// The favorites file: the user's own list of newspaper sites, kept as XML in
// "Favorites.xml" in the program directory.
//
// <Favorites>
//   <Favorite>
//     <title>Le Monde</title>
//     <url>https://www.lemonde.fr/?a=1&amp;b=2</url>
//   </Favorite>
// </Favorites>
//
// Every operation loads the whole file afresh; a change writes the whole
// document back before it returns. Nothing is cached in between, so a reader
// always sees the latest file, also one edited by hand while the program runs.
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo {

// One favorite: the name shown to the user and the address opened, both UTF-8.
struct FavoriteEntry
{
    std::string title;
    std::string url;
};

bool operator==(const FavoriteEntry& a, const FavoriteEntry& b);

inline constexpr const char* kMsgNoXmlParser =
    "Unable to create DOMDocument object. Please check the installation of the MS XML Parser!";
inline constexpr const char* kMsgAccessNodeFailure = "Access node failure!";
inline constexpr const char* kMsgSameContentExists =
    "The same content already exist, delete it then add new!";
// Said once a favorite was added or deleted.
inline constexpr const char* kMsgSuccessfully = "Successfully!";

// Why a change could not be saved; the file is left as it was.
inline constexpr const char* kMsgSaveReadOnly =
    "The favorites could not be saved: Favorites.xml is read-only.";
inline constexpr const char* kMsgSaveNotAFile =
    "The favorites could not be saved: Favorites.xml is no longer a file.";
inline constexpr const char* kMsgSaveFolderNotWritable =
    "The favorites could not be saved: the folder of Favorites.xml cannot be written to.";
inline constexpr const char* kMsgSaveDiskFull =
    "The favorites could not be saved: the disk is full.";
inline constexpr const char* kMsgSaveFailed = "The favorites could not be saved.";
inline constexpr const char* kMsgSaveBusy =
    "The favorites could not be saved: another program is changing Favorites.xml. Try again.";
// Around the problem of a file that a change could not read.
inline constexpr const char* kMsgSaveRefusedPrefix = "The favorites could not be saved: ";
inline constexpr const char* kMsgSaveRefusedSuffix = ". The file is left as it is.";

// The longest name or address a change writes, in bytes: far above any real
// one and far below what the XML parser reads back in one text (10 MB).
inline constexpr std::size_t kMaxFavoriteTextLength = 65536;
inline const std::string kMsgTextTooLong = "A name or an address can be at most " +
                                           std::to_string(kMaxFavoriteTextLength) + " bytes long.";

// A larger file reads as a missing one. Far beyond any useful list (the tree
// shows at most 1,395 favorites, about 150 KB), it bounds what a hostile file
// can cost.
inline constexpr std::size_t kMaxFavoritesFileSize = std::size_t{64} << 20;

// Receives the messages the favorites operations show; the program shows them
// as message boxes, tests capture them.
class FavoritesReporter
{
public:
    virtual ~FavoritesReporter() = default;
    virtual void ShowMessage(const std::string& utf8Text) = 0;

    // Waits while another program changes the favorites file: calls
    // `tryLock` until it returns true, for `limit` at most; false when it
    // never did. This one just sleeps in between; the program's keeps its
    // window drawn and answering meanwhile.
    virtual bool WaitForLock(const std::function<bool()>& tryLock, std::chrono::milliseconds limit);
};

// What reading the favorites file found.
enum class FavoritesFileState
{
    Read,        // its entries, perhaps none
    Missing,     // no file there: no entries, and the first add creates it
    NotAFile,    // a folder, a pipe, a device
    TooLarge,    // larger than kMaxFavoritesFileSize
    Unreadable,  // it cannot be opened or read
    Malformed,   // not well-formed XML (an undefined entity included)
    NoFavorites, // its document element is not `Favorites`
};

// Why the file at `path` cannot be used ("/dir/Favorites.xml is not a
// file"); empty for Read.
std::string FavoritesFileProblem(FavoritesFileState state, const std::string& path);

// What the program says at start about a favorites file it cannot read,
// naming it; empty when it read the file or there is none.
std::string UnreadableFavoritesMessage(FavoritesFileState state, const std::string& path);

// Removes the temporary files that saves of the favorites file at `path`
// (and of its backup) left beside it when the program was stopped in the
// middle: only the program's own hidden names, a minute old or more, that no
// running save holds. Returns how many were removed.
int RemoveLeftoverSaves(const std::string& path);

// Removes space, tab, line feed, vertical tab, form feed and carriage return
// from both ends of a text.
std::string TrimFavoriteText(std::string_view text);

// Reads and changes the favorites file at one path.
//
// Which elements are entries: for reading, every `Favorite` element directly
// under a document element `Favorites` (XPath "Favorites/Favorite"); for adding
// and deleting, every child element of that document element, whatever its
// name. An entry's title is the text of its last child element named exactly
// "title", its address that of its last child named exactly "url" (all text
// beneath it, entity references included); a missing one reads as empty.
// Names compare like DOM node names: case-sensitive, and a prefixed "x:title"
// is not "title".
//
// White space around a stored text is removed when it is read, with
// TrimFavoriteText, the same trimming the changes apply to what the user
// typed. So a hand-edited "<title>  Le Monde\n</title>" is shown as
// "Le Monde", and deleting "Le Monde" removes it: what the list shows and
// what a delete matches against are always the same text. Comparison is
// exact otherwise: case-sensitive, no other normalisation.
//
// Writing keeps every other node of the file (comments, processing
// instructions, foreign elements, the document type, the XML declaration or
// its absence, a UTF-8 byte order mark) and the file's encoding: a file read
// as ISO-8859-1 or GBK is written back in it, with characters it cannot hold
// written as character references. In any encoding but UTF-8 and UTF-16 the
// new bytes are read back before they replace the file, and a change whose
// file would not read as the same entries is refused. A new entry is
// indented like the entries before it. The new document goes to a temporary
// file beside the old one, is flushed to disk and renamed over it, keeping
// the old file's permission bits and, where it may, its owner: a failed save
// leaves the old file byte for byte as it was.
//
// A file whose permission bits allow no one to write it is never replaced,
// even when the program runs as root (who could): the user's protection is
// honoured and the change returns false. Files that are unreadable, not
// regular, larger than kMaxFavoritesFileSize or not well-formed XML
// (namespaces included) read as having no entries and are never written; a
// missing file reads the same and is created by the first add.
// Parsing reads only the file itself: no network, no external entities or
// document types, no entity substitution; text gathered through entity
// references is bounded, so an entity bomb cannot hang or exhaust memory.
class FavoritesStore
{
public:
    FavoritesStore(std::string path, FavoritesReporter& reporter);

    const std::string& Path() const { return m_path; }

    // The entries in document order; empty when the file is missing,
    // unreadable or has no entries, and `state` tells which. Never writes
    // the file.
    std::vector<FavoriteEntry> LoadFavorites(FavoritesFileState* state = nullptr) const;
    // The same entries read through the file's whole tree. LoadFavorites
    // builds the tree only for a file beyond plain entries (with a document
    // type, entities of its own or a text of a megabyte); this builds it for
    // every file, so that the two ways can be compared.
    std::vector<FavoriteEntry> LoadFavoritesThroughTree(FavoritesFileState* state = nullptr) const;

    // Appends (name, url), both trimmed, as the last entry; a missing file
    // is created with it. False with kMsgTextTooLong when either is longer
    // than kMaxFavoriteTextLength; with a message naming them when a text
    // holds characters XML cannot carry (control characters, U+FFFF, invalid
    // UTF-8). False without a message when either is empty after trimming;
    // with a message saying why when the file cannot be read or has no
    // `Favorites` document element; with kMsgSameContentExists when an entry
    // already reads as the same pair, and with one of the kMsgSave...
    // messages when the save fails. The file is written only when this
    // returns true.
    //
    // Adding and deleting hold a lock on the file's folder from reading the
    // file to writing it, so that changes from several programs at once are
    // each made to the file as the one before left it; none is lost.
    bool AddFavorite(const std::string& name, const std::string& url) const;

    // Removes the first entry that reads as (name, url), both trimmed, and
    // writes the file back, also when nothing matched. False without a
    // message when either text is empty after trimming; with a message
    // saying why when the file cannot be read or has no `Favorites` document
    // element; with a kMsgSave... message when the save fails.
    bool DeleteFavorite(const std::string& name, const std::string& url) const;

    // What a change of one entry came to.
    enum class EntryEdit
    {
        Done,
        // No entry reads as the one to change any more: another program
        // changed the file meanwhile. Nothing is written or said.
        Gone,
        Failed, // a message said why; the file is left as it was
    };
    // Changes the first entry that reads as `entry` (both trimmed): gives it
    // the name and address of `changed`, trimmed, in place (the rest of the
    // entry and of the file is kept), or removes it when `changed` is null.
    // One change under the lock of AddFavorite, with its rules and messages:
    // kMsgTextTooLong, the characters XML cannot carry, kMsgSameContentExists
    // when another entry already reads as the changed pair, the kMsgSave...
    // messages. Failed without a message when a changed text is empty after
    // trimming.
    EntryEdit ChangeFavorite(const FavoriteEntry& entry, const FavoriteEntry* changed) const;

    // What adding a list of favorites came to.
    struct AddedFavorites
    {
        bool done = false; // false: nothing was written, and a message said why
        std::size_t added = 0;
        // Already in the file, earlier in the list, or blank after trimming.
        std::size_t skipped = 0;
    };
    // Appends the entries, each trimmed, in their order, as one change of
    // the file under the lock and rules of AddFavorite: the whole list is
    // refused with AddFavorite's message when a text is too long or holds
    // characters XML cannot carry, or when the file cannot be read or saved.
    // An entry that reads as the same pair as one in the file or earlier in
    // the list is skipped, without a message. The file is written once, and
    // only when something was added; a missing file is created then.
    AddedFavorites AddFavorites(const std::vector<FavoriteEntry>& entries) const;

private:
    std::string m_path;
    FavoritesReporter& m_reporter;
};

} // namespace lumo
