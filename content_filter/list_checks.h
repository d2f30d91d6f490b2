#pragma once
// What a list fetched anew must pass before its filters replace those in
// use: a list that would block every page, or hide every page's body, is
// refused, as is one far larger or smaller than the list shipped in its
// place. Plain C++: no wx, no GTK.
#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "content_filter/filter_converter.h"

namespace lumo::content_filter {

// Plain addresses of made-up sites (a page, its image, its style sheet)
// that no rule of a sound list blocks.
const std::vector<std::string>& PlainAddresses();

// Why the rules of a converted list must not be used, or "" when they may:
// a block (of pages or of what they load) that takes a plain address of any
// site, or a hiding rule for html, body, the root or every element.
std::string CheckRules(const Conversion& conversion);

// Whether a CSS selector list hides the whole page: one of its selectors
// names nothing but html, body, :root or "*" ("body", "html > body > *").
bool HidesWholePage(std::string_view selectors);

// The rules of a JSON array as the converter writes it.
std::size_t CountRules(std::string_view json);
// The rules of each list ("ads" for ads-1.json and ads-2.json) in its
// shipped files; a file that cannot be read counts none.
std::map<std::string, std::size_t>
CountShippedRules(const std::vector<std::filesystem::path>& files);

// Why `fresh` rules may not take the place of the `shipped` ones of the list
// `name`, or "": a list is kept within half to twice the size of the one
// shipped.
std::string CheckRuleCount(const std::string& name, std::size_t fresh, std::size_t shipped);

} // namespace lumo::content_filter
