#pragma once
// The safe way the favorites store, the backup and the settings file replace
// a file.
#include <cstddef>
#include <string>
#include <sys/types.h>

namespace lumo {

// Why a replacement could not be made.
enum class ReplaceFailure
{
    None,
    ReadOnlyFile,      // the file's permission bits let no one write it, or the user may not
    NotAFile,          // the path names a folder, a pipe, a device or the like
    FolderNotWritable, // neither a new file beside it nor the file itself can be written
    DiskFull,
    Other,
};

// Writes the new contents of a file beside it and renames them over the old
// file only once they are complete on disk, so that a failed or interrupted
// write leaves the old file as it was. Where the folder takes no new file but
// the file itself may be written, the file is rewritten in place instead,
// after a copy of the old contents is on disk in the temporary folder; a
// failed rewrite puts the old contents back.
class FileReplacement
{
public:
    FileReplacement() = default;
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Starts replacing `path`, which need not exist yet (a symbolic link is
    // followed to the file it names, which is made when missing). Refuses
    // what is not a regular file, a link included, and a file the caller may
    // not write or whose permission bits let no one write it: root could
    // replace it, but the user made it read-only. The new contents are
    // readable by the user alone until they replace the file.
    bool Begin(const std::string& path);
    bool Write(const char* data, std::size_t size);
    // Flushes the new file to disk, gives it the old file's owner and group
    // (the group alone where only that is allowed) and permission bits, and
    // renames it over the old file.
    bool Commit();

    // Why Begin, Write or Commit failed.
    ReplaceFailure Failure() const { return m_failure; }

private:
    bool Fail(ReplaceFailure failure);
    bool FailWithErrno(ReplaceFailure otherwise);
    bool BeginInPlace();
    bool CommitInPlace();
    void Discard();

    std::string m_target;
    std::string m_temp;
    int m_fd = -1;
    bool m_inPlace = false;
    std::string m_pending; // the new contents, when the file is rewritten in place
    mode_t m_mode = 0600;  // what the file gets when it is replaced
    bool m_owned = false;  // whether it gets back the owner and group below
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    ReplaceFailure m_failure = ReplaceFailure::None;
};

// Cleans up after replacements of `path` that were stopped in the middle.
// A rewrite in place cut short gets the file's old contents back from its
// copy in the temporary folder (the copy goes once they are back). Then the
// hidden ".<name>.XXXXXX" and ".<name>.bk.XXXXXX" files beside it go, those
// of this user that no process holds. Returns how many of those were removed.
int RemoveLeftoverReplacements(const std::string& path);

// The start of the name of the copy a rewrite in place of `target` keeps of
// its old contents, in the temporary folder (six characters follow).
std::string InPlaceCopyStem(const std::string& target);

// The file that writing `path` writes: `path` itself, or the file its
// symbolic links lead to (which may be missing). False when that is not a
// regular file (a folder, a pipe, a device) or the links go round in circles:
// nothing may be written there.
bool ResolveLinks(const std::string& path, std::string& target);

} // namespace lumo
