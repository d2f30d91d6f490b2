// The main frame with its real panes, menu and commands, on temporary settings.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <wx/app.h>
#include <wx/clipbrd.h>
#include <wx/config.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/splitter.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/testing.h>
#include <wx/textctrl.h>
#include <wx/webview.h>

#include "app/lumo_app.h"
#include "app/main_frame.h"
#include "app/skin.h"
#include "browser/pane/browser_view.h"
#include "capturing_reporter.h"
#include "common/app_paths.h"
#include "common/globals.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "common/url_opener.h"
#include "common/window_placement.h"
#include "directory/directory_pane.h"
#include "directory/left_view.h"
#include "favorites/dlg_cfg_add_favorite.h"
#include "favorites/favorites_store.h"
#include "gui_test_support.h"
#include "main_frame_fixture.h"
#include "temp_dir.h"
#include "ui/accessibility.h"

using namespace lumo;
using lumo::test::RecordedUrlOpens;
using lumo::test::Settle;
using lumo::test::TempDir;
using lumo::test::WaitFor;
using lumo::test::WriteFile;

namespace {

using lumo::test::CapturingReporter;

class MainFrameTest : public lumo::test::MainFrameFixture
{
protected:
    void TearDown() override
    {
        DestroyFrame();
        ExitSkin();
    }

    bool Checked(int id)
    {
        m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        return m_frame->GetMenuBar()->IsChecked(ToWxId(id));
    }

    // Sends a command as a menu, key or other sender would: program commands
    // by their own number, wx's stock commands by their wx id.
    void Command(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id >= kWxIdOffset ? ToWxId(id) : id);
        event.SetEventObject(m_frame);
        m_frame->ProcessWindowEvent(event);
    }

    std::string SettingsText()
    {
        std::string path = m_dir.File("settings/LumoNewsReader.conf");
        return lumo::test::FileExists(path) ? lumo::test::ReadFile(path) : "<none>";
    }
};

// The menu bar as a user meets it, a line for each menu and each of its
// items, read from the menus on screen: the item's number, "----" for a
// separator, "[x]" or "[ ]" for a check item, its text with "_" before the
// underlined letter, the key shown beside it in <>, and its help in the
// status bar after "--".
std::string MenuBarText(wxMenuBar& bar)
{
    std::string text;
    for (size_t m = 0; m < bar.GetMenuCount(); ++m) {
        text += bar.GetMenuLabel(m).utf8_string() + "\n";
        for (wxMenuItem* item : bar.GetMenu(m)->GetMenuItems()) {
            if (item->IsSeparator()) {
                text += "  ----\n";
                continue;
            }
            GtkWidget* widget = item->GetMenuItem();
            text += "  " + std::to_string(item->GetId()) + " ";
            if (GTK_IS_CHECK_MENU_ITEM(widget))
                text +=
                    gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(widget)) ? "[x] " : "[ ] ";
            GtkWidget* label = gtk_bin_get_child(GTK_BIN(widget));
            text += gtk_label_get_label(GTK_LABEL(label));
            guint keyval = 0;
            GdkModifierType modifiers = GdkModifierType(0);
            if (GTK_IS_ACCEL_LABEL(label))
                gtk_accel_label_get_accel(GTK_ACCEL_LABEL(label), &keyval, &modifiers);
            if (keyval) {
                gchar* key = gtk_accelerator_get_label(keyval, modifiers);
                text += std::string(" <") + key + ">";
                g_free(key);
            }
            if (!item->GetHelp().empty())
                text += " -- " + item->GetHelp().utf8_string();
            text += "\n";
        }
    }
    return text;
}

} // namespace

// The menus keep their items, texts, numbers, order and keys (none of the
// first items shows a key: the accelerators do other things); commands
// added since follow a separator at a menu's end, each with its key.
TEST_F(MainFrameTest, MenuBarShowsEveryItemInOrderWithItsKey)
{
    MakeFrame();
    m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    EXPECT_EQ(MenuBarText(*m_frame->GetMenuBar()), R"(&File
  2771 _Minimize -- Minimize the window
  ----
  5006 E_xit -- Quit the application; prompts to save documents
  ----
  2950 Import Favorites (OPML)… -- Add the papers of a list from another feed reader to your favorites
  2951 Export Favorites (OPML)… -- Save your favorites and their feeds as a list other feed readers can read
&Browse
  2772 _Home -- Go to Homepage
  ----
  2773 _Back -- Browse back page
  2774 _Forword -- Browse forword page
  ----
  2901 Reload <F5> -- Load the page again
  2902 Stop <Escape> -- Stop loading the page
  2910 Open in Web Browser -- Open the page in your web browser
Favorites
  2783 Modify -- Backup before modify it
  2784 Backup
  ----
  2911 Add This Page… <Ctrl+D> -- Keep the page on screen among the favorites
HomePage
  2785 Go to
  ----
  2786 [ ] Use Blank
  2787 [x] Use Default
  2788 [ ] Use Current
&Skin
  2777 [ ] _XP -- Set skin as XP style
  2778 [x] _Mini -- Set skin as mini style
  2779 [ ] _Soft -- Set skin as soft style
&View
  29393 [ ] Status -- Show or hide status bar
  29392 [ ] Toolbar -- Show or hide toolbar
  ----
  2905 Zoom In <Ctrl++> -- Make the page larger
  2906 Zoom Out <Ctrl+-> -- Make the page smaller
  2907 Actual Size <Ctrl+0> -- Show the page at its own size
  2908 Find in Page… <Ctrl+F> -- Find a text in the page
  2904 Reader View <F9> -- Show the article alone, or the page again
  2909 Find a Newspaper <Ctrl+E> -- Find a newspaper in the tree by its name
  2912 [x] Block Ads and Trackers -- Block ads and trackers in the pages shown
  2916 Use Built-in Ad and Tracker Lists -- Drop the ad and tracker lists fetched from the web and use those the program came with
  2917 Headlines <Ctrl+H> -- Show what is new in your favorite papers
&Help
  2780 Content and Index -- Show help content
  2782 Product Homepage -- Show help product
  5014 _About... -- Display program information, version number and copyright
)");
    // Shown only: the menus hold no accelerator of their own.
    wxMenuBar* bar = m_frame->GetMenuBar();
    for (size_t m = 0; m < bar->GetMenuCount(); ++m)
        for (wxMenuItem* item : bar->GetMenu(m)->GetMenuItems())
            EXPECT_EQ(item->GetAccel(), nullptr) << item->GetItemLabel();
}

