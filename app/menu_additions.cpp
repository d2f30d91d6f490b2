#include "app/menu_additions.h"

#include <wx/menu.h>

#include "app/view_commands.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace lumo {
namespace {

struct AddedItem
{
    int id;
    const char* label;
    const char* help;
    const char* key; // as GTK names it (gtk_accelerator_parse), or nullptr
};

struct AddedItems
{
    const char* menu;
    std::initializer_list<AddedItem> items;
};

const AddedItems kAdded[] = {
    {"&View",
     {{ID_ZOOM_IN, "Zoom In", "Make the page larger", "<Control>plus"},
      {ID_ZOOM_OUT, "Zoom Out", "Make the page smaller", "<Control>minus"},
      {ID_ZOOM_ACTUAL, "Actual Size", "Show the page at its own size", "<Control>0"},
      {ID_FIND_IN_PAGE, "Find in Page\u2026", "Find a text in the page", "<Control>f"},
      {ID_READER_VIEW, "Reader View", "Show the article alone, or the page again", "F9"},
      {ID_FIND_NEWSPAPER, "Find a Newspaper", "Find a newspaper in the tree by its name",
       "<Control>e"}}},
    {"&Browse",
     {{ID_PAGE_RELOAD, "Reload", "Load the page again", "F5"},
      {ID_PAGE_STOP, "Stop", "Stop loading the page", "Escape"},
      {ID_OPEN_IN_WEB_BROWSER, "Open in Web Browser", "Open the page in your web browser",
       nullptr}}},
    {"Favorites",
     {{ID_ADD_THIS_PAGE, "Add This Page\u2026", "Keep the page on screen among the favorites",
       "<Control>d"}}},
};

// Shows `key` beside the item, as a key hint only: GTK is given no
// accelerator, so the key goes where it always went.
void ShowKey(wxMenuItem* item, const char* key)
{
#ifdef __WXGTK__
    GtkWidget* widget = item->GetMenuItem();
    GtkWidget* label = widget ? gtk_bin_get_child(GTK_BIN(widget)) : nullptr;
    guint keyval = 0;
    GdkModifierType modifiers = GdkModifierType(0);
    gtk_accelerator_parse(key, &keyval, &modifiers);
    if (label && GTK_IS_ACCEL_LABEL(label) && keyval != 0)
        gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), keyval, modifiers);
#else
    wxUnusedVar(item);
    wxUnusedVar(key);
#endif
}

} // namespace

void AppendViewCommandsToMenus(wxMenuBar& bar)
{
    for (const AddedItems& added : kAdded) {
        const int index = bar.FindMenu(added.menu);
        if (index == wxNOT_FOUND)
            continue;
        wxMenu* menu = bar.GetMenu(index);
        menu->AppendSeparator();
        for (const AddedItem& item : added.items) {
            wxMenuItem* appended = menu->Append(item.id, wxString::FromUTF8(item.label), item.help);
            if (item.key)
                ShowKey(appended, item.key);
        }
    }
}

} // namespace lumo
