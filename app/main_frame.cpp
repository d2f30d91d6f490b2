#include "app/main_frame.h"

#include <optional>
#include <utility>
#include <vector>

#include <wx/accel.h>
#include <wx/app.h>
#include <wx/display.h>
#include <wx/ffile.h>
#include <wx/filedlg.h>
#include <wx/filehistory.h>
#include <wx/menu.h>
#include <wx/print.h>
#include <wx/splitter.h>
#include <wx/statusbr.h>
#include <wx/textentry.h>

#include "app/menu_additions.h"
#include "app/skin.h"
#include "app/tool_bar.h"
#include "app/view_commands.h"
#include "browser/pane/browser_view.h"
#include "common/globals.h"
#include "common/message_box.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "common/url_opener.h"
#include "directory/directory_pane.h"
#include "directory/left_view.h"
#include "favorites/dlg_cfg_fav.h"
#include "favorites/favorites_backup.h"
#include "ui/accessibility.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace lumo {
namespace {

constexpr int kTreePaneWidth = 250;

struct MenuItemSpec
{
    int id; // 0: a separator
    const char* label;
    const char* help;
    bool checkable;
};

struct MenuSpec
{
    const char* title;
    std::initializer_list<MenuItemSpec> items;
};

// The menu bar. No item shows a key hint: none of these commands has a key of
// its own (the keys of the accelerator table do other things).
const MenuSpec kMenus[] = {
    {"&File",
     {{ToWxId(ID_MINIMIZE), "&Minimize", "Minimize the window", false},
      {0, nullptr, nullptr, false},
      {wxID_EXIT, "E&xit", "Quit the application; prompts to save documents", false}}},
    {"&Browse",
     {{ToWxId(ID_BROWSE_HOME), "&Home", "Go to Homepage", false},
      {0, nullptr, nullptr, false},
      {ToWxId(ID_BROWSE_BACK), "&Back", "Browse back page", false},
      {ToWxId(ID_BROWSE_FORWARD), "&Forword", "Browse forword page", false}}},
    {"Favorites",
     {{ToWxId(ID_FAVORITES_MODIFY), "Modify", "Backup before modify it", false},
      {ToWxId(ID_FAVORITES_BACKUP), "Backup", "", false}}},
    {"HomePage",
     {{ToWxId(ID_HOMEPAGE_GOTO), "Go to", "", false},
      {0, nullptr, nullptr, false},
      {ToWxId(ID_HOMEPAGE_USE_BLANK), "Use Blank", "", true},
      {ToWxId(ID_HOMEPAGE_USE_DEFAULT), "Use Default", "", true},
      {ToWxId(ID_HOMEPAGE_USE_CURRENT), "Use Current", "", true}}},
    {"&Skin",
     {{ToWxId(ID_SKIN_XP), "&XP", "Set skin as XP style", true},
      {ToWxId(ID_SKIN_MINI), "&Mini", "Set skin as mini style", true},
      {ToWxId(ID_SKIN_SOFT), "&Soft", "Set skin as soft style", true}}},
    {"&View",
     {{ToWxId(ID_VIEW_STATUS_BAR), "Status", "Show or hide status bar", true},
      {ToWxId(ID_VIEW_TOOLBAR), "Toolbar", "Show or hide toolbar", true}}},
    {"&Help",
     {{ToWxId(ID_HELP_CONTENT), "Content and Index", "Show help content", false},
      {ToWxId(ID_HELP_PRODUCT), "Product Homepage", "Show help product", false},
      {wxID_ABOUT, "&About...", "Display program information, version number and copyright",
       false}}},
};

bool IsInside(const wxWindow* window, const wxWindow* ancestor)
{
    for (; window; window = window->GetParent())
        if (window == ancestor)
            return true;
    return false;
}

// What the tree pane prints: one page with nothing on it.
class EmptyPrintout : public wxPrintout
{
public:
    EmptyPrintout() : wxPrintout("LumoRadio") {}
    bool OnPrintPage(int) override { return true; }
    bool HasPage(int page) override { return page == 1; }
    void GetPageInfo(int* minPage, int* maxPage, int* from, int* to) override
    {
        *minPage = *maxPage = *from = *to = 1;
    }
};

// The window's normal place at start: the kept one on the screens there are
// now, or the default size in the middle of the main screen.
ScreenRect StartPlacement(const ProfileStore& profile)
{
    std::vector<ScreenRect> areas;
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i) {
        const wxRect area = wxDisplay(i).GetClientArea();
        const ScreenRect rect{area.x, area.y, area.width, area.height};
        if (wxDisplay(i).IsPrimary())
            areas.insert(areas.begin(), rect);
        else
            areas.push_back(rect);
    }
    return PlaceOnScreens(ReadNormalPlacement(profile), areas);
}