TEST_F(MainFrameTest, PanesSitSideBySideAndTheDocumentLinksBoth)
{
    MakeFrame();
    wxSplitterWindow* splitter = m_frame->Splitter();
    ASSERT_NE(splitter, nullptr);
    EXPECT_EQ(splitter->GetSplitMode(), wxSPLIT_VERTICAL);
    EXPECT_EQ(splitter->GetSashPosition(), 250);
    // The tree sits under the field that finds a newspaper.
    EXPECT_EQ(splitter->GetWindow1(), static_cast<wxWindow*>(m_frame->DirectoryPane()));
    EXPECT_EQ(m_frame->LeftView()->GetParent(), m_frame->DirectoryPane());
    EXPECT_EQ(splitter->GetWindow2(), static_cast<wxWindow*>(m_frame->HtmlView()));
    EXPECT_EQ(m_frame->GetActiveDocument().m_pLeftView, m_frame->LeftView());
    EXPECT_EQ(m_frame->GetActiveDocument().m_pHtmlView, m_frame->HtmlView());
    EXPECT_EQ(m_frame->ActivePane(), static_cast<wxWindow*>(m_frame->LeftView()));
}

TEST_F(MainFrameTest, StatusBarStartsHiddenAndViewStatusTogglesIt)
{
    MakeFrame();
    wxStatusBar* bar = m_frame->GetStatusBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->IsShown());
    EXPECT_FALSE(Checked(ID_VIEW_STATUS_BAR));
    EXPECT_EQ(bar->GetFieldsCount(), 4);

    Command(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(bar->IsShown());
    EXPECT_TRUE(Checked(ID_VIEW_STATUS_BAR));
    EXPECT_EQ(bar->GetStatusText(0).utf8_string(), "Ready");
    // A screen reader reads the status text as the bar's name.
    bar->PushStatusText("Opening…");
    EXPECT_EQ(GetAccessibleName(bar), "Opening…");
    bar->PopStatusText();
    EXPECT_EQ(GetAccessibleName(bar), "Ready");
    for (int field = 1; field <= 3; ++field) {
        std::string text = bar->GetStatusText(field).utf8_string();
        const char* names[] = {"", "CAP", "NUM", "SCRL"};
        EXPECT_TRUE(text.empty() || text == names[field]) << text;
    }

    Command(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(bar->IsShown());
}

TEST_F(MainFrameTest, CommandsMoveCheckMarksAndStoreChoices)
{
    MakeFrame();
    EXPECT_TRUE(Checked(ID_SKIN_MINI));
    EXPECT_TRUE(Checked(ID_HOMEPAGE_USE_DEFAULT));

    // The skin files are looked for in the current directory: here there are
    // none, and the choice moves all the same.
    Command(ID_SKIN_XP);
    EXPECT_TRUE(Checked(ID_SKIN_XP));
    EXPECT_FALSE(Checked(ID_SKIN_MINI));
    EXPECT_EQ(m_profile->Get(kSkinStyle), SkinStyle::XPCorona);

    Command(ID_HOMEPAGE_USE_BLANK);
    EXPECT_TRUE(Checked(ID_HOMEPAGE_USE_BLANK));
    EXPECT_FALSE(Checked(ID_HOMEPAGE_USE_DEFAULT));
    EXPECT_EQ(m_profile->Get(kIndexPage), IndexPage::Blank);

    Command(ID_CATALOG_BY_CONTENT);
    EXPECT_EQ(m_profile->Get(kCataView), CataView::ByContent);
    EXPECT_EQ(m_frame->Commands().CataView(), CataView::ByContent);

    // Cut and save keys reach cut and save, never the skins.
    Command(wxID_CUT);
    EXPECT_TRUE(Checked(ID_SKIN_XP));
    EXPECT_EQ(m_profile->Get(kSkinStyle), SkinStyle::XPCorona);

    Command(ID_HELP_PRODUCT);
    EXPECT_EQ(m_urls.opened, std::vector<std::string>{kProductWebPage});
    // When no program can be started for it, the user is told.
    m_urls.succeed = false;
    {
        lumo::test::RecordedMessageBoxes messages;
        Command(ID_HELP_PRODUCT);
        EXPECT_EQ(messages.texts, std::vector<std::string>{CannotOpenMessage(kProductWebPage)});
    }

    // A new run reads the stored choices.
    MakeFrame();
    EXPECT_TRUE(Checked(ID_SKIN_XP));
    EXPECT_TRUE(Checked(ID_HOMEPAGE_USE_BLANK));
    EXPECT_EQ(m_frame->Commands().CataView(), CataView::ByContent);
}

TEST_F(MainFrameTest, SkinCommandsChangeTheLookAtOnce)
{
    TempDir program;
    ASSERT_EQ(mkdir(program.File("Skin").c_str(), 0700), 0);
    WriteFile(program.File("Skin/XPCorona.ssk"), "label { color: #123456; }");
    WriteFile(program.File("Skin/SoftCrystal.ssk"), "this is { not css");
    std::string saved = wxGetCwd().utf8_string();
    ASSERT_TRUE(wxSetWorkingDirectory(program.Path()));
    MakeFrame();
    Command(ID_SKIN_XP);
    EXPECT_STREQ(CurrentSkinPath(), "Skin/XPCorona.ssk");
    // A broken skin file changes nothing on screen, yet the choice is stored.
    Command(ID_SKIN_SOFT);
    EXPECT_STREQ(CurrentSkinPath(), "Skin/XPCorona.ssk");
    EXPECT_EQ(m_profile->Get(kSkinStyle), SkinStyle::SoftCrystal);
    EXPECT_TRUE(Checked(ID_SKIN_SOFT));
    wxSetWorkingDirectory(wxString::FromUTF8(saved));
}

// Opens a menu of the menu bar with a real click on its title and returns
// how many pixels of its items lie below the window it opens in (0 when all
// show), or -1 when it did not open.
int HiddenPixelsOfMenu(wxMenu* menu)
{
    GtkWidget* title = menu->m_owner;
    GtkWidget* popup = gtk_widget_get_toplevel(menu->m_menu);
    bool opened = false;
    for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
        GtkAllocation place;
        gtk_widget_get_allocation(title, &place);
        int x = 0, y = 0;
        gdk_window_get_origin(gtk_widget_get_window(title), &x, &y);
        lumo::test::ClickAt(wxPoint(x + place.x + place.width / 2, y + place.y + place.height / 2));
        opened =
            WaitFor([&] { return gtk_widget_get_mapped(popup) != 0; }, std::chrono::seconds(2));
    }
    if (!opened || !WaitFor([&] { return gtk_widget_get_allocated_height(popup) > 1; }))
        return -1;
    int popupHeight = gtk_widget_get_allocated_height(popup);
    int hidden = 0;
    GList* items = gtk_container_get_children(GTK_CONTAINER(menu->m_menu));
    for (GList* node = items; node; node = node->next) {
        GtkWidget* item = GTK_WIDGET(node->data);
        int top = 0, bottom = 0, unused = 0;
        gtk_widget_translate_coordinates(item, popup, 0, 0, &unused, &top);
        bottom = top + gtk_widget_get_allocated_height(item);
        if (gtk_widget_get_visible(item))
            hidden = std::max({hidden, bottom - popupHeight, -top});
    }
    g_list_free(items);
    gtk_menu_shell_cancel(GTK_MENU_SHELL(gtk_widget_get_parent(title)));
    WaitFor([&] { return !gtk_widget_get_mapped(popup); }, std::chrono::seconds(5));
    return hidden;
}

