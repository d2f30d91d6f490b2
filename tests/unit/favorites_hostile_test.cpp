// Hostile favorites files: the store reads only the file itself, and entity
// bombs, deep nesting and huge files are read or refused without a hang.
#include "favorites/favorites_store.h"

#include "favorites_file_test.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lumo {

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class HostileFileTest : public test::QuietFavoritesFileTest
{
protected:
    // Every text the store reads, to look for what must not be there.
    std::string AllText()
    {
        std::string text;
        for (const FavoriteEntry& entry : m_store.LoadFavorites())
            text += entry.title + "\n" + entry.url + "\n";
        return text;
    }
};

TEST_F(HostileFileTest, ExternalEntitiesAndDocumentTypesAreNeverRead)
{
    const std::string secret = m_dir.File("secret.txt");
    const std::string dtd = m_dir.File("evil.dtd");
    test::WriteFile(secret, "SECRET");
    test::WriteFile(dtd, "<!ENTITY leak \"DTD-SECRET\">");
    const std::string entry = "<Favorite><title>Before &file;</title><url>u</url></Favorite>";

    Write("<!DOCTYPE Favorites [<!ENTITY file SYSTEM \"file://" + secret + "\">]>\n<Favorites>" +
          entry + "</Favorites>");
    EXPECT_THAT(AllText(), Not(HasSubstr("SECRET")));
    EXPECT_TRUE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_THAT(test::ReadFile(m_path), HasSubstr("&file;"));
    EXPECT_THAT(AllText(), Not(HasSubstr("SECRET")));

    Write("<!DOCTYPE Favorites [<!ENTITY % p SYSTEM \"" + dtd +
          "\"> %p;]>\n<Favorites>"
          "<Favorite><title>&leak;</title><url>u</url></Favorite></Favorites>");
    EXPECT_THAT(AllText(), Not(HasSubstr("SECRET")));

    Write("<!DOCTYPE Favorites SYSTEM \"" + dtd +
          "\">\n<Favorites>"
          "<Favorite><title>&leak;</title><url>u</url></Favorite></Favorites>");
    EXPECT_THAT(AllText(), Not(HasSubstr("SECRET")));
}

TEST_F(HostileFileTest, ReadingNeverTouchesTheNetwork)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    Write("<?xml version=\"1.0\"?>\n"
          "<!DOCTYPE Favorites SYSTEM \"" +
          url +
          "/favorites.dtd\" [\n"
          "<!ENTITY remote SYSTEM \"" +
          url +
          "/entity.xml\">\n"
          "<!ENTITY % params SYSTEM \"" +
          url +
          "/params.dtd\">\n"
          "%params;\n"
          "]>\n"
          "<Favorites xmlns:xi=\"http://www.w3.org/2001/XInclude\">"
          "<Favorite><title>&remote;</title><url>u</url></Favorite>"
          "<xi:include href=\"" +
          url + "/include.xml\"/></Favorites>");
    m_store.LoadFavorites();
    m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/");
    m_store.DeleteFavorite("Le Monde", "https://www.lemonde.fr/");

    pollfd waiting{listener, POLLIN, 0};
    EXPECT_EQ(poll(&waiting, 1, 100), 0) << "someone connected to " << url;
    close(listener);
}

