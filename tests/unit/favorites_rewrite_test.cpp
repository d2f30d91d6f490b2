// A change rewrites the favorites file: everything it does not change stays,
// in the file's own encoding, and texts round-trip unchanged.
#include "favorites/favorites_store.h"

#include "favorites_file_test.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

namespace lumo {

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

using FavoritesRewriteTest = test::QuietFavoritesFileTest;

const std::string kProlog = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                            "<!-- Lumo News Reader favorites -->\n"
                            "<?lumo-note keep me?>\n"
                            "<!DOCTYPE Favorites [\n"
                            "<!ENTITY site \"Example\">\n"
                            "]>\n";
const std::string kFirst = "  <Favorite>\n"
                           "    <title>&site; News</title>\n"
                           "    <url>https://www.example.com/?a=1&amp;b=2</url>\n"
                           "  </Favorite>\n";
const std::string kForeign = "  <!-- national -->\n"
                             "  <Extra kind=\"foreign\">kept &lt;as&gt; is<?pi inside?></Extra>\n";

TEST_F(FavoritesRewriteTest, AddKeepsEveryOtherNodeAndLinesTheNewEntryUpWithTheOthers)
{
    Write(kProlog + "<Favorites>\n" + kFirst + kForeign + "</Favorites>\n");

    ASSERT_TRUE(m_store.AddFavorite("Ünïcode & <Co> 报", "http://ex/?q=ä&r=1#top"));

    EXPECT_EQ(Bytes(), kProlog + "<Favorites>\n" + kFirst + kForeign +
                           "  <Favorite>\n"
                           "    <title>Ünïcode &amp; &lt;Co&gt; 报</title>\n"
                           "    <url>http://ex/?q=ä&amp;r=1#top</url>\n"
                           "  </Favorite>\n"
                           "</Favorites>\n");
    EXPECT_THAT(m_store.LoadFavorites(),
                ElementsAre(FavoriteEntry{"Example News", "https://www.example.com/?a=1&b=2"},
                            FavoriteEntry{"Ünïcode & <Co> 报", "http://ex/?q=ä&r=1#top"}));
}

TEST_F(FavoritesRewriteTest, DeleteTakesTheEntryAndItsIndentationAndNothingElse)
{
    const std::string second = "  <Favorite>\n"
                               "    <title>Die Zeit</title>\n"
                               "    <url>https://www.zeit.de/</url>\n"
                               "  </Favorite>\n";
    Write(kProlog + "<Favorites>\n" + kFirst + kForeign + second + "</Favorites>\n");

    ASSERT_TRUE(m_store.DeleteFavorite("Example News", "https://www.example.com/?a=1&b=2"));
    EXPECT_EQ(Bytes(), kProlog + "<Favorites>\n" + kForeign + second + "</Favorites>\n");

    ASSERT_TRUE(m_store.DeleteFavorite("Die Zeit", "https://www.zeit.de/"));
    EXPECT_EQ(Bytes(), kProlog + "<Favorites>\n" + kForeign + "</Favorites>\n");
}

TEST_F(FavoritesRewriteTest, AddAndDeleteRoundTripNamesAndAddressesUnchanged)
{
    Write("<Favorites/>");
    const std::vector<FavoriteEntry> entries = {
        {"A & B < C > D \"quoted\" 'single'", "https://news.example/?a=1&b=2&c=%20"},
        {"]]> not a CDATA end", "http://x/<script>"},
        {"Süddeutsche Zeitung — Ελληνικά 日本語 😀", "https://www.sueddeutsche.de/thema/Münch"},
        {"&amp; stays literal &#38;", "http://x/?q=&lt;"},
    };
    for (const FavoriteEntry& entry : entries)
        ASSERT_TRUE(m_store.AddFavorite(entry.title, entry.url)) << entry.title;
    EXPECT_EQ(m_store.LoadFavorites(), entries);
    EXPECT_THAT(Bytes(), HasSubstr("&amp;amp; stays literal &amp;#38;"));

    for (const FavoriteEntry& entry : entries)
        ASSERT_TRUE(m_store.DeleteFavorite(entry.title, entry.url)) << entry.title;
    EXPECT_THAT(m_store.LoadFavorites(), IsEmpty());
}

struct Prolog
{
    std::string before; // as the file starts
    std::string after;  // as the rewritten file starts
};

void PrintTo(const Prolog& prolog, std::ostream* out)
{
    *out << ::testing::PrintToString(prolog.before);
}

class DeclarationTest : public FavoritesRewriteTest, public ::testing::WithParamInterface<Prolog>
{
};

TEST_P(DeclarationTest, IsKeptAsItWasAndTheFileStaysUtf8)
{
    const std::string body = "<Favorites><Favorite><title>Café</title><url>u</url></Favorite>";
    Write(GetParam().before + body + "</Favorites>\n");

    ASSERT_TRUE(m_store.AddFavorite("Straße", "http://straße/"));

    EXPECT_EQ(Bytes(), GetParam().after + body +
                           "<Favorite><title>Straße</title><url>http://straße/</url></Favorite>"
                           "</Favorites>\n");
    EXPECT_THAT(m_store.LoadFavorites(),
                ElementsAre(FavoriteEntry{"Café", "u"}, FavoriteEntry{"Straße", "http://straße/"}));
}

INSTANTIATE_TEST_SUITE_P(
    Files, DeclarationTest,
    ::testing::Values(Prolog{"", ""}, Prolog{"\xEF\xBB\xBF", "\xEF\xBB\xBF"},
                      Prolog{"<?xml version=\"1.0\"?>\n", "<?xml version=\"1.0\"?>\n"},
                      Prolog{"<?xml version='1.0' encoding='utf-8'?>",
                             "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"},
                      Prolog{"<?xml version=\"1.0\" standalone=\"no\"?>\r\n",
                             "<?xml version=\"1.0\" standalone=\"no\"?>\n"},
                      Prolog{"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n",
                             "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"}));

TEST_F(FavoritesRewriteTest, AnIso88591FileIsWrittenBackInIso88591)
{
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
    Write(declaration + "<Favorites>\n  <Favorite><title>Caf\xE9 de Flore</title>"
                        "<url>http://flore/</url></Favorite>\n</Favorites>\n");

    ASSERT_TRUE(m_store.AddFavorite("Ærø Avis", "http://ærø/?a=1&b=2"));
    ASSERT_TRUE(m_store.AddFavorite("人民日报", "http://people/"));

    const std::string bytes = Bytes();
    EXPECT_THAT(bytes, StartsWith(declaration));
    EXPECT_THAT(bytes, HasSubstr("<title>Caf\xE9 de Flore</title>"));
    EXPECT_THAT(bytes, HasSubstr("<title>\xC6r\xF8 Avis</title>"));
    // What Latin-1 cannot hold is written as character references.
    EXPECT_THAT(bytes, HasSubstr("<title>&#20154;&#27665;&#26085;&#25253;</title>"));
    EXPECT_THAT(bytes, Not(HasSubstr("\xC3")));
    EXPECT_THAT(m_store.LoadFavorites(),
                ElementsAre(FavoriteEntry{"Café de Flore", "http://flore/"},
                            FavoriteEntry{"Ærø Avis", "http://ærø/?a=1&b=2"},
                            FavoriteEntry{"人民日报", "http://people/"}));

    ASSERT_TRUE(m_store.DeleteFavorite("Café de Flore", "http://flore/"));
    EXPECT_THAT(Bytes(), StartsWith(declaration));
    EXPECT_THAT(Bytes(), HasSubstr("\xC6r\xF8 Avis"));
}

TEST_F(FavoritesRewriteTest, AGbkFileIsWrittenBackInGbk)
{
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"GBK\"?>\n";
    const std::string renminRibao = "\xC8\xCB\xC3\xF1\xC8\xD5\xB1\xA8"; // 人民日报
    Write(declaration + "<Favorites><Favorite><title>" + renminRibao +
          "</title><url>http://www.people.com.cn/?a=1&amp;b=2</url></Favorite></Favorites>");

    ASSERT_TRUE(m_store.AddFavorite("光明日报", "http://www.gmw.cn/"));

    const std::string bytes = Bytes();
    EXPECT_THAT(bytes, StartsWith(declaration));
    EXPECT_THAT(bytes, HasSubstr("<title>" + renminRibao + "</title>"));
    EXPECT_THAT(bytes, HasSubstr("<title>\xB9\xE2\xC3\xF7\xC8\xD5\xB1\xA8</title>")); // 光明日报
    EXPECT_THAT(m_store.LoadFavorites(),
                ElementsAre(FavoriteEntry{"人民日报", "http://www.people.com.cn/?a=1&b=2"},
                            FavoriteEntry{"光明日报", "http://www.gmw.cn/"}));
}

TEST_F(FavoritesRewriteTest, AChangeTheFileEncodingWouldMangleIsRefused)
{
    // libxml2 knows this name through ICU only, and its character references
    // through ICU drop characters and escape the markup after them.
    const std::string original =
        "<?xml version=\"1.0\" encoding=\"ISO885-91-\"?>\n<Favorites><Favorite><title>Caf\xE9"
        "</title><url>u</url></Favorite></Favorites>\n";
    Write(original);
    if (m_store.LoadFavorites().empty())
        GTEST_SKIP() << "this libxml2 does not know the encoding";

    EXPECT_FALSE(m_store.AddFavorite("Euro \xE2\x82\xAC and \xEF\xBF\xBD", "http://x/"));
    EXPECT_EQ(Bytes(), original);
    ASSERT_EQ(m_reporter.messages.size(), 1u);
    EXPECT_NE(m_reporter.messages[0].find("cannot hold the change"), std::string::npos);
    m_reporter.messages.clear();

    ASSERT_TRUE(m_store.AddFavorite("Cr\xC3\xA8me", "http://creme/"));
    EXPECT_THAT(m_store.LoadFavorites(),
                ElementsAre(FavoriteEntry{"Café", "u"}, FavoriteEntry{"Crème", "http://creme/"}));
}

std::string Utf16Le(std::u16string_view text)
{
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

TEST_F(FavoritesRewriteTest, AUtf16FileIsWrittenBackInUtf16)
{
    Write(Utf16Le(u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                  u"<Favorites><Favorite><title>\u4E2D\u6587</title><url>u</url></Favorite>"
                  u"</Favorites>\n"));

    ASSERT_TRUE(m_store.AddFavorite("Ελληνικά", "http://gr/"));

    EXPECT_THAT(Bytes(), StartsWith(Utf16Le(u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>")));
    EXPECT_THAT(Bytes(), HasSubstr(Utf16Le(u"<title>\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA"
                                           u"\u03AC</title>")));
    EXPECT_THAT(m_store.LoadFavorites(),
                ElementsAre(FavoriteEntry{"中文", "u"}, FavoriteEntry{"Ελληνικά", "http://gr/"}));
}

} // namespace
} // namespace lumo
