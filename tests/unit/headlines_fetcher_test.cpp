// Fetching feeds and pages from a server of the test's own on 127.0.0.1:
// conditional requests, compressed answers, the limits on size, time and
// redirects, and the failures as the user reads them.
#include "headlines/net/feed_fetcher.h"

#include <gio/gio.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

namespace headlines {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Optional;
using ::testing::StartsWith;

struct HttpRequest
{
    std::string path;
    std::map<std::string, std::string> headers; // names in lower case
};

struct HttpReply
{
    std::string head = "HTTP/1.1 200 OK\r\n"; // status line and headers
    std::string body;
    bool stall = false;   // sends the head only (if any), never the body
    bool endless = false; // the body goes on until the client leaves
};

// A plain HTTP/1.1 server: one answer per connection, each on a thread.
class TestServer
{
public:
    explicit TestServer(std::function<HttpReply(const HttpRequest&)> handler)
        : m_handler(std::move(handler))
    {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listen, 16);
        socklen_t length = sizeof address;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_accepting = std::thread([this] { AcceptLoop(); });
    }

    ~TestServer()
    {
        m_stop = true;
        m_accepting.join();
        for (std::thread& connection : m_connections)
            connection.join();
        close(m_listen);
    }

    std::string Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

    std::vector<HttpRequest> Requests()
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    int ClientsGone() const { return m_clientsGone; }
    std::size_t BodyBytesSent() const { return m_bodyBytesSent; }

private:
    void AcceptLoop()
    {
        while (!m_stop) {
            pollfd ready{m_listen, POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0)
                continue;
            const int fd = accept(m_listen, nullptr, nullptr);
            if (fd >= 0)
                m_connections.emplace_back([this, fd] { Serve(fd); });
        }
    }

    // Waits for the request's end, or for the client to leave (false).
    bool ReadRequest(int fd, std::string& text)
    {
        char buffer[4096];
        while (text.find("\r\n\r\n") == std::string::npos) {
            pollfd ready{fd, POLLIN, 0};
            if (m_stop)
                return false;
            if (poll(&ready, 1, 20) <= 0)
                continue;
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                return false;
            text.append(buffer, static_cast<size_t>(got));
        }
        return true;
    }

    static HttpRequest Parse(const std::string& text)
    {
        HttpRequest request;
        const size_t space = text.find(' ');
        request.path = text.substr(space + 1, text.find(' ', space + 1) - space - 1);
        for (size_t at = text.find("\r\n") + 2; at < text.size();) {
            const size_t end = text.find("\r\n", at);
            const std::string line = text.substr(at, end - at);
            at = end + 2;
            const size_t colon = line.find(':');
            if (colon == std::string::npos)
                break;
            std::string name = line.substr(0, colon);
            std::transform(name.begin(), name.end(), name.begin(), ::tolower);
            request.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
        }
        return request;
    }

    void WaitForClientToLeave(int fd)
    {
        std::string ignored;
        ReadRequest(fd, ignored);
    }

    // False once the client is gone (or the server stops).
    bool Send(int fd, const std::string& bytes)
    {
        for (size_t sent = 0; sent < bytes.size();) {
            pollfd ready{fd, POLLOUT, 0};
            if (m_stop)
                return false;
            if (poll(&ready, 1, 20) <= 0)
                continue;
            const ssize_t wrote =
                send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (wrote < 0 && errno != EAGAIN)
                return false;
            sent += static_cast<size_t>(std::max<ssize_t>(wrote, 0));
        }
        return true;
    }

    void Serve(int fd)
    {
        std::string text;
        if (ReadRequest(fd, text)) {
            const HttpRequest request = Parse(text);
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(request);
            }
            const HttpReply reply = m_handler(request);
            if (reply.stall) {
                if (!reply.head.empty())
                    Send(fd, reply.head + "\r\n");
                WaitForClientToLeave(fd);
            } else if (reply.endless) {
                const std::string piece(64 * 1024, 'x');
                bool open = Send(fd, reply.head + "Connection: close\r\n\r\n");
                while (open && (open = Send(fd, piece)))
                    m_bodyBytesSent += piece.size();
            } else {
                Send(fd, reply.head + "Content-Length: " + std::to_string(reply.body.size()) +
                             "\r\nConnection: close\r\n\r\n" + reply.body);
                WaitForClientToLeave(fd);
            }
        }
        ++m_clientsGone;
        close(fd);
    }

    std::function<HttpReply(const HttpRequest&)> m_handler;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_clientsGone{0};
    std::atomic<std::size_t> m_bodyBytesSent{0};
    std::mutex m_mutex;
    std::vector<HttpRequest> m_requests;
    std::thread m_accepting;
    std::vector<std::thread> m_connections;
};

