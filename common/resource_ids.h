#pragma once
// Command, control and dialog numbers of the program, and the texts of its
// string table. The framework's standard commands use wx's stock ids.
#include <wx/defs.h>

namespace lumo {

enum CommandId : int
{
    ID_MINIMIZE = 32771,
    ID_BROWSE_HOME = 32772,
    ID_BROWSE_BACK = 32773,
    ID_BROWSE_FORWARD = 32774,
    ID_CATALOG_BY_CONTENT = 32775,
    ID_CATALOG_BY_AREA = 32776,
    ID_SKIN_XP = 32777,
    ID_SKIN_MINI = 32778,
    ID_SKIN_SOFT = 32779,
    ID_HELP_CONTENT = 32780,
    ID_HELP_PRODUCT = 32782,
    ID_FAVORITES_MODIFY = 32783,
    ID_FAVORITES_BACKUP = 32784,
    ID_HOMEPAGE_GOTO = 32785,
    ID_HOMEPAGE_USE_BLANK = 32786,
    ID_HOMEPAGE_USE_DEFAULT = 32787,
    ID_HOMEPAGE_USE_CURRENT = 32788,

    // The framework's own commands that have no wx stock id.
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
};

// wxWidgets wants menu and command ids below 0x7FFF, while the program's
// numbers run from 32771 to 59393: the menus and the command events carry the
// number less 30000 (32771 is 2771 there), clear of wx's own stock ids.
inline constexpr int kWxIdOffset = 30000;
constexpr int ToWxId(int commandId)
{
    return commandId - kWxIdOffset;
}
constexpr int FromWxId(int wxId)
{
    return wxId + kWxIdOffset;
}

// Dialog templates and their controls.
enum DialogId : int
{
    IDD_ABOUTBOX = 100,
    IDD_CFG_FAVORITE = 131,
    IDD_CFG_ADD_FAVORITE = 132,
};

// String table.
inline constexpr const char* kAppName = "Lumo News Reader"; // 61450: ends every caption
inline constexpr const char* kAppTitle = "LumoNewsReader";  // 57344: settings branch, message boxes
inline constexpr const char* kIdleMessage = "Ready";        // 57345: idle status-bar text
inline constexpr const char* kVersionText = "Version 4.1.5 Build 1728";
inline constexpr const char* kSettingsVendor = "Local AppWizard-Generated Applications";

// The product's own addresses. The start page is built into the program and
// served under the program's own scheme, so it shows with no network.
inline constexpr const char* kStartPageScheme = "lumo";
inline constexpr const char* kProductStartPage = "lumo://start/";
inline constexpr const char* kProductWebPage = "https://www.lumonewsreader.org/";

} // namespace lumo
