// The link controls on screen, driven by real pointer and key events (XTest):
// the colours they draw, what they open, the beep and the keyboard path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/sizer.h>

#include "common/url_opener.h"
#include "gui_test_support.h"
#include "ui/accessibility.h"
#include "ui/hyperlink.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

using namespace lumo;
using lumo::test::ClickAt;
using lumo::test::RecordedUrlOpens;
using lumo::test::Settle;
using lumo::test::WaitFor;

namespace {

Display* XDisplay()
{
    return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

void MovePointer(const wxPoint& screenPoint)
{
    XTestFakeMotionEvent(XDisplay(), -1, screenPoint.x, screenPoint.y, CurrentTime);
    XSync(XDisplay(), False);
}

void PressKey(KeySym key)
{
    KeyCode code = XKeysymToKeycode(XDisplay(), key);
    XTestFakeKeyEvent(XDisplay(), code, True, CurrentTime);
    XTestFakeKeyEvent(XDisplay(), code, False, CurrentTime);
    XSync(XDisplay(), False);
}

// Pixels of the window's area on screen drawn in exactly this colour (the
// cores of the letters; their anti-aliased edges are mixed with the background).
int PixelsOfColour(wxWindow* window, const wxColour& colour)
{
    const wxRect r = window->GetScreenRect();
    GdkPixbuf* shot =
        gdk_pixbuf_get_from_window(gdk_get_default_root_window(), r.x, r.y, r.width, r.height);
    if (!shot)
        return -1;
    int count = 0;
    const int stride = gdk_pixbuf_get_rowstride(shot);
    const int channels = gdk_pixbuf_get_n_channels(shot);
    const guchar* pixels = gdk_pixbuf_get_pixels(shot);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            const guchar* p = pixels + y * stride + x * channels;
            count += p[0] == colour.Red() && p[1] == colour.Green() && p[2] == colour.Blue();
        }
    g_object_unref(shot);
    return count;
}

wxPoint Centre(wxWindow* window)
{
    const wxRect r = window->GetScreenRect();
    return r.GetPosition() + wxSize(r.width / 2, r.height / 2);
}

class HyperlinkTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_previousBeeper = SetLinkBeeper([this] { ++m_beeps; });
        MovePointer({1270, 1010}); // well away from the window

        m_frame = new wxFrame(nullptr, wxID_ANY, "Links", wxPoint(100, 100));
        auto* panel = new wxPanel(m_frame);
        m_button = new wxButton(panel, wxID_ANY, "Before");
        m_link = new CStaticLink(panel, wxID_ANY, "Example news", "https://example.test/news");
        m_bare = new CStaticLink(panel, wxID_ANY, "https://text.test/page?a=1&b=2");
        m_framed = new CStaticLink(panel, wxID_ANY, "Framed link", "https://framed.test/", true,
                                   wxDefaultPosition, wxDefaultSize, wxBORDER_SIMPLE);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        for (wxWindow* window :
             std::initializer_list<wxWindow*>{m_button, m_link, m_bare, m_framed})
            sizer->Add(window, wxSizerFlags().Border(wxALL, 12));
        panel->SetSizer(sizer);
        sizer->SetSizeHints(m_frame);
        m_frame->Show();
        m_frame->Raise();
        ASSERT_TRUE(WaitFor([&] {
            return m_frame->IsActive() && PixelsOfColour(m_link, CStaticLink::s_normalColor) > 0;
        }));
    }

    void TearDown() override
    {
        delete m_frame;
        SetLinkBeeper(m_previousBeeper);
    }

    void MoveAway() { MovePointer(m_frame->GetScreenRect().GetBottomRight() + wxSize(40, 40)); }

    wxFrame* m_frame = nullptr;
    wxButton* m_button = nullptr;
    CStaticLink* m_link = nullptr;
    CStaticLink* m_bare = nullptr;
    CStaticLink* m_framed = nullptr;
    RecordedUrlOpens m_urls;
    int m_beeps = 0;
    LinkBeeper m_previousBeeper;
};

} // namespace

