#include "headlines/core/headlines_page.h"

#include <cstdio>
#include <random>

#include "common/resource_ids.h"

namespace headlines {
namespace {

constexpr std::string_view kHost = "headlines";

// Appends `text` as HTML text or attribute value: markup characters as
// references, control characters dropped, bytes that are not UTF-8 as U+FFFD.
void AppendEscaped(std::string& out, std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                if (c >= 0x20 && c != 0x7f)
                    out += static_cast<char>(c);
                else if (c == '\t' || c == '\n')
                    out += ' ';
            }
            ++i;
            continue;
        }
        const size_t length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 ? 2 : 0;
        bool valid = length > 0 && c < 0xf5 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
        // Overlong forms, surrogates and code points past U+10FFFF.
        if (valid && length == 3) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xe0 && next < 0xa0) && !(c == 0xed && next >= 0xa0);
        } else if (valid && length == 4) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xf0 && next < 0x90) && !(c == 0xf4 && next >= 0x90);
        }
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xef\xbf\xbd";
            ++i;
        }
    }
}

std::string OrderName(HeadlinesOrder order)
{
    return order == HeadlinesOrder::ByPaper ? "paper" : "newest";
}

std::tm LocalTime(std::time_t time)
{
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

// Whole calendar days from `then` to `now`, in local time.
long DaysBetween(std::time_t then, std::time_t now)
{
    std::tm a = LocalTime(then), b = LocalTime(now);
    // Noon on both days, read as UTC, so summer time cannot move a day.
    a.tm_hour = b.tm_hour = 12;
    a.tm_min = b.tm_min = a.tm_sec = b.tm_sec = 0;
    return static_cast<long>((timegm(&b) - timegm(&a)) / 86400);
}

// English names whatever the system's locale: the program's texts are English.
constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
constexpr const char* kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

// "12 March", "12 Mar 2023", with the year when it is not this one.
std::string DateText(std::time_t time, std::time_t now, bool shortMonth)
{
    const std::tm local = LocalTime(time);
    std::string text = std::to_string(local.tm_mday) + " ";
    const std::string month = kMonths[local.tm_mon];
    text += shortMonth ? month.substr(0, 3) : month;
    if (local.tm_year != LocalTime(now).tm_year)
        text += " " + std::to_string(local.tm_year + 1900);
    return text;
}

std::string DayHeading(std::time_t time, std::time_t now)
{
    const long days = DaysBetween(time, now);
    if (days <= 0)
        return "Today";
    if (days == 1)
        return "Yesterday";
    return std::string(kWeekdays[LocalTime(time).tm_wday]) + " " + DateText(time, now, false);
}

std::string IsoTime(std::time_t time)
{
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

constexpr const char* kStyle = R"css(
:root { --ink: #1d2633; --muted: #56627a; --paper: #f5f7fb; --card: #ffffff;
  --line: #d9e0ec; --brand: #1c4aa3; --accent: #f08a24; --bad: #a4261c; }
html { background: var(--paper); }
body { margin: 0 auto; max-width: 56rem; padding: 0 1.5rem 2rem; color: var(--ink);
  font-family: "Segoe UI", "Cantarell", "DejaVu Sans", "Liberation Sans", Arial, sans-serif;
  line-height: 1.45; }
header { display: flex; flex-wrap: wrap; gap: 0.5rem 1.5rem; align-items: baseline;
  padding: 1rem 0 0.5rem; border-bottom: 3px solid var(--accent); }
h1, h2 { font-family: Georgia, "DejaVu Serif", "Liberation Serif", serif; line-height: 1.25; }
h1 { margin: 0; font-size: 1.8rem; color: var(--brand); }
h2 { margin: 1.5rem 0 0.4rem; font-size: 1.25rem; }
nav a, .mark-all { color: var(--brand); }
nav a[aria-current] { font-weight: 700; text-decoration: none; color: var(--ink); }
.mark-all { margin-left: auto; }
.count { color: var(--accent); font-size: 0.9rem; font-weight: 600; }
.papers { display: flex; flex-wrap: wrap; gap: 0.25rem 1rem; padding: 0; list-style: none; }
.failures { margin-top: 1rem; padding: 0.5rem 1rem; border-left: 4px solid var(--bad);
  background: var(--card); }
.failures h2 { margin: 0.25rem 0; font-size: 1rem; color: var(--bad); }
.failures ul { margin: 0.25rem 0; padding-left: 1.25rem; }
ul.list { margin: 0; padding: 0; list-style: none; }
ul.list li { padding: 0.3rem 0; border-bottom: 1px solid var(--line); }
ul.list a { color: var(--ink); text-decoration: none; }
ul.list a:hover .title, ul.list a:focus .title { text-decoration: underline; }
.title { font-weight: 400; }
.unread .title { font-weight: 700; }
.meta { color: var(--muted); font-size: 0.85rem; margin-left: 0.5rem; white-space: nowrap; }
.hidden { position: absolute; width: 1px; height: 1px; overflow: hidden; clip: rect(0 0 0 0); }
.empty { color: var(--muted); }
@media (prefers-color-scheme: dark) {
  :root { --ink: #e4e9f2; --muted: #a7b2c6; --paper: #141a24; --card: #1d2533;
    --line: #323d52; --brand: #8db7ff; --bad: #ff8a80; }
}
)css";

// Marks a clicked headline read at once and tells the program; replaces the
// content when the program hands in new content.
constexpr const char* kScript = R"js(
(function () {
  function content() { return document.getElementById("headlines-content"); }
  document.addEventListener("click", function (event) {
    var link = event.target.closest ? event.target.closest("a[data-item]") : null;
    if (!link) return;
    var entry = link.closest("li");
    if (entry) entry.classList.remove("unread");
    var handlers = window.webkit && window.webkit.messageHandlers;
    if (handlers && handlers.lumoHeadlines)
      handlers.lumoHeadlines.postMessage("read:" + link.getAttribute("data-item"));
  });
  window.lumoHeadlines = {
    replace: function (html) {
      var x = window.scrollX, y = window.scrollY;
      var focused = document.activeElement;
      var item = focused && focused.getAttribute ? focused.getAttribute("data-item") : null;
      content().innerHTML = html;
      window.scrollTo(x, y);
      if (item) {
        var again = content().querySelector('a[data-item="' + item + '"]');
        if (again) again.focus({ preventScroll: true });
      }
    }
  };
})();
)js";

std::string Nonce()
{
    std::random_device random;
    char text[40];
    std::snprintf(text, sizeof text, "%08x%08x%08x%08x", random(), random(), random(), random());
    return text;
}

class ContentWriter
{
public:
    ContentWriter(const HeadlinesView& view, std::string& out) : m_view(view), m_out(out) {}

    void Write()
    {
        WriteFailures();
        WritePaperCounts();
        if (m_view.headlines.empty()) {
            m_out += m_view.papers.empty()
                         ? "<p class=\"empty\">None of your favorites has a feed yet.</p>"
                         : "<p class=\"empty\">No headlines yet.</p>";
            return;
        }
        for (const Headline& headline : m_view.headlines) {
            StartGroupFor(headline);
            WriteHeadline(headline);
        }
        EndGroup();
    }

private:
    void WriteFailures()
    {
        if (m_view.failures.empty())
            return;
        m_out += "<section class=\"failures\" aria-labelledby=\"failures-heading\">"
                 "<h2 id=\"failures-heading\">Feeds that could not be read</h2><ul>";
        for (const FeedFailure& failure : m_view.failures) {
            m_out += "<li><strong>";
            AppendEscaped(m_out, failure.paper);
            m_out += "</strong>: ";
            AppendEscaped(m_out, failure.reason);
            m_out += failure.lastSuccess > 0
                         ? " (last read " + RelativeTime(failure.lastSuccess, m_view.now) + ")"
                         : std::string(" (never read)");
            m_out += "</li>";
        }
        m_out += "</ul></section>";
    }

    void WritePaperCounts()
    {
        std::string items;
        for (const PaperCount& paper : m_view.papers) {
            if (paper.unread == 0)
                continue;
            items += "<li>";
            AppendEscaped(items, paper.paper);
            items += " <span class=\"count\">" + std::to_string(paper.unread) + " new</span></li>";
        }
        if (!items.empty())
            m_out +=
                "<ul class=\"papers\" aria-label=\"New headlines per paper\">" + items + "</ul>";
    }

    int UnreadOf(const std::string& page) const
    {
        for (const PaperCount& paper : m_view.papers)
            if (paper.page == page)
                return paper.unread;
        return 0;
    }

    void StartGroupFor(const Headline& headline)
    {
        const bool byPaper = m_view.order == HeadlinesOrder::ByPaper;
        std::string key = byPaper ? headline.page : DayHeading(headline.time, m_view.now);
        if (m_inGroup && key == m_groupKey)
            return;
        EndGroup();
        m_groupKey = std::move(key);
        m_inGroup = true;
        const std::string id = "group-" + std::to_string(++m_groups);
        m_out += "<section aria-labelledby=\"" + id + "\"><h2 id=\"" + id + "\">";
        AppendEscaped(m_out, byPaper ? headline.paper : m_groupKey);
        if (byPaper)
            if (const int unread = UnreadOf(headline.page); unread > 0)
                m_out += " <span class=\"count\">" + std::to_string(unread) + " new</span>";
        m_out += "</h2><ul class=\"list\">";
    }

    void EndGroup()
    {
        if (m_inGroup)
            m_out += "</ul></section>";
        m_inGroup = false;
    }

    void WriteHeadline(const Headline& headline)
    {
        const std::string id = std::to_string(headline.id);
        m_out += headline.read ? "<li>" : "<li class=\"unread\">";
        if (headline.link.empty())
            m_out += "<span>";
        else {
            m_out += "<a href=\"";
            AppendEscaped(m_out, headline.link);
            m_out += "\" data-item=\"" + id + "\">";
        }
        m_out += "<span class=\"title\">";
        AppendEscaped(m_out, headline.title.empty() ? "(no title)" : headline.title);
        // The paper and the time are part of the link's text, for screen
        // readers; by paper, the paper's name is said but not shown.
        m_out += m_view.order == HeadlinesOrder::ByPaper
                     ? "</span><span class=\"hidden\">, </span><span class=\"meta\"><span "
                       "class=\"hidden\">"
                     : "</span><span class=\"hidden\">, </span><span class=\"meta\"><span>";
        AppendEscaped(m_out, headline.paper);
        m_out += ", </span><time datetime=\"" + IsoTime(headline.time) + "\">" +
                 RelativeTime(headline.time, m_view.now) + "</time></span>";
        m_out += headline.link.empty() ? "</span></li>" : "</a></li>";
    }

    const HeadlinesView& m_view;
    std::string& m_out;
    std::string m_groupKey;
    bool m_inGroup = false;
    int m_groups = 0;
};

void AppendJsString(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            (out += '\\') += c;
        else if (byte < 0x20 || c == '<') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else
            out += c;
    }
    out += '"';
}

} // namespace

