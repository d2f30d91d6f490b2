#include "favorites/favorites_backup.h"

#include "favorites/file_replacement.h"

#include <array>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace lumo {

namespace {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

BackupResult BackupFavorites(const std::string& dir, FavoritesReporter& reporter)
{
    std::unique_ptr<std::FILE, FileCloser> source(
        std::fopen((dir + "/Favorites.xml").c_str(), "rb"));
    struct stat st;
    // fopen() opens a directory for reading; only its reads fail.
    if (!source || fstat(fileno(source.get()), &st) != 0 || S_ISDIR(st.st_mode)) {
        reporter.ShowMessage(kMsgBackupSourceUnreadable);
        return BackupResult::SourceUnreadable;
    }
    FileReplacement copy;
    if (!copy.Begin(dir + "/Favorites.xml.bk")) {
        reporter.ShowMessage(kMsgBackupTargetUncreatable);
        return BackupResult::TargetUncreatable;
    }

    // fread() fills the block unless the file ends or fails, so a short block
    // is the last one: 512 bytes take two reads, the second returning none.
    std::array<char, 512> block;
    std::size_t got;
    bool written = true;
    do {
        got = std::fread(block.data(), 1, block.size(), source.get());
        written = copy.Write(block.data(), got);
    } while (written && got == block.size());

    if (!written || std::ferror(source.get()) || !copy.Commit()) {
        reporter.ShowMessage(kMsgBackupCopyFailed);
        return BackupResult::CopyFailed;
    }
    reporter.ShowMessage(kMsgBackupDone);
    return BackupResult::Done;
}

} // namespace lumo
