// The Edit My Favorite and Add/Modify My Favorite dialogs on a real favorites
// file in a temporary program directory. Modal dialogs and message boxes are
// answered through wxTEST_DIALOG, as a user would answer them.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dataview.h>
#include <wx/filefn.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include "answering_dialogs.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "app/main_frame.h"
#include "browser/core/web_address.h"
#include "common/app_paths.h"
#include "common/globals.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "directory/directory_tree.h"
#include "directory/left_view.h"
#include "favorites/dlg_cfg_add_favorite.h"
#include "favorites/dlg_cfg_fav.h"
#include "favorites/favorites_store.h"
#include "gui_test_support.h"
#include "temp_dir.h"

using namespace lumo;
using lumo::test::FileExists;
using lumo::test::ReadFile;
using lumo::test::Settle;
using lumo::test::TempDir;
using lumo::test::WaitFor;
using lumo::test::WriteFile;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// A message box the dialogs must show: its text, the application title as
// caption and the buttons that the answer implies (Yes and No for a question,
// OK alone otherwise).
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage>
{
public:
    explicit ExpectMessage(std::string text, int answer = wxID_OK)
        : m_text(std::move(text)), m_answer(answer)
    {
    }

protected:
    int OnInvoked(wxMessageDialog* dlg) const override
    {
        EXPECT_EQ(dlg->GetMessage().utf8_string(), m_text);
        EXPECT_EQ(dlg->GetCaption().utf8_string(), "LumoNewsReader") << m_text;
        const long style = dlg->GetMessageDialogStyle();
        if (m_answer == wxID_YES || m_answer == wxID_NO) {
            EXPECT_EQ(style & (wxYES_NO | wxOK | wxCANCEL), wxYES_NO) << m_text;
        } else {
            EXPECT_EQ(style & (wxYES_NO | wxOK | wxCANCEL), wxOK) << m_text;
        }
        return m_answer;
    }

    wxString GetDefaultDescription() const override
    {
        return "message box \"" + wxString::FromUTF8(m_text) + "\"";
    }

private:
    std::string m_text;
    int m_answer;
};

// The Add/Modify My Favorite dialog, worked by `user`, whose result is what
// the dialog's ShowModal returns.
class ExpectAddFavorite : public wxExpectModalBase<CDlgCfgAddFavorite, ExpectAddFavorite>
{
public:
    using User = std::function<int(CDlgCfgAddFavorite&)>;
    explicit ExpectAddFavorite(User user) : m_user(std::move(user)) {}

protected:
    int OnInvoked(CDlgCfgAddFavorite* dlg) const override { return m_user(*dlg); }

    wxString GetDefaultDescription() const override { return "Add/Modify My Favorite dialog"; }

private:
    User m_user;
};

void Type(CDlgCfgAddFavorite& dlg, const std::string& name, const std::string& url)
{
    dlg.NameCtrl()->SetValue(wxString::FromUTF8(name));
    dlg.URLCtrl()->SetValue(wxString::FromUTF8(url));
}

// Saves what the user typed and reports the result ShowModal would return:
// wxID_OK when the dialog ended, else Cancel pressed after the failed Save.
int SaveThenCancelIfStillOpen(CDlgCfgAddFavorite& dlg)
{
    return dlg.Save() ? dlg.GetReturnCode() : wxID_CANCEL;
}

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else
            out += c;
    }
    return out;
}

std::string FavoritesXml(const std::vector<FavoriteEntry>& entries)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n";
    for (const auto& e : entries)
        xml += "  <Favorite>\n    <title>" + Escape(e.title) + "</title>\n    <url>" +
               Escape(e.url) + "</url>\n  </Favorite>\n";
    return xml + "</Favorites>\n";
}

class NoMessages : public FavoritesReporter
{
public:
    void ShowMessage(const std::string& text) override
    {
        ADD_FAILURE() << "reading the file showed " << text;
    }
};

wxButton* ButtonOf(wxWindow& dlg, int id)
{
    return dynamic_cast<wxButton*>(dlg.FindWindow(id));
}

void Click(wxWindow& dlg, int id)
{
    wxButton* button = ButtonOf(dlg, id);
    ASSERT_NE(button, nullptr) << id;
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
}

// The topmost modal dialog of type T, or null.
template <class T> T* ModalDialog()
{
    for (auto it = wxTopLevelWindows.rbegin(); it != wxTopLevelWindows.rend(); ++it)
        if (auto* dlg = dynamic_cast<T*>(*it); dlg && dlg->IsModal())
            return dlg;
    return nullptr;
}

class FavoritesDialogsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_path = m_dir.File("Favorites.xml");
        WriteFile(m_path, FavoritesXml(m_initial));
    }

    std::vector<FavoriteEntry> FileEntries() const
    {
        NoMessages quiet;
        return FavoritesStore(m_path, quiet).LoadFavorites();
    }

    static Rows ListRows(const CDlgCfgFav& dlg)
    {
        Rows rows;
        FavoritesList* list = dlg.List();
        for (int r = 0; r < list->GetItemCount(); ++r) {
            std::vector<std::string> row;
            for (unsigned c = 0; c < 3; ++c)
                row.push_back(list->GetTextValue(r, c).utf8_string());
            rows.push_back(row);
        }
        return rows;
    }

    // Activates a row as a double-click or Enter on it does; an invalid item
    // stands for a double-click that hit no row.
    static void Activate(CDlgCfgFav& dlg, const wxDataViewItem& item)
    {
        wxDataViewEvent event(wxEVT_DATAVIEW_ITEM_ACTIVATED, dlg.List(), item);
        dlg.List()->ProcessWindowEvent(event);
    }

    TempDir m_dir;
    std::string m_path;
    std::vector<FavoriteEntry> m_initial = {{"The New York Times", "https://www.nytimes.com/"},
                                            {"Le Monde", "https://www.lemonde.fr/"}};
};

