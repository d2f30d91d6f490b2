// Every character the program shows must be in a font installed on the
// machine, or it shows as an empty box. The characters are taken from where
// the program takes its texts: the sources of its windows and messages (with
// the \u and \x escapes decoded) and the files it shows. The fonts are the
// machine's own, found through fontconfig as GTK and WebKit find them.
#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "favorites/favorites_backup.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = fs::path(LUMO_SOURCE_DIR);

// The source's \uXXXX and \xHH escapes replaced by what they stand for.
std::string DecodeEscapes(std::string_view source)
{
    std::string out;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const std::size_t digits = i + 1 < source.size() && source[i] == '\\'
                                       ? (source[i + 1] == 'u'   ? 4
                                          : source[i + 1] == 'x' ? 2
                                                                 : 0)
                                       : 0;
        if (digits == 0 || i + 2 + digits > source.size()) {
            out += source[i];
            continue;
        }
        const auto value = std::stoul(std::string(source.substr(i + 2, digits)), nullptr, 16);
        if (digits == 2)
            out += static_cast<char>(value);
        else if (value < 0x800)
            out +=
                {static_cast<char>(0xC0 | (value >> 6)), static_cast<char>(0x80 | (value & 0x3F))};
        else
            out += {static_cast<char>(0xE0 | (value >> 12)),
                    static_cast<char>(0x80 | ((value >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (value & 0x3F))};
        i += 1 + digits;
    }
    return out;
}

// The non-ASCII characters of UTF-8 text; bytes that are no UTF-8 are skipped.
std::vector<char32_t> NonAscii(std::string_view text)
{
    std::vector<char32_t> found;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (length == 0 || i + length > text.size())
            continue;
        char32_t c = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        // The byte order mark and zero-width marks are drawn as nothing.
        if (c != 0xFEFF && (c < 0x200B || c > 0x200F))
            found.push_back(c);
        i += length - 1;
    }
    return found;
}

// Each non-ASCII character of the program's sources and shown files, with
// the first file it is in.
std::map<char32_t, std::string> CharactersShown()
{
    std::map<char32_t, std::string> shown;
    for (const char* folder : {"app", "ui", "browser", "favorites", "directory", "res"})
        for (const auto& entry : fs::recursive_directory_iterator(kSourceDir / folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".h" && extension != ".cpp" && extension != ".htm" &&
                extension != ".html" && extension != ".xml" && extension != ".tsv" &&
                extension != ".ssk" && extension != ".css")
                continue;
            for (char32_t c : NonAscii(DecodeEscapes(lumo::test::ReadFile(entry.path()))))
                shown.try_emplace(c, entry.path().lexically_relative(kSourceDir).string());
        }
    return shown;
}

// Whether an installed font that GTK can draw (TrueType or CFF) has `c`.
bool AnInstalledFontHas(char32_t c)
{
    FcCharSet* charset = FcCharSetCreate();
    FcCharSetAddChar(charset, c);
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddCharSet(pattern, FC_CHARSET, charset);
    FcObjectSet* objects = FcObjectSetBuild(FC_FONTFORMAT, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    bool found = false;
    for (int i = 0; fonts && i < fonts->nfont && !found; ++i) {
        FcChar8* format = nullptr;
        if (FcPatternGetString(fonts->fonts[i], FC_FONTFORMAT, 0, &format) == FcResultMatch) {
            const std::string_view name = reinterpret_cast<const char*>(format);
            found = name == "TrueType" || name == "CFF";
        }
    }
    if (fonts)
        FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    FcCharSetDestroy(charset);
    return found;
}

TEST(MessageFonts, AnInstalledFontHasEveryCharacterTheProgramShows)
{
    ASSERT_TRUE(FcInit());
    const std::map<char32_t, std::string> shown = CharactersShown();
    // The backup messages are in Chinese only: the scan must have seen them.
    for (const char* message : {lumo::kMsgBackupSourceUnreadable, lumo::kMsgBackupDone})
        for (char32_t c : NonAscii(message))
            EXPECT_TRUE(shown.contains(c)) << "\"" << message << "\" was not found in the sources";
    for (const auto& [c, where] : shown)
        EXPECT_TRUE(AnInstalledFontHas(c))
            << "no installed font has U+" << std::hex << static_cast<unsigned>(c) << " (from "
            << where << "): it shows as a box; scripts/setup.sh and the package must bring one";
    FcFini();
}

} // namespace
