#pragma once
// Every command of the main window in one table (view_commands.cpp): what it
// does, when its menu item or button can act, and its check mark. The menus,
// the toolbar, the accelerators and the window's keys all run their commands
// from it; which key means which command is the key table's (ui/key_map.cpp).
#include <string>

#include "ui/key_map.h"

namespace lumo {

class CMainFrame;

// wx ids of the commands that came after the menus' own items, clear of the
// program's numbers (2771 to 2788 and 27680 to 29393 on the wx side) and of
// wx's stock ids.
enum ViewCommandId : int
{
    ID_PAGE_RELOAD = 2901,
    ID_PAGE_STOP,
    ID_PAGE_RELOAD_OR_STOP, // the toolbar's one button for both
    ID_READER_VIEW,
    ID_ZOOM_IN,
    ID_ZOOM_OUT,
    ID_ZOOM_ACTUAL,
    ID_FIND_IN_PAGE,
    ID_FIND_NEWSPAPER,
    ID_OPEN_IN_WEB_BROWSER,
    ID_ADD_THIS_PAGE,
    ID_BLOCK_ADS, // ads and trackers blocked in the pane, on or off
    // Back, Forward and Home on the toolbar: the menu's commands, which the
    // toolbar shows disabled when there is nowhere to go.
    ID_TOOL_BACK,
    ID_TOOL_FORWARD,
    ID_TOOL_HOME,
    ID_BUILT_IN_FILTER_LISTS, // the ad and tracker lists fetched from the web dropped
    // The headlines of the user's papers, on a page of the program's own.
    ID_HEADLINES,
    // File > Import and Export Favorites (OPML), app/opml_commands.h.
    ID_IMPORT_FAVORITES_OPML = 2950,
    ID_EXPORT_FAVORITES_OPML,
};

// Makes the frame carry out each command of the table that has an id (from a
// menu, a button or an accelerator) only when it can act, and keep its item
// or button enabled and checked as the table says (wxEVT_UPDATE_UI).
void BindCommands(CMainFrame& frame);

// Runs the command that the key table gives a key; `typed` is the character
// the key types. False when it does not apply now (Esc with nothing to end):
// the key then goes to its next meaning, or on to the window with the focus.
bool RunKeyCommand(CMainFrame& frame, KeyCommand key, int typed);

// The wx id of the command a key runs (an accelerator's), or wxID_NONE.
int CommandIdOf(KeyCommand key);

// The key that runs the command of this id, as a menu shows it ("Ctrl+F"),
// or empty when none does.
std::string KeyTextOf(int id);

} // namespace lumo
