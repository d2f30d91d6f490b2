#pragma once
// The main window: menu bar, a status bar that starts hidden, and a splitter
// with the directory tree on the left and the browser pane on the right. It
// carries the user's commands and remembers whether it was maximised.
#include <memory>
#include <string>

#include <wx/frame.h>

#include "app/frame_commands.h"
#include "browser/web_engine.h"
#include "common/document.h"
#include "common/window_placement.h"
#include "ui/key_map.h"

class wxSplitterWindow;
class wxFileHistory;
class wxStatusBar;

namespace lumo {

class CDirectoryPane;
class CLeftView;
class CLumoNewsReaderView;
class FavoritesReporter;
class FrameToolBar;
class ProfileStore;

class CMainFrame : public wxFrame, public CommandSink
{
public:
    // Reads CataView, SkinStyle and IndexPage and sets g_strCurrentURL to the
    // product's start page. The window itself is made by Create.
    CMainFrame(ProfileStore& profile, FavoritesReporter& reporter);
    ~CMainFrame() override;

    // Makes the window: menu, accelerators, client area (splitter and both
    // panes) and the hidden status bar. False when any part cannot be made.
    bool Create();

    // The panes' first update (also run again for New and Open).
    void InitialUpdate();

    CLumoNewsReaderDoc& GetActiveDocument() { return m_doc; }
    FrameCommands& Commands() { return m_commands; }
    wxSplitterWindow* Splitter() const { return m_wndSplitter; }
    CLeftView* LeftView() const { return m_leftView; }
    CDirectoryPane* DirectoryPane() const { return m_directoryPane; }
    CLumoNewsReaderView* HtmlView() const { return m_htmlView; }
    FrameToolBar& ToolBar() const { return *m_toolBar; }
    ProfileStore& Profile() const { return m_profile; }
    // The pane that has (or last had) the keyboard focus; the tree at start.
    wxWindow* ActivePane() const;

    // CommandSink: what the commands do to the panes.
    void BuildCatalogTree(CataView arrangement) override;
    void LoadSkin(const std::string& path) override;
    void NavigateTo(const std::string& url) override;
    void OpenExternal(const std::string& url) override;
    // Back and Forward in the browser pane.
    void GoBack();
    void GoForward();

    // Opening a document file: it joins the recent files and, as the
    // document reads no content, the document is re-initialised. The current
    // directory stays the program directory.
    void OpenDocumentFile(const std::string& path);
    // Saving the document, which has no content, as an empty file.
    bool SaveDocumentAs(const std::string& path);

    // The framework's recent-file list, which files opened with Ctrl+O join.
    void SetFileHistory(wxFileHistory* history) { m_fileHistory = history; }

    // The text of the status bar's indicator panes for the current key locks.
    void UpdateIndicators();

    // What the window's commands do beyond the panes' own (view_commands.cpp
    // says which command runs which).
    // Ctrl+D: the add dialog with the page on screen filled in.
    void KeepThisPage();
    // Favorites > Modify: the favorites dialog, and "My Favorites" shows
    // what it changed at once.
    void ModifyFavorites();
    // Favorites > Backup: the favorites file copied beside itself.
    void BackUpFavorites();
    // View > Status.
    bool StatusBarShown() const;
    void ShowStatusBar(bool show);
    // The framework's open and save dialogs (Ctrl+O, Ctrl+S).
    void OpenFromDialog();
    void SaveFromDialog();
    // Ctrl+P: the page, or the tree pane's empty print job.
    void PrintActivePane();
    // Undo, cut, copy and paste in the text field that has the focus, else
    // in the page when it has the focus; the tree has nothing to edit.
    void EditInFocus(EditCommand command);
    // F6 and Shift+F6: the keyboard focus to the other pane.
    void SwitchPane();

private:
    bool OnCreateClient();
    void CreateMenuBar();
    void CreateAccelerators();
    bool CreateStatusPanes();
    wxStatusBar* OnCreateStatusBar(int number, long style, wxWindowID id,
                                   const wxString& name) override;

    void OnSize(wxSizeEvent& event);
    void OnMove(wxMoveEvent& event);
    void OnWindowStateChanged(wxEvent& event);
    void OnChildFocus(wxChildFocusEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnCharHook(wxKeyEvent& event);
    // Where the focus is, for the key table.
    KeyPlace FocusPlace() const;

    void RecordWindowSize();
    // Keeps the place the window has when neither maximised nor minimised.
    void TrackNormalPlacement();
    bool InNormalState() const;

    ProfileStore& m_profile;
    FavoritesReporter& m_reporter;
    CLumoNewsReaderDoc m_doc;
    wxSplitterWindow* m_wndSplitter = nullptr;
    FrameCommands m_commands;
    wxStatusBar* m_wndStatusBar = nullptr;
    std::unique_ptr<FrameToolBar> m_toolBar;
    CDirectoryPane* m_directoryPane = nullptr;
    CLeftView* m_leftView = nullptr;
    CLumoNewsReaderView* m_htmlView = nullptr;
    wxWindow* m_activePane = nullptr;
    std::string m_indicatorState;
    wxFileHistory* m_fileHistory = nullptr;
    ScreenRect m_normalRect;
    bool m_normalRectSeen = false;
};

} // namespace lumo
