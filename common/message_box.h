#pragma once
// The program's message box: the application title as caption, over the main window.
#include <string>

#include <wx/defs.h>

namespace lumo {

int AppMessageBox(const std::string& text, long style = wxOK);

// Opens the address outside the program; when no program could be started,
// says so in a message box. True when it opened.
bool OpenOutsideOrSay(const std::string& url);

} // namespace lumo