// Counts the modal dialogs opened while it lives and answers them with Cancel.
class CountDialogs : public wxModalDialogHook
{
public:
    CountDialogs() { Register(); }
    ~CountDialogs() override { Unregister(); }
    int count = 0;

protected:
    int Enter(wxDialog*) override
    {
        ++count;
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

} // namespace

TEST_F(FavoritesDialogsTest, ListShowsEveryEntryInFileOrderNumberedFromOne)
{
    std::vector<FavoriteEntry> entries;
    for (int i = 1; i <= 9; ++i)
        entries.push_back({"Paper " + std::to_string(i), "https://p" + std::to_string(i) + "/"});
    entries.push_back({"Paper 1", "https://other/"}); // same name, tenth row
    WriteFile(m_path, FavoritesXml(entries) + "<!-- trailing -->\n");
    const std::string before = ReadFile(m_path);

    CDlgCfgFav dlg(nullptr, m_path);
    EXPECT_EQ(dlg.GetTitle(), "Edit My Favorite");
    FavoritesList* list = dlg.List();
    ASSERT_EQ(list->GetColumnCount(), 3u);
    const char* headers[] = {"No.", "Newspaper's Name", "Newspaper's URL"};
    for (unsigned c = 0; c < 3; ++c)
        EXPECT_EQ(list->GetColumn(c)->GetTitle(), headers[c]);
    EXPECT_EQ(ButtonOf(dlg, wxID_OK)->GetLabel(), "New");
    EXPECT_EQ(ButtonOf(dlg, wxID_CANCEL)->GetLabel(), "Close");
    EXPECT_EQ(dlg.GetDefaultItem(), ButtonOf(dlg, wxID_OK));
    bool hintShown = false;
    for (wxWindow* child : dlg.GetChildren())
        if (auto* text = dynamic_cast<wxStaticText*>(child))
            hintShown |= text->GetLabel() == "Double-click to edit or delete the record";
    EXPECT_TRUE(hintShown);

    Rows rows = ListRows(dlg);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"000001", "Paper 1", "https://p1/"}));
    EXPECT_EQ(rows[8], (std::vector<std::string>{"000009", "Paper 9", "https://p9/"}));
    EXPECT_EQ(rows[9], (std::vector<std::string>{"000010", "Paper 1", "https://other/"}));
    EXPECT_EQ(FavoriteRowNumber(999998), "999999");
    EXPECT_EQ(FavoriteRowNumber(999999), "1000000");
    EXPECT_EQ(ReadFile(m_path), before); // listing never writes

    // On screen, the numbers are not cut off and the texts get their 200 pixels.
    dlg.Show();
    ASSERT_TRUE(WaitFor([&] { return list->GetColumn(0)->GetWidth() > 0; }));
    EXPECT_GE(list->GetColumn(0)->GetWidth(), list->GetTextExtent("000010").x + 4);
    EXPECT_GE(list->GetColumn(1)->GetWidth(), dlg.FromDIP(200));
    EXPECT_GE(list->GetColumn(2)->GetWidth(), dlg.FromDIP(200));
    dlg.Hide();

    // A file without entries, or none at all, lists nothing and shows no message.
    WriteFile(m_path, "<Favorites/>");
    dlg.RefreshList();
    EXPECT_EQ(list->GetItemCount(), 0);
    std::remove(m_path.c_str());
    CDlgCfgFav missing(nullptr, m_path);
    EXPECT_EQ(missing.List()->GetItemCount(), 0);
    EXPECT_FALSE(FileExists(m_path));
}

TEST_F(FavoritesDialogsTest, NewAddsTheTrimmedEntryAsTheLastRowAfterSuccess)
{
    CDlgCfgFav dlg(nullptr, m_path);
    int result = 0;
    wxTEST_DIALOG(result = dlg.NewFavorite(), ExpectAddFavorite([](CDlgCfgAddFavorite& add) {
                      EXPECT_FALSE(add.IsEditMode());
                      EXPECT_EQ(add.GetTitle(), "Add/Modify My Favorite");
                      EXPECT_EQ(add.NameCtrl()->GetValue(), "");
                      EXPECT_EQ(add.URLCtrl()->GetValue(), "");
                      EXPECT_TRUE(add.NameCtrl()->IsEnabled());
                      EXPECT_TRUE(add.URLCtrl()->IsEnabled());
                      EXPECT_TRUE(ButtonOf(add, wxID_OK)->IsEnabled());
                      EXPECT_FALSE(ButtonOf(add, IDC_FAV_DELETE)->IsEnabled());
                      EXPECT_TRUE(ButtonOf(add, wxID_CANCEL)->IsEnabled());
                      EXPECT_EQ(add.GetDefaultItem(), ButtonOf(add, wxID_OK));
                      Type(add, "  Chicago Tribune\t", " https://www.chicagotribune.com/ ");
                      EXPECT_TRUE(add.Save());
                      return add.GetReturnCode();
                  }),
                  ExpectMessage("Successfully!"));
    EXPECT_EQ(result, wxID_OK);
    const Rows rows = ListRows(dlg);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2], (std::vector<std::string>{"000003", "Chicago Tribune",
                                                 "https://www.chicagotribune.com/"}));
    auto expected = m_initial;
    expected.push_back({"Chicago Tribune", "https://www.chicagotribune.com/"});
    EXPECT_EQ(FileEntries(), expected);
}

