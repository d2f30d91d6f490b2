// The window's commands where a user looks for them, on a real frame with
// local pages and a real favorites file: the toolbar, the last entries of the
// menus with their keys, and a favorite's own changes in the tree.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <wx/app.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/splitter.h>
#include <wx/testing.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/toolbar.h>

#include "app/main_frame.h"
#include "app/tool_bar.h"
#include "app/view_commands.h"
#include "browser/core/web_address.h"
#include "browser/pane/browser_view.h"
#include "capturing_reporter.h"
#include "common/globals.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "content_filter/blocking_settings.h"
#include "directory/directory_pane.h"
#include "directory/left_view.h"
#include "favorites/dlg_cfg_add_favorite.h"
#include "favorites/favorite_edits.h"
#include "gui_test_support.h"
#include "local_web_server.h"
#include "main_frame_fixture.h"
#include "temp_dir.h"

using namespace lumo;
using lumo::test::ReadFile;
using lumo::test::WaitFor;
using lumo::test::WebResponse;
using lumo::test::WriteFile;

namespace {

// A dialog answered by `answer`, which returns the dialog's result.
template <class Dialog> class Answer : public wxExpectModalBase<Dialog, Answer<Dialog>>
{
public:
    explicit Answer(std::function<int(Dialog&)> answer) : m_answer(std::move(answer)) {}

protected:
    int OnInvoked(Dialog* dlg) const override { return m_answer(*dlg); }

private:
    std::function<int(Dialog&)> m_answer;
};

// The field asking for a new name or address: what it offers, what is typed.
Answer<wxTextEntryDialog> Typed(std::string offered, std::string typed)
{
    return Answer<wxTextEntryDialog>([=](wxTextEntryDialog& dlg) {
        EXPECT_EQ(dlg.GetValue().utf8_string(), offered);
        dlg.SetValue(wxString::FromUTF8(typed));
        return wxID_OK;
    });
}

class WindowCommandsTest : public lumo::test::MainFrameFixture
{
protected:
    // A new window, its start page loaded.
    void MakeFrame()
    {
        MainFrameFixture::MakeFrame();
        ASSERT_TRUE(WaitFor([&] { return Pane()->WebView() && !Pane()->IsLoading(); }));
    }

    CLumoNewsReaderView* Pane() const { return m_frame->HtmlView(); }

    bool Enabled(int id)
    {
        m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        wxToolBar* bar = m_frame->GetToolBar();
        return bar && bar->FindById(id) ? bar->GetToolEnabled(id)
                                        : m_frame->GetMenuBar()->IsEnabled(id);
    }

    bool Checked(int id)
    {
        m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        return m_frame->GetMenuBar()->IsChecked(id);
    }

    // Issued as a menu issues it.
    void Choose(int id)
    {
        ASSERT_TRUE(id == ToWxId(ID_VIEW_TOOLBAR) || Enabled(id)) << id;
        wxCommandEvent event(wxEVT_MENU, id);
        m_frame->ProcessWindowEvent(event);
    }

    void Open(const std::string& path, const std::string& title, const std::string& body = "")
    {
        m_server.Route(
            path,
            WebResponse{
                200, "text/html; charset=utf-8", "<title>" + title + "</title>" + body, {}, 0});
        Pane()->NavigateTo(m_server.Url(path));
        ASSERT_TRUE(WaitFor([&] {
            return m_frame->GetTitle() == title + " - Lumo News Reader" && !Pane()->IsLoading();
        })) << m_frame->GetTitle();
    }

    GtkWidget* ToolButton(int position)
    {
        GtkWidget* native = m_frame->GetToolBar()->GetHandle();
        while (GTK_IS_BIN(native))
            native = gtk_bin_get_child(GTK_BIN(native));
        return gtk_bin_get_child(GTK_BIN(gtk_toolbar_get_nth_item(GTK_TOOLBAR(native), position)));
    }

    lumo::test::LocalWebServer m_server;
};

} // namespace

