#pragma once
// Finds a newspaper's feeds from its front page: the RSS and Atom feeds the
// page names in its head, and the places sites usually keep one when it
// names none. Reads nothing but what it is given; may run on any thread.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace headlines {

// Only the start of a larger page is read: the head comes first.
inline constexpr std::size_t kMaxDiscoveryPageSize = std::size_t{4} << 20;

struct DiscoveredFeed
{
    std::string address; // http or https, absolute
    std::string title;   // the link's title attribute as plain text, may be empty
};

// The feeds named by <link rel="alternate" type="application/rss+xml"> or
// "application/atom+xml" in the head of `html`, resolved against the page's
// <base href> and address, in document order, each address once.
std::vector<DiscoveredFeed> DiscoverFeeds(std::string_view html, const std::string& pageAddress);

// Where sites usually keep a feed, on the page's own origin: /feed, /rss,
// /rss.xml, /feed.xml, /atom.xml, /index.xml. Empty for an address that is
// not http or https.
std::vector<std::string> FallbackFeedAddresses(const std::string& pageAddress);

} // namespace headlines
