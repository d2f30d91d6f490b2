// What every web view of the program gets: the same settings and the same
// silent answers to a page's dialogs and requests.
#include "browser/engine/web_view_hardening.h"

namespace lumo {
namespace {

gboolean DenyPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer)
{
    // Pages get no location, notifications, camera or microphone, and no
    // question about them.
    webkit_permission_request_deny(request);
    return TRUE;
}

} // namespace

void HardenWebView(WebKitWebView* view)
{
    WebKitSettings* settings = webkit_web_view_get_settings(view);
    webkit_settings_set_allow_file_access_from_file_urls(settings, FALSE);
    webkit_settings_set_allow_universal_access_from_file_urls(settings, FALSE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    // Plugins are gone from current engines; switch them off where the
    // setting still exists.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(settings), "enable-plugins"))
        g_object_set(settings, "enable-plugins", FALSE, nullptr);
    g_signal_connect(view, "script-dialog", G_CALLBACK(AnswerScriptDialog), nullptr);
    g_signal_connect(view, "permission-request", G_CALLBACK(DenyPermission), nullptr);
}

gboolean AnswerScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer)
{
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
        break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        break;
    default:
        break;
    }
    return TRUE; // handled: nothing is shown
}

} // namespace lumo