TEST_F(FavoritesDialogsTest, FailedSavesKeepTheDialogOpenAndCancelDoesNotRefill)
{
    const std::string before = ReadFile(m_path);
    CDlgCfgFav dlg(nullptr, m_path);
    const std::string handEdited = FavoritesXml({{"Hand", "https://hand/"}});
    int result = 0;
    wxTEST_DIALOG(result = dlg.NewFavorite(), ExpectAddFavorite([&](CDlgCfgAddFavorite& add) {
                      // Blank name or address: nothing shown, nothing written, texts kept.
                      for (auto [name, url] : {std::pair{"   ", "https://x/"},
                                               std::pair{"X", " \t "}, std::pair{"", ""}}) {
                          Type(add, name, url);
                          EXPECT_FALSE(add.Save()) << name;
                          EXPECT_NE(add.GetReturnCode(), wxID_OK);
                          EXPECT_EQ(add.NameCtrl()->GetValue().utf8_string(), name);
                          EXPECT_EQ(add.URLCtrl()->GetValue().utf8_string(), url);
                          EXPECT_EQ(ReadFile(m_path), before);
                      }
                      // An exact repeat: the duplicate message once, the dialog stays open.
                      Type(add, "Le Monde", "https://www.lemonde.fr/");
                      EXPECT_FALSE(add.Save());
                      EXPECT_EQ(add.NameCtrl()->GetValue(), "Le Monde");
                      EXPECT_EQ(ReadFile(m_path), before);
                      // Changed by hand while the dialog is open; Cancel must not re-read it.
                      WriteFile(m_path, handEdited);
                      return wxID_CANCEL;
                  }),
                  ExpectMessage("The same content already exist, delete it then add new!"));
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_EQ(ListRows(dlg).size(), 2u);
    EXPECT_EQ(ListRows(dlg)[1][1], "Le Monde");
    EXPECT_EQ(ReadFile(m_path), handEdited);

    // The same name in other letter case is another entry; OK refills from the file.
    wxTEST_DIALOG(result = dlg.NewFavorite(), ExpectAddFavorite([](CDlgCfgAddFavorite& add) {
                      Type(add, "le monde", "https://www.lemonde.fr/");
                      return SaveThenCancelIfStillOpen(add);
                  }),
                  ExpectMessage("Successfully!"));
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(ListRows(dlg), (Rows{{"000001", "Hand", "https://hand/"},
                                   {"000002", "le monde", "https://www.lemonde.fr/"}}));
}

