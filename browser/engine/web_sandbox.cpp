#include "browser/engine/engine_environment.h"

#ifdef __WXGTK__
#include <webkit2/webkit2.h>
#endif

namespace lumo {

bool EnableWebSandbox(bool supported)
{
#ifdef __WXGTK__
    static const bool enabled = [supported] {
        if (supported)
            webkit_web_context_set_sandbox_enabled(webkit_web_context_get_default(), TRUE);
        return supported;
    }();
    return enabled;
#else
    (void)supported;
    return false;
#endif
}

} // namespace lumo