TEST_F(WindowCommandsTest, ToolbarShowsHidesIsKeptAndItsButtonsActWhenTheyCan)
{
    MakeFrame();
    // Hidden at first start, as the window has always been.
    EXPECT_FALSE(m_frame->GetToolBar() && m_frame->GetToolBar()->IsShown());
    EXPECT_FALSE(Checked(ToWxId(ID_VIEW_TOOLBAR)));

    Choose(ToWxId(ID_VIEW_TOOLBAR));
    wxToolBar* bar = m_frame->GetToolBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(Checked(ToWxId(ID_VIEW_TOOLBAR)));
    EXPECT_EQ(m_profile->GetProfileInt(kToolbarSection, kToolbarShownKey, -1), 1);
    EXPECT_TRUE(WaitFor([&] { // under the menu bar, above the panes
        return bar->IsShownOnScreen() &&
               bar->GetScreenRect().GetBottom() < m_frame->Splitter()->GetScreenRect().GetTop();
    }));
    // Each button's name for a screen reader, and its tooltip with the key.
    const std::vector<std::pair<std::string, std::string>> tools = {
        {"Back", "Back (Alt+Left)"},
        {"Forward", "Forward (Alt+Right)"},
        {"Reload", "Reload (F5)"},
        {"Home", "Home"},
        {"", ""},
        {"Reader view", "Reader view (F9)"},
        {"Zoom out", "Zoom out (Ctrl+-)"},
        {"Zoom in", "Zoom in (Ctrl++)"},
        {"Find in page", "Find in page (Ctrl+F)"}};
    ASSERT_EQ(bar->GetToolsCount(), tools.size());
    for (size_t i = 0; i < tools.size(); ++i) {
        EXPECT_EQ(bar->GetToolByPos(i)->IsSeparator(), tools[i].first.empty());
        if (tools[i].first.empty())
            continue;
        EXPECT_EQ(bar->GetToolByPos(i)->GetShortHelp().utf8_string(), tools[i].second);
        EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(ToolButton(i))),
                     tools[i].first.c_str());
    }

    // The start page: nowhere to go back or forward to, no article to read.
    for (int id : {ID_TOOL_BACK, ID_TOOL_FORWARD, ID_READER_VIEW})
        EXPECT_FALSE(Enabled(id)) << id;
    for (int id : {ID_PAGE_RELOAD_OR_STOP, ID_TOOL_HOME, ID_ZOOM_OUT, ID_ZOOM_IN, ID_FIND_IN_PAGE})
        EXPECT_TRUE(Enabled(id)) << id;
    Open("/a.html", "Page A");
    Open("/b.html", "Page B");
    EXPECT_TRUE(Enabled(ID_TOOL_BACK));
    EXPECT_FALSE(Enabled(ID_TOOL_FORWARD));

    // A click on Back goes back; Forward then can act.
    m_frame->Raise();
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive(); }));
    GtkAllocation area;
    gtk_widget_get_allocation(ToolButton(0), &area);
    gint x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(ToolButton(0)), &x, &y);
    ASSERT_TRUE(lumo::test::ClickAt({x + area.x + area.width / 2, y + area.y + area.height / 2}));
    EXPECT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Page A - Lumo News Reader"; }));
    EXPECT_TRUE(WaitFor([&] { return Enabled(ID_TOOL_FORWARD); }));

    // Hidden again, and the choice kept for the next start, in a group of its own.
    Choose(ToWxId(ID_VIEW_TOOLBAR));
    EXPECT_FALSE(bar->IsShown());
    EXPECT_FALSE(Checked(ToWxId(ID_VIEW_TOOLBAR)));
    MakeFrame();
    EXPECT_FALSE(m_frame->GetToolBar() && m_frame->GetToolBar()->IsShown());
    Choose(ToWxId(ID_VIEW_TOOLBAR));
    MakeFrame();
    EXPECT_TRUE(m_frame->GetToolBar() && m_frame->GetToolBar()->IsShown());
    EXPECT_EQ(m_profile->GetProfileInt(kSettingsSection, kToolbarShownKey, -1), -1);
}

