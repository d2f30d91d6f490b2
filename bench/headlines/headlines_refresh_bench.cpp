// A refresh of 100 feeds as the reader meets it, with no network: the feeds
// are served by a process of its own on loopback addresses (127.0.0.1 to 127.0.0.N,
// so several feeds share a host and the per-host limit applies), each answer
// coming after 300 to 1,000 ms, 50 items a feed, most of 20-80 KB and five of
// about 1 MB, with ETag and Last-Modified and 304 to a conditional request.
//
// Through headlines::HeadlinesService on a fresh database, it measures
//   - the time from Refresh(true) until every feed's headlines are stored;
//   - the same refresh again when nothing changed (all answers 304), the
//     service's clock moved past its gap between user refreshes;
//   - the main loop's longest stall in each (a 5 ms timer's worst lateness,
//     and the longest single dispatch, told apart into the main thread's
//     work and its wait for a core), with the Headlines page's update made
//     on every change as the pane makes it while the page is shown;
//   - the process's PSS (and anonymous memory) before the refreshes and
//     after them;
//   - ParseFeed's throughput on one 5 MB feed.
// Prints a table with the targets, and one "result" line for scripts.
//
// Usage: headlines_refresh_bench [--hosts N] [--feeds N] [--at-once N] [--no-page]
//   --hosts N    the feeds spread over 127.0.0.1 to 127.0.0.N (default 50: two
//                feeds a paper, a front page and a section)
//   --feeds N    how many feeds (default 100)
//   --at-once N  reads at once instead of the program's own limit (to see
//                what a limit would give; the limit per host stays)
//   --no-page    no Headlines page on screen: no page updates
#include "headlines/core/feed_parser.h"
#include "headlines/core/headlines_page.h"
#include "headlines/service/headlines_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

double SecondsSince(Steady::time_point start)
{
    return std::chrono::duration<double>(Steady::now() - start).count();
}

// The calling thread's seconds so far on a core, and waiting for one (the
// scheduler's count, which is kept as the thread is switched out).
struct ThreadTimes
{
    double cpu = 0;
    double waited = 0;
};

ThreadTimes TimesOfThisThread()
{
    ThreadTimes times;
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    times.cpu = static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) / 1e9;
    std::ifstream schedstat("/proc/thread-self/schedstat");
    long long onCore = 0, waited = 0;
    schedstat >> onCore >> waited;
    times.waited = static_cast<double>(waited) / 1e9;
    return times;
}

// Seconds the main loop has spent waiting in poll() for something to do.
double g_polled = 0;

gint TimedPoll(GPollFD* fds, guint count, gint timeout)
{
    const auto start = Steady::now();
    const gint ready = g_poll(fds, count, timeout);
    g_polled += SecondsSince(start);
    return ready;
}

// The main loop run one iteration at a time; the longest dispatch (the
// iteration less its wait in poll) is noted with what it was made of: the
// main thread's CPU time, its wait for a core (the machine busy with other
// work), and the rest, blocked (on the disk, or a lock).
struct Dispatches
{
    Dispatches() { g_main_context_set_poll_func(nullptr, TimedPoll); }
    ~Dispatches() { g_main_context_set_poll_func(nullptr, g_poll); }

    void RunOnce()
    {
        const auto before = Steady::now();
        const double polledBefore = g_polled;
        const ThreadTimes timesBefore = TimesOfThisThread();
        g_main_context_iteration(nullptr, TRUE);
        const double dispatch = SecondsSince(before) - (g_polled - polledBefore);
        const ThreadTimes times = TimesOfThisThread();
        const double cpu = times.cpu - timesBefore.cpu;
        if (dispatch > longest) {
            longest = dispatch;
            cpuOfLongest = cpu;
            waitedInLongest = times.waited - timesBefore.waited;
        }
        mostCpu = std::max(mostCpu, cpu);
    }

    double longest = 0;
    double cpuOfLongest = 0;
    double waitedInLongest = 0;
    double mostCpu = 0;
};

// --- The feeds ---------------------------------------------------------------

