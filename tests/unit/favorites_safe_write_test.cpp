// Writing the favorites file or its backup never destroys what was there:
// a failed write leaves the old file byte for byte, and a file the user made
// read-only is not replaced.
#include "common/file_replacement.h"
#include "favorites/favorites_backup.h"
#include "favorites/favorites_store.h"

#include "favorites_file_test.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
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
    EXPECT_THAT(m_reporter.messages,
                ElementsAre(kMsgSaveDiskFull, kMsgSaveDiskFull, kMsgSaveDiskFull));

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
    EXPECT_THAT(m_reporter.messages, ElementsAre(kMsgSaveReadOnly, kMsgSaveReadOnly));
    EXPECT_EQ(test::ReadFile(m_path), old);
    EXPECT_EQ(Mode(m_path), 0444u);
    EXPECT_EQ(m_store.LoadFavorites().size(), 3u);
}

TEST_F(SafeWriteTest, AReadOnlyDirectoryTakesTheChangeInPlace)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories; see the shared-file case";
    test::WriteFile(m_path, FavoritesWith(3));
    ASSERT_EQ(chmod(m_dir.Path().c_str(), 0555), 0);

    EXPECT_TRUE(m_store.AddFavorite("Le Monde", "https://www.lemonde.fr/"));
    EXPECT_EQ(BackupFavorites(m_dir.Path(), m_reporter), BackupResult::TargetUncreatable);
    EXPECT_EQ(m_store.LoadFavorites().size(), 4u);
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

// Runs `work` in a child process as user `uid`, whose own group is `uid`'s
// number too and who is also a member of `group`; returns the exit status.
int RunAs(uid_t uid, gid_t group, const std::function<int()>& work)
{
    const pid_t child = fork();
    if (child == 0) {
        const gid_t groups[] = {static_cast<gid_t>(uid), group};
        if (setgroups(2, groups) != 0 || setgid(groups[0]) != 0 || setuid(uid) != 0)
            _exit(100);
        _exit(work());
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SafeWriteTest, ASharedFileKeepsItsGroupAndAFolderWithoutRoomIsWrittenInPlace)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users of one group";
    const uid_t other = 65534;  // nobody
    const gid_t shared = 54321; // a group of no one else
    const std::string dir = m_dir.Path();
    test::WriteFile(m_path, FavoritesWith(1));
    ASSERT_EQ(chown(m_path.c_str(), 0, shared), 0);
    ASSERT_EQ(chmod(m_path.c_str(), 0660), 0);
    ASSERT_EQ(chown(dir.c_str(), 0, shared), 0);
    auto add = [&](const char* name) {
        return [&, name] {
            test::CapturingReporter reporter;
            return FavoritesStore(m_path, reporter).AddFavorite(name, "https://shared.example/")
                       ? 0
                       : 1;
        };
    };

    // Another member of the group adds through a new file: it keeps the group
    // and the mode, so the owner can still read and change it.
    ASSERT_EQ(chmod(dir.c_str(), 0770), 0);
    EXPECT_EQ(RunAs(other, shared, add("By the other user")), 0);
    struct stat st;
    ASSERT_EQ(stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, shared);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    EXPECT_TRUE(m_store.AddFavorite("By the owner", "https://shared.example/"));

    // A folder the other user may not write: the file itself is rewritten.
    ASSERT_EQ(chmod(dir.c_str(), 0750), 0);
    ASSERT_EQ(chown(m_path.c_str(), 0, shared), 0);
    EXPECT_EQ(RunAs(other, shared, add("In place")), 0);
    EXPECT_EQ(m_store.LoadFavorites().size(), 4u);
    EXPECT_THAT(DirectoryListing(dir), ElementsAre("Favorites.xml"));
}

