// A favorite renamed, given a new address or removed from its menu in the
// tree: one change of the real favorites file each, shown at once.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>
#include <wx/textdlg.h>

#include "app/globals.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "browser/web_address.h"
#include "capturing_reporter.h"
#include "directory/left_view.h"
#include "favorites/favorite_edits.h"
#include "gui_test_support.h"
#include "temp_dir.h"

using namespace lumo;
using lumo::test::ReadFile;
using lumo::test::Settle;
using lumo::test::TempDir;
using lumo::test::WriteFile;
using Item = CLeftView::Item;
using Command = CLeftView::PaperCommand;

namespace {

class NoBrowser : public BrowserPane
{
public:
    void NavigateTo(std::string url, std::string) override { opened.push_back(url); }
    void GoBack() override {}
    void GoForward() override {}
    std::vector<std::string> opened;
};

// The field asking for a new name or address: what it offers, what is typed.
class ExpectEntry : public wxExpectModalBase<wxTextEntryDialog, ExpectEntry>
{
public:
    ExpectEntry(std::string offered, std::string typed)
        : m_offered(std::move(offered)), m_typed(std::move(typed))
    {
    }

protected:
    int OnInvoked(wxTextEntryDialog* dlg) const override
    {
        EXPECT_EQ(dlg->GetValue().utf8_string(), m_offered);
        dlg->SetValue(wxString::FromUTF8(m_typed));
        return wxID_OK;
    }

private:
    std::string m_offered;
    std::string m_typed;
};

class FavoriteEditsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_strAppDir = m_dir.Path();
        m_settings = OpenSettingsFile(m_dir.File("settings/LumoNewsReader.conf"));
        m_profile = std::make_unique<ProfileStore>(*m_settings);
        m_frame = new wxFrame(nullptr, wxID_ANY, kAppName, wxDefaultPosition, wxSize(360, 700));
        m_view = new CLeftView(m_frame, m_doc, *m_profile, m_reporter);
        m_doc.m_pHtmlView = &m_browser;
        m_frame->Show();
    }

    void TearDown() override
    {
        m_frame->Destroy();
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        g_strAppDir.clear();
    }

    std::string Path() const { return m_dir.File("Favorites.xml"); }

    Item Favorite(const std::string& name) const
    {
        for (Item item = 1; item <= m_view->Items().GetCount(); ++item)
            if (m_view->Items().GetItemText(item) == name &&
                m_view->Items().GetItemText(m_view->Items().GetParent(item)) == kMyFavoritesBranch)
                return item;
        return DirectoryTree::kTop;
    }

    std::vector<std::string> Shown() const
    {
        const Item branch = m_view->Items().GetParent(Favorite("Alpha"));
        std::vector<std::string> names;
        for (Item item : m_view->Items().GetChildren(branch))
            names.push_back(m_view->Items().GetItemText(item));
        return names;
    }

    TempDir m_dir;
    SettingsFile m_settings;
    std::unique_ptr<ProfileStore> m_profile;
    lumo::test::CapturingReporter m_reporter;
    CLumoNewsReaderDoc m_doc;
    NoBrowser m_browser;
    wxFrame* m_frame = nullptr;
    CLeftView* m_view = nullptr;
};

} // namespace

