#include "browser/web_environment.h"

#ifdef __WXGTK__
#include <webkit2/webkit2.h>
#endif

namespace lumo {

bool EnableWebSandboxWhereSupported()
{
#ifdef __WXGTK__
    static const bool enabled = [] {
        // The engine cannot start a page process at all when the sandbox is
        // on but cannot be made, so try it once first.
        gchar* bwrap = g_find_program_in_path("bwrap");
        if (!bwrap)
            return false;
        const gchar* argv[] = {bwrap, "--ro-bind", "/", "/", "--unshare-all", "--die-with-parent",
                               "true", nullptr};
        gint status = -1;
        gboolean ran = g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr,
                                    GSpawnFlags(G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
                                    nullptr, nullptr, nullptr, nullptr, &status, nullptr);
        g_free(bwrap);
        if (!ran || !g_spawn_check_wait_status(status, nullptr))
            return false;
        webkit_web_context_set_sandbox_enabled(webkit_web_context_get_default(), TRUE);
        return true;
    }();
    return enabled;
#else
    return false;
#endif
}

} // namespace lumo
