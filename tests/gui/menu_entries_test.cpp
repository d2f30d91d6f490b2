// The commands of the pane and the tree at the end of the View, Browse and
// Favorites menus: their keys shown, enabled when they can act, each doing
// what it says, on a real frame with local pages.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/menu.h>
#include <wx/testing.h>
#include <wx/textctrl.h>

#include "app/globals.h"
#include "app/main_frame.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/view_commands.h"
#include "browser/browser_view.h"
#include "capturing_reporter.h"
#include "directory/directory_pane.h"
#include "favorites/dlg_cfg_add_favorite.h"
#include "gui_test_support.h"
#include "local_web_server.h"
#include "temp_dir.h"

using namespace lumo;
using lumo::test::WaitFor;
using lumo::test::WebResponse;

namespace {

struct Entry
{
    int id;
    const char* label;
    const char* key; // as the menu shows it, or "" for none
};

class ExpectAddPage : public wxExpectModalBase<CDlgCfgAddFavorite, ExpectAddPage>
{
public:
    explicit ExpectAddPage(std::vector<std::string>& seen) : m_seen(seen) {}

protected:
    int OnInvoked(CDlgCfgAddFavorite* dlg) const override
    {
        m_seen = {dlg->NameCtrl()->GetValue().utf8_string(),
                  dlg->URLCtrl()->GetValue().utf8_string()};
        return wxID_CANCEL;
    }

private:
    std::vector<std::string>& m_seen;
};

class MenuEntriesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_settings = OpenSettingsFile(m_dir.File("settings/LumoNewsReader.conf"));
        m_profile = std::make_unique<ProfileStore>(*m_settings);
        g_strAppDir = m_dir.Path();
        m_profile->Write(kIndexPage, 1);
        m_frame = new CMainFrame(*m_profile, m_reporter);
        ASSERT_TRUE(m_frame->Create());
        m_frame->InitialUpdate();
        m_frame->Show();
        ASSERT_TRUE(WaitFor([&] { return Pane()->WebView() != nullptr; }));
    }

    void TearDown() override
    {
        delete m_frame;
        wxTheApp->ProcessPendingEvents();
    }

    CLumoNewsReaderView* Pane() const { return m_frame->HtmlView(); }

    bool Enabled(int id)
    {
        m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        return m_frame->GetMenuBar()->IsEnabled(id);
    }

    void Choose(int id)
    {
        ASSERT_TRUE(Enabled(id)) << id;
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(m_frame->GetMenuBar()->FindItem(id)->GetMenu());
        m_frame->ProcessWindowEvent(event);
    }

    void Open(const std::string& path, const std::string& title)
    {
        Pane()->NavigateTo(m_server.Url(path));
        ASSERT_TRUE(WaitFor([&] {
            return m_frame->GetTitle() == title + " - Lumo News Reader" && !Pane()->IsLoading();
        })) << m_frame->GetTitle();
    }

    size_t Requests(const std::string& path)
    {
        size_t count = 0;
        for (const std::string& request : m_server.Requests())
            count += request == path;
        return count;
    }

    lumo::test::TempDir m_dir;
    SettingsFile m_settings;
    std::unique_ptr<ProfileStore> m_profile;
    lumo::test::CapturingReporter m_reporter;
    CMainFrame* m_frame = nullptr;
    lumo::test::RecordedUrlOpens m_urls;
    lumo::test::LocalWebServer m_server;
};

} // namespace

TEST_F(MenuEntriesTest, NewEntriesShowTheirKeysAndIssueTheirCommands)
{
    // At the end of their menus, after a separator, with the key shown
    // beside the text but not made an accelerator of the menu.
    const std::vector<std::pair<std::string, std::vector<Entry>>> added = {
        {"&View",
         {{ID_ZOOM_IN, "Zoom In", "Ctrl++"},
          {ID_ZOOM_OUT, "Zoom Out", "Ctrl+-"},
          {ID_ZOOM_ACTUAL, "Actual Size", "Ctrl+0"},
          {ID_FIND_IN_PAGE, "Find in Page\u2026", "Ctrl+F"},
          {ID_READER_VIEW, "Reader View", "F9"},
          {ID_FIND_NEWSPAPER, "Find a Newspaper", "Ctrl+E"}}},
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

    // Nothing to stop, no article, no web page to hand on: those wait.
    for (int id : {ID_PAGE_STOP, ID_READER_VIEW, ID_OPEN_IN_WEB_BROWSER})
        EXPECT_FALSE(Enabled(id)) << id;

    m_server.Route(
        "/front.html",
        WebResponse{
            200, "text/html; charset=utf-8", "<title>Front</title><p>Front page</p>", {}, 0});
    Open("/front.html", "Front");
    Choose(ID_ZOOM_IN);
    EXPECT_EQ(Pane()->ZoomPercent(), 110);
    Choose(ID_ZOOM_OUT);
    Choose(ID_ZOOM_OUT);
    EXPECT_EQ(Pane()->ZoomPercent(), 90);
    Choose(ID_ZOOM_ACTUAL);
    EXPECT_EQ(Pane()->ZoomPercent(), 100);
    EXPECT_FALSE(Enabled(ID_ZOOM_ACTUAL));

    Choose(ID_FIND_IN_PAGE);
    EXPECT_TRUE(Pane()->FindBarShown());
    Choose(ID_FIND_NEWSPAPER);
    EXPECT_TRUE(
        WaitFor([&] { return wxWindow::FindFocus() == m_frame->DirectoryPane()->SearchField(); }));

    Choose(ID_PAGE_RELOAD);
    EXPECT_TRUE(WaitFor([&] { return Requests("/front.html") == 2 && !Pane()->IsLoading(); }));
    Choose(ID_OPEN_IN_WEB_BROWSER);
    EXPECT_EQ(m_urls.opened, std::vector<std::string>{m_server.Url("/front.html")});
    std::vector<std::string> seen;
    wxTEST_DIALOG(Choose(ID_ADD_THIS_PAGE), ExpectAddPage(seen));
    EXPECT_EQ(seen, (std::vector<std::string>{"Front", m_server.Url("/front.html")}));

    // Stop while a page is on its way.
    m_server.Route("/slow.html",
                   WebResponse{200, "text/html; charset=utf-8", "<title>Slow</title>", {}, 10000});
    Pane()->NavigateTo(m_server.Url("/slow.html"));
    ASSERT_TRUE(WaitFor([&] { return Enabled(ID_PAGE_STOP); }));
    Choose(ID_PAGE_STOP);
    EXPECT_TRUE(WaitFor([&] { return !Pane()->IsLoading(); }));
    EXPECT_FALSE(Enabled(ID_PAGE_STOP));

    // An article offers the reader view, which the entry shows.
    std::string article = "<!DOCTYPE html><html lang='en'><head><title>Bridge reopens</title>"
                          "</head><body><main><article><h1>Bridge reopens</h1>";
    for (int i = 1; i <= 8; ++i)
        article += "<p>Paragraph " + std::to_string(i) +
                   " of the report: the harbour bridge carried its first cars in eight months "
                   "on Tuesday morning, after engineers replaced the worn cables and the "
                   "council inspected the deck, the railings and the lights of the span.</p>";
    m_server.Route(
        "/article.html",
        WebResponse{
            200, "text/html; charset=utf-8", article + "</article></main></body></html>", {}, 0});
    Open("/article.html", "Bridge reopens");
    ASSERT_TRUE(WaitFor([&] { return Enabled(ID_READER_VIEW); }));
    Choose(ID_READER_VIEW);
    EXPECT_TRUE(WaitFor([&] { return Pane()->ReaderShown(); }));
}
