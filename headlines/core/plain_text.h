#pragma once
// Text from feeds made plain for the Headlines page: markup dropped,
// character references decoded, white space collapsed, long texts cut at a
// character boundary. Input and output are UTF-8.
#include <cstddef>
#include <string>
#include <string_view>

namespace headlines {

// HTML as text: tags and comments dropped (the content of script and style
// too), character references decoded, white space collapsed and trimmed. A
// tag that ends a block (p, br, li, ...) leaves a space; one inside a line
// (b, a, span, ...) leaves nothing.
std::string HtmlToPlainText(std::string_view html);

// Named (&amp;, &nbsp;, &eacute;, ...) and numeric (&#233;, &#xE9;)
// references decoded; one it does not know is kept as written. No-break
// spaces come out as spaces, control characters and soft hyphens are dropped.
std::string DecodeCharacterReferences(std::string_view text);

// Runs of white space made one space, none at either end.
std::string CollapseWhitespace(std::string_view text);

// Whether an HTML element sits inside a line of text, so that its tags
// separate nothing ("<b>Big</b>ger" reads "Bigger").
bool IsInlineHtmlElement(std::string_view name);

// The length of the UTF-8 sequence `text` starts with: 0 when it does not
// start with one (a stray byte, an overlong form, a surrogate, a cut one).
std::size_t Utf8SequenceLength(std::string_view text);

// `text` with every byte that is not part of a UTF-8 sequence made U+FFFD:
// libxml2 recovering from a broken document can pass such bytes on.
std::string ReplaceInvalidUtf8(std::string_view text);

// `text` when it has at most `limit` characters; else cut there (at a word's
// end when one is near) with an ellipsis after it.
std::string ShortenText(std::string_view text, std::size_t limit);

} // namespace headlines
