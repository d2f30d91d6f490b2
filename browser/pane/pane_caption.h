#pragma once
// The window's caption as the pane sets it: the title of what is on screen,
// cleaned of separators and invisible characters; while a page has no title
// yet (each one for a moment as it comes), the paper it belongs to by name,
// else its site; never an empty title.
#include <string>

class wxWindow;

namespace lumo {

class PaneCaption
{
public:
    explicit PaneCaption(wxWindow* pane) : m_pane(pane) {}

    // A paper asked for, by its address and name (empty: its site), which
    // the caption names at once and until its page has a title.
    void PaperAsked(const std::string& url, const std::string& name);
    // A page from `uri` is shown: one of another site than the paper's is
    // named by its own site.
    void PageCommitted(const std::string& uri);
    // The paper's load was stopped: the page on screen stays.
    void PaperAbandoned();

    // Names `title` in the caption (a page at `pageUrl`).
    void Show(const std::string& title, const std::string& pageUrl);

private:
    wxWindow* m_pane;
    std::string m_paperName;
    std::string m_paperHost;
};

} // namespace lumo
