#include "common/globals.h"

namespace lumo {

std::string g_strCurrentURL;

} // namespace lumo
