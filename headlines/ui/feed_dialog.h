#pragma once
// The "Headlines Feed" dialog of a favorite: which feed brings its headlines,
// chosen among those found on its page or typed in, or none at all.
#include <string>
#include <vector>

#include <wx/dialog.h>

#include "headlines/core/headlines_store.h"

class wxRadioButton;
class wxTextCtrl;

namespace headlines {

inline constexpr const char* kFeedDialogTitle = "Headlines Feed";
inline constexpr const char* kTypedFeedName = "Address of another feed";
inline constexpr const char* kMsgFeedNotWebAddress =
    "A feed's address must be a web address starting with http:// or https://, such as "
    "https://www.example.com/rss.";

// Offers the feed a favorite follows, the others found on its page, a field
// for another one and "None" (and, while nothing is chosen yet, leaving the
// choice to the program). It edits a copy: Choice() gives what the user
// chose once the dialog ended with wxID_OK, and the caller keeps it.
class FeedDialog : public wxDialog
{
public:
    FeedDialog(wxWindow* parent, const std::string& paper, const FavoriteFeed& current,
               const std::vector<FeedCandidate>& found);

    // Takes the option the controls show as the choice and ends the dialog
    // with wxID_OK. A typed address that is not an http or https address is
    // refused with a message, and the dialog stays open: false.
    bool Accept();
    const FavoriteFeed& Choice() const { return m_choice; }

    // The options: one button per feed listed (the one in use first), the
    // typed one with its field, "None", and "Not chosen yet" (null unless
    // nothing is chosen yet).
    const std::vector<wxRadioButton*>& FeedButtons() const { return m_feedButtons; }
    wxRadioButton* TypedButton() const { return m_typedButton; }
    wxTextCtrl* TypedField() const { return m_typedField; }
    wxRadioButton* NoneButton() const { return m_noneButton; }
    wxRadioButton* UndecidedButton() const { return m_undecidedButton; }

private:
    void CreateControls(const std::string& paper, const FavoriteFeed& current,
                        const std::vector<FeedCandidate>& found);
    void OnOK(wxCommandEvent& event);

    FavoriteFeed m_choice;
    std::vector<std::string> m_feedAddresses; // those of m_feedButtons
    std::vector<wxRadioButton*> m_feedButtons;
    wxRadioButton* m_typedButton = nullptr;
    wxTextCtrl* m_typedField = nullptr;
    wxRadioButton* m_noneButton = nullptr;
    wxRadioButton* m_undecidedButton = nullptr;
};

// Shows the dialog for the favorite `paper` at `page` over the headlines
// database and keeps what the user chose. True when the choice changed;
// false when it did not, or could not be kept (a message says why).
bool ChooseFavoriteFeed(wxWindow* parent, const std::string& paper, const std::string& page);

} // namespace headlines
