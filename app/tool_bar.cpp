#include "app/tool_bar.h"

#include <string>

#include <wx/artprov.h>
#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/toolbar.h>

#include "app/main_frame.h"
#include "app/view_commands.h"
#include "browser/pane/browser_view.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace lumo {
namespace {

struct ToolSpec
{
    int id; // 0: a separator
    const char* name;
    const char* icon; // a name of the desktop's icon theme
    int keyOf = 0;    // the command whose key the tooltip names, when not the button's own
};

const ToolSpec kTools[] = {
    {ID_TOOL_BACK, "Back", "go-previous"},
    {ID_TOOL_FORWARD, "Forward", "go-next"},
    {ID_PAGE_RELOAD_OR_STOP, "Reload", "view-refresh", ID_PAGE_RELOAD},
    {ID_TOOL_HOME, "Home", "go-home"},
    {0, nullptr, nullptr},
    {ID_READER_VIEW, "Reader view", "accessories-dictionary"}, // a book: reading
    // A magnifier with a sign in its lens: the theme's own zoom icons may be
    // a plain plus and minus, which read as add and remove.
    {ID_ZOOM_OUT, "Zoom out", "zoom-out"},
    {ID_ZOOM_ACTUAL, "Actual size", "zoom-original"},
    {ID_ZOOM_IN, "Zoom in", "zoom-in"},
    {ID_FIND_IN_PAGE, "Find in page", "edit-find"},
    {ID_HEADLINES, "Headlines", "application-rss+xml"},
};
const ToolSpec kStopTool = {ID_PAGE_RELOAD_OR_STOP, "Stop", "process-stop", ID_PAGE_STOP};

// The name and the key that runs the same command.
wxString ToolTip(const ToolSpec& tool)
{
    const std::string key = KeyTextOf(tool.keyOf ? tool.keyOf : tool.id);
    return key.empty() ? wxString(tool.name)
                       : wxString::Format("%s (%s)", tool.name, wxString::FromUTF8(key));
}

// The icon of that name in the desktop's theme, in its symbolic form when
// the theme has one (so that all the buttons look alike), or an empty one.
wxBitmap ThemeIcon(const char* name)
{
    for (const std::string& id : {std::string(name) + "-symbolic", std::string(name)}) {
#ifdef __WXGTK__
        // From the theme itself: wx's own lookup takes some names for older
        // stock icons (a zoom for a plus sign).
        if (GdkPixbuf* icon = gtk_icon_theme_load_icon(gtk_icon_theme_get_default(), id.c_str(), 24,
                                                       GTK_ICON_LOOKUP_FORCE_SIZE, nullptr))
            return wxBitmap(icon);
#else
        wxBitmap icon = wxArtProvider::GetBitmap(id, wxART_TOOLBAR);
        if (icon.IsOk())
            return icon;
#endif
    }
    wxImage blank(24, 24);
    blank.InitAlpha();
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            blank.SetAlpha(x, y, 0);
    return wxBitmap(blank);
}

// The zoom icons: the theme's magnifier (its find icon) with the sign of
// the zoom in its lens, in the magnifier's own colour.
wxBitmap ZoomIcon(const std::string& name)
{
    wxImage icon = ThemeIcon("edit-find").ConvertToImage();
    if (!icon.HasAlpha())
        icon.InitAlpha();
    // The colour of the magnifier: its most opaque pixel.
    int colourAt = 0;
    const int pixels = icon.GetWidth() * icon.GetHeight();
    for (int i = 0; i < pixels; ++i)
        if (icon.GetAlpha()[i] > icon.GetAlpha()[colourAt])
            colourAt = i;
    const unsigned char* rgb = icon.GetData() + 3 * colourAt;
    const auto paint = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (x >= 0 && y >= 0 && x < icon.GetWidth() && y < icon.GetHeight()) {
                    icon.SetRGB(x, y, rgb[0], rgb[1], rgb[2]);
                    icon.SetAlpha(x, y, 255);
                }
    };
    // The lens sits in the upper left of the magnifier.
    const int centre = icon.GetWidth() * 10 / 24;
    const int arm = icon.GetWidth() * 3 / 24;
    if (name == "zoom-in" || name == "zoom-out")
        paint(centre - arm, centre - 1, centre + arm, centre); // the bar of - and +
    if (name == "zoom-in")
        paint(centre - 1, centre - arm, centre, centre + arm);
    if (name == "zoom-original") { // a 1
        paint(centre - 1, centre - arm, centre, centre + arm);
        paint(centre - 2, centre - arm, centre - 1, centre - arm + 1);
    }
    return wxBitmap(icon);
}

