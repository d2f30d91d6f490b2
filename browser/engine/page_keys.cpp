#include "browser/engine/page_keys.h"

#include <wx/event.h>
#include <wx/window.h>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "ui/gdk_keys.h"
#include "ui/key_map.h"

namespace lumo {
namespace {

// The wx key code of a key typed in the page, or 0 for one the window has
// no name for.
int WxKeyCode(const GdkEventKey* key)
{
    const guint keyval = key->keyval;
    if (keyval == GDK_KEY_Escape)
        return WXK_ESCAPE;
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12)
        return WXK_F1 + static_cast<int>(keyval - GDK_KEY_F1);
    switch (keyval) {
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
        return WXK_LEFT;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
        return WXK_RIGHT;
    case GDK_KEY_KP_Add:
        return WXK_NUMPAD_ADD;
    case GDK_KEY_KP_Subtract:
        return WXK_NUMPAD_SUBTRACT;
    case GDK_KEY_KP_0:
    case GDK_KEY_KP_Insert:
        return WXK_NUMPAD0;
    default:
        break;
    }
    // Letters by their capital, as wx names them; other printable keys by
    // their character.
    const gunichar c = gdk_keyval_to_unicode(gdk_keyval_to_upper(keyval));
    return c > ' ' && c < 0x7f ? static_cast<int>(c) : 0;
}

gboolean OnPageKeyPress(GtkWidget*, GdkEventKey* key, wxWindow* window)
{
    const int code = WxKeyCode(key);
    if (!PageOffersToWindow(code, WxModifiersOf(key->state)))
        return FALSE;
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.SetEventObject(window);
    event.m_keyCode = code;
    event.m_uniChar = gdk_keyval_to_unicode(key->keyval);
    event.m_rawCode = key->keyval;
    event.m_rawFlags = key->hardware_keycode;
    event.SetControlDown(key->state & GDK_CONTROL_MASK);
    event.SetShiftDown(key->state & GDK_SHIFT_MASK);
    event.SetAltDown(key->state & GDK_MOD1_MASK);
    event.SetTimestamp(key->time);
    // Handled means the window used it (its hook skips the keys it leaves).
    return window->HandleWindowEvent(event);
}

// Tab, or Shift+Tab, typed into the page by the program rather than the user.
void SendTab(GtkWidget* page, bool backwards)
{
    GdkDisplay* display = gtk_widget_get_display(page);
    GdkWindow* window = gtk_widget_get_window(page);
    if (!window)
        return;
    const guint keyval = backwards ? GDK_KEY_ISO_Left_Tab : GDK_KEY_Tab;
    g_autofree GdkKeymapKey* keys = nullptr;
    gint count = 0;
    guint16 keycode = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), GDK_KEY_Tab, &keys,
                                          &count) &&
        count > 0)
        keycode = static_cast<guint16>(keys[0].keycode);
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(window));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = keyval;
        event->key.state = backwards ? GDK_SHIFT_MASK : 0;
        event->key.hardware_keycode = keycode;
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
        gtk_widget_event(page, event);
        gdk_event_free(event);
    }
}

// Tab and Shift+Tab move the focus into the page and out of it one step at a time.
gboolean OnPageFocus(GtkWidget* page, GtkDirectionType direction, gpointer)
{
    if (direction != GTK_DIR_TAB_FORWARD && direction != GTK_DIR_TAB_BACKWARD)
        return FALSE;
    GdkEvent* current = gtk_get_current_event();
    const bool byUsersKey = current && current->type == GDK_KEY_PRESS && !current->key.send_event;
    if (current)
        gdk_event_free(current);
    if (gtk_widget_has_focus(page)) {
        // At the page's last (or first) element the engine moves the focus
        // on by itself. Before 2.52 it then also hands back the key it did
        // not use, which moved the focus a second step: there only the key
        // moves it. From 2.52 on no key comes back, and the engine's own
        // move is the one step.
        static const bool keyComesBack =
            webkit_get_major_version() == 2 && webkit_get_minor_version() < 52;
        return keyComesBack && !byUsersKey;
    }
    // Taken by Tab, the page's first element (by Shift+Tab, its last) takes
    // the focus and shows it, as in a web browser.
    gtk_widget_grab_focus(page);
    SendTab(page, direction == GTK_DIR_TAB_BACKWARD);
    return TRUE;
}

} // namespace

void OfferProgramKeysFirst(GtkWidget* page, wxWindow* window)
{
    g_signal_connect(page, "key-press-event", G_CALLBACK(OnPageKeyPress), window);
    g_signal_connect(page, "focus", G_CALLBACK(OnPageFocus), nullptr);
}

} // namespace lumo
