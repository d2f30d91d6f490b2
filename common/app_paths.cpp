#include "common/app_paths.h"

#include "common/address_text.h"

#include <cerrno>
#include <unistd.h>
#include <utility>
#include <vector>

namespace lumo {

std::string AppDirFor(const std::optional<std::string>& currentDir)
{
    if (!currentDir || currentDir->empty() || currentDir->size() > kMaxAppDirLength)
        return "/";
    return *currentDir;
}

std::optional<std::string> CurrentDirectory()
{
    std::vector<char> buffer(kMaxAppDirLength + 1);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()))
            return std::string(buffer.data());
        if (errno != ERANGE)
            return std::nullopt;
        // Longer than the program accepts; read it whole so the caller can tell.
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

std::string& ProgramDirectoryValue()
{
    static std::string dir;
    return dir;
}

} // namespace

const std::string& ProgramDirectory()
{
    std::string& dir = ProgramDirectoryValue();
    if (dir.empty())
        dir = AppDirFor(CurrentDirectory());
    return dir;
}

void SetProgramDirectory(std::string dir)
{
    ProgramDirectoryValue() = std::move(dir);
}

std::string FavoritesFilePath(const std::string& appDir)
{
    return appDir + "/Favorites.xml";
}

std::string FavoritesFilePath()
{
    return FavoritesFilePath(ProgramDirectory());
}

std::string HelpFileUrl(const std::string& appDir)
{
    std::string path = appDir;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += "readme.htm";

    // A doubled separator (the root directory) would read as a host name.
    std::string single;
    for (char c : path)
        if (c != '/' || single.empty() || single.back() != '/')
            single += c;
    return "file://" + PercentEncode(single, "/");
}

const char* SkinFileForStyle(SkinStyle skinStyle)
{
    for (const SkinNames& skin : kSkins)
        if (skin.style == skinStyle)
            return skin.file;
    return nullptr;
}

const char* ReaderSkinName(SkinStyle skinStyle)
{
    for (const SkinNames& skin : kSkins)
        if (skin.style == skinStyle)
            return skin.readerName;
    return ReaderSkinName(SkinStyle::Minimized);
}

} // namespace lumo