TEST_F(MainFrameTest, EveryMenuShowsAllItsItemsAfterASkinChange)
{
    TempDir program;
    ASSERT_EQ(mkdir(program.File("Skin").c_str(), 0700), 0);
    WriteFile(program.File("Skin/XPCorona.ssk"),
              "menu menuitem { min-height: 44px; padding: 10px 24px; }");
    std::string saved = wxGetCwd().utf8_string();
    ASSERT_TRUE(wxSetWorkingDirectory(program.Path()));
    MakeFrame();
    wxMenuBar* bar = m_frame->GetMenuBar();
    for (size_t i = 0; i < bar->GetMenuCount(); ++i)
        ASSERT_EQ(HiddenPixelsOfMenu(bar->GetMenu(i)), 0) << bar->GetMenuLabelText(i);
    Command(ID_SKIN_XP);
    ASSERT_STREQ(CurrentSkinPath(), "Skin/XPCorona.ssk");
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    for (size_t i = 0; i < bar->GetMenuCount(); ++i)
        EXPECT_EQ(HiddenPixelsOfMenu(bar->GetMenu(i)), 0) << bar->GetMenuLabelText(i);
    wxSetWorkingDirectory(wxString::FromUTF8(saved));
}

TEST_F(MainFrameTest, WindowSizeFollowsEverySizeChange)
{
    MakeFrame();
    m_frame->SetSize(wxSize(700, 500));
    m_frame->SendSizeEvent();
    EXPECT_EQ(m_profile->Get(kWindowSize), WindowShow::Normal);
    m_frame->Maximize(true);
    if (!WaitFor([&] { return m_frame->IsMaximized(); }, std::chrono::seconds(3)))
        GTEST_SKIP() << "no window manager to maximise windows";
    EXPECT_TRUE(WaitFor([&] { return m_profile->Get(kWindowSize) == WindowShow::Maximized; }));
    m_frame->Maximize(false);
    WaitFor([&] { return !m_frame->IsMaximized(); }, std::chrono::seconds(3));
    EXPECT_TRUE(WaitFor([&] { return m_profile->Get(kWindowSize) == WindowShow::Normal; }));
    m_frame->Maximize(true);
    WaitFor([&] { return m_frame->IsMaximized(); }, std::chrono::seconds(3));
    ASSERT_TRUE(WaitFor([&] { return m_profile->Get(kWindowSize) == WindowShow::Maximized; }));
    Command(ID_MINIMIZE);
    WaitFor([&] { return m_frame->IsIconized(); }, std::chrono::seconds(3));
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    EXPECT_EQ(m_profile->Get(kWindowSize), WindowShow::Normal);
}

TEST_F(MainFrameTest, WindowStartedMaximisedReturnsToItsKeptSize)
{
    for (bool kept : {true, false}) {
        if (kept)
            WriteNormalPlacement(*m_profile, {60, 50, 700, 500});
        else
            m_profile->Config().DeleteGroup(kWindowSection);
        const wxSize expected = kept ? wxSize(700, 500) : wxSize(1024, 720);
        DestroyFrame();
        m_frame = new CMainFrame(*m_profile, m_reporter);
        ASSERT_TRUE(m_frame->Create());
        m_frame->InitialUpdate();
        ShowWithShowCommand(*m_frame, WindowShow::Maximized);
        if (!WaitFor([&] { return m_frame->IsMaximized(); }, std::chrono::seconds(3)))
            GTEST_SKIP() << "no window manager to maximise windows";
        ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
        m_frame->Maximize(false); // as the title bar's double-click does
        EXPECT_TRUE(
            WaitFor([&] { return m_frame->GetSize() == expected; }, std::chrono::seconds(5)))
            << m_frame->GetSize().x << "x" << m_frame->GetSize().y;
        ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
        EXPECT_EQ(m_frame->GetSize(), expected);
        DestroyFrame();
        // The size is kept for the next start.
        std::optional<ScreenRect> stored = ReadNormalPlacement(*m_profile);
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(wxSize(stored->width, stored->height), expected);
    }
}

