#pragma once
// Opening an address outside the program: web addresses in the user's
// default web browser, other schemes (mailto:, tel:) with the desktop's
// handler for them. Tests replace the opener so that nothing starts.
#include <functional>
#include <string>

namespace lumo {

using UrlOpener = std::function<bool(const std::string& url)>;

// Where an address may go outside the program: web addresses to the user's
// web browser, mail and phone addresses to the desktop's program for them.
// Nothing else ever leaves the program: no local file or folder, no other
// scheme (smb:, a made-up one, the program's own lumo: pages).
enum class OutsideRoute
{
    WebBrowser,
    Desktop,
    Refused,
};
OutsideRoute OutsideRouteOf(const std::string& url);

// Opens the address with the current opener; true when the opener succeeded.
// A refused address never reaches the opener, and gives false.
bool OpenUrlOutside(const std::string& url);

// What the user is told when an address was refused, on one line.
std::string RefusedOutsideMessage(const std::string& url);

// What the user is told when no program could be started for an address.
std::string CannotOpenMessage(const std::string& url);

// Replaces the opener (an empty function restores the default)
// and returns the previous one.
UrlOpener SetUrlOpener(UrlOpener opener);

} // namespace lumo
