// The toolbar of the main frame, with its real panes, on temporary settings.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/menu.h>
#include <wx/splitter.h>
#include <wx/toolbar.h>
#include <wx/webview.h>

#include "app/globals.h"
#include "app/main_frame.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/tool_bar.h"
#include "app/view_commands.h"
#include "browser/browser_view.h"
#include "capturing_reporter.h"
#include "gui_test_support.h"
#include "temp_dir.h"
#include "ui/accessibility.h"

using namespace lumo;
using lumo::test::TempDir;
using lumo::test::WaitFor;
using lumo::test::WriteFile;

namespace {

class ToolBarTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_settings = OpenSettingsFile(m_dir.File("settings/LumoNewsReader.conf"));
        m_profile = std::make_unique<ProfileStore>(*m_settings);
        g_strAppDir = m_dir.Path();
    }

    void TearDown() override { DestroyFrame(); }

    void MakeFrame()
    {
        DestroyFrame();
        m_frame = new CMainFrame(*m_profile, m_reporter);
        ASSERT_TRUE(m_frame->Create());
        m_frame->InitialUpdate();
        m_frame->Show();
        lumo::test::Settle();
    }

    void DestroyFrame()
    {
        delete m_frame;
        m_frame = nullptr;
        wxTheApp->ProcessPendingEvents();
    }

    void ToggleToolbar()
    {
        wxCommandEvent event(wxEVT_MENU, ToWxId(ID_VIEW_TOOLBAR));
        event.SetEventObject(m_frame);
        m_frame->ProcessWindowEvent(event);
    }

    bool MenuChecked()
    {
        m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        return m_frame->GetMenuBar()->IsChecked(ToWxId(ID_VIEW_TOOLBAR));
    }

    // Which tools are enabled, in the toolbar's order (separators left out).
    std::vector<bool> Enabled()
    {
        m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        std::vector<bool> enabled;
        wxToolBar* bar = m_frame->GetToolBar();
        for (size_t i = 0; i < bar->GetToolsCount(); ++i)
            if (!bar->GetToolByPos(i)->IsSeparator())
                enabled.push_back(bar->GetToolByPos(i)->IsEnabled());
        return enabled;
    }

    GtkWidget* ToolButton(int position)
    {
        GtkWidget* native = m_frame->GetToolBar()->GetHandle();
        while (GTK_IS_BIN(native))
            native = gtk_bin_get_child(GTK_BIN(native));
        GtkToolItem* item = gtk_toolbar_get_nth_item(GTK_TOOLBAR(native), position);
        return item ? gtk_bin_get_child(GTK_BIN(item)) : nullptr;
    }

    bool Click(int position)
    {
        GtkWidget* button = ToolButton(position);
        GtkAllocation area;
        gtk_widget_get_allocation(button, &area);
        gint x = 0, y = 0;
        gdk_window_get_origin(gtk_widget_get_window(button), &x, &y);
        return lumo::test::ClickAt(
            wxPoint(x + area.x + area.width / 2, y + area.y + area.height / 2));
    }

    bool Shows(const std::string& title)
    {
        return WaitFor([&] { return m_frame->GetTitle() == title + " - Lumo News Reader"; });
    }

    TempDir m_dir;
    SettingsFile m_settings;
    std::unique_ptr<ProfileStore> m_profile;
    lumo::test::CapturingReporter m_reporter;
    CMainFrame* m_frame = nullptr;
    lumo::test::RecordedUrlOpens m_urls;
};

} // namespace

TEST_F(ToolBarTest, ShowsHidesIsKeptAndItsButtonsActWhenTheyCan)
{
    MakeFrame();
    // Hidden at first start, as the window has always been.
    EXPECT_FALSE(m_frame->GetToolBar() && m_frame->GetToolBar()->IsShown());
    EXPECT_FALSE(MenuChecked());

    ToggleToolbar();
    wxToolBar* bar = m_frame->GetToolBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->IsShownOnScreen());
    EXPECT_TRUE(MenuChecked());
    EXPECT_EQ(m_profile->GetProfileInt(kToolbarSection, kToolbarShownKey, -1), 1);
    // Under the menu bar, above the panes.
    EXPECT_TRUE(WaitFor([&] {
        return bar->GetScreenRect().GetBottom() < m_frame->Splitter()->GetScreenRect().GetTop();
    }));
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
        const wxToolBarToolBase* tool = bar->GetToolByPos(i);
        if (tools[i].first.empty()) {
            EXPECT_TRUE(tool->IsSeparator());
            continue;
        }
        EXPECT_EQ(tool->GetShortHelp().utf8_string(), tools[i].second);
        EXPECT_TRUE(tool->GetNormalBitmap().IsOk());
        EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(ToolButton(i))),
                     tools[i].first.c_str());
    }

    // The start page: nowhere to go back or forward to, no article to read.
    ASSERT_TRUE(WaitFor([&] { return m_frame->HtmlView()->WebView() != nullptr; }));
    ASSERT_TRUE(WaitFor([&] { return !m_frame->HtmlView()->IsLoading(); }));
    EXPECT_EQ(Enabled(), (std::vector<bool>{false, false, true, true, false, true, true, true}));

    WriteFile(m_dir.File("a.html"), "<html><head><title>Page A</title></head></html>");
    WriteFile(m_dir.File("b.html"), "<html><head><title>Page B</title></head></html>");
    m_frame->HtmlView()->NavigateTo("file://" + m_dir.File("a.html"));
    ASSERT_TRUE(Shows("Page A"));
    m_frame->HtmlView()->NavigateTo("file://" + m_dir.File("b.html"));
    ASSERT_TRUE(Shows("Page B"));
    ASSERT_TRUE(WaitFor([&] { return Enabled()[0]; }));
    EXPECT_FALSE(Enabled()[1]);

    // A click on Back goes back; Forward then can act.
    m_frame->Raise();
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive(); }));
    ASSERT_TRUE(Click(0));
    EXPECT_TRUE(Shows("Page A")) << m_frame->GetTitle();
    EXPECT_TRUE(WaitFor([&] { return Enabled()[1]; }));

    // Hidden again, and the choice kept for the next start.
    ToggleToolbar();
    EXPECT_FALSE(bar->IsShown());
    EXPECT_FALSE(MenuChecked());
    EXPECT_EQ(m_profile->GetProfileInt(kToolbarSection, kToolbarShownKey, -1), 0);
    MakeFrame();
    EXPECT_FALSE(m_frame->GetToolBar() && m_frame->GetToolBar()->IsShown());
    ToggleToolbar();
    MakeFrame();
    ASSERT_NE(m_frame->GetToolBar(), nullptr);
    EXPECT_TRUE(m_frame->GetToolBar()->IsShown());
    EXPECT_TRUE(MenuChecked());
    // Never among the design's own settings.
    EXPECT_EQ(m_profile->GetProfileInt(kSettingsSection, kToolbarShownKey, -1), -1);
}
