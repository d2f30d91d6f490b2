#include "app/app_paths.h"

#include <cerrno>
#include <unistd.h>
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
    for (;;)
    {
        if (getcwd(buffer.data(), buffer.size()))
            return std::string(buffer.data());
        if (errno != ERANGE)
            return std::nullopt;
        // Longer than the program accepts; read it whole so the caller can tell.
        buffer.resize(buffer.size() * 2);
    }
}

std::string FavoritesFilePath(const std::string& appDir)
{
    return appDir + "/Favorites.xml";
}

std::string HelpFileUrl(const std::string& appDir)
{
    std::string path = appDir;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += "readme.htm";

    static const char* hex = "0123456789ABCDEF";
    std::string url = "file://";
    char previous = '\0';
    for (unsigned char c : path)
    {
        // A doubled separator (the root directory) would read as a host name.
        if (c == '/' && previous == '/')
            continue;
        previous = static_cast<char>(c);
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (keep)
        {
            url += static_cast<char>(c);
        }
        else
        {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0x0F];
        }
    }
    return url;
}

const char* SkinFileForStyle(int skinStyle)
{
    switch (skinStyle)
    {
    case 1:
        return "Skin/XPCorona.ssk";
    case 2:
        return "Skin/Minimized.ssk";
    case 3:
        return "Skin/SoftCrystal.ssk";
    default:
        return nullptr;
    }
}

} // namespace lumo
