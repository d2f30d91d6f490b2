#include "browser/start_page_handler.h"

#include <wx/filesys.h>
#include <wx/mstream.h>

#include "app/resource_ids.h"
#include "res/embedded.h"

namespace lumo {

StartPageHandler::StartPageHandler() : wxWebViewHandler(kStartPageScheme) {}

std::string StartPageHandler::FileNameForUri(std::string_view uri)
{
    constexpr std::string_view prefix = "lumo://start/";
    if (uri.substr(0, prefix.size()) != prefix)
        return {};
    std::string_view name = uri.substr(prefix.size());
    name = name.substr(0, name.find_first_of("?#"));
    if (name.empty())
        return "index.html";
    return std::string(name);
}

wxFSFile* StartPageHandler::GetFile(const wxString& uri)
{
    const res::EmbeddedFile* file = res::FindStartPageFile(FileNameForUri(uri.utf8_string()));
    if (!file)
        return nullptr;
    auto* stream = new wxMemoryInputStream(file->bytes.data(), file->bytes.size());
    return new wxFSFile(stream, uri, wxString::FromUTF8(file->mimeType.data(), file->mimeType.size()),
                        wxString(), wxDateTime::Now());
}

} // namespace lumo
