#pragma once
// The left pane of the main window: a field to find a newspaper, above the
// directory tree.
#include <string>

#include <wx/panel.h>

class wxStaticText;
class wxTextCtrl;

namespace lumo {

class CLeftView;
class CLumoNewsReaderDoc;
class FavoritesReporter;
class ProfileStore;

inline constexpr const char* kFindNewspaperHint = "Find a newspaper";
inline constexpr const char* kFindNewspaperTip = "Find a newspaper (Ctrl+E)";
inline constexpr const char* kNoNewspaperMatches = "No newspaper matches";

// "1 newspaper", "12 newspapers", or kNoNewspaperMatches.
std::string MatchCountText(std::size_t matches);

class CDirectoryPane : public wxPanel
{
public:
    CDirectoryPane(wxWindow* parent, CLumoNewsReaderDoc& doc, ProfileStore& profile,
                   FavoritesReporter& reporter);

    CLeftView* Tree() const { return m_tree; }
    wxTextCtrl* SearchField() const { return m_field; }
    wxStaticText* MatchCount() const { return m_count; }

    // Ctrl+E, from anywhere in the window: the field with its text selected.
    void FocusSearch();
    // A letter typed while the tree has the focus starts a search with it.
    void StartSearch(wxChar letter);
    // Esc in the field: the field emptied, the whole tree back, the focus on it.
    void EndSearch();

private:
    void OnText(wxCommandEvent& event);

    wxTextCtrl* m_field = nullptr;
    wxStaticText* m_count = nullptr;
    CLeftView* m_tree = nullptr;
};

} // namespace lumo
