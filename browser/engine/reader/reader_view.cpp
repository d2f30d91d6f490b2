// The reader view: the article of the page on screen, in a web view of its own.
#include "browser/engine/reader/reader_view.h"

#include <optional>
#include <utility>

#include <wx/sizer.h>
#include <wx/webview.h>

#include "browser/core/reader_page.h"
#include "browser/core/web_address.h"
#include "browser/engine/navigation_policy.h"
#include "browser/engine/new_window_catcher.h"
#include "browser/engine/reader/reader_script.h"
#include "browser/engine/view_address.h"
#include "browser/engine/web_view_hardening.h"
#include "browser/web_engine.h"

namespace lumo {
namespace {

// Shows a web view, or hides it. A hidden one is also taken out of its
// window: the engine keeps telling screen readers that its page shows, so
// only the page on screen may be found in the window.
void PutOnScreen(wxWebView* view, bool onScreen)
{
    static constexpr const char* kHolder = "lumo-holder";
    auto* native = static_cast<GtkWidget*>(view->GetNativeBackend());
    GtkWidget* parent = gtk_widget_get_parent(native);
    if (!onScreen && GTK_IS_CONTAINER(parent)) {
        g_object_ref(native);
        g_object_set_data(G_OBJECT(native), kHolder, parent);
        gtk_container_remove(GTK_CONTAINER(parent), native);
    } else if (onScreen && !parent) {
        if (auto* holder = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(native), kHolder))) {
            gtk_container_add(GTK_CONTAINER(holder), native);
            g_object_unref(native);
        }
    }
    view->Show(onScreen);
}

} // namespace

ReaderView::ReaderView(wxWebView* page, WebEngineHost& host, Owner& owner)
    : m_page(page), m_pageNative(static_cast<WebKitWebView*>(page->GetNativeBackend())),
      m_host(host), m_owner(owner), m_cancel(g_cancellable_new())
{
}

ReaderView::~ReaderView()
{
    g_cancellable_cancel(m_cancel.get());
    // Back in their windows, which they go with.
    PutOnScreen(m_page, true);
    if (m_native) {
        PutOnScreen(m_webView, true);
        m_newWindows.reset();
        g_signal_handlers_disconnect_by_data(m_native, this);
    }
}

void ReaderView::Show(const std::string& skin)
{
    if (m_shown || m_loading)
        return;
    m_skin = skin;
    m_loading = true;
    ExtractArticle(m_pageNative, m_cancel.get(), [this](std::optional<ReaderArticle> article) {
        if (!m_loading)
            return; // closed again meanwhile
        if (!article) {
            m_loading = false;
            SetOffered(false);
            m_host.OnNoArticle();
            return;
        }
        CreateView();
        // Each article under an address of its own, so that what ends
        // loading is known to be this one.
        m_address = std::string(kReaderPageAddress) + "?" + std::to_string(++m_pages);
        const std::string html = ReaderPageHtml(*article, m_skin);
        // The caption's title as the page is made: the engine may tell
        // the page's own title only after its load has ended.
        m_title = ReaderPageTitle(*article);
        webkit_web_view_load_html(m_native, html.c_str(), m_address.c_str());
    });
}

void ReaderView::Close()
{
    m_loading = false;
    if (!m_shown)
        return;
    SwapViews(false);
}

void ReaderView::SetOffered(bool offered)
{
    if (offered == m_offered)
        return;
    m_offered = offered;
    // The reader view's web view and its page process are made with the
    // first offer rather than at the key: they take longer than the rest.
    if (offered)
        CreateView();
    m_host.OnReaderOffered(offered);
}

void ReaderView::ForgetAnswers()
{
    g_cancellable_cancel(m_cancel.get());
    m_cancel.reset(g_cancellable_new());
    m_loading = false;
    SetOffered(false);
}

void ReaderView::OfferIfArticle()
{
    if (!IsWebOrFilePage(UriOf(m_pageNative)))
        return;
    CheckReaderable(m_pageNative, m_cancel.get(), [this](bool article) { SetOffered(article); });
}

