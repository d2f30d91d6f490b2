#pragma once
// The favorites part of the tree, read ahead: the favorites file read on a
// thread of its own while the window is being built, and put in the order
// the tree shows them, for the tree's next build to take.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "directory/directory_tree.h"
#include "favorites/favorites_store.h"

namespace lumo {

// The text of the branch that holds the user's favorites.
inline constexpr std::string_view kMyFavoritesBranch = "My Favorites";

// The address table starts with this many entries (entry 0 is never used);
// a build with more leaves than that makes it grow.
inline constexpr std::size_t kInitialURLSlots = 4096;

// The start of the tree, made from the favorites file: the root, "My
// Favorites" and its leaves in the order the branch shows them (equal names
// in file order), with room for the catalogue that follows. The slots follow
// the file from 1 (0 is no entry's) and hold the addresses. Made on the
// reading thread when the file is read ahead.
struct FavoritesPart
{
    std::string path;
    DirectoryTree tree;
    std::vector<std::string> slots;
    std::size_t count = 0;
    std::vector<std::string> messages;
    FavoritesFileState state = FavoritesFileState::Read;
};

// Where the tree's next build takes its favorites from.
class FavoritesReadAhead
{
public:
    // Starts reading the favorites file at `path` on a thread of its own, and
    // putting its entries in the order the tree shows them, while the window
    // is being built; the first build of a tree of that file takes them from
    // there (and says what reading the file had to say) instead of reading
    // the file again. Once for the whole run.
    static void Start(std::string path);

    // Entries just read from the file, for the next build to show.
    void Keep(std::vector<FavoriteEntry> read);

    // The favorites part of the next build for the file at `path`: the
    // entries kept, else what was read ahead of this file, else the file read
    // now; `reporter` says what reading it had to say.
    FavoritesPart Next(const std::string& path, FavoritesReporter& reporter);

private:
    std::optional<std::vector<FavoriteEntry>> m_kept;
};

} // namespace lumo
