#include "browser/engine/blocking/filter_probe.h"

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include <webkit2/webkit2.h>

namespace lumo {
namespace {

// The plain addresses (on the loopback) the page is loaded at: first
// without the filters, then with them.
constexpr const char* kWithoutFilters = "/?without-filters";
const char* const kProbePaths[] = {"/", "/news/2024/05/06/city-council-votes.html",
                                   "/index.php?id=7&page=2"};

// Reports in its title, once everything it loads came or failed: "probed"
// and what of its text, image and style sheet did not come through.
constexpr const char* kProbePage = R"(<!doctype html>
<html><head><title>probe</title><link rel="stylesheet" href="/styles/site.css"></head>
<body><main><article><div><p id="text">The council voted on the new bridge.</p></div></article>
<img id="photo" src="/images/river.png" width="2" height="2" alt=""></main>
<script>
addEventListener('load', () => {
  const missing = [];
  const shown = e => getComputedStyle(e).display != 'none' && getComputedStyle(e).visibility != 'hidden';
  for (let e = document.getElementById('text'); e; e = e.parentElement)
    if (!shown(e)) { missing.push('its text'); break; }
  const photo = document.getElementById('photo');
  if (!photo.complete || photo.naturalWidth == 0 || !shown(photo)) missing.push('its image');
  if (getComputedStyle(document.getElementById('text')).color != 'rgb(1, 2, 3)')
    missing.push('its style sheet');
  document.title = 'probed' + (missing.length ? ': ' + missing.join(', ') : '');
});
</script></body></html>)";

constexpr const char* kProbeStyle = "#text { color: rgb(1, 2, 3); }\n";
constexpr const char* kProbeImage =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="2" height="2"><rect width="2" height="2"/></svg>)";

// How long one load may take.
constexpr guint kLoadSeconds = 20;

// Answers one connection of the page's server, on the service's thread.
gboolean Answer(GThreadedSocketService*, GSocketConnection* connection, GObject*, gpointer)
{
    GInputStream* in = g_io_stream_get_input_stream(G_IO_STREAM(connection));
    GObjectPtr<GDataInputStream> lines(g_data_input_stream_new(in));
    g_filter_input_stream_set_close_base_stream(G_FILTER_INPUT_STREAM(lines.get()), FALSE);
    std::string path;
    for (;;) {
        g_autofree char* line =
            g_data_input_stream_read_line(lines.get(), nullptr, nullptr, nullptr);
        if (!line)
            return TRUE;
        std::string_view text(line);
        if (text.ends_with('\r'))
            text.remove_suffix(1);
        if (text.empty())
            break;
        if (path.empty() && text.starts_with("GET ")) {
            text.remove_prefix(4);
            path = text.substr(0, text.find(' '));
        }
    }
    std::string type = "text/html; charset=utf-8", body = kProbePage;
    if (path.starts_with("/styles/")) {
        type = "text/css";
        body = kProbeStyle;
    } else if (path.starts_with("/images/")) {
        type = "image/svg+xml";
        body = kProbeImage;
    }
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: " + type +
                               "\r\nContent-Length: " + std::to_string(body.size()) +
                               "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
    g_output_stream_write_all(g_io_stream_get_output_stream(G_IO_STREAM(connection)), answer.data(),
                              answer.size(), nullptr, nullptr, nullptr);
    g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
    return TRUE;
}

// One try of a set of filters: the server, the hidden view and the loads.
class Probe
{
public:
    Probe(const FilterSet& filters, std::function<void(std::string)> done)
        : m_filters(filters), m_done(std::move(done))
    {
    }

    ~Probe()
    {
        if (m_timeout)
            g_source_remove(m_timeout);
        if (m_view) {
            g_signal_handlers_disconnect_by_data(m_view.get(), this);
            webkit_web_view_stop_loading(m_view.get());
        }
        if (m_service) {
            g_socket_service_stop(m_service.get());
            g_socket_listener_close(G_SOCKET_LISTENER(m_service.get()));
        }
    }

