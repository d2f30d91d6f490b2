// OPML files on disk: what other readers export is read flat, what we write
// reads back the same, and hostile files are refused whole.
#include "headlines/core/opml.h"

#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace headlines {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class OpmlTest : public ::testing::Test
{
protected:
    OpmlReadResult ReadWritten(const std::string& bytes)
    {
        lumo::test::WriteFile(m_path, bytes);
        return ReadOpmlFile(m_path);
    }
    void ExpectRefused(const std::string& bytes, const std::string& reason)
    {
        const OpmlReadResult result = ReadWritten(bytes);
        EXPECT_THAT(result.error, HasSubstr(reason));
        EXPECT_THAT(result.outlines, IsEmpty());
    }

    lumo::test::TempDir m_dir;
    const std::string m_path = m_dir.File("subscriptions.opml");
};

TEST_F(OpmlTest, ReadsAnExportFlatWithFoldersDroppedAndBadAddressesSkipped)
{
    const OpmlReadResult result = ReadWritten(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<opml version=\"1.0\"><head>"
        "<title>Export</title></head><body>"
        "<outline text=\"World\" title=\"World\">"
        "  <outline text=\"Le Monde\" title=\"Le  Monde\" type=\"rss\" "
        "xmlUrl=\"https://www.lemonde.fr/rss/une.xml\" htmlUrl=\"https://www.lemonde.fr/\"/>"
        "  <outline text=\"Deep\"><outline text=\"Caf\xE9\" xmlUrl=\"http://cafe.example/rss\"/>"
        "  </outline></outline>"
        "<outline text=\"Page only\" htmlUrl=\"https://page.example/\"/>"
        "<outline text=\"Again\" xmlUrl=\"https://www.lemonde.fr/rss/une.xml\"/>"
        "<outline text=\"Evil\" xmlUrl=\"javascript:alert(1)\"/>"
        "<outline text=\"Half evil\" xmlUrl=\"https://ok.example/rss\" "
        "htmlUrl=\"data:text/html,x\"/>"
        "<outline text=\"Relative\" xmlUrl=\"/rss\"/>"
        "</body></opml>");
    EXPECT_EQ(result.error, "");
    EXPECT_THAT(result.outlines,
                ElementsAre(OpmlOutline{"Le Monde", "https://www.lemonde.fr/",
                                        "https://www.lemonde.fr/rss/une.xml"},
                            OpmlOutline{"Caf\u00e9", "", "http://cafe.example/rss"},
                            OpmlOutline{"Page only", "https://page.example/", ""}));
    EXPECT_EQ(result.skipped, 3u);
}

TEST_F(OpmlTest, WhatIsWrittenReadsBackTheSame)
{
    const std::vector<OpmlOutline> outlines = {
        {"Tom & Jerry <\"daily\"> 'news'", "https://a.example/?x=1&y=2", "https://a.example/rss"},
        {"\u65e5\u672c\u7d4c\u6e08\u65b0\u805e", "", "https://b.example/feed"},
        {"", "https://c.example/", ""},
    };
    const std::string written = WriteOpml(outlines, "My <papers>");
    EXPECT_THAT(written, HasSubstr("<opml version=\"2.0\">"));
    EXPECT_THAT(written, HasSubstr("<title>My &lt;papers&gt;</title>"));
    EXPECT_THAT(written, HasSubstr("type=\"rss\" xmlUrl=\"https://b.example/feed\""));
    const OpmlReadResult result = ReadWritten(written);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.outlines, outlines);

    // Bytes XML cannot hold are written as U+FFFD, never as a broken file;
    // an entry with no address is left out.
    const OpmlReadResult odd = ReadWritten(WriteOpml(
        {{std::string("bad\x01\xFFtext", 9), "", "https://d.example/"}, {"none", "", ""}}));
    EXPECT_EQ(odd.error, "");
    EXPECT_THAT(odd.outlines,
                ElementsAre(OpmlOutline{"bad\uFFFD\uFFFDtext", "", "https://d.example/"}));
}

TEST_F(OpmlTest, RefusesHostileAndBrokenFilesWhole)
{
    ExpectRefused("<!DOCTYPE opml [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
                  "<opml><body><outline text=\"&b;\" xmlUrl=\"https://x.example/\"/></body></opml>",
                  "declares entities");
    ExpectRefused("<!DOCTYPE opml [<!ENTITY % p SYSTEM \"file:///etc/passwd\"> %p;]><opml/>",
                  "declares entities");
    ExpectRefused("This is not XML at all", "not XML");
    ExpectRefused("<opml><body><outline xmlUrl=\"https://x.example/\"/>", "not XML");
    ExpectRefused("<html><body/></html>", "<html>");

    std::string many = "<opml><body>";
    for (std::size_t i = 0; i <= kMaxOpmlOutlines; ++i)
        many += "<outline xmlUrl=\"https://x.example/" + std::to_string(i) + "\"/>";
    ExpectRefused(many + "</body></opml>", "more than 10,000 outlines");

    std::string large = "<opml><body><outline text=\"";
    large.append(kMaxOpmlFileSize, 'x');
    ExpectRefused(large + "\" xmlUrl=\"https://x.example/\"/></body></opml>", "larger than 20 MB");

    EXPECT_THAT(ReadOpmlFile(m_dir.File("missing.opml")).error, HasSubstr("could not be read"));
    EXPECT_THAT(ReadOpmlFile(m_dir.Path()).error, HasSubstr("not a file"));
    const std::string fifo = m_dir.File("fifo.opml");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THAT(ReadOpmlFile(fifo).error, HasSubstr("not a file"));
}

} // namespace
} // namespace headlines
