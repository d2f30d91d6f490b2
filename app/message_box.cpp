#include "app/message_box.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

#include "app/resource_ids.h"

namespace lumo {

int AppMessageBox(const std::string& text, long style)
{
    wxWindow* parent = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    return wxMessageBox(wxString::FromUTF8(text), kAppTitle, style, parent);
}

} // namespace lumo
