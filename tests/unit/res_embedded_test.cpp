// The start page and the icons built into the program must be the very bytes
// of the files in res/, found by their exact names.
#include "res/embedded.h"

#include "temp_dir.h"
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
using lumo::res::EmbeddedFile;

// The sources live beside this test in the source tree.
const fs::path kResDir = fs::path(LUMO_SOURCE_DIR) / "res";

std::string OnDisk(const fs::path& path)
{
    return lumo::test::ReadFile(path.string());
}

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

TEST(EmbeddedStartPage, IndexHtmlIsTheFileInTheSourceTree)
{
    const EmbeddedFile* index = lumo::res::FindStartPageFile("index.html");
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(index->name, "index.html");
    EXPECT_EQ(index->mimeType, "text/html");
    const std::string expected = OnDisk(kResDir / "start" / "index.html");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(index->bytes, expected);
}

TEST(EmbeddedStartPage, CarriesEveryFileOfTheStartFolderWithItsType)
{
    std::set<std::string> onDisk;
    for (const auto& entry : fs::directory_iterator(kResDir / "start")) {
        const std::string name = entry.path().filename().string();
        onDisk.insert(name);
        const EmbeddedFile* file = lumo::res::FindStartPageFile(name);
        ASSERT_NE(file, nullptr) << name;
        EXPECT_EQ(file->bytes, OnDisk(entry.path())) << name;

        const std::string ext = entry.path().extension().string();
        const std::string_view expectedType = ext == ".html"  ? "text/html"
                                              : ext == ".css" ? "text/css"
                                              : ext == ".svg" ? "image/svg+xml"
                                              : ext == ".png" ? "image/png"
                                                              : "unexpected";
        EXPECT_EQ(file->mimeType, expectedType) << name;
    }

    std::set<std::string> embedded;
    for (const EmbeddedFile& file : lumo::res::StartPageFiles())
        embedded.insert(std::string(file.name));
    EXPECT_EQ(embedded, onDisk);
    EXPECT_TRUE(embedded.count("style.css")) << "index.html is styled by style.css";
}

TEST(EmbeddedStartPage, UnknownOrInexactNamesFindNothing)
{
    using namespace std::string_view_literals;
    for (std::string_view name :
         {""sv, "INDEX.HTML"sv, "index.htm"sv, "index.html/"sv, "/index.html"sv, "./index.html"sv,
          "start/index.html"sv, "../readme.htm"sv, "index.html\0.png"sv, "missing.css"sv}) {
        EXPECT_EQ(lumo::res::FindStartPageFile(name), nullptr)
            << '"' << std::string(name.data(), name.size()) << '"';
    }
}

TEST(EmbeddedIcons, ArePngFilesOfAscendingSquareSizesMatchingTheirSources)
{
    const auto icons = lumo::res::AppIconPngs();
    ASSERT_GE(icons.size(), 2u);
    const std::string_view signature("\x89PNG\r\n\x1a\n", 8);

    std::uint32_t previous = 0;
    for (const EmbeddedFile& icon : icons) {
        const std::string name(icon.name);
        EXPECT_EQ(icon.mimeType, "image/png") << name;
        ASSERT_GT(icon.bytes.size(), 24u) << name;
        EXPECT_EQ(icon.bytes.substr(0, 8), signature) << name;
        // The first chunk is IHDR: width and height follow its length and type.
        EXPECT_EQ(icon.bytes.substr(12, 4), "IHDR") << name;
        const std::uint32_t width = BigEndian32(icon.bytes, 16);
        const std::uint32_t height = BigEndian32(icon.bytes, 20);
        EXPECT_EQ(width, height) << name;
        EXPECT_GT(width, previous) << name << " comes after a size at least as large";
        previous = width;
        EXPECT_EQ(name, "lumo-news-reader-" + std::to_string(width) + ".png");
        // PNG data holds NUL and high bytes: a lossy embedding shows here.
        EXPECT_EQ(icon.bytes, OnDisk(kResDir / "icons" / name)) << name;
    }
    EXPECT_EQ(BigEndian32(icons.front().bytes, 16), 16u)
        << "the smallest size is the 16-pixel one menus and title bars use";
    EXPECT_EQ(previous, 256u) << "the largest size is 256 pixels";
}

} // namespace
