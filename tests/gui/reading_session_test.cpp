// Half an hour of reading in one window, as a person reads: papers from My
// Favorites, one that cannot be reached, a search, a headline followed by a
// click, back and forward, the reader view, zoom, find, Ctrl+D, a skin and
// walks with the keys. After every step the window must agree with itself:
// the caption names what is on screen, the pane shows the page it should,
// the focus is where the keys put it, and a screen reader finds exactly one
// web document showing.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filefn.h>
#include <wx/menu.h>
#include <wx/modalhook.h>
#include <wx/process.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/txtstrm.h>
#include <wx/webview.h>

#include "app/main_frame.h"
#include "app/skin.h"
#include "app/view_commands.h"
#include "browser/core/web_address.h"
#include "browser/engine/blocking/filter_library.h"
#include "browser/pane/browser_view.h"
#include "capturing_reporter.h"
#include "common/app_paths.h"
#include "common/globals.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "content_filter/filter_converter.h"
#include "directory/directory_pane.h"
#include "directory/left_view.h"
#include "favorites/dlg_cfg_add_favorite.h"
#include "gui_test_support.h"
#include "local_web_server.h"
#include "temp_dir.h"

using namespace lumo;
using lumo::test::PressKey;
using lumo::test::WaitFor;
using lumo::test::WebResponse;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

// Asks the accessibility bus, from outside this process, for the web
// documents of the program: one line "showing|hidden <TAB> name" each, then
// "end", for every line read.
const char* kDocumentsProbe = R"PY(
import sys
try:
    import pyatspi
except ImportError:
    sys.exit(77)
pid = int(sys.argv[1])
SKIP = {"tree table", "table", "tree", "menu bar", "list", "table cell"}
def walk(node, out, depth=0):
    if node is None or depth > 40:
        return
    node.clear_cache()
    role = node.getRoleName()
    if role == "document web":
        showing = node.getState().contains(pyatspi.STATE_SHOWING)
        out.append(("showing" if showing else "hidden") + "\t" + (node.name or ""))
        return
    if role in SKIP:
        return
    for i in range(min(node.childCount, 200)):
        try:
            walk(node.getChildAtIndex(i), out, depth + 1)
        except Exception:
            pass
for line in sys.stdin:
    out = []
    try:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid:
                walk(app, out)
    except Exception as e:
        out.append("error\t" + str(e))
    print("\n".join(out + ["end"]), flush=True)
)PY";

class DocumentsProbe
{
public:
    bool Start(const std::string& script)
    {
        lumo::test::WriteFile(script, kDocumentsProbe);
        m_process = new wxProcess;
        m_process->Redirect();
        m_process->Bind(wxEVT_END_PROCESS, [this](wxProcessEvent&) { m_ended = true; });
        m_pid = wxExecute(wxString::Format("/usr/bin/python3 %s %ld", script,
                                           static_cast<long>(wxGetProcessId())),
                          wxEXEC_ASYNC, m_process);
        return m_pid != 0;
    }
    ~DocumentsProbe()
    {
        if (m_pid) {
            m_process->CloseOutput();
            if (!WaitFor([&] { return m_ended; }, seconds(10)))
                wxProcess::Kill(m_pid, wxSIGKILL);
            WaitFor([&] { return m_ended; }, seconds(5));
        }
        delete m_process;
    }
    // The documents as the bus shows them now; empty when the probe ended.
    std::vector<std::string> Documents()
    {
        std::vector<std::string> lines;
        if (m_ended)
            return lines;
        m_process->GetOutputStream()->Write("q\n", 2);
        bool done = false;
        WaitFor(
            [&] {
                while (!done && m_process->IsInputAvailable()) {
                    std::string line =
                        wxTextInputStream(*m_process->GetInputStream()).ReadLine().utf8_string();
                    if (line == "end")
                        done = true;
                    else
                        lines.push_back(line);
                }
                return done || m_ended;
            },
            seconds(60));
        return lines;
    }

private:
    wxProcess* m_process = nullptr;
    long m_pid = 0;
    bool m_ended = false;
};

