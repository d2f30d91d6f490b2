#pragma once
// The web pane's own failure page: why a page could not be shown, the
// page's address and its contents. Plain C++: no wx, no web engine.
#include <optional>
#include <string>
#include <string_view>

#include "common/address_text.h"

namespace lumo {

// Why a page could not be shown.
enum class FailureReason
{
    NotConnected,
    NameNotFound,
    Refused,
    TimedOut,
    Untrusted,
    TooMuchMemory,
    StoppedWorking,
    PortNotAllowed,
    Other,
};

// The reason in plain words, as the failure page says it.
std::string_view ReasonText(FailureReason reason);

// The address of the pane's failure page for `address` (the paper's name
// heads it and is its title), under the program's own scheme.
std::string FailurePageAddress(std::string_view address, std::string_view name,
                               FailureReason reason);

// What a failure page address holds; nothing when `uri` is not one.
struct FailurePage
{
    std::string address;
    std::string name;
    FailureReason reason = FailureReason::Other;
    // When the paper was last tried ("14:05:09"), or empty; not part of the address.
    std::string tried;
};
std::optional<FailurePage> ParseFailurePageAddress(std::string_view uri);

// What "Try again" on a failure page links to: the program loads the paper
// again itself, as it did the first time. A link to the paper's own address
// would be left to the engine, which refuses some addresses (ports kept for
// other services) without a word when a page links them.
inline constexpr const char* kFailureRetryAddress = "lumo://start/retry";

// The failure page itself: every text from the address is escaped, the page
// runs no script, and "Try again" is offered only when the original address
// is one the pane may load (http, https or file).
std::string FailurePageHtml(const FailurePage& page);

// The mailto: address handed to the desktop's mail program: the recipients
// and only the fields a mail needs (to, cc, bcc, subject, body,
// in-reply-to), their names read with escapes decoded; nothing when the
// address is no mailto: one or a field would attach a file.
std::optional<std::string> MailAddressForDesktop(std::string_view url);

// What the user is told when a mail address was not handed on.
inline constexpr const char* kRefusedMailMessage =
    "Not opened: the mail address asks to attach files of this computer.";

// A page's title as the window's caption may show it: line and paragraph
// separators become blanks, and invisible format characters (Unicode's Cf:
// direction marks, zero-width characters) go. Bytes that are no UTF-8 go too.
std::string CleanTitle(std::string_view title);

} // namespace lumo
