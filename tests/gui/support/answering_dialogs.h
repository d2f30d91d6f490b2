#pragma once
// wxTEST_DIALOG for the GUI tests: an unexpected dialog is reported as a
// failure and then answered with Cancel instead of being shown, so a faulty
// dialog cannot hang the test. Included in place of <wx/testing.h>.
#define wxTEST_DIALOG_HOOK_CLASS AnsweringModalHook
#include <wx/testing.h>

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
