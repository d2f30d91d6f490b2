// Reading a feed: a typical one of 50 items and a 5 MB one of several
// thousand, both RSS 2.0 with HTML descriptions in CDATA (the common case),
// beside libxml2 alone parsing the same bytes into a tree.
#include "headlines/core/feed_parser.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <string>

namespace {

std::string Item(int i)
{
    std::string item = "<item><title>Headline number " + std::to_string(i) +
                       " &amp; more</title><link>/news/" + std::to_string(i) +
                       "</link><guid isPermaLink=\"false\">id-" + std::to_string(i) +
                       "</guid><pubDate>Sat, 07 Sep 2002 09:42:31 GMT</pubDate><description>"
                       "<![CDATA[<p>The <b>first</b> paragraph &eacute; with a "
                       "<a href=\"/x\">link</a>. ";
    for (int k = 0; k < 8; ++k)
        item += "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod. ";
    return item + "</p>]]></description></item>\n";
}

std::string Feed(std::size_t minimumSize, int minimumItems)
{
    std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">"
                       "<channel><title>The Daily</title><link>https://news.example.com/</link>";
    for (int i = 0; feed.size() < minimumSize || i < minimumItems; ++i)
        feed += Item(i);
    return feed + "</channel></rss>\n";
}

void BM_ParseFeed(benchmark::State& state, const std::string& feed)
{
    for (auto _ : state) {
        headlines::FeedParseResult result =
            headlines::ParseFeed(feed, "https://news.example.com/feed.xml");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * feed.size()));
}

void BM_LibXml2Alone(benchmark::State& state, const std::string& feed)
{
    for (auto _ : state) {
        xmlDoc* doc = xmlReadMemory(feed.data(), static_cast<int>(feed.size()), nullptr, nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOCDATA);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * feed.size()));
}

const std::string kTypical = Feed(0, 50);
const std::string kLarge = Feed(std::size_t{5} << 20, 0);

BENCHMARK_CAPTURE(BM_ParseFeed, typical_50_items, kTypical)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibXml2Alone, typical_50_items, kTypical)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseFeed, large_5_MB, kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibXml2Alone, large_5_MB, kLarge)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