TEST_F(MainFrameTest, WindowOpensWhereItWasOrInTheMiddleOfTheScreen)
{
    WriteNormalPlacement(*m_profile, {100, 80, 700, 500});
    MakeFrame();
    EXPECT_TRUE(WaitFor([&] { return m_frame->GetRect() == wxRect(100, 80, 700, 500); },
                        std::chrono::seconds(5)))
        << m_frame->GetPosition().x << "," << m_frame->GetPosition().y;

    // A first start: the middle of the screen.
    DestroyFrame();
    m_profile->Config().DeleteGroup(kWindowSection);
    MakeFrame();
    const wxRect screen = wxDisplay(0u).GetClientArea();
    const wxPoint middle(screen.x + (screen.width - kDefaultWindowRect.width) / 2,
                         screen.y + (screen.height - kDefaultWindowRect.height) / 2);
    EXPECT_TRUE(WaitFor([&] { return m_frame->GetPosition() == middle; }, std::chrono::seconds(5)))
        << m_frame->GetPosition().x << "," << m_frame->GetPosition().y;
}

TEST_F(MainFrameTest, HomeHelpAndGoToOpenTheirPagesInThePane)
{
    WriteFile(m_dir.File("readme.htm"),
              "<html><head><title>Help Here</title></head><body>help</body></html>");
    m_profile->Write(kIndexPage, IndexPage::Blank);
    MakeFrame();
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->WebView() != nullptr; }));
    Command(ID_HELP_CONTENT);
    EXPECT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Help Here - Lumo News Reader"; }))
        << m_frame->GetTitle();
    Command(ID_BROWSE_HOME);
    EXPECT_TRUE(WaitFor(
        [&] { return m_frame->HtmlView()->WebView()->GetCurrentURL() == kProductStartPage; }));
    Command(ID_BROWSE_BACK);
    EXPECT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Help Here - Lumo News Reader"; }));
    Command(ID_HOMEPAGE_GOTO);
    EXPECT_TRUE(
        WaitFor([&] { return m_frame->HtmlView()->WebView()->GetCurrentURL() == "about:blank"; }));
}

TEST_F(MainFrameTest, BackupCommandCopiesTheFavoritesOfTheCurrentDirectory)
{
    TempDir program;
    WriteFile(program.File("Favorites.xml"), "<Favorites/>\n");
    std::string saved = wxGetCwd().utf8_string();
    ASSERT_TRUE(wxSetWorkingDirectory(program.Path()));
    SetProgramDirectory(program.Path());
    MakeFrame();
    Command(ID_FAVORITES_BACKUP);
    wxSetWorkingDirectory(wxString::FromUTF8(saved));
    EXPECT_EQ(lumo::test::ReadFile(program.File("Favorites.xml.bk")), "<Favorites/>\n");
    EXPECT_EQ(m_reporter.messages, std::vector<std::string>{"备份成功！"});
}

TEST_F(MainFrameTest, NewRebuildsTheTreeAndOpensTheStartPageAgain)
{
    MakeFrame();
    ASSERT_TRUE(WaitFor([&] {
        return m_frame->HtmlView()->WebView() &&
               m_frame->HtmlView()->WebView()->GetCurrentURL() == kProductStartPage;
    }));
    m_frame->HtmlView()->NavigateTo("about:blank");
    ASSERT_TRUE(
        WaitFor([&] { return m_frame->HtmlView()->WebView()->GetCurrentURL() == "about:blank"; }));
    std::string before = SettingsText();
    Command(wxID_NEW);
    EXPECT_TRUE(WaitFor(
        [&] { return m_frame->HtmlView()->WebView()->GetCurrentURL() == kProductStartPage; }));
    EXPECT_EQ(SettingsText(), before);
}

TEST_F(MainFrameTest, OpenLeavesTheProgramDirectoryToBackupAndSaveWritesAnEmptyDocument)
{
    // The program directory, and another folder with favorites of its own.
    TempDir program, other;
    const std::string favorites = "<Favorites><Favorite><title>Mine</title>"
                                  "<url>https://mine.example/</url></Favorite></Favorites>";
    WriteFile(program.File("Favorites.xml"), favorites);
    WriteFile(other.File("Favorites.xml"), "<Favorites/>");
    WriteFile(other.File("some.txt"), "text");
    std::string saved = wxGetCwd().utf8_string();
    wxSetWorkingDirectory(wxString::FromUTF8(program.Path()));
    SetProgramDirectory(program.Path());
    MakeFrame();
    // The keys show the dialogs; cancelled, they change nothing.
    wxTEST_DIALOG(Command(wxID_OPEN), wxExpectModal<wxFileDialog>(wxString(), wxID_CANCEL));
    wxTEST_DIALOG(Command(wxID_SAVE), wxExpectModal<wxFileDialog>(wxString(), wxID_CANCEL));

    // Opening a file elsewhere leaves the current directory where it was, so
    // Backup copies the favorites on screen.
    m_frame->OpenDocumentFile(other.File("some.txt"));
    std::string now = wxGetCwd().utf8_string();
    Command(ID_FAVORITES_BACKUP);
    wxSetWorkingDirectory(wxString::FromUTF8(saved));
    EXPECT_EQ(now, program.Path());
    EXPECT_EQ(lumo::test::ReadFile(program.File("Favorites.xml.bk")), favorites);
    EXPECT_FALSE(lumo::test::FileExists(other.File("Favorites.xml.bk")));
    EXPECT_EQ(lumo::test::ReadFile(other.File("some.txt")), "text");

    EXPECT_TRUE(m_frame->SaveDocumentAs(other.File("doc.lumo")));
    EXPECT_EQ(lumo::test::ReadFile(other.File("doc.lumo")), "");
    wxTEST_DIALOG(EXPECT_FALSE(m_frame->SaveDocumentAs(other.File("no/such/folder/doc"))),
                  wxExpectModal<wxMessageDialog>(wxOK));
}

