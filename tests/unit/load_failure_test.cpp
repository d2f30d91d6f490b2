// Why a page failed to load, as the failure page tells it.
#include <gtest/gtest.h>

#include <gio/gio.h>

#include "browser/core/load_failure.h"

using namespace lumo;

TEST(LoadFailureTest, FailureWithoutANetworkBlamesTheNetworkNotTheAddress)
{
    const std::string_view unknown =
        "Error resolving \u201cx.example\u201d: Name or service not known";
    const std::string_view noServer =
        "Error resolving \u201cx.example\u201d: Temporary failure in name resolution";
    // Online, an unknown name is the address's fault; a name server out of
    // reach is the network's.
    EXPECT_EQ(ClassifyLoadFailure(FailureReason::NameNotFound, unknown, true),
              FailureReason::NameNotFound);
    EXPECT_EQ(ClassifyLoadFailure(FailureReason::NameNotFound, noServer, true),
              FailureReason::NotConnected);
    EXPECT_EQ(ClassifyLoadFailure(FailureReason::Other, "Could not connect: Network is unreachable",
                                  true),
              FailureReason::NotConnected);
    // Errors known by their text only.
    EXPECT_EQ(ClassifyLoadFailure(FailureReason::Other, unknown, true),
              FailureReason::NameNotFound);
    EXPECT_EQ(ClassifyLoadFailure(FailureReason::Other, "Connection refused", true),
              FailureReason::Refused);
    EXPECT_EQ(ClassifyLoadFailure(FailureReason::Other, "Socket I/O timed out", true),
              FailureReason::TimedOut);
    // Offline, the network comes first; what a site answered still counts.
    for (FailureReason reason :
         {FailureReason::NameNotFound, FailureReason::TimedOut, FailureReason::Other})
        EXPECT_EQ(ClassifyLoadFailure(reason, unknown, false), FailureReason::NotConnected);
    EXPECT_EQ(ClassifyLoadFailure(FailureReason::Refused, "Connection refused", false),
              FailureReason::Refused);
    EXPECT_EQ(ClassifyLoadFailure(FailureReason::Untrusted, "", false), FailureReason::Untrusted);
    EXPECT_EQ(ReasonText(FailureReason::NotConnected).find("This computer is not connected"), 0u);
}

TEST(LoadFailureTest, TheEnginesErrorNamesTheReason)
{
    const auto reasonOf = [](GQuark domain, int code, const char* message, bool online) {
        g_autoptr(GError) error = g_error_new_literal(domain, code, message);
        return ReasonFor(error, online);
    };
    // By domain and code, whatever the text says.
    EXPECT_EQ(reasonOf(G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, "x", true),
              FailureReason::NameNotFound);
    EXPECT_EQ(reasonOf(G_RESOLVER_ERROR, G_RESOLVER_ERROR_TEMPORARY_FAILURE, "x", true),
              FailureReason::NotConnected);
    EXPECT_EQ(reasonOf(G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED, "x", true),
              FailureReason::Refused);
    EXPECT_EQ(reasonOf(G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "x", true), FailureReason::TimedOut);
    EXPECT_EQ(reasonOf(G_IO_ERROR, G_IO_ERROR_HOST_UNREACHABLE, "x", true),
              FailureReason::NotConnected);
    // The HTTP library's own codes, under either spelling of its domain.
    for (const char* domain : {"soup-http-error-quark", "soup_http_error_quark"}) {
        EXPECT_EQ(reasonOf(g_quark_from_string(domain), 2, "x", true), FailureReason::NameNotFound);
        EXPECT_EQ(reasonOf(g_quark_from_string(domain), 4, "x", true), FailureReason::Refused);
    }
    // A code that says nothing leaves the text to tell; offline, the network.
    EXPECT_EQ(reasonOf(G_IO_ERROR, G_IO_ERROR_FAILED, "Connection refused", true),
              FailureReason::Refused);
    EXPECT_EQ(reasonOf(G_IO_ERROR, G_IO_ERROR_FAILED, "x", true), FailureReason::Other);
    EXPECT_EQ(reasonOf(G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, "x", false),
              FailureReason::NotConnected);
}
