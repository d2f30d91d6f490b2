#pragma once
// Program-wide values shared by the frame, the tree and the start-page commands.
#include <string>

namespace lumo {

// The program directory: the current directory at start (see AppDirFromCurrentDir).
extern std::string g_strAppDir;
// The page address that "Use Current" stores: the start page, then the last
// newspaper selected in the tree (also an empty address).
extern std::string g_strCurrentURL;

} // namespace lumo
