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
#include <wx/webview.h>

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
#include "ui/gdk_keys.h"
#include "ui/key_map.h"

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

    // A real click on the button of a command.
    void ClickTool(int id)
    {
        m_frame->Raise();
        ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive() && Enabled(id); })) << id;
        GtkWidget* button = ToolButton(m_frame->GetToolBar()->GetToolPos(id));
        GtkAllocation area;
        gtk_widget_get_allocation(button, &area);
        gint x = 0, y = 0;
        gdk_window_get_origin(gtk_widget_get_window(button), &x, &y);
        ASSERT_TRUE(
            lumo::test::ClickAt({x + area.x + area.width / 2, y + area.y + area.height / 2}));
    }

    int Requested(const std::string& path)
    {
        const std::vector<std::string> asked = m_server.Requests();
        return static_cast<int>(std::count(asked.begin(), asked.end(), path));
    }

    // A page the reader view takes for an article.
    static std::string Article()
    {
        std::string article = "<main><article><h1>Bridge reopens</h1>";
        for (int i = 1; i <= 8; ++i)
            article += "<p>Paragraph " + std::to_string(i) +
                       " of the report: the harbour bridge carried its first cars in eight "
                       "months on Tuesday morning, after engineers replaced the worn cables and "
                       "the council inspected the deck, the railings and the lights of the "
                       "span.</p>";
        return article + "</article></main>";
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
    EXPECT_EQ(m_profile->GetProfileInt(kToolbarShown.section, kToolbarShown.key, -1), 1);
    EXPECT_TRUE(WaitFor([&] { // under the menu bar, above the panes
        return bar->IsShownOnScreen() &&
               bar->GetScreenRect().GetBottom() < m_frame->Splitter()->GetScreenRect().GetTop();
    }));
    // Each button has a name for a screen reader, the one its tooltip
    // begins with.
    ASSERT_GT(bar->GetToolsCount(), 0u);
    for (size_t i = 0; i < bar->GetToolsCount(); ++i) {
        if (bar->GetToolByPos(i)->IsSeparator())
            continue;
        const std::string name = atk_object_get_name(gtk_widget_get_accessible(ToolButton(i)));
        EXPECT_FALSE(name.empty()) << i;
        EXPECT_TRUE(bar->GetToolByPos(i)->GetShortHelp().utf8_string().starts_with(name)) << name;
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

    // Every button acts when clicked.
    ClickTool(ID_TOOL_FORWARD);
    EXPECT_TRUE(WaitFor([&] { return m_frame->GetTitle() == "Page B - Lumo News Reader"; }));
    ClickTool(ID_PAGE_RELOAD_OR_STOP);
    EXPECT_TRUE(WaitFor([&] { return Requested("/b.html") == 2 && !Pane()->IsLoading(); }));
    ClickTool(ID_ZOOM_IN);
    EXPECT_TRUE(WaitFor([&] { return Pane()->ZoomPercent() == 110; }));
    ClickTool(ID_ZOOM_OUT);
    EXPECT_TRUE(WaitFor([&] { return Pane()->ZoomPercent() == 100; }));
    ClickTool(ID_FIND_IN_PAGE);
    EXPECT_TRUE(WaitFor([&] { return Pane()->FindBarShown(); }));
    Open("/article.html", "Bridge reopens", Article());
    ASSERT_TRUE(WaitFor([&] { return Enabled(ID_READER_VIEW); }));
    ClickTool(ID_READER_VIEW);
    EXPECT_TRUE(WaitFor([&] { return Pane()->ReaderShown(); }));
    ClickTool(ID_TOOL_HOME);
    EXPECT_TRUE(WaitFor([&] { return Pane()->PageAddress() == kProductStartPage; }));

    // Hidden again, and the choice kept for the next start, in a group of its own.
    Choose(ToWxId(ID_VIEW_TOOLBAR));
    EXPECT_FALSE(bar->IsShown());
    EXPECT_FALSE(Checked(ToWxId(ID_VIEW_TOOLBAR)));
    MakeFrame();
    EXPECT_FALSE(m_frame->GetToolBar() && m_frame->GetToolBar()->IsShown());
    Choose(ToWxId(ID_VIEW_TOOLBAR));
    MakeFrame();
    EXPECT_TRUE(m_frame->GetToolBar() && m_frame->GetToolBar()->IsShown());
    EXPECT_EQ(m_profile->GetProfileInt(kSettingsSection, kToolbarShown.key, -1), -1);
}

// The key shown beside a menu item (the menus' texts are the main frame
// test's) is a key that runs the item's command.
TEST_F(WindowCommandsTest, MenuItemsShowTheKeysThatRunThem)
{
    MakeFrame();
    int shown = 0;
    wxMenuBar* bar = m_frame->GetMenuBar();
    for (size_t m = 0; m < bar->GetMenuCount(); ++m)
        for (wxMenuItem* item : bar->GetMenu(m)->GetMenuItems()) {
            if (item->IsSeparator())
                continue;
            guint keyval = 0;
            GdkModifierType modifiers = GdkModifierType(0);
            GtkWidget* label = gtk_bin_get_child(GTK_BIN(item->GetMenuItem()));
            if (GTK_IS_ACCEL_LABEL(label))
                gtk_accel_label_get_accel(GTK_ACCEL_LABEL(label), &keyval, &modifiers);
            if (!keyval)
                continue;
            ++shown;
            // The key as the window receives it.
            KeyStroke press;
            press.modifiers = WxModifiersOf(modifiers);
            press.code = keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12
                             ? WXK_F1 + int(keyval - GDK_KEY_F1)
                         : keyval == GDK_KEY_Escape
                             ? WXK_ESCAPE
                             : int(gdk_keyval_to_unicode(gdk_keyval_to_upper(keyval)));
            press.character = int(gdk_keyval_to_unicode(keyval));
            std::vector<int> runs;
            for (KeyCommand meaning : KeyMeanings(press, KeyPlace::Page))
                runs.push_back(CommandIdOf(meaning));
            EXPECT_NE(std::find(runs.begin(), runs.end(), item->GetId()), runs.end())
                << item->GetItemLabel();
        }
    EXPECT_GT(shown, 0);
}

TEST_F(WindowCommandsTest, MenusEndWithTheNewCommandsThatActWhenTheyCan)
{
    MakeFrame();
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
    EXPECT_TRUE(WaitFor([&] { return Requested("/front.html") == 2 && !Pane()->IsLoading(); }));
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

    Open("/article.html", "Bridge reopens", Article());
    ASSERT_TRUE(WaitFor([&] { return Enabled(ID_READER_VIEW); }));
    Choose(ID_READER_VIEW);
    EXPECT_TRUE(WaitFor([&] { return Pane()->ReaderShown(); }));
}

// Add This Page and Open in Web Browser take the page on screen, also after
// a link led away from the paper the tree opened.
TEST_F(WindowCommandsTest, PageCommandsTakeThePageOnScreenAfterALinkWasFollowed)
{
    MakeFrame();
    m_server.Route(
        "/article.html",
        WebResponse{200, "text/html; charset=utf-8", "<title>Bridge reopens</title>text", {}, 0});
    Open("/front.html", "Front Page",
         "<a id='story' href='" + m_server.Url("/article.html") + "'>Bridge reopens</a>");
    Pane()->WebView()->RunScript("document.getElementById('story').click()");
    ASSERT_TRUE(WaitFor([&] {
        return m_frame->GetTitle() == "Bridge reopens - Lumo News Reader" && !Pane()->IsLoading();
    }));

    wxTEST_DIALOG(
        Choose(ID_ADD_THIS_PAGE), Answer<CDlgCfgAddFavorite>([&](CDlgCfgAddFavorite& dlg) {
            EXPECT_EQ(dlg.NameCtrl()->GetValue().utf8_string(), "Bridge reopens");
            EXPECT_EQ(dlg.URLCtrl()->GetValue().utf8_string(), m_server.Url("/article.html"));
            return wxID_CANCEL;
        }));
    Choose(ID_OPEN_IN_WEB_BROWSER);
    EXPECT_EQ(m_urls.opened, std::vector<std::string>{m_server.Url("/article.html")});
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
    const std::vector<Command> offered = tree->PaperCommands(row("Beta"));
    ASSERT_GE(offered.size(), 4u);
    EXPECT_EQ(std::vector<Command>(offered.end() - 4, offered.end()),
              (std::vector<Command>{Command::Rename, Command::ChangeAddress, Command::Remove,
                                    Command::HeadlinesFeed}));
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

    // Removed after a question that names it (No keeps it).
    const auto answer = [](int button) {
        return Answer<wxMessageDialog>([button](wxMessageDialog& box) {
            EXPECT_EQ(box.GetMessage().utf8_string(), "Remove \"Gamma\" from My Favorites?");
            return button;
        });
    };
    wxTEST_DIALOG(EXPECT_FALSE(tree->RunPaperCommand(Command::Remove, row("Gamma"))),
                  answer(wxID_NO));
    wxTEST_DIALOG(EXPECT_TRUE(tree->RunPaperCommand(Command::Remove, row("Gamma"))),
                  answer(wxID_YES));
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
