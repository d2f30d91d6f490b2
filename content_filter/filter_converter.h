#pragma once
// Ad and tracker filter lists in the Adblock syntax (EasyList, EasyPrivacy)
// turned into WebKit's content-blocker rules (a JSON array of
// {"trigger": {...}, "action": {...}}), which WebKitGTK compiles into a
// WebKitUserContentFilter. Plain C++: no wx, no GTK.
//
// What WebKit cannot express exactly is left out and counted by reason,
// never written as a rule that means something else. The forms written:
//
//   network filters   url-filter from the pattern: "||" is
//                     ^[a-z-]+://([^/]*\.)?  (the host or one under it), a
//                     leading "|" is ^, a trailing "|" is $, "*" is .*, and
//                     "^" (a separator: anything but a letter, digit or
//                     _ . % -) is [^a-zA-Z0-9_.%-]. A separator may also be
//                     the end of the address: a trailing "^" becomes
//                     ([^a-zA-Z0-9_.%-].*)?$, except straight after a "||"
//                     host, where an address always goes on with "/" or ":"
//                     and [^a-zA-Z0-9_.%-] alone is exact. Other characters
//                     are literal (escaped where WebKit would read them as
//                     syntax). /regex/ filters are kept only when they are
//                     in WebKit's subset (IsWebKitUrlFilter).
//   options           third-party / first-party as load-type; domain= as
//                     if-domain or unless-domain ("*" in front: the domain
//                     and those under it); match-case; types as
//                     resource-type (a subdocument is a "document" in a
//                     "child-frame" load-context, in a rule of its own when
//                     other types go with it). A filter without types is
//                     written without resource-type when it names a whole
//                     host ("||ads.example^"): the host is blocked as a page
//                     too. Any other filter without types gets every
//                     subresource type, so an address that merely looks
//                     like an ad is never refused as a page of its own.
//   exceptions (@@)   ignore-previous-rules, written after every blocking
//                     and hiding rule so that an exception overrides any
//                     block; $document as the same with if-top-url (nothing
//                     is blocked or hidden on such a page). $elemhide and
//                     $generichide are left out: WebKit adds a hiding rule's
//                     selectors to a page for any of its loads, so only
//                     lifting every rule on the page (as $document does)
//                     would stop the hiding. $important blocks come after
//                     the exceptions, which do not lift them. A $badfilter
//                     cancels the filter it names.
//   element hiding    css-display-none with url-filter ".*": generic
//                     selectors grouped GroupSize to a rule; selectors for
//                     domains grouped by the same domains; a domain's
//                     "#@#" exception removes the domain from a selector's
//                     domains or, for a generic selector, makes it a rule of
//                     its own with unless-domain.
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lumo::content_filter {

struct Rule
{
    enum class Action
    {
        Block,
        CssDisplayNone,
        IgnorePreviousRules
    };
    std::string urlFilter = ".*";
    bool caseSensitive = false;
    std::vector<std::string> ifDomain;     // "*example.com"
    std::vector<std::string> unlessDomain; // "*example.com"
    std::vector<std::string> ifTopUrl;     // regular expressions
    std::vector<std::string> resourceTypes;
    std::string loadType;                 // "", "first-party" or "third-party"
    std::vector<std::string> loadContext; // "top-frame", "child-frame"
    Action action = Action::Block;
    std::string selector; // for CssDisplayNone
};

// The rule as one JSON object, keys in a fixed order.
std::string RuleToJson(const Rule& rule);

// Whether `pattern` is a url-filter in the part of the regular expression
// syntax that WebKit's content blockers accept: printable ASCII; literals
// and escaped punctuation; "."; classes [...] and [^...] with ranges;
// groups (...) that do not begin with "?"; the quantifiers * + ? after an
// atom; "^" only first and "$" only last. No "|", no {n,m}, no \d \w \b or
// other escaped letters or digits. Stricter than WebKit where WebKit's own
// reading is loose (a lone "{" or "]" is refused).
bool IsWebKitUrlFilter(std::string_view pattern);

struct Summary
{
    std::size_t linesRead = 0;   // every line of the lists
    std::size_t filtersRead = 0; // lines that are filters (not comments or blank)
    std::size_t filtersSkipped = 0;
    std::map<std::string, std::size_t> skipped; // reason -> filters left out
};

struct Conversion
{
    std::vector<Rule> blocking;   // blocks and element hiding
    std::vector<Rule> exceptions; // ignore-previous-rules
    std::vector<Rule> important;  // blocks the exceptions do not lift
    Summary summary;
    std::size_t RuleCount() const { return blocking.size() + exceptions.size() + important.size(); }
};

class Converter
{
public:
    static constexpr std::size_t GroupSize = 100;

    // Adds every line of a list (LF or CRLF line ends).
    void AddList(std::string_view text);
    void AddLine(std::string_view line);
    // The rules of everything added, in WebKit's order.
    Conversion Finish();

private:
    void AddNetworkLine(std::string_view filter);
    void AddNetworkFilter(std::string_view filter);
    void AddHidingFilter(std::string_view domains, std::string_view selector, bool exception);
    void Skip(const std::string& reason);

    Conversion m_result;
    int m_conditionalDepth = 0;
    // Element hiding, gathered until Finish: selector -> its domains
    // ("" for a generic selector) and the domains excepted from it.
    struct Hiding
    {
        std::vector<std::string> domains; // "example.com##selector"
        bool everywhere = false;          // "##selector"
        // "~a.example,~b.example##selector", one set a filter
        std::vector<std::vector<std::string>> unlessSets;
        std::vector<std::string> exceptedDomains; // "example.com#@#selector"
        bool exceptedEverywhere = false;          // "#@#selector"
    };
    std::map<std::string, Hiding> m_hiding;
    std::vector<std::string> m_hidingOrder;
    // Network filters, converted at Finish once every "$badfilter" (which
    // cancels the filter it names) is known.
    std::vector<std::string> m_networkFilters;
    std::set<std::string, std::less<>> m_badFilters;
};

// Whether `text` is well-formed UTF-8 (WebKit refuses a whole filter whose
// JSON is not).
bool IsValidUtf8(std::string_view text);

// The rules in parts of at most maxRules each, every part a JSON array: the
// blocking rules are cut into consecutive parts, and every part carries all
// the exceptions and $important blocks after its share, since an exception
// lifts only the blocks of its own compiled filter. Empty when the
// exceptions alone do not fit (maxRules too small).
std::vector<std::string> SplitIntoParts(const Conversion& conversion, std::size_t maxRules);

// WebKit refuses a filter of more rules than this.
constexpr std::size_t WebKitMaxRules = 150000;

// The exception that lifts every rule before it for the loads of `scheme`:
// the program's own pages and what they are made of are never blocked or
// hidden. (What such a page loads from the web, as the reader view's
// article does its pictures, still keeps to the rules.)
Rule ExemptPagesOf(std::string_view scheme);
// A JSON array of rules (a part, or a shipped file) with `rules` after its
// own, last.
std::string AppendRules(std::string_view json, const std::vector<Rule>& rules);

} // namespace lumo::content_filter
