#include "browser/pane/browser_view.h"

#include <algorithm>
#include <utility>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>
#include <wx/utils.h>
#include <wx/weakref.h>
#include <wx/webview.h>

#include "browser/core/web_address.h"
#include "browser/pane/engine_held_panel.h"
#include "browser/pane/find_bar.h"
#include "browser/pane/load_progress_line.h"
#include "browser/pane/pane_caption.h"
#include "browser/pane/web_environment.h"
#include "common/app_paths.h"
#include "common/message_box.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "common/url_opener.h"
#include "common/window_caption.h"
#include "content_filter/blocking_settings.h"
#include "headlines/core/headlines_page.h"
#include "ui/accessibility.h"
#include "ui/key_map.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace lumo {

namespace {

#ifdef __WXGTK__
// The pane waiting for its window's first frame on screen.
struct WaitingForFirstFrame
{
    wxWeakRef<CLumoNewsReaderView> view;
    bool mapped = false;
};

void FreeWaiting(gpointer data, GClosure*)
{
    delete static_cast<WaitingForFirstFrame*>(data);
}

void OnFirstFrame(GdkFrameClock* clock, WaitingForFirstFrame* waiting)
{
    if (waiting->view)
        WhenWebEngineLoaded([view = waiting->view] {
            if (view)
                view->CreateBrowser();
        });
    g_signal_handlers_disconnect_matched(clock, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                         waiting);
}

gboolean OnWindowMapped(GtkWidget* window, GdkEvent*, WaitingForFirstFrame* waiting)
{
    GdkFrameClock* clock = gtk_widget_get_frame_clock(window);
    if (!std::exchange(waiting->mapped, true) && clock && waiting->view)
        g_signal_connect_data(clock, "after-paint", G_CALLBACK(OnFirstFrame),
                              new WaitingForFirstFrame{waiting->view, true}, FreeWaiting,
                              GConnectFlags(0));
    return FALSE;
}
#endif

} // namespace

CLumoNewsReaderView::CLumoNewsReaderView(wxWindow* parent, CLumoNewsReaderDoc& doc,
                                         ProfileStore& profile)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxNO_BORDER), m_doc(doc),
      m_profile(profile), m_progressLine(new LoadProgressLine(this)),
      m_messages(this, *m_progressLine, [this] { return ShownWebWindow(); }), m_zoom(profile),
      m_caption(this)
{
    // No wxTAB_TRAVERSAL: Tab inside the page walks the page's links rather
    // than leaving for the tree.
    SetName("Browser pane");
    if (getenv(kEngineHeldVariable)) {
        m_engineHeld = true;
        unsetenv(kEngineHeldVariable);
    }
    SetSizer(new wxBoxSizer(wxVERTICAL));
    GetSizer()->Add(m_progressLine, wxSizerFlags().Expand());
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) { PaintFocusRing(); });
    // The page's widget tells the toolkit nothing when it loses the focus:
    // while the ring shows, it is checked a few times a second.
    m_focusRingCheck.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { UpdateFocusRing(); });
}

void CLumoNewsReaderView::UpdateFocusRing()
{
    if (PageHasFocus() == m_focusRingShown)
        return;
    m_focusRingShown = !m_focusRingShown;
    if (m_focusRingShown)
        m_focusRingCheck.Start(150);
    else
        m_focusRingCheck.Stop();
    Refresh();
}

int CLumoNewsReaderView::FocusRingWidth() const
{
    return FromDIP(2);
}

void CLumoNewsReaderView::PaintFocusRing()
{
    wxPaintDC dc(this);
    wxWindow* page = ShownWebWindow();
    if (!m_focusRingShown || !page)
        return;
    wxRect ring = page->GetRect();
    ring.Inflate(FocusRingWidth());
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT), FocusRingWidth()));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(ring.Deflate(FocusRingWidth() / 2));
}

CLumoNewsReaderView::~CLumoNewsReaderView()
{
    m_focusRingCheck.Stop();
    m_engine.reset(); // before its window goes with the pane's children
    if (m_doc.m_pHtmlView == this)
        m_doc.m_pHtmlView = nullptr;
}

