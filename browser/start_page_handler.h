#pragma once
// Serves the product's start page, built into the program, under the
// program's own scheme (lumo://start/...), so it shows with no network.
#include <string>
#include <string_view>

#include <wx/webview.h>

namespace lumo {

class StartPageHandler : public wxWebViewHandler
{
public:
    StartPageHandler();
    wxFSFile* GetFile(const wxString& uri) override;

    // The name of the built-in file an address of the scheme asks for
    // ("index.html" for the bare start page), or an empty string when the
    // address is not one of the start page's.
    static std::string FileNameForUri(std::string_view uri);
};

} // namespace lumo
