#pragma once
// Favorites > Backup: a byte copy of the favorites file beside it.
#include "favorites/favorites_store.h"

#include <string>

namespace lumo {

inline constexpr const char* kMsgBackupSourceUnreadable = "读取配置文件 Favorites.xml 失败！";
inline constexpr const char* kMsgBackupTargetUncreatable = "创建配置文件 Favorites.xml.bk 失败！";
inline constexpr const char* kMsgBackupDone = "备份成功！";
// A read or write error in the middle of the copy.
inline constexpr const char* kMsgBackupCopyFailed =
    "Favorites.xml could not be copied to Favorites.xml.bk. The previous backup is unchanged.";

enum class BackupResult
{
    Done,
    SourceUnreadable,
    TargetUncreatable,
    CopyFailed
};

// Copies "Favorites.xml" to "Favorites.xml.bk" in `dir` (the program passes
// the program directory, whose Favorites.xml it reads), in blocks of 512
// bytes until a read returns fewer, and shows one message through the
// reporter. The copy goes to a temporary file that replaces the old backup
// only once it is complete and on disk: a failed copy leaves the old backup as
// it was. An existing backup whose permission bits let no one write it counts
// as one that cannot be created, also for root.
BackupResult BackupFavorites(const std::string& dir, FavoritesReporter& reporter);

} // namespace lumo