bool CLumoNewsReaderView::ShowsLoadProgress() const
{
    return m_progressLine->IsShowing();
}

void CLumoNewsReaderView::OnInitialUpdate()
{
    const IndexPage indexPage = m_profile.Get(kIndexPage);
    std::optional<std::string> first =
        FirstPageFor(indexPage, indexPage == IndexPage::Current
                                    ? m_profile.GetProfileString(kSettingsSection, kIndexPageURL)
                                    : std::string());
    // Started again after the web engine failed: back to the page shown.
    if (const char* resume = getenv(kResumeAddressVariable)) {
        first = std::string(resume);
        unsetenv(kResumeAddressVariable);
    }
    if (first)
        NavigateTo(*first);
    m_doc.m_pHtmlView = this;
    if (!m_engine) {
        // The window shows first; the web engine starts right after it.
        CreateBrowserOnceShown();
    }
}

void CLumoNewsReaderView::CreateBrowserOnceShown()
{
    // Should the window never show (started minimised), the engine starts anyway.
    m_engineStart.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { CreateBrowser(); });
    m_engineStart.StartOnce(kEngineStartLatestMs);
#ifdef __WXGTK__
    // Under a window manager the window appears only after a few round trips
    // between the two, which the program must answer at once: starting the
    // engine right after asking for the window made it appear a sixth of a
    // second later. So the engine starts after the window's first frame.
    wxWindow* top = wxGetTopLevelParent(this);
    if (top && top->GetHandle() && !gtk_widget_get_mapped(top->GetHandle())) {
        g_signal_connect_data(top->GetHandle(), "map-event", G_CALLBACK(OnWindowMapped),
                              new WaitingForFirstFrame{this}, FreeWaiting, GConnectFlags(0));
        return;
    }
#endif
    CallAfter([this] { CreateBrowser(); });
}

WebEngine* CLumoNewsReaderView::CreateBrowser()
{
    m_engineStart.Stop();
    if (m_engine || m_engineFailed)
        return m_engine.get();
    if (m_engineHeld) {
        ShowEngineHeld();
        return nullptr;
    }
    WebEngineFactory factory = CurrentWebEngineFactory();
    m_engine.reset(factory ? factory(this, *this) : nullptr);
    if (!m_engine) {
        m_engineFailed = true;
        return nullptr;
    }
    // A ring around the page, drawn while the page has the keyboard focus.
    GetSizer()->Add(m_engine->Window(), wxSizerFlags(1).Expand().Border(wxALL, FocusRingWidth()));
    CreateReaderBar();
    Layout();
    if (m_pendingUrl) {
        auto [url, name] = std::move(*m_pendingUrl);
        m_pendingUrl.reset();
        m_engine->LoadURL(url, name);
    }
    return m_engine.get();
}

void CLumoNewsReaderView::ShowEngineHeld()
{
    if (m_heldPanel)
        return;
    m_heldPanel = new EngineHeldPanel(this, [this] { TryEngineAgain(); });
    GetSizer()->Add(m_heldPanel, wxSizerFlags(1).Expand());
    Layout();
    ShowCaption(kEngineHeldCaption);
    m_messages.SetEngineNotice(kEngineHeldMessage);
    ShowStatus();
}

void CLumoNewsReaderView::TryEngineAgain()
{
    if (!m_engineHeld)
        return;
    m_engineHeld = false;
    if (m_heldPanel) {
        m_heldPanel->Destroy();
        m_heldPanel = nullptr;
    }
    m_messages.SetEngineNotice("");
    CreateBrowser();
}

void CLumoNewsReaderView::NavigateTo(std::string url, std::string name)
{
    if (!m_engine) {
        m_pendingUrl.emplace(std::move(url), std::move(name));
        return;
    }
    m_engine->CloseReader();
    m_messages.SetEngineNotice("");
    // The paper's name stands in the caption until its page has a title.
    m_caption.PaperAsked(url, name);
    m_engine->LoadURL(url, name);
}

void CLumoNewsReaderView::GoBack()
{
    if (!m_engine)
        return;
    // Back from the reader view is the page it was made from.
    if (m_engine->ReaderShown())
        m_engine->CloseReader();
    else
        m_engine->GoBack();
}

