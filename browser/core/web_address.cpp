#include "browser/core/web_address.h"

#include <algorithm>
#include <array>
#include <cctype>

#include <glib.h>

namespace lumo {
namespace {

constexpr std::string_view kFailurePagePrefix = "lumo://start/failed?";

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

std::optional<std::string> MailAddressForDesktop(std::string_view url)
{
    if (SchemeOf(url) != "mailto")
        return std::nullopt;
    std::string_view rest = url.substr(url.find(':') + 1);
    rest = rest.substr(0, rest.find('#'));
    const size_t question = rest.find('?');
    const std::string_view recipients = rest.substr(0, question);
    // Recipients that decode to more fields would be read as fields.
    const std::string decodedRecipients = Lower(PercentDecode(recipients));
    if (decodedRecipients.find_first_of("?&") != std::string::npos ||
        decodedRecipients.find("attach") != std::string::npos)
        return std::nullopt;
    std::string out = "mailto:" + std::string(recipients);
    std::string_view query =
        question == std::string_view::npos ? std::string_view() : rest.substr(question + 1);
    constexpr std::string_view kMailFields[] = {"to",      "cc",   "bcc",
                                                "subject", "body", "in-reply-to"};
    char separator = '?';
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        const size_t eq = pair.find('=');
        const std::string name = Lower(PercentDecode(pair.substr(0, eq)));
        if (name.find("attach") != std::string::npos)
            return std::nullopt;
        if (std::find(std::begin(kMailFields), std::end(kMailFields), name) ==
            std::end(kMailFields))
            continue;
        out += separator + name +
               (eq == std::string_view::npos ? std::string() : std::string(pair.substr(eq)));
        separator = '&';
    }
    return out;
}

std::string CleanTitle(std::string_view title)
{
    std::string out;
    const char* at = title.data();
    const char* end = title.data() + title.size();
    while (at < end) {
        const gunichar code = g_utf8_get_char_validated(at, end - at);
        if (code == static_cast<gunichar>(-1) || code == static_cast<gunichar>(-2)) {
            ++at; // no UTF-8 here
            continue;
        }
        const char* next = g_utf8_next_char(at);
        const GUnicodeType type = g_unichar_type(code);
        if (type == G_UNICODE_LINE_SEPARATOR || type == G_UNICODE_PARAGRAPH_SEPARATOR)
            out += ' ';
        else if (type != G_UNICODE_FORMAT)
            out.append(at, next);
        at = next;
    }
    return out;
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

} // namespace lumo
