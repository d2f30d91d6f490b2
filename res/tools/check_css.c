/* Checks the program's skins (GTK CSS style sheets) the way the program uses
 * them: each file must load into a GtkCssProvider without a single parsing
 * error or deprecation warning, must restyle every kind of widget the main
 * window and the dialogs are built from, must keep text readable (WCAG
 * contrast of at least 4.5:1 between text and the background it is drawn
 * on), and no two skins may give the same look.
 *
 * Usage: check_css SKIN.ssk...   (needs a display; the tests run it under Xvfb)
 * Exit status: 0 when every file passes, 1 when one fails, 2 on bad usage or
 * when no display can be opened. */
#include <gtk/gtk.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#define MIN_TEXT_CONTRAST 4.5

/* The widgets a skin is expected to restyle, built once in a window that is
 * never shown: computed styles need only the widget hierarchy. */
typedef struct
{
    GtkWidget* window;
    GtkWidget* windowLabel;
    GtkWidget* menubar;
    GtkWidget* menubarItem;
    GtkWidget* menubarItemLabel;
    GtkWidget* menu;
    GtkWidget* menuItem;
    GtkWidget* menuItemLabel;
    GtkWidget* paned;
    GtkWidget* treeview;
    GtkWidget* scrollbar;
    GtkWidget* button;
    GtkWidget* buttonLabel;
    GtkWidget* entry;
    GtkWidget* statusbar;
    GtkWidget* statusbarLabel;
    GtkWidget* dialog;
    GtkWidget* dialogLabel;
    GtkWidget* messageDialog;
    GtkWidget* messageLabel;
} Widgets;

typedef struct
{
    const char* name;
    GtkWidget** widget;
    GtkStateFlags state;
    const char* child; /* CSS sub-node name to look at, or NULL for the widget's own node */
} Probe;

static GtkWidget* LabelOf(GtkWidget* widget)
{
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
    return GTK_IS_LABEL(child) ? child : NULL;
}

static void BuildWidgets(Widgets* w)
{
    w->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(w->window), box);

    w->menubar = gtk_menu_bar_new();
    w->menubarItem = gtk_menu_item_new_with_mnemonic("_File");
    w->menu = gtk_menu_new();
    w->menuItem = gtk_menu_item_new_with_label("Minimize");
    gtk_menu_shell_append(GTK_MENU_SHELL(w->menu), w->menuItem);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(w->menubarItem), w->menu);
    gtk_menu_shell_append(GTK_MENU_SHELL(w->menubar), w->menubarItem);
    gtk_box_pack_start(GTK_BOX(box), w->menubar, FALSE, FALSE, 0);
    w->menubarItemLabel = LabelOf(w->menubarItem);
    w->menuItemLabel = LabelOf(w->menuItem);

    w->paned = gtk_paned_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_box_pack_start(GTK_BOX(box), w->paned, TRUE, TRUE, 0);
    GtkTreeStore* store = gtk_tree_store_new(1, G_TYPE_STRING);
    w->treeview = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(w->treeview), -1, "Name",
                                                gtk_cell_renderer_text_new(), "text", 0, NULL);
    GtkWidget* scrolled = gtk_scrolled_window_new(NULL, NULL);
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scrolled), FALSE);
    gtk_container_add(GTK_CONTAINER(scrolled), w->treeview);
    gtk_paned_pack1(GTK_PANED(w->paned), scrolled, FALSE, FALSE);
    w->scrollbar = gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(scrolled));

    GtkWidget* right = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_paned_pack2(GTK_PANED(w->paned), right, TRUE, FALSE);
    w->windowLabel = gtk_label_new("Newspapers, magazines Name");
    w->entry = gtk_entry_new();
    w->button = gtk_button_new_with_label("Save");
    w->buttonLabel = LabelOf(w->button);
    gtk_box_pack_start(GTK_BOX(right), w->windowLabel, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(right), w->entry, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(right), w->button, FALSE, FALSE, 0);

    w->statusbar = gtk_statusbar_new();
    gtk_statusbar_push(GTK_STATUSBAR(w->statusbar), 0, "Ready");
    gtk_box_pack_end(GTK_BOX(box), w->statusbar, FALSE, FALSE, 0);
    GtkWidget* statusArea = gtk_statusbar_get_message_area(GTK_STATUSBAR(w->statusbar));
    GList* children = gtk_container_get_children(GTK_CONTAINER(statusArea));
    w->statusbarLabel = children ? GTK_WIDGET(children->data) : NULL;
    g_list_free(children);

    w->dialog = gtk_dialog_new();
    w->dialogLabel = gtk_label_new("Double-click to edit or delete the record");
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(w->dialog))),
                      w->dialogLabel);
    gtk_dialog_add_button(GTK_DIALOG(w->dialog), "Close", GTK_RESPONSE_CANCEL);

    /* The program's message boxes are GTK message dialogs, styled apart from
     * other dialogs. */
    w->messageDialog = gtk_message_dialog_new(NULL, 0, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO,
                                              "Determined to delete?");
    GtkWidget* messageArea =
        gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(w->messageDialog));
    children = gtk_container_get_children(GTK_CONTAINER(messageArea));
    w->messageLabel = children ? GTK_WIDGET(children->data) : NULL;
    g_list_free(children);

    gtk_widget_show_all(box);
    gtk_widget_show_all(gtk_dialog_get_content_area(GTK_DIALOG(w->dialog)));
}