// A small deterministic generator (splitmix64), so every run serves the same.
struct Random
{
    std::uint64_t state;
    std::uint64_t Next()
    {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    int Between(int low, int high) { return low + static_cast<int>(Next() % (high - low + 1)); }
};

constexpr const char* kWords[] = {
    "council", "budget", "river",    "election", "harbour", "school",   "minister", "storm",
    "market",  "league", "festival", "railway",  "court",   "hospital", "bridge",   "energy",
    "museum",  "police", "farmers",  "weather",  "housing", "report",   "talks",    "record"};

std::string Words(Random& random, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i)
            text += ' ';
        text += kWords[random.Next() % std::size(kWords)];
    }
    return text;
}

std::string RfcDate(std::time_t when)
{
    char text[64];
    std::tm tm{};
    gmtime_r(&when, &tm);
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return text;
}

// An RSS 2.0 feed of `items` items, about `bytes` long: descriptions of HTML
// in CDATA, as most papers write them, padded to the size.
std::string MakeFeed(int number, int items, std::size_t bytes, std::time_t newest)
{
    Random random{static_cast<std::uint64_t>(number) * 7919 + 1};
    std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<rss version=\"2.0\"><channel><title>The Local Paper " +
                       std::to_string(number) + "</title><link>https://paper" +
                       std::to_string(number) + ".example/</link><description>News</description>\n";
    const std::string tail = "</channel></rss>\n";
    std::vector<std::string> bodies;
    std::size_t fixed = head.size() + tail.size();
    for (int i = 0; i < items; ++i) {
        const std::string link =
            "https://paper" + std::to_string(number) + ".example/news/" + std::to_string(i);
        std::string item = "<item><title>" + Words(random, random.Between(6, 12)) +
                           " &amp; more</title><link>" + link + "</link><guid>" + link +
                           "</guid><pubDate>" + RfcDate(newest - i * 1800 - number * 60) +
                           "</pubDate><description><![CDATA[<p>";
        fixed += item.size() + std::strlen("</p>]]></description></item>\n");
        bodies.push_back(std::move(item));
    }
    const std::size_t perItem = bytes > fixed ? (bytes - fixed) / items : 40;
    std::string feed = head;
    feed.reserve(bytes + 4096);
    for (std::string& item : bodies) {
        std::string text;
        while (text.size() < perItem)
            text += "<b>" + Words(random, 3) + "</b> " + Words(random, 12) + ". ";
        text.resize(perItem);
        std::replace(text.begin(), text.end(), '<', ' '); // no tag cut in half
        std::replace(text.begin(), text.end(), '>', ' ');
        feed += item + text + "</p>]]></description></item>\n";
    }
    return feed + tail;
}

struct ServedFeed
{
    int number = 0;
    int host = 0; // 0-based: 127.0.0.(host + 1)
    std::string path;
    std::size_t size = 0; // about
    std::string body;     // made by the server's process
    std::string etag;
    std::string lastModified;
    int delayMs = 0;
};

// --- The server --------------------------------------------------------------

// What the server's process counts, in memory it shares with the benchmark.
struct ServerCounters
{
    std::atomic<int> requests{0};
    std::atomic<int> notModified{0};
    std::atomic<int> connections{0};
    std::atomic<std::uint64_t> feedBytes{0}; // of all the feeds, once made
    std::atomic<bool> ready{false};
};

