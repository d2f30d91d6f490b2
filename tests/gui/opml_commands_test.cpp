// File > Import and Export Favorites (OPML) on a real frame, favorites file
// and headlines database, the file dialog answered with a path of the test's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <wx/menu.h>
#include <wx/radiobut.h>

// An unexpected dialog is reported as a failure and then answered with Cancel
// instead of being shown, so a faulty dialog cannot hang the test.
#define wxTEST_DIALOG_HOOK_CLASS AnsweringModalHook
#include <wx/testing.h>

#include "app/main_frame.h"
#include "app/opml_commands.h"
#include "app/view_commands.h"
#include "common/app_paths.h"
#include "directory/favorites_read_ahead.h"
#include "directory/left_view.h"
#include "favorites/favorites_store.h"
#include "gui_test_support.h"
#include "headlines/core/headlines_store.h"
#include "headlines/core/opml.h"
#include "headlines/ui/feed_dialog.h"
#include "main_frame_fixture.h"
#include "temp_dir.h"

using namespace lumo;
using lumo::test::ReadFile;
using lumo::test::WriteFile;

class AnsweringModalHook : public wxTestingModalHook
{
public:
    using wxTestingModalHook::wxTestingModalHook;

protected:
    int Enter(wxDialog* dlg) override
    {
        const int result = wxTestingModalHook::Enter(dlg);
        return result == wxID_NONE ? wxID_CANCEL : result;
    }
};

namespace {

// The feed dialog answered as `answer` does; it returns the dialog's result.
class AnswerFeedDialog : public wxExpectModalBase<headlines::FeedDialog, AnswerFeedDialog>
{
public:
    explicit AnswerFeedDialog(std::function<int(headlines::FeedDialog&)> answer)
        : m_answer(std::move(answer))
    {
    }

protected:
    int OnInvoked(headlines::FeedDialog* dlg) const override { return m_answer(*dlg); }

private:
    std::function<int(headlines::FeedDialog&)> m_answer;
};

class OpmlCommandsTest : public lumo::test::MainFrameFixture
{
protected:
    void SetUp() override
    {
        MainFrameFixture::SetUp();
        if (const char* data = std::getenv("XDG_DATA_HOME"))
            m_dataHome = data;
        setenv("XDG_DATA_HOME", m_dir.File("data").c_str(), 1);
        SetOpmlFileChooser([this](wxWindow*, OpmlFileUse use) {
            m_asked.push_back(use);
            return m_chosen;
        });
    }
    void TearDown() override
    {
        SetOpmlFileChooser({});
        setenv("XDG_DATA_HOME", m_dataHome.c_str(), 1);
        MainFrameFixture::TearDown();
    }

    // The rows under "My Favorites" in the tree.
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

