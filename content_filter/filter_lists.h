#pragma once
// The filter lists as files: the shipped filters and their checksum, and
// whether a downloaded text is a filter list at all. Plain C++: no wx, no GTK.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lumo::content_filter {

// The shipped filter files of a folder: ads-N.json and trackers-N.json, in
// order of name (empty when there are none).
std::vector<std::filesystem::path> ShippedFilterFiles(const std::filesystem::path& folder);
// A checksum of the files' names and contents (64 bits, in hex); empty
// when one cannot be read.
std::string ChecksumOfFiles(const std::vector<std::filesystem::path>& files);
// The same of a text.
std::string ChecksumOfText(std::string_view text);

// Whether a downloaded text is an Adblock filter list: it begins with its
// "[Adblock ...]" header (an error page or an empty answer does not).
bool LooksLikeFilterList(std::string_view text);

} // namespace lumo::content_filter
