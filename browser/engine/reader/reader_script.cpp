#include "browser/engine/reader/reader_script.h"

#include <memory>
#include <string>

#include "res/embedded.h"

#include <webkit2/webkit2.h>

namespace lumo {
namespace {

using Answer = std::function<void(JSCValue*)>;

std::string StringProperty(JSCValue* object, const char* name)
{
    g_autoptr(JSCValue) value = jsc_value_object_get_property(object, name);
    std::string out;
    if (value && jsc_value_is_string(value)) {
        g_autofree char* text = jsc_value_to_string(value);
        out = text ? text : "";
    }
    return out;
}

void OnEvaluated(GObject* source, GAsyncResult* result, gpointer data)
{
    auto* answer = static_cast<Answer*>(data);
    std::unique_ptr<Answer> owned(answer);
    g_autoptr(GError) error = nullptr;
    g_autoptr(JSCValue) value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
    // Cancelled: whoever asked is gone or asks no more.
    if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
        (*answer)(value);
}

void RunReaderScript(WebKitWebView* view, const char* mode, GCancellable* cancel, Answer answer)
{
    std::string script(res::ReaderScript());
    script += "(\"";
    script += mode;
    script += "\")";
    webkit_web_view_evaluate_javascript(view, script.data(), static_cast<gssize>(script.size()),
                                        kReaderScriptWorld, "lumo://start/reader.js", cancel,
                                        OnEvaluated, new Answer(std::move(answer)));
}

} // namespace

void CheckReaderable(WebKitWebView* view, GCancellable* cancel, std::function<void(bool)> done)
{
    RunReaderScript(view, "check", cancel, [done = std::move(done)](JSCValue* value) {
        done(value && jsc_value_is_boolean(value) && jsc_value_to_boolean(value));
    });
}

void ExtractArticle(WebKitWebView* view, GCancellable* cancel,
                    std::function<void(std::optional<ReaderArticle>)> done)
{
    RunReaderScript(view, "extract", cancel, [done = std::move(done)](JSCValue* value) {
        if (!value || !jsc_value_is_object(value)) {
            done(std::nullopt);
            return;
        }
        ReaderArticle article;
        article.title = StringProperty(value, "title");
        article.byline = StringProperty(value, "byline");
        article.published = StringProperty(value, "published");
        article.siteName = StringProperty(value, "siteName");
        article.lang = StringProperty(value, "lang");
        article.dir = StringProperty(value, "dir");
        article.content = StringProperty(value, "content");
        article.pageTitle = StringProperty(value, "pageTitle");
        article.address = StringProperty(value, "address");
        done(std::move(article));
    });
}

} // namespace lumo