// Answers the add dialog of Ctrl+D: records its fields and cancels.
class CancelledAddDialog : public wxModalDialogHook
{
public:
    CancelledAddDialog() { Register(); }
    ~CancelledAddDialog() override { Unregister(); }
    std::vector<std::string> fields;

protected:
    int Enter(wxDialog* dialog) override
    {
        if (auto* add = dynamic_cast<CDlgCfgAddFavorite*>(dialog))
            fields = {add->NameCtrl()->GetValue().utf8_string(),
                      add->URLCtrl()->GetValue().utf8_string()};
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

std::string Html(const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html><html lang='en'><head><meta charset='utf-8'><title>" + title +
           "</title></head><body style='margin:0'>" + body + "</body></html>";
}

// An article of about 40 KB: headline, byline and many paragraphs, with a
// banner, a tracking pixel and an ad box among them.
std::string Article(const std::string& title)
{
    std::string body = "<main><article><h1>Harbour bridge reopens after repairs</h1>"
                       "<p class='byline'>By Jane Reporter</p>"
                       "<img src='/ads/banner.png' width='728' height='90'>"
                       "<img src='/tracker/pixel.png' width='1' height='1'>"
                       "<div class='ad-box'>Buy the advertised car</div>";
    for (int i = 1; i <= 110; ++i)
        body += "<p>Paragraph " + std::to_string(i) +
                " of the report: the harbour bridge carried its first cars in eight months on "
                "Tuesday morning, after engineers replaced the worn cables and the council "
                "inspected the deck, the railings and the lights along the whole span.</p>";
    return Html(title, body + "</article></main>");
}

enum class Focus
{
    Tree,
    SearchField,
    Page,
    FindField,
    Directory // the tree or its search field
};
const char* const kFocusNames[] = {"the tree", "the search field", "the page", "the find bar",
                                   "the directory"};

// What the window shows after a step.
struct Want
{
    std::string title; // the caption before " - Lumo News Reader"; empty: the page's title
    std::string address;
    Focus focus = Focus::Tree;
    bool failurePage = false;
    bool reader = false;
    // Anything else the step expects: what is wrong, or empty.
    std::function<std::string()> more = {};
};

struct Step
{
    const char* name;
    std::function<void()> action;
    Want want;
};

class ReadingSessionTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault))
            GTEST_SKIP() << "no web engine";
        if (!std::getenv("DBUS_SESSION_BUS_ADDRESS") || !wxFileExists("/usr/bin/python3"))
            GTEST_SKIP() << "no session bus or system python for the accessibility probe";
        ASSERT_TRUE(m_probe.Start(m_dir.File("documents.py")));
        // The program directory: favorites, and the skins the Skin menu loads.
        ASSERT_EQ(mkdir(m_program.File("Skin").c_str(), 0700), 0);
        for (const char* skin : {"XPCorona.ssk", "Minimized.ssk", "SoftCrystal.ssk"})
            wxCopyFile(std::string(LUMO_PROGRAM_DIR) + "/Skin/" + skin,
                       m_program.File(std::string("Skin/") + skin));
        auto favorite = [](const std::string& title, const std::string& url) {
            return "<Favorite><title>" + title + "</title><url>" + url + "</url></Favorite>\n";
        };
        lumo::test::WriteFile(m_program.File("Favorites.xml"),
                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n" +
                                  favorite("Quillby Courier", m_front) +
                                  favorite("Quillby Ledger", m_ledger) +
                                  favorite("Quillby Evening Post", m_post) + "</Favorites>\n");
        m_savedDir = wxGetCwd();
        ASSERT_TRUE(wxSetWorkingDirectory(m_program.Path()));
        SetProgramDirectory(m_program.Path());

        auto serve = [&](const std::string& path, const std::string& html) {
            m_server.Route(path, WebResponse{200, "text/html; charset=utf-8", html, {}, 0});
        };
        serve("/", Html("The Quillby Courier",
                        "<h1>Today</h1><a href='/bridge.html' style='position:absolute;left:40px;"
                        "top:150px;width:500px;height:60px;display:block'>Bridge reopens</a>"));
        serve("/bridge.html", Article(kArticle));
        serve("/post", Html("The Evening Post", "<p>Evening news</p>"));
        for (const char* path : {"/ads/banner.png", "/tracker/pixel.png"})
            m_server.Route(path, WebResponse{200,
                                             "image/svg+xml",
                                             "<svg xmlns='http://www.w3.org/2000/svg' "
                                             "width='728' height='90'/>",
                                             {"Cache-Control: no-store"},
                                             0});
        // Ad and tracker filters of the session's own.
        ASSERT_EQ(mkdir(m_dir.File("filters").c_str(), 0700), 0);
        for (const auto& [name, list] :
             {std::pair<std::string, std::string>{"ads", "/ads/*$image\n##.ad-box\n"},
              {"trackers", "/tracker/*\n"}}) {
            content_filter::Converter converter;
            converter.AddList(list);
            lumo::test::WriteFile(
                m_dir.File("filters") + "/" + name + "-1.json",
                content_filter::SplitIntoParts(converter.Finish(), content_filter::WebKitMaxRules)
                    .front());
        }
        SetShippedFiltersFolder(m_dir.File("filters"));

        m_settings = OpenSettingsFile(m_dir.File("settings/LumoNewsReader.conf"));
        m_profile = std::make_unique<ProfileStore>(*m_settings);
        m_frame = new CMainFrame(*m_profile, m_reporter);
        ASSERT_TRUE(m_frame->Create());
        m_frame->InitialUpdate();
        m_frame->Show();
        m_frame->Raise();
        ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive() && View()->WebView(); }));
        Command(ID_VIEW_STATUS_BAR);
    }

    void TearDown() override
    {
        delete m_frame;
        wxTheApp->ProcessPendingEvents();
        ExitSkin();
        SetProgramDirectory({});
        if (!m_savedDir.empty())
            wxSetWorkingDirectory(m_savedDir);
    }

    CLumoNewsReaderView* View() const { return m_frame->HtmlView(); }
    CLeftView* Tree() const { return m_frame->LeftView(); }
    std::string Status() const { return m_frame->GetStatusBar()->GetStatusText(0).utf8_string(); }

    void Command(int id)
    {
        wxCommandEvent event(wxEVT_MENU, ToWxId(id));
        event.SetEventObject(m_frame);
        m_frame->ProcessWindowEvent(event);
    }

    CLeftView::Item Paper(const std::string& name) const
    {
        for (CLeftView::Item item = 1; item <= Tree()->Items().GetCount(); ++item)
            if (Tree()->Items().GetItemText(item) == name)
                return item;
        return DirectoryTree::kTop;
    }

    // A real click on the row of a paper shown in the tree.
    void ClickPaper(const std::string& name, unsigned button = 1)
    {
        auto* view = GTK_TREE_VIEW(Tree()->GtkGetTreeView());
        const DirectoryTree& tree = Tree()->Items();
        std::vector<gint> indices;
        for (auto at = Paper(name); at != DirectoryTree::kTop; at = tree.GetParent(at))
            indices.insert(indices.begin(), static_cast<gint>(tree.IndexInParent(at)));
        ASSERT_FALSE(indices.empty()) << name;
        GtkTreePath* path = gtk_tree_path_new_from_indicesv(indices.data(), indices.size());
        gtk_tree_view_scroll_to_cell(view, path, nullptr, FALSE, 0, 0);
        // Clicked once the row is wholly in sight.
        GdkRectangle cell{};
        WaitFor([&] {
            gtk_tree_view_get_cell_area(view, path, gtk_tree_view_get_column(view, 0), &cell);
            return cell.y >= 0 && cell.y + cell.height <=
                                      gdk_window_get_height(gtk_tree_view_get_bin_window(view));
        });
        gtk_tree_path_free(path);
        int x = 0, y = 0;
        gdk_window_get_origin(gtk_tree_view_get_bin_window(view), &x, &y);
        ASSERT_TRUE(lumo::test::ClickAt(
            wxPoint(x + cell.x + std::min(cell.width / 2, 60), y + cell.y + cell.height / 2),
            button));
    }

    // The address of the page on screen; for the failure page, the paper's.
    std::string ShownAddress() const
    {
        const std::string url = View()->WebView()->GetCurrentURL().utf8_string();
        const std::optional<FailurePage> failed = ParseFailurePageAddress(url);
        return failed ? failed->address : url;
    }

    Focus FocusNow() const
    {
        wxWindow* focus = wxWindow::FindFocus();
        if (View()->PageHasFocus())
            return Focus::Page;
        if (focus && focus == m_frame->DirectoryPane()->SearchField())
            return Focus::SearchField;
        if (focus && focus == View()->FindField())
            return Focus::FindField;
        if (focus && (focus == Tree() || focus == Tree()->GetMainWindow()))
            return Focus::Tree;
        return Focus(-1);
    }

    // What differs from `want` now; empty when nothing does.
    std::string Differences(const Want& want) const
    {
        std::ostringstream out;
        const std::string caption = m_frame->GetTitle().utf8_string();
        const std::string title = want.title.empty() ? View()->PageTitle() : want.title;
        if (title.empty() || caption != title + " - Lumo News Reader")
            out << " caption \"" << caption << "\" (want \"" << title << " - Lumo News Reader\");";
        if (ShownAddress() != want.address)
            out << " page " << ShownAddress() << " (want " << want.address << ");";
        if (View()->ShowsFailurePage() != want.failurePage)
            out << (want.failurePage ? " no failure page;" : " a failure page;");
        if (View()->IsLoading())
            out << " still loading;";
        if (View()->ReaderShown() != want.reader)
            out << (want.reader ? " no reader view;" : " the reader view;");
        const bool inDirectory = FocusNow() == Focus::Tree || FocusNow() == Focus::SearchField;
        if (FocusNow() != want.focus && !(want.focus == Focus::Directory && inDirectory)) {
            const int now = static_cast<int>(FocusNow());
            out << " focus in " << (now >= 0 ? kFocusNames[now] : "something else") << " (want "
                << kFocusNames[static_cast<int>(want.focus)] << ");";
        }
        if (want.more)
            out << want.more();
        // Why a failure page failed, when the step went wrong.
        if (!out.str().empty() && View()->ShowsFailurePage())
            if (auto failed =
                    lumo::ParseFailurePageAddress(View()->WebView()->GetCurrentURL().utf8_string()))
                out << " the failure page says " << lumo::ReasonText(failed->reason) << ";";
        return out.str();
    }

    // Waits for the state a step should end in, then for the bus to show
    // one web document, and says what is still wrong.
    void Check(const Step& step)
    {
        std::string wrong;
        WaitFor([&] { return (wrong = Differences(step.want)).empty(); });
        ASSERT_EQ(wrong, "") << "after \"" << step.name << "\":" << wrong;
        // The document showing is the page on screen, named by its title
        // (the reader view's by the article's).
        const std::string title = step.want.title.empty() ? View()->PageTitle() : step.want.title;
        std::vector<std::string> documents;
        const bool one = WaitFor(
            [&] {
                documents = m_probe.Documents();
                std::vector<std::string> showing;
                for (const std::string& document : documents)
                    if (document.rfind("showing\t", 0) == 0)
                        showing.push_back(document.substr(8));
                return showing.size() == 1 && (step.want.reader || showing[0] == title);
            },
            seconds(10));
        std::string seen;
        for (const std::string& document : documents)
            seen += "\n  " + document;
        if (documents.empty())
            seen = " none (is the accessibility bus running?)";
        ASSERT_TRUE(one) << "after \"" << step.name << "\": not exactly one web document showing "
                         << "on the accessibility bus, the one on screen:" << seen;
    }

    // The text of the reader view's article; empty when there is none.
    std::string ReaderText() const
    {
        wxWebView* reader = View()->Engine() ? View()->Engine()->ReaderView() : nullptr;
        return reader ? lumo::test::EvaluateInView(reader, "document.body.innerText") : "";
    }

    // Runs the event loop one event at a time until `seen` holds (a state
    // that may not last) or the limit passes.
    bool Glimpse(const std::function<bool()>& seen, milliseconds limit = milliseconds(8000))
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        wxEventLoopBase* loop = wxEventLoopBase::GetActive();
        while (!seen() && std::chrono::steady_clock::now() < end) {
            wxTheApp->ProcessPendingEvents();
            if (loop->Pending())
                loop->Dispatch();
            else
                wxMilliSleep(1);
        }
        return seen();
    }

    static constexpr const char* kArticle = "Harbour bridge reopens after repairs - Courier";
    lumo::test::TempDir m_dir, m_program;
    lumo::test::LocalWebServer m_server;
    const std::string m_front = m_server.Url("/");
    const std::string m_article = m_server.Url("/bridge.html");
    const std::string m_post = m_server.Url("/post");
    const std::string m_ledger = "http://127.0.0.1:9/front";
    DocumentsProbe m_probe;
    wxString m_savedDir;
    SettingsFile m_settings;
    std::unique_ptr<ProfileStore> m_profile;
    lumo::test::CapturingReporter m_reporter;
    lumo::test::RecordedUrlOpens m_urls;
    CMainFrame* m_frame = nullptr;
};

} // namespace

