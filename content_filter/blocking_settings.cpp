#include "content_filter/blocking_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include <wx/config.h>

namespace lumo::content_filter {

BlockingSettings::BlockingSettings(wxConfigBase* config)
{
    if (!config)
        config = wxConfigBase::Get(false);
    if (config)
        m_store.emplace(*config);
}

std::string BlockingSettings::Read(const char* key, const std::string& defaultValue) const
{
    return m_store ? m_store->GetProfileString(kBlockingSection, key, defaultValue) : defaultValue;
}

void BlockingSettings::Write(const char* key, const std::string& value)
{
    if (m_store)
        m_store->WriteProfileString(kBlockingSection, key, value);
}

bool BlockingSettings::Enabled() const
{
    const int byDefault = kBlockingEnabledByDefault ? 1 : 0;
    return (m_store ? m_store->GetProfileInt(kBlockingSection, kBlockingEnabledKey, byDefault)
                    : byDefault) != 0;
}

void BlockingSettings::SetEnabled(bool on)
{
    if (m_store)
        m_store->WriteProfileInt(kBlockingSection, kBlockingEnabledKey, on ? 1 : 0);
}

std::set<std::string> BlockingSettings::AllowedSites() const
{
    return ParseAllowedSites(Read(kAllowedSitesKey, {}));
}

bool BlockingSettings::Allowed(const std::string& site) const
{
    return !site.empty() && AllowedSites().contains(site);
}

void BlockingSettings::SetAllowed(const std::string& site, bool allowed)
{
    if (site.empty())
        return;
    std::set<std::string> sites = AllowedSites();
    if (allowed)
        sites.insert(site);
    else
        sites.erase(site);
    Write(kAllowedSitesKey, FormatAllowedSites(sites));
}

std::string BlockingSettings::EasyListAddress() const
{
    return Read(kEasyListAddressKey, kDefaultEasyListAddress);
}

std::string BlockingSettings::EasyPrivacyAddress() const
{
    return Read(kEasyPrivacyAddressKey, kDefaultEasyPrivacyAddress);
}

void BlockingSettings::SetListAddresses(const std::string& easyList, const std::string& easyPrivacy)
{
    Write(kEasyListAddressKey, easyList);
    Write(kEasyPrivacyAddressKey, easyPrivacy);
}

std::int64_t BlockingSettings::LastListUpdate() const
{
    const std::string text = Read(kLastListUpdateKey, {});
    char* end = nullptr;
    const long long when = std::strtoll(text.c_str(), &end, 10);
    return end && *end == '\0' ? static_cast<std::int64_t>(when) : 0;
}

void BlockingSettings::SetLastListUpdate(std::int64_t when)
{
    // As text: the file's integers are of the platform's long.
    Write(kLastListUpdateKey, std::to_string(static_cast<long long>(when)));
}

std::set<std::string> ParseAllowedSites(std::string_view text)
{
    std::set<std::string> sites;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of(" \t,", at);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > at)
            sites.insert(SiteOf("http://" + std::string(text.substr(at, end - at)) + "/"));
        at = end + 1;
    }
    sites.erase("");
    return sites;
}

std::string FormatAllowedSites(const std::set<std::string>& sites)
{
    std::string text;
    for (const std::string& site : sites) {
        if (!text.empty())
            text += ' ';
        text += site;
    }
    return text;
}

std::string SiteOf(std::string_view address)
{
    std::size_t scheme = address.find("://");
    if (scheme == std::string_view::npos)
        return {};
    std::string_view name = address.substr(0, scheme);
    if (name != "http" && name != "https")
        return {};
    std::string_view rest = address.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (std::size_t user = rest.rfind('@'); user != std::string_view::npos)
        rest = rest.substr(user + 1);
    if (!rest.empty() && rest.front() == '[')
        rest = rest.substr(0, rest.find(']') + 1);
    else
        rest = rest.substr(0, rest.find(':'));
    std::string host(rest);
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    return host;
}

} // namespace lumo::content_filter
