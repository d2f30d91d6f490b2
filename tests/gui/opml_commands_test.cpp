// File > Import and Export Favorites (OPML), and a favorite's Headlines Feed
// dialog in the tree, on a real frame, favorites file and headlines database;
// the file dialog is answered with a path of the test's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtk/gtk.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include "answering_dialogs.h"

#include "app/main_frame.h"
#include "app/opml_commands.h"
#include "app/view_commands.h"
#include "common/app_paths.h"
#include "directory/favorites_read_ahead.h"
#include "directory/left_view.h"
#include "gui_test_support.h"
#include "headlines/core/headlines_store.h"
#include "headlines/core/opml.h"
#include "headlines/ui/feed_dialog.h"
#include "main_frame_fixture.h"
#include "temp_dir.h"

using namespace lumo;
using headlines::FeedDialog;
using lumo::test::WriteFile;

namespace {

// The feed dialog answered as `answer` does; it returns the dialog's result.
class AnswerFeedDialog : public wxExpectModalBase<FeedDialog, AnswerFeedDialog>
{
public:
    explicit AnswerFeedDialog(std::function<int(FeedDialog&)> answer) : m_answer(std::move(answer))
    {
    }

protected:
    int OnInvoked(FeedDialog* dlg) const override { return m_answer(*dlg); }

private:
    std::function<int(FeedDialog&)> m_answer;
};

class OpmlCommandsTest : public lumo::test::MainFrameFixture
{
protected:
    void SetUp() override
    {
        MainFrameFixture::SetUp();
        m_dataHome.emplace("XDG_DATA_HOME", m_dir.File("data"));
        SetOpmlFileChooser([this](wxWindow*, OpmlFileUse use) {
            m_asked.push_back(use);
            return m_chosen;
        });
    }
    void TearDown() override
    {
        SetOpmlFileChooser({});
        MainFrameFixture::TearDown();
        m_dataHome.reset();
    }

    // The rows under "My Favorites", and their names.
    std::vector<CLeftView::Item> FavoriteRows() const
    {
        const DirectoryTree& tree = m_frame->LeftView()->Items();
        std::vector<CLeftView::Item> rows;
        for (CLeftView::Item item = 1; item <= tree.GetCount(); ++item)
            if (tree.GetItemText(tree.GetParent(item)) == kMyFavoritesBranch)
                rows.push_back(item);
        return rows;
    }
    std::vector<std::string> FavoriteNames() const
    {
        std::vector<std::string> names;
        for (CLeftView::Item row : FavoriteRows())
            names.push_back(m_frame->LeftView()->Items().GetItemText(row));
        return names;
    }
    headlines::FavoriteFeed FeedOf(const std::string& page) const
    {
        return headlines::HeadlinesStore::Open(m_dir.File("data/lumo-news-reader/headlines.sqlite"))
            .store->FeedOfFavorite(page);
    }

