#include "headlines/net/feed_fetcher.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <utility>

#include <libsoup/soup.h>

#include "headlines/core/feed_parser.h"
#include "headlines/core/refresh_schedule.h"

namespace headlines {

struct FeedFetcher::Shared
{
    FetchLimits limits;
    SoupSession* session = nullptr;
    bool alive = true;
    std::set<Transfer*> transfers;
    int parsing = 0;

    ~Shared()
    {
        if (session)
            g_object_unref(session);
    }
};

namespace {

// libsoup 2.4 (webkit2gtk-4.0) and 3 (webkit2gtk-4.1) say these differently.
SoupMessageHeaders* RequestHeaders(SoupMessage* message)
{
#if SOUP_CHECK_VERSION(2, 99, 0)
    return soup_message_get_request_headers(message);
#else
    return message->request_headers;
#endif
}

SoupMessageHeaders* ResponseHeaders(SoupMessage* message)
{
#if SOUP_CHECK_VERSION(2, 99, 0)
    return soup_message_get_response_headers(message);
#else
    return message->response_headers;
#endif
}

int StatusOf(SoupMessage* message)
{
#if SOUP_CHECK_VERSION(2, 99, 0)
    return static_cast<int>(soup_message_get_status(message));
#else
    return static_cast<int>(message->status_code);
#endif
}

std::string Header(SoupMessageHeaders* headers, const char* name)
{
    const char* value = soup_message_headers_get_one(headers, name);
    return value ? value : "";
}

std::string StatusText(int status)
{
    const char* phrase = soup_status_get_phrase(static_cast<guint>(status));
    std::string text = "HTTP " + std::to_string(status);
    if (phrase && *phrase && std::string_view(phrase) != "Unknown Error")
        text += std::string(" ") + phrase;
    return text;
}

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string Duration(std::chrono::milliseconds limit)
{
    const auto ms = limit.count();
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
    char text[32];
    g_snprintf(text, sizeof text, "%.1f seconds", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string Megabytes(std::size_t bytes)
{
    if (bytes % (1 << 20) == 0)
        return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes >> 10) + " KB";
}

bool ErrorIn(const GError* error, const char* domain)
{
    return std::string_view(g_quark_to_string(error->domain)) == domain;
}

// Why the network failed, for the user.
std::string NetworkErrorText(const GError* error)
{
    if (!error)
        return "The server closed the connection";
    const bool soupError =
        ErrorIn(error, "soup-http-error-quark") || ErrorIn(error, "soup_http_error_quark");
    if (error->domain == G_RESOLVER_ERROR || (soupError && error->code == 2))
        return "The server's name could not be found";
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED) ||
        (soupError && error->code == 4))
        return "The server refused the connection";
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NETWORK_UNREACHABLE) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_HOST_UNREACHABLE))
        return "The network cannot be reached";
    if (error->domain == G_TLS_ERROR || (soupError && error->code == 6))
        return "A secure connection to the server could not be made";
    return std::string("The connection failed: ") + error->message;
}

// The parser's reason with a capital letter, as the page shows it.
std::string Sentence(std::string text)
{
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

// What came back from the network, before the body is read as a feed.
struct Answer
{
    int status = 0;
    std::string body;
    std::string finalAddress;
    bool movedPermanently = false;
    std::string etag;
    std::string lastModified;
    std::string retryAfter;
    bool truncated = false;
    std::string error; // empty for a 2xx body or a 304
};

} // namespace

// One fetch: the request, its redirects and its body read piece by piece
// under the size and time limits. It deletes itself once it has answered.
class FeedFetcher::Transfer
{
public:
    Transfer(std::shared_ptr<FeedFetcher::Shared> shared, const FeedRequest& request,
             std::size_t maxBytes, std::string what, std::function<void(Answer)> done)
        : m_shared(std::move(shared)), m_request(request), m_maxBytes(maxBytes),
          m_what(std::move(what)), m_done(std::move(done)), m_cancellable(g_cancellable_new())
    {
        m_answer.finalAddress = request.address;
    }

    ~Transfer()
    {
        if (m_timer)
            g_source_remove(m_timer);
        DropStream();
        if (m_message)
            g_object_unref(m_message);
        g_object_unref(m_cancellable);
    }

