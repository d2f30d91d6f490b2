#pragma once
// Changes of one favorite made where it is shown, without the favorites
// dialogs: rename it, change its address, remove it. Each asks the user what
// it needs and is one change of the favorites file.
#include <string>

#include "favorites/favorites_store.h"

class wxWindow;

namespace lumo {

enum class FavoriteEdit
{
    Rename,
    ChangeAddress,
    Remove,
};

inline constexpr const char* kRenameFavoriteTitle = "Rename Favorite";
inline constexpr const char* kChangeFavoriteAddressTitle = "Change Favorite Address";
inline constexpr const char* kMsgFavoriteNeedsName = "A favorite needs a name.";
inline constexpr const char* kMsgFavoriteNeedsAddress = "A favorite needs an address.";
// What Remove asks of a favorite shown by its name.
std::string RemoveFavoriteQuestion(const std::string& name);
// When the entry is no longer in the file; the name is put in front.
inline constexpr const char* kMsgFavoriteGoneSuffix =
    " is no longer among the favorites: another program changed Favorites.xml. "
    "My Favorites now shows the file as it is.";

// Asks for the new name or address (a field holding the present one) or, to
// remove, whether to remove it (named), then changes `entry` in the
// file of `store`; the store's messages go to `reporter`, and
// kMsgSuccessfully follows a change, as in the dialogs. True when the file is
// no longer what the caller shows: changed, or found changed by another
// program meanwhile (which is said). `entry` then holds the favorite as it
// now reads (unchanged when it is gone or was removed).
bool EditFavorite(wxWindow* parent, const FavoritesStore& store, FavoritesReporter& reporter,
                  FavoriteEdit edit, FavoriteEntry& entry);

} // namespace lumo
