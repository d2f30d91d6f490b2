// Messages of the browser pane while the status bar is hidden: shown over the
// page for a few seconds and told to screen readers as a notification.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <chrono>
#include <string>
#include <vector>

#include <wx/popupwin.h>
#include <wx/statusbr.h>

#include "browser_pane_fixture.h"
#include "common/url_opener.h"
#include "local_web_server.h"
#include "ui/accessibility.h"

using namespace lumo;
using lumo::test::LocalWebServer;
using lumo::test::WaitFor;
using lumo::test::WebResponse;

namespace {

class PaneNoticeTest : public lumo::test::BrowserPaneFixture
{
protected:
    void SetUp() override
    {
        BrowserPaneFixture::SetUp();
        if (IsSkipped())
            return;
        ASSERT_NE(m_view->CreateBrowser(), nullptr);
    }

    wxPopupWindow* Notice() const
    {
        for (wxWindow* child : m_view->GetChildren())
            if (auto* popup = dynamic_cast<wxPopupWindow*>(child))
                return popup;
        return nullptr;
    }

    // The texts announced as shown notifications, as the accessibility bus hears them.
    static void OnStateChange(AtkObject* object, const char* state, gboolean set,
                              std::vector<std::string>* heard)
    {
        if (set && std::string(state) == "showing" &&
            atk_object_get_role(object) == ATK_ROLE_NOTIFICATION)
            heard->push_back(atk_object_get_name(object));
    }

    LocalWebServer m_server;
};

} // namespace

TEST_F(PaneNoticeTest, MessagesShowInThePaneWhileThereIsNoStatusBar)
{
    using std::chrono::seconds;
    m_server.Route(
        "/front.html",
        WebResponse{200,
                    "text/html; charset=utf-8",
                    "<!DOCTYPE html><html><head><title>Front</title></head><body style='margin:0'>"
                    "<a href='https://news.example/' target='_blank' "
                    "style='display:block;width:400px;height:100px'>Elsewhere</a></body></html>",
                    {},
                    0});
    Open(m_server.Url("/front.html"), "Front");

    // The reader view's key on a page that is no article.
    m_view->ToggleReader();
    ASSERT_TRUE(WaitFor([&] { return m_view->PaneNotice() == kNoArticleMessage; }))
        << m_view->PaneNotice();
    wxPopupWindow* notice = Notice();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->IsShownOnScreen());
    AtkObject* accessible = gtk_widget_get_accessible(notice->GetHandle());
    EXPECT_EQ(atk_object_get_role(accessible), ATK_ROLE_NOTIFICATION);
    EXPECT_EQ(GetAccessibleName(notice), kNoArticleMessage);
    // Gone after a few seconds.
    EXPECT_TRUE(WaitFor([&] { return m_view->PaneNotice().empty(); }, seconds(10)));

    // A page's new window that no program could open: said there too, and
    // announced.
    std::vector<std::string> heard;
    const gulong watch =
        g_signal_connect(accessible, "state-change", G_CALLBACK(OnStateChange), &heard);
    m_urls.succeed = false;
    m_frame->Raise();
    ASSERT_TRUE(lumo::test::ClickAt(m_view->WebView()->GetScreenPosition() + wxPoint(100, 50)));
    const std::string cannot = CannotOpenMessage("https://news.example/");
    EXPECT_TRUE(WaitFor([&] { return m_view->PaneNotice() == cannot; }, seconds(5)))
        << m_view->PaneNotice();
    EXPECT_EQ(heard, std::vector<std::string>{cannot});
    g_signal_handler_disconnect(accessible, watch);

    // With the status bar shown, the message goes there and not over the page.
    EXPECT_TRUE(WaitFor([&] { return m_view->PaneNotice().empty(); }, seconds(10)));
    m_frame->CreateStatusBar()->Show();
    m_frame->SendSizeEvent();
    m_view->ToggleReader();
    ASSERT_TRUE(
        WaitFor([&] { return m_frame->GetStatusBar()->GetStatusText() == kNoArticleMessage; }));
    EXPECT_EQ(m_view->PaneNotice(), "");
}
