#pragma once
// Serves the product's start page, built into the program, under the
// program's own scheme (lumo://start/...), so it shows with no network.
#include <string>
#include <string_view>

namespace lumo {

// Makes the web engine answer the program's scheme from the built-in files.
// Once per process, before the first page loads; later calls do nothing.
void RegisterStartPageScheme();

// The name of the built-in file an address of the scheme asks for
// ("index.html" for the bare start page), or an empty string when the
// address is not one of the start page's.
std::string StartPageFileNameForUri(std::string_view uri);

// Keeps when the paper at `address` was last tried and failed ("14:05:09"),
// which its failure page says, so that a try that fails again at once still
// shows on screen.
void NoteFailedTry(const std::string& address, const std::string& when);

} // namespace lumo
