#include "browser/pane/engine_held_panel.h"

#include <utility>

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace lumo {

EngineHeldPanel::EngineHeldPanel(wxWindow* parent, std::function<void()> tryAgain)
    : wxPanel(parent, wxID_ANY)
{
    SetName(kEngineHeldCaption);
    auto* text = new wxStaticText(this, wxID_ANY, kEngineHeldMessage);
    text->Wrap(FromDIP(420));
    auto* retry = new wxButton(this, wxID_ANY, "Try again");
    retry->Bind(wxEVT_BUTTON, [this, tryAgain = std::move(tryAgain)](wxCommandEvent&) {
        // The panel goes when the engine starts: not inside its own click.
        CallAfter(tryAgain);
    });
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->AddStretchSpacer();
    column->Add(text, wxSizerFlags().Center().Border(wxALL, FromDIP(12)));
    column->Add(retry, wxSizerFlags().Center());
    column->AddStretchSpacer();
    SetSizer(column);
}

} // namespace lumo
