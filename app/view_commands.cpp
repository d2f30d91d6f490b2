#include "app/view_commands.h"

#include "app/opml_commands.h"

#include <iterator>
#include <optional>

#include <wx/event.h>

#include "app/main_frame.h"
#include "app/tool_bar.h"
#include "browser/pane/browser_view.h"
#include "common/app_paths.h"
#include "common/globals.h"
#include "common/message_box.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "common/url_opener.h"
#include "content_filter/blocking_settings.h"
#include "directory/directory_pane.h"
#include "directory/left_view.h"
#include "ui/about_dlg.h"

namespace lumo {
namespace {

// On until the user turns it off.
content_filter::BlockingSettings Blocking(CMainFrame& frame)
{
    return content_filter::BlockingSettings(&frame.Profile().Config());
}

bool BlockingOn(CMainFrame& frame)
{
    return Blocking(frame).Enabled();
}

void ToggleBlocking(CMainFrame& frame)
{
    Blocking(frame).SetEnabled(!Blocking(frame).Enabled());
}

// One command of the window.
struct Command
{
    int id = 0; // its menu item's, button's or accelerator's wx id; 0: a key's alone
    std::optional<KeyCommand> key; // the key table's command that runs it
    void (*run)(CMainFrame& frame, int typed) = nullptr;
    // Whether its menu item or button can act (none: always); clicked while
    // it cannot, it does nothing.
    bool (*enabled)(CMainFrame& frame) = nullptr;
    // Its check mark (none: a plain item).
    bool (*checked)(CMainFrame& frame) = nullptr;
    // Whether its key applies now (none: always); a key that does not goes
    // on to its next meaning.
    bool (*applies)(CMainFrame& frame) = nullptr;
};

using K = KeyCommand;

CLumoNewsReaderView& Pane(CMainFrame& frame)
{
    return *frame.HtmlView();
}

CDirectoryPane& Directory(CMainFrame& frame)
{
    return *frame.DirectoryPane();
}

bool HasPage(CMainFrame& frame)
{
    return Pane(frame).HasPage();
}

bool Loading(CMainFrame& frame)
{
    return Pane(frame).IsLoading();
}

bool PageHasAddress(CMainFrame& frame)
{
    return !Pane(frame).PageAddress().empty();
}

bool PageGoesToWebBrowser(CMainFrame& frame)
{
    return OutsideRouteOf(Pane(frame).PageAddress()) == OutsideRoute::WebBrowser;
}

bool FindBarShown(CMainFrame& frame)
{
    return Pane(frame).FindBarShown();
}

bool ReaderShown(CMainFrame& frame)
{
    return Pane(frame).ReaderShown();
}

// F3 and Shift+F3: while the find bar is open, or from the page.
bool FindsAgain(CMainFrame& frame)
{
    return FindBarShown(frame) || Pane(frame).PageHasFocus();
}

bool TreeFiltered(CMainFrame& frame)
{
    return frame.LeftView()->IsFiltered();
}

bool HasMatch(CMainFrame& frame)
{
    return frame.LeftView()->HasMatch();
}

// The frame's saved choices, each with its check mark.
template <CataView arrangement> void CatalogBy(CMainFrame& frame, int)
{
    frame.Commands().CatalogBy(arrangement);
}
template <CataView arrangement> bool ArrangedBy(CMainFrame& frame)
{
    return frame.Commands().CataView() == arrangement;
}
template <SkinStyle skin> void ChooseSkin(CMainFrame& frame, int)
{
    frame.Commands().ChooseSkin(skin);
}
template <SkinStyle skin> bool SkinIs(CMainFrame& frame)
{
    return frame.Commands().SkinStyle() == skin;
}
template <IndexPage page> void ChooseStartPage(CMainFrame& frame, int)
{
    if (page == IndexPage::Current)
        frame.Commands().UseCurrent(g_strCurrentURL);
    else
        frame.Commands().ChooseIndexPage(page);
}
template <IndexPage page> bool StartPageIs(CMainFrame& frame)
{
    return frame.Commands().IndexPage() == page;
}

template <EditCommand edit> void EditInFocus(CMainFrame& frame, int)
{
    frame.EditInFocus(edit);
}

template <int steps> void Zoom(CMainFrame& frame, int)
{
    Pane(frame).ZoomBy(steps);
}

template <int steps> bool CanZoom(CMainFrame& frame)
{
    const int percent = Pane(frame).ZoomPercent();
    return HasPage(frame) && (steps > 0   ? percent < kZoomSteps[std::size(kZoomSteps) - 1]
                              : steps < 0 ? percent > kZoomSteps[0]
                                          : percent != 100);
}

// In the order of the menus, then the keys and accelerators of no menu item.
const Command kCommands[] = {
    // File.
    {.id = ToWxId(ID_MINIMIZE), .run = [](CMainFrame& frame, int) { frame.Iconize(); }},
    {.id = wxID_EXIT, .run = [](CMainFrame& frame, int) { frame.Close(); }},
    {.id = ID_IMPORT_FAVORITES_OPML,
     .run = [](CMainFrame& frame, int) { ImportFavoritesFromOpml(frame); }},
    {.id = ID_EXPORT_FAVORITES_OPML,
     .run = [](CMainFrame& frame, int) { ExportFavoritesToOpml(frame); }},

    // Browse.
    {.id = ToWxId(ID_BROWSE_HOME), .run = [](CMainFrame& frame, int) { frame.Commands().Home(); }},
    {.id = ToWxId(ID_BROWSE_BACK), .run = [](CMainFrame& frame, int) { frame.GoBack(); }},
    {.id = ToWxId(ID_BROWSE_FORWARD), .run = [](CMainFrame& frame, int) { frame.GoForward(); }},
    {.id = ID_PAGE_RELOAD,
     .key = K::Reload,
     .run = [](CMainFrame& frame, int) { Pane(frame).Reload(); },
     .enabled = HasPage},
    {.id = ID_PAGE_STOP,
     .key = K::StopLoading,
     .run = [](CMainFrame& frame, int) { Pane(frame).StopLoading(); },
     .enabled = Loading,
     .applies = Loading}, // else Esc is the page's own
    {.id = ID_OPEN_IN_WEB_BROWSER,
     .run = [](CMainFrame& frame, int) { OpenOutsideOrSay(Pane(frame).PageAddress()); },
     .enabled = PageGoesToWebBrowser},

    // Favorites.
    {.id = ToWxId(ID_FAVORITES_MODIFY),
     .run = [](CMainFrame& frame, int) { frame.ModifyFavorites(); }},
    {.id = ToWxId(ID_FAVORITES_BACKUP),
     .run = [](CMainFrame& frame, int) { frame.BackUpFavorites(); }},
    {.id = ID_ADD_THIS_PAGE,
     .key = K::KeepPage,
     .run = [](CMainFrame& frame, int) { frame.KeepThisPage(); },
     .enabled = PageHasAddress},

    // HomePage.
    {.id = ToWxId(ID_HOMEPAGE_GOTO),
     .run = [](CMainFrame& frame, int) { frame.Commands().GoToStartPage(); }},
    {.id = ToWxId(ID_HOMEPAGE_USE_BLANK),
     .run = ChooseStartPage<IndexPage::Blank>,
     .checked = StartPageIs<IndexPage::Blank>},
    {.id = ToWxId(ID_HOMEPAGE_USE_DEFAULT),
     .run = ChooseStartPage<IndexPage::Default>,
     .checked = StartPageIs<IndexPage::Default>},
    {.id = ToWxId(ID_HOMEPAGE_USE_CURRENT),
     .run = ChooseStartPage<IndexPage::Current>,
     .checked = StartPageIs<IndexPage::Current>},

    // Skin.
    {.id = ToWxId(ID_SKIN_XP),
     .run = ChooseSkin<SkinStyle::XPCorona>,
     .checked = SkinIs<SkinStyle::XPCorona>},
    {.id = ToWxId(ID_SKIN_MINI),
     .run = ChooseSkin<SkinStyle::Minimized>,
     .checked = SkinIs<SkinStyle::Minimized>},
    {.id = ToWxId(ID_SKIN_SOFT),
     .run = ChooseSkin<SkinStyle::SoftCrystal>,
     .checked = SkinIs<SkinStyle::SoftCrystal>},

    // How the tree arranges the papers (no menu item of its own).
    {.id = ToWxId(ID_CATALOG_BY_AREA),
     .run = CatalogBy<CataView::ByArea>,
     .checked = ArrangedBy<CataView::ByArea>},
    {.id = ToWxId(ID_CATALOG_BY_CONTENT),
     .run = CatalogBy<CataView::ByContent>,
     .checked = ArrangedBy<CataView::ByContent>},

    // View.
    {.id = ToWxId(ID_VIEW_STATUS_BAR),
     .run = [](CMainFrame& frame, int) { frame.ShowStatusBar(!frame.StatusBarShown()); },
     .checked = [](CMainFrame& frame) { return frame.StatusBarShown(); }},
    {.id = ToWxId(ID_VIEW_TOOLBAR),
     .run = [](CMainFrame& frame, int) { frame.ToolBar().Show(!frame.ToolBar().IsShown()); },
     .checked = [](CMainFrame& frame) { return frame.ToolBar().IsShown(); }},
    {.id = ID_ZOOM_IN, .key = K::ZoomIn, .run = Zoom<1>, .enabled = CanZoom<1>},
    {.id = ID_ZOOM_OUT, .key = K::ZoomOut, .run = Zoom<-1>, .enabled = CanZoom<-1>},
    {.id = ID_ZOOM_ACTUAL, .key = K::ZoomReset, .run = Zoom<0>, .enabled = CanZoom<0>},
    {.id = ID_FIND_IN_PAGE,
     .key = K::OpenFindBar,
     .run = [](CMainFrame& frame, int) { Pane(frame).OpenFindBar(); },
     .enabled = HasPage},
    {.id = ID_READER_VIEW,
     .key = K::ToggleReader,
     .run = [](CMainFrame& frame, int) { Pane(frame).ToggleReader(); },
     // Offered with an article; the key also says when there is none.
     .enabled = [](CMainFrame& frame) { return Pane(frame).ReaderOffered() || ReaderShown(frame); },
     .applies = HasPage},
    {.id = ID_FIND_NEWSPAPER,
     .key = K::FindNewspaper,
     .run = [](CMainFrame& frame, int) { Directory(frame).FocusSearch(); },
     .enabled = [](CMainFrame& frame) { return frame.DirectoryPane() != nullptr; }},
    {.id = ID_BLOCK_ADS,
     .run =
         [](CMainFrame& frame, int) {
             ToggleBlocking(frame);
             // Whatever the filters did to the page, it shows as it now should.
             if (!Pane(frame).PageAddress().empty())
                 Pane(frame).Reload();
         },
     .checked = BlockingOn},
    {.id = ID_BUILT_IN_FILTER_LISTS,
     .run = [](CMainFrame& frame, int) { Pane(frame).UseBuiltInFilterLists(); },
     .enabled = [](CMainFrame& frame) { return HasPage(frame) && BlockingOn(frame); }},
    {.id = ID_HEADLINES,
     .key = K::ShowHeadlines,
     .run = [](CMainFrame& frame, int) { Pane(frame).ShowHeadlines(); },
     .enabled = HasPage},

    // Help.
    {.id = ToWxId(ID_HELP_CONTENT),
     .run = [](CMainFrame& frame, int) { frame.Commands().ShowHelpContent(ProgramDirectory()); }},
    {.id = ToWxId(ID_HELP_PRODUCT),
     .run = [](CMainFrame& frame, int) { frame.Commands().ShowProductHomepage(); }},
    {.id = wxID_ABOUT, .run = [](CMainFrame& frame, int) { ShowAboutBox(&frame); }},

    // The toolbar's own buttons (Back, Forward and Home disabled with nowhere to go).
    {.id = ID_TOOL_BACK,
     .key = K::Back,
     .run = [](CMainFrame& frame, int) { frame.GoBack(); },
     .enabled = [](CMainFrame& frame) { return Pane(frame).CanGoBack(); }},
    {.id = ID_TOOL_FORWARD,
     .key = K::Forward,
     .run = [](CMainFrame& frame, int) { frame.GoForward(); },
     .enabled = [](CMainFrame& frame) { return Pane(frame).CanGoForward(); }},
    {.id = ID_TOOL_HOME,
     .run = [](CMainFrame& frame, int) { frame.Commands().Home(); },
     .enabled = HasPage},
    {.id = ID_PAGE_RELOAD_OR_STOP,
     .run =
         [](CMainFrame& frame, int) {
             if (Loading(frame))
                 Pane(frame).StopLoading();
             else
                 Pane(frame).Reload();
         },
     .enabled = HasPage},

    // The accelerators.
    {.id = wxID_NEW, .key = K::New, .run = [](CMainFrame& frame, int) { frame.InitialUpdate(); }},
    {.id = wxID_OPEN,
     .key = K::Open,
     .run = [](CMainFrame& frame, int) { frame.OpenFromDialog(); }},
    {.id = wxID_SAVE,
     .key = K::Save,
     .run = [](CMainFrame& frame, int) { frame.SaveFromDialog(); }},
    {.id = wxID_PRINT,
     .key = K::Print,
     .run = [](CMainFrame& frame, int) { frame.PrintActivePane(); }},
    {.id = wxID_UNDO, .key = K::Undo, .run = EditInFocus<EditCommand::Undo>},
    {.id = wxID_CUT, .key = K::Cut, .run = EditInFocus<EditCommand::Cut>},
    {.id = wxID_COPY, .key = K::Copy, .run = EditInFocus<EditCommand::Copy>},
    {.id = wxID_PASTE, .key = K::Paste, .run = EditInFocus<EditCommand::Paste>},
    // Two panes: the next and the previous pane are the same one.
    {.id = ToWxId(ID_NEXT_PANE),
     .key = K::NextPane,
     .run = [](CMainFrame& frame, int) { frame.SwitchPane(); }},
    {.id = ToWxId(ID_PREV_PANE),
     .key = K::PreviousPane,
     .run = [](CMainFrame& frame, int) { frame.SwitchPane(); }},

    // The window's keys of no menu item: the tree and its search.
    {.key = K::SelectFirstMatch,
     .run = [](CMainFrame& frame, int) { frame.LeftView()->SelectFirstMatch(false); },
     .applies = HasMatch},
    {.key = K::OpenFirstMatch,
     .run = [](CMainFrame& frame, int) { frame.LeftView()->SelectFirstMatch(true); },
     .applies = HasMatch},
    {.key = K::EndSearch,
     .run = [](CMainFrame& frame, int) { Directory(frame).EndSearch(); },
     .applies = [](CMainFrame& frame) { return !Directory(frame).SearchField()->IsEmpty(); }},
    {.key = K::BackToSearch,
     .run = [](CMainFrame& frame, int) { Directory(frame).FocusSearch(); },
     .applies = TreeFiltered},
    // Once the key is done with: a menu opened inside its handling closes at once.
    {.key = K::PaperMenu,
     .run = [](CMainFrame& frame,
               int) { frame.CallAfter([&frame] { frame.LeftView()->ShowSelectedPaperMenu(); }); }},
    {.key = K::SearchWithLetter,
     .run = [](CMainFrame& frame, int typed) { Directory(frame).StartSearch(typed); }},

    // The page's.
    {.key = K::CloseFindBar,
     .run = [](CMainFrame& frame, int) { Pane(frame).CloseFindBar(); },
     .applies = FindBarShown},
    {.key = K::LeaveReader,
     .run = [](CMainFrame& frame, int) { Pane(frame).ToggleReader(); },
     .applies = ReaderShown},
    {.key = K::FindNext,
     .run = [](CMainFrame& frame, int) { Pane(frame).FindAgain(false); },
     .applies = FindsAgain},
    {.key = K::FindPrevious,
     .run = [](CMainFrame& frame, int) { Pane(frame).FindAgain(true); },
     .applies = FindsAgain},
};

const Command* ById(int id)
{
    for (const Command& command : kCommands)
        if (command.id != 0 && command.id == id)
            return &command;
    return nullptr;
}

const Command* ByKey(KeyCommand key)
{
    for (const Command& command : kCommands)
        if (command.key == key)
            return &command;
    return nullptr;
}

bool CanAct(const Command& command, CMainFrame& frame)
{
    return !command.enabled || command.enabled(frame);
}

} // namespace

void BindCommands(CMainFrame& frame)
{
    for (const Command& command : kCommands) {
        if (command.id == 0)
            continue;
        // Only when it can act: a key or a click that came before the
        // buttons were brought up to date does nothing.
        frame.Bind(
            wxEVT_MENU,
            [&frame, &command](wxCommandEvent&) {
                if (CanAct(command, frame))
                    command.run(frame, 0);
            },
            command.id);
        if (command.enabled || command.checked)
            frame.Bind(
                wxEVT_UPDATE_UI,
                [&frame, &command](wxUpdateUIEvent& event) {
                    if (command.enabled)
                        event.Enable(command.enabled(frame));
                    if (command.checked)
                        event.Check(command.checked(frame));
                },
                command.id);
    }
}

bool RunKeyCommand(CMainFrame& frame, KeyCommand key, int typed)
{
    const Command* command = ByKey(key);
    if (!command || (command->applies && !command->applies(frame)))
        return false;
    command->run(frame, typed);
    return true;
}

int CommandIdOf(KeyCommand key)
{
    const Command* command = ByKey(key);
    return command && command->id != 0 ? command->id : wxID_NONE;
}

std::string KeyTextOf(int id)
{
    const Command* command = ById(id);
    return command && command->key ? KeyText(*command->key) : std::string();
}

} // namespace lumo