TEST_F(MainFrameTest, PaneKeysSwitchPanesAndEditKeysWorkInsideThePage)
{
    m_profile->Write(kIndexPage, IndexPage::Blank);
    MakeFrame();
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->WebView() != nullptr; }));
    wxWebView* web = m_frame->HtmlView()->WebView();

    Command(ID_NEXT_PANE);
    EXPECT_EQ(m_frame->ActivePane(), static_cast<wxWindow*>(m_frame->HtmlView()));
    Command(ID_PREV_PANE);
    EXPECT_EQ(m_frame->ActivePane(), static_cast<wxWindow*>(m_frame->LeftView()));

    // With the tree active, cut, copy and paste leave the clipboard alone.
    if (wxTheClipboard->Open()) {
        wxTheClipboard->SetData(new wxTextDataObject("untouched"));
        wxTheClipboard->Flush();
        wxTheClipboard->Close();
    }
    WriteFile(m_dir.File("form.html"),
              "<html><head><title>Form</title></head><body>"
              "<input id='a' value='hello page'><input id='b' value=''></body></html>");
    m_frame->HtmlView()->NavigateTo("file://" + m_dir.File("form.html"));
    ASSERT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Form - Lumo News Reader"; }));
    web->RunScript("var a = document.getElementById('a'); a.focus(); a.select();");
    m_frame->LeftView()->SetFocus();
    ASSERT_TRUE(
        WaitFor([&] { return gtk_widget_is_focus(m_frame->LeftView()->GtkGetTreeView()) != 0; }));
    Command(wxID_COPY);
    // Whatever the page was asked, it answered before this script's result.
    web->RunScript("1");
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    {
        wxTextDataObject text;
        ASSERT_TRUE(wxTheClipboard->Open());
        wxTheClipboard->GetData(text);
        wxTheClipboard->Close();
        EXPECT_EQ(text.GetText(), "untouched");
    }

    Command(ID_NEXT_PANE);
    ASSERT_TRUE(WaitFor([&] { return m_frame->ActivePane() == m_frame->HtmlView(); }));
    web->RunScript("var a = document.getElementById('a'); a.focus(); a.select();");
    Command(wxID_COPY);
    wxString copied;
    ASSERT_TRUE(WaitFor([&] {
        wxTextDataObject text;
        if (!wxTheClipboard->Open())
            return false;
        wxTheClipboard->GetData(text);
        wxTheClipboard->Close();
        copied = text.GetText();
        return copied == "hello page";
    })) << copied;

    web->RunScript("document.getElementById('b').focus();");
    Command(wxID_PASTE);
    wxString pasted;
    EXPECT_TRUE(WaitFor([&] {
        web->RunScript("document.getElementById('b').value", &pasted);
        return pasted == "hello page";
    })) << pasted;

    // F6 gives the page itself the keys: Page Down scrolls, Tab walks its
    // links; F6 again goes back to the tree.
    WriteFile(m_dir.File("long.html"),
              "<html><head><title>Long</title></head><body style='height:5000px'>"
              "<a id='first' href='#one'>one</a> <a href='#two'>two</a></body></html>");
    m_frame->HtmlView()->NavigateTo("file://" + m_dir.File("long.html"));
    ASSERT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Long - Lumo News Reader"; }));
    m_frame->LeftView()->SetFocus();
    ASSERT_TRUE(
        WaitFor([&] { return gtk_widget_is_focus(m_frame->LeftView()->GtkGetTreeView()) != 0; }));
    ASSERT_TRUE(lumo::test::PressKey(XK_F6));
    ASSERT_TRUE(WaitFor([&] { return m_frame->ActivePane() == m_frame->HtmlView(); }));
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->PageHasFocus(); }));
    lumo::test::PressKey(XK_Next);
    wxString scrolled;
    EXPECT_TRUE(WaitFor(
        [&] {
            web->RunScript("String(window.scrollY > 0)", &scrolled);
            return scrolled == "true";
        },
        std::chrono::seconds(5)));
    lumo::test::PressKey(XK_Tab);
    wxString active;
    EXPECT_TRUE(WaitFor(
        [&] {
            web->RunScript("document.activeElement ? document.activeElement.tagName : ''", &active);
            return active == "A";
        },
        std::chrono::seconds(5)))
        << active;
    EXPECT_EQ(m_frame->ActivePane(), static_cast<wxWindow*>(m_frame->HtmlView()));
    lumo::test::PressKey(XK_F6);
    EXPECT_TRUE(WaitFor([&] { return m_frame->ActivePane() == m_frame->LeftView(); }));
}

