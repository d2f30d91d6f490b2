#include "favorites/favorite_edits.h"

#include <wx/textdlg.h>

#include "common/address_text.h"
#include "common/message_box.h"
#include "favorites/dlg_cfg_add_favorite.h"

namespace lumo {

std::string RemoveFavoriteQuestion(const std::string& name)
{
    return "Remove \"" + name + "\" from My Favorites?";
}

bool EditFavorite(wxWindow* parent, const FavoritesStore& store, FavoritesReporter& reporter,
                  FavoriteEdit edit, FavoriteEntry& entry)
{
    FavoriteEntry changed = entry;
    if (edit == FavoriteEdit::Remove) {
        if (AppMessageBox(RemoveFavoriteQuestion(entry.title), wxYES_NO) != wxYES)
            return false;
    } else {
        const bool rename = edit == FavoriteEdit::Rename;
        std::string& text = rename ? changed.title : changed.url;
        wxTextEntryDialog ask(parent, rename ? kFavNameLabel : kFavURLLabel,
                              rename ? kRenameFavoriteTitle : kChangeFavoriteAddressTitle,
                              wxString::FromUTF8(text));
        if (ask.ShowModal() != wxID_OK)
            return false;
        text = TrimFavoriteText(ask.GetValue().utf8_string());
        if (text.empty()) {
            reporter.ShowMessage(rename ? kMsgFavoriteNeedsName : kMsgFavoriteNeedsAddress);
            return false;
        }
        if (!rename && IsRefusedAddress(text)) {
            reporter.ShowMessage(kMsgRefusedFavoriteAddress);
            return false;
        }
        if (changed == entry)
            return false; // nothing to change
    }
    switch (store.ChangeFavorite(entry, edit == FavoriteEdit::Remove ? nullptr : &changed)) {
    case FavoritesStore::EntryEdit::Done:
        if (edit != FavoriteEdit::Remove)
            entry = changed;
        reporter.ShowMessage(kMsgSuccessfully);
        return true;
    case FavoritesStore::EntryEdit::Gone:
        reporter.ShowMessage("\u201c" + entry.title + "\u201d" + kMsgFavoriteGoneSuffix);
        return true;
    case FavoritesStore::EntryEdit::Failed:
        break;
    }
    return false;
}

} // namespace lumo