/* A textual summary of the properties a skin is expected to set on one node,
 * so that two states of the screen's styles can be compared. */
static char* Snapshot(GtkStyleContext* context, GtkStateFlags state)
{
    GdkRGBA* background = NULL;
    GdkRGBA* color = NULL;
    GdkRGBA* borderColor = NULL;
    PangoFontDescription* font = NULL;
    int radius = 0;
    gtk_style_context_get(context, state, "background-color", &background, "color", &color,
                          "border-top-color", &borderColor, "font", &font, "border-radius", &radius,
                          NULL);
    GtkBorder padding, border, margin;
    gtk_style_context_get_padding(context, state, &padding);
    gtk_style_context_get_border(context, state, &border);
    gtk_style_context_get_margin(context, state, &margin);
    char* backgroundText = gdk_rgba_to_string(background);
    char* colorText = gdk_rgba_to_string(color);
    char* borderText = gdk_rgba_to_string(borderColor);
    char* fontText = pango_font_description_to_string(font);
    /* gtk_style_context_get() gives no public access to background-image, so
     * the rendered CSS of the node is part of the summary as well. */
    char* node = gtk_style_context_to_string(context, GTK_STYLE_CONTEXT_PRINT_SHOW_STYLE);
    char* text = g_strdup_printf("bg=%s fg=%s border=%s/%d,%d,%d,%d radius=%d pad=%d,%d,%d,%d "
                                 "margin=%d,%d,%d,%d font=%s\n%s",
                                 backgroundText, colorText, borderText, border.top, border.right,
                                 border.bottom, border.left, radius, padding.top, padding.right,
                                 padding.bottom, padding.left, margin.top, margin.right,
                                 margin.bottom, margin.left, fontText, node);
    g_free(node);
    g_free(fontText);
    g_free(borderText);
    g_free(colorText);
    g_free(backgroundText);
    pango_font_description_free(font);
    gdk_rgba_free(borderColor);
    gdk_rgba_free(color);
    gdk_rgba_free(background);
    return text;
}

static GtkStyleContext* ContextFor(const Probe* probe)
{
    GtkStyleContext* context = gtk_widget_get_style_context(*probe->widget);
    if (probe->child == NULL)
        return g_object_ref(context);
    /* Sub-nodes such as a paned's separator or a scrollbar's slider have no
     * widget of their own: build a context for them on the widget's path. */
    GtkWidgetPath* path = gtk_widget_path_copy(gtk_style_context_get_path(context));
    gchar** names = g_strsplit(probe->child, " ", -1);
    for (gchar** name = names; *name != NULL; ++name) {
        gtk_widget_path_append_type(path, G_TYPE_NONE);
        gtk_widget_path_iter_set_object_name(path, -1, *name);
    }
    g_strfreev(names);
    GtkStyleContext* child = gtk_style_context_new();
    gtk_style_context_set_path(child, path);
    gtk_style_context_set_parent(child, context);
    gtk_style_context_set_screen(child, gdk_screen_get_default());
    gtk_widget_path_unref(path);
    return child;
}

static void SetState(const Probe* probe, gboolean on)
{
    if (probe->state == GTK_STATE_FLAG_NORMAL)
        return;
    if (on)
        gtk_widget_set_state_flags(*probe->widget, probe->state, FALSE);
    else
        gtk_widget_unset_state_flags(*probe->widget, probe->state);
}

static char* ProbeSnapshot(const Probe* probe)
{
    SetState(probe, TRUE);
    GtkStyleContext* context = ContextFor(probe);
    char* text = Snapshot(context, gtk_style_context_get_state(context));
    g_object_unref(context);
    SetState(probe, FALSE);
    return text;
}

static double Channel(double value)
{
    return value <= 0.03928 ? value / 12.92 : pow((value + 0.055) / 1.055, 2.4);
}

static double Luminance(const GdkRGBA* c)
{
    return 0.2126 * Channel(c->red) + 0.7152 * Channel(c->green) + 0.0722 * Channel(c->blue);
}

/* The colour under a node: its own background colour, else the nearest
 * ancestor's that is opaque enough to count, else white. */