#ifdef __WXGTK__
// A window manager may place a new window by its own rules, whatever place
// the program asked for: the window goes to its place once it is on screen.
struct WantedPlace
{
    int x;
    int y;
};

gboolean PlaceOnceMapped(GtkWidget* window, GdkEvent*, WantedPlace* wanted)
{
    gtk_window_move(GTK_WINDOW(window), wanted->x, wanted->y);
    g_signal_handlers_disconnect_matched(window, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                         wanted);
    return FALSE;
}
#endif

} // namespace

CMainFrame::CMainFrame(ProfileStore& profile, FavoritesReporter& reporter)
    : m_profile(profile), m_reporter(reporter), m_commands(profile, *this)
{
    g_strCurrentURL = kProductStartPage;
}

CMainFrame::~CMainFrame()
{
    if (m_normalRectSeen)
        WriteNormalPlacement(m_profile, m_normalRect);
    // The panes refer to the document and the settings held here: let them go first.
    DestroyChildren();
}

bool CMainFrame::Create()
{
    const ScreenRect start = StartPlacement(m_profile);
    if (!wxFrame::Create(nullptr, wxID_ANY, "LumoRadio", wxPoint(start.x, start.y),
                         wxSize(start.width, start.height)))
        return false;
#ifdef __WXGTK__
    // The place is the user's (kept from the last run) or the middle of the
    // screen, not a wish: said so to the window manager, and taken again once
    // the window is on screen should the window manager place it elsewhere.
    GdkGeometry unused{};
    gtk_window_set_geometry_hints(GTK_WINDOW(m_widget), nullptr, &unused, GDK_HINT_USER_POS);
    g_signal_connect_data(
        m_widget, "map-event", G_CALLBACK(PlaceOnceMapped), new WantedPlace{start.x, start.y},
        [](gpointer data, GClosure*) { delete static_cast<WantedPlace*>(data); }, GConnectFlags(0));
#endif
    m_normalRect = start;
    SetName("Lumo News Reader");

    CreateMenuBar();
    CreateAccelerators();
    if (!OnCreateClient())
        return false;
    if (!CreateStatusPanes())
        return false;

    Bind(wxEVT_SIZE, &CMainFrame::OnSize, this);
    Bind(wxEVT_MOVE, &CMainFrame::OnMove, this);
    Bind(wxEVT_MAXIMIZE, &CMainFrame::OnWindowStateChanged, this);
    Bind(wxEVT_ICONIZE, &CMainFrame::OnWindowStateChanged, this);
    Bind(wxEVT_CHILD_FOCUS, &CMainFrame::OnChildFocus, this);
    Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
    Bind(wxEVT_CHAR_HOOK, &CMainFrame::OnCharHook, this);
    m_toolBar = std::make_unique<FrameToolBar>(*this, m_profile);
    BindCommands(*this);
    return true;
}

void CMainFrame::CreateMenuBar()
{
    auto* bar = new wxMenuBar;
    for (const MenuSpec& spec : kMenus) {
        auto* menu = new wxMenu;
        for (const MenuItemSpec& item : spec.items) {
            if (item.id == 0)
                menu->AppendSeparator();
            else
                menu->Append(item.id, item.label, item.help,
                             item.checkable ? wxITEM_CHECK : wxITEM_NORMAL);
        }
        bar->Append(menu, spec.title);
    }
    AppendViewCommandsToMenus(*bar);
    SetMenuBar(bar);
}

