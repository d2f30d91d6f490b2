#pragma once
// The commands of the pane and the tree at the end of the View, Browse and
// Favorites menus, after a separator, each with its key shown beside it.
// The keys are those the window already answers; the menus only show them,
// so the accelerator table and what every key does stay as they are.
class wxMenuBar;

namespace lumo {

void AppendViewCommandsToMenus(wxMenuBar& bar);

} // namespace lumo