TEST_F(FavoritesDialogsTest, SaveSaysWhyItCannotWriteAndCreatesAMissingFile)
{
    const std::string refused = ". The file is left as it is.";
    const std::pair<const char*, std::string> unusable[] = {
        {"<favorites/>", " holds no <Favorites> list"},
        {"<Favorites><Favorite>", " is not well-formed XML"},
        {"<Favorites><Favorite><title>&nbsp;</title></Favorite></Favorites>",
         " is not well-formed XML"},
    };
    for (const auto& [content, why] : unusable) {
        WriteFile(m_path, content);
        CDlgCfgAddFavorite add(nullptr, m_path);
        Type(add, "Le Figaro", "https://www.lefigaro.fr/");
        wxTEST_DIALOG(EXPECT_FALSE(add.Save()),
                      ExpectMessage("The favorites could not be saved: " + m_path + why + refused));
        EXPECT_NE(add.GetReturnCode(), wxID_OK);
        EXPECT_EQ(add.NameCtrl()->GetValue(), "Le Figaro");
        EXPECT_EQ(ReadFile(m_path), content);
    }

    // A folder in the file's place is named; it is not replaced.
    std::remove(m_path.c_str());
    ASSERT_TRUE(wxMkdir(m_path));
    {
        CDlgCfgAddFavorite add(nullptr, m_path);
        Type(add, "Le Figaro", "https://www.lefigaro.fr/");
        wxTEST_DIALOG(EXPECT_FALSE(add.Save()), ExpectMessage("The favorites could not be saved: " +
                                                              m_path + " is not a file" + refused));
    }
    ASSERT_TRUE(wxRmdir(m_path));

    // Characters XML cannot hold are named, and nothing is written.
    {
        CDlgCfgAddFavorite add(nullptr, m_path);
        Type(add, "Bell \x01 and \xEF\xBF\xBF", "https://www.lefigaro.fr/");
        wxTEST_DIALOG(EXPECT_FALSE(add.Save()),
                      ExpectMessage("The favorite was not saved: the name holds characters a "
                                    "favorites file cannot keep (U+0001, U+FFFF)."));
        EXPECT_FALSE(FileExists(m_path));
    }

    // Without a file, the first Save creates one holding the new entry.
    CDlgCfgAddFavorite add(nullptr, m_path);
    Type(add, "Le Figaro", "https://www.lefigaro.fr/");
    wxTEST_DIALOG(EXPECT_TRUE(add.Save()), ExpectMessage("Successfully!"));
    EXPECT_EQ(add.GetReturnCode(), wxID_OK);
    EXPECT_EQ(FileEntries(),
              (std::vector<FavoriteEntry>{{"Le Figaro", "https://www.lefigaro.fr/"}}));
    EXPECT_EQ(
        ReadFile(m_path).rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n", 0), 0u);
}

TEST_F(FavoritesDialogsTest, SaveRefusesScriptAndDataAddressesAndKeepsTheFile)
{
    const std::string before = ReadFile(m_path);
    CDlgCfgAddFavorite add(nullptr, m_path);
    for (const char* address :
         {"javascript:document.title='x'+document.cookie", "  JAVASCRIPT:alert(1)",
          "\x01java\tscript:alert(1)", "data:text/html,<script>alert(1)</script>",
          "blob:https://a.example/1"}) {
        Type(add, "Evil", address);
        wxTEST_DIALOG(EXPECT_FALSE(add.Save()), ExpectMessage(kMsgRefusedFavoriteAddress));
        EXPECT_NE(add.GetReturnCode(), wxID_OK);
        EXPECT_EQ(add.URLCtrl()->GetValue().utf8_string(), address);
    }
    EXPECT_EQ(ReadFile(m_path), before);
}

TEST_F(FavoritesDialogsTest, WaitingForAnotherProgramsChangeKeepsTheWindowAliveAndTakesNoSecondSave)
{
    // Another program holds the lock on the favorites file's folder.
    const int other = open(m_dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    wxFrame window(nullptr, wxID_ANY, "Lumo News Reader");
    window.Show();
    CDlgCfgAddFavorite add(&window, m_path);
    Type(add, "Le Figaro", "https://www.lefigaro.fr/");

    // Events are still handled while the Save waits: a timer lets the other
    // program finish. Meanwhile the window takes no input and a second Save
    // does nothing.
    bool windowTookInput = true;
    bool secondSave = true;
    wxTimer release;
    release.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        windowTookInput = window.IsEnabled();
        secondSave = add.Save();
        flock(other, LOCK_UN);
    });
    release.StartOnce(300);
    wxTEST_DIALOG(EXPECT_TRUE(add.Save()), ExpectMessage("Successfully!"));
    close(other);
    EXPECT_FALSE(windowTookInput);
    EXPECT_FALSE(secondSave);
    EXPECT_TRUE(window.IsEnabled());
    EXPECT_EQ(FileEntries().size(), m_initial.size() + 1);
    EXPECT_EQ(FileEntries().back(), (FavoriteEntry{"Le Figaro", "https://www.lefigaro.fr/"}));
}

TEST_F(FavoritesDialogsTest, EditModeDeletesExactlyTheActivatedRowAfterYes)
{
    WriteFile(
        m_path,
        FavoritesXml(
            {{"A", "https://a/"}, {"B", "https://b/"}, {"A", "https://a2/"}, {"C", "https://c/"}}));
    const std::string before = ReadFile(m_path);
    CDlgCfgFav dlg(nullptr, m_path);
    int opened = 0;
    wxTEST_DIALOG(Activate(dlg, dlg.List()->RowToItem(2)),
                  ExpectAddFavorite([&](CDlgCfgAddFavorite& add) {
                      ++opened;
                      EXPECT_TRUE(add.IsEditMode());
                      EXPECT_EQ(add.GetTitle(), "Edit My Favorites");
                      EXPECT_EQ(add.NameCtrl()->GetValue(), "A");
                      EXPECT_EQ(add.URLCtrl()->GetValue(), "https://a2/");
                      EXPECT_FALSE(add.NameCtrl()->IsEnabled());
                      EXPECT_FALSE(add.URLCtrl()->IsEnabled());
                      EXPECT_FALSE(ButtonOf(add, wxID_OK)->IsEnabled());
                      EXPECT_TRUE(ButtonOf(add, IDC_FAV_DELETE)->IsEnabled());
                      EXPECT_TRUE(ButtonOf(add, wxID_CANCEL)->IsEnabled());
                      EXPECT_FALSE(add.Delete()); // "No"
                      EXPECT_EQ(ReadFile(m_path), before);
                      EXPECT_NE(add.GetReturnCode(), wxID_OK);
                      EXPECT_TRUE(add.Delete()); // "Yes"
                      return add.GetReturnCode();
                  }),
                  ExpectMessage("Determined to delete?", wxID_NO),
                  ExpectMessage("Determined to delete?", wxID_YES), ExpectMessage("Successfully!"));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(ListRows(dlg), (Rows{{"000001", "A", "https://a/"},
                                   {"000002", "B", "https://b/"},
                                   {"000003", "C", "https://c/"}}));
    EXPECT_EQ(FileEntries(), (std::vector<FavoriteEntry>{
                                 {"A", "https://a/"}, {"B", "https://b/"}, {"C", "https://c/"}}));

    // The first of the two "A" rows hands over its own address.
    wxTEST_DIALOG(EXPECT_EQ(dlg.EditRow(0), wxID_CANCEL),
                  ExpectAddFavorite([](CDlgCfgAddFavorite& add) {
                      EXPECT_EQ(add.URLCtrl()->GetValue(), "https://a/");
                      return wxID_CANCEL;
                  }));
}

