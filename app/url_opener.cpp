#include "app/url_opener.h"

#include <wx/log.h>
#include <wx/utils.h>

#include <gio/gio.h>

namespace lumo {
namespace {

bool IsWebAddress(const std::string& url)
{
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

bool LaunchDefaultProgram(const std::string& url)
{
    if (IsWebAddress(url)) {
        // The failure is the caller's to report: no wx dialog.
        wxLogNull quiet;
        return wxLaunchDefaultBrowser(wxString::FromUTF8(url));
    }
    // mailto:, tel: and the like go to the desktop's handler of the scheme;
    // false when the desktop has none.
    GError* error = nullptr;
    gboolean launched = g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error);
    if (error)
        g_error_free(error);
    return launched;
}

UrlOpener& CurrentOpener()
{
    static UrlOpener opener = LaunchDefaultProgram;
    return opener;
}

} // namespace

bool OpenUrlOutside(const std::string& url)
{
    return CurrentOpener()(url);
}

std::string CannotOpenMessage(const std::string& url)
{
    return "No program could be started to open " + url + ".";
}

UrlOpener SetUrlOpener(UrlOpener opener)
{
    UrlOpener previous = CurrentOpener();
    CurrentOpener() = opener ? std::move(opener) : UrlOpener(LaunchDefaultProgram);
    return previous;
}

} // namespace lumo
