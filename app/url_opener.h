#pragma once
// Opening an address outside the program, in the user's default web browser.
// Tests replace the opener so that no browser starts.
#include <functional>
#include <string>

namespace lumo {

using UrlOpener = std::function<bool(const std::string& url)>;

// Opens the address with the current opener; true when the opener succeeded.
bool OpenUrlOutside(const std::string& url);

// Replaces the opener (an empty function restores the default, wxLaunchDefaultBrowser)
// and returns the previous one.
UrlOpener SetUrlOpener(UrlOpener opener);

} // namespace lumo