TEST_F(FavoritesDialogsTest, ActivationOutsideTheRowsOpensNothing)
{
    CDlgCfgFav dlg(nullptr, m_path);
    CountDialogs dialogs;
    Activate(dlg, wxDataViewItem());
    EXPECT_EQ(dlg.EditRow(-1), wxID_NONE);
    EXPECT_EQ(dlg.EditRow(2), wxID_NONE);
    EXPECT_EQ(dialogs.count, 0);
}

TEST_F(FavoritesDialogsTest, CancelInEditModeWritesNothingAndDoesNotRefill)
{
    CDlgCfgFav dlg(nullptr, m_path);
    const std::string handEdited = FavoritesXml({{"Hand", "https://hand/"}});
    wxTEST_DIALOG(EXPECT_EQ(dlg.EditRow(1), wxID_CANCEL),
                  ExpectAddFavorite([&](CDlgCfgAddFavorite& add) {
                      WriteFile(m_path, handEdited);
                      EXPECT_EQ(add.URLCtrl()->GetValue(), "https://www.lemonde.fr/");
                      return wxID_CANCEL;
                  }));
    EXPECT_EQ(ListRows(dlg).size(), 2u);
    EXPECT_EQ(ReadFile(m_path), handEdited);
}

TEST_F(FavoritesDialogsTest, EntryWithoutAddressOpensButCannotBeDeleted)
{
    const std::string file = "<Favorites><Favorite><title>No address</title></Favorite>"
                             "<Favorite><url>https://no-name/</url></Favorite></Favorites>";
    WriteFile(m_path, file);
    CDlgCfgFav dlg(nullptr, m_path);
    EXPECT_EQ(ListRows(dlg),
              (Rows{{"000001", "No address", ""}, {"000002", "", "https://no-name/"}}));
    for (int row = 0; row < 2; ++row) {
        int result = 0;
        wxTEST_DIALOG(result = dlg.EditRow(row), ExpectAddFavorite([](CDlgCfgAddFavorite& add) {
                          EXPECT_TRUE(add.IsEditMode());
                          EXPECT_FALSE(add.Delete());
                          EXPECT_NE(add.GetReturnCode(), wxID_OK);
                          return wxID_CANCEL;
                      }),
                      ExpectMessage("Determined to delete?", wxID_YES));
        EXPECT_EQ(result, wxID_CANCEL);
        EXPECT_EQ(ReadFile(m_path), file);
    }
}

TEST_F(FavoritesDialogsTest, AmpersandLessThanAndNonAsciiRoundTrip)
{
    const std::string name = "Süddeutsche & <Zeitung> 東京新聞";
    const std::string url = "https://example.org/?a=1&b=<2>&c=é";
    CDlgCfgFav dlg(nullptr, m_path);
    wxTEST_DIALOG(dlg.NewFavorite(), ExpectAddFavorite([&](CDlgCfgAddFavorite& add) {
                      Type(add, name, url);
                      return SaveThenCancelIfStillOpen(add);
                  }),
                  ExpectMessage("Successfully!"));
    const std::string written = ReadFile(m_path);
    EXPECT_NE(written.find("&amp; &lt;Zeitung"), std::string::npos) << written;
    ASSERT_EQ(ListRows(dlg).size(), 3u);
    EXPECT_EQ(ListRows(dlg)[2], (std::vector<std::string>{"000003", name, url}));

    wxTEST_DIALOG(dlg.EditRow(2), ExpectAddFavorite([&](CDlgCfgAddFavorite& add) {
                      EXPECT_EQ(add.NameCtrl()->GetValue().utf8_string(), name);
                      EXPECT_EQ(add.URLCtrl()->GetValue().utf8_string(), url);
                      return add.Delete() ? add.GetReturnCode() : wxID_CANCEL;
                  }),
                  ExpectMessage("Determined to delete?", wxID_YES), ExpectMessage("Successfully!"));
    EXPECT_EQ(FileEntries(), m_initial);
    EXPECT_EQ(ListRows(dlg).size(), 2u);
}

TEST_F(FavoritesDialogsTest, FieldsAreNamedByTheirLabelsForScreenReaders)
{
    CDlgCfgFav list(nullptr, m_path);
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(list.List()->GtkGetTreeView())),
                 "My favorites");
    CDlgCfgAddFavorite add(nullptr, m_path);
    for (auto [field, label] : {std::pair{add.NameCtrl(), "Newspapers, magazines Name"},
                                std::pair{add.URLCtrl(), "Newspapers, magazines URL"}}) {
        AtkObject* accessible = gtk_widget_get_accessible(field->GetHandle());
        ASSERT_NE(accessible, nullptr);
        EXPECT_STREQ(atk_object_get_name(accessible), label);
        AtkRelationSet* relations = atk_object_ref_relation_set(accessible);
        AtkRelation* labelledBy =
            atk_relation_set_get_relation_by_type(relations, ATK_RELATION_LABELLED_BY);
        ASSERT_NE(labelledBy, nullptr) << label;
        GPtrArray* targets = atk_relation_get_target(labelledBy);
        ASSERT_EQ(targets->len, 1u);
        EXPECT_STREQ(atk_object_get_name(ATK_OBJECT(g_ptr_array_index(targets, 0))), label);
        g_object_unref(relations);
    }
}