std::string RelativeTime(std::time_t then, std::time_t now)
{
    const std::time_t seconds = now - then;
    if (seconds < 60)
        return "just now";
    if (seconds < 3600)
        return std::to_string(seconds / 60) + " min ago";
    const long days = DaysBetween(then, now);
    if (days == 0 || seconds < 6 * 3600)
        return std::to_string(seconds / 3600) + " h ago";
    if (days == 1)
        return "yesterday";
    if (days < 7)
        return std::to_string(days) + " days ago";
    return DateText(then, now, true);
}

std::string HeadlinesContentHtml(const HeadlinesView& view)
{
    std::string out;
    out.reserve(view.headlines.size() * 320 + 4096);
    ContentWriter(view, out).Write();
    return out;
}

std::string HeadlinesPageHtml(const HeadlinesView& view)
{
    const std::string nonce = Nonce();
    const bool byPaper = view.order == HeadlinesOrder::ByPaper;
    const auto current = [](bool on) { return on ? " aria-current=\"true\"" : ""; };
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                       "style-src 'nonce-" +
                       nonce + "'; script-src 'nonce-" + nonce +
                       "'; base-uri 'none'; form-action 'none'\">"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                       "<title>Headlines</title><style nonce=\"" +
                       nonce + "\">" + kStyle +
                       "</style></head><body><header><h1>Headlines</h1>"
                       "<nav aria-label=\"Order of the headlines\"><a href=\"" +
                       HeadlinesAddress(HeadlinesOrder::NewestFirst) + "\"" + current(!byPaper) +
                       ">Newest first</a> | <a href=\"" +
                       HeadlinesAddress(HeadlinesOrder::ByPaper) + "\"" + current(byPaper) +
                       ">By paper</a></nav><a class=\"mark-all\" href=\"" +
                       MarkAllReadAddress(view.order) +
                       "\">Mark All as Read</a></header>\n<main id=\"headlines-content\">";
    page += HeadlinesContentHtml(view);
    page += "</main>\n<script nonce=\"" + nonce + "\">" + kScript + "</script></body></html>\n";
    return page;
}