TEST_F(WindowCommandsTest, MenusEndWithTheNewCommandsAndTheirKeys)
{
    MakeFrame();
    // After a separator, the key shown beside the text but not made an
    // accelerator of the menu.
    struct Entry
    {
        int id;
        const char* label;
        const char* key; // as the menu shows it
    };
    const std::vector<std::pair<std::string, std::vector<Entry>>> added = {
        {"&View",
         {{ID_ZOOM_IN, "Zoom In", "Ctrl++"},
          {ID_ZOOM_OUT, "Zoom Out", "Ctrl+-"},
          {ID_ZOOM_ACTUAL, "Actual Size", "Ctrl+0"},
          {ID_FIND_IN_PAGE, "Find in Page\u2026", "Ctrl+F"},
          {ID_READER_VIEW, "Reader View", "F9"},
          {ID_FIND_NEWSPAPER, "Find a Newspaper", "Ctrl+E"},
          {ID_BLOCK_ADS, "Block Ads and Trackers", ""},
          {ID_BUILT_IN_FILTER_LISTS, "Use Built-in Ad and Tracker Lists", ""}}},
        {"&Browse",
         {{ID_PAGE_RELOAD, "Reload", "F5"},
          {ID_PAGE_STOP, "Stop", "Escape"},
          {ID_OPEN_IN_WEB_BROWSER, "Open in Web Browser", ""}}},
        {"Favorites", {{ID_ADD_THIS_PAGE, "Add This Page\u2026", "Ctrl+D"}}},
    };
    wxMenuBar* bar = m_frame->GetMenuBar();
    for (const auto& [title, entries] : added) {
        wxMenu* menu = bar->GetMenu(bar->FindMenu(title));
        const size_t first = menu->GetMenuItemCount() - entries.size();
        EXPECT_TRUE(menu->FindItemByPosition(first - 1)->IsSeparator()) << title;
        for (size_t i = 0; i < entries.size(); ++i) {
            wxMenuItem* item = menu->FindItemByPosition(first + i);
            EXPECT_EQ(item->GetId(), entries[i].id);
            EXPECT_EQ(item->GetItemLabel().utf8_string(), entries[i].label);
            EXPECT_EQ(item->GetAccel(), nullptr) << entries[i].label;
            guint keyval = 0;
            GdkModifierType modifiers = GdkModifierType(0);
            gtk_accel_label_get_accel(
                GTK_ACCEL_LABEL(gtk_bin_get_child(GTK_BIN(item->GetMenuItem()))), &keyval,
                &modifiers);
            gchar* shown = keyval ? gtk_accelerator_get_label(keyval, modifiers) : g_strdup("");
            EXPECT_STREQ(shown, entries[i].key);
            g_free(shown);
        }
    }

    // Ads and trackers are blocked until the user turns it off, in a group
    // of the program's own, read again by a new window.
    EXPECT_TRUE(Checked(ID_BLOCK_ADS));
    Choose(ID_BLOCK_ADS);
    EXPECT_FALSE(Checked(ID_BLOCK_ADS));
    EXPECT_EQ(m_profile->GetProfileInt(content_filter::kBlockingSection,
                                       content_filter::kBlockingEnabledKey, -1),
              0);
    MakeFrame();
    EXPECT_FALSE(Checked(ID_BLOCK_ADS));
    Choose(ID_BLOCK_ADS);
    EXPECT_TRUE(Checked(ID_BLOCK_ADS));

    // Each issues its command, when it can act.
    for (int id : {ID_PAGE_STOP, ID_READER_VIEW, ID_OPEN_IN_WEB_BROWSER, ID_ZOOM_ACTUAL})
        EXPECT_FALSE(Enabled(id)) << id;
    Open("/front.html", "Front");
    Choose(ID_ZOOM_IN);
    EXPECT_EQ(Pane()->ZoomPercent(), 110);
    Choose(ID_ZOOM_OUT);
    Choose(ID_ZOOM_OUT);
    EXPECT_EQ(Pane()->ZoomPercent(), 90);
    Choose(ID_ZOOM_ACTUAL);
    EXPECT_EQ(Pane()->ZoomPercent(), 100);
    Choose(ID_FIND_IN_PAGE);
    EXPECT_TRUE(Pane()->FindBarShown());
    Choose(ID_FIND_NEWSPAPER);
    EXPECT_TRUE(
        WaitFor([&] { return wxWindow::FindFocus() == m_frame->DirectoryPane()->SearchField(); }));
    Choose(ID_PAGE_RELOAD);
    EXPECT_TRUE(WaitFor([&] {
        const std::vector<std::string> asked = m_server.Requests();
        return std::count(asked.begin(), asked.end(), "/front.html") == 2 && !Pane()->IsLoading();
    }));
    Choose(ID_OPEN_IN_WEB_BROWSER);
    EXPECT_EQ(m_urls.opened, std::vector<std::string>{m_server.Url("/front.html")});
    wxTEST_DIALOG(
        Choose(ID_ADD_THIS_PAGE), Answer<CDlgCfgAddFavorite>([&](CDlgCfgAddFavorite& dlg) {
            EXPECT_EQ(dlg.URLCtrl()->GetValue().utf8_string(), m_server.Url("/front.html"));
            return wxID_CANCEL;
        }));

    m_server.Route("/slow.html", WebResponse{200, "text/html", "<title>Slow</title>", {}, 10000});
    Pane()->NavigateTo(m_server.Url("/slow.html"));
    ASSERT_TRUE(WaitFor([&] { return Enabled(ID_PAGE_STOP); }));
    Choose(ID_PAGE_STOP);
    EXPECT_TRUE(WaitFor([&] { return !Pane()->IsLoading(); }));

    std::string article = "<main><article><h1>Bridge reopens</h1>";
    for (int i = 1; i <= 8; ++i)
        article += "<p>Paragraph " + std::to_string(i) +
                   " of the report: the harbour bridge carried its first cars in eight months "
                   "on Tuesday morning, after engineers replaced the worn cables and the "
                   "council inspected the deck, the railings and the lights of the span.</p>";
    Open("/article.html", "Bridge reopens", article + "</article></main>");
    ASSERT_TRUE(WaitFor([&] { return Enabled(ID_READER_VIEW); }));
    Choose(ID_READER_VIEW);
    EXPECT_TRUE(WaitFor([&] { return Pane()->ReaderShown(); }));
}

