#include "app/url_opener.h"

#include <wx/utils.h>

namespace lumo {
namespace {

bool LaunchDefaultBrowser(const std::string& url)
{
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
