#pragma once
// Where the program finds its files, and the addresses built from them.
#include <optional>
#include <string>

#include "common/settings.h"

namespace lumo {

// The longest current directory the program takes as its program directory.
inline constexpr std::size_t kMaxAppDirLength = 1024;

// The program directory for a current directory as the system reported it
// (nullopt when it could not be read): the directory itself, or the
// filesystem root "/" when it is unknown, empty or longer than kMaxAppDirLength.
std::string AppDirFor(const std::optional<std::string>& currentDir);

// The process's current directory, or nullopt when the system cannot report it.
std::optional<std::string> CurrentDirectory();

// The program directory, where the program reads its favorites and its help
// page: settled once at start, in main, from the current directory (see
// AppDirFor). Read while it is not settled (windows built without main), it
// is settled then the same way.
const std::string& ProgramDirectory();
// Settles the program directory at `dir`; an empty `dir` leaves it to be
// settled when it is next read.
void SetProgramDirectory(std::string dir);

// "<dir>/Favorites.xml", appended without any normalisation (the root gives "//Favorites.xml").
std::string FavoritesFilePath(const std::string& appDir);
// The favorites file the program reads, adds to, edits and backs up: the one
// of the program directory.
std::string FavoritesFilePath();

// A well-formed file URL of "<dir>/readme.htm": every byte of the path that is
// not unreserved is percent-escaped, so '#', '%', '?' and blanks survive.
std::string HelpFileUrl(const std::string& appDir);

// The skins: each style's file, relative to the current directory, and the
// name the reader view's page is tinted by.
struct SkinNames
{
    SkinStyle style;
    const char* file;
    const char* readerName;
};
inline constexpr SkinNames kSkins[] = {
    {SkinStyle::XPCorona, "Skin/XPCorona.ssk", "xp"},
    {SkinStyle::Minimized, "Skin/Minimized.ssk", "mini"},
    {SkinStyle::SoftCrystal, "Skin/SoftCrystal.ssk", "soft"},
};

// The skin file of a style, or nullptr for a stored value that names none.
const char* SkinFileForStyle(SkinStyle skinStyle);
// The reader view's name for a style; the Minimized skin's for a stored value
// that names none.
const char* ReaderSkinName(SkinStyle skinStyle);

} // namespace lumo
