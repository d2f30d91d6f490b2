// The favorites file: which elements are entries, the reading rule, adding,
// deleting, the store's messages and files it cannot use.
#include "favorites/favorites_store.h"

#include "favorites_file_test.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/xmlmemory.h>

#include <filesystem>
#include <ostream>
#include <sys/stat.h>

namespace lumo {

namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr const char* kTwoEntries = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                    "<Favorites>\n"
                                    "  <Favorite>\n"
                                    "    <title>Le Monde</title>\n"
                                    "    <url>https://www.lemonde.fr/</url>\n"
                                    "  </Favorite>\n"
                                    "  <Favorite>\n"
                                    "    <title>Die Zeit</title>\n"
                                    "    <url>https://www.zeit.de/?a=1&amp;b=2</url>\n"
                                    "  </Favorite>\n"
                                    "</Favorites>\n";

using FavoritesStoreTest = test::FavoritesFileTest;

TEST_F(FavoritesStoreTest, ReadsFavoriteElementsInOrderWithTheLastTitleAndUrlCounting)
{
    Write(
        "<Favorites>\n"
        "  <Favorite><title>A</title><url>http://a/</url></Favorite>\n"
        "  <Favorite><url>http://no-title/</url></Favorite>\n"
        "  <Favorite><title>first</title><title>second</title><url>http://two/</url></Favorite>\n"
        "  <Favorite><title></title><url/></Favorite>\n"
        "  <Favorite id=\"7\"><!-- note --><note>x</note><?pi y?><url>http://u/</url>"
        "<x:title xmlns:x=\"urn:x\">prefixed</x:title><title>B</title></Favorite>\n"
        "  <Other><title>not listed</title><url>http://other/</url></Other>\n"
        "  <favorite><title>wrong case</title><url>http://case/</url></favorite>\n"
        "  <Favorite><title>Le <b>Monde</b> <![CDATA[&<]]></title><url>http://m/</url></Favorite>\n"
        "  <Group><Favorite><title>nested</title><url>http://nested/</url></Favorite></Group>\n"
        "</Favorites>\n");

    EXPECT_THAT(m_store.LoadFavorites(),
                ElementsAre(FavoriteEntry{"A", "http://a/"}, FavoriteEntry{"", "http://no-title/"},
                            FavoriteEntry{"second", "http://two/"}, FavoriteEntry{"", ""},
                            FavoriteEntry{"B", "http://u/"},
                            FavoriteEntry{"Le Monde &<", "http://m/"}));
    EXPECT_THAT(m_reporter.messages, IsEmpty());
}

TEST_F(FavoritesStoreTest, ReadingWithoutTheTreeGivesWhatTheTreeGives)
{
    // More text in one run than libxml2's tree builder takes in one node.
    const std::string longNote(10500000, 'x');
    const std::vector<std::string> files = {
        "<Favorites><Favorite><title>Le <b>Monde <i>du</i></b> <![CDATA[ &< ]]></title>"
        "<url> http://m/ </url><!-- c --><?pi?>text</Favorite>loose text</Favorites>",
        "<Favorites><Favorite><title>a<title>b</title>c</title><title>d</title></Favorite>"
        "<Favorite><x><title>deeper</title></x><url>u</url></Favorite></Favorites>",
        "<Favorites xmlns=\"urn:x\"><Favorite><title>default namespace</title></Favorite>"
        "<Favorite xmlns=\"\"><title>none</title></Favorite></Favorites>",
        "<Favorites><Favorite xmlns=\"urn:y\"><title>t</title></Favorite>"
        "<Favorite><title xmlns=\"urn:t\">own namespace</title><url xmlns=\"\">u</url></Favorite>"
        "<p:Favorite xmlns:p=\"urn:p\"><title>prefixed</title></p:Favorite></Favorites>",
        "<Favorites><Favorite><x:title>undeclared prefix</x:title></Favorite></Favorites>",
        "<Favorites><Favorite><title>cut off</title></Favorite>",
        "<Favorites><Favorite><title>&#233;&amp;&lt;&#x1F600;</title></Favorite></Favorites>",
        "<Favorites><Favorite><title>&undeclared;</title></Favorite></Favorites>",
        "<!DOCTYPE Favorites [<!ENTITY e \"Le <b>Monde</b>\">]>"
        "<Favorites><Favorite><title>&e; &e;</title><url>u</url></Favorite></Favorites>",
        "<!DOCTYPE Favorites><Favorites><Favorite><title>t</title></Favorite></Favorites>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Favorites><Favorite><title>caf\xE9"
        "</title></Favorite></Favorites>",
        "\xEF\xBB\xBF<Favorites><Favorite><title>bom</title></Favorite></Favorites>",
        std::string("\xFF\xFE<\0F\0a\0v\0o\0r\0i\0t\0e\0s\0/\0>\0", 26),
        "<Favorites><Group><Favorite><title>nested</title></Favorite></Group><Favorite/>"
        "</Favorites>",
        "<Favorites><Favorite><title>t</title><note>" + longNote + "</note></Favorite></Favorites>",
        "<Other><Favorite><title>t</title></Other>",
        "",
    };
    for (const std::string& file : files) {
        Write(file);
        EXPECT_EQ(m_store.LoadFavorites(), m_store.LoadFavoritesThroughTree())
            << file.substr(0, 120);
    }
    EXPECT_THAT(m_reporter.messages, IsEmpty());
}

TEST_F(FavoritesStoreTest, WhiteSpaceAroundStoredTextsIsTrimmedForShowingAndForMatching)
{
    Write("<Favorites><Favorite><title>\n   Le Monde \t\r\n</title>"
          "<url> https://www.lemonde.fr/ </url></Favorite></Favorites>");
    const FavoriteEntry shown{"Le Monde", "https://www.lemonde.fr/"};
    ASSERT_THAT(m_store.LoadFavorites(), ElementsAre(shown));

    // What the list shows is what a change matches against.
    EXPECT_FALSE(m_store.AddFavorite(shown.title, shown.url));
    EXPECT_THAT(m_reporter.messages, ElementsAre(kMsgSameContentExists));
    EXPECT_TRUE(m_store.DeleteFavorite(shown.title, shown.url));
    EXPECT_THAT(m_store.LoadFavorites(), IsEmpty());
}

TEST_F(FavoritesStoreTest, AddAppendsTheTrimmedPairAsTheLastEntry)
{
    Write(kTwoEntries);
    EXPECT_TRUE(
        m_store.AddFavorite(" \t The Guardian\v\f", "\r\nhttps://www.theguardian.com/?x=1&y=<2> "));

    EXPECT_THAT(
        m_store.LoadFavorites(),
        ElementsAre(FavoriteEntry{"Le Monde", "https://www.lemonde.fr/"},
                    FavoriteEntry{"Die Zeit", "https://www.zeit.de/?a=1&b=2"},
                    FavoriteEntry{"The Guardian", "https://www.theguardian.com/?x=1&y=<2>"}));
    EXPECT_THAT(Bytes(), ::testing::HasSubstr(
                             "<url>https://www.theguardian.com/?x=1&amp;y=&lt;2&gt;</url>"));
    EXPECT_THAT(m_reporter.messages, IsEmpty());
}

TEST_F(FavoritesStoreTest, AddToAnEmptyListMakesTheOnlyEntry)
{
    for (const char* empty :
         {"<Favorites/>", "<Favorites></Favorites>", "<Favorites>\n</Favorites>\n"}) {
        Write(empty);
        ASSERT_THAT(m_store.LoadFavorites(), IsEmpty()) << empty;
        EXPECT_TRUE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/")) << empty;
        EXPECT_EQ(Bytes(), "<Favorites>\n"
                           "  <Favorite>\n"
                           "    <title>Le Monde</title>\n"
                           "    <url>https://www.lemonde.fr/</url>\n"
                           "  </Favorite>\n"
                           "</Favorites>\n")
            << empty;
    }
}

TEST_F(FavoritesStoreTest, AddRefusesOnlyAnExactRepeatAndThenLeavesTheFileAsItWas)
{
    Write(kTwoEntries);
    EXPECT_FALSE(m_store.AddFavorite("Die Zeit", "https://www.zeit.de/?a=1&b=2"));
    EXPECT_THAT(m_reporter.messages, ElementsAre(kMsgSameContentExists));
    EXPECT_EQ(Bytes(), kTwoEntries);

    // Letter case and a trailing slash make a different entry.
    EXPECT_TRUE(m_store.AddFavorite("le monde", "https://www.lemonde.fr/"));
    EXPECT_TRUE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr"));
    EXPECT_EQ(m_store.LoadFavorites().size(), 4u);
    EXPECT_EQ(m_reporter.messages.size(), 1u);
}

TEST_F(FavoritesStoreTest, ChangesTakeEveryChildElementOfTheDocumentElementIntoAccount)
{
    Write("<Favorites><Other><title>Hidden</title><url>http://hidden/</url></Other>"
          "<Favorite><title>Shown</title><url>http://shown/</url></Favorite></Favorites>");
    EXPECT_FALSE(m_store.AddFavorite("Hidden", "http://hidden/"));
    EXPECT_THAT(m_reporter.messages, ElementsAre(kMsgSameContentExists));

    EXPECT_TRUE(m_store.DeleteFavorite("Hidden", "http://hidden/"));
    EXPECT_EQ(Bytes(), "<Favorites><Favorite><title>Shown</title><url>http://shown/</url>"
                       "</Favorite></Favorites>\n");
}

TEST_F(FavoritesStoreTest, BlankNamesOrAddressesAreRefusedWithoutOpeningTheFile)
{
    Write(kTwoEntries);
    const std::string blank = " \t\n\v\f\r";
    EXPECT_FALSE(m_store.AddFavorite(blank, "http://x/"));
    EXPECT_FALSE(m_store.AddFavorite("X", ""));
    EXPECT_FALSE(m_store.DeleteFavorite(blank, "https://www.lemonde.fr/"));
    EXPECT_FALSE(m_store.DeleteFavorite("Le Monde", blank));
    EXPECT_EQ(Bytes(), kTwoEntries);
    EXPECT_THAT(m_reporter.messages, IsEmpty());
}

TEST_F(FavoritesStoreTest, DeleteRemovesTheFirstOfTwoIdenticalEntriesOnly)
{
    Write("<Favorites>"
          "<Favorite><title>Twin</title><url>http://t/</url><note>first</note></Favorite>"
          "<Favorite><title>Other</title><url>http://o/</url></Favorite>"
          "<Favorite><title>Twin</title><url>http://t/</url><note>second</note></Favorite>"
          "</Favorites>");
    EXPECT_TRUE(m_store.DeleteFavorite("Twin", "http://t/"));
    EXPECT_THAT(m_store.LoadFavorites(), ElementsAre(FavoriteEntry{"Other", "http://o/"},
                                                     FavoriteEntry{"Twin", "http://t/"}));
    EXPECT_THAT(Bytes(), ::testing::HasSubstr("second"));
    EXPECT_THAT(Bytes(), ::testing::Not(::testing::HasSubstr("first")));
}

TEST_F(FavoritesStoreTest, DeleteOfAPairNothingMatchesWritesTheSameEntriesBack)
{
    Write(kTwoEntries);
    struct stat before;
    ASSERT_EQ(stat(m_path.c_str(), &before), 0);

    EXPECT_TRUE(m_store.DeleteFavorite("Le Monde", "https://www.lemonde.fr"));
    struct stat after;
    ASSERT_EQ(stat(m_path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "the file was not written back";
    EXPECT_EQ(Bytes(), kTwoEntries);

    EXPECT_TRUE(m_store.DeleteFavorite("le monde", "https://www.lemonde.fr/"));
    EXPECT_EQ(Bytes(), kTwoEntries);
    EXPECT_THAT(m_reporter.messages, IsEmpty());
}

TEST_F(FavoritesStoreTest, AMissingFileReadsEmptySilentlyAndTheFirstAddCreatesIt)
{
    FavoritesFileState state = FavoritesFileState::Read;
    EXPECT_THAT(m_store.LoadFavorites(&state), IsEmpty());
    EXPECT_EQ(state, FavoritesFileState::Missing);
    EXPECT_EQ(UnreadableFavoritesMessage(state, m_path), "");
    EXPECT_THAT(m_reporter.messages, IsEmpty());
    EXPECT_FALSE(m_store.DeleteFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_THAT(m_reporter.messages, ElementsAre(HasSubstr(m_path + " does not exist")));
    EXPECT_FALSE(test::FileExists(m_path));

    EXPECT_TRUE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_EQ(Bytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n"
                       "  <Favorite>\n    <title>Le Monde</title>\n"
                       "    <url>https://www.lemonde.fr/</url>\n  </Favorite>\n</Favorites>\n");
    EXPECT_THAT(m_store.LoadFavorites(&state),
                ElementsAre(FavoriteEntry{"Le Monde", "https://www.lemonde.fr/"}));
    EXPECT_EQ(state, FavoritesFileState::Read);
}

// Files the store cannot use: each reads as empty and is named in the
// message for the start, each change returns false saying why, and the file
// keeps every byte.
class UnusableFavoritesFileTest : public FavoritesStoreTest,
                                  public ::testing::WithParamInterface<const char*>
{
};

TEST_P(UnusableFavoritesFileTest, ReadsEmptyAndIsNeverWritten)
{
    const std::string bytes = GetParam();
    Write(bytes);
    FavoritesFileState state = FavoritesFileState::Read;
    EXPECT_THAT(m_store.LoadFavorites(&state), IsEmpty());
    EXPECT_THAT(UnreadableFavoritesMessage(state, m_path), HasSubstr(m_path));
    EXPECT_THAT(m_reporter.messages, IsEmpty());
    EXPECT_FALSE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_FALSE(m_store.DeleteFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_EQ(Bytes(), bytes);
    const auto why =
        AllOf(HasSubstr(FavoritesFileProblem(state, m_path)), HasSubstr(kMsgSaveRefusedSuffix));
    EXPECT_THAT(m_reporter.messages, ElementsAre(why, why));
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, UnusableFavoritesFileTest,
    ::testing::Values(
        "", "   \n", "not xml at all", "\x89PNG\r\n\x1a\n\x00\x01",
        "<Favorites><Favorite><title>Le Monde</title><url>https://www.lemonde.fr/</url>"
        "</Favorite>",
        "<Favorites><Favorite><title>A & B</title></Favorite></Favorites>",
        "<Favorites></Favorites><Favorites></Favorites>",
        "<favorites><Favorite><title>Le Monde</title><url>u</url></Favorite></favorites>",
        "<FAVORITES/>", "<Favourites/>",
        "<Favorites xmlns=\"urn:other\"><Favorite><title>T</title><url>u</url></Favorite>"
        "</Favorites>",
        "<Favorites><Favorite><x:title>T</x:title><url>u</url></Favorite></Favorites>",
        "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><Favorites/>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Favorites><Favorite><title>caf\xE9"
        "</title><url>u</url></Favorite></Favorites>"));

TEST_F(FavoritesStoreTest, ADirectoryOrAPipeAtThePathReadsEmptyAndIsNamed)
{
    FavoritesFileState state = FavoritesFileState::Read;
    std::filesystem::create_directory(m_path);
    EXPECT_THAT(m_store.LoadFavorites(&state), IsEmpty());
    EXPECT_EQ(state, FavoritesFileState::NotAFile);
    EXPECT_FALSE(m_store.AddFavorite("A", "http://a/"));
    std::filesystem::remove(m_path);

    // Opening a pipe that no one writes to would wait for ever.
    ASSERT_EQ(mkfifo(m_path.c_str(), 0600), 0);
    state = FavoritesFileState::Read;
    EXPECT_THAT(m_store.LoadFavorites(&state), IsEmpty());
    EXPECT_EQ(state, FavoritesFileState::NotAFile);
    EXPECT_EQ(UnreadableFavoritesMessage(state, m_path),
              "My Favorites cannot be shown: " + m_path + " is not a file.");
    EXPECT_FALSE(m_store.DeleteFavorite("A", "http://a/"));
    const auto why = HasSubstr(m_path + " is not a file");
    EXPECT_THAT(m_reporter.messages, ElementsAre(why, why));
}

void* FailingMalloc(std::size_t)
{
    return nullptr;
}
void* FailingRealloc(void*, std::size_t)
{
    return nullptr;
}
char* FailingStrdup(const char*)
{
    return nullptr;
}

// libxml2 out of memory for one scope: it cannot create any parser.
class XmlOutOfMemory
{
public:
    XmlOutOfMemory()
    {
        xmlMemGet(&m_free, &m_malloc, &m_realloc, &m_strdup);
        xmlMemSetup(m_free, &FailingMalloc, &FailingRealloc, &FailingStrdup);
    }
    ~XmlOutOfMemory() { xmlMemSetup(m_free, m_malloc, m_realloc, m_strdup); }

private:
    xmlFreeFunc m_free = nullptr;
    xmlMallocFunc m_malloc = nullptr;
    xmlReallocFunc m_realloc = nullptr;
    xmlStrdupFunc m_strdup = nullptr;
};

TEST_F(FavoritesStoreTest, WithoutAnXmlParserEveryOperationSaysSoAndChangesNothing)
{
    Write(kTwoEntries);
    ASSERT_EQ(m_store.LoadFavorites().size(), 2u);
    {
        XmlOutOfMemory outOfMemory;
        EXPECT_THAT(m_store.LoadFavorites(), IsEmpty());
        EXPECT_FALSE(m_store.AddFavorite("The Guardian", "https://www.theguardian.com/"));
        EXPECT_FALSE(m_store.DeleteFavorite("Le Monde", "https://www.lemonde.fr/"));
        // A blank name is refused before any parser is needed.
        EXPECT_FALSE(m_store.AddFavorite(" ", "https://www.theguardian.com/"));
    }
    EXPECT_THAT(m_reporter.messages,
                ElementsAre(kMsgNoXmlParser, kMsgNoXmlParser, kMsgNoXmlParser));
    EXPECT_EQ(Bytes(), kTwoEntries);
}

TEST_F(FavoritesStoreTest, TextsXmlCannotCarryAreRefusedAndTheFileKept)
{
    Write(kTwoEntries);
    for (const std::string& bad :
         {std::string("bell\x07"), std::string("nul\0byte", 8), std::string("\xFF\xFE"),
          std::string("cut \xE4\xB8"), std::string("overlong \xC0\xAF"),
          std::string("surrogate \xED\xA0\x80"), std::string("\xEF\xBF\xBE")}) {
        EXPECT_FALSE(m_store.AddFavorite(bad, "http://x/")) << bad;
        EXPECT_FALSE(m_store.AddFavorite("X", bad)) << bad;
    }
    EXPECT_EQ(Bytes(), kTwoEntries);
    // Each refusal says which characters of which text cannot be kept.
    ASSERT_EQ(m_reporter.messages.size(), 14u);
    EXPECT_THAT(m_reporter.messages[0], AllOf(HasSubstr("the name"), HasSubstr("(U+0007)")));
    EXPECT_THAT(m_reporter.messages[1], AllOf(HasSubstr("the address"), HasSubstr("(U+0007)")));
    EXPECT_THAT(m_reporter.messages[2], HasSubstr("(U+0000)"));
    EXPECT_THAT(m_reporter.messages[4], HasSubstr("(bytes that are not UTF-8)"));
    EXPECT_THAT(m_reporter.messages[10], HasSubstr("(U+D800)"));
    EXPECT_THAT(m_reporter.messages[12], HasSubstr("(U+FFFE)"));
    m_reporter.messages.clear();
    EXPECT_FALSE(m_store.AddFavorite("One \x01 and \xEF\xBF\xBF and \x01", "http://x/"));
    EXPECT_THAT(m_reporter.messages, ElementsAre(HasSubstr("(U+0001, U+FFFF)")));
    EXPECT_EQ(Bytes(), kTwoEntries);

    // Tabs, line feeds and carriage returns inside a text are fine.
    EXPECT_TRUE(m_store.AddFavorite("Tab\there", "http://x/?a=1\r\nb"));
    EXPECT_EQ(m_store.LoadFavorites().back(), (FavoriteEntry{"Tab\there", "http://x/?a=1\r\nb"}));
}

} // namespace
} // namespace lumo
