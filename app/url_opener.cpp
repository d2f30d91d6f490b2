#include "app/url_opener.h"

#include <wx/log.h>
#include <wx/utils.h>

namespace lumo {
namespace {

bool LaunchDefaultBrowser(const std::string& url)
{
    // A failure to start the user's browser is not reported: nothing opens.
    wxLogNull quiet;
    return wxLaunchDefaultBrowser(wxString::FromUTF8(url));
}

UrlOpener& CurrentOpener()
{
    static UrlOpener opener = LaunchDefaultBrowser;
    return opener;
}

} // namespace

bool OpenUrlOutside(const std::string& url)
{
    return CurrentOpener()(url);
}

UrlOpener SetUrlOpener(UrlOpener opener)
{
    UrlOpener previous = CurrentOpener();
    CurrentOpener() = opener ? std::move(opener) : UrlOpener(LaunchDefaultBrowser);
    return previous;
}

} // namespace lumo