TEST_F(SafeWriteTest, TwoProgramsAddingAtOnceKeepEveryEntry)
{
    test::WriteFile(m_path, FavoritesWith(0));
    constexpr int kEach = 300;
    std::vector<pid_t> writers;
    for (int writer = 0; writer < 2; ++writer) {
        const pid_t child = fork();
        if (child == 0) {
            test::CapturingReporter reporter;
            FavoritesStore store(m_path, reporter);
            int failed = 0;
            for (int i = 0; i < kEach; ++i)
                failed += !store.AddFavorite("Writer " + std::to_string(writer) + " paper " +
                                                 std::to_string(i),
                                             "https://paper.example/");
            _exit(failed > 0);
        }
        writers.push_back(child);
    }
    for (pid_t child : writers) {
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(m_store.LoadFavorites().size(), 2u * kEach);
}

TEST_F(SafeWriteTest, SavesKilledMidwayLeavePrivateFilesThatTheNextStartRemoves)
{
    // Copies of files rewritten in place go to the temporary folder.
    test::TempDir tmp;
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    setenv("TMPDIR", tmp.Path().c_str(), 1);
    const std::string old = FavoritesWith(3);
    test::WriteFile(m_path, old);
    ASSERT_EQ(chmod(m_path.c_str(), 0644), 0);

    // Saves of the file and of its backup, killed with their new contents
    // written but not yet in place.
    for (const std::string& target : {m_path, m_backup}) {
        const pid_t child = fork();
        if (child == 0) {
            FileReplacement replacement;
            const std::string contents = FavoritesWith(4);
            if (replacement.Begin(target) && replacement.Write(contents.data(), contents.size()))
                raise(SIGKILL);
            _exit(1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    // A rewrite in place killed after it copied the old contents.
    const std::string copy = tmp.File("lumo-news-reader-old-Favorites.xml.Kx81Qz");
    test::WriteFile(copy, old);
    ASSERT_EQ(chmod(copy.c_str(), 0600), 0);
    test::WriteFile(tmp.File("Favorites.xml.Kx81Qz"), "another program's");
    test::WriteFile(m_dir.File(".Favorites.xml.longer1"), "not a name saves use");
    // A save going on in another instance holds its file.
    const std::string busy = m_dir.File(".Favorites.xml.Held01");
    test::WriteFile(busy, "being written");
    const int held = open(busy.c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);

    std::vector<std::string> leftovers;
    for (const std::string& name : DirectoryListing(m_dir.Path()))
        if (name.rfind(".Favorites.xml.", 0) == 0 && name != ".Favorites.xml.Held01" &&
            name != ".Favorites.xml.longer1") {
            leftovers.push_back(name);
            EXPECT_EQ(Mode(m_dir.File(name)), 0600u) << name << " is readable by others";
        }
    EXPECT_EQ(leftovers.size(), 2u);
    EXPECT_EQ(test::ReadFile(m_path), old);
    // A rewrite in place of this very file killed halfway: its copy puts the
    // old contents back. The copy of a file of the same name elsewhere stays.
    const std::string ownCopy = InPlaceCopyStem(m_path) + "Ab12Cd";
    const std::string otherCopy = InPlaceCopyStem(m_dir.File("x/Favorites.xml")) + "Ab12Cd";
    for (const std::string& path : {ownCopy, otherCopy}) {
        test::WriteFile(path, old);
        ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    }
    test::WriteFile(m_path, old.substr(0, old.size() / 2));

    EXPECT_EQ(RemoveLeftoverSaves(m_path), 3);
    EXPECT_EQ(test::ReadFile(m_path), old);
    EXPECT_FALSE(test::FileExists(ownCopy));
    EXPECT_TRUE(test::FileExists(otherCopy));
    unlink(otherCopy.c_str());
    EXPECT_THAT(DirectoryListing(m_dir.Path()),
                ElementsAre(".Favorites.xml.Held01", ".Favorites.xml.longer1", "Favorites.xml"));
    EXPECT_THAT(DirectoryListing(tmp.Path()), ElementsAre("Favorites.xml.Kx81Qz"));
    close(held);
    if (oldTmp)
        setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST_F(SafeWriteTest, TextsLongerThanTheStoreReadsBackAreRefusedBeforeWriting)
{
    test::WriteFile(m_path, FavoritesWith(1));
    const std::string old = test::ReadFile(m_path);
    const std::string longest(kMaxFavoriteTextLength, 'n');
    EXPECT_FALSE(m_store.AddFavorite(longest + "n", "https://long.example/"));
    EXPECT_FALSE(m_store.AddFavorite("Long", "https://long.example/" + longest));
    EXPECT_THAT(m_reporter.messages, ElementsAre(kMsgTextTooLong, kMsgTextTooLong));
    EXPECT_EQ(test::ReadFile(m_path), old);

    EXPECT_TRUE(m_store.AddFavorite(longest, "https://long.example/"));
    EXPECT_EQ(m_store.LoadFavorites().back().title, longest);
}

} // namespace
} // namespace lumo
