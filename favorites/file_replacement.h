#pragma once
// Internal to favorites_core: the safe way both the store and the backup
// replace a file.
#include <cstddef>
#include <string>

namespace lumo {

// Writes the new contents of a file beside it and renames them over the old
// file only once they are complete on disk, so that a failed or interrupted
// write leaves the old file as it was.
class FileReplacement
{
public:
    FileReplacement() = default;
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Starts replacing `path`, which need not exist yet (a symbolic link is
    // followed). Refuses what is not a regular file, and a file the caller may
    // not write or whose permission bits let no one write it: root could
    // replace it, but the user made it read-only.
    bool Begin(const std::string& path);
    bool Write(const char* data, std::size_t size);
    // Flushes the new file to disk, gives it the old file's permission bits
    // (and owner, where allowed) and renames it over the old file.
    bool Commit();

private:
    void Discard();

    std::string m_target;
    std::string m_temp;
    int m_fd = -1;
};

} // namespace lumo
