#include "common/file_replacement.h"

#include <cerrno>
#include <cstdint>
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

// A new file from a mkostemp() pattern, readable by the user alone, held
// with a lock for as long as it is open, so that the clean-up of leftovers
// never takes a file in use. A file the clean-up took between its creation
// and the lock is left to it, and another name is tried.
int MakeTemporaryFile(std::string& pattern)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return fd;
        struct stat st;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            close(fd);
            continue;
        }
        if (fstat(fd, &st) == 0 && st.st_nlink == 0) {
            close(fd);
            continue;
        }
        pattern = name.data();
        return fd;
    }
    errno = EEXIST;
    return -1;
}

// The temporary folder, where a file rewritten in place keeps a copy of its
// old contents.
std::string TemporaryFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// The names of those copies begin with this and the file's name.
constexpr const char* kOldCopyPrefix = "lumo-news-reader-old-";

// The mark of the file's whole path in its copy's name, so that the next
// start puts back the copy of this file and of no other of the same name.
std::string PathMark(const std::string& path)
{
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (unsigned char c : path) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string mark(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        mark[static_cast<std::size_t>(i)] = digits[hash & 15];
    return mark;
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

// The temporary names of replacements of `name`: `prefix` + name + "." and
// six characters, or the same for name + ".bk".
bool IsReplacementOf(const std::string& entry, const std::string& name,
                     const std::string& prefix = ".")
{
    for (const std::string& stem : {prefix + name + ".", prefix + name + ".bk."})
        if (entry.size() == stem.size() + 6 && entry.compare(0, stem.size(), stem) == 0)
            return true;
    return false;
}

// What a clean-up does with a file of a folder it lists.
enum class Leftover
{
    No,      // not one of its files
    Remove,  // a leftover to remove
    PutBack, // a copy of old contents to put back into the file, then remove
};

// Puts the contents of the copy open at `fd` back into `target`.
bool PutBackCopy(int fd, const std::string& target)
{
    std::string old;
    if (!ReadAll(fd, old))
        return false;
    const int file = open(target.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (file < 0)
        return false;
    const bool back = Rewrite(file, old);
    close(file);
    return back;
}

// Removes the files of `dir` that `kindOf` names, regular files of this user
// that no process holds locked; a copy to put back into `target` goes only
// once it is back. Returns how many leftovers were removed.
template <typename KindOf>
int RemoveUnheld(const std::string& dir, KindOf kindOf, const std::string& target = {})
{
    DIR* listing = opendir(dir.c_str());
    if (!listing)
        return 0;
    int removed = 0;
    while (const dirent* entry = readdir(listing)) {
        const Leftover kind = kindOf(std::string(entry->d_name));
        if (kind == Leftover::No)
            continue;
        const std::string leftover = dir + "/" + entry->d_name;
        struct stat st;
        if (lstat(leftover.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid())
            continue;
        // A replacement still being written is held locked by its writer.
        const int fd = open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (kind == Leftover::PutBack) {
                if (PutBackCopy(fd, target))
                    unlink(leftover.c_str());
            } else if (unlink(leftover.c_str()) == 0) {
                ++removed;
            }
        }
        close(fd);
    }
    closedir(listing);
    return removed;
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
    // Through a symbolic link, the file it names is replaced and the link kept.
    if (!ResolveLinks(path, m_target))
        return Fail(ReplaceFailure::NotAFile);
    struct stat st;
    mode_t mode;
    const bool exists = lstat(m_target.c_str(), &st) == 0;
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
    // The new file stays readable by the user alone until it is complete;
    // it takes the old file's owner and permission bits when it replaces it.
    m_mode = mode;
    m_owned = exists && (st.st_uid != geteuid() || st.st_gid != getegid());
    m_uid = st.st_uid;
    m_gid = st.st_gid;
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
    std::string copy = InPlaceCopyStem(m_target) + "XXXXXX";
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
    // Root can give the file back to its owner; a member of the file's group
    // can give it back that group, which keeps the file shared.
    if (m_owned && fchown(m_fd, m_uid, m_gid) != 0)
        (void)!fchown(m_fd, static_cast<uid_t>(-1), m_gid);
    if (fchmod(m_fd, m_mode) != 0)
        return Fail(ReplaceFailure::Other);
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

std::string InPlaceCopyStem(const std::string& target)
{
    return TemporaryFolder() + "/" + kOldCopyPrefix + NameOf(target) + "." + PathMark(target) + ".";
}

int RemoveLeftoverReplacements(const std::string& path)
{
    std::string target;
    if (!ResolveLinks(path, target))
        target = path;
    const std::string name = NameOf(target);
    int removed = RemoveUnheld(DirectoryOf(target), [&name](const std::string& entry) {
        return IsReplacementOf(entry, name) ? Leftover::Remove : Leftover::No;
    });
    // In the temporary folder: the copy a rewrite in place of this very file
    // cut short left goes back into the file, which may hold the new
    // contents only in part (the save never said it succeeded). Copies of the
    // form without the path's mark are only removed.
    const std::string ownCopy = NameOf(InPlaceCopyStem(target));
    removed += RemoveUnheld(
        TemporaryFolder(),
        [&](const std::string& entry) {
            if (entry.size() == ownCopy.size() + 6 &&
                entry.compare(0, ownCopy.size(), ownCopy) == 0)
                return Leftover::PutBack;
            return IsReplacementOf(entry, name, kOldCopyPrefix) ? Leftover::Remove : Leftover::No;
        },
        target);
    return removed;
}

bool ResolveLinks(const std::string& path, std::string& target)
{
    target = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        // A missing file is made where the link points; other errors are
        // for the caller to meet.
        if (lstat(target.c_str(), &st) != 0)
            return true;
        if (!S_ISLNK(st.st_mode))
            return S_ISREG(st.st_mode);
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
        const ssize_t length = readlink(target.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= link.size())
            return false;
        const std::string points(link.data(), static_cast<std::size_t>(length));
        target = points.front() == '/' ? points : DirectoryOf(target) + "/" + points;
    }
    return false;
}

} // namespace lumo
