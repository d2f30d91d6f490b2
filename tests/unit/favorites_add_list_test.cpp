// Adding a list of favorites at once: one change of the file that skips what
// is already there, or no change at all.
#include "favorites/favorites_store.h"

#include "favorites_file_test.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace lumo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr const char* kTwoEntries =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Favorites>\n"
    "  <Other><title>Die Zeit</title><url>https://zeit.de/</url></Other>\n"
    "  <Favorite>\n"
    "    <title>Le Monde</title>\n"
    "    <url>https://www.lemonde.fr/</url>\n"
    "  </Favorite>\n"
    "</Favorites>\n";

ino_t Inode(const std::string& path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

using AddFavoritesTest = test::FavoritesFileTest;

TEST_F(AddFavoritesTest, AddsEachNewPairOnceAndCountsWhatItSkipped)
{
    Write(kTwoEntries);
    const FavoritesStore::AddedFavorites result = m_store.AddFavorites({
        {" Guardian ", "https://www.theguardian.com/\n"},
        {"Le Monde", " https://www.lemonde.fr/"}, // in the file, once trimmed
        {"Die Zeit", "https://zeit.de/"},         // any child element counts, as for one add
        {"El País", "https://elpais.com/?a=1&b=2"},
        {"Guardian", "https://www.theguardian.com/"}, // earlier in the list
        {"  ", "https://blank.example/"},
        {"Guardian", "https://www.theguardian.com/uk"}, // another pair
    });
    EXPECT_TRUE(result.done);
    EXPECT_EQ(result.added, 3u);
    EXPECT_EQ(result.skipped, 4u);
    EXPECT_THAT(m_reporter.messages, IsEmpty());
    EXPECT_THAT(m_store.LoadFavorites(),
                ElementsAre(FavoriteEntry{"Le Monde", "https://www.lemonde.fr/"},
                            FavoriteEntry{"Guardian", "https://www.theguardian.com/"},
                            FavoriteEntry{"El País", "https://elpais.com/?a=1&b=2"},
                            FavoriteEntry{"Guardian", "https://www.theguardian.com/uk"}));
    // Indented like the entries before them.
    EXPECT_THAT(Bytes(), HasSubstr("</Favorite>\n  <Favorite>\n    <title>El País</title>\n"));

    // Nothing new: the file is not written at all, and a missing one is not made.
    const std::string before = Bytes();
    const ino_t inode = Inode(m_path);
    const FavoritesStore::AddedFavorites again =
        m_store.AddFavorites({{"El País", "https://elpais.com/?a=1&b=2"}});
    EXPECT_TRUE(again.done);
    EXPECT_EQ(again.added, 0u);
    EXPECT_EQ(again.skipped, 1u);
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(Inode(m_path), inode);
    const FavoritesStore other(m_dir.File("Missing.xml"), m_reporter);
    EXPECT_TRUE(other.AddFavorites({}).done);
    EXPECT_FALSE(test::FileExists(m_dir.File("Missing.xml")));
    EXPECT_EQ(other.AddFavorites({{"A", "https://a.example/"}}).added, 1u);
    EXPECT_THAT(other.LoadFavorites(), ElementsAre(FavoriteEntry{"A", "https://a.example/"}));
}

TEST_F(AddFavoritesTest, AnyEntryItCannotKeepOrAFileItCannotChangeLeavesTheFileAsItWas)
{
    Write(kTwoEntries);
    const FavoriteEntry good{"Guardian", "https://www.theguardian.com/"};
    const std::vector<std::pair<std::vector<FavoriteEntry>, std::string>> refused = {
        {{good, {std::string(kMaxFavoriteTextLength + 1, 'x'), "https://long.example/"}},
         kMsgTextTooLong},
        {{good, {"Bell\x07", "https://bell.example/"}}, "(U+0007)"},
    };
    for (const auto& [entries, message] : refused) {
        m_reporter.messages.clear();
        const FavoritesStore::AddedFavorites result = m_store.AddFavorites(entries);
        EXPECT_FALSE(result.done) << message;
        EXPECT_EQ(result.added, 0u);
        EXPECT_THAT(m_reporter.messages, ElementsAre(HasSubstr(message)));
        EXPECT_EQ(Bytes(), kTwoEntries);
    }

    // A file the user made read-only, and one that is not XML: said, not written.
    ASSERT_EQ(chmod(m_path.c_str(), 0444), 0);
    m_reporter.messages.clear();
    EXPECT_FALSE(m_store.AddFavorites({good}).done);
    EXPECT_THAT(m_reporter.messages, ElementsAre(kMsgSaveReadOnly));
    EXPECT_EQ(Bytes(), kTwoEntries);
    ASSERT_EQ(chmod(m_path.c_str(), 0644), 0);
    Write("<Favorites><Favorite>");
    m_reporter.messages.clear();
    EXPECT_FALSE(m_store.AddFavorites({good}).done);
    EXPECT_THAT(m_reporter.messages, ElementsAre(HasSubstr("is not well-formed XML")));
    EXPECT_EQ(Bytes(), "<Favorites><Favorite>");
}

} // namespace
} // namespace lumo