static GdkRGBA BackgroundUnder(GtkStyleContext* context)
{
    GdkRGBA result = {1, 1, 1, 1};
    for (GtkStyleContext* c = context; c != NULL; c = gtk_style_context_get_parent(c)) {
        GdkRGBA* background = NULL;
        gtk_style_context_get(c, gtk_style_context_get_state(c), "background-color", &background,
                              NULL);
        gboolean found = background->alpha >= 0.5;
        if (found)
            result = *background;
        gdk_rgba_free(background);
        if (found)
            break;
    }
    return result;
}

typedef struct
{
    const char* name;
    GtkWidget** text;      /* widget whose colour is the text colour */
    GtkWidget** stateRoot; /* widget that carries the state (its children inherit it) */
    GtkStateFlags state;
    GtkWidget** background; /* widget whose background the text is drawn on */
} ContrastProbe;

static double Contrast(const ContrastProbe* probe, GdkRGBA* fgOut, GdkRGBA* bgOut)
{
    if (probe->state != GTK_STATE_FLAG_NORMAL)
        gtk_widget_set_state_flags(*probe->stateRoot, probe->state, FALSE);
    GtkStyleContext* textContext = gtk_widget_get_style_context(*probe->text);
    GtkStyleContext* backgroundContext = gtk_widget_get_style_context(*probe->background);
    GdkRGBA fg;
    gtk_style_context_get_color(textContext, gtk_style_context_get_state(textContext), &fg);
    GdkRGBA bg = BackgroundUnder(backgroundContext);
    if (probe->state != GTK_STATE_FLAG_NORMAL)
        gtk_widget_unset_state_flags(*probe->stateRoot, probe->state);
    /* Blend a translucent text colour over its background, as it is drawn. */
    GdkRGBA drawn = {fg.red * fg.alpha + bg.red * (1 - fg.alpha),
                     fg.green * fg.alpha + bg.green * (1 - fg.alpha),
                     fg.blue * fg.alpha + bg.blue * (1 - fg.alpha), 1};
    *fgOut = drawn;
    *bgOut = bg;
    double a = Luminance(&drawn) + 0.05;
    double b = Luminance(&bg) + 0.05;
    return a > b ? a / b : b / a;
}

typedef struct
{
    const char* path;
    int errors;
} LoadState;