void CMainFrame::CreateAccelerators()
{
    // The key table's accelerators, each for its menu command.
    std::vector<wxAcceleratorEntry> entries;
    for (const KeyBinding& key : AcceleratorKeys()) {
        int flags = wxACCEL_NORMAL;
        if (key.modifiers & wxMOD_CONTROL)
            flags |= wxACCEL_CTRL;
        if (key.modifiers & wxMOD_ALT)
            flags |= wxACCEL_ALT;
        if (key.modifiers & wxMOD_SHIFT)
            flags |= wxACCEL_SHIFT;
        entries.emplace_back(flags, key.code, CommandIdOf(key.command));
    }
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(entries.size()), entries.data()));
}

bool CMainFrame::OnCreateClient()
{
    m_wndSplitter = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                         wxSP_LIVE_UPDATE | wxSP_3DSASH);
    m_wndSplitter->SetName("Panes");
    m_directoryPane = new CDirectoryPane(m_wndSplitter, m_doc, m_profile, m_reporter);
    m_leftView = m_directoryPane->Tree();
    m_htmlView = new CLumoNewsReaderView(m_wndSplitter, m_doc, m_profile);
    // The pane reads the headlines of the favorites the tree shows.
    m_htmlView->SetFavoritesSource([this] {
        std::vector<FavoritePaper> papers;
        for (const FavoriteEntry& entry : m_leftView->ShownFavorites())
            papers.push_back({entry.title, entry.url});
        return papers;
    });
    m_leftView->SetFavoritesBuilt([this] { m_htmlView->FavoritesChanged(); });
    if (!m_leftView || !m_htmlView) {
        m_wndSplitter->Destroy();
        m_wndSplitter = nullptr;
        return false;
    }
    // The splitter keeps the tree 250 pixels wide when the window grows.
    m_wndSplitter->SetSashGravity(0.0);
    m_wndSplitter->SetMinimumPaneSize(20);
    m_wndSplitter->SplitVertically(m_directoryPane, m_htmlView, kTreePaneWidth);
    m_activePane = m_leftView;
    return true;
}

wxStatusBar* CMainFrame::OnCreateStatusBar(int number, long style, wxWindowID id,
                                           const wxString& name)
{
    auto* bar = new ReadableStatusBar(this, id, style, name);
    bar->SetFieldsCount(number);
    return bar;
}

bool CMainFrame::CreateStatusPanes()
{
    m_wndStatusBar = CreateStatusBar(4, wxSTB_DEFAULT_STYLE);
    if (!m_wndStatusBar)
        return false;
    const int widths[] = {-1, 48, 48, 48};
    m_wndStatusBar->SetStatusWidths(4, widths);
    m_wndStatusBar->SetStatusText(kIdleMessage, 0);
    UpdateIndicators();
    // The status bar starts hidden; View > Status shows it.
    m_wndStatusBar->Hide();
    SendSizeEvent();
    return true;
}

void CMainFrame::InitialUpdate()
{
    m_leftView->OnInitialUpdate();
    m_htmlView->OnInitialUpdate();
}

wxWindow* CMainFrame::ActivePane() const
{
    return m_activePane;
}

void CMainFrame::BuildCatalogTree(CataView arrangement)
{
    if (m_doc.m_pLeftView)
        m_doc.m_pLeftView->BuildCatalogTree(arrangement);
}

void CMainFrame::LoadSkin(const std::string& path)
{
    lumo::LoadSkin(path.c_str()); // a missing skin changes nothing; the choice is kept
}

void CMainFrame::NavigateTo(const std::string& url)
{
    if (m_doc.m_pHtmlView)
        m_doc.m_pHtmlView->NavigateTo(url);
}

