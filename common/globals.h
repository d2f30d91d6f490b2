#pragma once
// Program-wide values shared by the frame, the tree and the start-page commands.
#include <string>

namespace lumo {

// The page address that "Use Current" stores: the start page, then the last
// newspaper selected in the tree (also an empty address).
extern std::string g_strCurrentURL;

} // namespace lumo