static void OnParsingError(GtkCssProvider* provider, GtkCssSection* section, GError* error,
                           gpointer data)
{
    (void)provider;
    LoadState* state = data;
    ++state->errors;
    fprintf(stderr, "%s:%u:%u: %s\n", state->path, gtk_css_section_get_start_line(section) + 1,
            gtk_css_section_get_start_position(section) + 1, error->message);
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: check_css SKIN.ssk...\n");
        return 2;
    }
    if (!gtk_init_check(&argc, &argv)) {
        fprintf(stderr, "check_css: cannot open a display\n");
        return 2;
    }

    Widgets w;
    BuildWidgets(&w);
    const Probe probes[] = {
        {"window", &w.window, GTK_STATE_FLAG_NORMAL, NULL},
        {"label", &w.windowLabel, GTK_STATE_FLAG_NORMAL, NULL},
        {"menubar", &w.menubar, GTK_STATE_FLAG_NORMAL, NULL},
        {"menubar item", &w.menubarItem, GTK_STATE_FLAG_NORMAL, NULL},
        {"menu", &w.menu, GTK_STATE_FLAG_NORMAL, NULL},
        {"menuitem", &w.menuItem, GTK_STATE_FLAG_NORMAL, NULL},
        {"menuitem:hover", &w.menuItem, GTK_STATE_FLAG_PRELIGHT, NULL},
        {"treeview", &w.treeview, GTK_STATE_FLAG_NORMAL, NULL},
        {"treeview:selected", &w.treeview, GTK_STATE_FLAG_SELECTED, NULL},
        {"paned separator", &w.paned, GTK_STATE_FLAG_NORMAL, "separator"},
        {"scrollbar", &w.scrollbar, GTK_STATE_FLAG_NORMAL, NULL},
        {"scrollbar slider", &w.scrollbar, GTK_STATE_FLAG_NORMAL, "contents trough slider"},
        {"button", &w.button, GTK_STATE_FLAG_NORMAL, NULL},
        {"button:hover", &w.button, GTK_STATE_FLAG_PRELIGHT, NULL},
        {"entry", &w.entry, GTK_STATE_FLAG_NORMAL, NULL},
        {"statusbar", &w.statusbar, GTK_STATE_FLAG_NORMAL, NULL},
        {"dialog", &w.dialog, GTK_STATE_FLAG_NORMAL, NULL},
        {"message dialog", &w.messageDialog, GTK_STATE_FLAG_NORMAL, NULL},
    };
    const size_t probeCount = G_N_ELEMENTS(probes);
    const ContrastProbe contrasts[] = {
        {"label on window", &w.windowLabel, &w.windowLabel, GTK_STATE_FLAG_NORMAL, &w.window},
        {"menu bar title", &w.menubarItemLabel, &w.menubarItem, GTK_STATE_FLAG_NORMAL,
         &w.menubarItem},
        {"open menu bar title", &w.menubarItemLabel, &w.menubarItem, GTK_STATE_FLAG_PRELIGHT,
         &w.menubarItem},
        {"menu item", &w.menuItemLabel, &w.menuItem, GTK_STATE_FLAG_NORMAL, &w.menuItem},
        {"hovered menu item", &w.menuItemLabel, &w.menuItem, GTK_STATE_FLAG_PRELIGHT, &w.menuItem},
        {"tree row", &w.treeview, &w.treeview, GTK_STATE_FLAG_NORMAL, &w.treeview},
        {"selected tree row", &w.treeview, &w.treeview, GTK_STATE_FLAG_SELECTED, &w.treeview},
        {"button", &w.buttonLabel, &w.button, GTK_STATE_FLAG_NORMAL, &w.button},
        {"hovered button", &w.buttonLabel, &w.button, GTK_STATE_FLAG_PRELIGHT, &w.button},
        {"entry text", &w.entry, &w.entry, GTK_STATE_FLAG_NORMAL, &w.entry},
        {"status bar", &w.statusbarLabel, &w.statusbarLabel, GTK_STATE_FLAG_NORMAL, &w.statusbar},
        {"dialog text", &w.dialogLabel, &w.dialogLabel, GTK_STATE_FLAG_NORMAL, &w.dialog},
        {"message box text", &w.messageLabel, &w.messageLabel, GTK_STATE_FLAG_NORMAL,
         &w.messageDialog},
    };

    char* before[G_N_ELEMENTS(probes)];
    for (size_t i = 0; i < probeCount; ++i)
        before[i] = ProbeSnapshot(&probes[i]);

    const int fileCount = argc - 1;
    char*** looks = g_new0(char**, fileCount);
    int failed = 0;
    GdkScreen* screen = gdk_screen_get_default();
    for (int f = 0; f < fileCount; ++f) {
        const char* path = argv[f + 1];
        int problems = 0;
        GtkCssProvider* provider = gtk_css_provider_new();
        LoadState state = {path, 0};
        g_signal_connect(provider, "parsing-error", G_CALLBACK(OnParsingError), &state);
        GError* error = NULL;
        if (!gtk_css_provider_load_from_path(provider, path, &error) && state.errors == 0) {
            fprintf(stderr, "%s: %s\n", path, error ? error->message : "cannot be loaded");
            ++problems;
        }
        g_clear_error(&error);
        problems += state.errors;

        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        looks[f] = g_new0(char*, probeCount);
        for (size_t i = 0; i < probeCount; ++i) {
            looks[f][i] = ProbeSnapshot(&probes[i]);
            if (strcmp(looks[f][i], before[i]) == 0) {
                fprintf(stderr, "%s: leaves the %s as the theme draws it\n", path, probes[i].name);
                ++problems;
            }
        }
        for (size_t i = 0; i < G_N_ELEMENTS(contrasts); ++i) {
            GdkRGBA fg, bg;
            double ratio = Contrast(&contrasts[i], &fg, &bg);
            char* fgText = gdk_rgba_to_string(&fg);
            char* bgText = gdk_rgba_to_string(&bg);
            gboolean ok = ratio >= MIN_TEXT_CONTRAST;
            printf("%s: %-20s contrast %5.2f:1 (%s on %s)%s\n", path, contrasts[i].name, ratio,
                   fgText, bgText, ok ? "" : "  TOO LOW");
            g_free(bgText);
            g_free(fgText);
            if (!ok)
                ++problems;
        }
        gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider));
        g_object_unref(provider);

        for (int other = 0; other < f; ++other) {
            size_t same = 0;
            for (size_t i = 0; i < probeCount; ++i)
                same += strcmp(looks[f][i], looks[other][i]) == 0;
            if (same > probeCount / 2) {
                fprintf(stderr, "%s: looks like %s on %zu of %zu widgets\n", path, argv[other + 1],
                        same, probeCount);
                ++problems;
            }
        }
        printf("%s: %s\n", path, problems == 0 ? "ok" : "FAILED");
        failed |= problems != 0;
    }

    for (int f = 0; f < fileCount; ++f) {
        for (size_t i = 0; i < probeCount; ++i)
            g_free(looks[f][i]);
        g_free(looks[f]);
    }
    g_free(looks);
    for (size_t i = 0; i < probeCount; ++i)
        g_free(before[i]);
    gtk_widget_destroy(w.messageDialog);
    gtk_widget_destroy(w.dialog);
    gtk_widget_destroy(w.window);
    return failed ? 1 : 0;
}