// The second web view, made when an article is first offered: hardened like
// the first, and more, since it shows only the program's own page: no
// script in its markup runs, and links leave it for the pane's page.
void ReaderView::CreateView()
{
    if (m_native)
        return;
    wxWindow* parent = m_page->GetParent();
    m_webView = wxWebView::New();
    if (!m_webView->Create(parent, wxID_ANY, "about:blank", wxDefaultPosition, m_page->GetSize())) {
        delete m_webView;
        m_webView = nullptr;
        return;
    }
    PutOnScreen(m_webView, false);
    m_webView->SetName("Reader view");
    m_webView->EnableAccessToDevTools(false);
    m_native = static_cast<WebKitWebView*>(m_webView->GetNativeBackend());
    HardenWebView(m_native);
    WebKitSettings* settings = webkit_web_view_get_settings(m_native);
    webkit_settings_set_enable_javascript_markup(settings, FALSE);
    // Zoom sizes the text; the column and the images keep their measure.
    webkit_settings_set_zoom_text_only(settings, TRUE);
    // In the pane's sizer right after the page it stands in for.
    if (wxSizer* sizer = m_page->GetContainingSizer()) {
        size_t index = 0;
        while (index < sizer->GetItemCount() && sizer->GetItem(index)->GetWindow() != m_page)
            ++index;
        sizer->Insert(index + 1, m_webView, wxSizerFlags(1).Expand());
    }
    DisconnectAllHandlers(m_native, "decide-policy");
    m_newWindows = std::make_unique<NewWindowCatcher>(
        m_native, [this](const std::string& url) { m_host.OnNewWindow(url); });
    g_signal_connect(m_native, "decide-policy", G_CALLBACK(DecidePolicyThunk), this);
    g_signal_connect(m_native, "load-changed", G_CALLBACK(LoadChangedThunk), this);
    g_signal_connect(m_native, "web-process-terminated", G_CALLBACK(ProcessTerminatedThunk), this);
    m_owner.ConnectViewSignals(m_native, m_webView);
}

// Puts the reader view on screen in place of the page, or the page back.
void ReaderView::SwapViews(bool toReader)
{
    const bool hadFocus = m_owner.PageHasFocus();
    for (WebKitWebView* view : {m_pageNative, m_native})
        webkit_find_controller_search_finish(webkit_web_view_get_find_controller(view));
    m_shown = toReader;
    PutOnScreen(m_page, !toReader);
    PutOnScreen(m_webView, toReader);
    m_page->GetParent()->Layout();
    if (hadFocus)
        m_owner.FocusPage();
    m_host.OnReaderShown(toReader);
}

void ReaderView::OnLoadChanged(WebKitLoadEvent event)
{
    if (event != WEBKIT_LOAD_FINISHED || !m_loading || UriOf(m_native) != m_address)
        return;
    m_loading = false;
    SwapViews(true);
}

bool ReaderView::OnDecidePolicy(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type)
{
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
        return false;
    Navigation navigation = NavigationOf(decision);
    const std::string uri = std::move(navigation.uri);
    const bool byUser = navigation.byUser;
    // The program's own loads: the empty page it starts with, the articles.
    if (uri == "about:blank" || uri == m_address)
        return false;
    webkit_policy_decision_ignore(decision);
    // A link the user followed opens in the pane's page; the page's own
    // address brings it back as it was.
    if (byUser && IsWebOrFilePage(uri)) {
        CallAfter([this, uri] {
            Close();
            m_owner.OpenFromReader(uri);
        });
    }
    return true;
}

gboolean ReaderView::DecidePolicyThunk(WebKitWebView*, WebKitPolicyDecision* decision,
                                       WebKitPolicyDecisionType type, gpointer self)
{
    return static_cast<ReaderView*>(self)->OnDecidePolicy(decision, type);
}

void ReaderView::LoadChangedThunk(WebKitWebView*, WebKitLoadEvent event, gpointer self)
{
    static_cast<ReaderView*>(self)->OnLoadChanged(event);
}

void ReaderView::ProcessTerminatedThunk(WebKitWebView*, WebKitWebProcessTerminationReason,
                                        gpointer self)
{
    // Nothing of the reader view is lost that the page cannot give again.
    auto* reader = static_cast<ReaderView*>(self);
    reader->CallAfter([reader] { reader->Close(); });
}

} // namespace lumo
