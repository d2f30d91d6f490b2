#pragma once
// Reads a fetched feed document (RSS 0.9x and 2.0, RSS 1.0 and Atom 1.0)
// into a ParsedFeed: titles and summaries as plain text, web addresses
// only, each item with an identity that stays the same across fetches.
// Reads nothing but the bytes it is given and may run on any thread.
#include "headlines/core/feed.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace headlines {

// A larger document is refused; far beyond any real feed (a busy one is a
// few hundred kilobytes), it bounds what a hostile one can cost.
inline constexpr std::size_t kMaxFeedSize = std::size_t{32} << 20;
// The longest summary kept, in characters (an ellipsis follows a cut one),
// and the longest title.
inline constexpr std::size_t kSummaryLength = 300;
inline constexpr std::size_t kTitleLength = 500;

struct FeedParseResult
{
    std::optional<ParsedFeed> feed;
    // Why there is no feed, in plain English ("not a feed: ..."); empty
    // when there is one.
    std::string error;
};

// `bytes` as fetched from `feedAddress`, which resolves the feed's
// relative links.
FeedParseResult ParseFeed(std::string_view bytes, const std::string& feedAddress);

} // namespace headlines
