#pragma once
// What every web view of the program gets, the page's, the reader view's and
// the unshown ones made for a page's new window alike: the same settings
// against what a page may do, and the same silent answers to its dialogs and
// requests for permissions.
#include <webkit2/webkit2.h>

namespace lumo {

// No page reads local files through another, opens a window by itself,
// shows the developer tools or runs a plugin; its script dialogs are answered
// by AnswerScriptDialog and its requests for permissions are refused, with
// nothing shown.
void HardenWebView(WebKitWebView* view);

// The one answer to a script's dialog in every web view of the program
// ("script-dialog"): nothing is shown. A confirm is answered "no", a prompt
// gets no text, and a page's leave prompt always lets the navigation go on:
// the user never sees the question, so no page can hold the pane with it.
gboolean AnswerScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer);

} // namespace lumo