void CLumoNewsReaderView::GoForward()
{
    if (!m_engine)
        return;
    m_engine->CloseReader();
    m_engine->GoForward();
}

bool CLumoNewsReaderView::CanGoBack() const
{
    return m_engine && (m_engine->ReaderShown() || m_engine->CanGoBack());
}

bool CLumoNewsReaderView::CanGoForward() const
{
    return m_engine && m_engine->CanGoForward();
}

void CLumoNewsReaderView::Reload()
{
    // Reloading the pane that waits for the engine tries it again.
    if (m_engineHeld) {
        TryEngineAgain();
        return;
    }
    if (!m_engine)
        return;
    m_engine->CloseReader();
    m_engine->Reload();
}

void CLumoNewsReaderView::StopLoading()
{
    if (m_engine)
        m_engine->StopLoading();
    m_caption.PaperAbandoned();
    if (!ReaderShown())
        ShowCaption(m_pageTitle);
}

bool CLumoNewsReaderView::IsLoading() const
{
    // A page waiting for the filters is loading too: Esc ends the wait.
    return m_engine && (m_engine->IsLoading() || m_preparingFilters);
}

void CLumoNewsReaderView::Print()
{
    if (m_engine)
        m_engine->Print();
}

void CLumoNewsReaderView::Edit(EditCommand command)
{
    if (m_engine)
        m_engine->Edit(command);
}

void CLumoNewsReaderView::FocusPage()
{
    if (m_engine)
        m_engine->FocusPage();
    else
        SetFocus();
}

KeyPlace CLumoNewsReaderView::FocusPlace() const
{
    if (PageHasFocus())
        return KeyPlace::Page;
    for (wxWindow* window = FindFocus(); window; window = window->GetParent())
        if (m_findBar && window == m_findBar)
            return KeyPlace::FindBar;
    return KeyPlace::Elsewhere;
}

bool CLumoNewsReaderView::RunKeyCommand(KeyCommand command)
{
    switch (command) {
    case KeyCommand::CloseFindBar:
        if (!FindBarShown())
            return false;
        CloseFindBar();
        return true;
    case KeyCommand::LeaveReader:
        if (!ReaderShown())
            return false;
        ToggleReader();
        return true;
    case KeyCommand::ToggleReader:
        if (!m_engine)
            return false;
        ToggleReader();
        return true;
    case KeyCommand::StopLoading:
        if (!IsLoading())
            return false; // the page's own Escape
        StopLoading();
        return true;
    case KeyCommand::Reload:
        Reload();
        return true;
    case KeyCommand::ZoomIn:
        ZoomBy(1);
        return true;
    case KeyCommand::ZoomOut:
        ZoomBy(-1);
        return true;
    case KeyCommand::ZoomReset:
        ZoomBy(0);
        return true;
    case KeyCommand::OpenFindBar:
        OpenFindBar();
        return true;
    case KeyCommand::FindNext:
    case KeyCommand::FindPrevious:
        if (!FindBarShown() && !PageHasFocus())
            return false;
        FindAgain(command == KeyCommand::FindPrevious);
        return true;
    case KeyCommand::Back:
        GoBack();
        return true;
    case KeyCommand::Forward:
        GoForward();
        return true;
    default:
        return false;
    }
}

// --- Reader view -----------------------------------------------------------------

void CLumoNewsReaderView::CreateReaderBar()
{
    // At the foot of the pane, so that the page does not move when it shows.
    m_readerBar = new wxPanel(this, wxID_ANY);
    m_readerBar->SetName("Reader view bar");
    // Its label clear of the button's edge, in every skin.
    m_readerButton = new wxButton(m_readerBar, wxID_ANY, "Reader view");
    m_readerButton->SetWindowVariant(wxWINDOW_VARIANT_SMALL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->AddStretchSpacer();
    row->Add(m_readerButton, wxSizerFlags().Border(wxALL, FromDIP(2)));
    m_readerBar->SetSizer(row);
    m_readerBar->Hide();
    GetSizer()->Add(m_readerBar, wxSizerFlags().Expand());
    m_readerButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ToggleReader(); });
    UpdateReaderBar();
}