    static void Start(std::unique_ptr<Probe> probe)
    {
        std::string why = probe->Serve();
        if (!why.empty()) {
            Skip(std::move(probe), why);
            return;
        }
        g_autoptr(WebKitUserContentManager) manager = webkit_user_content_manager_new();
        probe->m_view.reset(WEBKIT_WEB_VIEW(
            g_object_ref_sink(webkit_web_view_new_with_user_content_manager(manager))));
        Probe* raw = probe.release(); // until the last load ends
        g_signal_connect(raw->m_view.get(), "notify::title", G_CALLBACK(OnTitle), raw);
        g_signal_connect(raw->m_view.get(), "load-failed", G_CALLBACK(OnFailed), raw);
        raw->LoadNext();
    }

private:
    std::string Serve()
    {
        m_service.reset(g_threaded_socket_service_new(4));
        g_autoptr(GInetAddress) loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
        g_autoptr(GSocketAddress) any = g_inet_socket_address_new(loopback, 0);
        g_autoptr(GSocketAddress) bound = nullptr;
        g_autoptr(GError) error = nullptr;
        if (!g_socket_listener_add_address(G_SOCKET_LISTENER(m_service.get()), any,
                                           G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr,
                                           &bound, &error))
            return error ? error->message : "no port on the loopback";
        m_origin = "http://127.0.0.1:" +
                   std::to_string(g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound)));
        g_signal_connect(m_service.get(), "run", G_CALLBACK(Answer), nullptr);
        g_socket_service_start(m_service.get());
        return {};
    }

    // The first load is without filters; the others with them.
    void LoadNext()
    {
        if (m_next == 1) {
            WebKitUserContentManager* manager =
                webkit_web_view_get_user_content_manager(m_view.get());
            for (const FilterPtr& filter : m_filters)
                webkit_user_content_manager_add_filter(manager, filter.get());
        }
        m_address = m_origin + (m_next == 0 ? kWithoutFilters : kProbePaths[m_next - 1]);
        if (m_timeout)
            g_source_remove(m_timeout);
        m_timeout = g_timeout_add_seconds(kLoadSeconds, OnTimeout, this);
        webkit_web_view_load_uri(m_view.get(), m_address.c_str());
    }

    // The load at m_address ended: "" when the page came through whole.
    void Loaded(const std::string& problem)
    {
        std::unique_ptr<Probe> me(this);
        if (m_next == 0 && !problem.empty()) {
            Skip(std::move(me), problem);
            return;
        }
        if (!problem.empty()) {
            Finish(std::move(me), problem + " at " + m_address.substr(m_origin.size()));
            return;
        }
        if (++m_next == std::size(kProbePaths) + 1) {
            Finish(std::move(me), {});
            return;
        }
        me.release()->LoadNext();
    }

    static void OnTitle(WebKitWebView* view, GParamSpec*, gpointer self)
    {
        const char* title = webkit_web_view_get_title(view);
        const std::string_view text = title ? title : "";
        if (!text.starts_with("probed"))
            return;
        static_cast<Probe*>(self)->Loaded(text == "probed"
                                              ? std::string()
                                              : "the filters take " + std::string(text.substr(8)) +
                                                    " from the page");
    }

    static gboolean OnFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                             gpointer self)
    {
        // The load before, which the next one ended, says nothing.
        if (!uri || static_cast<Probe*>(self)->m_address != uri)
            return TRUE;
        static_cast<Probe*>(self)->Loaded(
            "the filters block the page (" +
            std::string(error && error->message ? error->message : "it failed") + ")");
        return TRUE;
    }

    static gboolean OnTimeout(gpointer self)
    {
        auto* me = static_cast<Probe*>(self);
        me->m_timeout = 0;
        me->Loaded("the page did not load with the filters");
        return G_SOURCE_REMOVE;
    }

    static void Skip(std::unique_ptr<Probe> probe, const std::string& why)
    {
        g_message("ad and tracker filters not tried on a page, their rules were checked: %s",
                  why.c_str());
        Finish(std::move(probe), {});
    }

    // `done` is called from the main loop, once the view is gone.
    static void Finish(std::unique_ptr<Probe> probe, std::string why)
    {
        auto done = std::move(probe->m_done);
        probe.reset();
        struct Call
        {
            std::function<void(std::string)> done;
            std::string why;
        };
        g_idle_add_full(
            G_PRIORITY_DEFAULT,
            [](gpointer data) {
                auto* call = static_cast<Call*>(data);
                call->done(std::move(call->why));
                return G_SOURCE_REMOVE;
            },
            new Call{std::move(done), std::move(why)},
            [](gpointer data) { delete static_cast<Call*>(data); });
    }

    const FilterSet& m_filters;
    std::function<void(std::string)> m_done;
    GObjectPtr<GSocketService> m_service;
    GObjectPtr<WebKitWebView> m_view;
    std::string m_origin, m_address;
    std::size_t m_next = 0; // 0: the load without filters
    guint m_timeout = 0;
};

} // namespace

void ProbeFilters(const FilterSet& filters, std::function<void(std::string why)> done)
{
    Probe::Start(std::make_unique<Probe>(filters, std::move(done)));
}

} // namespace lumo
