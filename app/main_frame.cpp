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
#include "app/opml_commands.h"
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
#include "ui/about_dlg.h"
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

// The window's normal place at start: the kept one fitted to the screens, or
// the default size (x and y 0: the window manager places it).
ScreenRect StartPlacement(const ProfileStore& profile)
{
    if (std::optional<ScreenRect> kept = ReadNormalPlacement(profile)) {
        std::vector<ScreenRect> areas;
        for (unsigned i = 0; i < wxDisplay::GetCount(); ++i) {
            const wxRect area = wxDisplay(i).GetClientArea();
            areas.push_back({area.x, area.y, area.width, area.height});
        }
        if (std::optional<ScreenRect> fitted = FitToScreens(*kept, areas))
            return *fitted;
    }
    return kDefaultWindowRect;
}

// The menu command an accelerator of the key table gives.
int MenuIdOf(KeyCommand command)
{
    switch (command) {
    case KeyCommand::New:
        return wxID_NEW;
    case KeyCommand::Open:
        return wxID_OPEN;
    case KeyCommand::Save:
        return wxID_SAVE;
    case KeyCommand::Print:
        return wxID_PRINT;
    case KeyCommand::Undo:
        return wxID_UNDO;
    case KeyCommand::Cut:
        return wxID_CUT;
    case KeyCommand::Copy:
        return wxID_COPY;
    case KeyCommand::Paste:
        return wxID_PASTE;
    case KeyCommand::NextPane:
        return ToWxId(ID_NEXT_PANE);
    case KeyCommand::PreviousPane:
        return ToWxId(ID_PREV_PANE);
    default:
        return wxID_NONE;
    }
}

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
    if (!wxFrame::Create(nullptr, wxID_ANY, "LumoRadio", wxDefaultPosition,
                         wxSize(start.width, start.height)))
        return false;
    if (start.x || start.y)
        Move(start.x, start.y);
    m_normalRect = start;
    SetName("Lumo News Reader");

    CreateMenuBar();
    CreateAccelerators();
    if (!OnCreateClient())
        return false;
    if (!CreateStatusPanes())
        return false;

    Bind(wxEVT_MENU, &CMainFrame::OnProgramCommand, this, ToWxId(ID_BROWSE_HOME),
         ToWxId(ID_HOMEPAGE_USE_CURRENT));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateProgramCommand, this, ToWxId(ID_CATALOG_BY_CONTENT),
         ToWxId(ID_HOMEPAGE_USE_CURRENT));
    Bind(wxEVT_MENU, &CMainFrame::OnMinimize, this, ToWxId(ID_MINIMIZE));
    Bind(wxEVT_MENU, &CMainFrame::OnFavoritesModify, this, ToWxId(ID_FAVORITES_MODIFY));
    Bind(wxEVT_MENU, &CMainFrame::OnFavoritesBackup, this, ToWxId(ID_FAVORITES_BACKUP));
    Bind(wxEVT_MENU, &CMainFrame::OnViewStatusBar, this, ToWxId(ID_VIEW_STATUS_BAR));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateViewStatusBar, this, ToWxId(ID_VIEW_STATUS_BAR));
    Bind(wxEVT_MENU, &CMainFrame::OnFileNew, this, wxID_NEW);
    Bind(wxEVT_MENU, &CMainFrame::OnFileOpen, this, wxID_OPEN);
    Bind(wxEVT_MENU, &CMainFrame::OnFileSave, this, wxID_SAVE);
    Bind(wxEVT_MENU, &CMainFrame::OnFilePrint, this, wxID_PRINT);
    for (int id : {wxID_UNDO, wxID_CUT, wxID_COPY, wxID_PASTE})
        Bind(wxEVT_MENU, &CMainFrame::OnEditCommand, this, id);
    Bind(wxEVT_MENU, &CMainFrame::OnSwitchPane, this, ToWxId(ID_NEXT_PANE));
    Bind(wxEVT_MENU, &CMainFrame::OnSwitchPane, this, ToWxId(ID_PREV_PANE));
    Bind(wxEVT_MENU, &CMainFrame::OnAbout, this, wxID_ABOUT);
    Bind(wxEVT_MENU, &CMainFrame::OnExit, this, wxID_EXIT);
    Bind(wxEVT_SIZE, &CMainFrame::OnSize, this);
    Bind(wxEVT_MOVE, &CMainFrame::OnMove, this);
    Bind(wxEVT_MAXIMIZE, &CMainFrame::OnWindowStateChanged, this);
    Bind(wxEVT_ICONIZE, &CMainFrame::OnWindowStateChanged, this);
    Bind(wxEVT_CHILD_FOCUS, &CMainFrame::OnChildFocus, this);
    Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
    Bind(wxEVT_CHAR_HOOK, &CMainFrame::OnCharHook, this);
    BindViewCommands(*this);
    AddOpmlCommands(*this);
    m_toolBar = std::make_unique<FrameToolBar>(*this, m_profile);
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
        entries.emplace_back(flags, key.code, MenuIdOf(key.command));
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

