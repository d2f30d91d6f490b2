// Starts wxWidgets' base library for tests that run without a display, the
// way the program has it started (settings files need it).
#include <wx/init.h>

namespace {
wxInitializer g_wxBase;
} // namespace