// Runs the main loop until `done`, for at most `limit`.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s)
{
    const guint tick = g_timeout_add(
        5, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        g_main_context_iteration(nullptr, TRUE);
    g_source_remove(tick);
    return done();
}

// An address on 127.0.0.1 where nothing listens.
std::string ClosedPortUrl()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/feed";
}

std::string Gzip(const std::string& text)
{
    GZlibCompressor* compressor = g_zlib_compressor_new(G_ZLIB_COMPRESSOR_FORMAT_GZIP, -1);
    GOutputStream* memory = g_memory_output_stream_new_resizable();
    GOutputStream* out = g_converter_output_stream_new(memory, G_CONVERTER(compressor));
    g_output_stream_write_all(out, text.data(), text.size(), nullptr, nullptr, nullptr);
    g_output_stream_close(out, nullptr, nullptr);
    const auto* data =
        static_cast<const char*>(g_memory_output_stream_get_data(G_MEMORY_OUTPUT_STREAM(memory)));
    std::string zipped(data, g_memory_output_stream_get_data_size(G_MEMORY_OUTPUT_STREAM(memory)));
    g_object_unref(out);
    g_object_unref(memory);
    g_object_unref(compressor);
    return zipped;
}

constexpr const char* kFeed =
    "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Paper</title>"
    "<link>https://paper.example/</link>"
    "<item><guid>1</guid><title>First &amp; foremost</title><link>https://paper.example/1</link>"
    "</item><item><guid>2</guid><title>Second</title><link>https://paper.example/2</link></item>"
    "</channel></rss>";

class FeedFetcherTest : public ::testing::Test
{
protected:
    FeedFetchResult Fetch(FeedFetcher& fetcher, FeedRequest request)
    {
        std::optional<FeedFetchResult> result;
        fetcher.FetchFeed(request, [&](FeedFetchResult fetched) { result = std::move(fetched); });
        EXPECT_TRUE(RunUntil([&] { return result.has_value(); }));
        return result.value_or(FeedFetchResult{});
    }

    FeedFetchResult Fetch(const std::string& path)
    {
        return Fetch(m_fetcher, {m_server.Url(path), {}, {}});
    }

