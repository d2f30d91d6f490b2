#include "app/menu_additions.h"

#include <string>
#include <utility>

#include <wx/menu.h>

#include "app/view_commands.h"
#include "content_filter/blocking_settings.h"

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
    bool check = false; // an item that is on or off
};

struct AddedItems
{
    const char* menu;
    std::initializer_list<AddedItem> items;
};

const AddedItems kAdded[] = {
    {"&File",
     {{ID_IMPORT_FAVORITES_OPML, "Import Favorites (OPML)\u2026",
       "Add the papers of a list from another feed reader to your favorites"},
      {ID_EXPORT_FAVORITES_OPML, "Export Favorites (OPML)\u2026",
       "Save your favorites and their feeds as a list other feed readers can read"}}},
    {"&View",
     {{ID_ZOOM_IN, "Zoom In", "Make the page larger"},
      {ID_ZOOM_OUT, "Zoom Out", "Make the page smaller"},
      {ID_ZOOM_ACTUAL, "Actual Size", "Show the page at its own size"},
      {ID_FIND_IN_PAGE, "Find in Page\u2026", "Find a text in the page"},
      {ID_READER_VIEW, "Reader View", "Show the article alone, or the page again"},
      {ID_FIND_NEWSPAPER, "Find a Newspaper", "Find a newspaper in the tree by its name"},
      {ID_BLOCK_ADS, content_filter::kBlockAdsAndTrackersLabel,
       "Block ads and trackers in the pages shown", true},
      {ID_BUILT_IN_FILTER_LISTS, content_filter::kBuiltInListsLabel,
       "Drop the ad and tracker lists fetched from the web and use those the program came with"},
      {ID_HEADLINES, "Headlines", "Show what is new in your favorite papers"}}},
    {"&Browse",
     {{ID_PAGE_RELOAD, "Reload", "Load the page again"},
      {ID_PAGE_STOP, "Stop", "Stop loading the page"},
      {ID_OPEN_IN_WEB_BROWSER, "Open in Web Browser", "Open the page in your web browser"}}},
    {"Favorites",
     {{ID_ADD_THIS_PAGE, "Add This Page\u2026", "Keep the page on screen among the favorites"}}},
};

// Shows the key (as the key table writes it: "Ctrl+F", "Ctrl++", "Esc")
// beside the item, as a hint only: GTK is given no accelerator, so the key
// goes where it always went.
void ShowKey(wxMenuItem* item, std::string key)
{
#ifdef __WXGTK__
    std::string accelerator;
    for (const auto& [prefix, modifier] :
         {std::pair<std::string, const char*>{"Ctrl+", "<Control>"},
          {"Alt+", "<Alt>"},
          {"Shift+", "<Shift>"}})
        if (key.size() > prefix.size() && key.starts_with(prefix)) {
            accelerator += modifier;
            key.erase(0, prefix.size());
        }
    accelerator += key == "+" ? "plus" : key == "-" ? "minus" : key == "Esc" ? "Escape" : key;
    GtkWidget* widget = item->GetMenuItem();
    GtkWidget* label = widget ? gtk_bin_get_child(GTK_BIN(widget)) : nullptr;
    guint keyval = 0;
    GdkModifierType modifiers = GdkModifierType(0);
    gtk_accelerator_parse(accelerator.c_str(), &keyval, &modifiers);
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
            wxMenuItem* appended = menu->Append(item.id, wxString::FromUTF8(item.label), item.help,
                                                item.check ? wxITEM_CHECK : wxITEM_NORMAL);
            if (const std::string key = KeyTextOf(item.id); !key.empty())
                ShowKey(appended, key);
        }
    }
}

} // namespace lumo
