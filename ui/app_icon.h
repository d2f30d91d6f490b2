#pragma once
// The application icon, decoded from the PNG sizes built into the program.
#include <wx/bitmap.h>
#include <wx/iconbndl.h>

namespace lumo {

// Every size of the application icon, for a frame's or a dialog's SetIcons.
wxIconBundle AppIconBundle();

// The application icon at `size` pixels square: the built-in size when there
// is one, otherwise the next larger one scaled down (invalid when none decodes).
wxBitmap AppIconBitmap(int size);

} // namespace lumo