// A keyboard user finds a paper among all of them: Ctrl+E, a few letters,
// Enter; Escape twice brings the whole tree back as it was, with the paper
// on screen selected and in sight.
TEST_F(MainFrameTest, FindingANewspaperFiltersTheTreeOpensItAndGivesTheTreeBack)
{
    using lumo::test::PressKey;
    m_profile->Write(kIndexPage, IndexPage::Blank);
    MakeFrame();
    m_frame->Raise();
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive(); }));
    CDirectoryPane* pane = m_frame->DirectoryPane();
    CLeftView* tree = m_frame->LeftView();
    const std::size_t allItems = tree->Items().GetCount();
    auto find = [&](const std::string& text) {
        for (DirectoryTree::ItemId item = 1; item <= tree->Items().GetCount(); ++item)
            if (tree->Items().GetItemText(item) == text)
                return item;
        return DirectoryTree::kTop;
    };
    auto expanded = [&] {
        std::vector<bool> state;
        for (DirectoryTree::ItemId item = 1; item <= tree->Items().GetCount(); ++item)
            state.push_back(tree->IsExpanded(CLeftView::ToViewItem(item)));
        return state;
    };
    // An older paper is selected, and opened, before the search.
    ASSERT_TRUE(tree->RunPaperCommand(CLeftView::PaperCommand::Open, find("CNN ")));
    std::vector<bool> expandedBefore = expanded();
    auto shownRows = [&] {
        int rows = 0;
        gtk_tree_model_foreach(
            gtk_tree_view_get_model(GTK_TREE_VIEW(tree->GtkGetTreeView())),
            [](GtkTreeModel*, GtkTreePath*, GtkTreeIter*, gpointer count) {
                ++*static_cast<int*>(count);
                return FALSE;
            },
            &rows);
        return rows;
    };

    ASSERT_TRUE(PressKey(XK_e, true));
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == pane->SearchField(); }));
    for (unsigned long key : {XK_b, XK_a, XK_k, XK_e, XK_r, XK_s})
        PressKey(key);
    ASSERT_TRUE(WaitFor([&] { return pane->SearchField()->GetValue() == "bakers"; }));
    // Root, American States, California and the paper, on the real control.
    EXPECT_EQ(shownRows(), 4);
    EXPECT_EQ(pane->MatchCount()->GetLabel(), "1 newspaper");

    PressKey(XK_Return);
    EXPECT_TRUE(WaitFor(
        [&] { return m_frame->GetTitle() == "Bakersfield Californian - Lumo News Reader"; }));
    EXPECT_EQ(g_strCurrentURL, "http://www.bakersfield.com/");

    PressKey(XK_Escape); // from the results to the field
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == pane->SearchField(); }));
    PressKey(XK_Escape); // and the whole tree back
    ASSERT_TRUE(WaitFor([&] { return !tree->IsFiltered(); }));
    EXPECT_EQ(tree->Items().GetCount(), allItems);
    // The paper on screen is the one selected, its region opened to show it,
    // and it is scrolled into sight; nothing opens again.
    const auto bakersfield = find("Bakersfield Californian");
    ASSERT_NE(bakersfield, DirectoryTree::kTop);
    EXPECT_EQ(CLeftView::ToItem(tree->GetSelection()), bakersfield);
    const auto california = tree->Items().GetParent(bakersfield);
    expandedBefore[california - 1] = true;
    EXPECT_EQ(expanded(), expandedBefore);
    {
        GtkTreeView* view = GTK_TREE_VIEW(tree->GtkGetTreeView());
        std::vector<gint> indices;
        for (auto at = bakersfield; at != DirectoryTree::kTop; at = tree->Items().GetParent(at))
            indices.insert(indices.begin(), static_cast<gint>(tree->Items().IndexInParent(at)));
        GtkTreePath* path = gtk_tree_path_new_from_indicesv(indices.data(), indices.size());
        GtkTreePath* first = nullptr;
        GtkTreePath* last = nullptr;
        // The scroll is laid out after the selection.
        WaitFor([&] {
            gtk_tree_path_free(first);
            gtk_tree_path_free(last);
            first = last = nullptr;
            return gtk_tree_view_get_visible_range(view, &first, &last) &&
                   gtk_tree_path_compare(path, first) >= 0 &&
                   gtk_tree_path_compare(path, last) <= 0;
        });
        ASSERT_TRUE(first && last);
        EXPECT_GE(gtk_tree_path_compare(path, first), 0);
        EXPECT_LE(gtk_tree_path_compare(path, last), 0);
        gtk_tree_path_free(path);
        gtk_tree_path_free(first);
        gtk_tree_path_free(last);
    }
    EXPECT_EQ(m_frame->GetTitle(), "Bakersfield Californian - Lumo News Reader");

    // Building the tree again ends a search, field and all.
    pane->StartSearch('z');
    ASSERT_TRUE(tree->IsFiltered());
    Command(wxID_NEW);
    EXPECT_FALSE(tree->IsFiltered());
    EXPECT_TRUE(pane->SearchField()->IsEmpty());
}

