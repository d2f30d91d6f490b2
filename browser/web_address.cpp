#include "browser/web_address.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace lumo {
namespace {

constexpr std::string_view kFailurePagePrefix = "lumo://start/failed?";

bool IsSchemeChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
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

std::string PercentDecode(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else
            out += text[i] == '+' ? ' ' : text[i];
    }
    return out;
}

struct ReasonEntry
{
    FailureReason reason;
    std::string_view key;
    std::string_view text;
};

constexpr std::array<ReasonEntry, 9> kReasons = {{
    {FailureReason::NotConnected, "offline",
     "This computer is not connected to the network, or the network cannot reach the paper."},
    {FailureReason::NameNotFound, "name",
     "The paper's address could not be found. The name may be mistyped, or the site may no "
     "longer exist."},
    {FailureReason::Refused, "refused", "The paper's site refused the connection."},
    {FailureReason::TimedOut, "timeout", "The paper's site did not answer in time."},
    {FailureReason::Untrusted, "certificate",
     "The site's security certificate is not trusted, so the page was not opened. Someone may "
     "be pretending to be this site."},
    {FailureReason::TooMuchMemory, "memory",
     "The page used too much memory and was closed to keep the program running."},
    {FailureReason::StoppedWorking, "stopped",
     "The page stopped working and was closed. Its content may be faulty."},
    {FailureReason::PortNotAllowed, "port",
     "The paper's address names a network port kept for other services, which web pages may "
     "not use, so it was not opened."},
    {FailureReason::Other, "other", "The page could not be opened."},
}};

const ReasonEntry& EntryFor(FailureReason reason)
{
    for (const ReasonEntry& entry : kReasons)
        if (entry.reason == reason)
            return entry;
    return kReasons.back();
}

} // namespace

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

std::string_view ReasonText(FailureReason reason)
{
    return EntryFor(reason).text;
}

std::string FailurePageAddress(std::string_view address, std::string_view name,
                               FailureReason reason)
{
    return std::string(kFailurePagePrefix) + "reason=" + std::string(EntryFor(reason).key) +
           "&name=" + PercentEncode(name) + "&address=" + PercentEncode(address);
}

std::optional<FailurePage> ParseFailurePageAddress(std::string_view uri)
{
    if (uri.substr(0, kFailurePagePrefix.size()) != kFailurePagePrefix)
        return std::nullopt;
    std::string_view query = uri.substr(kFailurePagePrefix.size());
    query = query.substr(0, query.find('#'));
    FailurePage page;
    while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        size_t eq = pair.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string_view key = pair.substr(0, eq);
        std::string value = PercentDecode(pair.substr(eq + 1));
        if (key == "name")
            page.name = value;
        else if (key == "address")
            page.address = value;
        else if (key == "reason")
            for (const ReasonEntry& entry : kReasons)
                if (entry.key == value)
                    page.reason = entry.reason;
    }
    return page;
}

bool IsWebOrFilePage(std::string_view address)
{
    const std::string scheme = SchemeOf(address);
    return scheme == "http" || scheme == "https" || scheme == "file";
}

std::string FailurePageHtml(const FailurePage& page)
{
    std::string name = page.name.empty() ? HostOf(page.address) : page.name;
    if (name.empty())
        name = "This page";
    bool canRetry = IsWebOrFilePage(page.address);
    std::string html =
        "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src lumo: 'unsafe-inline'; img-src lumo:\">"
        "<title>" +
        EscapeHtml(name) +
        "</title><link rel=\"stylesheet\" href=\"style.css\"><style>"
        ".failure{max-width:40rem;margin:4rem auto;padding:2rem;background:var(--card);"
        "border:1px solid var(--line);border-radius:8px}"
        ".failure .address{color:var(--muted);word-break:break-all}"
        ".failure .retry{display:inline-block;margin-top:1rem;padding:.5rem 1.25rem;"
        "color:#fff;background:var(--brand);border-radius:4px;text-decoration:none}"
        "</style></head><body><main class=\"failure\" role=\"main\"><h1>" +
        EscapeHtml(name) + "</h1><p class=\"address\">" + EscapeHtml(page.address) + "</p><p>" +
        std::string(ReasonText(page.reason)) + "</p>";
    if (!page.tried.empty())
        html += "<p class=\"tried\">Last tried at " + EscapeHtml(page.tried) + ".</p>";
    if (canRetry)
        html += std::string("<a class=\"retry\" role=\"button\" href=\"") + kFailureRetryAddress +
                "\" title=\"" + EscapeHtml(page.address) + "\">Try again</a>";
    html += "</main></body></html>";
    return html;
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