    void Start()
    {
        m_shared->transfers.insert(this);
        m_timer = g_timeout_add(static_cast<guint>(m_shared->limits.timeLimit.count()),
                                &Transfer::OnTimeout, this);
        Send();
    }

    void Cancel() { Abort({}); }

private:
    void Send()
    {
        if (m_message)
            g_object_unref(m_message);
        m_message = soup_message_new("GET", m_answer.finalAddress.c_str());
        if (!m_message) {
            Finish("Not a web address: " + m_answer.finalAddress);
            return;
        }
        // Redirects are followed here, to count them.
        soup_message_set_flags(m_message, SOUP_MESSAGE_NO_REDIRECT);
        SoupMessageHeaders* headers = RequestHeaders(m_message);
        soup_message_headers_replace(
            headers, "Accept",
            !IsPage() ? "application/rss+xml, application/atom+xml, application/xml;q=0.9, "
                        "text/xml;q=0.9, */*;q=0.5"
                      : "text/html, application/xhtml+xml, */*;q=0.5");
        if (!m_request.etag.empty())
            soup_message_headers_replace(headers, "If-None-Match", m_request.etag.c_str());
        if (!m_request.lastModified.empty())
            soup_message_headers_replace(headers, "If-Modified-Since",
                                         m_request.lastModified.c_str());
#if SOUP_CHECK_VERSION(2, 99, 0)
        soup_session_send_async(m_shared->session, m_message, G_PRIORITY_DEFAULT, m_cancellable,
                                &Transfer::OnSent, this);
#else
        soup_session_send_async(m_shared->session, m_message, m_cancellable, &Transfer::OnSent,
                                this);
#endif
    }

    static void OnSent(GObject* source, GAsyncResult* result, gpointer data)
    {
        auto* me = static_cast<Transfer*>(data);
        GError* error = nullptr;
        me->m_stream = soup_session_send_finish(SOUP_SESSION(source), result, &error);
        if (!me->m_stream)
            me->Finish(me->m_abortReason.empty() ? NetworkErrorText(error) : me->m_abortReason);
        else
            me->Answered();
        g_clear_error(&error);
    }

    void Answered()
    {
        const int status = StatusOf(m_message);
        SoupMessageHeaders* headers = ResponseHeaders(m_message);
        m_answer.status = status;
        if (IsRedirect(status) && !Header(headers, "Location").empty()) {
            FollowRedirect(status, Header(headers, "Location"));
            return;
        }
        m_answer.retryAfter = Header(headers, "Retry-After");
        if (status == 304) {
            // Its empty body read to the end, the connection serves the next request.
            ReadNext();
            return;
        }
        if (status < 200 || status > 299) {
            Finish(StatusText(status));
            return;
        }
        m_answer.etag = Header(headers, "ETag");
        m_answer.lastModified = Header(headers, "Last-Modified");
        const goffset length = soup_message_headers_get_content_length(headers);
        if (!IsPage() && length > 0 && static_cast<std::size_t>(length) > m_maxBytes) {
            Finish(TooLarge());
            return;
        }
        // Read into its room at once, not into a string that doubles as it grows.
        if (length > 0)
            m_answer.body.reserve(std::min(static_cast<std::size_t>(length), m_maxBytes));
        ReadNext();
    }

    void FollowRedirect(int status, const std::string& location)
    {
        DropStream();
        if (++m_redirects > m_shared->limits.maxRedirects) {
            Finish("The " + m_what + "'s address was redirected more than " +
                   std::to_string(m_shared->limits.maxRedirects) + " times");
            return;
        }
        gchar* next = g_uri_resolve_relative(m_answer.finalAddress.c_str(), location.c_str(),
                                             G_URI_FLAGS_NONE, nullptr);
        const char* scheme = next ? g_uri_peek_scheme(next) : nullptr;
        const bool web =
            scheme && (std::string_view(scheme) == "http" || std::string_view(scheme) == "https");
        if (!web) {
            g_free(next);
            Finish("The " + m_what + "'s address was redirected to one that is not a web address");
            return;
        }
        m_permanentOnly = m_permanentOnly && (status == 301 || status == 308);
        m_answer.movedPermanently = m_permanentOnly;
        m_answer.finalAddress = next;
        g_free(next);
        Send();
    }

    void ReadNext()
    {
        g_input_stream_read_bytes_async(m_stream, 64 * 1024, G_PRIORITY_DEFAULT, m_cancellable,
                                        &Transfer::OnRead, this);
    }

