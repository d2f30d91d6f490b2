#pragma once
// The program's own keys while the focus is in a page: the main window gets
// them before the page does, as it does for every other part of the window.
typedef struct _GtkWidget GtkWidget;
class wxWindow;

namespace lumo {

// From now on the keys that the window may use (those with Ctrl or Alt,
// Escape and the function keys) go to `window`'s key hook (wxEVT_CHAR_HOOK,
// which reaches the main window) before the engine's widget `page` hands
// them to its page; a key the window uses never reaches the page. `window`
// is the wx window that holds `page` and lives as long as it does.
// Tab and Shift+Tab also walk into the page and out of it one stop at a
// time: taken by Tab, the page's first element (by Shift+Tab, its last)
// takes the focus and shows it.
void OfferProgramKeysFirst(GtkWidget* page, wxWindow* window);

} // namespace lumo