TEST_F(FavoritesDialogsTest, ModifyCommandEditsTheProgramDirectoryFileAndTheTreeShowsItAtOnce)
{
    // The current directory holds another file: only the program directory counts.
    TempDir elsewhere;
    WriteFile(elsewhere.File("Favorites.xml"), FavoritesXml({{"Wrong", "https://wrong/"}}));
    const wxString oldCwd = wxGetCwd();
    ASSERT_TRUE(wxSetWorkingDirectory(wxString::FromUTF8(elsewhere.Path())));
    const std::string oldAppDir = ProgramDirectory();
    SetProgramDirectory(m_dir.Path());

    SettingsFile settings = OpenSettingsFile(m_dir.File("settings/LumoNewsReader.conf"));
    ProfileStore profile(*settings);
    NoMessages reporter;
    auto* frame = new CMainFrame(profile, reporter);
    ASSERT_TRUE(frame->Create());
    frame->InitialUpdate();
    auto treeFavorites = [&] {
        const DirectoryTree& tree = frame->LeftView()->Items();
        std::vector<std::string> names;
        for (DirectoryTree::ItemId item = 1; item <= tree.GetCount(); ++item)
            if (tree.GetItemText(item) == kMyFavoritesBranch)
                for (DirectoryTree::ItemId child : tree.GetChildren(item))
                    names.push_back(tree.GetItemText(child));
        return names;
    };
    const std::vector<std::string> before = {"Le Monde", "The New York Times"};
    ASSERT_EQ(treeFavorites(), before);

    class ExpectList : public wxExpectModalBase<CDlgCfgFav, ExpectList>
    {
    protected:
        int OnInvoked(CDlgCfgFav* dlg) const override
        {
            EXPECT_EQ(dlg->GetParent(), wxTheApp->GetTopWindow());
            EXPECT_EQ(dlg->List()->GetItemCount(), 2);
            EXPECT_EQ(dlg->NewFavorite(), wxID_OK);
            return wxID_CANCEL;
        }
    };
    // What the user opened and chose stays as it is.
    CLeftView* tree = frame->LeftView();
    const auto california = [&] {
        for (DirectoryTree::ItemId item = 1; item <= tree->Items().GetCount(); ++item)
            if (tree->Items().GetItemText(item) == "[CA]California")
                return item;
        return DirectoryTree::kTop;
    };
    tree->Expand(CLeftView::ToViewItem(california()));
    const DirectoryTree::ItemId paper = tree->Items().GetChildren(california()).front();
    const std::string paperName = tree->Items().GetItemText(paper);
    tree->Select(CLeftView::ToViewItem(paper));
    wxTheApp->SetTopWindow(frame);
    wxCommandEvent modify(wxEVT_MENU, ToWxId(ID_FAVORITES_MODIFY));
    wxTEST_DIALOG(frame->ProcessWindowEvent(modify), ExpectList(),
                  ExpectAddFavorite([](CDlgCfgAddFavorite& add) {
                      Type(add, "Chicago Tribune", "https://www.chicagotribune.com/");
                      return SaveThenCancelIfStillOpen(add);
                  }),
                  ExpectMessage("Successfully!"));
    EXPECT_EQ(FileEntries().size(), 3u);
    EXPECT_NE(treeFavorites(), before);
    EXPECT_EQ(treeFavorites(),
              (std::vector<std::string>{"Chicago Tribune", "Le Monde", "The New York Times"}));
    EXPECT_TRUE(tree->IsExpanded(CLeftView::ToViewItem(california())));
    EXPECT_EQ(tree->Items().GetItemText(CLeftView::ToItem(tree->GetSelection())), paperName);

    delete frame;
    wxTheApp->SetTopWindow(nullptr);
    wxTheApp->ProcessPendingEvents();
    SetProgramDirectory(oldAppDir);
    wxSetWorkingDirectory(oldCwd);
}

// The dialogs in real modal loops, worked through their buttons, the list's
// activation and the Escape key, with only the message boxes answered by the hook.
class RealModalTest : public FavoritesDialogsTest
{
protected:
    // Answers message boxes in order and lets every other dialog show.
    class MessageBoxAnswers : public wxModalDialogHook
    {
    public:
        MessageBoxAnswers() { Register(); }
        ~MessageBoxAnswers() override
        {
            Unregister();
            EXPECT_TRUE(expected.empty()) << expected.front().first << " was not shown";
        }
        std::deque<std::pair<std::string, int>> expected;

    protected:
        int Enter(wxDialog* dlg) override
        {
            auto* box = dynamic_cast<wxMessageDialog*>(dlg);
            if (!box)
                return wxID_NONE;
            if (expected.empty()) {
                ADD_FAILURE() << "unexpected message " << box->GetMessage().utf8_string();
                return wxID_CANCEL;
            }
            auto [text, answer] = expected.front();
            expected.pop_front();
            EXPECT_EQ(box->GetMessage().utf8_string(), text);
            EXPECT_EQ(box->GetCaption(), "LumoNewsReader");
            return answer;
        }
        void Exit(wxDialog*) override {}
    };