    static void OnRead(GObject* source, GAsyncResult* result, gpointer data)
    {
        auto* me = static_cast<Transfer*>(data);
        GError* error = nullptr;
        GBytes* bytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), result, &error);
        if (!bytes) {
            me->Finish(me->m_abortReason.empty() ? NetworkErrorText(error) : me->m_abortReason);
            g_clear_error(&error);
            return;
        }
        gsize size = 0;
        const auto* piece = static_cast<const char*>(g_bytes_get_data(bytes, &size));
        if (size > 0)
            me->m_answer.body.append(piece, size);
        g_bytes_unref(bytes);
        if (size == 0) {
            me->m_bodyRead = true;
            me->Finish({});
        } else if (me->m_answer.body.size() > me->m_maxBytes)
            me->AtLimit();
        else
            me->ReadNext();
    }

    static gboolean OnTimeout(gpointer data)
    {
        auto* me = static_cast<Transfer*>(data);
        me->m_timer = 0;
        me->Abort("The server did not answer within " + Duration(me->m_shared->limits.timeLimit));
        return G_SOURCE_REMOVE;
    }

    // Stops what is under way; its callback then finishes with `reason`.
    void Abort(const std::string& reason)
    {
        if (m_abortReason.empty())
            m_abortReason = reason.empty() ? "Cancelled" : reason;
        g_cancellable_cancel(m_cancellable);
    }

    bool IsPage() const
    {
        return m_what == "page";
    }

    // Past the limit, a feed is refused at once and a page is cut there (its
    // head, which names the feeds, comes first); the rest is never read.
    void AtLimit()
    {
        if (!IsPage()) {
            Finish(TooLarge());
            return;
        }
        m_answer.body.resize(m_maxBytes);
        m_answer.truncated = true;
        Finish({});
    }

    std::string TooLarge() const
    {
        return "The " + m_what + " is larger than " + Megabytes(m_maxBytes);
    }

    // Lets go of the body; a connection with unread body is closed, not reused.
    void DropStream()
    {
        if (!m_stream)
            return;
#if !SOUP_CHECK_VERSION(2, 99, 0)
        if (m_message && !m_bodyRead)
            soup_session_cancel_message(m_shared->session, m_message, SOUP_STATUS_CANCELLED);
#endif
        g_object_unref(m_stream);
        m_stream = nullptr;
    }

    void Finish(std::string error)
    {
        m_answer.error = std::move(error);
        if (!m_answer.error.empty())
            m_answer.body.clear();
        m_shared->transfers.erase(this);
        // The answer may end the fetcher: this object goes first.
        std::function<void(Answer)> done = std::move(m_done);
        Answer answer = std::move(m_answer);
        const bool alive = m_shared->alive;
        delete this;
        if (alive)
            done(std::move(answer));
    }

    std::shared_ptr<FeedFetcher::Shared> m_shared;
    FeedRequest m_request;
    std::size_t m_maxBytes;
    std::string m_what; // "feed" or "page", for the messages
    std::function<void(Answer)> m_done;
    GCancellable* m_cancellable;
    SoupMessage* m_message = nullptr;
    GInputStream* m_stream = nullptr;
    guint m_timer = 0;
    int m_redirects = 0;
    bool m_permanentOnly = true;
    bool m_bodyRead = false;
    std::string m_abortReason;
    Answer m_answer;
};

