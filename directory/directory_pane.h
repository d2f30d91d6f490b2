#pragma once
// The left pane of the main window: a field to find a newspaper, above the
// directory tree.
#include <wx/panel.h>

#include "ui/key_map.h"

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

    // Runs one of the pane's key commands (the key table's meanings of a key
    // while the focus is in the pane); false when it does not apply now.
    bool RunKeyCommand(KeyCommand command);

private:
    void OnText(wxCommandEvent& event);
    void EndSearch();

    wxTextCtrl* m_field = nullptr;
    wxStaticText* m_count = nullptr;
    CLeftView* m_tree = nullptr;
};

} // namespace lumo
