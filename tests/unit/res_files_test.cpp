// The files the program ships: the default favorites file must read as the
// program reads it, the start page and the help page must work offline and
// have no dead links, and the build must lay them out in the program directory.
#include "res/embedded.h"

#include "temp_dir.h"
#include <gtest/gtest.h>

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kResDir = fs::path(LUMO_SOURCE_DIR) / "res";

struct DocFree
{
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

std::string Name(const xmlNode* node)
{
    return reinterpret_cast<const char*>(node->name);
}

std::string Text(const xmlNode* node)
{
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

std::string Attribute(const xmlNode* node, const char* name)
{
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

std::vector<const xmlNode*> ChildElements(const xmlNode* parent)
{
    std::vector<const xmlNode*> elements;
    for (const xmlNode* child = parent->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            elements.push_back(child);
    }
    return elements;
}

void ForEachElement(const xmlNode* node, const std::function<void(const xmlNode*)>& visit)
{
    for (; node; node = node->next) {
        if (node->type == XML_ELEMENT_NODE) {
            visit(node);
            ForEachElement(node->children, visit);
        }
    }
}

DocPtr ParseHtml(const std::string& bytes, const std::string& url)
{
    return DocPtr(htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), url.c_str(), "UTF-8",
                                 HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING));
}

// Whether a reference leaves the page's own folder: a scheme, a host or an
// absolute path. Such a reference would need the network or a fixed location.
bool LeavesThePage(const std::string& ref)
{
    const auto colon = ref.find(':');
    const auto slash = ref.find('/');
    return ref.starts_with('/') || (colon != std::string::npos && colon < slash);
}

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

TEST(DefaultFavoritesFile, HoldsRealNewspapersInTheFormTheProgramReads)
{
    const std::string path = (kResDir / "Favorites.xml").string();
    DocPtr doc(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET));
    ASSERT_TRUE(doc) << path << " is not well-formed XML";
    ASSERT_NE(doc->encoding, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(doc->encoding), "UTF-8");

    const xmlNode* root = xmlDocGetRootElement(doc.get());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Name(root), "Favorites");

    const auto entries = ChildElements(root);
    EXPECT_GE(entries.size(), 6u);
    EXPECT_LE(entries.size(), 8u);
    std::set<std::string> titles;
    std::set<std::string> urls;
    for (const xmlNode* entry : entries) {
        EXPECT_EQ(Name(entry), "Favorite");
        EXPECT_EQ(entry->properties, nullptr) << "values are element text, never attributes";
        const auto fields = ChildElements(entry);
        ASSERT_EQ(fields.size(), 2u);
        EXPECT_EQ(Name(fields[0]), "title");
        EXPECT_EQ(Name(fields[1]), "url");
        const std::string title = Text(fields[0]);
        const std::string url = Text(fields[1]);
        // The dialogs compare entries exactly, as typed: stray blanks would
        // make the shipped entries impossible to delete from the dialog.
        EXPECT_EQ(title, Trimmed(title));
        EXPECT_EQ(url, Trimmed(url));
        EXPECT_FALSE(title.empty());
        EXPECT_TRUE(url.starts_with("https://")) << url;
        EXPECT_TRUE(titles.insert(title).second) << "two entries named " << title;
        EXPECT_TRUE(urls.insert(url).second) << "two entries for " << url;
    }
}

TEST(StartPage, IsSelfContainedAndEveryReferenceIsEmbedded)
{
    const lumo::res::EmbeddedFile* index = lumo::res::FindStartPageFile("index.html");
    ASSERT_NE(index, nullptr);
    DocPtr doc = ParseHtml(std::string(index->bytes), "lumo://start/index.html");
    ASSERT_TRUE(doc);

    std::string title;
    std::vector<std::string> refs;
    int scripts = 0;
    ForEachElement(xmlDocGetRootElement(doc.get()), [&](const xmlNode* element) {
        const std::string name = Name(element);
        if (name == "title")
            title = Text(element);
        if (name == "script")
            ++scripts;
        for (const char* attribute : {"src", "href"}) {
            const std::string value = Attribute(element, attribute);
            if (!value.empty())
                refs.push_back(value);
        }
    });
    EXPECT_EQ(title, "Lumo News Reader — Start");
    EXPECT_EQ(scripts, 0) << "the start page needs no JavaScript";

    // url(...) in the style sheets count as references too.
    for (const lumo::res::EmbeddedFile& file : lumo::res::StartPageFiles()) {
        if (file.mimeType != "text/css")
            continue;
        const std::string css(file.bytes);
        for (auto at = css.find("url("); at != std::string::npos; at = css.find("url(", at + 4)) {
            std::string ref = Trimmed(css.substr(at + 4, css.find(')', at) - at - 4));
            if (ref.size() >= 2 && (ref.front() == '"' || ref.front() == '\''))
                ref = ref.substr(1, ref.size() - 2);
            if (!ref.starts_with("data:"))
                refs.push_back(ref);
        }
        EXPECT_EQ(css.find("@import"), std::string::npos) << file.name;
    }

    EXPECT_FALSE(refs.empty());
    for (const std::string& ref : refs) {
        if (ref.starts_with('#'))
            continue;
        EXPECT_FALSE(LeavesThePage(ref)) << ref << " would not load offline under lumo://start/";
        const std::string file = ref.substr(0, ref.find_first_of("#?"));
        EXPECT_NE(lumo::res::FindStartPageFile(file), nullptr) << ref << " is not embedded";
    }
}

