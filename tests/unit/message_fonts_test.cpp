// Every character the program shows must be in a font installed on the
// machine, or it shows as an empty box. The characters are taken from where
// the program takes its texts: the sources of its windows and messages (with
// C++ escapes decoded) and the files it shows (the newspaper catalogue, the
// default favorites, the help page, the start page, the skins). The fonts are
// the machine's own, found through fontconfig as GTK and WebKit find them.
#include "favorites/favorites_backup.h"

#include "temp_dir.h"
#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = fs::path(__FILE__).parent_path() / ".." / "..";

// The program's folders, and the kinds of files in them that hold its texts.
constexpr std::array kProgramFolders = {"app", "ui", "browser", "favorites", "directory", "res"};
const std::set<std::string> kCppFiles = {".h", ".cpp"};
const std::set<std::string> kMarkupFiles = {".htm", ".html", ".xml", ".svg"};
const std::set<std::string> kPlainFiles = {".tsv", ".css", ".ssk"};

// Code points drawn as nothing, which no font needs: the C1 controls and
// Unicode's default-ignorable code points (the byte order mark among them).
constexpr std::array<std::pair<char32_t, char32_t>, 18> kNotDrawn = {{
    {0x80, 0x9F},
    {0xAD, 0xAD},
    {0x34F, 0x34F},
    {0x61C, 0x61C},
    {0x115F, 0x1160},
    {0x17B4, 0x17B5},
    {0x180B, 0x180F},
    {0x200B, 0x200F},
    {0x202A, 0x202E},
    {0x2060, 0x206F},
    {0x3164, 0x3164},
    {0xFE00, 0xFE0F},
    {0xFEFF, 0xFEFF},
    {0xFFA0, 0xFFA0},
    {0xFFF0, 0xFFF8},
    {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A},
    {0xE0000, 0xE0FFF},
}};

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The value of up to `maxDigits` digits in `base` at `text[at]`; `count` gets
// how many there were.
char32_t ParseNumber(std::string_view text, std::size_t at, std::size_t maxDigits, int base,
                     std::size_t& count)
{
    char32_t value = 0;
    for (count = 0; count < maxDigits && at + count < text.size(); ++count) {
        const char ch = text[at + count];
        int digit = -1;
        if (ch >= '0' && ch <= '9')
            digit = ch - '0';
        else if (ch >= 'a' && ch <= 'f')
            digit = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F')
            digit = ch - 'A' + 10;
        if (digit < 0 || digit >= base)
            break;
        value = value * base + digit;
    }
    return value;
}

// C++ source with its escapes (\xHH, \ooo, \uXXXX, \UXXXXXXXX) replaced by the
// bytes they stand for.
std::string DecodeCppEscapes(std::string_view source)
{
    std::string out;
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (source[i] != '\\' || i + 1 == source.size()) {
            out += source[i];
            continue;
        }
        const char kind = source[i + 1];
        std::size_t count = 0;
        if (kind == 'x') {
            out += static_cast<char>(ParseNumber(source, i + 2, 2, 16, count));
            i += 1 + count;
        } else if (kind == 'u' || kind == 'U') {
            AppendUtf8(out, ParseNumber(source, i + 2, kind == 'u' ? 4 : 8, 16, count));
            i += 1 + count;
        } else if (kind >= '0' && kind <= '7') {
            out += static_cast<char>(ParseNumber(source, i + 1, 3, 8, count));
            i += count;
        } else {
            out += kind; // \\, \", \n...: ASCII
            ++i;
        }
    }
    return out;
}

// Markup with its numeric character references (&#NNNN; and &#xHHHH;)
// replaced by the characters.
std::string DecodeCharacterReferences(std::string_view markup)
{
    std::string out;
    for (std::size_t i = 0; i < markup.size(); ++i) {
        const bool hex = markup.substr(i, 3) == "&#x" || markup.substr(i, 3) == "&#X";
        if (markup.substr(i, 2) == "&#") {
            const std::size_t digits = i + (hex ? 3 : 2);
            std::size_t count = 0;
            const char32_t c = ParseNumber(markup, digits, 8, hex ? 16 : 10, count);
            if (count > 0 && digits + count < markup.size() && markup[digits + count] == ';') {
                AppendUtf8(out, c);
                i = digits + count;
                continue;
            }
        }
        out += markup[i];
    }
    return out;
}

