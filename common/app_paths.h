#pragma once
// Where the program finds its files, and the addresses built from them.
#include <optional>
#include <string>

namespace lumo {

// The longest current directory the program takes as its program directory.
inline constexpr std::size_t kMaxAppDirLength = 1024;

// The program directory for a current directory as the system reported it
// (nullopt when it could not be read): the directory itself, or the
// filesystem root "/" when it is unknown, empty or longer than kMaxAppDirLength.
std::string AppDirFor(const std::optional<std::string>& currentDir);

// The process's current directory, or nullopt when the system cannot report it.
std::optional<std::string> CurrentDirectory();

// "<dir>/Favorites.xml", appended without any normalisation (the root gives "//Favorites.xml").
std::string FavoritesFilePath(const std::string& appDir);

// A well-formed file URL of "<dir>/readme.htm": every byte of the path that is
// not unreserved is percent-escaped, so '#', '%', '?' and blanks survive.
std::string HelpFileUrl(const std::string& appDir);

// The skin file of a SkinStyle value, relative to the current directory, or
// nullptr for a value outside 1 to 3.
const char* SkinFileForStyle(int skinStyle);

} // namespace lumo
