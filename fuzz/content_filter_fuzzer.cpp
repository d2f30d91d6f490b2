// Feeds arbitrary bytes to the ad and tracker filter converter as the lines
// of a filter list. Besides the sanitizers it stops when an address pattern
// gives a url-filter outside WebKit's regular expression subset (the
// converter must build a readable one by construction, never fall back on
// its own last check), when any url-filter or if-top-url written is outside
// that subset, when a domain is not "*" and lower-case ASCII, when a hiding
// rule has no selector, or when a part is not UTF-8, is over the rule limit
// or lacks the exceptions.
#include "content_filter/filter_converter.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition, const char* what, const std::string& detail = {})
{
    if (!condition) {
        std::fprintf(stderr, "content_filter_fuzzer: %s: %s\n", what, detail.c_str());
        std::abort();
    }
}

bool IsWebKitDomain(const std::string& domain)
{
    if (domain.size() < 2 || domain[0] != '*')
        return false;
    for (std::size_t i = 1; i < domain.size(); ++i) {
        char c = domain[i];
        bool ok =
            (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace lumo::content_filter;
    Converter converter;
    converter.AddList(std::string_view(reinterpret_cast<const char*>(data), size));
    Conversion conversion = converter.Finish();

    Check(!conversion.summary.skipped.contains("address pattern WebKit cannot read"),
          "an address pattern gave a url-filter outside WebKit's subset");
    std::size_t skipped = 0;
    for (const auto& [reason, count] : conversion.summary.skipped)
        skipped += count;
    Check(skipped == conversion.summary.filtersSkipped, "skipped counts disagree");
    Check(conversion.summary.filtersSkipped <= conversion.summary.filtersRead,
          "more filters skipped than read");

    for (const auto* rules : {&conversion.blocking, &conversion.exceptions, &conversion.important})
        for (const Rule& rule : *rules) {
            Check(IsWebKitUrlFilter(rule.urlFilter), "url-filter outside WebKit's subset",
                  rule.urlFilter);
            for (const auto& top : rule.ifTopUrl)
                Check(IsWebKitUrlFilter(top), "if-top-url outside WebKit's subset", top);
            for (const auto& d : rule.ifDomain)
                Check(IsWebKitDomain(d), "if-domain not in WebKit's form", d);
            for (const auto& d : rule.unlessDomain)
                Check(IsWebKitDomain(d), "unless-domain not in WebKit's form", d);
            Check(rule.ifDomain.empty() || rule.unlessDomain.empty(),
                  "if-domain with unless-domain");
            if (rule.action == Rule::Action::CssDisplayNone)
                Check(!rule.selector.empty(), "hiding rule without selector");
        }

    const std::size_t maxRules = 8;
    std::vector<std::string> parts = SplitIntoParts(conversion, maxRules);
    std::size_t fixed = conversion.exceptions.size() + conversion.important.size();
    Check(parts.empty() == (fixed >= maxRules), "parts given or refused wrongly");
    for (const std::string& part : parts) {
        std::size_t rules = 0;
        for (std::size_t at = part.find("{\"trigger\""); at != std::string::npos;
             at = part.find("{\"trigger\"", at + 1))
            ++rules;
        Check(rules <= maxRules, "a part over the rule limit");
        Check(rules >= fixed, "a part without all the exceptions");
        Check(IsValidUtf8(part), "a part not in UTF-8");
    }
    return 0;
}