std::string HeadlinesUpdateScript(const HeadlinesView& view)
{
    std::string script = "window.lumoHeadlines && window.lumoHeadlines.replace(";
    AppendJsString(script, HeadlinesContentHtml(view));
    script += ");";
    return script;
}

std::string HeadlinesAddress(HeadlinesOrder order)
{
    return std::string(lumo::kStartPageScheme) + "://" + std::string(kHost) +
           "?sort=" + OrderName(order);
}

std::string MarkAllReadAddress(HeadlinesOrder order)
{
    return std::string(lumo::kStartPageScheme) + "://" + std::string(kHost) +
           "/mark-all-read?sort=" + OrderName(order);
}

std::optional<HeadlinesRequest> ParseHeadlinesAddress(std::string_view address)
{
    const std::string prefix = std::string(lumo::kStartPageScheme) + "://" + std::string(kHost);
    if (!address.starts_with(prefix))
        return std::nullopt;
    address.remove_prefix(prefix.size());
    address = address.substr(0, address.find('#'));
    const std::string_view path = address.substr(0, address.find('?'));
    const std::string_view query =
        path.size() < address.size() ? address.substr(path.size() + 1) : std::string_view{};
    HeadlinesRequest request;
    if (path == "/mark-all-read")
        request.action = HeadlinesRequest::Action::MarkAllRead;
    else if (!path.empty() && path != "/")
        return std::nullopt;
    for (size_t at = 0; at <= query.size();) {
        const size_t end = std::min(query.find('&', at), query.size());
        if (query.substr(at, end - at) == "sort=paper")
            request.order = HeadlinesOrder::ByPaper;
        at = end + 1;
    }
    return request;
}

} // namespace headlines