// Answers the add dialog (records its fields and saves) and the message
// boxes, as a user pressing Save and OK would.
class SavingAddDialog : public wxModalDialogHook
{
public:
    SavingAddDialog() { Register(); }
    ~SavingAddDialog() override { Unregister(); }
    std::vector<std::string> fields;
    std::vector<std::string> messages;

protected:
    int Enter(wxDialog* dialog) override
    {
        if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) {
            messages.push_back(box->GetMessage().utf8_string());
            return wxID_OK;
        }
        auto* add = dynamic_cast<CDlgCfgAddFavorite*>(dialog);
        if (!add)
            return wxID_CANCEL;
        fields = {add->IsEditMode() ? "edit" : "add", add->NameCtrl()->GetValue().utf8_string(),
                  add->URLCtrl()->GetValue().utf8_string()};
        return add->Save() ? wxID_OK : wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

TEST_F(MainFrameTest, PapersOpenElsewhereAndNewFavoritesShowAtOnce)
{
    WriteFile(m_dir.File("Favorites.xml"), "<Favorites>\n</Favorites>\n");
    m_profile->Write(kIndexPage, IndexPage::Blank);
    MakeFrame();
    CLeftView* tree = m_frame->LeftView();
    auto find = [&](const std::string& text) {
        for (DirectoryTree::ItemId item = 1; item <= tree->Items().GetCount(); ++item)
            if (tree->Items().GetItemText(item) == text)
                return item;
        return DirectoryTree::kTop;
    };
    auto favorites = [&] {
        std::vector<std::string> names;
        for (auto child : tree->Items().GetChildren(find(std::string(kMyFavoritesBranch))))
            names.push_back(tree->Items().GetItemText(child));
        return names;
    };
    using Command = CLeftView::PaperCommand;
    const auto cnn = find("CNN ");
    EXPECT_TRUE(tree->PaperCommands(find("National")).empty());
    ASSERT_EQ(tree->PaperCommands(cnn).size(), 4u);

    EXPECT_TRUE(tree->RunPaperCommand(Command::OpenInWebBrowser, cnn));
    EXPECT_EQ(m_urls.opened, std::vector<std::string>{"https://www.cnn.com/"});
    EXPECT_TRUE(tree->RunPaperCommand(Command::CopyAddress, cnn));
    {
        wxTextDataObject text;
        ASSERT_TRUE(wxTheClipboard->Open());
        wxTheClipboard->GetData(text);
        wxTheClipboard->Close();
        EXPECT_EQ(text.GetText(), "https://www.cnn.com/");
    }
    EXPECT_TRUE(tree->RunPaperCommand(Command::Open, find("CNN ")));
    EXPECT_EQ(m_frame->GetTitle(), "CNN  - Lumo News Reader");

    // Added from the menu: in the file and under "My Favorites" at once, and
    // a favorite offers no second add but its own changes.
    EXPECT_TRUE(tree->RunPaperCommand(Command::AddToMyFavorites, find("CNN ")));
    EXPECT_EQ(m_reporter.messages, std::vector<std::string>{"Successfully!"});
    EXPECT_EQ(favorites(), std::vector<std::string>{"CNN"});
    EXPECT_EQ(
        tree->PaperCommands(tree->Items().GetChildren(find(std::string(kMyFavoritesBranch)))[0])
            .size(),
        7u);

    // Ctrl+D keeps the page on screen, its name and address filled in.
    WriteFile(m_dir.File("kept.html"),
              "<html><head><title>Kept Page</title></head><body></body></html>");
    const std::string kept = "file://" + m_dir.File("kept.html");
    m_frame->HtmlView()->NavigateTo(kept);
    ASSERT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Kept Page - Lumo News Reader"; }));
    m_frame->Raise();
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive(); }));
    SavingAddDialog answers;
    ASSERT_TRUE(lumo::test::PressKey(XK_d, true));
    EXPECT_TRUE(WaitFor([&] { return favorites().size() == 2; }));
    EXPECT_EQ(answers.fields, (std::vector<std::string>{"add", "Kept Page", kept}));
    EXPECT_EQ(answers.messages, std::vector<std::string>{"Successfully!"});
    EXPECT_EQ(favorites(), (std::vector<std::string>{"CNN", "Kept Page"}));
}

// A headline followed by a click puts the focus in the page; the window's
// keys still reach the window from there, whatever brought the page.
TEST_F(MainFrameTest, BackAndForwardKeysWorkFromThePageAfterALinkIsFollowed)
{
    using lumo::test::PressKey;
    m_profile->Write(kIndexPage, IndexPage::Blank);
    MakeFrame();
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->WebView() != nullptr; }));
    WriteFile(m_dir.File("article.html"),
              "<html><head><title>Article</title></head><body>text</body></html>");
    WriteFile(m_dir.File("front.html"),
              "<html><head><title>Front</title></head><body style='margin:0'>"
              "<a href='article.html' style='display:block;width:3000px;height:3000px'>"
              "Headline</a></body></html>");
    m_frame->HtmlView()->NavigateTo("file://" + m_dir.File("front.html"));
    ASSERT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Front - Lumo News Reader"; }));
    m_frame->Raise();
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive(); }));
    ASSERT_TRUE(lumo::test::WaitForPaint(m_frame->HtmlView()->WebView()));
    ASSERT_TRUE(lumo::test::ClickAt(m_frame->HtmlView()->WebView()->GetScreenRect().GetPosition() +
                                    wxPoint(100, 100)));
    ASSERT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Article - Lumo News Reader"; }));
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->PageHasFocus(); }));

    ASSERT_TRUE(PressKey(XK_Left, false, false, true));
    EXPECT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Front - Lumo News Reader"; }))
        << m_frame->GetTitle();
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->PageHasFocus(); }));
    PressKey(XK_Right, false, false, true);
    EXPECT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Article - Lumo News Reader"; }))
        << m_frame->GetTitle();
    // The page's own keys stay the page's: an arrow alone scrolls it.
    EXPECT_TRUE(m_frame->HtmlView()->PageHasFocus());
}

