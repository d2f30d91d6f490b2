#pragma once
// The skin component: a skin file (.ssk) is a GTK CSS style sheet that is
// applied to every window of the program. A missing or broken file changes
// nothing and reports failure (0); success is 1.

namespace lumo {

int InitializeSkin(const char* path);
int LoadSkin(const char* path);
int ExitSkin();

// The path of the skin in effect, empty when none is.
const char* CurrentSkinPath();

} // namespace lumo