    std::string m_dataHome;
    std::string m_chosen;
    std::vector<OpmlFileUse> m_asked;
};

TEST_F(OpmlCommandsTest, ImportAddsAListsPapersWithTheirFeedsAndExportWritesThemOut)
{
    const std::string favorites = "<Favorites>\n  <Favorite>\n    <title>Zeit</title>\n"
                                  "    <url>https://www.zeit.de/</url>\n  </Favorite>\n"
                                  "</Favorites>\n";
    WriteFile(FavoritesFilePath(), favorites);
    MakeFrame();
    lumo::test::RecordedMessageBoxes boxes;

    // Broken files and a cancelled dialog change nothing.
    m_chosen = m_dir.File("broken.opml");
    WriteFile(m_chosen, "<opml><body><outline title=\"cut off\"");
    m_frame->ProcessCommand(ID_IMPORT_FAVORITES_OPML);
    m_chosen.clear();
    m_frame->ProcessCommand(ID_IMPORT_FAVORITES_OPML);
    EXPECT_EQ(boxes.texts,
              (std::vector<std::string>{"The file is not an OPML file: it is not XML."}));
    EXPECT_EQ(ReadFile(FavoritesFilePath()), favorites);

    m_chosen = m_dir.File("feeds.opml");
    WriteFile(m_chosen,
              "<?xml version=\"1.0\"?>\n<opml version=\"2.0\"><body>\n"
              "<outline text=\"Europe\">\n"
              "  <outline text=\"Le Monde\" type=\"rss\" htmlUrl=\"https://www.lemonde.fr/\""
              " xmlUrl=\"https://www.lemonde.fr/rss/une.xml\"/>\n"
              "  <outline text=\"Zeit\" htmlUrl=\"https://www.zeit.de/\"/>\n"
              "</outline>\n"
              "<outline type=\"rss\" xmlUrl=\"https://news.example/all.rss\"/>\n"
              "</body></opml>\n");
    boxes.texts.clear();
    m_frame->ProcessCommand(ID_IMPORT_FAVORITES_OPML);
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{"Added 2 favorites; 1 was already there."}));
    ASSERT_EQ(FavoriteNames(), (std::vector<std::string>{"Le Monde", "news.example", "Zeit"}));
    const std::string database = m_dir.File("data/lumo-news-reader/headlines.sqlite");
    {
        headlines::StoreOpenResult opened = headlines::HeadlinesStore::Open(database);
        ASSERT_TRUE(opened.store);
        EXPECT_EQ(opened.store->FeedOfFavorite("https://www.lemonde.fr/").feedAddress,
                  "https://www.lemonde.fr/rss/une.xml");
        EXPECT_EQ(opened.store->FeedOfFavorite("https://news.example/").feedAddress,
                  "https://news.example/all.rss");
        EXPECT_EQ(opened.store->FeedOfFavorite("https://www.zeit.de/").choice,
                  headlines::FeedChoice::NotLookedFor);
    }

    // The favorite's menu in the tree shows the feed it came with, and
    // changes it.
    wxTEST_DIALOG(EXPECT_TRUE(m_frame->LeftView()->RunPaperCommand(
                      CLeftView::PaperCommand::HeadlinesFeed, FavoriteRows().at(0))),
                  AnswerFeedDialog([](headlines::FeedDialog& dialog) {
                      EXPECT_EQ(dialog.FeedButtons().at(0)->GetLabelText().utf8_string(),
                                "https://www.lemonde.fr/rss/une.xml, in use");
                      dialog.NoneButton()->SetValue(true);
                      return dialog.Accept() ? wxID_OK : wxID_CANCEL;
                  }));
    EXPECT_EQ(headlines::HeadlinesStore::Open(database)
                  .store->FeedOfFavorite("https://www.lemonde.fr/")
                  .choice,
              headlines::FeedChoice::None);

    m_chosen = m_dir.File("out.opml");
    boxes.texts.clear();
    m_frame->ProcessCommand(ID_EXPORT_FAVORITES_OPML);
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{"Exported 3 favorites (1 with a feed) to " +
                                                     m_chosen + "."}));
    const headlines::OpmlReadResult written = headlines::ReadOpmlFile(m_chosen);
    EXPECT_EQ(written.outlines,
              (std::vector<headlines::OpmlOutline>{
                  {"Zeit", "https://www.zeit.de/", ""},
                  {"Le Monde", "https://www.lemonde.fr/", ""},
                  {"news.example", "https://news.example/", "https://news.example/all.rss"}}));
    EXPECT_EQ(m_asked, (std::vector<OpmlFileUse>{OpmlFileUse::Import, OpmlFileUse::Import,
                                                 OpmlFileUse::Import, OpmlFileUse::Export}));

    // The commands follow the File menu's own items, after a separator.
    wxMenu* file = m_frame->GetMenuBar()->GetMenu(0);
    const size_t count = file->GetMenuItemCount();
    ASSERT_GE(count, 3u);
    EXPECT_TRUE(file->FindItemByPosition(count - 3)->IsSeparator());
    EXPECT_EQ(file->FindItemByPosition(count - 2)->GetId(), ID_IMPORT_FAVORITES_OPML);
    EXPECT_EQ(file->FindItemByPosition(count - 1)->GetId(), ID_EXPORT_FAVORITES_OPML);
}

} // namespace
