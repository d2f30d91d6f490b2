#pragma once
// Opening an address outside the program: web addresses in the user's
// default web browser, other schemes (mailto:, tel:) with the desktop's
// handler for them. Tests replace the opener so that nothing starts.
#include <functional>
#include <string>

namespace lumo {

using UrlOpener = std::function<bool(const std::string& url)>;

// Opens the address with the current opener; true when the opener succeeded.
bool OpenUrlOutside(const std::string& url);

// What the user is told when no program could be started for an address.
std::string CannotOpenMessage(const std::string& url);

// Replaces the opener (an empty function restores the default)
// and returns the previous one.
UrlOpener SetUrlOpener(UrlOpener opener);

} // namespace lumo
