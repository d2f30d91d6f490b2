#pragma once
// Why a page failed to load: the engine's error, told as the reason the
// failure page gives. Plain C++ on GLib's errors, tested with no display.
#include <string_view>

#include <glib.h>

#include "browser/core/web_address.h"

namespace lumo {

// Why a load failed: `byCode` as the engine's error code tells it (Other when
// the code says nothing), made more precise by the error's text, on a
// computer with or without a network. With none, or with no name server
// within reach, the network is the reason given, never the address.
FailureReason ClassifyLoadFailure(FailureReason byCode, std::string_view message,
                                  bool networkAvailable);

// The reason of a failed load as its error's domain and code tell it (name
// resolution, connection, HTTP), Other when they say nothing.
FailureReason SpecificReasonFor(const GError* error);

// The reason of a failed load, from the engine's error, on a computer with
// or without a network.
FailureReason ReasonFor(const GError* error, bool networkAvailable);

} // namespace lumo
