#include "favorites/file_replacement.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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

} // namespace

FileReplacement::~FileReplacement()
{
    Discard();
}

bool FileReplacement::Begin(const std::string& path)
{
    Discard();
    m_target = path;
    struct stat st;
    mode_t mode;
    const bool exists = lstat(path.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        // Replace the file the link points to and keep the link.
        char* real = realpath(path.c_str(), nullptr);
        if (!real)
            return false;
        m_target = real;
        std::free(real);
        if (stat(m_target.c_str(), &st) != 0)
            return false;
    }
    if (exists) {
        if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 || access(m_target.c_str(), W_OK) != 0)
            return false;
        mode = st.st_mode & 07777;
    } else if (errno == ENOENT) {
        mode = NewFileMode();
    } else {
        return false;
    }

    // A hidden name: should the program die before the rename, what it
    // leaves behind does not show among the user's files.
    std::string pattern = DirectoryOf(m_target) + "/." + NameOf(m_target) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        return false;
    m_temp = name.data();
    if (fchmod(m_fd, mode) != 0) {
        Discard();
        return false;
    }
    // Only root can give the file back to another owner; otherwise the file
    // already is ours or the user's group keeps its access through the mode.
    if (exists && (st.st_uid != geteuid() || st.st_gid != getegid()))
        (void)!fchown(m_fd, st.st_uid, st.st_gid);
    return true;
}

bool FileReplacement::Write(const char* data, std::size_t size)
{
    if (m_fd < 0)
        return false;
    while (size > 0) {
        const ssize_t written = write(m_fd, data, size);
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

bool FileReplacement::Commit()
{
    if (m_fd < 0)
        return false;
    const bool synced = fsync(m_fd) == 0;
    const bool closed = close(m_fd) == 0;
    m_fd = -1;
    if (!synced || !closed || rename(m_temp.c_str(), m_target.c_str()) != 0) {
        Discard();
        return false;
    }
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
}

} // namespace lumo