TEST_F(HostileFileTest, EntityBombsReadWithoutExpandingThem)
{
    // Exponential: libxml2 refuses the file.
    std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE Favorites [\n<!ENTITY l0 \"lol\">\n";
    for (int i = 1; i <= 12; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">\n";
    }
    Write(laughs +
          "]>\n<Favorites><Favorite><title>&l12;</title><url>u</url></Favorite></Favorites>");
    EXPECT_THAT(m_store.LoadFavorites(), IsEmpty());
    EXPECT_FALSE(m_store.DeleteFavorite("lol", "u"));
    EXPECT_THAT(m_reporter.messages, ElementsAre(HasSubstr("is not well-formed XML")));
    m_reporter.messages.clear();

    // Quadratic: a 1 MB entity referenced 100,000 times would be 100 GB of
    // title. libxml2 accepts the file; reading stops at the bomb.
    const std::string entity(1 << 20, 'x');
    std::string refs;
    for (int i = 0; i < 100000; ++i)
        refs += "&big;";
    Write("<!DOCTYPE Favorites [<!ENTITY big \"" + entity +
          "\">]>\n<Favorites>"
          "<Favorite><title>Fine</title><url>http://fine/</url></Favorite>"
          "<Favorite><title>" +
          refs + "</title><url>u</url></Favorite></Favorites>");
    EXPECT_THAT(m_store.LoadFavorites(), ElementsAre(FavoriteEntry{"Fine", "http://fine/"}));
    EXPECT_FALSE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
}

TEST_F(HostileFileTest, OrdinaryEntitiesReadAsTheirText)
{
    Write("<!DOCTYPE Favorites [<!ENTITY site \"Example\"><!ENTITY both \"&site; &amp; Co\">]>\n"
          "<Favorites><Favorite><title>&both; News</title><url>http://&site;/</url></Favorite>"
          "</Favorites>");
    EXPECT_THAT(m_store.LoadFavorites(),
                ElementsAre(FavoriteEntry{"Example & Co News", "http://Example/"}));
    EXPECT_TRUE(m_store.DeleteFavorite("Example & Co News", "http://Example/"));
    EXPECT_THAT(m_store.LoadFavorites(), IsEmpty());
}

TEST_F(HostileFileTest, DeepNestingIsRefusedAndModerateNestingRead)
{
    const auto nested = [](int depth, const std::string& inner) {
        std::string xml;
        for (int i = 0; i < depth; ++i)
            xml += "<b>";
        xml += inner;
        for (int i = 0; i < depth; ++i)
            xml += "</b>";
        return xml;
    };
    Write("<Favorites><Favorite><title>" + nested(100000, "deep") +
          "</title><url>u</url></Favorite></Favorites>");
    EXPECT_THAT(m_store.LoadFavorites(), IsEmpty());
    EXPECT_FALSE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_THAT(m_reporter.messages, ElementsAre(HasSubstr("is not well-formed XML")));
    m_reporter.messages.clear();

    Write("<Favorites><Favorite><title>" + nested(200, "deep") +
          "</title><url>u</url></Favorite></Favorites>");
    EXPECT_THAT(m_store.LoadFavorites(), ElementsAre(FavoriteEntry{"deep", "u"}));
}

TEST_F(HostileFileTest, AFileOfManyMegabytesIsReadAndChanged)
{
    std::string xml = "<Favorites>\n";
    for (int i = 0; i < 50000; ++i)
        xml += "  <Favorite>\n    <title>Newspaper number " + std::to_string(i) +
               "</title>\n    <url>https://news" + std::to_string(i) +
               ".example.com/index.html?edition=international&amp;lang=en</url>\n  </Favorite>\n";
    Write(xml + "</Favorites>\n");
    ASSERT_GT(test::ReadFile(m_path).size(), 5u << 20);

    EXPECT_EQ(m_store.LoadFavorites().size(), 50000u);
    EXPECT_TRUE(m_store.DeleteFavorite("Newspaper number 49999",
                                       "https://news49999.example.com/index.html?edition="
                                       "international&lang=en"));
    EXPECT_TRUE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    const std::vector<FavoriteEntry> entries = m_store.LoadFavorites();
    ASSERT_EQ(entries.size(), 50000u);
    EXPECT_EQ(entries.back(), (FavoriteEntry{"Le Monde", "https://www.lemonde.fr/"}));
}

TEST_F(HostileFileTest, AFileAboveTheSizeLimitReadsAsEmptyIsKeptAndSaysWhy)
{
    const std::string head = "<Favorites><Favorite><title>A</title><url>u</url></Favorite>";
    const std::string tail = "</Favorites>";
    const std::string comment = "<!-- " + std::string(1000, 'x') + " -->";
    std::string xml = head;
    while (xml.size() + comment.size() + tail.size() <= kMaxFavoritesFileSize)
        xml += comment;
    xml.append(kMaxFavoritesFileSize - xml.size() - tail.size(), ' ');
    xml += tail;
    ASSERT_EQ(xml.size(), kMaxFavoritesFileSize);
    Write(xml);
    EXPECT_THAT(m_store.LoadFavorites(), ElementsAre(FavoriteEntry{"A", "u"}));
    // The file would grow beyond what can be read again.
    EXPECT_FALSE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_EQ(test::ReadFile(m_path), xml);

    xml.insert(head.size(), " ");
    Write(xml);
    FavoritesFileState state = FavoritesFileState::Read;
    EXPECT_THAT(m_store.LoadFavorites(&state), IsEmpty());
    EXPECT_EQ(state, FavoritesFileState::TooLarge);
    EXPECT_FALSE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_EQ(test::ReadFile(m_path), xml);
    EXPECT_THAT(m_reporter.messages, ElementsAre(HasSubstr("would be larger than 64 MB"),
                                                 HasSubstr("is larger than 64 MB")));
    m_reporter.messages.clear();
}

} // namespace
} // namespace lumo