TEST_F(HyperlinkTest, DrawnBlueThenRedUnderThePointerPurpleAfterOpeningBlueAfterLeaving)
{
    EXPECT_EQ(PixelsOfColour(m_link, CStaticLink::s_hoverColor), 0);

    MovePointer(Centre(m_link));
    ASSERT_TRUE(WaitFor([&] { return PixelsOfColour(m_link, CStaticLink::s_hoverColor) > 0; }));
    EXPECT_TRUE(m_link->IsHovering());
    EXPECT_EQ(PixelsOfColour(m_link, CStaticLink::s_normalColor), 0);

    ASSERT_TRUE(ClickAt(Centre(m_link)));
    ASSERT_TRUE(WaitFor([&] { return PixelsOfColour(m_link, CStaticLink::s_visitedColor) > 0; }));
    EXPECT_EQ(m_urls.opened, std::vector<std::string>{"https://example.test/news"});
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents()); // purple lasts while the pointer stays
    EXPECT_EQ(m_link->GetTextColour(), CStaticLink::s_visitedColor);

    MoveAway();
    EXPECT_TRUE(WaitFor([&] { return PixelsOfColour(m_link, CStaticLink::s_normalColor) > 0; }));
    EXPECT_FALSE(m_link->IsHovering());

    // The visit is not remembered: back over it, it is red again.
    MovePointer(Centre(m_link));
    EXPECT_TRUE(WaitFor([&] { return PixelsOfColour(m_link, CStaticLink::s_hoverColor) > 0; }));
    EXPECT_EQ(m_beeps, 0);
}

TEST_F(HyperlinkTest, FailedOpenBeepsSaysSoAndLeavesTheLinkRed)
{
    m_urls.succeed = false;
    lumo::test::RecordedMessageBoxes messages;
    ASSERT_TRUE(ClickAt(Centre(m_link)));
    ASSERT_TRUE(WaitFor([&] { return m_beeps == 1; }));
    EXPECT_EQ(m_urls.opened, std::vector<std::string>{"https://example.test/news"});
    EXPECT_EQ(
        messages.texts,
        std::vector<std::string>{"No program could be started to open https://example.test/news."});
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    EXPECT_TRUE(m_link->IsHovering());
    EXPECT_EQ(m_link->GetTextColour(), CStaticLink::s_hoverColor);
    EXPECT_GT(PixelsOfColour(m_link, CStaticLink::s_hoverColor), 0);
    EXPECT_EQ(PixelsOfColour(m_link, CStaticLink::s_visitedColor), 0);
}

TEST_F(HyperlinkTest, LinkWithoutAddressOpensItsTextAndKeepsThatAddress)
{
    const std::string text = "https://text.test/page?a=1&b=2";
    ASSERT_TRUE(ClickAt(Centre(m_bare)));
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() == 1; }));
    EXPECT_EQ(m_urls.opened[0], text);
    EXPECT_EQ(m_bare->m_target, text);

    m_bare->SetLabel("Some other words");
    ASSERT_TRUE(ClickAt(Centre(m_bare)));
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() == 2; }));
    EXPECT_EQ(m_urls.opened[1], text);

    // Nothing to open: silently nothing.
    m_bare->m_target = nullptr;
    m_bare->SetLabel(wxString());
    EXPECT_FALSE(m_bare->FollowLink());
    EXPECT_FALSE(m_bare->m_target.OpenLink());
    EXPECT_EQ(m_urls.opened.size(), 2u);
    EXPECT_EQ(m_beeps, 0);
}

TEST_F(HyperlinkTest, KeyboardReachesTheLinkWithTabAndOpensItWithEnterOrSpace)
{
    m_button->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == m_button; }));
    PressKey(XK_Tab);
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == m_link; }));
    PressKey(XK_Return);
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() == 1; }));
    PressKey(XK_space);
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() == 2; }));
    EXPECT_EQ(m_urls.opened[1], "https://example.test/news");

    // A screen reader finds it as a link under its text.
    EXPECT_EQ(GetAccessibleName(m_link), "Example news");
    EXPECT_EQ(atk_object_get_role(gtk_widget_get_accessible(m_link->GetHandle())), ATK_ROLE_LINK);
}

TEST_F(HyperlinkTest, FramedLinkKeepsTheNormalTextColourButStillOpens)
{
    ASSERT_TRUE(m_link->GetCursor().IsOk()); // one hand cursor for every link
    EXPECT_TRUE(m_link->GetCursor().IsSameAs(m_framed->GetCursor()));
    EXPECT_TRUE(m_link->IsPlainText());
    EXPECT_FALSE(m_framed->IsPlainText());
    const wxColour normalText = m_framed->GetForegroundColour();
    ASSERT_TRUE(ClickAt(Centre(m_framed)));
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() == 1; }));
    EXPECT_EQ(m_urls.opened[0], "https://framed.test/");
    ASSERT_TRUE(lumo::test::WaitForFrames(m_framed));
    EXPECT_GT(PixelsOfColour(m_framed, normalText), 0);
    for (const wxColour& colour :
         {CStaticLink::s_normalColor, CStaticLink::s_hoverColor, CStaticLink::s_visitedColor})
        EXPECT_EQ(PixelsOfColour(m_framed, colour), 0);
}