// Plain HTTP/1.1 with keep-alive on each host's own port, one thread per
// connection, so one answer's delay never holds back another connection's.
// It runs in a process of its own, so that its memory and its threads are
// not the measured process's.
class FeedServer
{
public:
    FeedServer(int hosts, std::vector<ServedFeed> feeds, std::time_t newest)
        : m_feeds(std::move(feeds))
    {
        for (int host = 0; host < hosts; ++host) {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            const int yes = 1;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK + static_cast<unsigned>(host));
            if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                listen(fd, 64) != 0) {
                std::perror("feed server");
                std::exit(1);
            }
            socklen_t length = sizeof address;
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
            m_listen.push_back(fd);
            m_ports.push_back(ntohs(address.sin_port));
        }
        void* shared = mmap(nullptr, sizeof(ServerCounters), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        m_counters = new (shared) ServerCounters;
        m_child = fork();
        if (m_child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (ServedFeed& feed : m_feeds) {
                feed.body = MakeFeed(feed.number, 50, feed.size, newest);
                m_counters->feedBytes += feed.body.size();
            }
            m_counters->ready = true;
            AcceptLoop();
            _exit(0);
        }
        for (int fd : m_listen)
            close(fd);
        while (!m_counters->ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    ~FeedServer()
    {
        kill(m_child, SIGKILL);
        waitpid(m_child, nullptr, 0);
        munmap(m_counters, sizeof(ServerCounters));
    }

    std::string Address(const ServedFeed& feed) const
    {
        return "http://127.0.0." + std::to_string(feed.host + 1) + ":" +
               std::to_string(m_ports[feed.host]) + feed.path;
    }

    int Requests() const { return m_counters->requests; }
    int NotModified() const { return m_counters->notModified; }
    int Connections() const { return m_counters->connections; }
    std::uint64_t FeedBytes() const { return m_counters->feedBytes; }

private:
    void AcceptLoop()
    {
        std::vector<pollfd> ready;
        for (int fd : m_listen)
            ready.push_back({fd, POLLIN, 0});
        for (;;) {
            if (poll(ready.data(), ready.size(), -1) <= 0)
                continue;
            for (const pollfd& one : ready) {
                if (!(one.revents & POLLIN))
                    continue;
                const int fd = accept(one.fd, nullptr, nullptr);
                if (fd < 0)
                    continue;
                ++m_counters->connections;
                std::thread([this, fd] { Serve(fd); }).detach();
            }
        }
    }

    // One request's head, or false when the client left (or the server stops).
    bool ReadRequest(int fd, std::string& pending, std::string& head)
    {
        char buffer[8192];
        std::size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                return false;
            pending.append(buffer, static_cast<std::size_t>(got));
        }
        head = pending.substr(0, end + 4);
        pending.erase(0, end + 4);
        return true;
    }

    static std::string HeaderOf(const std::string& head, const char* name)
    {
        std::string lower = head;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        const std::string key = std::string("\r\n") + name + ":";
        const std::size_t at = lower.find(key);
        if (at == std::string::npos)
            return {};
        std::size_t start = at + key.size();
        while (start < head.size() && head[start] == ' ')
            ++start;
        return head.substr(start, head.find("\r\n", start) - start);
    }

    bool Send(int fd, const std::string& bytes)
    {
        for (std::size_t sent = 0; sent < bytes.size();) {
            const ssize_t wrote = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (wrote <= 0)
                return false;
            sent += static_cast<std::size_t>(wrote);
        }
        return true;
    }

    void Serve(int fd)
    {
        const int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        std::string pending, head;
        while (ReadRequest(fd, pending, head)) {
            ++m_counters->requests;
            const std::size_t space = head.find(' ');
            const std::string path = head.substr(space + 1, head.find(' ', space + 1) - space - 1);
            const ServedFeed* feed = nullptr;
            for (const ServedFeed& one : m_feeds)
                if (one.path == path)
                    feed = &one;
            std::this_thread::sleep_for(std::chrono::milliseconds(feed ? feed->delayMs : 300));
            bool sent;
            if (!feed)
                sent = Send(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
            else if (HeaderOf(head, "if-none-match") == feed->etag ||
                     HeaderOf(head, "if-modified-since") == feed->lastModified) {
                ++m_counters->notModified;
                // As common servers answer it: no Content-Length.
                sent = Send(fd, "HTTP/1.1 304 Not Modified\r\nETag: " + feed->etag + "\r\n\r\n");
            } else
                sent = Send(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml; "
                                "charset=utf-8\r\nETag: " +
                                    feed->etag + "\r\nLast-Modified: " + feed->lastModified +
                                    "\r\nContent-Length: " + std::to_string(feed->body.size()) +
                                    "\r\n\r\n") &&
                       Send(fd, feed->body);
            if (!sent)
                break;
        }
        close(fd);
    }

    std::vector<ServedFeed> m_feeds;
    std::vector<int> m_listen;
    std::vector<int> m_ports;
    ServerCounters* m_counters = nullptr;
    pid_t m_child = -1;
};

// --- Measuring ----------------------------------------------------------------

// A line of /proc/self/smaps_rollup, in KB: "Pss", or "Anonymous" (the
// process's own memory, which other processes mapping the same libraries
// do not change).
long RollupKb(const std::string& field)
{
    std::ifstream rollup("/proc/self/smaps_rollup");
    for (std::string line; std::getline(rollup, line);)
        if (line.starts_with(field + ":"))
            return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// The main loop's lateness: a 5 ms timer that notes how late it fires.
struct StallWatch
{
    static constexpr gint64 kPeriodUs = 5000;

    void Start()
    {
        last = g_get_monotonic_time();
        worstUs = 0;
        source = g_timeout_add(
            5,
            [](gpointer data) -> gboolean {
                auto* me = static_cast<StallWatch*>(data);
                const gint64 now = g_get_monotonic_time();
                me->worstUs = std::max(me->worstUs, now - me->last - kPeriodUs);
                me->last = now;
                return G_SOURCE_CONTINUE;
            },
            this);
    }
    void Stop()
    {
        g_source_remove(source);
        source = 0;
    }

    guint source = 0;
    gint64 last = 0;
    gint64 worstUs = 0;
};

// What the pane does while the Headlines page is on screen: changes that
// come within 250 ms update the page once, from the database.
struct PageShown
{
    explicit PageShown(headlines::HeadlinesService& service) : service(service) {}

    void Changed()
    {
        if (timer)
            return;
        timer = g_timeout_add(
            250,
            [](gpointer data) -> gboolean {
                auto* me = static_cast<PageShown*>(data);
                me->timer = 0;
                me->Update();
                return G_SOURCE_REMOVE;
            },
            this);
    }

    void Update()
    {
        const auto start = Steady::now();
        const headlines::HeadlinesView view = service.View(headlines::HeadlinesOrder::NewestFirst);
        const std::string script = headlines::HeadlinesUpdateScript(view);
        const double took = SecondsSince(start);
        longest = std::max(longest, took);
        shownHeadlines = view.headlines.size();
        scriptBytes = script.size();
        ++updates;
        lastUpdate = Steady::now();
    }

    ~PageShown()
    {
        if (timer)
            g_source_remove(timer);
    }

    headlines::HeadlinesService& service;
    guint timer = 0;
    double longest = 0;
    std::size_t shownHeadlines = 0;
    std::size_t scriptBytes = 0;
    int updates = 0;
    Steady::time_point lastUpdate{};
};

struct RefreshFigures
{
    double seconds = 0;          // until the service has nothing under way
    double shownSeconds = 0;     // until the page's update after that (page shown)
    double stallMs = 0;          // the timer's worst lateness
    double dispatchMs = 0;       // the longest main loop iteration
    double dispatchCpuMs = 0;    // the main thread's CPU time in it
    double dispatchWaitedMs = 0; // its wait for a core in it
    double mostCpuMs = 0;        // the most CPU time of one dispatch
    int feedsRead = 0;           // feeds whose last read is this refresh's
    int requests = 0;
    int notModified = 0;
    int connections = 0; // new ones
    std::size_t headlines = 0;
};

// Asks for a refresh and runs the main loop until the service is idle.
RefreshFigures Refresh(headlines::HeadlinesService& service, const FeedServer& server,
                       std::time_t clockNow, PageShown* page)
{
    RefreshFigures figures;
    const int requestsBefore = server.Requests();
    const int notModifiedBefore = server.NotModified();
    const int connectionsBefore = server.Connections();
    StallWatch watch;
    watch.Start();
    const auto start = Steady::now();
    const auto limit = start + std::chrono::seconds(120);
    service.Refresh(true);
    Dispatches loop;
    while (service.Busy() > 0 && Steady::now() < limit)
        loop.RunOnce();
    figures.seconds = SecondsSince(start);
    // The page's last update, which shows what the last feed brought.
    if (page) {
        while (page->timer && Steady::now() < limit)
            loop.RunOnce();
        figures.shownSeconds = page->lastUpdate > start
                                   ? std::chrono::duration<double>(page->lastUpdate - start).count()
                                   : figures.seconds;
    }
    watch.Stop();
    figures.stallMs = static_cast<double>(watch.worstUs) / 1000.0;
    figures.dispatchMs = loop.longest * 1000;
    figures.dispatchCpuMs = loop.cpuOfLongest * 1000;
    figures.dispatchWaitedMs = loop.waitedInLongest * 1000;
    figures.mostCpuMs = loop.mostCpu * 1000;
    for (const headlines::FeedRecord& feed : service.Store()->Feeds())
        if (feed.lastFetched >= clockNow && feed.failures == 0)
            ++figures.feedsRead;
    figures.requests = server.Requests() - requestsBefore;
    figures.notModified = server.NotModified() - notModifiedBefore;
    figures.connections = server.Connections() - connectionsBefore;
    figures.headlines = service.Store()->Headlines(headlines::HeadlinesOrder::NewestFirst).size();
    return figures;
}

double ParseMegabytesPerSecond(std::size_t& feedBytes, std::size_t& items)
{
    const std::string feed = MakeFeed(1000, 5000, std::size_t{5} << 20, std::time(nullptr));
    feedBytes = feed.size();
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        const auto start = Steady::now();
        const headlines::FeedParseResult parsed =
            headlines::ParseFeed(feed, "http://127.0.0.1/big.xml");
        times.push_back(SecondsSince(start));
        items = parsed.feed ? parsed.feed->items.size() : 0;
    }
    std::sort(times.begin(), times.end());
    return static_cast<double>(feed.size()) / (1 << 20) / times[times.size() / 2];
}

std::string Fixed(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The table's rows, and the same figures as one "result key=value..." line.
class Report
{
public:
    // `target` empty: a figure without a target.
    void Row(const std::string& what, const std::string& key, const std::string& value,
             const std::string& target = {}, bool met = true)
    {
        std::printf("%-48s %12s   %-10s %s\n", what.c_str(), value.c_str(), target.c_str(),
                    target.empty() ? "" : (met ? "yes" : "NO"));
        m_result += " " + key + "=" + value.substr(0, value.find(' '));
        if (!target.empty())
            m_result += std::string(" ") + key + "_met=" + (met ? "yes" : "no");
    }
    void Header() const
    {
        std::printf("%-46s %14s   %-10s %s\n", "figure", "value", "target", "met");
    }
    void Result(const std::string& more) const
    {
        std::printf("result%s %s\n", m_result.c_str(), more.c_str());
    }

private:
    std::string m_result;
};

// The shortest a refresh could take under the limits: no host serves more
// than maxPerHost at once, nobody more than maxRunning, and no read is
// shorter than its server's delay.
double LeastPossible(const std::vector<ServedFeed>& feeds, int hosts,
                     const headlines::ScheduleLimits& limits)
{
    std::vector<double> perHost(static_cast<std::size_t>(hosts));
    double total = 0, longest = 0;
    for (const ServedFeed& feed : feeds) {
        perHost[static_cast<std::size_t>(feed.host)] += feed.delayMs / 1000.0;
        total += feed.delayMs / 1000.0;
        longest = std::max(longest, feed.delayMs / 1000.0);
    }
    double least = std::max(longest, total / limits.maxRunning);
    for (double host : perHost)
        least = std::max(least, host / limits.maxPerHost);
    return least;
}

// The timer's worst lateness with nothing else to do: what the machine
// itself adds.
double IdleLateness(double seconds)
{
    StallWatch watch;
    watch.Start();
    const auto end = Steady::now() + std::chrono::duration<double>(seconds);
    while (Steady::now() < end)
        g_main_context_iteration(nullptr, TRUE);
    watch.Stop();
    return static_cast<double>(watch.worstUs) / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    int hosts = 50;
    int feedCount = 100;
    bool pageShown = true;
    headlines::ScheduleLimits limits; // the program's own, unless asked otherwise
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--hosts" && i + 1 < argc)
            hosts = std::clamp(std::atoi(argv[++i]), 1, 250);
        else if (arg == "--feeds" && i + 1 < argc)
            feedCount = std::clamp(std::atoi(argv[++i]), 1, 1000);
        else if (arg == "--at-once" && i + 1 < argc)
            limits.maxRunning = std::clamp(std::atoi(argv[++i]), 1, 200);
        else if (arg == "--no-page")
            pageShown = false;
        else {
            std::fprintf(stderr, "usage: %s [--hosts N] [--feeds N] [--at-once N] [--no-page]\n",
                         argv[0]);
            return 2;
        }
    }
    headlines::FetchLimits fetchLimits;
    fetchLimits.maxConnections = std::max(fetchLimits.maxConnections, limits.maxRunning);

    // The feeds, made before the first PSS reading: the server is not the program.
    const std::time_t started = std::time(nullptr);
    std::vector<ServedFeed> feeds;
    Random random{42};
    double oneAfterAnother = 0;
    for (int i = 0; i < feedCount; ++i) {
        ServedFeed feed;
        feed.number = i;
        feed.host = i % hosts;
        feed.path = "/feeds/" + std::to_string(i) + ".xml";
        // Five of a hundred are large: long summaries.
        const bool large = i % 20 == 7;
        feed.size = large ? random.Between(950, 1100) * 1024 : random.Between(20, 80) * 1024;
        feed.delayMs = random.Between(300, 1000);
        feed.etag = "\"paper-" + std::to_string(i) + "-1\"";
        feed.lastModified = RfcDate(started - 7200);
        oneAfterAnother += feed.delayMs / 1000.0;
        feeds.push_back(std::move(feed));
    }
    const double leastPossible = LeastPossible(feeds, hosts, limits);
    // Before anything else starts a thread: the server's process is forked.
    const FeedServer server(hosts, feeds, started - 3600);

    char pattern[] = "/tmp/lumo-refresh-bench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    std::time_t clockOffset = 0;
    headlines::HeadlinesService service(
        dir + "/headlines.sqlite", [&clockOffset] { return std::time(nullptr) + clockOffset; },
        fetchLimits, limits);
    if (!service.Usable()) {
        std::fprintf(stderr, "no database: %s\n", service.OpenError().c_str());
        return 1;
    }
    service.SetSettings({});
    std::vector<headlines::Paper> papers;
    for (int i = 0; i < feedCount; ++i) {
        const std::string page = "https://paper" + std::to_string(i) + ".example/";
        const std::string name = "The Local Paper " + std::to_string(i);
        service.Store()->SetFavoriteFeed(page, name, server.Address(feeds[i]));
        papers.push_back({name, page});
    }
    service.SetPapers(papers);
    PageShown page(service);
    if (pageShown)
        service.SetListener([&page] { page.Changed(); });

    const std::string loadBefore = LoadAverage();
    const double idleStallMs = IdleLateness(2.0);
    const long pssBefore = RollupKb("Pss");
    const long anonymousBefore = RollupKb("Anonymous");
    const RefreshFigures first =
        Refresh(service, server, std::time(nullptr), pageShown ? &page : nullptr);
    const double firstUpdateMs = page.longest * 1000;
    page.longest = 0;
    // Past the gap the service keeps between two refreshes the user asks for.
    clockOffset += 120;
    const RefreshFigures again =
        Refresh(service, server, std::time(nullptr) + clockOffset, pageShown ? &page : nullptr);
    const long pssAfter = RollupKb("Pss");
    const long anonymousAfter = RollupKb("Anonymous");
    std::size_t parseBytes = 0, parseItems = 0;
    const double parseRate = ParseMegabytesPerSecond(parseBytes, parseItems);
    const std::string loadAfter = LoadAverage();

    std::printf("Refresh of %d feeds on %d hosts (127.0.0.1-127.0.0.%d), %.1f MB served, "
                "%.1f s of waiting one after another\n",
                feedCount, hosts, hosts, static_cast<double>(server.FeedBytes()) / (1 << 20),
                oneAfterAnother);
    std::printf("at most %d reads at once, %d per host: %.2f s at the least\n", limits.maxRunning,
                limits.maxPerHost, leastPossible);
    std::printf("load average before: %s, after: %s; %u cores\n", loadBefore.c_str(),
                loadAfter.c_str(), std::thread::hardware_concurrency());
    Report report;
    report.Header();
    const auto count = [feedCount](int n) {
        return std::to_string(n) + "/" + std::to_string(feedCount);
    };
    const bool allRead = first.feedsRead == feedCount;
    report.Row("refresh: feeds read", "feeds_read", count(first.feedsRead), "all", allRead);
    report.Row("refresh: headlines stored", "headlines", std::to_string(first.headlines));
    report.Row("refresh: time to all stored (s)", "refresh_s", Fixed(first.seconds, 2), "<= 2.5",
               allRead && first.seconds <= 2.5);
    if (pageShown)
        report.Row("refresh: time to the page updated (s)", "shown_s",
                   Fixed(first.shownSeconds, 2));
    report.Row("idle main loop: worst lateness of the timer (ms)", "idle_stall_ms",
               Fixed(idleStallMs, 1));
    report.Row("refresh: worst lateness of a 5 ms timer (ms)", "stall_ms", Fixed(first.stallMs, 1),
               "<= 50", first.stallMs <= 50);
    const auto dispatches = [&report](const std::string& which, const std::string& key,
                                      const RefreshFigures& figures) {
        report.Row(which + ": longest main loop dispatch (ms)", key + "dispatch_ms",
                   Fixed(figures.dispatchMs, 1));
        report.Row(which + ":   of it on a core (ms)", key + "dispatch_cpu_ms",
                   Fixed(figures.dispatchCpuMs, 1));
        report.Row(which + ":   of it waiting for a core (ms)", key + "dispatch_waited_ms",
                   Fixed(figures.dispatchWaitedMs, 1));
        report.Row(which + ": most CPU in one dispatch (ms)", key + "most_cpu_ms",
                   Fixed(figures.mostCpuMs, 1));
    };
    dispatches("refresh", "", first);
    if (pageShown)
        report.Row("refresh: longest page update (ms)", "update_ms", Fixed(firstUpdateMs, 1));
    report.Row("refresh: connections opened", "connections", std::to_string(first.connections));
    const bool allAgain = again.feedsRead == feedCount && again.notModified == feedCount;
    report.Row("unchanged: feeds read (answered 304)", "again_read",
               count(again.feedsRead) + " (" + std::to_string(again.notModified) + ")", "all",
               allAgain);
    report.Row("unchanged: time to all read (s)", "again_s", Fixed(again.seconds, 2), "<= 1.5",
               allAgain && again.seconds <= 1.5);
    report.Row("unchanged: worst lateness of a 5 ms timer (ms)", "again_stall_ms",
               Fixed(again.stallMs, 1), "<= 50", again.stallMs <= 50);
    dispatches("unchanged", "again_", again);
    report.Row("unchanged: connections opened", "again_connections",
               std::to_string(again.connections));
    report.Row("PSS before (MB)", "pss_before_mb", Fixed(pssBefore / 1024.0, 1));
    report.Row("PSS after (MB)", "pss_after_mb", Fixed(pssAfter / 1024.0, 1));
    report.Row("PSS growth (MB)", "pss_growth_mb", Fixed((pssAfter - pssBefore) / 1024.0, 1),
               "<= 20", pssAfter - pssBefore <= 20 * 1024);
    report.Row("anonymous memory growth (MB)", "anonymous_growth_mb",
               Fixed((anonymousAfter - anonymousBefore) / 1024.0, 1));
    report.Row("parse of one " + Fixed(static_cast<double>(parseBytes) / (1 << 20), 1) +
                   " MB feed, " + std::to_string(parseItems) + " items (MB/s)",
               "parse_mb_s", Fixed(parseRate, 1));
    report.Result("load=" + loadBefore.substr(0, loadBefore.find(' ')));
    std::filesystem::remove_all(dir);
    return 0;
}
