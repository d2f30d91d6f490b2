// Reads arbitrary bytes as a fetched feed and as a front page. Besides the
// sanitizers it stops when a result breaks what the Headlines page relies on:
// a feed or an error, never both; addresses that are http or https only;
// titles and summaries that are valid UTF-8 with white space collapsed and
// within their lengths; identities present and each once.
#include "headlines/core/feed_discovery.h"
#include "headlines/core/feed_parser.h"

#include "common/address_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

const std::string kAddress = "https://news.example.com/feeds/main.xml";

void Check(bool condition, const char* what, const std::string& detail = {})
{
    if (!condition) {
        std::fprintf(stderr, "feed invariant broken: %s [%s]\n", what, detail.c_str());
        std::abort();
    }
}

std::size_t Utf8Length(const std::string& text)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        Check(lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4), "a text is not UTF-8", text);
        Check(i + length <= text.size(), "a text ends inside a character", text);
        for (std::size_t k = 1; k < length; ++k)
            Check((static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80, "a text is not UTF-8",
                  text);
        i += length;
        ++characters;
    }
    return characters;
}

void CheckPlain(const std::string& text, std::size_t limit)
{
    Check(Utf8Length(text) <= limit + 1, "a text is longer than its limit", text);
    Check(text.find_first_of("\t\n\r\v\f") == std::string::npos, "a text keeps a line break", text);
    Check(text.find("  ") == std::string::npos, "a text keeps a run of spaces", text);
    Check(text.empty() || (text.front() != ' ' && text.back() != ' '), "a text is not trimmed",
          text);
}

void CheckWebAddress(const std::string& address)
{
    if (address.empty())
        return;
    const std::string scheme = lumo::SchemeOf(address);
    Check(scheme == "http" || scheme == "https", "an address is not a web address", address);
    Check(!lumo::HostOf(address).empty(), "an address has no host", address);
}

void CheckFeed(const headlines::FeedParseResult& result)
{
    Check(result.feed.has_value() == result.error.empty(), "a feed and an error, or neither");
    if (!result.feed) {
        Check(result.error.starts_with("not a feed: "), "an error without its opening",
              result.error);
        return;
    }
    CheckPlain(result.feed->title, headlines::kTitleLength);
    CheckWebAddress(result.feed->link);
    std::set<std::string> identities;
    for (const headlines::FeedItem& item : result.feed->items) {
        CheckPlain(item.title, headlines::kTitleLength);
        CheckPlain(item.summary, headlines::kSummaryLength);
        CheckWebAddress(item.link);
        Check(item.published >= 0, "a date before 1970");
        Check(!item.identity.empty(), "an item without an identity");
        Check(identities.insert(item.identity).second, "an identity twice", item.identity);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckFeed(headlines::ParseFeed(bytes, kAddress));

    std::set<std::string> addresses;
    for (const headlines::DiscoveredFeed& feed : headlines::DiscoverFeeds(bytes, kAddress)) {
        Check(!feed.address.empty(), "a discovered feed without an address");
        CheckWebAddress(feed.address);
        Check(addresses.insert(feed.address).second, "a feed discovered twice", feed.address);
    }
    return 0;
}
