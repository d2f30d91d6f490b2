// The About box: its texts at every opening, its link, OK, and the icon.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/statbmp.h>
#include <wx/testing.h>

#include "common/resource_ids.h"
#include "common/url_opener.h"
#include "gui_test_support.h"
#include "ui/about_dlg.h"
#include "ui/accessibility.h"
#include "ui/app_icon.h"
#include "ui/hyperlink.h"

using namespace lumo;
using lumo::test::ClickAt;
using lumo::test::WaitFor;

namespace {

// Reads the box as the user would see it, then presses OK.
class ExpectAbout : public wxExpectModalBase<CAboutDlg, ExpectAbout>
{
public:
    explicit ExpectAbout(int& openings) : m_openings(openings) {}

protected:
    int OnInvoked(CAboutDlg* dlg) const override
    {
        ++m_openings;
        EXPECT_EQ(dlg->GetTitle(), "About LumoNewsReader");
        EXPECT_EQ(dlg->ProductNameText(), "Lumo News Reader");
        EXPECT_EQ(dlg->VersionText(), "Version 4.1.5 Build 1728");
        EXPECT_EQ(GetAccessibleName(dlg->FindWindow(IDC_VERSION)), "Version 4.1.5 Build 1728");
        EXPECT_EQ(dlg->CopyrightText().utf8_string(), CAboutDlg::CopyrightNotice());
        EXPECT_EQ(dlg->ProductLink()->GetLabel(), kProductWebPage);
        EXPECT_EQ(dlg->ProductLink()->m_target, kProductWebPage);
        EXPECT_EQ(dlg->Icon()->GetBitmap().GetSize(), wxSize(64, 64));
        wxWindow* ok = dlg->GetDefaultItem();
        EXPECT_TRUE(ok && ok->GetId() == wxID_OK);
        return wxID_OK;
    }

private:
    int& m_openings;
};

wxPoint Centre(wxWindow* window)
{
    const wxRect r = window->GetScreenRect();
    return r.GetPosition() + wxSize(r.width / 2, r.height / 2);
}

} // namespace

TEST(AboutBoxTest, EveryOpeningShowsTheVersionLineAndTheProductPage)
{
    int openings = 0;
    wxTEST_DIALOG(ShowAboutBox(nullptr), ExpectAbout(openings));
    wxTEST_DIALOG(ShowAboutBox(nullptr), ExpectAbout(openings));
    EXPECT_EQ(openings, 2);
}

TEST(AboutBoxTest, LinkOpensTheProductPageTurnsPurpleAndOkCloses)
{
    std::vector<std::string> opened;
    UrlOpener previous = SetUrlOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    bool closedByOk = false;
    // Runs inside the box's modal loop, acting as the user.
    wxTheApp->CallAfter([&] {
        CAboutDlg* dlg = nullptr;
        WaitFor([&] {
            for (wxWindow* window : wxTopLevelWindows)
                if ((dlg = dynamic_cast<CAboutDlg*>(window)) && dlg->IsActive())
                    return true;
            return false;
        });
        if (!dlg || !dlg->IsActive()) {
            ADD_FAILURE() << "the About box did not come up";
            wxEventLoopBase::GetActive()->Exit(); // the loop ShowModal runs
            return;
        }
        ClickAt(Centre(dlg->ProductLink()));
        EXPECT_TRUE(WaitFor([&] { return opened.size() == 1; }));
        EXPECT_EQ(dlg->ProductLink()->GetTextColour(), CStaticLink::s_visitedColor);
        ClickAt(Centre(dlg->FindWindow(wxID_OK)));
        closedByOk = WaitFor([&] { return !dlg->IsShown(); }, std::chrono::seconds(5));
        if (!closedByOk)
            dlg->EndModal(wxID_CANCEL);
    });
    ShowAboutBox(nullptr);
    EXPECT_TRUE(closedByOk);
    EXPECT_EQ(opened, std::vector<std::string>{kProductWebPage});
    SetUrlOpener(previous);
}

TEST(AppIconTest, BundleHoldsEveryBuiltInSize)
{
    const wxIconBundle bundle = AppIconBundle();
    EXPECT_EQ(bundle.GetIconCount(), 7u);
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(bundle.GetIcon(wxSize(size, size), wxIconBundle::FALLBACK_NONE).IsOk()) << size;
    EXPECT_EQ(AppIconBitmap(40).GetSize(), wxSize(40, 40)); // scaled from 48
}
