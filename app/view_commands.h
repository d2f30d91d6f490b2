#pragma once
// The commands of the pane and the tree that the toolbar and the last
// entries of the menus issue, beyond the commands of the menus' own items:
// their numbers, what they do, and when they can act.
namespace lumo {

class CMainFrame;

// wx ids of their own, clear of the program's numbers (2771 to 2788 and
// 27680 to 29393 on the wx side) and of wx's stock ids.
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
    ID_VIEW_COMMAND_LAST = ID_BUILT_IN_FILTER_LISTS,
};

// Makes the frame carry them out and enable them (wxEVT_UPDATE_UI) only when
// they can act.
void BindViewCommands(CMainFrame& frame);

// Whether the command can act now.
bool CanRunViewCommand(CMainFrame& frame, int id);

} // namespace lumo
