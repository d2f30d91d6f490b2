// The settings store on a real settings file in a temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <utility>
#include <vector>

#include <wx/config.h>

#include "capturing_reporter.h"
#include "common/settings.h"
#include "common/window_placement.h"
#include "favorites/favorites_backup.h"
#include "favorites/favorites_store.h"
#include "temp_dir.h"

using namespace lumo;
using lumo::test::ReadFile;
using lumo::test::TempDir;
using lumo::test::WriteFile;

namespace {

struct OpenedStore
{
    SettingsFile config;
    std::unique_ptr<ProfileStore> store;
};

OpenedStore Open(const std::string& path)
{
    OpenedStore opened;
    opened.config = OpenSettingsFile(path);
    opened.store = std::make_unique<ProfileStore>(*opened.config);
    return opened;
}

} // namespace

TEST(Settings, EmptyStoreGivesTheDefaultOfEveryKey)
{
    TempDir dir;
    auto s = Open(dir.File("LumoNewsReader/LumoNewsReader.conf"));
    EXPECT_EQ(s.store->Get(kWindowSize), WindowShow::Normal);
    EXPECT_EQ(s.store->Get(kSkinStyle), SkinStyle::Minimized);
    EXPECT_EQ(s.store->Get(kIndexPage), IndexPage::Default);
    EXPECT_EQ(s.store->Get(kCataView), CataView::ByArea);
    EXPECT_EQ(s.store->GetProfileString(kSettingsSection, kIndexPageURL), "");
    // Reading writes nothing.
    EXPECT_FALSE(lumo::test::FileExists(dir.File("LumoNewsReader/LumoNewsReader.conf")));
}

TEST(Settings, EveryWriteIsOnDiskAtOnceWithItsType)
{
    TempDir dir;
    std::string path = dir.File("LumoNewsReader/LumoNewsReader.conf");
    auto writer = Open(path);
    ASSERT_TRUE(writer.store->Write(kWindowSize, WindowShow::Maximized));
    ASSERT_TRUE(writer.store->Write(kSkinStyle, SkinStyle{7}));
    ASSERT_TRUE(writer.store->Write(kCataView, CataView::ByContent));
    ASSERT_TRUE(writer.store->WriteProfileString(kSettingsSection, kIndexPageURL,
                                                 "https://example.org/?a=1&b=2"));

    // A second reader sees every value while the writer is still open.
    auto reader = Open(path);
    EXPECT_EQ(reader.store->Get(kWindowSize), WindowShow::Maximized);
    EXPECT_EQ(reader.store->Get(kSkinStyle), SkinStyle{7});
    EXPECT_EQ(reader.store->Get(kCataView), CataView::ByContent);
    EXPECT_EQ(reader.store->Get(kIndexPage), IndexPage::Default);
    EXPECT_EQ(reader.store->GetProfileString(kSettingsSection, kIndexPageURL),
              "https://example.org/?a=1&b=2");

    std::string text = ReadFile(path);
    EXPECT_NE(text.find("[Settings_en]"), std::string::npos);
    EXPECT_NE(text.find("WindowSize=3"), std::string::npos);
}

TEST(Settings, EverySavedChoiceKeepsTheNumberUsersFilesHold)
{
    TempDir dir;
    auto s = Open(dir.File("LumoNewsReader/LumoNewsReader.conf"));
    auto stored = [&](const char* key) { return s.store->GetProfileInt(kSettingsSection, key, 0); };
    const std::pair<WindowShow, int> shows[] = {{WindowShow::Minimized, 2},
                                                {WindowShow::Maximized, 3},
                                                {WindowShow::Normal, 5},
                                                {WindowShow::Minimize, 6},
                                                {WindowShow::MinimizedInactive, 7}};
    for (auto [show, number] : shows) {
        ASSERT_TRUE(s.store->Write(kWindowSize, show));
        EXPECT_EQ(stored("WindowSize"), number);
    }
    const std::pair<SkinStyle, int> skins[] = {
        {SkinStyle::XPCorona, 1}, {SkinStyle::Minimized, 2}, {SkinStyle::SoftCrystal, 3}};
    for (auto [skin, number] : skins) {
        ASSERT_TRUE(s.store->Write(kSkinStyle, skin));
        EXPECT_EQ(stored("SkinStyle"), number);
    }
    const std::pair<IndexPage, int> pages[] = {
        {IndexPage::Blank, 1}, {IndexPage::Default, 2}, {IndexPage::Current, 3}};
    for (auto [page, number] : pages) {
        ASSERT_TRUE(s.store->Write(kIndexPage, page));
        EXPECT_EQ(stored("IndexPage"), number);
    }
    const std::pair<CataView, int> views[] = {{CataView::ByArea, 1}, {CataView::ByContent, 2}};
    for (auto [view, number] : views) {
        ASSERT_TRUE(s.store->Write(kCataView, view));
        EXPECT_EQ(stored("CataView"), number);
    }
}