    // Ends the modal dialogs still open after the time limit, innermost
    // first, so that a fault shows as a failure instead of a hang.
    class Watchdog : public wxTimer
    {
    public:
        Watchdog() { StartOnce(30000); }
        void Notify() override
        {
            if (!m_fired) {
                ADD_FAILURE() << "modal dialogs still open after 30 s";
                m_fired = true;
                // Later steps may open more dialogs; keep ending them.
                Start(500);
            }
            // Only the innermost modal loop can end; outer ones follow at later ticks.
            if (wxDialog* dlg = ModalDialog<wxDialog>())
                dlg->EndModal(wxID_ABORT);
        }

    private:
        bool m_fired = false;
    };

    // Runs `step` once the event loop of the innermost modal dialog runs.
    static void Then(std::function<void()> step) { wxTheApp->CallAfter(std::move(step)); }

    // Runs `step` once a modal dialog of type T is the active window and has
    // settled; polled, so it never holds up the loop that shows the dialog.
    template <class T> static void WhenActive(std::function<void(T&)> step)
    {
        auto* timer = new wxTimer;
        auto activeSince = std::make_shared<int>(0);
        timer->Bind(wxEVT_TIMER, [timer, activeSince, step](wxTimerEvent&) {
            T* dlg = ModalDialog<T>();
            *activeSince = dlg && dlg->IsActive() ? *activeSince + 1 : 0;
            if (*activeSince < 4)
                return;
            timer->Stop();
            wxTheApp->CallAfter([timer] { delete timer; });
            auto run = step; // the timer, and this handler, may go while it runs
            run(*dlg);
        });
        timer->Start(50);
    }
};

TEST_F(RealModalTest, AddAndDeleteFromTheModifyCommand)
{
    SetProgramDirectory(m_dir.Path());
    MessageBoxAnswers answers;
    answers.expected = {{"Successfully!", wxID_OK},
                        {"Determined to delete?", wxID_YES},
                        {"Successfully!", wxID_OK}};
    Watchdog watchdog;
    Rows afterAdd;
    Rows afterDelete;
    bool closed = false;

    Then([&] {
        CDlgCfgFav* list = ModalDialog<CDlgCfgFav>();
        ASSERT_NE(list, nullptr);
        Then([&] {
            CDlgCfgAddFavorite* add = ModalDialog<CDlgCfgAddFavorite>();
            ASSERT_NE(add, nullptr);
            Type(*add, "Le Figaro", "https://www.lefigaro.fr/");
            Click(*add, wxID_OK);
        });
        Click(*list, wxID_OK); // New, modal until the Save above
        afterAdd = ListRows(*list);
        EXPECT_EQ(FileEntries().size(), 3u);

        Then([&] {
            CDlgCfgAddFavorite* edit = ModalDialog<CDlgCfgAddFavorite>();
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->NameCtrl()->GetValue(), "The New York Times");
            Click(*edit, IDC_FAV_DELETE);
        });
        Activate(*list, list->List()->RowToItem(0));
        afterDelete = ListRows(*list);

        Then([&] {
            CDlgCfgFav* stillOpen = ModalDialog<CDlgCfgFav>();
            ASSERT_NE(stillOpen, nullptr);
            wxKeyEvent escape(wxEVT_CHAR_HOOK);
            escape.m_keyCode = WXK_ESCAPE;
            escape.SetEventObject(stillOpen);
            stillOpen->ProcessWindowEvent(escape);
            closed = true;
        });
    });
    ShowEditFavoritesDialog(nullptr);

    EXPECT_TRUE(closed);
    EXPECT_EQ(afterAdd, (Rows{{"000001", "The New York Times", "https://www.nytimes.com/"},
                              {"000002", "Le Monde", "https://www.lemonde.fr/"},
                              {"000003", "Le Figaro", "https://www.lefigaro.fr/"}}));
    EXPECT_EQ(afterDelete, (Rows{{"000001", "Le Monde", "https://www.lemonde.fr/"},
                                 {"000002", "Le Figaro", "https://www.lefigaro.fr/"}}));
    EXPECT_EQ(FileEntries(),
              (std::vector<FavoriteEntry>{{"Le Monde", "https://www.lemonde.fr/"},
                                          {"Le Figaro", "https://www.lefigaro.fr/"}}));
    EXPECT_EQ(ModalDialog<wxDialog>(), nullptr);
}

// Real keys from the X server, as a keyboard user meets both dialogs: Enter
// right after opening presses New, typing goes to the name field at once and
// Enter there saves; Tab reaches the records.
TEST_F(RealModalTest, KeysRightAfterOpeningReachNewTheNameFieldAndTheList)
{
    using lumo::test::PressKey;
    MessageBoxAnswers answers;
    answers.expected = {{"Successfully!", wxID_OK}};
    Watchdog watchdog;
    CDlgCfgFav list(nullptr, m_path);
    bool addedByKeys = false;
    bool listReached = false;
    WhenActive<CDlgCfgFav>([&](CDlgCfgFav&) {
        WhenActive<CDlgCfgAddFavorite>([&](CDlgCfgAddFavorite& add) {
            EXPECT_FALSE(add.IsEditMode());
            for (unsigned long key : {XK_a, XK_b, XK_Tab, XK_x, XK_Return})
                PressKey(key);
            WhenActive<CDlgCfgFav>([&](CDlgCfgFav&) {
                addedByKeys = ListRows(list).size() == 3;
                for (int tab = 0; tab < 3 && wxWindow::FindFocus() != list.List(); ++tab) {
                    const wxWindow* before = wxWindow::FindFocus();
                    PressKey(XK_Tab);
                    WaitFor([&] { return wxWindow::FindFocus() != before; },
                            std::chrono::seconds(2));
                }
                listReached = wxWindow::FindFocus() == list.List();
                list.EndModal(wxID_CANCEL);
            });
        });
        PressKey(XK_Return);
    });
    list.ShowModal();
    EXPECT_TRUE(addedByKeys);
    EXPECT_EQ(FileEntries().back(), (FavoriteEntry{"ab", "x"}));
    EXPECT_TRUE(listReached);
}

