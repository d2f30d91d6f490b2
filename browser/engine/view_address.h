#pragma once
// The address a web view of the engine shows, empty for none.
#include <string>

#include <webkit2/webkit2.h>

namespace lumo {

inline std::string UriOf(WebKitWebView* view)
{
    const char* uri = webkit_web_view_get_uri(view);
    return uri ? uri : "";
}

} // namespace lumo