namespace {

// A fetched feed on its way through the worker thread.
struct ParseJob
{
    std::shared_ptr<FeedFetcher::Shared> shared;
    std::function<void(FeedFetchResult)> done;
    Answer answer;
    FeedParseResult parsed;
};

FeedFetchResult ResultOf(Answer& answer)
{
    FeedFetchResult result;
    result.status = answer.status;
    result.finalAddress = answer.finalAddress;
    result.movedPermanently = answer.movedPermanently;
    if (StatusHasRetryAfter(answer.status) && !answer.retryAfter.empty())
        result.retryAfter = ParseRetryAfter(answer.retryAfter, std::time(nullptr));
    if (!answer.error.empty()) {
        result.error = answer.error;
        return result;
    }
    if (answer.status == 304) {
        result.outcome = FetchOutcome::NotModified;
        return result;
    }
    result.validators = {answer.etag, answer.lastModified};
    return result;
}

void ParseInThread(GTask* task, gpointer, gpointer data, GCancellable*)
{
    auto* job = static_cast<ParseJob*>(data);
    job->parsed = ParseFeed(job->answer.body, job->answer.finalAddress);
    g_task_return_boolean(task, TRUE);
}

void Parsed(GObject*, GAsyncResult* result, gpointer)
{
    auto* job = static_cast<ParseJob*>(g_task_get_task_data(G_TASK(result)));
    --job->shared->parsing;
    FeedFetchResult fetched = ResultOf(job->answer);
    if (job->parsed.feed) {
        fetched.outcome = FetchOutcome::Fetched;
        fetched.feed = std::move(job->parsed.feed);
    } else
        fetched.error = Sentence(job->parsed.error.empty() ? "not a feed" : job->parsed.error);
    if (job->shared->alive)
        job->done(std::move(fetched));
}

// Two threads parse, for the whole program: many feeds arriving at once
// wait their turn rather than each holding its document in memory at once.
GThreadPool* Parsers()
{
    static GThreadPool* pool = g_thread_pool_new(
        [](gpointer task, gpointer) {
            ParseInThread(G_TASK(task), nullptr, g_task_get_task_data(G_TASK(task)), nullptr);
            g_object_unref(task);
        },
        nullptr, 2, FALSE, nullptr);
    return pool;
}

void ParseOffTheMainThread(std::shared_ptr<FeedFetcher::Shared> shared, Answer answer,
                           std::function<void(FeedFetchResult)> done)
{
    ++shared->parsing;
    auto* job = new ParseJob{std::move(shared), std::move(done), std::move(answer), {}};
    // Answered on this thread's main context, as the task was made here.
    GTask* task = g_task_new(nullptr, nullptr, Parsed, nullptr);
    g_task_set_task_data(task, job, [](gpointer data) { delete static_cast<ParseJob*>(data); });
    g_thread_pool_push(Parsers(), task, nullptr);
}

} // namespace

FeedFetcher::FeedFetcher(FetchLimits limits) : m_shared(std::make_shared<Shared>())
{
    m_shared->limits = limits;
    // Set as the session is made: libsoup 3 takes max-conns only then.
    m_shared->session = soup_session_new_with_options("user-agent", "LumoNewsReader", "max-conns",
                                                      limits.maxConnections, nullptr);
#if !SOUP_CHECK_VERSION(2, 99, 0)
    // libsoup 3 takes compressed answers by itself.
    if (!soup_session_has_feature(m_shared->session, SOUP_TYPE_CONTENT_DECODER))
        soup_session_add_feature_by_type(m_shared->session, SOUP_TYPE_CONTENT_DECODER);
#endif
}

FeedFetcher::~FeedFetcher()
{
    m_shared->alive = false;
    const std::set<Transfer*> underWay = m_shared->transfers;
    for (Transfer* transfer : underWay)
        transfer->Cancel();
}

void FeedFetcher::FetchFeed(const FeedRequest& request, std::function<void(FeedFetchResult)> done)
{
    std::weak_ptr<Shared> weak = m_shared;
    auto received = [weak, done = std::move(done)](Answer answer) mutable {
        std::shared_ptr<Shared> shared = weak.lock();
        if (!shared)
            return;
        if (!answer.error.empty() || answer.status == 304)
            done(ResultOf(answer));
        else
            ParseOffTheMainThread(std::move(shared), std::move(answer), std::move(done));
    };
    (new Transfer(m_shared, request, m_shared->limits.maxFeedBytes, "feed", std::move(received)))
        ->Start();
}

void FeedFetcher::FetchPage(const std::string& address, std::function<void(PageFetchResult)> done)
{
    auto received = [done = std::move(done)](Answer answer) {
        PageFetchResult page;
        page.ok = answer.error.empty() && answer.status != 304;
        page.html = std::move(answer.body);
        page.finalAddress = std::move(answer.finalAddress);
        page.status = answer.status;
        page.truncated = answer.truncated;
        page.error = std::move(answer.error);
        done(std::move(page));
    };
    FeedRequest request;
    request.address = address;
    (new Transfer(m_shared, request, m_shared->limits.maxPageBytes, "page", std::move(received)))
        ->Start();
}

int FeedFetcher::Pending() const
{
    return static_cast<int>(m_shared->transfers.size()) + m_shared->parsing;
}

} // namespace headlines