TEST_F(RealModalTest, CloseEscapeAndTheCloseBoxEndBothDialogsWithCancel)
{
    const std::string before = ReadFile(m_path);
    const std::vector<std::pair<const char*, std::function<void(wxDialog&)>>> ways = {
        {"Close/Cancel button", [](wxDialog& dlg) { Click(dlg, wxID_CANCEL); }},
        {"Escape",
         [](wxDialog& dlg) {
             wxKeyEvent escape(wxEVT_CHAR_HOOK);
             escape.m_keyCode = WXK_ESCAPE;
             escape.SetEventObject(&dlg);
             dlg.ProcessWindowEvent(escape);
         }},
        {"close box", [](wxDialog& dlg) { dlg.Close(); }},
    };
    for (const auto& [way, end] : ways) {
        Watchdog watchdog;
        CDlgCfgFav list(nullptr, m_path);
        Then([&] { end(list); });
        EXPECT_EQ(list.ShowModal(), wxID_CANCEL) << way;

        for (bool editMode : {false, true}) {
            auto add = editMode ? std::make_unique<CDlgCfgAddFavorite>(nullptr, m_path, "Le Monde",
                                                                       "https://www.lemonde.fr/")
                                : std::make_unique<CDlgCfgAddFavorite>(nullptr, m_path);
            if (!editMode)
                Type(*add, "Typed", "https://typed/");
            Then([&] { end(*add); });
            EXPECT_EQ(add->ShowModal(), wxID_CANCEL) << way << (editMode ? " (edit)" : " (add)");
        }
        EXPECT_EQ(ReadFile(m_path), before) << way;
    }
}

// Real key and pointer events from the X server: Enter on the current row and
// a double-click on a row open the editor on that row; a double-click below
// the last row opens nothing.
TEST_F(FavoritesDialogsTest, EnterAndDoubleClickOnTheShownList)
{
    GdkDisplay* gdkDisplay = gdk_display_get_default();
    if (!gdkDisplay || !GDK_IS_X11_DISPLAY(gdkDisplay))
        GTEST_SKIP() << "needs an X display";
    Display* display = GDK_DISPLAY_XDISPLAY(gdkDisplay);

    CDlgCfgFav dlg(nullptr, m_path);
    FavoritesList* list = dlg.List();
    dlg.Show();
    dlg.Raise();
    ASSERT_TRUE(WaitFor([&] { return dlg.IsActive(); }));
    list->SetFocus();
    list->SetCurrentItem(list->RowToItem(1));
    ASSERT_TRUE(lumo::test::WaitForFrames(list));

    std::vector<std::string> opened;
    auto record = [&](CDlgCfgAddFavorite& add) {
        opened.push_back(add.NameCtrl()->GetValue().utf8_string() + " " +
                         add.URLCtrl()->GetValue().utf8_string());
        return wxID_CANCEL;
    };
    const KeyCode enter = XKeysymToKeycode(display, XK_Return);
    wxTEST_DIALOG(
        {
            XTestFakeKeyEvent(display, enter, True, CurrentTime);
            XTestFakeKeyEvent(display, enter, False, CurrentTime);
            XSync(display, False);
            EXPECT_TRUE(WaitFor([&] { return !opened.empty(); }, std::chrono::seconds(5)));
        },
        ExpectAddFavorite(record));
    EXPECT_EQ(opened, (std::vector<std::string>{"Le Monde https://www.lemonde.fr/"}));

    auto doubleClick = [&](const wxPoint& clientPoint) {
        const wxPoint at = list->ClientToScreen(clientPoint);
        ASSERT_TRUE(lumo::test::ClickAt(at));
        ASSERT_TRUE(lumo::test::ClickAt(at));
    };
    {
        CountDialogs dialogs;
        doubleClick(wxPoint(list->GetClientSize().x / 2, list->GetClientSize().y - 10));
        // The clicks were in the queue before what the call queues.
        ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
        EXPECT_EQ(dialogs.count, 0);
    }
    // The next clicks come after the double-click time, as a new double-click.
    gint doubleClickMs = 400;
    g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &doubleClickMs, nullptr);
    Settle(std::chrono::milliseconds(doubleClickMs + 100));

    const wxRect firstRow = list->GetItemRect(list->RowToItem(0));
    ASSERT_FALSE(firstRow.IsEmpty());
    opened.clear();
    wxTEST_DIALOG(
        {
            doubleClick(firstRow.GetPosition() + wxPoint(firstRow.width / 2, firstRow.height / 2));
            EXPECT_TRUE(WaitFor([&] { return !opened.empty(); }, std::chrono::seconds(5)));
        },
        ExpectAddFavorite(record));
    EXPECT_EQ(opened, (std::vector<std::string>{"The New York Times https://www.nytimes.com/"}));
}