void CMainFrame::GoBack()
{
    if (m_doc.m_pHtmlView)
        m_doc.m_pHtmlView->GoBack();
}

void CMainFrame::GoForward()
{
    if (m_doc.m_pHtmlView)
        m_doc.m_pHtmlView->GoForward();
}

void CMainFrame::OpenExternal(const std::string& url)
{
    OpenOutsideOrSay(url);
}

bool CMainFrame::StatusBarShown() const
{
    return m_wndStatusBar && m_wndStatusBar->IsShown();
}

void CMainFrame::ShowStatusBar(bool show)
{
    m_wndStatusBar->Show(show);
    SendSizeEvent();
}

void CMainFrame::OpenFromDialog()
{
    // The framework's open dialog. It leaves the current directory alone, so
    // Backup and the skins keep working on the program directory. The
    // document reads no content, so opening a file re-initialises it.
    wxFileDialog dialog(this, "Open", wxString(), wxString(), "All Files (*.*)|*",
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() == wxID_OK)
        OpenDocumentFile(dialog.GetPath().utf8_string());
}

void CMainFrame::OpenDocumentFile(const std::string& path)
{
    wxString file = wxString::FromUTF8(path);
    if (m_fileHistory)
        m_fileHistory->AddFileToHistory(file);
    InitialUpdate();
}

void CMainFrame::SaveFromDialog()
{
    // The framework's save of an untitled document: ask for a name, then write
    // the document, which has no content.
    wxFileDialog dialog(this, "Save As", wxString(), "LumoNe", "All Files (*.*)|*",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() == wxID_OK)
        SaveDocumentAs(dialog.GetPath().utf8_string());
}

bool CMainFrame::SaveDocumentAs(const std::string& path)
{
    wxFFile file(wxString::FromUTF8(path), "wb");
    if (file.IsOpened() && file.Close())
        return true;
    AppMessageBox("Failed to save document.");
    return false;
}

void CMainFrame::PrintActivePane()
{
    if (m_activePane == m_htmlView) {
        m_htmlView->Print();
        return;
    }
    // The tree pane draws nothing on paper: its print job is empty pages.
    EmptyPrintout printout;
    wxPrinter printer;
    printer.Print(this, &printout, true);
}

void CMainFrame::EditInFocus(EditCommand command)
{
    // A text field with the focus takes its clipboard keys itself: "Find a
    // newspaper" and the page's find bar.
    if (auto* field = dynamic_cast<wxTextEntry*>(FindFocus())) {
        switch (command) {
        case EditCommand::Undo:
            field->Undo();
            break;
        case EditCommand::Cut:
            field->Cut();
            break;
        case EditCommand::Copy:
            field->Copy();
            break;
        case EditCommand::Paste:
            field->Paste();
            break;
        }
        return;
    }
    // Cut, copy, paste and undo belong to the page when it has the focus; the
    // tree has nothing to edit.
    if (m_htmlView && (m_htmlView->PageHasFocus() || IsInside(FindFocus(), m_htmlView)))
        m_htmlView->Edit(command);
}

void CMainFrame::SwitchPane()
{
    // Two panes: the next and the previous pane are the same one.
    wxWindow* target = m_activePane == m_leftView ? static_cast<wxWindow*>(m_htmlView)
                                                  : static_cast<wxWindow*>(m_leftView);
    if (target == m_htmlView)
        m_htmlView->FocusPage();
    else
        target->SetFocus();
    m_activePane = target;
}

void CMainFrame::ModifyFavorites()
{
    ShowEditFavoritesDialog(this);
    // "My Favorites" shows what the dialogs changed at once.
    m_leftView->RefreshFavorites();
}

void CMainFrame::KeepThisPage()
{
    if (ShowAddPageDialog(this, m_htmlView->PageTitle(), m_htmlView->PageAddress()) == wxID_OK)
        m_leftView->RefreshFavorites();
}

void CMainFrame::BackUpFavorites()
{
    lumo::BackupFavorites(ProgramDirectory(), m_reporter);
}

