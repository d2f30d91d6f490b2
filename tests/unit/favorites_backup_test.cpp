// Favorites > Backup: a byte copy of "Favorites.xml" to "Favorites.xml.bk".
#include "favorites/favorites_backup.h"

#include "capturing_reporter.h"
#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo {
namespace {

using ::testing::ElementsAre;

using lumo::test::CapturingReporter;

std::string RandomBytes(std::size_t size)
{
    std::mt19937 random(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

class FavoritesBackupTest : public ::testing::Test
{
protected:
    test::TempDir m_dir;
    std::string m_source = m_dir.File("Favorites.xml");
    std::string m_backup = m_dir.File("Favorites.xml.bk");
    CapturingReporter m_reporter;
};

class BackupSizeTest : public FavoritesBackupTest, public ::testing::WithParamInterface<std::size_t>
{
};

TEST_P(BackupSizeTest, CopiesEveryByteAndReportsSuccess)
{
    const std::string bytes = RandomBytes(GetParam());
    test::WriteFile(m_source, bytes);

    EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::Done);

    EXPECT_EQ(test::ReadFile(m_backup), bytes);
    EXPECT_EQ(test::ReadFile(m_source), bytes);
    EXPECT_THAT(m_reporter.messages, ElementsAre(kMsgBackupDone));
}

// Around the 512-byte block: an empty file, a block and one byte more.
INSTANTIATE_TEST_SUITE_P(Sizes, BackupSizeTest,
                         ::testing::Values(0u, 1u, 511u, 512u, 513u, 1024u, 1025u, 200000u));

TEST_F(FavoritesBackupTest, ReplacesAnOlderBackupWhole)
{
    test::WriteFile(m_backup, RandomBytes(5000));
    test::WriteFile(m_source, "<Favorites/>\n");

    EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::Done);
    EXPECT_EQ(test::ReadFile(m_backup), "<Favorites/>\n");
    EXPECT_THAT(m_reporter.messages, ElementsAre(kMsgBackupDone));
}

TEST_F(FavoritesBackupTest, AMissingOrUnreadableSourceWritesNothing)
{
    test::WriteFile(m_backup, "previous");
    EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::SourceUnreadable);

    std::filesystem::create_directory(m_source);
    EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::SourceUnreadable);

    EXPECT_THAT(m_reporter.messages,
                ElementsAre(kMsgBackupSourceUnreadable, kMsgBackupSourceUnreadable));
    EXPECT_EQ(test::ReadFile(m_backup), "previous");
}

TEST_F(FavoritesBackupTest, UsesTheDirectoryItIsGiven)
{
    const std::string other = m_dir.File("other");
    std::filesystem::create_directory(other);
    test::WriteFile(other + "/Favorites.xml", "other favorites");
    test::WriteFile(m_source, "program favorites");

    EXPECT_EQ(BackupFavorites(other, m_reporter), BackupResult::Done);
    EXPECT_EQ(test::ReadFile(other + "/Favorites.xml.bk"), "other favorites");
    EXPECT_FALSE(test::FileExists(m_backup));
}

TEST_F(FavoritesBackupTest, ASourceThatIsNoFileIsRefusedAtOnce)
{
    // A pipe nobody writes to would block the copy for ever, a device
    // without end would fill the disk: both fail at once, the old backup kept.
    test::WriteFile(m_backup, "previous");
    ASSERT_EQ(mkfifo(m_source.c_str(), 0600), 0);
    EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::SourceUnreadable);
    std::filesystem::remove(m_source);
    std::filesystem::create_symlink("/dev/zero", m_source);
    EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::SourceUnreadable);

    EXPECT_THAT(m_reporter.messages,
                ElementsAre(kMsgBackupSourceUnreadable, kMsgBackupSourceUnreadable));
    EXPECT_EQ(test::ReadFile(m_backup), "previous");
}

TEST_F(FavoritesBackupTest, ANewBackupGetsTheUsualPermissions)
{
    test::WriteFile(m_source, "x");
    const mode_t mask = umask(022);
    const BackupResult result = BackupFavorites(m_dir.Path(), m_reporter);
    umask(mask);

    EXPECT_EQ(result, BackupResult::Done);
    struct stat st;
    ASSERT_EQ(stat(m_backup.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

} // namespace
} // namespace lumo