TEST_F(WindowCommandsTest, FavoriteIsRenamedReaddressedAndRemovedInTheFileAndTheTreeAtOnce)
{
    using Command = CLeftView::PaperCommand;
    const std::string path = m_dir.File("Favorites.xml");
    const auto file = [](const std::string& second) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n  <!-- kept -->\n"
               "  <Favorite><title>Alpha</title><url>https://a.example/</url></Favorite>\n"
               "  <Favorite>" +
               second + "</Favorite>\n</Favorites>\n";
    };
    WriteFile(path, file("<title>Beta</title><url>https://b.example/</url>"));
    m_profile->Write(kIndexPage, IndexPage::Blank);
    MakeFrame();
    CLeftView* tree = m_frame->LeftView();
    const auto row = [&](const std::string& name) {
        for (CLeftView::Item item = 1; item <= tree->Items().GetCount(); ++item)
            if (tree->Items().GetItemText(item) == name &&
                tree->Items().GetItemText(tree->Items().GetParent(item)) == kMyFavoritesBranch)
                return item;
        return DirectoryTree::kTop;
    };
    const auto address = [&](const std::string& name) {
        return tree->URLTable().at(tree->Items().GetItemData(row(name)));
    };
    EXPECT_EQ(tree->PaperCommands(row("Beta")).back(), Command::Remove);
    tree->Select(CLeftView::ToViewItem(row("Beta")));

    // Renamed in place, trimmed, and still the selected row; then readdressed.
    wxTEST_DIALOG(EXPECT_TRUE(tree->RunPaperCommand(Command::Rename, row("Beta"))),
                  Typed("Beta", "  Gamma "));
    EXPECT_EQ(ReadFile(path), file("<title>Gamma</title><url>https://b.example/</url>"));
    EXPECT_EQ(CLeftView::ToItem(tree->GetSelection()), row("Gamma"));
    wxTEST_DIALOG(EXPECT_TRUE(tree->RunPaperCommand(Command::ChangeAddress, row("Gamma"))),
                  Typed("https://b.example/", "https://a.example/"));
    EXPECT_EQ(address("Gamma"), "https://a.example/");
    EXPECT_EQ(m_reporter.messages, (std::vector<std::string>{kMsgSuccessfully, kMsgSuccessfully}));

    // The dialogs' rules, and nothing written: no second entry with the same
    // pair, the length limit, no script address, no empty name.
    m_reporter.messages.clear();
    const std::string before = ReadFile(path);
    for (const auto& [command, offered, typed] :
         std::vector<std::tuple<Command, std::string, std::string>>{
             {Command::Rename, "Gamma", "Alpha"},
             {Command::Rename, "Gamma", std::string(kMaxFavoriteTextLength + 1, 'x')},
             {Command::ChangeAddress, "https://a.example/", "javascript:alert(1)"},
             {Command::Rename, "Gamma", "  "}})
        wxTEST_DIALOG(EXPECT_FALSE(tree->RunPaperCommand(command, row("Gamma"))),
                      Typed(offered, typed));
    EXPECT_EQ(m_reporter.messages,
              (std::vector<std::string>{kMsgSameContentExists, kMsgTextTooLong,
                                        kMsgRefusedFavoriteAddress, kMsgFavoriteNeedsName}));
    EXPECT_EQ(ReadFile(path), before);

    // Removed after the dialogs' question (No keeps it).
    wxTEST_DIALOG(EXPECT_FALSE(tree->RunPaperCommand(Command::Remove, row("Gamma"))),
                  wxExpectModal<wxMessageDialog>(wxID_NO));
    wxTEST_DIALOG(EXPECT_TRUE(tree->RunPaperCommand(Command::Remove, row("Gamma"))),
                  wxExpectModal<wxMessageDialog>(wxID_YES));
    EXPECT_EQ(ReadFile(path).find("Gamma"), std::string::npos);
    EXPECT_EQ(row("Gamma"), DirectoryTree::kTop);

    // Another program changed the file meanwhile: nothing is written, the
    // user is told, and the tree shows the file as it is now.
    const std::string theirs =
        "<Favorites><Favorite><title>Alpha</title><url>https://o.example/</url></Favorite>"
        "</Favorites>\n";
    WriteFile(path, theirs);
    m_reporter.messages.clear();
    wxTEST_DIALOG(EXPECT_TRUE(tree->RunPaperCommand(Command::Rename, row("Alpha"))),
                  Typed("Alpha", "Delta"));
    EXPECT_EQ(ReadFile(path), theirs);
    EXPECT_EQ(m_reporter.messages,
              std::vector<std::string>{std::string("\u201cAlpha\u201d") + kMsgFavoriteGoneSuffix});
    EXPECT_EQ(address("Alpha"), "https://o.example/");
}