void CLumoNewsReaderView::UpdateReaderBar()
{
    if (!m_readerBar)
        return;
    const bool shown = ReaderShown();
    const wxString label = shown ? "Original page" : "Reader view";
    if (m_readerButton->GetLabel() != label) {
        m_readerButton->SetLabel(label);
        SetAccessibleName(m_readerButton, label);
        m_readerButton->SetToolTip(shown
                                       ? "Back to the page as it was (F9 or Esc)"
                                       : "Show the article alone, without the page around it (F9)");
    }
    if (m_readerBar->IsShown() != (shown || ReaderOffered())) {
        m_readerBar->Show(shown || ReaderOffered());
        Layout();
    } else {
        m_readerBar->Layout();
    }
}

void CLumoNewsReaderView::UseBuiltInFilterLists()
{
    if (m_engine)
        m_engine->UseBuiltInFilterLists();
}

void CLumoNewsReaderView::ToggleReader()
{
    if (!m_engine)
        return;
    if (m_engine->ReaderShown()) {
        m_engine->CloseReader();
        return;
    }
    m_engine->ShowReader(ReaderSkinName(m_profile.Get(kSkinStyle)));
}

void CLumoNewsReaderView::OnReaderOffered(bool)
{
    UpdateReaderBar();
}

void CLumoNewsReaderView::OnReaderShown(bool shown)
{
    // The caption names what is on screen; the page's own title is kept for
    // the page (and for Ctrl+D, which keeps the page).
    ShowCaption(shown ? CleanTitle(m_engine->ReaderTitle()) : m_pageTitle);
    m_messages.SetHoveredLink("");
    ShowStatus();
    ApplyKeptZoom();
    UpdateReaderBar();
    // An open find bar searches what is now on screen.
    if (FindBarShown() && !m_findBar->Field()->IsEmpty())
        m_findBar->Find(false);
}

void CLumoNewsReaderView::OnNoArticle()
{
    ShowNotice(kNoArticleMessage);
}

wxWindow* CLumoNewsReaderView::ShownWebWindow() const
{
    if (m_engine && m_engine->ReaderShown())
        return m_engine->ReaderWindow();
    return WebWindow();
}

// --- Zoom ----------------------------------------------------------------------

void CLumoNewsReaderView::ApplyKeptZoom()
{
    if (m_engine)
        m_zoom.ApplyKept(*m_engine, ReaderShown());
}

void CLumoNewsReaderView::ZoomBy(int steps)
{
    if (!m_engine)
        return;
    m_zoom.Step(*m_engine, ReaderShown(), steps);
    m_messages.ShowBadge(wxString::Format("%d %%", m_zoom.Percent()), true, 1200);
}

void CLumoNewsReaderView::OnZoomWheel(int steps)
{
    ZoomBy(steps);
}

void CLumoNewsReaderView::OnPageCommitted(const std::string& uri)
{
    // Each site keeps the zoom it was last given. A page that comes while
    // the reader view is on screen gets its zoom when it shows.
    m_zoom.SetPageHost(HostOf(uri));
    m_caption.PageCommitted(uri);
    if (!ReaderShown())
        ApplyKeptZoom();
    // A link of the page that went is no longer under the pointer.
    m_messages.SetHoveredLink("");
    ShowStatus();
}

// --- Find in page ----------------------------------------------------------------

bool CLumoNewsReaderView::FindBarShown() const
{
    return m_findBar && m_findBar->IsShown();
}

wxString CLumoNewsReaderView::FindCount() const
{
    return m_findBar ? m_findBar->CountText() : wxString();
}

wxTextCtrl* CLumoNewsReaderView::FindField() const
{
    return m_findBar ? m_findBar->Field() : nullptr;
}

void CLumoNewsReaderView::ShowHeadlines()
{
    NavigateTo(headlines::HeadlinesAddress(headlines::HeadlinesOrder::NewestFirst), "Headlines");
}

void CLumoNewsReaderView::OpenFindBar()
{
    if (!m_engine)
        return;
    if (!m_findBar) {
        m_findBar = new FindBar(this, *this);
        GetSizer()->Add(m_findBar, wxSizerFlags().Expand());
    }
    m_findBar->Open();
}

