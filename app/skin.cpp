#include "app/skin.h"

#include <string>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace lumo {

namespace {

#ifdef __WXGTK__
GtkCssProvider* g_provider = nullptr;
#endif
std::string g_skinPath;

#ifdef __WXGTK__
void ForgetSizes(GtkWidget* widget, gpointer = nullptr)
{
    gtk_widget_queue_resize(widget);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), ForgetSizes, nullptr);
}

// A hidden menu keeps the sizes its items had when it was last shown, even
// when the new style makes them larger: it would open clipped, with scroll
// arrows. Letting every item measure itself afresh shows them all again.
void ForgetMenuSizes()
{
    g_autoptr(GList) windows = gtk_window_list_toplevels();
    for (GList* node = windows; node; node = node->next) {
        GtkWindow* window = GTK_WINDOW(node->data);
        if (gtk_window_get_window_type(window) == GTK_WINDOW_POPUP &&
            GTK_IS_MENU(gtk_bin_get_child(GTK_BIN(window))))
            ForgetSizes(GTK_WIDGET(window));
    }
}
#endif

int ApplySkin(const char* path)
{
#ifdef __WXGTK__
    GdkScreen* screen = gdk_screen_get_default();
    if (!path || !screen)
        return 0;
    g_autoptr(GtkCssProvider) provider = gtk_css_provider_new();
    g_autoptr(GError) error = nullptr;
    // Any parse error counts as a broken skin: the old look stays.
    bool parseFailed = false;
    g_signal_connect(provider, "parsing-error",
                     G_CALLBACK(+[](GtkCssProvider*, GtkCssSection*, GError*, gpointer failed) {
                         *static_cast<bool*>(failed) = true;
                     }),
                     &parseFailed);
    if (!gtk_css_provider_load_from_path(provider, path, &error) || parseFailed)
        return 0;
    if (g_provider) {
        gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(g_provider));
        g_object_unref(g_provider);
    }
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_provider = g_steal_pointer(&provider);
    g_skinPath = path;
    ForgetMenuSizes();
    return 1;
#else
    (void)path;
    return 0;
#endif
}

} // namespace

int InitializeSkin(const char* path)
{
    return ApplySkin(path);
}

int LoadSkin(const char* path)
{
    return ApplySkin(path);
}

int ExitSkin()
{
#ifdef __WXGTK__
    if (g_provider) {
        if (GdkScreen* screen = gdk_screen_get_default())
            gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(g_provider));
        g_object_unref(g_provider);
        g_provider = nullptr;
    }
#endif
    g_skinPath.clear();
    return 1;
}

const char* CurrentSkinPath()
{
    return g_skinPath.c_str();
}

} // namespace lumo
