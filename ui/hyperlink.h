#pragma once
// Hyperlink controls: an address that opens itself in the user's web browser,
// and a static text control that shows such an address as a clickable link.
#include <functional>
#include <string>

#include <wx/control.h>

class wxCursor;

namespace lumo {

/// An address (UTF-8) that opens itself outside the program.
class CHyperlink : public std::string
{
public:
    // Like the string it is: a null text gives an empty address.
    CHyperlink(const char* text = nullptr);
    CHyperlink(std::string text);
    CHyperlink& operator=(const char* text);
    CHyperlink& operator=(std::string text);

    // Opens the address through the program's outside opener (OpenUrlOutside)
    // and returns its result, true when the browser was started. An empty
    // address opens nothing and fails.
    virtual bool OpenLink() const;
};

// The sound a link makes when its address cannot be opened; tests count it.
using LinkBeeper = std::function<void()>;

// Replaces the sound (an empty function restores wxBell) and returns the previous one.
LinkBeeper SetLinkBeeper(LinkBeeper beeper);

/// A static text drawn as a web link that opens its address when clicked or
/// activated from the keyboard, lighting up while the pointer is over it.
///
/// Colours: blue at rest, red while the pointer is over the text, purple
/// after a successful open until the pointer leaves; a failed open beeps and
/// leaves it red. A link drawn with a border is a framed static, not plain
/// text: it keeps the normal text colour in every state, though it still opens.
///
/// It is its own small control rather than a wxStaticText or a native
/// wxHyperlinkCtrl: on GTK a label gets neither pointer events nor keyboard
/// focus, and a native link button takes its colours from the theme. Being
/// drawn by the program, it tells screen readers its text and its role itself.
class CStaticLink : public wxControl
{
public:
    static const wxColour s_normalColor;  // at rest
    static const wxColour s_hoverColor;   // pointer over the link
    static const wxColour s_visitedColor; // after a successful open, until the pointer leaves
    // Room left around the text for the keyboard focus rectangle; texts set
    // beside a link indent by as much to line up with it.
    static constexpr int kTextMargin = 2;

    // Two-step creation, as for any wx control. `text` is the address (null:
    // none yet; a click then takes the window text as the address).
    //
    // `autoDelete` says whether the object goes away with its window. In wx
    // every child window object is deleted by its parent when the parent is
    // destroyed, so the object never outlives its window whatever the flag
    // says: a link made with false (as the About box makes it) is deleted by
    // its dialog all the same, and its owner must not keep the pointer past
    // the dialog. The flag is kept so that callers state what they expect.
    explicit CStaticLink(const char* text = nullptr, bool autoDelete = false);
    CStaticLink(wxWindow* parent, wxWindowID id, const wxString& label, const char* text = nullptr,
                bool autoDelete = false, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = 0);

    bool Create(wxWindow* parent, wxWindowID id, const wxString& label,
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                long style = 0, const wxString& name = "staticLink");

    // The window text, shown exactly (an '&' is not a mnemonic here: URLs hold them).
    void SetLabel(const wxString& label) override;

    // Opens the address, as a click, Enter or Space does. An empty address
    // first takes the window text and keeps it for later; with nothing to
    // open, nothing happens. A failed open beeps and changes no colour.
    // True when the address was opened.
    bool FollowLink();

    // The colour of the link's state; a framed link draws its text in the
    // normal text colour instead.
    const wxColour& GetTextColour() const { return m_textColor; }
    bool IsHovering() const { return m_hovering; }
    bool IsAutoDelete() const { return m_autoDelete; }
    // Plain text is a link without a border: only plain text shows the link colours.
    bool IsPlainText() const;

    bool AcceptsFocus() const override { return true; }
    bool ShouldInheritColours() const override { return true; }
    bool HasTransparentBackground() override { return true; }

    // The address to open; its owner may set it at any time.
    CHyperlink m_target;

protected:
    wxSize DoGetBestClientSize() const override;
    wxBorder GetDefaultBorder() const override { return wxBORDER_NONE; }

private:
    void OnPaint(wxPaintEvent& event);
    void OnEnter(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnFocusChanged(wxFocusEvent& event);
    void ChangeTextColour(const wxColour& colour);

    // The process's one hand cursor: made on first use, shared by every link
    // and never made again, not even after a failure.
    static const wxCursor* HandCursor();
    static wxCursor* s_handCursor;
    static bool s_cursorLookupDone;

    // The window's own font is used as it is, so no separate link font is kept;
    // the pointer leaving is reported by the window system, so no timer polls for it.
    wxColour m_textColor = s_normalColor;
    bool m_autoDelete;
    bool m_hovering = false;

    wxDECLARE_DYNAMIC_CLASS(CStaticLink);
};

} // namespace lumo