void CMainFrame::RecordWindowSize()
{
    m_profile.Write(kWindowSize,
                    IsMaximized() && !IsIconized() ? WindowShow::Maximized : WindowShow::Normal);
}

bool CMainFrame::InNormalState() const
{
    if (!IsShown() || IsIconized() || IsMaximized() || IsFullScreen())
        return false;
#ifdef __WXGTK__
    // The window manager's own word: wx may learn of a state a little later.
    GdkWindow* window = gtk_widget_get_window(m_widget);
    constexpr int kNotNormal = GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_MAXIMIZED |
                               GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_TILED;
    if (!window || (gdk_window_get_state(window) & kNotNormal))
        return false;
#endif
    return true;
}

void CMainFrame::TrackNormalPlacement()
{
    if (!InNormalState())
        return;
    const wxRect rect = GetRect();
    m_normalRect = {rect.x, rect.y, rect.width, rect.height};
    m_normalRectSeen = true;
}

void CMainFrame::OnSize(wxSizeEvent& event)
{
    RecordWindowSize();
    TrackNormalPlacement();
    event.Skip(); // the frame still lays out its bars and the splitter
}

void CMainFrame::OnMove(wxMoveEvent& event)
{
    TrackNormalPlacement();
    event.Skip();
}

void CMainFrame::OnWindowStateChanged(wxEvent& event)
{
    RecordWindowSize();
    event.Skip();
}

void CMainFrame::OnChildFocus(wxChildFocusEvent& event)
{
    wxWindow* focused = event.GetWindow();
    if (IsInside(focused, m_directoryPane))
        m_activePane = m_leftView;
    else if (IsInside(focused, m_htmlView))
        m_activePane = m_htmlView;
    event.Skip();
}

void CMainFrame::UpdateIndicators()
{
    if (!m_wndStatusBar)
        return;
    bool caps = false, num = false, scroll = false;
#ifdef __WXGTK__
    if (GdkDisplay* display = gdk_display_get_default()) {
        GdkKeymap* keymap = gdk_keymap_get_for_display(display);
        caps = gdk_keymap_get_caps_lock_state(keymap);
        num = gdk_keymap_get_num_lock_state(keymap);
        scroll = gdk_keymap_get_scroll_lock_state(keymap);
    }
#endif
    std::string state = {caps ? 'C' : '-', num ? 'N' : '-', scroll ? 'S' : '-'};
    if (state == m_indicatorState)
        return;
    m_indicatorState = state;
    m_wndStatusBar->SetStatusText(caps ? "CAP" : "", 1);
    m_wndStatusBar->SetStatusText(num ? "NUM" : "", 2);
    m_wndStatusBar->SetStatusText(scroll ? "SCRL" : "", 3);
}

KeyPlace CMainFrame::FocusPlace() const
{
    wxWindow* focus = FindFocus();
    if (m_directoryPane && focus && focus == m_directoryPane->SearchField())
        return KeyPlace::SearchField;
    if (m_leftView && focus && (focus == m_leftView || focus == m_leftView->GetMainWindow()))
        return KeyPlace::Tree;
    return m_htmlView ? m_htmlView->FocusPlace() : KeyPlace::Elsewhere;
}

void CMainFrame::OnCharHook(wxKeyEvent& event)
{
    // What the key means where the focus is, tried in the key table's order;
    // the browser pane's keys work wherever the focus is in the window.
    const KeyStroke press{event.GetKeyCode(), event.GetModifiers(),
                          static_cast<int>(event.GetUnicodeKey())};
    for (KeyCommand command : KeyMeanings(press, FocusPlace()))
        if (RunKeyCommand(*this, command, press.character))
            return;
    event.Skip();
}

void CMainFrame::OnIdle(wxIdleEvent& event)
{
    if (m_wndStatusBar && m_wndStatusBar->IsShown())
        UpdateIndicators();
    event.Skip();
}

} // namespace lumo
