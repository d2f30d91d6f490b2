#pragma once
// Runs the reader view's script (Mozilla's Readability, built into the
// program) on the page of a web view, in a script world of its own: it reads
// the page's document, while the page's scripts can neither see nor change it.
#include <functional>
#include <optional>

#include "browser/core/reader_page.h"

typedef struct _WebKitWebView WebKitWebView;
typedef struct _GCancellable GCancellable;

namespace lumo {

// The name of that script world.
inline constexpr const char* kReaderScriptWorld = "lumo-reader";

// Tells whether the page reads as an article (Readability's own quick check).
// `done` is not called when `cancel` is cancelled first.
void CheckReaderable(WebKitWebView* view, GCancellable* cancel, std::function<void(bool)> done);

// The page's article, or nothing when the page is no article.
void ExtractArticle(WebKitWebView* view, GCancellable* cancel,
                    std::function<void(std::optional<ReaderArticle>)> done);

} // namespace lumo
