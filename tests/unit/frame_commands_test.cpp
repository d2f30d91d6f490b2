// The main frame's saved choices and their commands, with a real settings file and a
// sink that records what the commands ask of the panes.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <wx/config.h>

#include "app/frame_commands.h"
#include "common/app_paths.h"
#include "common/globals.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "common/window_caption.h"
#include "temp_dir.h"

using namespace lumo;
using lumo::test::FileExists;
using lumo::test::ReadFile;
using lumo::test::TempDir;

namespace {

class RecordingSink : public CommandSink
{
public:
    void BuildCatalogTree(CataView arrangement) override
    {
        calls.push_back("build " + std::to_string(static_cast<int>(arrangement)));
    }
    void LoadSkin(const std::string& path) override { calls.push_back("skin " + path); }
    void NavigateTo(const std::string& url) override { calls.push_back("go " + url); }
    void OpenExternal(const std::string& url) override { calls.push_back("open " + url); }
    std::vector<std::string> calls;
};

class FrameCommandsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_strCurrentURL = kProductStartPage;
        Reopen();
    }
    // Re-reads the settings as a new run of the program would.
    void Reopen()
    {
        m_commands.reset();
        m_store.reset();
        m_config = OpenSettingsFile(Path());
        m_store = std::make_unique<ProfileStore>(*m_config);
        m_commands = std::make_unique<FrameCommands>(*m_store, m_sink);
    }
    std::string Path() const { return m_dir.File("LumoNewsReader.conf"); }
    std::string SettingsText() const { return FileExists(Path()) ? ReadFile(Path()) : "<none>"; }

    TempDir m_dir;
    RecordingSink m_sink;
    SettingsFile m_config;
    std::unique_ptr<ProfileStore> m_store;
    std::unique_ptr<FrameCommands> m_commands;
};

} // namespace

TEST_F(FrameCommandsTest, FirstRunHasTheDefaultChoices)
{
    EXPECT_EQ(m_commands->CataView(), CataView::ByArea);
    EXPECT_EQ(m_commands->SkinStyle(), SkinStyle::Minimized);
    EXPECT_EQ(m_commands->IndexPage(), IndexPage::Default);

    m_commands->GoToStartPage();
    EXPECT_EQ(m_sink.calls, std::vector<std::string>{"go lumo://start/"});
}

TEST_F(FrameCommandsTest, ChoosingWhatIsAlreadyCurrentDoesNothingAtAll)
{
    m_commands->CatalogBy(CataView::ByArea);
    m_commands->ChooseSkin(SkinStyle::Minimized);
    m_commands->ChooseIndexPage(IndexPage::Default);
    EXPECT_TRUE(m_sink.calls.empty());
    EXPECT_FALSE(FileExists(Path())); // no write at all

    m_commands->UseCurrent(g_strCurrentURL);
    std::string before = SettingsText();
    g_strCurrentURL = "https://other.example/";
    m_commands->UseCurrent(g_strCurrentURL);
    EXPECT_EQ(SettingsText(), before);
}

TEST_F(FrameCommandsTest, SkinCommandsLoadTheSkinAndStoreTheChoice)
{
    m_commands->ChooseSkin(SkinStyle::XPCorona);
    m_commands->ChooseSkin(SkinStyle::SoftCrystal);
    EXPECT_EQ(m_sink.calls,
              (std::vector<std::string>{"skin Skin/XPCorona.ssk", "skin Skin/SoftCrystal.ssk"}));
    EXPECT_EQ(m_commands->SkinStyle(), SkinStyle::SoftCrystal);
    EXPECT_EQ(m_store->Get(kSkinStyle), SkinStyle::SoftCrystal);

    Reopen();
    EXPECT_EQ(m_commands->SkinStyle(), SkinStyle::SoftCrystal);
}

TEST_F(FrameCommandsTest, UnknownStoredSkinIsNoneOfThemAndAnySkinCanBeChosen)
{
    m_store->Write(kSkinStyle, SkinStyle{7});
    Reopen();
    EXPECT_NE(m_commands->SkinStyle(), SkinStyle::XPCorona);
    EXPECT_NE(m_commands->SkinStyle(), SkinStyle::Minimized);
    EXPECT_NE(m_commands->SkinStyle(), SkinStyle::SoftCrystal);
    m_commands->ChooseSkin(SkinStyle::Minimized);
    EXPECT_EQ(m_sink.calls, std::vector<std::string>{"skin Skin/Minimized.ssk"});
    EXPECT_EQ(m_store->Get(kSkinStyle), SkinStyle::Minimized);
}

