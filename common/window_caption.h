#pragma once
// The main window's caption for a page's title or a paper's name.
#include <string>
#include <string_view>

namespace lumo {

// The text (UTF-8), " - " and the application name. The text keeps no
// control characters, no bidirectional overrides, embeddings or isolates and
// no direction marks, with which a page could turn round or hide what the
// caption and the task bar say; bytes that are no UTF-8 go too.
std::string WindowCaption(std::string_view title);

} // namespace lumo