TEST(Settings, AddressesRoundTripUnchanged)
{
    TempDir dir;
    std::string path = dir.File("s/LumoNewsReader.conf");
    const std::string tricky[] = {
        "https://example.org/$HOME/${USER}?q=%20x#top",
        "  leading and trailing blanks  ",
        "C:\\News\\readme.htm \"quoted\"",
        "https://zeitung.example/Über/straße",
        "two\nlines",
        "",
    };
    for (const std::string& value : tricky) {
        {
            auto writer = Open(path);
            ASSERT_TRUE(writer.store->WriteProfileString(kSettingsSection, kIndexPageURL, value));
        }
        auto reader = Open(path);
        EXPECT_EQ(reader.store->GetProfileString(kSettingsSection, kIndexPageURL), value);
    }
}

TEST(Settings, CorruptFileGivesDefaultsForWhatCannotBeRead)
{
    TempDir dir;
    std::string path = dir.File("LumoNewsReader.conf");
    WriteFile(path, "\x01\x02garbage without equals\n[Settings_en\nWindowSize=abc\n"
                    "[Settings_en]\nSkinStyle=3\nIndexPage=12x\nCataView=\n=5\n\xff\xfe\n");
    auto s = Open(path);
    EXPECT_EQ(s.store->Get(kWindowSize), WindowShow::Normal);
    EXPECT_EQ(s.store->Get(kSkinStyle), SkinStyle::SoftCrystal);
    EXPECT_EQ(s.store->Get(kIndexPage), IndexPage::Default);
    EXPECT_EQ(s.store->Get(kCataView), CataView::ByArea);
    // The program keeps running and can still store its choices.
    EXPECT_TRUE(s.store->Write(kCataView, CataView::ByContent));
    EXPECT_EQ(Open(path).store->Get(kCataView), CataView::ByContent);
}

TEST(Settings, UnwritableStoreReportsFailureAndKeepsRunning)
{
    TempDir dir;
    // The settings folder's place is taken by a file, so nothing can be written there.
    WriteFile(dir.File("blocked"), "not a folder");
    auto s = Open(dir.File("blocked/LumoNewsReader.conf"));
    EXPECT_FALSE(s.store->Write(kSkinStyle, SkinStyle::XPCorona));
    EXPECT_FALSE(s.store->WriteProfileString(kSettingsSection, kIndexPageURL, "x"));
    EXPECT_EQ(ReadFile(dir.File("blocked")), "not a folder");
}