    std::optional<lumo::test::ScopedEnvironment> m_dataHome;
    std::string m_chosen;
    std::vector<OpmlFileUse> m_asked;
};

TEST_F(OpmlCommandsTest, ImportedPapersKeepTheirFeedsWhichTheTreeChangesAndExportWritesOut)
{
    const std::string favorites = "<Favorites>\n  <Favorite>\n    <title>Zeit</title>\n"
                                  "    <url>https://www.zeit.de/</url>\n  </Favorite>\n"
                                  "</Favorites>\n";
    WriteFile(FavoritesFilePath(), favorites);
    MakeFrame();
    lumo::test::RecordedMessageBoxes boxes;

    m_chosen = m_dir.File("feeds.opml");
    WriteFile(m_chosen, "<?xml version=\"1.0\"?>\n<opml version=\"2.0\"><body>\n"
                        "<outline text=\"Europe\">\n"
                        "  <outline text=\"Le Monde\" htmlUrl=\"https://www.lemonde.fr/\""
                        " xmlUrl=\"https://www.lemonde.fr/rss/une.xml\"/>\n"
                        "  <outline text=\"Zeit\" htmlUrl=\"https://www.zeit.de/\"/>\n"
                        "</outline>\n"
                        "<outline type=\"rss\" xmlUrl=\"https://news.example/all.rss\"/>\n"
                        "</body></opml>\n");
    m_frame->ProcessCommand(ID_IMPORT_FAVORITES_OPML);
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{"Added 2 favorites; 1 was already there."}));
    ASSERT_EQ(FavoriteNames(), (std::vector<std::string>{"Le Monde", "news.example", "Zeit"}));
    EXPECT_EQ(FeedOf("https://www.lemonde.fr/").feedAddress, "https://www.lemonde.fr/rss/une.xml");
    EXPECT_EQ(FeedOf("https://news.example/").feedAddress, "https://news.example/all.rss");

    // The favorite's Headlines Feed shows the feed it came with; a typed
    // address that is not http or https is refused, one that is is kept.
    wxTEST_DIALOG(
        EXPECT_TRUE(m_frame->LeftView()->RunPaperCommand(CLeftView::PaperCommand::HeadlinesFeed,
                                                         FavoriteRows().at(0))),
        AnswerFeedDialog([](FeedDialog& dialog) {
            EXPECT_EQ(dialog.FeedButtons().at(0)->GetLabelText().utf8_string(),
                      "https://www.lemonde.fr/rss/une.xml, in use");
            EXPECT_TRUE(dialog.FeedButtons().at(0)->GetValue());
            EXPECT_STREQ(
                atk_object_get_name(gtk_widget_get_accessible(dialog.TypedField()->GetHandle())),
                headlines::kTypedFeedName);
            dialog.TypedField()->SetValue("feed:www.lemonde.fr/rss");
            EXPECT_TRUE(dialog.TypedButton()->GetValue()); // typing chose it
            EXPECT_FALSE(dialog.Accept());
            dialog.TypedField()->SetValue(" https://www.lemonde.fr/monde/rss ");
            return dialog.Accept() ? wxID_OK : wxID_CANCEL;
        }),
        wxExpectModal<wxMessageDialog>(wxID_OK).Describe(headlines::kMsgFeedNotWebAddress));
    EXPECT_EQ(FeedOf("https://www.lemonde.fr/").feedAddress, "https://www.lemonde.fr/monde/rss");
    // None is kept on OK only.
    const auto chooseNone = [&](int answer) {
        wxTEST_DIALOG(m_frame->LeftView()->RunPaperCommand(CLeftView::PaperCommand::HeadlinesFeed,
                                                           FavoriteRows().at(1)),
                      AnswerFeedDialog([answer](FeedDialog& dialog) {
                          dialog.NoneButton()->SetValue(true);
                          return answer == wxID_OK && dialog.Accept() ? wxID_OK : wxID_CANCEL;
                      }));
        return FeedOf("https://news.example/").choice;
    };
    EXPECT_EQ(chooseNone(wxID_CANCEL), headlines::FeedChoice::Feed);
    EXPECT_EQ(chooseNone(wxID_OK), headlines::FeedChoice::None);

    m_chosen = m_dir.File("out.opml");
    boxes.texts.clear();
    m_frame->ProcessCommand(ID_EXPORT_FAVORITES_OPML);
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{"Exported 3 favorites (1 with a feed) to " +
                                                     m_chosen + "."}));
    EXPECT_EQ(headlines::ReadOpmlFile(m_chosen).outlines,
              (std::vector<headlines::OpmlOutline>{
                  {"Zeit", "https://www.zeit.de/", ""},
                  {"Le Monde", "https://www.lemonde.fr/", "https://www.lemonde.fr/monde/rss"},
                  {"news.example", "https://news.example/", ""}}));
    EXPECT_EQ(m_asked, (std::vector<OpmlFileUse>{OpmlFileUse::Import, OpmlFileUse::Export}));

    // The commands follow the File menu's own items, after a separator.
    wxMenu* file = m_frame->GetMenuBar()->GetMenu(0);
    const size_t count = file->GetMenuItemCount();
    ASSERT_GE(count, 3u);
    EXPECT_TRUE(file->FindItemByPosition(count - 3)->IsSeparator());
    EXPECT_EQ(file->FindItemByPosition(count - 2)->GetId(), ID_IMPORT_FAVORITES_OPML);
    EXPECT_EQ(file->FindItemByPosition(count - 1)->GetId(), ID_EXPORT_FAVORITES_OPML);
}

} // namespace
