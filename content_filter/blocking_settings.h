#pragma once
// Ad and tracker blocking as the program keeps it, without the web engine:
// the settings group and its keys, the sites the user allows, when the lists
// are fetched again, the shipped filters and their checksum, and whether a
// downloaded text is a filter list at all. Plain C++: no wx, no GTK.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lumo::content_filter {

// The program's own settings group (never the group of the design's settings).
inline constexpr const char* kBlockingSection = "ContentBlocking";
// 1 (the default): ads and trackers are blocked in the pane; 0: nothing is.
inline constexpr const char* kBlockingEnabledKey = "Enabled";
inline constexpr bool kBlockingEnabledByDefault = true;
// Where the lists are fetched from.
inline constexpr const char* kEasyListAddressKey = "EasyListAddress";
inline constexpr const char* kEasyPrivacyAddressKey = "EasyPrivacyAddress";
inline constexpr const char* kDefaultEasyListAddress = "https://easylist.to/easylist/easylist.txt";
inline constexpr const char* kDefaultEasyPrivacyAddress =
    "https://easylist.to/easylist/easyprivacy.txt";
// The sites where nothing is blocked, by host, separated by blanks.
inline constexpr const char* kAllowedSitesKey = "AllowedSites";
// When the lists were last fetched (seconds since 1970, UTC).
inline constexpr const char* kLastListUpdateKey = "LastListUpdate";

// The page's context menu and the View menu.
inline constexpr const char* kAllowAdsLabel = "Allow Ads on This Site";
inline constexpr const char* kBlockAdsLabel = "Block Ads on This Site";
inline constexpr const char* kBlockAdsAndTrackersLabel = "Block Ads and Trackers";
// What the status bar says while a page waits for the filters, and when
// they cannot be had.
inline constexpr const char* kPreparingFiltersMessage =
    "Preparing the ad and tracker filters\u2026";
inline constexpr const char* kFiltersFailedMessage =
    "The ad and tracker filters could not be prepared: pages are shown without them";

// The lists are fetched at most this often.
inline constexpr std::int64_t kListUpdateIntervalSeconds = 4 * 24 * 60 * 60;

// Whether the lists are due to be fetched again at `now`, last fetched at
// `last` (0: never). A last time in the future (the clock was put back) makes
// them due rather than never.
bool ListUpdateDue(std::int64_t last, std::int64_t now);

// The allowed sites as kept ("a.example b.example") and back.
std::set<std::string> ParseAllowedSites(std::string_view text);
std::string FormatAllowedSites(const std::set<std::string>& sites);
// The host of a web address, lower case, without a port ("" for others).
std::string SiteOf(std::string_view address);

// The shipped filter files of a folder: ads-N.json and trackers-N.json, in
// order of name (empty when there are none).
std::vector<std::filesystem::path> ShippedFilterFiles(const std::filesystem::path& folder);
// A checksum of the files' names and contents (FNV-1a, 64 bits, in hex);
// empty when one cannot be read.
std::string ChecksumOfFiles(const std::vector<std::filesystem::path>& files);

// Whether a downloaded text is an Adblock filter list: it begins with its
// "[Adblock ...]" header (an error page or an empty answer does not).
bool LooksLikeFilterList(std::string_view text);

} // namespace lumo::content_filter
