#pragma once
// The reader view: a second web view beside the page, showing the article
// of the page on screen as the program's own page. It is offered when the
// page holds an article, made with the first offer, put on screen in the
// page's place and taken off again, and it names its caption.
#include <memory>
#include <string>

#include <wx/event.h>

#include <webkit2/webkit2.h>

#include "browser/engine/gobject_ptr.h"

class wxWebView;

namespace lumo {

class NewWindowCatcher;
class WebEngineHost;

class ReaderView : public wxEvtHandler
{
public:
    // What the reader view asks of the engine whose page it stands in for.
    class Owner
    {
    public:
        virtual ~Owner() = default;
        // The reader's web view was made: the user's wheel, menu, keys,
        // pointer and searches in it go where the page's go.
        virtual void ConnectViewSignals(WebKitWebView* view, wxWebView* window) = 0;
        virtual bool PageHasFocus() const = 0;
        virtual void FocusPage() = 0;
        // A link the user followed in the article, for the page.
        virtual void OpenFromReader(const std::string& uri) = 0;
    };

    ReaderView(wxWebView* page, WebEngineHost& host, Owner& owner);
    ~ReaderView() override;
    ReaderView(const ReaderView&) = delete;
    ReaderView& operator=(const ReaderView&) = delete;

    // Makes the article of the page shown and puts it on screen once loaded.
    void Show(const std::string& skin);
    // The page back on screen.
    void Close();
    // A new page in the pane: what was asked of the last one is dropped.
    void ForgetAnswers();
    // The page has loaded: the reader view is offered when it holds an article.
    void OfferIfArticle();

    bool Offered() const { return m_offered; }
    bool Shown() const { return m_shown; }
    wxWebView* Window() const { return m_webView; }
    // The reader's engine view, none before it is made.
    WebKitWebView* Native() const { return m_native; }
    const std::string& Title() const { return m_title; }

private:
    void SetOffered(bool offered);
    void CreateView();
    void SwapViews(bool toReader);
    void OnLoadChanged(WebKitLoadEvent event);
    bool OnDecidePolicy(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type);

    static gboolean DecidePolicyThunk(WebKitWebView*, WebKitPolicyDecision* decision,
                                      WebKitPolicyDecisionType type, gpointer self);
    static void LoadChangedThunk(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static void ProcessTerminatedThunk(WebKitWebView*, WebKitWebProcessTerminationReason,
                                       gpointer self);

    wxWebView* m_page;
    WebKitWebView* m_pageNative;
    WebEngineHost& m_host;
    Owner& m_owner;
    // Its web view (made when first needed), what is asked of the page shown
    // (cancelled when another page comes), and where it stands.
    wxWebView* m_webView = nullptr;
    WebKitWebView* m_native = nullptr;
    std::unique_ptr<NewWindowCatcher> m_newWindows;
    GObjectPtr<GCancellable> m_cancel;
    bool m_offered = false;
    bool m_loading = false;
    bool m_shown = false;
    std::string m_address;
    std::string m_title;
    unsigned m_pages = 0;
    std::string m_skin;
};

} // namespace lumo
