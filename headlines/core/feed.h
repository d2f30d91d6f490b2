#pragma once

// A feed as the program keeps it: what a fetched RSS or Atom document says,
// already made safe to show (plain text, web addresses only).

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace headlines {

struct FeedItem
{
    // What makes the item itself across fetches: its guid or id, else its
    // link, else its title and date.
    std::string identity;
    std::string title;   // plain text
    std::string link;    // http or https only; empty when the feed gave none usable
    std::string summary; // plain text, about 300 characters at most
    // Seconds since the epoch; 0 when the feed gave no date that could be read
    // (the store then takes the time the item was first seen).
    std::time_t published = 0;
};

struct ParsedFeed
{
    std::string title; // plain text
    std::string link;  // the site's page, http or https only
    std::vector<FeedItem> items;
};

} // namespace headlines
