#pragma once
// Filters compiled from lists fetched anew are tried before they serve: a
// hidden web view that holds them alone loads a plain page at a few plain
// addresses, served by this process on the loopback for the while, and
// tells whether the page, its image and its style sheet came through and
// its text shows. The same view first loads the page without filters: where
// even that fails (a proxy that takes the loopback, say), the filters
// cannot be tried and the checks of their rules alone decide.
#include <functional>
#include <string>

#include "browser/engine/blocking/filter_library.h"

namespace lumo {

// Calls `done` on the main loop with why `filters` must not serve, or an
// empty text when they may. The filters must live until then.
void ProbeFilters(const FilterSet& filters, std::function<void(std::string why)> done);

} // namespace lumo
