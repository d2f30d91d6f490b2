#pragma once
// OPML, the list of feeds other readers import and export: read into a flat
// list of outlines (folders dropped, their feeds kept), and written as
// OPML 2.0. Reading refuses a hostile file whole, with a message for the
// user, and skips an outline whose address is not a web address.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace headlines {

// A larger file is refused: a list of a thousand feeds is about 200 KB.
inline constexpr std::size_t kMaxOpmlFileSize = std::size_t{20} << 20;
// A file with more outlines (folders included) is refused.
inline constexpr std::size_t kMaxOpmlOutlines = 10000;

// One paper or feed of the list. Addresses are http or https, or empty.
struct OpmlOutline
{
    std::string title;   // plain text, may be empty
    std::string htmlUrl; // the site's page
    std::string xmlUrl;  // the feed
};

bool operator==(const OpmlOutline& a, const OpmlOutline& b);

struct OpmlReadResult
{
    // In document order, each feed (or page, for an outline without a feed)
    // once.
    std::vector<OpmlOutline> outlines;
    // Outlines left out because an address is not http or https
    // (javascript:, file:, a relative one).
    std::size_t skipped = 0;
    // Why the file was refused, for the user; empty when it was read.
    // A refused file gives no outlines.
    std::string error;
};

OpmlReadResult ReadOpmlFile(const std::string& path);
OpmlReadResult ReadOpml(std::string_view bytes);

// An OPML 2.0 document in UTF-8: one outline per entry that has an address,
// type="rss" for those with a feed.
std::string WriteOpml(const std::vector<OpmlOutline>& outlines,
                      std::string_view title = "Newspapers");

} // namespace headlines
