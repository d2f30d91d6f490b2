#include "browser/engine/start_page_handler.h"

#include <map>

#include "browser/core/web_address.h"
#include "browser/engine/headlines/headlines_in_pane.h"
#include "common/resource_ids.h"
#include "res/embedded.h"

#ifdef __WXGTK__
#include <webkit2/webkit2.h>
#endif

namespace lumo {

std::string StartPageFileNameForUri(std::string_view uri)
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

namespace {

std::map<std::string, std::string>& FailedTries()
{
    static std::map<std::string, std::string> tries;
    return tries;
}

} // namespace

void NoteFailedTry(const std::string& address, const std::string& when)
{
    FailedTries()[address] = when;
}

#ifdef __WXGTK__
namespace {

void AnswerSchemeRequest(WebKitURISchemeRequest* request, gpointer)
{
    const char* uri = webkit_uri_scheme_request_get_uri(request);
    std::string headlinesPage;
    if (HeadlinesPageFor(uri ? uri : "", headlinesPage)) {
        gsize size = headlinesPage.size();
        g_autoptr(GInputStream) stream = g_memory_input_stream_new_from_data(
            g_memdup2(headlinesPage.data(), size), size, g_free);
        webkit_uri_scheme_request_finish(request, stream, size, "text/html");
        return;
    }
    if (std::optional<FailurePage> failed = ParseFailurePageAddress(uri ? uri : "")) {
        if (auto tried = FailedTries().find(failed->address); tried != FailedTries().end())
            failed->tried = tried->second;
        // The pane's failure page, made from its address.
        std::string html = FailurePageHtml(*failed);
        gsize size = html.size();
        g_autoptr(GInputStream) stream =
            g_memory_input_stream_new_from_data(g_memdup2(html.data(), size), size, g_free);
        webkit_uri_scheme_request_finish(request, stream, size, "text/html");
        return;
    }
    const res::EmbeddedFile* file = res::FindStartPageFile(StartPageFileNameForUri(uri ? uri : ""));
    if (!file) {
        g_autoptr(GError) error =
            g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "Not part of the start page");
        webkit_uri_scheme_request_finish_error(request, error);
        return;
    }
    // The bytes live as long as the program; the stream only borrows them.
    g_autoptr(GInputStream) stream =
        g_memory_input_stream_new_from_data(file->bytes.data(), file->bytes.size(), nullptr);
    std::string mime(file->mimeType);
    webkit_uri_scheme_request_finish(request, stream, file->bytes.size(), mime.c_str());
}

} // namespace
#endif

void RegisterStartPageScheme()
{
#ifdef __WXGTK__
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    // Registered on the engine's context itself rather than through one web
    // view, so the scheme outlives any view and is known to every later one.
    webkit_web_context_register_uri_scheme(webkit_web_context_get_default(), kStartPageScheme,
                                           AnswerSchemeRequest, nullptr, nullptr);
#endif
}

} // namespace lumo
