#include "headlines/ui/feed_dialog.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

#include "common/message_box.h"
#include "headlines/core/xml_support.h"

namespace headlines {
namespace {

// The text a screen reader reads for a control that has no label of its own.
void NameForScreenReaders(wxWindow& window, const char* name)
{
#ifdef __WXGTK__
    atk_object_set_name(gtk_widget_get_accessible(window.GetHandle()), name);
#else
    wxUnusedVar(window);
    wxUnusedVar(name);
#endif
}

// Characters of a feed's text shown on its button: a long address would
// make the dialog as wide. The whole text is the button's tooltip then.
constexpr std::size_t kLongestLabel = 90;

// "À la une (https://www.lemonde.fr/rss/une.xml), in use".
wxString FeedText(const FeedCandidate& feed, bool inUse)
{
    std::string text = feed.title.empty() ? feed.address : feed.title + " (" + feed.address + ")";
    if (inUse)
        text += ", in use";
    return wxString::FromUTF8(text);
}

} // namespace

FeedDialog::FeedDialog(wxWindow* parent, const std::string& paper, const FavoriteFeed& current,
                       const std::vector<FeedCandidate>& found)
    : wxDialog(parent, wxID_ANY, kFeedDialogTitle), m_choice(current)
{
    CreateControls(paper, current, found);
    Bind(wxEVT_BUTTON, &FeedDialog::OnOK, this, wxID_OK);
    // Typing an address chooses it.
    m_typedField->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { m_typedButton->SetValue(true); });
}

void FeedDialog::CreateControls(const std::string& paper, const FavoriteFeed& current,
                                const std::vector<FeedCandidate>& found)
{
    auto* intro =
        new wxStaticText(this, wxID_ANY,
                         wxControl::EscapeMnemonics(
                             wxString::FromUTF8("Where the headlines of " + paper + " come from:")),
                         wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    intro->SetMinSize(wxSize(FromDIP(420), -1));

    // The feed in use first, then the others found on the page.
    std::vector<FeedCandidate> listed;
    if (current.choice == FeedChoice::Feed) {
        const auto same = std::find_if(found.begin(), found.end(), [&](const FeedCandidate& feed) {
            return feed.address == current.feedAddress;
        });
        listed.push_back(same != found.end() ? *same : FeedCandidate{current.feedAddress, {}});
    }
    for (const FeedCandidate& feed : found)
        if (feed.address != current.feedAddress || current.choice != FeedChoice::Feed)
            listed.push_back(feed);

    auto* options = new wxBoxSizer(wxVERTICAL);
    const int gap = ConvertDialogToPixels(wxSize(0, 4)).y;
    long style = wxRB_GROUP;
    const auto add = [&](const wxString& label) {
        return new wxRadioButton(this, wxID_ANY, label, wxDefaultPosition, wxDefaultSize,
                                 std::exchange(style, 0));
    };
    if (current.choice == FeedChoice::NotLookedFor) {
        m_undecidedButton = add("Not chosen yet: let the program look for one on its page");
        options->Add(m_undecidedButton, wxSizerFlags().Border(wxBOTTOM, gap));
    }
    for (const FeedCandidate& feed : listed) {
        const bool inUse =
            current.choice == FeedChoice::Feed && feed.address == current.feedAddress;
        const wxString text = FeedText(feed, inUse);
        const bool cut = text.length() > kLongestLabel;
        m_feedButtons.push_back(add(wxControl::EscapeMnemonics(
            cut ? text.Left(kLongestLabel - 1) + wxUniChar(0x2026) : text)));
        if (cut)
            m_feedButtons.back()->SetToolTip(text);
        m_feedAddresses.push_back(feed.address);
        options->Add(m_feedButtons.back(), wxSizerFlags().Border(wxBOTTOM, gap));
    }
    m_typedButton = add("Another feed:");
    m_noneButton = add("None: show no headlines of this paper");
    // Made after the radio buttons, which stay consecutive siblings and so
    // one group; the keys still go from its button to it.
    m_typedField = new wxTextCtrl(this, wxID_ANY);
    m_typedField->MoveAfterInTabOrder(m_typedButton);
    NameForScreenReaders(*m_typedField, kTypedFeedName);
    auto* typedRow = new wxBoxSizer(wxHORIZONTAL);
    typedRow->Add(m_typedButton, wxSizerFlags().CentreVertical());
    typedRow->AddSpacer(gap);
    typedRow->Add(m_typedField, wxSizerFlags(1));
    options->Add(typedRow, wxSizerFlags().Expand().Border(wxBOTTOM, gap));
    options->Add(m_noneButton);

    if (current.choice == FeedChoice::None)
        m_noneButton->SetValue(true);
    else if (current.choice == FeedChoice::Feed)
        m_feedButtons.front()->SetValue(true);
    else
        m_undecidedButton->SetValue(true);

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(intro, wxSizerFlags().Expand().Border(wxALL, 2 * gap));
    top->Add(options, wxSizerFlags().Expand().Border(wxLEFT | wxRIGHT, 2 * gap));
    top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL),
             wxSizerFlags().Expand().Border(wxALL, 2 * gap));
    SetSizerAndFit(top);
    CentreOnParent();
}

bool FeedDialog::Accept()
{
    FavoriteFeed chosen;
    if (m_noneButton->GetValue()) {
        chosen.choice = FeedChoice::None;
    } else if (m_typedButton->GetValue()) {
        const std::optional<std::string> address =
            ResolveWebAddress(m_typedField->GetValue().utf8_string(), {});
        if (!address) {
            lumo::AppMessageBox(kMsgFeedNotWebAddress);
            m_typedField->SetFocus();
            return false;
        }
        chosen = {FeedChoice::Feed, *address};
    } else {
        for (std::size_t i = 0; i < m_feedButtons.size(); ++i)
            if (m_feedButtons[i]->GetValue())
                chosen = {FeedChoice::Feed, m_feedAddresses[i]};
    }
    m_choice = chosen;
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK);
    return true;
}

void FeedDialog::OnOK(wxCommandEvent&)
{
    Accept();
}

bool ChooseFavoriteFeed(wxWindow* parent, const std::string& paper, const std::string& page)
{
    StoreOpenResult opened = HeadlinesStore::Open(HeadlinesDatabasePath());
    if (!opened.store) {
        lumo::AppMessageBox(opened.error + ".");
        return false;
    }
    if (!opened.notice.empty())
        lumo::AppMessageBox(opened.notice);
    HeadlinesStore& store = *opened.store;
    const FavoriteFeed current = store.FeedOfFavorite(page);
    FeedDialog dialog(parent, paper, current, store.Candidates(page));
    if (dialog.ShowModal() != wxID_OK)
        return false;
    const FavoriteFeed& chosen = dialog.Choice();
    if (chosen.choice == current.choice && chosen.feedAddress == current.feedAddress)
        return false;
    bool kept = false;
    if (chosen.choice == FeedChoice::Feed)
        kept = store.SetFavoriteFeed(page, paper, chosen.feedAddress);
    else if (chosen.choice == FeedChoice::None)
        kept = store.SetFavoriteNoFeed(page);
    else
        return false; // left to the program, as it was
    if (!kept)
        lumo::AppMessageBox("The choice of feed could not be kept: " + store.LastError() + ".");
    return kept;
}

} // namespace headlines
