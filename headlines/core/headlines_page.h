#pragma once
// The Headlines page: what the user's papers' feeds said, newest first or
// paper by paper, shown under the program's own scheme (lumo://headlines).
// Every text from a feed is escaped; the page loads nothing from the network.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "headlines/core/headlines_store.h"

namespace headlines {

// What the page shows, read from the store.
struct HeadlinesView
{
    HeadlinesOrder order = HeadlinesOrder::NewestFirst;
    std::vector<Headline> headlines; // in the order to show (as the store gives them)
    std::vector<PaperCount> papers;
    std::vector<FeedFailure> failures;
    std::time_t now = 0;
};

// The whole page. Its changing part is one element, id "headlines-content",
// which the program can replace in place (HeadlinesUpdateScript). A click on
// a headline posts "read:<id>" to the web view's script message handler
// "lumoHeadlines" when the program has one, and shows the headline as read.
std::string HeadlinesPageHtml(const HeadlinesView& view);
// What goes inside the "headlines-content" element.
std::string HeadlinesContentHtml(const HeadlinesView& view);
// A script for the page on screen that puts in the new content and keeps
// the scroll position and the focused headline.
std::string HeadlinesUpdateScript(const HeadlinesView& view);

// "just now", "5 min ago", "3 h ago", "yesterday", "4 days ago", "12 Mar",
// "12 Mar 2023", in local time.
std::string RelativeTime(std::time_t then, std::time_t now);

// The page's addresses on the program's scheme.
std::string HeadlinesAddress(HeadlinesOrder order);
std::string MarkAllReadAddress(HeadlinesOrder order);

struct HeadlinesRequest
{
    enum class Action
    {
        Show,
        MarkAllRead, // then show
    };
    Action action = Action::Show;
    HeadlinesOrder order = HeadlinesOrder::NewestFirst;
};

// What an address of the page asks for; nullopt for one that is not the
// Headlines page's.
std::optional<HeadlinesRequest> ParseHeadlinesAddress(std::string_view address);

} // namespace headlines