void CLumoNewsReaderView::FindAgain(bool backwards)
{
    if (!FindBarShown())
        OpenFindBar();
    else
        m_findBar->Find(backwards);
}

void CLumoNewsReaderView::CloseFindBar()
{
    if (m_findBar)
        m_findBar->Close();
}

void CLumoNewsReaderView::SearchPage(const std::string& text, bool backwards)
{
    if (m_engine)
        m_engine->Find(text, backwards);
}

void CLumoNewsReaderView::FindBarClosed()
{
    Layout();
    FocusPage();
}

void CLumoNewsReaderView::OnFindResult(unsigned matches, bool newText)
{
    if (m_findBar)
        m_findBar->OnFindResult(matches, newText);
}

void CLumoNewsReaderView::OnTitleChanged(const std::string& title)
{
    m_pageTitle = CleanTitle(title);
    if (ReaderShown())
        return; // the caption names the reader view until the page is back
    ShowCaption(m_pageTitle);
}

void CLumoNewsReaderView::ShowCaption(const std::string& title)
{
    m_caption.Show(title,
                   m_engine ? m_engine->View()->GetCurrentURL().utf8_string() : std::string());
}

void CLumoNewsReaderView::Open(const std::string& asked)
{
    // Only web, mail and phone addresses leave the program; anything else a
    // page (or a favorite) asks for is refused, and the user is told.
    if (OutsideRouteOf(asked) == OutsideRoute::Refused) {
        // Said in place of "Ready" until the next page, as the engine's notices.
        OnNotice(RefusedOutsideMessage(asked));
        return;
    }
    // A mail address goes with the fields of a mail only, and never with
    // one that attaches a file, however its name is written.
    std::string url = asked;
    if (SchemeOf(asked) == "mailto") {
        std::optional<std::string> mail = MailAddressForDesktop(asked);
        if (!mail) {
            ShowNotice(kRefusedMailMessage);
            return;
        }
        url = *mail;
    }
    if (OpenUrlOutside(url))
        return;
    // Nothing could be started: say so rather than do nothing.
    ShowNotice(CannotOpenMessage(url));
}

void CLumoNewsReaderView::OnNewWindow(const std::string& url)
{
    Open(url);
}

void CLumoNewsReaderView::OnOpenOutside(const std::string& url)
{
    Open(url);
}

void CLumoNewsReaderView::OnLoadProgress(const std::string& host, double progress)
{
    m_messages.SetLoadingHost(host);
    m_progressLine->SetProgress(progress);
    ShowStatus();
}

void CLumoNewsReaderView::OnLoadEnded()
{
    m_progressLine->SetLoading(false);
    ShowStatus();
}

void CLumoNewsReaderView::OnLinkHovered(const std::string& url)
{
    m_messages.SetHoveredLink(url);
    ShowStatus();
}

void CLumoNewsReaderView::OnPageFocused()
{
    UpdateFocusRing();
    // Tell the frame, as the toolkit does for its own windows.
    wxChildFocusEvent event(ShownWebWindow());
    ShownWebWindow()->ProcessWindowEvent(event);
}

wxString CLumoNewsReaderView::PaneNotice() const
{
    return m_messages.PaneNotice();
}

wxConfigBase* CLumoNewsReaderView::Settings()
{
    return &m_profile.Config();
}

void CLumoNewsReaderView::OnFiltersPreparing(bool preparing)
{
    m_preparingFilters = preparing;
    m_messages.SetPreparingFilters(preparing);
    // The line shows the wait; the load's own progress follows it.
    if (preparing)
        m_progressLine->SetProgress(0.0);
    ShowStatus();
}

void CLumoNewsReaderView::OnNotice(const std::string& text)
{
    // Said again in place of "Ready" until the next page asked for: the
    // load that follows it would take the line at once.
    m_messages.SetEngineNotice(text);
    ShowNotice(text);
}

bool CLumoNewsReaderView::WebSandboxSupported()
{
    return lumo::WebSandboxSupported();
}

} // namespace lumo
