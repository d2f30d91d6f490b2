#include "favorites/file_replacement.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumo {

namespace {

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t NewFileMode()
{
    // The mode a plain fopen() would have given the file.
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// A new file from a mkostemp() pattern, held with a lock for as long as it is
// open, so that the clean-up of leftovers never takes a file in use.
int MakeTemporaryFile(std::string& pattern)
{
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        (void)flock(fd, LOCK_EX | LOCK_NB);
        pattern = name.data();
    }
    return fd;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool ReadAll(int fd, std::string& out)
{
    char block[65536];
    for (;;) {
        const ssize_t got = read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        out.append(block, static_cast<std::size_t>(got));
    }
}

// Makes the file at `fd` hold exactly `contents`, on disk.
bool Rewrite(int fd, const std::string& contents)
{
    return lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, contents.data(), contents.size()) &&
           ftruncate(fd, static_cast<off_t>(contents.size())) == 0 && fsync(fd) == 0;
}

// The temporary names of replacements of `name`: "." + name + "." and six
// characters, or the same for name + ".bk".
bool IsReplacementOf(const std::string& entry, const std::string& name)
{
    for (const std::string& stem : {"." + name + ".", "." + name + ".bk."})
        if (entry.size() == stem.size() + 6 && entry.compare(0, stem.size(), stem) == 0)
            return true;
    return false;
}

} // namespace

FileReplacement::~FileReplacement()
{
    Discard();
}

bool FileReplacement::Fail(ReplaceFailure failure)
{
    m_failure = failure;
    Discard();
    return false;
}

bool FileReplacement::FailWithErrno(ReplaceFailure otherwise)
{
    return Fail(errno == ENOSPC || errno == EDQUOT || errno == EFBIG ? ReplaceFailure::DiskFull
                                                                     : otherwise);
}

bool FileReplacement::Begin(const std::string& path)
{
    Discard();
    m_failure = ReplaceFailure::None;
    m_target = path;
    struct stat st;
    mode_t mode;
    const bool exists = lstat(path.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        // Replace the file the link points to and keep the link.
        char* real = realpath(path.c_str(), nullptr);
        if (!real)
            return Fail(ReplaceFailure::Other);
        m_target = real;
        std::free(real);
        if (stat(m_target.c_str(), &st) != 0)
            return Fail(ReplaceFailure::Other);
    }
    if (exists) {
        if (!S_ISREG(st.st_mode))
            return Fail(ReplaceFailure::NotAFile);
        if ((st.st_mode & 0222) == 0 || access(m_target.c_str(), W_OK) != 0)
            return Fail(ReplaceFailure::ReadOnlyFile);
        mode = st.st_mode & 07777;
    } else if (errno == ENOENT) {
        mode = NewFileMode();
    } else {
        return Fail(ReplaceFailure::Other);
    }

    // A hidden name: should the program die before the rename, what it
    // leaves behind does not show among the user's files.
    m_temp = DirectoryOf(m_target) + "/." + NameOf(m_target) + ".XXXXXX";
    m_fd = MakeTemporaryFile(m_temp);
    if (m_fd < 0) {
        m_temp.clear();
        if (exists && (errno == EACCES || errno == EPERM))
            return BeginInPlace();
        return FailWithErrno(ReplaceFailure::FolderNotWritable);
    }
    // Root can give the file back to its owner; a member of the file's group
    // can give it back that group, which keeps the file shared.
    if (exists && (st.st_uid != geteuid() || st.st_gid != getegid()) &&
        fchown(m_fd, st.st_uid, st.st_gid) != 0)
        (void)!fchown(m_fd, static_cast<uid_t>(-1), st.st_gid);
    if (fchmod(m_fd, mode) != 0)
        return Fail(ReplaceFailure::Other);
    return true;
}

bool FileReplacement::BeginInPlace()
{
    m_fd = open(m_target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (m_fd < 0)
        return Fail(ReplaceFailure::FolderNotWritable);
    m_inPlace = true;
    m_pending.clear();
    return true;
}

bool FileReplacement::Write(const char* data, std::size_t size)
{
    if (m_fd < 0)
        return false;
    if (m_inPlace) {
        m_pending.append(data, size);
        return true;
    }
    return WriteAll(m_fd, data, size) || FailWithErrno(ReplaceFailure::Other);
}

bool FileReplacement::CommitInPlace()
{
    // A copy of the old contents goes to disk first, where a rewrite cut
    // short by a crash can still be recovered from.
    std::string old;
    if (!ReadAll(m_fd, old))
        return Fail(ReplaceFailure::Other);
    const char* tmp = std::getenv("TMPDIR");
    std::string copy = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + NameOf(m_target) + ".XXXXXX";
    const int copyFd = MakeTemporaryFile(copy);
    if (copyFd < 0)
        return FailWithErrno(ReplaceFailure::FolderNotWritable);
    const bool copied = WriteAll(copyFd, old.data(), old.size()) && fsync(copyFd) == 0;
    close(copyFd);
    if (!copied) {
        unlink(copy.c_str());
        return FailWithErrno(ReplaceFailure::Other);
    }
    if (!Rewrite(m_fd, m_pending)) {
        const ReplaceFailure failure = errno == ENOSPC || errno == EDQUOT || errno == EFBIG
                                           ? ReplaceFailure::DiskFull
                                           : ReplaceFailure::Other;
        if (Rewrite(m_fd, old))
            unlink(copy.c_str()); // the old contents are back in place
        return Fail(failure);
    }
    unlink(copy.c_str());
    close(m_fd);
    m_fd = -1;
    m_inPlace = false;
    return true;
}

bool FileReplacement::Commit()
{
    if (m_fd < 0)
        return false;
    if (m_inPlace)
        return CommitInPlace();
    if (fsync(m_fd) != 0)
        return FailWithErrno(ReplaceFailure::Other);
    const bool closed = close(m_fd) == 0;
    m_fd = -1;
    if (!closed)
        return FailWithErrno(ReplaceFailure::Other);
    if (rename(m_temp.c_str(), m_target.c_str()) != 0)
        return FailWithErrno(ReplaceFailure::Other);
    m_temp.clear();
    // Make the rename itself durable. The new file is in place either way, so
    // a failure here is no reason to report the change as failed.
    const int dir = open(DirectoryOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)fsync(dir);
        close(dir);
    }
    return true;
}

void FileReplacement::Discard()
{
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.empty()) {
        unlink(m_temp.c_str());
        m_temp.clear();
    }
    m_inPlace = false;
    m_pending.clear();
}

int RemoveLeftoverReplacements(const std::string& path)
{
    const std::string dir = DirectoryOf(path);
    const std::string name = NameOf(path);
    DIR* listing = opendir(dir.c_str());
    if (!listing)
        return 0;
    int removed = 0;
    const time_t minuteAgo = time(nullptr) - 60;
    while (const dirent* entry = readdir(listing)) {
        if (!IsReplacementOf(entry->d_name, name))
            continue;
        const std::string leftover = dir + "/" + entry->d_name;
        struct stat st;
        if (lstat(leftover.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_mtime > minuteAgo)
            continue;
        // A replacement still being written is held locked by its writer.
        const int fd = open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && unlink(leftover.c_str()) == 0)
            ++removed;
        close(fd);
    }
    closedir(listing);
    return removed;
}

} // namespace lumo