TEST_F(FrameCommandsTest, CatalogueCommandsRebuildOnlyOnAChange)
{
    m_commands->CatalogBy(CataView::ByContent);
    m_commands->CatalogBy(CataView::ByContent);
    m_commands->CatalogBy(CataView::ByArea);
    EXPECT_EQ(m_sink.calls, (std::vector<std::string>{"build 2", "build 1"}));
    EXPECT_EQ(m_store->Get(kCataView), CataView::ByArea);
    EXPECT_EQ(m_commands->CataView(), CataView::ByArea);
    m_commands->CatalogBy(CataView::ByContent);
    Reopen();
    EXPECT_EQ(m_commands->CataView(), CataView::ByContent);
}

TEST_F(FrameCommandsTest, BrowseCommandsGoToThePane)
{
    m_store->Write(kIndexPage, IndexPage::Blank);
    Reopen();
    m_commands->Home();
    m_commands->ShowProductHomepage();
    EXPECT_EQ(m_sink.calls, (std::vector<std::string>{"go lumo://start/",
                                                      std::string("open ") + kProductWebPage}));
}

TEST_F(FrameCommandsTest, GoToOpensThePageOfEachChoice)
{
    struct Case
    {
        int indexPage;
        std::string storedUrl;
        std::string expected;
    };
    const Case cases[] = {
        {1, "https://stored.example/", "go about:blank"},
        {2, "https://stored.example/", "go lumo://start/"},
        {3, "https://stored.example/", "go https://stored.example/"},
        {5, "https://stored.example/", "go https://stored.example/"},
        {3, "", "go "},
    };
    for (const Case& c : cases) {
        m_store->Write(kIndexPage, IndexPage{c.indexPage});
        m_store->WriteProfileString(kSettingsSection, kIndexPageURL, c.storedUrl);
        Reopen();
        m_sink.calls.clear();
        m_commands->GoToStartPage();
        EXPECT_EQ(m_sink.calls, std::vector<std::string>{c.expected}) << c.indexPage;
        EXPECT_EQ(m_commands->IndexPage(), IndexPage{c.indexPage});
    }
}

TEST_F(FrameCommandsTest, GoToReadsTheStoredAddressEachTime)
{
    m_commands->UseCurrent(g_strCurrentURL);
    // Changed from outside while the program runs.
    SettingsFile otherConfig = OpenSettingsFile(Path());
    ProfileStore(*otherConfig)
        .WriteProfileString(kSettingsSection, kIndexPageURL, "https://new.example/");
    m_config = OpenSettingsFile(Path());
    m_sink.calls.clear();
    m_store = std::make_unique<ProfileStore>(*m_config);
    FrameCommands commands(*m_store, m_sink);
    commands.GoToStartPage();
    EXPECT_EQ(m_sink.calls, std::vector<std::string>{"go https://new.example/"});
}

TEST_F(FrameCommandsTest, UseCurrentStoresTheFirstAddressUntilAnotherChoiceIntervenes)
{
    // Before any newspaper was selected: the product's start page.
    m_commands->UseCurrent(g_strCurrentURL);
    EXPECT_EQ(m_store->Get(kIndexPage), IndexPage::Current);
    EXPECT_EQ(m_store->GetProfileString(kSettingsSection, kIndexPageURL), kProductStartPage);

    g_strCurrentURL = "https://first.example/";
    m_commands->UseCurrent(g_strCurrentURL);
    EXPECT_EQ(m_store->GetProfileString(kSettingsSection, kIndexPageURL), kProductStartPage);

    m_commands->ChooseIndexPage(IndexPage::Blank);
    EXPECT_EQ(m_store->Get(kIndexPage), IndexPage::Blank);
    m_commands->UseCurrent(g_strCurrentURL);
    EXPECT_EQ(m_store->GetProfileString(kSettingsSection, kIndexPageURL), "https://first.example/");

    // A leaf without an address leaves an empty current address, stored as such.
    m_commands->ChooseIndexPage(IndexPage::Default);
    g_strCurrentURL.clear();
    m_commands->UseCurrent(g_strCurrentURL);
    EXPECT_EQ(m_store->GetProfileString(kSettingsSection, kIndexPageURL), "");
    m_sink.calls.clear();
    m_commands->GoToStartPage();
    EXPECT_EQ(m_sink.calls, std::vector<std::string>{"go "});
}

TEST_F(FrameCommandsTest, HelpOpensTheHelpFileOfTheProgramDirectory)
{
    SetProgramDirectory("/opt/Lumo News#1/100%");
    m_commands->ShowHelpContent(ProgramDirectory());
    EXPECT_EQ(m_sink.calls,
              std::vector<std::string>{"go file:///opt/Lumo%20News%231/100%25/readme.htm"});
}