    static HttpReply Route(const HttpRequest& request)
    {
        const auto header = [&](const char* name) {
            auto found = request.headers.find(name);
            return found == request.headers.end() ? std::string() : found->second;
        };
        if (request.path == "/feed") {
            if (header("if-none-match") == "\"v1\"" &&
                header("if-modified-since") == "Mon, 02 Jun 2025 10:00:00 GMT")
                return {"HTTP/1.1 304 Not Modified\r\n", {}};
            return {"HTTP/1.1 200 OK\r\nETag: \"v1\"\r\nContent-Encoding: gzip\r\n"
                    "Last-Modified: Mon, 02 Jun 2025 10:00:00 GMT\r\n",
                    Gzip(kFeed)};
        }
        if (request.path == "/busy")
            return {"HTTP/1.1 503 Service Unavailable\r\nRetry-After: 120\r\n", "busy"};
        if (request.path == "/slow-down")
            return {"HTTP/1.1 429 Too Many Requests\r\nRetry-After: Fri, 01 Jan 2100 00:00:00 "
                    "GMT\r\n",
                    ""};
        if (request.path == "/page")
            return {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n", "<html><p>Hello</p></html>"};
        if (request.path == "/moved")
            return {"HTTP/1.1 301 Moved Permanently\r\nLocation: /feed\r\n", {}};
        if (request.path.starts_with("/loop"))
            return {"HTTP/1.1 302 Found\r\nLocation: " + request.path + "x\r\n", {}};
        if (request.path == "/elsewhere")
            return {"HTTP/1.1 302 Found\r\nLocation: ftp://files.example/feed\r\n", {}};
        if (request.path == "/endless")
            return {"HTTP/1.1 200 OK\r\n", {}, false, true};
        if (request.path == "/declared-huge")
            return {"HTTP/1.1 200 OK\r\nContent-Length: 999999999\r\n", {}, true};
        if (request.path == "/stall")
            return {{}, {}, true};
        return {"HTTP/1.1 404 Not Found\r\n", "no such thing"};
    }

    TestServer m_server{&FeedFetcherTest::Route};
    FeedFetcher m_fetcher{FetchLimits{300ms}};
};

TEST_F(FeedFetcherTest, AnUnchangedFeedIsAskedForWithItsValidatorsAndNotSentAgain)
{
    FeedFetchResult first = Fetch("/feed");
    ASSERT_EQ(first.outcome, FetchOutcome::Fetched) << first.error;
    ASSERT_TRUE(first.feed);
    ASSERT_EQ(first.feed->items.size(), 2u);
    EXPECT_EQ(first.feed->items[0].title, "First & foremost");
    EXPECT_EQ(first.validators.etag, "\"v1\"");
    EXPECT_THAT(m_server.Requests().at(0).headers["accept-encoding"], HasSubstr("gzip"));

    FeedFetchResult again = Fetch(
        m_fetcher, {m_server.Url("/feed"), first.validators.etag, first.validators.lastModified});
    EXPECT_EQ(again.outcome, FetchOutcome::NotModified) << again.error;
    EXPECT_EQ(again.status, 304);

    // A feed that moved for good says where it lives now.
    FeedFetchResult moved = Fetch("/moved");
    EXPECT_EQ(moved.outcome, FetchOutcome::Fetched);
    EXPECT_EQ(moved.finalAddress, m_server.Url("/feed"));
    EXPECT_TRUE(moved.movedPermanently);
}

TEST_F(FeedFetcherTest, FailuresAreSaidInPlainEnglishWithTheServersWait)
{
    FeedFetchResult missing = Fetch("/missing");
    EXPECT_EQ(missing.outcome, FetchOutcome::Failed);
    EXPECT_EQ(missing.error, "HTTP 404 Not Found");
    EXPECT_EQ(missing.retryAfter, std::nullopt);

    FeedFetchResult busy = Fetch("/busy");
    EXPECT_EQ(busy.error, "HTTP 503 Service Unavailable");
    EXPECT_THAT(busy.retryAfter, Optional(120));
    FeedFetchResult slowDown = Fetch("/slow-down");
    EXPECT_EQ(slowDown.status, 429);
    EXPECT_THAT(slowDown.retryAfter, Optional(::testing::Gt(365 * 24 * 3600)));

    EXPECT_THAT(Fetch("/page").error, StartsWith("Not a feed"));
    EXPECT_EQ(Fetch("/loopx").error, "The feed's address was redirected more than 5 times");
    const std::vector<HttpRequest> asked = m_server.Requests();
    EXPECT_EQ(std::count_if(asked.begin(), asked.end(),
                            [](const HttpRequest& r) { return r.path.starts_with("/loop"); }),
              6);
    EXPECT_EQ(Fetch("/elsewhere").error,
              "The feed's address was redirected to one that is not a web address");

    EXPECT_EQ(Fetch(m_fetcher, {ClosedPortUrl(), {}, {}}).error,
              "The server refused the connection");
}

TEST_F(FeedFetcherTest, TooLargeAndTooSlowAnswersAreRefusedAsSoonAsTheyPassTheLimit)
{
    FeedFetcher fetcher(FetchLimits{10s});
    FeedFetchResult endless = Fetch(fetcher, {m_server.Url("/endless"), {}, {}});
    EXPECT_EQ(endless.error, "The feed is larger than 5 MB");
    ASSERT_TRUE(RunUntil([&] { return m_server.ClientsGone() == 1; }));
    // Refused when it passed 5 MB, not read on to the end.
    EXPECT_LT(m_server.BodyBytesSent(), std::size_t{12} << 20);

    EXPECT_EQ(Fetch(fetcher, {m_server.Url("/declared-huge"), {}, {}}).error,
              "The feed is larger than 5 MB");

    EXPECT_EQ(Fetch("/stall").error, "The server did not answer within 0.3 seconds");

    std::optional<PageFetchResult> page;
    fetcher.FetchPage(m_server.Url("/page"), [&](PageFetchResult got) { page = std::move(got); });
    ASSERT_TRUE(RunUntil([&] { return page.has_value(); }));
    EXPECT_TRUE(page->ok);
    EXPECT_EQ(page->html, "<html><p>Hello</p></html>");
    FetchLimits small;
    small.maxPageBytes = 64 * 1024;
    FeedFetcher smallFetcher(small);
    page.reset();
    smallFetcher.FetchPage(m_server.Url("/endless"), [&](PageFetchResult got) { page = got; });
    ASSERT_TRUE(RunUntil([&] { return page.has_value(); }));
    // A page's head comes first: it is cut, not refused.
    EXPECT_TRUE(page->ok);
    EXPECT_TRUE(page->truncated);
    EXPECT_EQ(page->html.size(), 64u * 1024);
    EXPECT_TRUE(RunUntil([&] { return m_server.ClientsGone() == 5; }));
}

TEST_F(FeedFetcherTest, AFetcherThatGoesCancelsItsFetchesAndAnswersNothing)
{
    bool answered = false;
    auto fetcher = std::make_unique<FeedFetcher>();
    fetcher->FetchFeed({m_server.Url("/stall"), {}, {}}, [&](FeedFetchResult) { answered = true; });
    ASSERT_TRUE(RunUntil([&] { return m_server.Requests().size() == 1; }));
    EXPECT_EQ(fetcher->Pending(), 1);
    fetcher.reset();
    ASSERT_TRUE(RunUntil([&] { return m_server.ClientsGone() == 1; }));
    // Whatever the main loop still had to do for it is done.
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_FALSE(answered);
}

} // namespace
} // namespace headlines
