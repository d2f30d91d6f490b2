#include "common/address_text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace lumo {
namespace {

bool IsSchemeChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

std::string_view Trim(std::string_view text)
{
    const char* blanks = " \t\r\n\f\v";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// "host:8080", "host:8080/path": a host and port, not a scheme.
bool IsPortAfterColon(std::string_view rest)
{
    size_t digits = 0;
    while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits])))
        ++digits;
    return digits > 0 && (digits == rest.size() || rest[digits] == '/' || rest[digits] == '?' ||
                          rest[digits] == '#');
}

} // namespace

std::string Lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string EscapeHtml(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string PercentEncode(std::string_view text, std::string_view keep)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (alnum || c == '-' || c == '_' || c == '.' || c == '~' ||
            keep.find(static_cast<char>(c)) != std::string_view::npos)
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string SchemeOf(std::string_view address)
{
    address = Trim(address);
    size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        !std::isalpha(static_cast<unsigned char>(address[0])))
        return {};
    if (!std::all_of(address.begin(), address.begin() + colon, IsSchemeChar))
        return {};
    if (address.substr(colon + 1, 2) != "//" && IsPortAfterColon(address.substr(colon + 1)))
        return {};
    return Lower(address.substr(0, colon));
}

std::string HostOf(std::string_view address)
{
    address = Trim(address);
    size_t start = address.find("://");
    if (start == std::string_view::npos)
        return {};
    std::string_view rest = address.substr(start + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (size_t at = rest.rfind('@'); at != std::string_view::npos)
        rest = rest.substr(at + 1);
    if (!rest.empty() && rest.front() == '[')
        return Lower(rest.substr(0, rest.find(']') + 1));
    return Lower(rest.substr(0, rest.find(':')));
}

std::string NormalizeAddress(std::string_view typed)
{
    std::string_view address = Trim(typed);
    if (address.empty())
        return "about:blank";
    if (SchemeOf(address).empty())
        return "http://" + std::string(address);
    return std::string(address);
}

std::optional<std::string> SecureFirstAddress(std::string_view address)
{
    if (SchemeOf(address) != "http")
        return std::nullopt;
    std::string secure = "https" + std::string(Trim(address).substr(4));
    // An explicit port 80 belongs to plain HTTP.
    size_t authority = secure.find("://") + 3;
    size_t end = secure.find_first_of("/?#", authority);
    std::string_view host = std::string_view(secure).substr(authority, end - authority);
    if (host.size() > 3 && host.substr(host.size() - 3) == ":80")
        secure.erase(authority + host.size() - 3, 3);
    return secure;
}

SchemeRoute RouteOf(std::string_view address)
{
    static constexpr std::array<std::string_view, 7> shown = {"http", "https", "about",     "data",
                                                              "blob", "lumo",  "javascript"};
    std::string scheme = SchemeOf(address);
    if (scheme == "file")
        return SchemeRoute::Local;
    if (scheme.empty() || std::find(shown.begin(), shown.end(), scheme) != shown.end())
        return SchemeRoute::Shown;
    return SchemeRoute::Outside;
}

bool IsWebOrFilePage(std::string_view address)
{
    const std::string scheme = SchemeOf(address);
    return scheme == "http" || scheme == "https" || scheme == "file";
}

bool IsRefusedAddress(std::string_view address)
{
    std::size_t i = 0;
    while (i < address.size() && static_cast<unsigned char>(address[i]) <= 0x20)
        ++i;
    std::string scheme;
    for (; i < address.size() && address[i] != ':'; ++i) {
        const char c = address[i];
        if (c == '\t' || c == '\n' || c == '\r')
            continue;
        if (!IsSchemeChar(c))
            return false;
        scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (i == address.size())
        return false;
    return scheme == "javascript" || scheme == "data" || scheme == "blob";
}

std::string RefusedAddressMessage(std::string_view name)
{
    return "\"" + std::string(name) +
           "\" is not opened: its address starts with javascript:, data: or blob:, which would "
           "run a script or show content of its own in the page on screen.";
}

} // namespace lumo
