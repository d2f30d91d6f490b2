#include "favorites/favorites_backup.h"

#include "common/file_replacement.h"

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo {

namespace {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

BackupResult BackupFavorites(const std::string& dir, FavoritesReporter& reporter)
{
    // Only a regular file is copied: a folder, a pipe that may never be
    // written to, a device without end or a socket is refused at once
    // (opening without waiting, which only pipes would do).
    const int fd = open((dir + "/Favorites.xml").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    std::unique_ptr<std::FILE, FileCloser> source(
        fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? fdopen(fd, "rb") : nullptr);
    if (!source) {
        if (fd >= 0)
            close(fd);
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