// The code points of UTF-8 text. Bytes that are no UTF-8 (binary constants
// written as escapes) are left out.
std::vector<char32_t> CodePoints(std::string_view text)
{
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            ++i;
            continue;
        }
        points.push_back(c);
        i += length;
    }
    return points;
}

bool IsDrawn(char32_t c)
{
    for (const auto& [first, last] : kNotDrawn)
        if (c >= first && c <= last)
            return false;
    return true;
}

// Each non-ASCII character the program can show, with the first file (relative
// to the source tree) it was found in.
std::map<char32_t, std::string> CharactersShown()
{
    std::map<char32_t, std::string> shown;
    for (const char* folder : kProgramFolders) {
        for (const auto& entry : fs::recursive_directory_iterator(kSourceDir / folder)) {
            const std::string extension = entry.path().extension().string();
            std::string text;
            if (kCppFiles.contains(extension))
                text = DecodeCppEscapes(lumo::test::ReadFile(entry.path().string()));
            else if (kMarkupFiles.contains(extension))
                text = DecodeCharacterReferences(lumo::test::ReadFile(entry.path().string()));
            else if (kPlainFiles.contains(extension))
                text = lumo::test::ReadFile(entry.path().string());
            for (char32_t c : CodePoints(text))
                if (c >= 0x80 && IsDrawn(c))
                    shown.try_emplace(c, entry.path().lexically_relative(kSourceDir).string());
        }
    }
    return shown;
}

struct PatternFree
{
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct CharSetFree
{
    void operator()(FcCharSet* charset) const { FcCharSetDestroy(charset); }
};
struct ObjectSetFree
{
    void operator()(FcObjectSet* objects) const { FcObjectSetDestroy(objects); }
};
struct FontSetFree
{
    void operator()(FcFontSet* fonts) const { FcFontSetDestroy(fonts); }
};

// Whether an installed font has a glyph for `c` that GTK can draw: Pango takes
// only TrueType and CFF (OpenType) fonts, no Type 1 or bitmap fonts.
bool AnInstalledFontHas(char32_t c)
{
    std::unique_ptr<FcCharSet, CharSetFree> charset(FcCharSetCreate());
    FcCharSetAddChar(charset.get(), c);
    std::unique_ptr<FcPattern, PatternFree> pattern(FcPatternCreate());
    FcPatternAddCharSet(pattern.get(), FC_CHARSET, charset.get());
    std::unique_ptr<FcObjectSet, ObjectSetFree> objects(FcObjectSetBuild(FC_FONTFORMAT, nullptr));
    std::unique_ptr<FcFontSet, FontSetFree> fonts(
        FcFontList(nullptr, pattern.get(), objects.get()));

    for (int i = 0; fonts && i < fonts->nfont; ++i) {
        FcChar8* format = nullptr;
        if (FcPatternGetString(fonts->fonts[i], FC_FONTFORMAT, 0, &format) != FcResultMatch)
            continue;
        const std::string_view formatName = reinterpret_cast<const char*>(format);
        if (formatName == "TrueType" || formatName == "CFF")
            return true;
    }
    return false;
}

std::string Describe(char32_t c)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X ", static_cast<unsigned>(c));
    std::string text = code;
    AppendUtf8(text, c);
    return text;
}

TEST(MessageFonts, AnInstalledFontHasEveryCharacterTheProgramShows)
{
    ASSERT_TRUE(FcInit());
    const std::map<char32_t, std::string> shown = CharactersShown();

    // The backup messages are in Chinese only; the scan must have seen them.
    for (const char* message : {lumo::kMsgBackupSourceUnreadable, lumo::kMsgBackupTargetUncreatable,
                                lumo::kMsgBackupDone})
        for (char32_t c : CodePoints(message)) {
            if (c >= 0x80) {
                EXPECT_TRUE(shown.contains(c))
                    << Describe(c) << " of \"" << message << "\" was not found in the sources";
            }
        }

    for (const auto& [c, where] : shown)
        EXPECT_TRUE(AnInstalledFontHas(c))
            << "no installed font has " << Describe(c) << " (from " << where
            << "): it shows as a box. scripts/setup.sh and the package's Depends "
               "(packaging/CMakeLists.txt) must bring a font with it.";
    FcFini();
}

} // namespace