TEST(FirstPage, FollowsIndexPage)
{
    EXPECT_EQ(FirstPageFor(IndexPage::Default, "https://x.example/"),
              std::optional<std::string>(kProductStartPage));
    EXPECT_EQ(FirstPageFor(IndexPage::Current, "https://x.example/"),
              std::optional<std::string>("https://x.example/"));
    EXPECT_EQ(FirstPageFor(IndexPage::Current, ""), std::optional<std::string>(""));
    EXPECT_EQ(FirstPageFor(IndexPage::Current, " javascript:document.title=document.cookie"),
              std::nullopt);
    for (int value : {0, 1, 4, -1, 99})
        EXPECT_EQ(FirstPageFor(IndexPage{value}, "https://x.example/"), std::nullopt) << value;
}

TEST(AppPaths, ProgramDirectoryRule)
{
    EXPECT_EQ(AppDirFor(std::string("/home/ann/news")), "/home/ann/news");
    EXPECT_EQ(AppDirFor(std::string("/")), "/");
    EXPECT_EQ(AppDirFor(std::nullopt), "/");
    EXPECT_EQ(AppDirFor(std::string()), "/");
    std::string longest = "/" + std::string(1023, 'a');
    EXPECT_EQ(AppDirFor(longest), longest);
    EXPECT_EQ(AppDirFor(longest + "b"), "/");
    // The root keeps its separator, so the favorites path doubles it.
    EXPECT_EQ(FavoritesFilePath("/"), "//Favorites.xml");
    EXPECT_EQ(FavoritesFilePath("/srv/news"), "/srv/news/Favorites.xml");
}

TEST(AppPaths, HelpUrlIsAWellFormedFileUrl)
{
    EXPECT_EQ(HelpFileUrl("/srv/news"), "file:///srv/news/readme.htm");
    EXPECT_EQ(HelpFileUrl("/"), "file:///readme.htm");
    EXPECT_EQ(HelpFileUrl("/a b/c?d/e&f"), "file:///a%20b/c%3Fd/e%26f/readme.htm");
    EXPECT_EQ(HelpFileUrl("/Zeitungen/Über"), "file:///Zeitungen/%C3%9Cber/readme.htm");
}

TEST(AppPaths, SkinFiles)
{
    EXPECT_STREQ(SkinFileForStyle(SkinStyle::XPCorona), "Skin/XPCorona.ssk");
    EXPECT_STREQ(SkinFileForStyle(SkinStyle::Minimized), "Skin/Minimized.ssk");
    EXPECT_STREQ(SkinFileForStyle(SkinStyle::SoftCrystal), "Skin/SoftCrystal.ssk");
    EXPECT_EQ(SkinFileForStyle(SkinStyle{0}), nullptr);
    EXPECT_EQ(SkinFileForStyle(SkinStyle{4}), nullptr);
}

TEST(AppPaths, CurrentDirectoryIsReadWhole)
{
    TempDir dir;
    std::string deep = dir.Path();
    while (deep.size() <= kMaxAppDirLength + 10) {
        deep += "/" + std::string(100, 'd');
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    std::optional<std::string> saved = CurrentDirectory();
    ASSERT_EQ(chdir(deep.c_str()), 0);
    std::optional<std::string> seen = CurrentDirectory();
    ASSERT_EQ(chdir(saved->c_str()), 0);
    ASSERT_TRUE(seen);
    EXPECT_EQ(*seen, deep);
    EXPECT_EQ(AppDirFor(seen), "/");
}

TEST(WindowCaptionTest, KeepsTheTitleButNothingThatTurnsOrHidesIt)
{
    EXPECT_EQ(WindowCaption("Le Monde \u2014 \u00e9dition"),
              "Le Monde \u2014 \u00e9dition - Lumo News Reader");
    EXPECT_EQ(WindowCaption(""), " - Lumo News Reader");
    // Overrides, embeddings, isolates, marks and control characters go; line
    // breaks and tabs become blanks.
    EXPECT_EQ(
        WindowCaption("\u202egnp.exe\u202c news\u2066x\u2069\u200e\u200f\u061c\x01\x7f\u0085"),
        "gnp.exe newsx - Lumo News Reader");
    EXPECT_EQ(WindowCaption("Two\nlines\tand a tab"), "Two lines and a tab - Lumo News Reader");
    // Text of any script stays, and what is no UTF-8 goes on its own.
    EXPECT_EQ(WindowCaption("\u05d7\u05d3\u05e9\u05d5\u05ea \U0001F4F0"),
              "\u05d7\u05d3\u05e9\u05d5\u05ea \U0001F4F0 - Lumo News Reader");
    EXPECT_EQ(WindowCaption("ok\xff\xc3(\xe2\x80\xae"), "ok( - Lumo News Reader");
}