TEST_F(ReadingSessionTest, EveryStepLeavesCaptionPagePaneFocusAndScreenReaderInStep)
{
    CDirectoryPane* pane = m_frame->DirectoryPane();
    auto type = [](const std::string& text) {
        for (char c : text)
            PressKey(static_cast<unsigned long>(c));
    };
    // Where the front page's headline lies on screen.
    const wxPoint headline = View()->WebView()->GetScreenPosition() + wxPoint(270, 180);
    bool progressSeen = false;
    bool menuShown = false;
    CancelledAddDialog addDialog;
    // The paper's menu, closed with Esc as a user would.
    bool menuOpen = false;
    Tree()->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& event) {
        menuShown = menuOpen = true;
        Tree()->CallAfter([] { PressKey(XK_Escape); });
        event.Skip();
    });
    Tree()->Bind(wxEVT_MENU_CLOSE, [&](wxMenuEvent& event) {
        menuOpen = false;
        event.Skip();
    });
    auto postSelected = [&]() -> std::string {
        if (Tree()->IsFiltered())
            return " the tree still shows the search;";
        if (CLeftView::ToItem(Tree()->GetSelection()) != Paper("Quillby Evening Post"))
            return " Quillby Evening Post is not selected;";
        return "";
    };

    // Every caption the window shows, as the desktop is told of it.
    std::vector<std::string> captions;
    const gulong captionWatch = g_signal_connect(
        m_frame->GetHandle(), "notify::title",
        G_CALLBACK(+[](GtkWindow* window, GParamSpec*, std::vector<std::string>* seen) {
            const char* title = gtk_window_get_title(window);
            seen->push_back(title ? title : "");
        }),
        &captions);
    std::size_t enterAt = 0;
    auto noEmptyTitle = [&]() -> std::string {
        for (const std::string& caption : captions)
            if (caption.rfind(" - ", 0) == 0)
                return " the caption read \"" + caption + "\";";
        return "";
    };

    auto press = [](unsigned long key, bool ctrl = false, bool shift = false, bool alt = false) {
        return [=] { PressKey(key, ctrl, shift, alt); };
    };
    auto click = [this](const char* paper) { return [=, this] { ClickPaper(paper); }; };
    const Want post{"The Evening Post", m_post};
    const Want front{"The Quillby Courier", m_front, Focus::Page};
    const Want article{kArticle, m_article, Focus::Page};
    // What the page's filters kept out stays out of the reader view too.
    auto noAdAsked = [&]() -> std::string {
        for (const std::string& request : m_server.Requests())
            if (request.starts_with("/ads/") || request.starts_with("/tracker/"))
                return " " + request + " was asked for;";
        if (ReaderText().find("advertised") != std::string::npos)
            return " the reader view shows the ad box;";
        return "";
    };
    const Want reader{kArticle, m_article, Focus::Page, false, true, noAdAsked};
    auto with = [](Want want, Focus focus, std::function<std::string()> more = {}) {
        want.focus = focus;
        want.more = std::move(more);
        return want;
    };

    const std::vector<Step> steps = {
        {"the window opens on the start page", [] {}, {"", kProductStartPage, Focus::Directory}},
        {"a click on Quillby Courier in My Favorites", click("Quillby Courier"),
         with(front, Focus::Tree)},
        {"a click on Quillby Ledger, which cannot be reached",
         click("Quillby Ledger"),
         {"Quillby Ledger", m_ledger, Focus::Tree, true}},
        {"F6 into the failure page, Tab to \"Try again\" and Enter",
         [&] {
             PressKey(XK_F6);
             WaitFor([&] { return View()->PageHasFocus(); });
             PressKey(XK_Tab);
             lumo::test::WaitForPageToTakeKeys(View()->WebView());
             PressKey(XK_Return);
             progressSeen = Glimpse([&] { return View()->ShowsLoadProgress(); });
         },
         {"Quillby Ledger", m_ledger, Focus::Page, true, false,
          [&] { return progressSeen ? "" : " the progress line never ran;"; }}},
        {"Ctrl+E, \"evening\" and Enter",
         [&] {
             PressKey(XK_e, true);
             WaitFor([&] { return FocusNow() == Focus::SearchField; });
             type("evening");
             WaitFor([&] { return pane->SearchField()->GetValue() == "evening"; });
             enterAt = captions.size();
             PressKey(XK_Return);
         },
         with(post, Focus::Tree,
              [&]() -> std::string {
                  // The paper's name first, until its page has a title.
                  const std::string first =
                      captions.size() > enterAt ? captions[enterAt] : std::string("none");
                  if (first != "Quillby Evening Post - Lumo News Reader")
                      return " the caption did not name the paper first (" + first + ");";
                  return noEmptyTitle();
              })},
        {"Esc twice after the search",
         [&] {
             PressKey(XK_Escape);
             WaitFor([&] { return FocusNow() == Focus::SearchField; });
             PressKey(XK_Escape);
         },
         with(post, Focus::Tree, postSelected)},
        {"a right-click on Quillby Courier, its menu closed with Esc",
         [&] {
             ClickPaper("Quillby Courier", 3);
             WaitFor([&] { return menuShown && !menuOpen; });
         },
         with(post, Focus::Directory,
              [&] {
                  return !menuShown ? " no menu showed;"
                         : menuOpen ? " Esc left the menu open;"
                                    : "";
              })},
        {"Ctrl+E", press(XK_e, true), with(post, Focus::SearchField)},
        {"Tab from the search field", press(XK_Tab), post},
        {"Tab from the tree", press(XK_Tab), with(post, Focus::Page)},
        {"Shift+Tab from the page", press(XK_Tab, false, true), post},
        {"Shift+Tab from the tree", press(XK_Tab, false, true), with(post, Focus::SearchField)},
        {"a click on Quillby Courier again", click("Quillby Courier"), with(front, Focus::Tree)},
        {"the pointer over the headline",
         [&] {
             // Into the page beside the link, then onto it, as a hand moves.
             lumo::test::MovePointerTo(headline + wxPoint(0, 80));
             lumo::test::MovePointerTo(headline);
         },
         with(front, Focus::Tree,
              [&] {
                  return Status() == m_article ? "" : " the status bar reads " + Status() + ";";
              })},
        {"a click on the headline in the page", [&] { lumo::test::ClickAt(headline); },
         with(
             article, Focus::Page,
             [&] { return Status() != m_article ? "" : " the status bar still names the link;"; })},
        {"Open in Web Browser on the article",
         [&] {
             wxCommandEvent event(wxEVT_MENU, ID_OPEN_IN_WEB_BROWSER);
             m_frame->ProcessWindowEvent(event);
         },
         with(article, Focus::Page,
              [&]() -> std::string {
                  const std::string opened =
                      m_urls.opened.empty() ? "nothing" : m_urls.opened.back();
                  return opened == m_article ? "" : " the web browser was given " + opened + ";";
              })},
        {"Alt+Left in the page", press(XK_Left, false, false, true), front},
        {"Alt+Right in the page", press(XK_Right, false, false, true), article},
        {"F9 on the article", press(XK_F9), reader},
        {"Esc back to the page", press(XK_Escape), article},
        {"F9 again", press(XK_F9), reader},
        {"Ctrl++ in the reader view", press(XK_plus, true, true),
         with(reader, Focus::Page,
              [&] { return View()->ZoomPercent() == 110 ? "" : " the zoom did not grow;"; })},
        {"Ctrl+0 in the reader view", press(XK_0, true),
         with(reader, Focus::Page,
              [&] { return View()->ZoomPercent() == 100 ? "" : " the zoom is not 100 %;"; })},
        {"F9 back to the page", press(XK_F9), article},
        {"Ctrl+F, \"bridge\" and Esc",
         [&] {
             PressKey(XK_f, true);
             WaitFor([&] { return FocusNow() == Focus::FindField; });
             type("bridge");
             WaitFor([&] { return View()->FindCount().StartsWith("1 of"); });
             PressKey(XK_Escape);
         },
         article},
        {"Ctrl+F again and \"cables\"",
         [&] {
             PressKey(XK_f, true);
             WaitFor([&] { return FocusNow() == Focus::FindField; });
             // A glance at the bar, which searches its text again, before typing.
             WaitFor([&] { return View()->FindCount().StartsWith("1 of"); });
             type("cables");
         },
         with(article, Focus::FindField,
              [&] {
                  const std::string text = View()->FindField()->GetValue().utf8_string();
                  return text == "cables" ? "" : " the find bar holds \"" + text + "\";";
              })},
        {"Enter, F3, Ctrl+F and \"robot\" in the find bar",
         [&] {
             PressKey(XK_Return);
             PressKey(XK_F3);
             PressKey(XK_f, true);
             WaitFor([&] { return View()->FindCount().StartsWith("1 of"); });
             type("robot");
         },
         with(article, Focus::FindField,
              [&] {
                  const std::string text = View()->FindField()->GetValue().utf8_string();
                  return text == "robot" ? "" : " the find bar holds \"" + text + "\";";
              })},
        {"Esc from the find bar", press(XK_Escape), article},
        {"Ctrl+D, the add dialog cancelled", press(XK_d, true),
         with(article, Focus::Page,
              [&] {
                  const auto& fields = addDialog.fields;
                  return fields == std::vector<std::string>{kArticle, m_article}
                             ? ""
                             : " the add dialog offered " +
                                   (fields.empty() ? "nothing" : fields[0] + " at " + fields[1]) +
                                   ";";
              })},
        {"the Soft skin from the Skin menu", [&] { Command(ID_SKIN_SOFT); },
         with(article, Focus::Page,
              [&] {
                  return CurrentSkinPath() == std::string("Skin/SoftCrystal.ssk") ? ""
                                                                                  : " no skin;";
              })},
        {"F9 in the new skin", press(XK_F9), reader},
        {"Esc out of the reader view", press(XK_Escape), article},
        {"F6 to the tree", press(XK_F6), with(article, Focus::Tree)},
        {"F6 to the page", press(XK_F6), article},
        {"Alt+Left from the article", press(XK_Left, false, false, true), front},
        {"a click on Quillby Ledger after the front page",
         click("Quillby Ledger"),
         {"Quillby Ledger", m_ledger, Focus::Tree, true}},
    };
    for (const Step& step : steps) {
        step.action();
        Check(step);
        if (HasFatalFailure())
            break;
    }
    g_signal_handler_disconnect(m_frame->GetHandle(), captionWatch);
    // No page showed without a name in the caption.
    EXPECT_EQ(noEmptyTitle(), "");
}