TEST_F(FavoriteEditsTest, RenameChangeAddressAndRemoveChangeTheFileOnceAndShowAtOnce)
{
    WriteFile(Path(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n"
                      "  <!-- kept -->\n"
                      "  <Favorite><title>Alpha</title><url>https://a.example/</url></Favorite>\n"
                      "  <Favorite><title>Beta</title><url>https://b.example/</url></Favorite>\n"
                      "</Favorites>\n");
    m_view->OnInitialUpdate();
    Settle();
    // Only a favorite offers its own changes.
    EXPECT_EQ(m_view->PaperCommands(Favorite("Beta")),
              (std::vector<Command>{Command::Open, Command::OpenInWebBrowser, Command::CopyAddress,
                                    Command::Rename, Command::ChangeAddress, Command::Remove}));
    m_view->Select(CLeftView::ToViewItem(Favorite("Beta")));

    // Renamed: the text trimmed, in place in the file, the row selected under its new name.
    wxTEST_DIALOG(EXPECT_TRUE(m_view->RunPaperCommand(Command::Rename, Favorite("Beta"))),
                  ExpectEntry("Beta", "  Gamma "));
    EXPECT_EQ(ReadFile(Path()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n"
              "  <!-- kept -->\n"
              "  <Favorite><title>Alpha</title><url>https://a.example/</url></Favorite>\n"
              "  <Favorite><title>Gamma</title><url>https://b.example/</url></Favorite>\n"
              "</Favorites>\n");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Alpha", "Gamma"}));
    EXPECT_EQ(CLeftView::ToItem(m_view->GetSelection()), Favorite("Gamma"));
    EXPECT_TRUE(m_browser.opened.empty()); // kept selected, not opened again

    wxTEST_DIALOG(EXPECT_TRUE(m_view->RunPaperCommand(Command::ChangeAddress, Favorite("Gamma"))),
                  ExpectEntry("https://b.example/", "https://a.example/"));
    EXPECT_EQ(m_view->URLTable().at(m_view->Items().GetItemData(Favorite("Gamma"))),
              "https://a.example/");
    EXPECT_EQ(m_reporter.messages, (std::vector<std::string>{"Successfully!", "Successfully!"}));

    // The dialogs' rules: no second entry with the same pair, the length
    // limit, no script address, no empty name. The file stays as it was.
    m_reporter.messages.clear();
    const std::string before = ReadFile(Path());
    wxTEST_DIALOG(EXPECT_FALSE(m_view->RunPaperCommand(Command::Rename, Favorite("Gamma"))),
                  ExpectEntry("Gamma", "Alpha"));
    wxTEST_DIALOG(EXPECT_FALSE(m_view->RunPaperCommand(Command::Rename, Favorite("Gamma"))),
                  ExpectEntry("Gamma", std::string(kMaxFavoriteTextLength + 1, 'x')));
    wxTEST_DIALOG(EXPECT_FALSE(m_view->RunPaperCommand(Command::ChangeAddress, Favorite("Gamma"))),
                  ExpectEntry("https://a.example/", "javascript:alert(1)"));
    wxTEST_DIALOG(EXPECT_FALSE(m_view->RunPaperCommand(Command::Rename, Favorite("Gamma"))),
                  ExpectEntry("Gamma", "   "));
    EXPECT_EQ(m_reporter.messages,
              (std::vector<std::string>{kMsgSameContentExists, kMsgTextTooLong,
                                        kMsgRefusedFavoriteAddress, kMsgFavoriteNeedsName}));
    EXPECT_EQ(ReadFile(Path()), before);

    // Removed after the dialogs' question; No keeps it.
    m_reporter.messages.clear();
    wxTEST_DIALOG(EXPECT_FALSE(m_view->RunPaperCommand(Command::Remove, Favorite("Gamma"))),
                  wxExpectModal<wxMessageDialog>(wxID_NO));
    EXPECT_EQ(ReadFile(Path()), before);
    wxTEST_DIALOG(EXPECT_TRUE(m_view->RunPaperCommand(Command::Remove, Favorite("Gamma"))),
                  wxExpectModal<wxMessageDialog>(wxID_YES));
    EXPECT_EQ(ReadFile(Path()).find("Gamma"), std::string::npos);
    EXPECT_EQ(Shown(), std::vector<std::string>{"Alpha"});

    // Another program changed the file meanwhile: nothing is written, the
    // user is told, and the tree shows the file as it is now.
    const std::string theirs =
        "<Favorites>\n  <Favorite><title>Alpha</title><url>https://other.example/</url>"
        "</Favorite>\n</Favorites>\n";
    WriteFile(Path(), theirs);
    m_reporter.messages.clear();
    wxTEST_DIALOG(EXPECT_TRUE(m_view->RunPaperCommand(Command::Rename, Favorite("Alpha"))),
                  ExpectEntry("Alpha", "Delta"));
    EXPECT_EQ(ReadFile(Path()), theirs);
    EXPECT_EQ(m_reporter.messages,
              std::vector<std::string>{std::string("\u201cAlpha\u201d") + kMsgFavoriteGoneSuffix});
    EXPECT_EQ(m_view->URLTable().at(m_view->Items().GetItemData(Favorite("Alpha"))),
              "https://other.example/");
}
