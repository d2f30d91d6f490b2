#pragma once
// What a screen reader is told about a window: its accessible name and role.
// wxWidgets has no accessibility interface of its own on GTK, so these go
// straight to the widget's ATK object there, which AT-SPI publishes.
#include <wx/statusbr.h>
#include <wx/string.h>

class wxWindow;

namespace lumo {

enum class AccessibleRole
{
    Link,
    Image,
    StatusBar,
};

// Gives the window the name a screen reader reads for it.
void SetAccessibleName(wxWindow* window, const wxString& name);

// Tells a screen reader what kind of thing a window drawn by the program is.
void SetAccessibleRole(wxWindow* window, AccessibleRole role);

// The name a screen reader reads for the window (empty when it has none).
wxString GetAccessibleName(const wxWindow* window);

// Tells a screen reader, as a notification, what a window drawn by the
// program shows: the window takes the notification role and `text` as its
// name. A window on screen is announced at once with the new text; a hidden
// one is announced by the toolkit when it shows.
void AnnounceNotice(wxWindow* window, const wxString& text);

// A status bar whose first field a screen reader reads: the bar is named by
// that field's text, whichever way the text changes.
class ReadableStatusBar : public wxStatusBar
{
public:
    ReadableStatusBar(wxWindow* parent, wxWindowID id, long style, const wxString& name);

protected:
    void DoUpdateStatusText(int number) override;
};

} // namespace lumo
