#include "app/message_box.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

#include "app/resource_ids.h"
#include "app/url_opener.h"

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
    AppMessageBox(CannotOpenMessage(url));
    return false;
}

} // namespace lumo
