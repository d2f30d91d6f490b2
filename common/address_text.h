#pragma once
// Addresses as plain text: escaping, the scheme and host of an address, what
// the user typed made into one, where a scheme goes, and the addresses the
// program never opens. Plain C++: no wx, no web engine.
#include <optional>
#include <string>
#include <string_view>

namespace lumo {

// `text` in lower case, byte by byte.
std::string Lower(std::string_view text);

// `text` with every byte other than letters, digits, "-._~" and those in
// `keep` written as %XX.
std::string PercentEncode(std::string_view text, std::string_view keep = {});

// `text` with & < > " ' written as character references, for HTML text and
// attribute values.
std::string EscapeHtml(std::string_view text);

// The scheme of an address in lower case ("http", "mailto"), or an empty
// string when it has none ("www.example.com", "localhost:8080/news").
std::string SchemeOf(std::string_view address);

// The host of an address with an authority ("news.example.com"), else "".
std::string HostOf(std::string_view address);

// What the pane loads for an address as written: surrounding blanks
// dropped; an address without a scheme gets "http://" in front; an empty
// one becomes the empty page "about:blank".
std::string NormalizeAddress(std::string_view typed);

// The https:// address tried before an http:// one (an explicit port 80 is
// dropped); nothing for any other address.
std::optional<std::string> SecureFirstAddress(std::string_view address);

enum class SchemeRoute
{
    Shown,   // the pane shows it (http, https, the program's own pages, ...)
    Local,   // file: shown only when the program itself opens it
    Outside, // mailto:, tel: and every scheme the engine cannot show
};
SchemeRoute RouteOf(std::string_view address);

// Whether an address is a page of the web or of the disk (http, https,
// file): one that can be tried again, read as an article or followed from
// the reader view, unlike the program's own pages and other schemes.
bool IsWebOrFilePage(std::string_view address);

// True for an address the program never opens for a favorite or a setting:
// javascript: (it would run in the page on screen), data: and blob: (the
// page they make is whatever the address holds), in any letter case, with
// the blanks and control characters in front and the tabs and line breaks
// inside that browsers drop.
bool IsRefusedAddress(std::string_view address);

// Why the favorite `name` is not opened, for the user.
std::string RefusedAddressMessage(std::string_view name);

// Why an address cannot be kept as a favorite, for the user.
inline constexpr const char* kMsgRefusedFavoriteAddress =
    "A favorite's address cannot start with javascript:, data: or blob:. Such an address "
    "would run a script or show content of its own in the page on screen.";

} // namespace lumo
