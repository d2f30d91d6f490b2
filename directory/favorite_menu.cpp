// The changes a favorite's row offers in its menu under "My Favorites".
#include "common/app_paths.h"
#include "common/globals.h"
#include "directory/left_view.h"
#include "favorites/favorite_edits.h"

namespace lumo {

bool CLeftView::EditFavoriteRow(PaperCommand command, Item item)
{
    FavoriteEntry entry{Items().GetItemText(item), AddressOf(item)};
    const FavoriteEdit edit = command == PaperCommand::Rename          ? FavoriteEdit::Rename
                              : command == PaperCommand::ChangeAddress ? FavoriteEdit::ChangeAddress
                                                                       : FavoriteEdit::Remove;
    const bool selected = ToItem(GetSelection()) == item;
    const FavoritesStore store(FavoritesFilePath(), m_reporter);
    if (!EditFavorite(this, store, m_reporter, edit, entry))
        return false;
    RefreshFavorites();
    if (!selected || edit == FavoriteEdit::Remove)
        return true;
    // The favorite stays selected under its new name (shown, not opened again).
    const DirectoryTree& tree = Items();
    for (Item root : tree.GetChildren(DirectoryTree::kTop))
        for (Item branch : tree.GetChildren(root)) {
            if (tree.GetItemText(branch) != kMyFavoritesBranch)
                continue;
            for (Item row : tree.GetChildren(branch))
                if (tree.GetItemText(row) == entry.title && AddressOf(row) == entry.url) {
                    m_handled = row;
                    Select(ToViewItem(row));
                    EnsureVisible(ToViewItem(row));
                    return true;
                }
        }
    return true;
}

} // namespace lumo