void CMainFrame::OnProgramCommand(wxCommandEvent& event)
{
    if (!m_commands.Execute(FromWxId(event.GetId())))
        event.Skip();
}

void CMainFrame::OnUpdateProgramCommand(wxUpdateUIEvent& event)
{
    if (std::optional<bool> checked = m_commands.IsChecked(FromWxId(event.GetId())))
        event.Check(*checked);
}

void CMainFrame::OnMinimize(wxCommandEvent&)
{
    Iconize(true);
}

void CMainFrame::OnViewStatusBar(wxCommandEvent&)
{
    m_wndStatusBar->Show(!m_wndStatusBar->IsShown());
    SendSizeEvent();
}

void CMainFrame::OnUpdateViewStatusBar(wxUpdateUIEvent& event)
{
    event.Check(m_wndStatusBar && m_wndStatusBar->IsShown());
}

void CMainFrame::OnFileNew(wxCommandEvent&)
{
    InitialUpdate();
}

void CMainFrame::OnFileOpen(wxCommandEvent&)
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

void CMainFrame::OnFileSave(wxCommandEvent&)
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

void CMainFrame::OnFilePrint(wxCommandEvent&)
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

void CMainFrame::OnEditCommand(wxCommandEvent& event)
{
    // A text field with the focus takes its clipboard keys itself: "Find a
    // newspaper" and the page's find bar.
    if (auto* field = dynamic_cast<wxTextEntry*>(FindFocus())) {
        switch (event.GetId()) {
        case wxID_UNDO:
            field->Undo();
            break;
        case wxID_CUT:
            field->Cut();
            break;
        case wxID_COPY:
            field->Copy();
            break;
        case wxID_PASTE:
            field->Paste();
            break;
        default:
            break;
        }
        return;
    }
    // Cut, copy, paste and undo belong to the page when it has the focus; the
    // tree has nothing to edit.
    if (!m_htmlView || !(m_htmlView->PageHasFocus() || IsInside(FindFocus(), m_htmlView)))
        return;
    switch (event.GetId()) {
    case wxID_UNDO:
        m_htmlView->Edit(EditCommand::Undo);
        break;
    case wxID_CUT:
        m_htmlView->Edit(EditCommand::Cut);
        break;
    case wxID_COPY:
        m_htmlView->Edit(EditCommand::Copy);
        break;
    case wxID_PASTE:
        m_htmlView->Edit(EditCommand::Paste);
        break;
    default:
        break;
    }
}

void CMainFrame::OnSwitchPane(wxCommandEvent&)
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

void CMainFrame::OnFavoritesModify(wxCommandEvent&)
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

void CMainFrame::OnFavoritesBackup(wxCommandEvent&)
{
    BackupFavorites(ProgramDirectory(), m_reporter);
}

void CMainFrame::OnAbout(wxCommandEvent&)
{
    ShowAboutBox(this);
}

void CMainFrame::OnExit(wxCommandEvent&)
{
    Close();
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

bool CMainFrame::RunKeyCommand(KeyCommand command, const wxKeyEvent& event)
{
    if (!m_directoryPane)
        return m_htmlView && m_htmlView->RunKeyCommand(command);
    switch (command) {
    case KeyCommand::FindNewspaper:
        m_directoryPane->FocusSearch();
        return true;
    case KeyCommand::KeepPage:
        KeepThisPage();
        return true;
    case KeyCommand::PaperMenu:
        // Once the key is done with: a menu opened inside its handling closes at once.
        CallAfter([this] { m_leftView->ShowSelectedPaperMenu(); });
        return true;
    case KeyCommand::SearchWithLetter:
        m_directoryPane->StartSearch(event.GetUnicodeKey());
        return true;
    default:
        return m_directoryPane->RunKeyCommand(command) ||
               (m_htmlView && m_htmlView->RunKeyCommand(command));
    }
}

void CMainFrame::OnCharHook(wxKeyEvent& event)
{
    // What the key means where the focus is, tried in the key table's order;
    // the browser pane's keys work wherever the focus is in the window.
    const KeyStroke press{event.GetKeyCode(), event.GetModifiers(),
                          static_cast<int>(event.GetUnicodeKey())};
    for (KeyCommand command : KeyMeanings(press, FocusPlace()))
        if (RunKeyCommand(command, event))
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
