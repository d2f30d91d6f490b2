#include "common/message_box.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

#include "common/resource_ids.h"
#include "common/url_opener.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace lumo {
namespace {

#ifdef __WXGTK__
// Room beside the caption in the title bar: its buttons and margins.
constexpr int kTitleBarButtonsWidth = 160;

// A message box about to show is made as wide as its caption needs, so that
// a short message does not cut the caption short.
gboolean WidenForCaption(GSignalInvocationHint*, guint, const GValue* values, gpointer)
{
    GObject* object = static_cast<GObject*>(g_value_get_object(&values[0]));
    if (!GTK_IS_MESSAGE_DIALOG(object))
        return TRUE;
    GtkWidget* box = GTK_WIDGET(object);
    const char* caption = gtk_window_get_title(GTK_WINDOW(box));
    PangoLayout* layout = gtk_widget_create_pango_layout(box, caption ? caption : "");
    // The title bar's font is often bold and larger than the box's own.
    PangoFontDescription* font = pango_font_description_copy(
        pango_context_get_font_description(pango_layout_get_context(layout)));
    pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
    pango_font_description_set_size(font, pango_font_description_get_size(font) * 5 / 4);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    int width = 0;
    pango_layout_get_pixel_size(layout, &width, nullptr);
    g_object_unref(layout);
    gint requested = -1;
    gtk_widget_get_size_request(box, &requested, nullptr);
    if (requested < width + kTitleBarButtonsWidth)
        gtk_widget_set_size_request(box, width + kTitleBarButtonsWidth, -1);
    return TRUE;
}
#endif

} // namespace

int AppMessageBox(const std::string& text, long style)
{
#ifdef __WXGTK__
    const guint shown = g_signal_lookup("show", GTK_TYPE_WIDGET);
    const gulong widen = g_signal_add_emission_hook(shown, 0, WidenForCaption, nullptr, nullptr);
#endif
    // No explicit parent: wx places the box over the window in use, the main
    // window or a dialog open on top of it.
    const int answer = wxMessageBox(wxString::FromUTF8(text), kAppTitle, style, nullptr);
#ifdef __WXGTK__
    g_signal_remove_emission_hook(shown, widen);
#endif
    return answer;
}

bool OpenOutsideOrSay(const std::string& url)
{
    if (OpenUrlOutside(url))
        return true;
    // An address that may not leave the program is refused as such; nothing
    // was tried, so "no program could be started" would be wrong.
    AppMessageBox(OutsideRouteOf(url) == OutsideRoute::Refused ? RefusedOutsideMessage(url)
                                                               : CannotOpenMessage(url));
    return false;
}

} // namespace lumo
