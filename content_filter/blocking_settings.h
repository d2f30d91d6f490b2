#pragma once
// Ad and tracker blocking as the user sets it: the settings group
// [ContentBlocking], each key read and written by BlockingSettings alone,
// with its one default; the sites the user allows; and the texts the menus
// and the status bar show for it.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "common/settings.h"

class wxConfigBase;

namespace lumo::content_filter {

// The program's own settings group (never the group of the design's
// settings) and its keys, as the file names them.
inline constexpr const char* kBlockingSection = "ContentBlocking";
// 1 (the default): ads and trackers are blocked in the pane; 0: nothing is.
inline constexpr const char* kBlockingEnabledKey = "Enabled";
inline constexpr bool kBlockingEnabledByDefault = true;
// Where the lists are fetched from.
inline constexpr const char* kEasyListAddressKey = "EasyListAddress";
inline constexpr const char* kEasyPrivacyAddressKey = "EasyPrivacyAddress";
// The sites where nothing is blocked, by host, separated by blanks.
inline constexpr const char* kAllowedSitesKey = "AllowedSites";
// When the lists were last fetched (seconds since 1970, UTC).
inline constexpr const char* kLastListUpdateKey = "LastListUpdate";

inline constexpr const char* kDefaultEasyListAddress = "https://easylist.to/easylist/easylist.txt";
inline constexpr const char* kDefaultEasyPrivacyAddress =
    "https://easylist.to/easylist/easyprivacy.txt";

// The page's context menu and the View menu.
inline constexpr const char* kAllowAdsLabel = "Allow Ads on This Site";
inline constexpr const char* kBlockAdsLabel = "Block Ads on This Site";
inline constexpr const char* kBlockAdsAndTrackersLabel = "Block Ads and Trackers";
inline constexpr const char* kBuiltInListsLabel = "Use Built-in Ad and Tracker Lists";
// What the status bar says while a page waits for the filters, and when
// they cannot be had.
inline constexpr const char* kPreparingFiltersMessage =
    "Preparing the ad and tracker filters\u2026";
inline constexpr const char* kFiltersFailedMessage =
    "The ad and tracker filters could not be prepared: pages are shown without them";
inline constexpr const char* kFiltersTurnedOffMessage =
    "Pages stopped working with the ad and tracker filters: they are off until the program "
    "starts again";

// The blocking settings of one settings store. Every read gives the key's
// default when the store holds no readable value; every write is flushed at
// once, as the program's profile functions do.
class BlockingSettings
{
public:
    // The settings of `config`; with nullptr those of the program
    // (wxConfigBase::Get), and with neither the defaults, writes going nowhere.
    explicit BlockingSettings(wxConfigBase* config);

    bool Enabled() const;
    void SetEnabled(bool on);

    std::set<std::string> AllowedSites() const;
    bool Allowed(const std::string& site) const;
    void SetAllowed(const std::string& site, bool allowed);

    std::string EasyListAddress() const;
    std::string EasyPrivacyAddress() const;
    void SetListAddresses(const std::string& easyList, const std::string& easyPrivacy);

    // Seconds since 1970; 0 when the lists were never fetched.
    std::int64_t LastListUpdate() const;
    void SetLastListUpdate(std::int64_t when);

private:
    std::string Read(const char* key, const std::string& defaultValue) const;
    void Write(const char* key, const std::string& value);

    std::optional<ProfileStore> m_store;
};

// The allowed sites as kept ("a.example b.example") and back.
std::set<std::string> ParseAllowedSites(std::string_view text);
std::string FormatAllowedSites(const std::set<std::string>& sites);
// The host of a web address, lower case, without a port ("" for others).
std::string SiteOf(std::string_view address);

} // namespace lumo::content_filter