TEST(HelpPage, WorksOfflineAndDocumentsEveryMenuItemAndSetting)
{
    const std::string bytes = lumo::test::ReadFile((kResDir / "readme.htm").string());
    DocPtr doc = ParseHtml(bytes, "file:///readme.htm");
    ASSERT_TRUE(doc);

    std::set<std::string> ids;
    std::vector<std::string> fragments;
    bool declaresUtf8 = false;
    ForEachElement(xmlDocGetRootElement(doc.get()), [&](const xmlNode* element) {
        const std::string name = Name(element);
        if (name == "meta" && Attribute(element, "charset") == "utf-8")
            declaresUtf8 = true;
        EXPECT_NE(name, "script") << "the help page needs no JavaScript";
        EXPECT_NE(name, "link") << "the help page carries its own style";
        EXPECT_TRUE(Attribute(element, "src").empty())
            << "the help page loads nothing: <" << name << " src=" << Attribute(element, "src");
        if (const std::string id = Attribute(element, "id"); !id.empty()) {
            EXPECT_TRUE(ids.insert(id).second) << "id " << id << " used twice";
        }
        if (const std::string href = Attribute(element, "href"); href.starts_with('#'))
            fragments.push_back(href.substr(1));
    });
    EXPECT_TRUE(declaresUtf8);
    EXPECT_EQ(bytes.find("url("), std::string::npos) << "the style loads nothing either";
    for (const std::string& fragment : fragments)
        EXPECT_TRUE(ids.count(fragment)) << "dead link #" << fragment;

    const std::string text = Text(xmlDocGetRootElement(doc.get()));
    for (const char* needed : {"Minimize",
                               "Exit",
                               "Home",
                               "Back",
                               "Forword",
                               "Modify",
                               "Backup",
                               "Go to",
                               "Use Blank",
                               "Use Default",
                               "Use Current",
                               "XP",
                               "Mini",
                               "Soft",
                               "Status",
                               "Toolbar",
                               "Content and Index",
                               "Product Homepage",
                               "About...",
                               "Edit My Favorite",
                               "Favorites.xml.bk",
                               "lumo://start/",
                               "https://www.lumonewsreader.org/",
                               "LumoNewsReader/LumoNewsReader.conf",
                               "[Settings_en]",
                               "WindowSize",
                               "SkinStyle",
                               "IndexPage",
                               "IndexPageURL",
                               "CataView",
                               "F6",
                               "F5",
                               "Try again"}) {
        EXPECT_NE(text.find(needed), std::string::npos)
            << "the help page never mentions " << needed;
    }
}

TEST(ProgramDirectory, HoldsACopyOfEveryShippedFile)
{
#ifndef LUMO_PROGRAM_DIR
    GTEST_SKIP() << "built without the program directory's location";
#else
    for (const char* file : {"Favorites.xml", "readme.htm", "Skin/XPCorona.ssk",
                             "Skin/Minimized.ssk", "Skin/SoftCrystal.ssk"}) {
        const fs::path copy = fs::path(LUMO_PROGRAM_DIR) / file;
        ASSERT_TRUE(fs::exists(copy)) << copy;
        EXPECT_EQ(lumo::test::ReadFile(copy.string()),
                  lumo::test::ReadFile((kResDir / file).string()))
            << copy << " differs from its source";
    }
#endif
}

} // namespace