// Tab goes from "Find a newspaper" to the tree and on into the page, whose
// first link takes the focus and shows it; Shift+Tab walks back, one stop
// at a time.
TEST_F(MainFrameTest, TabWalksFromTheFieldToTheTreeToThePageAndShiftTabBack)
{
    using lumo::test::PressKey;
    m_profile->Write(kIndexPage, IndexPage::Blank);
    MakeFrame();
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->WebView() != nullptr; }));
    WriteFile(m_dir.File("links.html"),
              "<html><head><title>Links</title></head><body>"
              "<a id='one' href='a.html'>One</a> <a id='two' href='b.html'>Two</a></body></html>");
    m_frame->HtmlView()->NavigateTo("file://" + m_dir.File("links.html"));
    ASSERT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Links - Lumo News Reader"; }));
    m_frame->Raise();
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive(); }));
    wxWindow* field = m_frame->DirectoryPane()->SearchField();
    CLeftView* tree = m_frame->LeftView();
    CLumoNewsReaderView* page = m_frame->HtmlView();
    const auto inTree = [&] {
        wxWindow* focus = wxWindow::FindFocus();
        return focus == tree || focus == tree->GetMainWindow();
    };
    // Where the page's focus is: the element, and whether the page shows it.
    const auto pageFocus = [&] {
        wxString active;
        page->WebView()->RunScript(
            "(function() { var e = document.activeElement; return e && e.id ? e.id + "
            "(e.matches(':focus-visible') ? ' shown' : ' hidden') : ''; })()",
            &active);
        return active;
    };
    // A round trip to the page: a key the engine hands back after it moved
    // the focus itself has come by the time the page answers.
    const auto pageAnswered = [&] { page->WebView()->RunScript("0"); };
    EXPECT_TRUE(inTree()); // the tree has the focus at start

    m_frame->DirectoryPane()->FocusSearch();
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == field; }));
    PressKey(XK_Tab);
    EXPECT_TRUE(WaitFor(inTree));
    PressKey(XK_Tab);
    EXPECT_TRUE(WaitFor([&] { return page->PageHasFocus() && pageFocus() == "one shown"; }))
        << pageFocus();
    PressKey(XK_Tab);
    EXPECT_TRUE(WaitFor([&] { return pageFocus() == "two shown"; })) << pageFocus();
    // Past the page's last link: round to the field, one step only.
    PressKey(XK_Tab);
    EXPECT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == field; }));
    pageAnswered();
    EXPECT_EQ(wxWindow::FindFocus(), field);

    // Back: into the page at its last link, then to the tree and the field.
    PressKey(XK_Tab, false, true);
    EXPECT_TRUE(WaitFor([&] { return page->PageHasFocus() && pageFocus() == "two shown"; }))
        << pageFocus();
    PressKey(XK_Tab, false, true);
    EXPECT_TRUE(WaitFor([&] { return pageFocus() == "one shown"; })) << pageFocus();
    PressKey(XK_Tab, false, true);
    EXPECT_TRUE(WaitFor(inTree));
    pageAnswered();
    EXPECT_TRUE(inTree());
    PressKey(XK_Tab, false, true);
    EXPECT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == field; }));
}

// The clipboard keys belong to the text field that has the focus: "Find a
// newspaper", the page's find bar and the fields of the dialogs.
TEST_F(MainFrameTest, TextFieldsTakeTheClipboardKeys)
{
    using lumo::test::PressKey;
    m_profile->Write(kIndexPage, IndexPage::Blank);
    MakeFrame();
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->WebView() != nullptr; }));
    WriteFile(m_dir.File("page.html"),
              "<html><head><title>Page</title></head><body>tribune</body></html>");
    m_frame->HtmlView()->NavigateTo("file://" + m_dir.File("page.html"));
    ASSERT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Page - Lumo News Reader"; }));
    m_frame->Raise();
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive(); }));
    const auto putOnClipboard = [](const wxString& text) {
        ASSERT_TRUE(wxTheClipboard->Open());
        wxTheClipboard->SetData(new wxTextDataObject(text));
        wxTheClipboard->Flush();
        wxTheClipboard->Close();
    };
    const auto clipboardText = [] {
        wxTextDataObject text;
        if (wxTheClipboard->Open()) {
            wxTheClipboard->GetData(text);
            wxTheClipboard->Close();
        }
        return text.GetText();
    };

    wxTextCtrl* search = m_frame->DirectoryPane()->SearchField();
    putOnClipboard("tribune");
    m_frame->DirectoryPane()->FocusSearch();
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == search; }));
    PressKey(XK_v, true);
    EXPECT_TRUE(WaitFor([&] { return search->GetValue() == "tribune"; })) << search->GetValue();
    EXPECT_TRUE(m_frame->LeftView()->IsFiltered());
    PressKey(XK_Insert, false, true);
    EXPECT_TRUE(WaitFor([&] { return search->GetValue() == "tribunetribune"; }))
        << search->GetValue();
    search->SetValue("herald");
    search->SelectAll();
    PressKey(XK_c, true);
    EXPECT_TRUE(WaitFor([&] { return clipboardText() == "herald"; })) << clipboardText();
    PressKey(XK_x, true);
    EXPECT_TRUE(WaitFor([&] { return search->IsEmpty(); })) << search->GetValue();

    // The find bar's field, although it sits in the page's pane.
    m_frame->HtmlView()->FocusPage();
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->PageHasFocus(); }));
    PressKey(XK_f, true);
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->FindBarShown(); }));
    wxTextCtrl* find = m_frame->HtmlView()->FindField();
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == find; }));
    PressKey(XK_v, true);
    EXPECT_TRUE(WaitFor([&] { return find->GetValue() == "herald"; })) << find->GetValue();

    // A dialog's field.
    auto* dialog = new CDlgCfgAddFavorite(m_frame, m_dir.File("Favorites.xml"));
    dialog->Show();
    dialog->NameCtrl()->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == dialog->NameCtrl(); }));
    PressKey(XK_Insert, false, true);
    EXPECT_TRUE(WaitFor([&] { return dialog->NameCtrl()->GetValue() == "herald"; }))
        << dialog->NameCtrl()->GetValue();
    dialog->Destroy();
}

// However long the count beside "Find a newspaper" reads, the field keeps
// the pane's width, and the count shows whole.
TEST_F(MainFrameTest, SearchFieldKeepsItsWidthWhateverTheCountSays)
{
    m_profile->Write(kIndexPage, IndexPage::Blank);
    MakeFrame();
    CDirectoryPane* pane = m_frame->DirectoryPane();
    wxTextCtrl* field = pane->SearchField();
    const int before = field->GetSize().x;
    EXPECT_GE(before, pane->GetClientSize().x - pane->FromDIP(8));
    for (const char* text : {"tribune", "zzzzzz"}) {
        field->SetValue(text);
        ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
        EXPECT_EQ(field->GetSize().x, before) << text;
        const wxRect count = pane->MatchCount()->GetRect();
        EXPECT_TRUE(pane->MatchCount()->IsShown()) << text;
        EXPECT_GE(count.width, pane->MatchCount()->GetBestSize().x) << text;
        EXPECT_LE(count.GetRight(), pane->GetClientSize().x) << text;
    }
    EXPECT_EQ(pane->MatchCount()->GetLabel(), "No newspaper matches");
}
