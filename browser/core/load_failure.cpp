// Why a page failed to load, from the engine's error.
#include "browser/core/load_failure.h"

#include <gio/gio.h>

namespace lumo {
namespace {

bool ErrorIs(const GError* error, const char* domain)
{
    return error && g_quark_to_string(error->domain) &&
           std::string_view(g_quark_to_string(error->domain)) == domain;
}

} // namespace

FailureReason ClassifyLoadFailure(FailureReason byCode, std::string_view message,
                                  bool networkAvailable)
{
    const auto says = [message](std::string_view text) {
        return message.find(text) != std::string_view::npos;
    };
    FailureReason reason = byCode;
    // No name server could be asked, or no route leads out: the network.
    if (says("Temporary failure in name resolution") || says("Temporarily unable to resolve") ||
        says("Network is unreachable") || says("No route to host"))
        reason = FailureReason::NotConnected;
    else if (reason == FailureReason::Other) {
        // The network process passes some errors on by their text only.
        if (says("resolv") || says("Name or service not known"))
            reason = FailureReason::NameNotFound;
        else if (says("refused"))
            reason = FailureReason::Refused;
        else if (says("timed out"))
            reason = FailureReason::TimedOut;
        else if (says("unreachable"))
            reason = FailureReason::NotConnected;
    }
    if (!networkAvailable && (reason == FailureReason::NameNotFound ||
                              reason == FailureReason::TimedOut || reason == FailureReason::Other))
        reason = FailureReason::NotConnected;
    return reason;
}

FailureReason SpecificReasonFor(const GError* error)
{
    if (error->domain == G_RESOLVER_ERROR)
        return error->code == G_RESOLVER_ERROR_TEMPORARY_FAILURE ? FailureReason::NotConnected
                                                                 : FailureReason::NameNotFound;
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
        case G_IO_ERROR_CONNECTION_REFUSED:
            return FailureReason::Refused;
        case G_IO_ERROR_TIMED_OUT:
            return FailureReason::TimedOut;
        case G_IO_ERROR_NETWORK_UNREACHABLE:
        case G_IO_ERROR_HOST_UNREACHABLE:
            return FailureReason::NotConnected;
        default:
            break;
        }
    }
    if (ErrorIs(error, "soup-http-error-quark") || ErrorIs(error, "soup_http_error_quark")) {
        switch (error->code) {
        case 2: // cannot resolve
            return FailureReason::NameNotFound;
        case 4: // cannot connect
            return FailureReason::Refused;
        default:
            break;
        }
    }
    return FailureReason::Other;
}

FailureReason ReasonFor(const GError* error, bool networkAvailable)
{
    return ClassifyLoadFailure(SpecificReasonFor(error), error->message ? error->message : "",
                               networkAvailable);
}

} // namespace lumo
