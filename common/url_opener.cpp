#include "common/url_opener.h"

#include <algorithm>

#include <wx/log.h>
#include <wx/utils.h>

#include <gio/gio.h>

#include "common/address_text.h"

namespace lumo {
namespace {

bool LaunchDefaultProgram(const std::string& url)
{
    if (OutsideRouteOf(url) == OutsideRoute::WebBrowser) {
        // The failure is the caller's to report: no wx dialog.
        wxLogNull quiet;
        return wxLaunchDefaultBrowser(wxString::FromUTF8(url));
    }
    // mailto:, tel: and the like go to the desktop's handler of the scheme;
    // false when the desktop has none.
    g_autoptr(GError) error = nullptr;
    return g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error);
}

UrlOpener& CurrentOpener()
{
    static UrlOpener opener = LaunchDefaultProgram;
    return opener;
}

} // namespace

OutsideRoute OutsideRouteOf(const std::string& url)
{
    // Written exactly as the scheme's own address: no blank or control
    // character anywhere in it.
    if (url.empty() || std::any_of(url.begin(), url.end(), [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || c == '\x7f';
        }))
        return OutsideRoute::Refused;
    const std::string scheme = SchemeOf(url);
    if ((scheme == "http" || scheme == "https") && !HostOf(url).empty())
        return OutsideRoute::WebBrowser;
    if (scheme == "tel")
        return OutsideRoute::Desktop;
    if (scheme == "mailto") {
        // Some mail programs attach the files a mailto: address names.
        std::string lower = url;
        for (char& c : lower)
            c = static_cast<char>(g_ascii_tolower(c));
        if (lower.find("attach") == std::string::npos)
            return OutsideRoute::Desktop;
    }
    return OutsideRoute::Refused;
}

bool OpenUrlOutside(const std::string& url)
{
    if (OutsideRouteOf(url) == OutsideRoute::Refused)
        return false;
    return CurrentOpener()(url);
}

std::string RefusedOutsideMessage(const std::string& url)
{
    const std::string scheme = SchemeOf(url);
    if (scheme == "file")
        return "Not opened: pages cannot open files or folders of this computer.";
    if (scheme.empty() || scheme.size() > 20)
        return "Not opened: the program does not hand this address to other programs.";
    return "Not opened: " + scheme +
           ": addresses are not handed to other programs (only web, mail and phone addresses).";
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