wxBitmap Icon(const char* name)
{
    const std::string id(name);
    if (id == "zoom-in" || id == "zoom-out" || id == "zoom-original")
        return ZoomIcon(id);
    return ThemeIcon(name);
}

// Gives the button at `position` the name a screen reader reads for it.
void NameTool(wxToolBar* bar, int position, const char* name)
{
#ifdef __WXGTK__
    // wx keeps the native toolbar in a box of its own.
    GtkWidget* native = bar->GetHandle();
    while (native && GTK_IS_BIN(native) && !GTK_IS_TOOLBAR(native))
        native = gtk_bin_get_child(GTK_BIN(native));
    if (!native || !GTK_IS_TOOLBAR(native))
        return;
    GtkToolItem* item = gtk_toolbar_get_nth_item(GTK_TOOLBAR(native), position);
    GtkWidget* button = item ? gtk_bin_get_child(GTK_BIN(item)) : nullptr;
    if (button)
        atk_object_set_name(gtk_widget_get_accessible(button), name);
#else
    wxUnusedVar(bar);
    wxUnusedVar(position);
    wxUnusedVar(name);
#endif
}

} // namespace

FrameToolBar::FrameToolBar(CMainFrame& frame, ProfileStore& profile)
    : m_frame(frame), m_profile(profile)
{
    // Shown as it was kept, without writing the choice again.
    if (m_profile.Get(kToolbarShown)) {
        Create();
        m_frame.SendSizeEvent();
    }
}

bool FrameToolBar::IsShown() const
{
    return m_bar && m_bar->IsShown();
}

void FrameToolBar::Show(bool show)
{
    if (show && !m_bar)
        Create();
    if (m_bar && m_bar->IsShown() != show) {
        m_bar->Show(show);
        m_frame.SendSizeEvent();
    }
    m_profile.Write(kToolbarShown, show);
}

void FrameToolBar::Create()
{
    m_bar = m_frame.CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT, wxID_ANY, "Toolbar");
    m_bar->SetToolBitmapSize(wxSize(24, 24));
    for (const ToolSpec& tool : kTools) {
        if (tool.id == 0)
            m_bar->AddSeparator();
        else
            m_bar->AddTool(tool.id, tool.name, Icon(tool.icon), ToolTip(tool));
    }
    m_bar->Realize();
    for (int position = 0; position < static_cast<int>(std::size(kTools)); ++position)
        if (kTools[position].id != 0)
            NameTool(m_bar, position, kTools[position].name);
    m_bar->Bind(wxEVT_UPDATE_UI, &FrameToolBar::UpdateReloadOrStop, this, ID_PAGE_RELOAD_OR_STOP);
}

void FrameToolBar::UpdateReloadOrStop(wxUpdateUIEvent& event)
{
    event.Skip(); // the frame enables it
    const bool loading = m_frame.HtmlView() && m_frame.HtmlView()->IsLoading();
    if (loading == m_showsStop)
        return;
    m_showsStop = loading;
    const ToolSpec& tool = loading ? kStopTool : kTools[2];
    m_bar->SetToolNormalBitmap(tool.id, Icon(tool.icon));
    m_bar->SetToolShortHelp(tool.id, ToolTip(tool));
    NameTool(m_bar, 2, tool.name);
}

} // namespace lumo
