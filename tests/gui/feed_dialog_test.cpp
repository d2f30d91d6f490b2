// The Headlines Feed dialog of a favorite over a real headlines database:
// what it offers, what a screen reader reads, and what each answer keeps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include <gtk/gtk.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

// An unexpected dialog is reported as a failure and then answered with Cancel
// instead of being shown, so a faulty dialog cannot hang the test.
#define wxTEST_DIALOG_HOOK_CLASS AnsweringModalHook
#include <wx/testing.h>

#include "headlines/core/headlines_store.h"
#include "headlines/ui/feed_dialog.h"
#include "temp_dir.h"

using namespace headlines;

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

// The dialog answered as `answer` does; it returns the dialog's result.
class Answer : public wxExpectModalBase<FeedDialog, Answer>
{
public:
    explicit Answer(std::function<int(FeedDialog&)> answer) : m_answer(std::move(answer)) {}

protected:
    int OnInvoked(FeedDialog* dlg) const override { return m_answer(*dlg); }

private:
    std::function<int(FeedDialog&)> m_answer;
};

int Accepted(FeedDialog& dialog)
{
    return dialog.Accept() ? wxID_OK : wxID_CANCEL;
}

// What the user reads on a button.
std::string Label(wxControl* control)
{
    return control->GetLabelText().utf8_string();
}

class FeedDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const char* data = std::getenv("XDG_DATA_HOME"))
            m_dataHome = data;
        setenv("XDG_DATA_HOME", m_dir.Path().c_str(), 1);
    }
    void TearDown() override { setenv("XDG_DATA_HOME", m_dataHome.c_str(), 1); }

    FavoriteFeed Kept()
    {
        return HeadlinesStore::Open(HeadlinesDatabasePath()).store->FeedOfFavorite(kPage);
    }

    const std::string kPage = "https://www.lemonde.fr/";
    lumo::test::TempDir m_dir;
    std::string m_dataHome;
};

TEST_F(FeedDialogTest, OffersTheFeedsFoundAndKeepsWhatTheUserChoseOnlyOnOK)
{
    {
        StoreOpenResult opened = HeadlinesStore::Open(HeadlinesDatabasePath());
        ASSERT_TRUE(opened.store);
        ASSERT_TRUE(opened.store->SetCandidates(
            kPage, {{"https://www.lemonde.fr/rss/une.xml", "À la une & plus"},
                    {"https://www.lemonde.fr/sport/rss", ""}}));
    }
    // Nothing chosen yet: that stays the choice unless another is made.
    wxTEST_DIALOG(
        EXPECT_FALSE(ChooseFavoriteFeed(nullptr, "Le Monde", kPage)),
        Answer([](FeedDialog& dialog) {
            EXPECT_TRUE(dialog.UndecidedButton()->GetValue());
            EXPECT_EQ(Label(dialog.FeedButtons().at(0)),
                      "À la une & plus (https://www.lemonde.fr/rss/une.xml)");
            EXPECT_EQ(Label(dialog.FeedButtons().at(1)), "https://www.lemonde.fr/sport/rss");
            // The field has a name of its own for a screen reader.
            EXPECT_STREQ(
                atk_object_get_name(gtk_widget_get_accessible(dialog.TypedField()->GetHandle())),
                kTypedFeedName);
            return Accepted(dialog);
        }));
    EXPECT_EQ(Kept().choice, FeedChoice::NotLookedFor);

    wxTEST_DIALOG(EXPECT_TRUE(ChooseFavoriteFeed(nullptr, "Le Monde", kPage)),
                  Answer([](FeedDialog& dialog) {
                      dialog.FeedButtons().at(1)->SetValue(true);
                      return Accepted(dialog);
                  }));
    EXPECT_EQ(Kept().feedAddress, "https://www.lemonde.fr/sport/rss");

    // Typing chooses the field; an address that is not http or https is
    // refused with a message and the dialog stays.
    wxTEST_DIALOG(EXPECT_TRUE(ChooseFavoriteFeed(nullptr, "Le Monde", kPage)),
                  Answer([](FeedDialog& dialog) {
                      EXPECT_EQ(Label(dialog.FeedButtons().at(0)),
                                "https://www.lemonde.fr/sport/rss, in use");
                      EXPECT_TRUE(dialog.FeedButtons().at(0)->GetValue());
                      EXPECT_EQ(dialog.UndecidedButton(), nullptr);
                      dialog.TypedField()->SetValue("feed:www.lemonde.fr/rss");
                      EXPECT_TRUE(dialog.TypedButton()->GetValue());
                      EXPECT_FALSE(dialog.Accept());
                      dialog.TypedField()->SetValue(" https://www.lemonde.fr/international/rss ");
                      return Accepted(dialog);
                  }),
                  wxExpectModal<wxMessageDialog>(wxID_OK).Describe(kMsgFeedNotWebAddress));
    EXPECT_EQ(Kept().feedAddress, "https://www.lemonde.fr/international/rss");

    // Cancel keeps nothing; None is kept and shown the next time.
    wxTEST_DIALOG(EXPECT_FALSE(ChooseFavoriteFeed(nullptr, "Le Monde", kPage)),
                  Answer([](FeedDialog& dialog) {
                      dialog.NoneButton()->SetValue(true);
                      return wxID_CANCEL;
                  }));
    EXPECT_EQ(Kept().feedAddress, "https://www.lemonde.fr/international/rss");
    wxTEST_DIALOG(EXPECT_TRUE(ChooseFavoriteFeed(nullptr, "Le Monde", kPage)),
                  Answer([](FeedDialog& dialog) {
                      dialog.NoneButton()->SetValue(true);
                      return Accepted(dialog);
                  }));
    wxTEST_DIALOG(EXPECT_FALSE(ChooseFavoriteFeed(nullptr, "Le Monde", kPage)),
                  Answer([](FeedDialog& dialog) {
                      EXPECT_TRUE(dialog.NoneButton()->GetValue());
                      return wxID_CANCEL;
                  }));
    EXPECT_EQ(Kept().choice, FeedChoice::None);
}

} // namespace
