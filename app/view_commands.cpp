#include "app/view_commands.h"

#include <iterator>

#include <wx/event.h>

#include "app/main_frame.h"
#include "browser/pane/browser_view.h"
#include "common/message_box.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "common/url_opener.h"
#include "content_filter/blocking_settings.h"
#include "directory/directory_pane.h"

namespace lumo {
namespace {

// On until the user turns it off.
content_filter::BlockingSettings Blocking(CMainFrame& frame)
{
    return content_filter::BlockingSettings(&frame.Profile().Config());
}

void Run(CMainFrame& frame, int id)
{
    CLumoNewsReaderView* pane = frame.HtmlView();
    switch (id) {
    case ID_PAGE_RELOAD:
        pane->Reload();
        break;
    case ID_PAGE_STOP:
        pane->StopLoading();
        break;
    case ID_PAGE_RELOAD_OR_STOP:
        if (pane->IsLoading())
            pane->StopLoading();
        else
            pane->Reload();
        break;
    case ID_READER_VIEW:
        pane->ToggleReader();
        break;
    case ID_ZOOM_IN:
        pane->ZoomBy(1);
        break;
    case ID_ZOOM_OUT:
        pane->ZoomBy(-1);
        break;
    case ID_ZOOM_ACTUAL:
        pane->ZoomBy(0);
        break;
    case ID_FIND_IN_PAGE:
        pane->OpenFindBar();
        break;
    case ID_FIND_NEWSPAPER:
        frame.DirectoryPane()->FocusSearch();
        break;
    case ID_OPEN_IN_WEB_BROWSER:
        OpenOutsideOrSay(pane->PageAddress());
        break;
    case ID_ADD_THIS_PAGE:
        frame.KeepThisPage();
        break;
    case ID_BLOCK_ADS:
        Blocking(frame).SetEnabled(!Blocking(frame).Enabled());
        // Whatever the filters did to the page, it shows as it now should.
        if (!pane->PageAddress().empty())
            pane->Reload();
        break;
    case ID_BUILT_IN_FILTER_LISTS:
        pane->UseBuiltInFilterLists();
        break;
    case ID_TOOL_BACK:
        frame.Commands().Execute(ID_BROWSE_BACK);
        break;
    case ID_TOOL_FORWARD:
        frame.Commands().Execute(ID_BROWSE_FORWARD);
        break;
    case ID_TOOL_HOME:
        frame.Commands().Execute(ID_BROWSE_HOME);
        break;
    default:
        break;
    }
}

} // namespace

bool CanRunViewCommand(CMainFrame& frame, int id)
{
    CLumoNewsReaderView* pane = frame.HtmlView();
    if (!pane)
        return false;
    const bool page = pane->HasPage();
    switch (id) {
    case ID_PAGE_RELOAD:
    case ID_FIND_IN_PAGE:
        return page;
    case ID_PAGE_STOP:
        return pane->IsLoading();
    case ID_PAGE_RELOAD_OR_STOP:
    case ID_TOOL_HOME:
        return page;
    case ID_READER_VIEW:
        return pane->ReaderOffered() || pane->ReaderShown();
    case ID_ZOOM_IN:
        return page && pane->ZoomPercent() < kZoomSteps[std::size(kZoomSteps) - 1];
    case ID_ZOOM_OUT:
        return page && pane->ZoomPercent() > kZoomSteps[0];
    case ID_ZOOM_ACTUAL:
        return page && pane->ZoomPercent() != 100;
    case ID_FIND_NEWSPAPER:
        return frame.DirectoryPane() != nullptr;
    case ID_OPEN_IN_WEB_BROWSER:
        return OutsideRouteOf(pane->PageAddress()) == OutsideRoute::WebBrowser;
    case ID_ADD_THIS_PAGE:
        return !pane->PageAddress().empty();
    case ID_BLOCK_ADS:
        return true;
    case ID_BUILT_IN_FILTER_LISTS:
        return page && Blocking(frame).Enabled();
    case ID_TOOL_BACK:
        return pane->CanGoBack();
    case ID_TOOL_FORWARD:
        return pane->CanGoForward();
    default:
        return false;
    }
}

void BindViewCommands(CMainFrame& frame)
{
    const auto run = [&frame](wxCommandEvent& event) {
        // Only when it can act: a key or a click that came before the
        // buttons were brought up to date does nothing.
        if (CanRunViewCommand(frame, event.GetId()))
            Run(frame, event.GetId());
    };
    const auto update = [&frame](wxUpdateUIEvent& event) {
        event.Enable(CanRunViewCommand(frame, event.GetId()));
        if (event.GetId() == ID_BLOCK_ADS)
            event.Check(Blocking(frame).Enabled());
    };
    frame.Bind(wxEVT_MENU, run, ID_PAGE_RELOAD, ID_VIEW_COMMAND_LAST);
    frame.Bind(wxEVT_UPDATE_UI, update, ID_PAGE_RELOAD, ID_VIEW_COMMAND_LAST);
}

} // namespace lumo