TEST(Settings, FileFollowsXdgConfigHome)
{
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/xdg-here", 1);
    EXPECT_EQ(SettingsFilePath(), "/tmp/xdg-here/LumoNewsReader/LumoNewsReader.conf");
    setenv("XDG_CONFIG_HOME", "", 1);
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    EXPECT_EQ(SettingsFilePath(), home + "/.config/LumoNewsReader/LumoNewsReader.conf");
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST(Settings, KeptWindowPlaceIsReadBackOnlyWhenWhole)
{
    TempDir dir;
    std::string path = dir.File("LumoNewsReader/LumoNewsReader.conf");
    {
        auto s = Open(path);
        EXPECT_EQ(ReadNormalPlacement(*s.store), std::nullopt);
        WriteNormalPlacement(*s.store, {30, 40, 800, 600});
    }
    EXPECT_EQ(ReadNormalPlacement(*Open(path).store), (ScreenRect{30, 40, 800, 600}));
    // The window's place has a group of its own.
    EXPECT_EQ(ReadFile(path).find("[Settings_en]"), std::string::npos);
    WriteFile(path, "[Window]\nLeft=30\nTop=x\nWidth=800\nHeight=600\n");
    EXPECT_EQ(ReadNormalPlacement(*Open(path).store), std::nullopt);
}

TEST(Settings, ALinkedFileStaysALinkAndAnUnchangedValueRewritesNothing)
{
    TempDir dir;
    const std::string target = dir.File("elsewhere.conf");
    const std::string path = dir.File("LumoNewsReader/LumoNewsReader.conf");
    WriteFile(target, "[Settings_en]\nWindowSize=5\n");
    std::filesystem::create_directories(dir.File("LumoNewsReader"));
    std::filesystem::create_symlink(target, path);
    struct stat before;
    ASSERT_EQ(stat(target.c_str(), &before), 0);
    {
        auto s = Open(path);
        EXPECT_TRUE(s.store->Write(kWindowSize, WindowShow::Normal));
        struct stat after;
        ASSERT_EQ(stat(target.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino); // not written again
        EXPECT_TRUE(s.store->Write(kWindowSize, WindowShow::Maximized));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(ReadFile(target), "[Settings_en]\nWindowSize=3\n");
}

TEST(Settings, FilesBehindLinksAreWrittenOnlyWhenRegularAndTheUserIsToldOnce)
{
    TempDir dir;
    const std::string path = dir.File("LumoNewsReader/LumoNewsReader.conf");
    std::filesystem::create_directories(dir.File("LumoNewsReader"));
    struct Target
    {
        std::string path;
        mode_t type;
    };
    std::vector<Target> targets{{dir.File("pipe"), S_IFIFO}, {dir.File("folder"), S_IFDIR}};
    ASSERT_EQ(mkfifo(targets[0].path.c_str(), 0600), 0);
    std::filesystem::create_directory(targets[1].path);
    // A device node of our own, where root may make one: what must not
    // become a file is never a device the system uses.
    if (mknod(dir.File("null").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        targets.push_back({dir.File("null"), S_IFCHR});

    for (const Target& target : targets) {
        std::filesystem::remove(path);
        std::filesystem::create_symlink(target.path, path);
        std::vector<std::string> told;
        {
            auto s = Open(path);
            TellWhenSettingsCannotBeSaved(
                *s.config, [&told](const std::string& text) { told.push_back(text); });
            EXPECT_EQ(s.store->Get(kWindowSize), WindowShow::Normal);
            EXPECT_FALSE(s.store->Write(kWindowSize, WindowShow::Maximized));
            EXPECT_FALSE(s.store->WriteProfileString(kSettingsSection, kIndexPageURL, "x"));
            WriteNormalPlacement(*s.store, {30, 40, 800, 600});
        } // closing writes nothing either
        ASSERT_EQ(told.size(), 1u) << target.path;
        EXPECT_NE(told[0].find("The settings cannot be saved: " + path), std::string::npos);
        EXPECT_TRUE(std::filesystem::is_symlink(path));
        EXPECT_EQ(std::filesystem::read_symlink(path), target.path);
        struct stat st;
        ASSERT_EQ(lstat(target.path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, target.type) << target.path;
    }

    // The favorites file and its backup behind links to a pipe: refused,
    // said, and the pipe stays.
    const std::string pipe = targets[0].path;
    std::filesystem::create_symlink(pipe, dir.File("Favorites.xml"));
    test::CapturingReporter reporter;
    EXPECT_FALSE(FavoritesStore(dir.File("Favorites.xml"), reporter).AddFavorite("A", "http://a/"));
    std::filesystem::remove(dir.File("Favorites.xml"));
    WriteFile(dir.File("Favorites.xml"), "<Favorites/>");
    std::filesystem::create_symlink(pipe, dir.File("Favorites.xml.bk"));
    EXPECT_EQ(BackupFavorites(dir.Path(), reporter), BackupResult::TargetUncreatable);
    EXPECT_EQ(
        reporter.messages,
        (std::vector<std::string>{"The favorites could not be saved: " + dir.File("Favorites.xml") +
                                      " is not a file. The file is left as it is.",
                                  kMsgBackupTargetUncreatable}));
    struct stat st;
    ASSERT_EQ(lstat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A link to a file not there yet: the file is made where it points.
    std::filesystem::remove(path);
    std::filesystem::create_symlink(dir.File("new.conf"), path);
    EXPECT_TRUE(Open(path).store->Write(kCataView, CataView::ByContent));
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(ReadFile(dir.File("new.conf")), "[Settings_en]\nCataView=2\n");
}
