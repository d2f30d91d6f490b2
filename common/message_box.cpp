#include "common/message_box.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

#include "common/resource_ids.h"
#include "common/url_opener.h"

namespace lumo {

int AppMessageBox(const std::string& text, long style)
{
    // No explicit parent: wx places the box over the window in use, the main
    // window or a dialog open on top of it.
    return wxMessageBox(wxString::FromUTF8(text), kAppTitle, style, nullptr);
}

bool OpenOutsideOrSay(const std::string& url)
{
    if (OpenUrlOutside(url))
        return true;
    // An address that may not leave the program is refused as such; nothing
    // was tried, so "no program could be started" would be wrong.
    AppMessageBox(OutsideRouteOf(url) == OutsideRoute::Refused ? RefusedOutsideMessage(url)
                                                               : CannotOpenMessage(url));
    return false;
}

} // namespace lumo
