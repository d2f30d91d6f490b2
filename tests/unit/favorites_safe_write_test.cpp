// Writing the favorites file or its backup never destroys what was there:
// a failed write leaves the old file byte for byte, and a file the user made
// read-only is not replaced.
#include "favorites/favorites_backup.h"
#include "favorites/favorites_store.h"

#include "favorites_file_test.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;


// For one scope, every write past `bytes` into any file fails as on a full
// disk (EFBIG). It holds for root too, unlike permission bits.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit limited{bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

std::string FavoritesWith(int entries)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<Favorites>\n";
    for (int i = 0; i < entries; ++i)
        xml += "  <Favorite>\n    <title>Paper " + std::to_string(i) +
               "</title>\n    <url>https://paper" + std::to_string(i) +
               ".example/?a=1&amp;b=2</url>\n  </Favorite>\n";
    return xml + "</Favorites>\n";
}

unsigned Mode(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::vector<std::string> DirectoryListing(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SafeWriteTest : public test::FavoritesFileTest
{
protected:
    std::string m_backup = m_dir.File("Favorites.xml.bk");
};

TEST_F(SafeWriteTest, AFailedSaveLeavesTheOldFileAndNoLeftovers)
{
    const std::string old = FavoritesWith(200);
    test::WriteFile(m_path, old);
    {
        FileSizeLimit diskFull(old.size() / 2);
        EXPECT_FALSE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
        EXPECT_FALSE(m_store.DeleteFavorite("Paper 3", "https://paper3.example/?a=1&b=2"));
        EXPECT_FALSE(m_store.DeleteFavorite("No such", "http://none/"));
    }
    EXPECT_EQ(test::ReadFile(m_path), old);
    EXPECT_THAT(DirectoryListing(m_dir.Path()), ElementsAre("Favorites.xml"));
    EXPECT_THAT(m_reporter.messages, IsEmpty());

    // Nothing is left half done: with room again, the same change works.
    EXPECT_TRUE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_EQ(m_store.LoadFavorites().size(), 201u);
}

TEST_F(SafeWriteTest, AReadOnlyFavoritesFileIsNeverReplaced)
{
    // Root may write anything, but the user's read-only mark is honoured.
    const std::string old = FavoritesWith(3);
    test::WriteFile(m_path, old);
    ASSERT_EQ(chmod(m_path.c_str(), 0444), 0);

    EXPECT_FALSE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_FALSE(m_store.DeleteFavorite("Paper 1", "https://paper1.example/?a=1&b=2"));
    EXPECT_EQ(test::ReadFile(m_path), old);
    EXPECT_EQ(Mode(m_path), 0444u);
    EXPECT_EQ(m_store.LoadFavorites().size(), 3u);
}

TEST_F(SafeWriteTest, AReadOnlyDirectoryKeepsTheFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories; see the full-disk case";
    const std::string old = FavoritesWith(3);
    test::WriteFile(m_path, old);
    ASSERT_EQ(chmod(m_dir.Path().c_str(), 0555), 0);

    EXPECT_FALSE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::TargetUncreatable);
    EXPECT_EQ(test::ReadFile(m_path), old);
    EXPECT_FALSE(test::FileExists(m_backup));
}

TEST_F(SafeWriteTest, ASaveKeepsPermissionsAndWritesThroughASymbolicLink)
{
    const std::string real = m_dir.File("real.xml");
    test::WriteFile(real, FavoritesWith(1));
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink("real.xml", m_path);

    ASSERT_TRUE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));

    EXPECT_TRUE(std::filesystem::is_symlink(m_path));
    EXPECT_EQ(Mode(real), 0640u);
    EXPECT_EQ(FavoritesStore(real, m_reporter).LoadFavorites().size(), 2u);
}

TEST_F(SafeWriteTest, AFailedBackupLeavesThePreviousBackup)
{
    const std::string source = FavoritesWith(100);
    const std::string previous = "the previous backup";
    test::WriteFile(m_path, source);
    test::WriteFile(m_backup, previous);
    {
        FileSizeLimit diskFull(1024);
        EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::CopyFailed);
    }
    EXPECT_THAT(m_reporter.messages, ElementsAre(kMsgBackupCopyFailed));
    EXPECT_EQ(test::ReadFile(m_backup), previous);
    EXPECT_EQ(test::ReadFile(m_path), source);
    EXPECT_THAT(DirectoryListing(m_dir.Path()), ElementsAre("Favorites.xml", "Favorites.xml.bk"));
}

TEST_F(SafeWriteTest, AReadOnlyOrDirectoryBackupCannotBeCreated)
{
    test::WriteFile(m_path, FavoritesWith(2));
    test::WriteFile(m_backup, "protected");
    ASSERT_EQ(chmod(m_backup.c_str(), 0444), 0);
    EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::TargetUncreatable);
    EXPECT_EQ(test::ReadFile(m_backup), "protected");

    std::filesystem::remove(m_backup);
    std::filesystem::create_directory(m_backup);
    EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::TargetUncreatable);
    EXPECT_TRUE(std::filesystem::is_directory(m_backup));

    EXPECT_THAT(m_reporter.messages,
                ElementsAre(kMsgBackupTargetUncreatable, kMsgBackupTargetUncreatable));
    EXPECT_THAT(DirectoryListing(m_dir.Path()), ElementsAre("Favorites.xml", "Favorites.xml.bk"));
}

} // namespace
} // namespace lumo
