#pragma once
// When the filter lists are fetched again. Plain C++: no wx, no GTK.
#include <cstdint>

namespace lumo::content_filter {

// The lists are fetched at most this often.
inline constexpr std::int64_t kListUpdateIntervalSeconds = 4 * 24 * 60 * 60;

// Whether the lists are due to be fetched again at `now`, last fetched at
// `last` (0: never). A last time in the future (the clock was put back) makes
// them due rather than never.
bool ListUpdateDue(std::int64_t last, std::int64_t now);

} // namespace lumo::content_filter
