#pragma once
// The find bar at the bottom of the browser pane: the text to find, the
// previous and next buttons, the count of matches and the close button.
#include <string>

#include <wx/panel.h>

class wxStaticText;
class wxTextCtrl;

namespace lumo {

// What the find bar asks of the pane it belongs to.
class FindBarHost
{
public:
    // Searches the page shown for `text` (empty: ends the search).
    virtual void SearchPage(const std::string& text, bool backwards) = 0;
    // The bar has just been hidden: the pane lays itself out again and gives
    // the page the focus.
    virtual void FindBarClosed() = 0;

protected:
    ~FindBarHost() = default;
};

class FindBar : public wxPanel
{
public:
    FindBar(wxWindow* parent, FindBarHost& host);
    ~FindBar() override;

    // Shows the bar with the text of the last search selected, so that
    // typing replaces it, and searches it again.
    void Open();
    // Searches the text again: the next match, or the previous one.
    void Find(bool backwards);
    // Hides the bar and ends the search.
    void Close();
    // The engine's answer to the last search.
    void OnFindResult(unsigned matches, bool newText);

    wxTextCtrl* Field() const { return m_field; }
    // What the count reads: "3 of 17", "Not found" or empty.
    wxString CountText() const;

private:
    // Selects the text offered again when something else took its selection.
    void KeepTextSelected();

    FindBarHost& m_host;
    wxTextCtrl* m_field = nullptr;
    wxStaticText* m_count = nullptr;
    unsigned m_matches = 0;
    unsigned m_current = 0;
    bool m_backwards = false;
    // The bar shows the last text again, selected, and the user has not
    // touched it yet.
    bool m_textOffered = false;
};

} // namespace lumo
