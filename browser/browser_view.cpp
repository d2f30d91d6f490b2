#include "browser/browser_view.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/popupwin.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include "browser/web_address.h"
#include "browser/web_environment.h"
#include "common/app_paths.h"
#include "common/frame_commands.h"
#include "common/message_box.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "common/url_opener.h"
#include "ui/accessibility.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace lumo {

namespace {
constexpr int kProgressLineHeight = 3;
// The shortest time the progress line shows a load.
constexpr std::chrono::milliseconds kProgressShownAtLeast{600};

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

// A slim line along the top edge of the pane, as long as the load is far;
// empty while nothing loads. It takes no keyboard focus.
class LoadProgressLine : public wxWindow
{
public:
    explicit LoadProgressLine(wxWindow* parent)
        : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(-1, kProgressLineHeight),
                   wxBORDER_NONE)
    {
        SetName("Load progress");
        // Nor does Tab stop on it on its way into the page.
        SetCanFocus(false);
        SetMinSize(wxSize(-1, kProgressLineHeight));
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, &LoadProgressLine::OnPaint, this);
        m_hold.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Refresh(); });
    }

    void SetProgress(double progress)
    {
        if (!m_loading && !m_hold.IsRunning())
            m_shownSince = std::chrono::steady_clock::now();
        m_hold.Stop();
        m_loading = true;
        m_progress = std::clamp(progress, 0.0, 1.0);
        Refresh();
    }
    void SetLoading(bool loading)
    {
        m_loading = loading;
        // A load that ends at once (a paper tried again that fails again at
        // once) still shows: the line stays a moment, run to its end.
        const auto shown = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - m_shownSince);
        if (!loading && shown < kProgressShownAtLeast) {
            m_progress = 1.0;
            m_hold.StartOnce(static_cast<int>((kProgressShownAtLeast - shown).count()));
        }
        Refresh();
    }
    bool IsLoading() const { return m_loading; }
    // Whether the line shows a load: one under way or one just ended.
    bool IsShowing() const { return m_loading || m_hold.IsRunning(); }

    bool AcceptsFocus() const override { return false; }

private:
    void OnPaint(wxPaintEvent&)
    {
        wxPaintDC dc(this);
        wxSize size = GetClientSize();
        if (!IsShowing()) {
            dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
            dc.Clear();
            return;
        }
        // At least a short stub, so that a load just begun shows at once.
        int done = std::max(size.x / 20, static_cast<int>(size.x * m_progress));
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(wxColour(0xf0, 0x8a, 0x24)));
        dc.DrawRectangle(0, 0, done, size.y);
        dc.SetBrush(wxBrush(wxColour(0xd9, 0xe0, 0xec)));
        dc.DrawRectangle(done, 0, size.x - done, size.y);
    }

    double m_progress = 0.0;
    bool m_loading = false;
    std::chrono::steady_clock::time_point m_shownSince;
    wxTimer m_hold;
};

CLumoNewsReaderView::CLumoNewsReaderView(wxWindow* parent, CLumoNewsReaderDoc& doc,
                                         ProfileStore& profile)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxNO_BORDER), m_doc(doc),
      m_profile(profile)
{
    // No wxTAB_TRAVERSAL: Tab inside the page walks the page's links rather
    // than leaving for the tree.
    SetName("Browser pane");
    m_progressLine = new LoadProgressLine(this);
    SetSizer(new wxBoxSizer(wxVERTICAL));
    GetSizer()->Add(m_progressLine, wxSizerFlags().Expand());
}

CLumoNewsReaderView::~CLumoNewsReaderView()
{
    m_engine.reset(); // before its window goes with the pane's children
#ifdef __WXGTK__
    // The field goes with the pane's children, after this object.
    if (m_findField)
        g_signal_handlers_disconnect_by_data(m_findField->GetHandle(), this);
#endif
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
    WebEngineFactory factory = CurrentWebEngineFactory();
    m_engine.reset(factory ? factory(this, *this) : nullptr);
    if (!m_engine) {
        m_engineFailed = true;
        return nullptr;
    }
    GetSizer()->Add(m_engine->Window(), wxSizerFlags(1).Expand());
    CreateReaderBar();
    Layout();
    if (m_pendingUrl) {
        auto [url, name] = std::move(*m_pendingUrl);
        m_pendingUrl.reset();
        m_engine->LoadURL(url, name);
    }
    return m_engine.get();
}

void CLumoNewsReaderView::NavigateTo(std::string url, std::string name)
{
    if (!m_engine) {
        m_pendingUrl.emplace(std::move(url), std::move(name));
        return;
    }
    m_engine->CloseReader();
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

void CLumoNewsReaderView::Reload()
{
    if (!m_engine)
        return;
    m_engine->CloseReader();
    m_engine->Reload();
}

void CLumoNewsReaderView::StopLoading()
{
    if (m_engine)
        m_engine->StopLoading();
}

bool CLumoNewsReaderView::IsLoading() const
{
    return m_engine && m_engine->IsLoading();
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

bool CLumoNewsReaderView::HandleKey(const wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    const int modifiers = event.GetModifiers();
    const auto inFindBar = [this] {
        for (wxWindow* window = FindFocus(); window; window = window->GetParent())
            if (window == m_findBar)
                return true;
        return false;
    };
    if (key == WXK_ESCAPE && modifiers == wxMOD_NONE && FindBarShown() && inFindBar()) {
        CloseFindBar();
        return true;
    }
    if (key == WXK_ESCAPE && modifiers == wxMOD_NONE && ReaderShown()) {
        ToggleReader();
        return true;
    }
    if (key == WXK_F9 && modifiers == wxMOD_NONE && m_engine) {
        ToggleReader();
        return true;
    }
    if (key == WXK_ESCAPE && modifiers == wxMOD_NONE) {
        if (!IsLoading())
            return false; // the page's own Escape
        StopLoading();
        return true;
    }
    if ((key == WXK_F5 && modifiers == wxMOD_NONE) || (key == 'R' && modifiers == wxMOD_CONTROL)) {
        Reload();
        return true;
    }
    // Zoom: Ctrl++ (or Ctrl+=), Ctrl+-, Ctrl+0, with or without Shift.
    if ((modifiers & ~wxMOD_SHIFT) == wxMOD_CONTROL) {
        if (key == '+' || key == '=' || key == WXK_NUMPAD_ADD) {
            ZoomBy(1);
            return true;
        }
        if (key == '-' || key == '_' || key == WXK_NUMPAD_SUBTRACT) {
            ZoomBy(-1);
            return true;
        }
        if (key == '0' || key == WXK_NUMPAD0) {
            ZoomBy(0);
            return true;
        }
    }
    // Find in page: Ctrl+F while the page has the focus, F3 and Shift+F3.
    if (key == 'F' && modifiers == wxMOD_CONTROL && PageHasFocus()) {
        OpenFindBar();
        return true;
    }
    if (key == WXK_F3 && (modifiers == wxMOD_NONE || modifiers == wxMOD_SHIFT) &&
        (FindBarShown() || PageHasFocus())) {
        FindAgain(modifiers == wxMOD_SHIFT);
        return true;
    }
    if (modifiers == wxMOD_ALT && (key == WXK_LEFT || key == WXK_RIGHT)) {
        if (key == WXK_LEFT)
            GoBack();
        else
            GoForward();
        return true;
    }
    return false;
}

// --- Reader view -----------------------------------------------------------------

void CLumoNewsReaderView::CreateReaderBar()
{
    // At the foot of the pane, so that the page does not move when it shows.
    m_readerBar = new wxPanel(this, wxID_ANY);
    m_readerBar->SetName("Reader view bar");
    m_readerButton = new wxButton(m_readerBar, wxID_ANY, "Reader view", wxDefaultPosition,
                                  wxDefaultSize, wxBU_EXACTFIT);
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
    const std::string title = shown ? m_engine->ReaderTitle() : m_pageTitle;
    if (wxWindow* top = wxGetTopLevelParent(this))
        top->SetLabel(wxString::FromUTF8(WindowCaption(title)));
    m_hoveredLink.clear();
    ShowStatus();
    ApplyKeptZoom();
    UpdateReaderBar();
    // An open find bar searches what is now on screen.
    if (FindBarShown() && !m_findField->IsEmpty())
        Find(false);
}

void CLumoNewsReaderView::OnNoArticle()
{
    if (wxStatusBar* bar = ShownStatusBar())
        bar->SetStatusText(kNoArticleMessage, 0);
    else
        wxBell();
}

wxWindow* CLumoNewsReaderView::ShownWebWindow() const
{
    if (m_engine && m_engine->ReaderShown())
        return m_engine->ReaderWindow();
    return WebWindow();
}

// --- Zoom ----------------------------------------------------------------------

std::string CLumoNewsReaderView::ZoomKey() const
{
    return ReaderShown() ? std::string(kReaderZoomKey) : m_pageHost;
}

void CLumoNewsReaderView::ApplyKeptZoom()
{
    const std::string key = ZoomKey();
    const int kept = key.empty() ? 100 : m_profile.GetProfileInt(kZoomSection, key, 100);
    m_zoomPercent = std::clamp(kept, kZoomSteps[0], kZoomSteps[std::size(kZoomSteps) - 1]);
    if (m_engine)
        m_engine->SetZoom(m_zoomPercent / 100.0);
}

void CLumoNewsReaderView::ZoomBy(int steps)
{
    if (!m_engine)
        return;
    int percent = 100;
    if (steps > 0) {
        const int* next =
            std::upper_bound(std::begin(kZoomSteps), std::end(kZoomSteps), m_zoomPercent);
        percent = next != std::end(kZoomSteps) ? *next : kZoomSteps[std::size(kZoomSteps) - 1];
    } else if (steps < 0) {
        const int* next =
            std::lower_bound(std::begin(kZoomSteps), std::end(kZoomSteps), m_zoomPercent);
        percent = next != std::begin(kZoomSteps) ? *(next - 1) : kZoomSteps[0];
    }
    m_zoomPercent = percent;
    m_engine->SetZoom(percent / 100.0);
    if (const std::string key = ZoomKey(); !key.empty())
        m_profile.WriteProfileInt(kZoomSection, key, percent);
    ShowZoomBadge();
}

void CLumoNewsReaderView::OnZoomWheel(int steps)
{
    ZoomBy(steps);
}

void CLumoNewsReaderView::OnPageCommitted(const std::string& uri)
{
    // Each site keeps the zoom it was last given. A page that comes while
    // the reader view is on screen gets its zoom when it shows.
    m_pageHost = HostOf(uri);
    if (!ReaderShown())
        ApplyKeptZoom();
    // A link of the page that went is no longer under the pointer.
    m_hoveredLink.clear();
    ShowStatus();
}

void CLumoNewsReaderView::ShowZoomBadge()
{
    ShowBadge(wxString::Format("%d %%", m_zoomPercent), true, 1200);
}

void CLumoNewsReaderView::ShowBadge(const wxString& text, bool zoom, int shownMs)
{
    wxWindow* page = ShownWebWindow();
    if (!page || !page->IsShownOnScreen())
        return;
    if (!m_zoomBadge) {
        // Drawn here rather than by a label, which the skins would restyle.
        m_zoomBadge = new wxPopupWindow(this);
        m_zoomBadge->SetBackgroundStyle(wxBG_STYLE_PAINT);
        m_zoomBadge->Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
            wxPaintDC dc(m_zoomBadge);
            dc.SetBackground(wxBrush(wxColour(0x33, 0x33, 0x33)));
            dc.Clear();
            dc.SetFont(m_badgeFont);
            dc.SetTextForeground(*wxWHITE);
            const wxSize extent = dc.GetTextExtent(m_badgeText);
            const wxSize size = m_zoomBadge->GetClientSize();
            dc.DrawText(m_badgeText, (size.x - extent.x) / 2, (size.y - extent.y) / 2);
        });
        m_zoomBadgeFont = GetFont().Scale(1.6).Bold();
        m_zoomBadgeTimer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { m_zoomBadge->Hide(); });
    }
    // The zoom in large type, the same size for every level; a note in the
    // pane's own type, as wide as it needs (at most the page's width).
    m_badgeText = text;
    m_badgeFont = zoom ? m_zoomBadgeFont : GetFont().Bold();
    wxClientDC measure(this);
    measure.SetFont(m_badgeFont);
    const wxSize extent = measure.GetTextExtent(zoom ? wxString("300 %") : text);
    const wxRect area = page->GetScreenRect();
    m_zoomBadge->SetSize(std::min(extent.x + FromDIP(24), area.width), extent.y + FromDIP(12));
    m_zoomBadge->Move(area.x + (area.width - m_zoomBadge->GetSize().x) / 2,
                      area.y + (area.height - m_zoomBadge->GetSize().y) / 2);
    m_zoomBadge->Show();
    m_zoomBadge->Refresh();
    m_zoomBadgeTimer.StartOnce(shownMs);
}

// --- Find in page ----------------------------------------------------------------

void CLumoNewsReaderView::CreateFindBar()
{
    m_findBar = new wxPanel(this, wxID_ANY);
    m_findBar->SetName("Find in page");
    m_findField = new wxTextCtrl(m_findBar, wxID_ANY, wxString(), wxDefaultPosition,
                                 wxSize(FromDIP(240), -1), wxTE_PROCESS_ENTER);
    m_findField->SetHint("Find in page");
    SetAccessibleName(m_findField, "Find in page");
    auto* previous = new wxButton(m_findBar, wxID_ANY, "Previous");
    auto* next = new wxButton(m_findBar, wxID_ANY, "Next");
    m_findCount = new wxStaticText(m_findBar, wxID_ANY, wxString());
    auto* close = new wxButton(m_findBar, wxID_ANY, "Close");
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    const int gap = FromDIP(4);
    row->Add(m_findField, wxSizerFlags().CenterVertical().Border(wxALL, gap));
    row->Add(previous, wxSizerFlags().CenterVertical().Border(wxTOP | wxBOTTOM, gap));
    row->Add(next, wxSizerFlags().CenterVertical().Border(wxALL, gap));
    row->Add(m_findCount, wxSizerFlags(1).CenterVertical().Border(wxLEFT, gap));
    row->Add(close, wxSizerFlags().CenterVertical().Border(wxALL, gap));
    m_findBar->SetSizer(row);
    GetSizer()->Add(m_findBar, wxSizerFlags().Expand());
    m_findField->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { Find(false); });
    // The text offered again stays selected until the user does something
    // in the field: it drops its selection whenever another window takes
    // the desktop's selection, as the page does when its own selection
    // changes (a match found, the focus gone).
#ifdef __WXGTK__
    g_signal_connect(m_findField->GetHandle(), "notify::selection-bound",
                     G_CALLBACK(+[](GObject*, GParamSpec*, CLumoNewsReaderView* view) {
                         view->KeepFindTextSelected();
                     }),
                     this);
#endif
    const auto userActs = [this](wxEvent& event) {
        m_findTextOffered = false;
        event.Skip();
    };
    m_findField->Bind(wxEVT_KEY_DOWN, userActs);
    m_findField->Bind(wxEVT_LEFT_DOWN, userActs);
    m_findField->Bind(wxEVT_TEXT_ENTER,
                      [this](wxCommandEvent&) { FindAgain(wxGetKeyState(WXK_SHIFT)); });
    previous->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { FindAgain(true); });
    next->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { FindAgain(false); });
    close->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { CloseFindBar(); });
}

bool CLumoNewsReaderView::FindBarShown() const
{
    return m_findBar && m_findBar->IsShown();
}

wxString CLumoNewsReaderView::FindCount() const
{
    return m_findCount ? m_findCount->GetLabel() : wxString();
}

void CLumoNewsReaderView::OpenFindBar()
{
    if (!m_engine)
        return;
    if (!m_findBar)
        CreateFindBar();
    m_findBar->Show();
    Layout();
    m_findField->SetFocus();
    // The text of the last search, selected so that typing replaces it.
    m_findField->SelectAll();
    m_findTextOffered = true;
    if (!m_findField->IsEmpty())
        Find(false);
}

void CLumoNewsReaderView::KeepFindTextSelected()
{
#ifdef __WXGTK__
    // Gone elsewhere, the field leaves the desktop's selection to others.
    if (!gtk_widget_is_focus(m_findField->GetHandle()))
        m_findTextOffered = false;
#endif
    long from = 0, to = 0;
    m_findField->GetSelection(&from, &to);
    if (!m_findTextOffered || from != to || m_findField->IsEmpty())
        return;
    CallAfter([this] {
        if (m_findTextOffered)
            m_findField->SelectAll();
    });
}

void CLumoNewsReaderView::FindAgain(bool backwards)
{
    if (!FindBarShown())
        OpenFindBar();
    else
        Find(backwards);
}

void CLumoNewsReaderView::Find(bool backwards)
{
    if (!m_engine || !m_findField)
        return;
    const std::string text = m_findField->GetValue().utf8_string();
    if (text.empty()) {
        m_engine->Find(std::string(), false);
        m_findMatches = m_findCurrent = 0;
        m_findCount->SetLabel(wxString());
        return;
    }
    m_findBackwards = backwards;
    m_engine->Find(text, backwards);
}

void CLumoNewsReaderView::OnFindResult(unsigned matches, bool newText)
{
    if (!m_findCount)
        return;
    // A new text starts at its first match (its last, searching backwards);
    // next and previous walk round the matches counted then.
    if (newText) {
        m_findMatches = matches;
        m_findCurrent = matches == 0 ? 0 : (m_findBackwards ? matches : 1);
    } else if (matches == 0 || m_findMatches == 0) {
        m_findCurrent = 0;
    } else if (m_findBackwards) {
        m_findCurrent = m_findCurrent > 1 ? m_findCurrent - 1 : m_findMatches;
    } else {
        m_findCurrent = m_findCurrent < m_findMatches ? m_findCurrent + 1 : 1;
    }
    m_findCount->SetLabel(m_findCurrent == 0
                              ? wxString("Not found")
                              : wxString::Format("%u of %u", m_findCurrent, m_findMatches));
    m_findBar->Layout();
}

void CLumoNewsReaderView::CloseFindBar()
{
    if (!FindBarShown())
        return;
    if (m_engine)
        m_engine->Find(std::string(), false);
    m_findMatches = m_findCurrent = 0;
    m_findTextOffered = false;
    m_findBar->Hide();
    Layout();
    FocusPage();
}

void CLumoNewsReaderView::OnTitleChanged(const std::string& title)
{
    m_pageTitle = title;
    if (ReaderShown())
        return; // the caption names the reader view until the page is back
    if (wxWindow* top = wxGetTopLevelParent(this))
        top->SetLabel(wxString::FromUTF8(WindowCaption(title)));
}

void CLumoNewsReaderView::Open(const std::string& url)
{
    // Only web, mail and phone addresses leave the program; anything else a
    // page (or a favorite) asks for is refused, and the user is told.
    if (OutsideRouteOf(url) == OutsideRoute::Refused) {
        ShowNotice(RefusedOutsideMessage(url));
        return;
    }
    if (OpenUrlOutside(url))
        return;
    // Nothing could be started: say so rather than do nothing.
    const std::string text = CannotOpenMessage(url);
    if (wxStatusBar* bar = ShownStatusBar())
        bar->SetStatusText(wxString::FromUTF8(text), 0);
    else
        AppMessageBox(text);
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
    m_loadingHost = host;
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
    m_hoveredLink = url;
    ShowStatus();
}

void CLumoNewsReaderView::OnPageFocused()
{
    // Tell the frame, as the toolkit does for its own windows.
    wxChildFocusEvent event(ShownWebWindow());
    ShownWebWindow()->ProcessWindowEvent(event);
}

void CLumoNewsReaderView::ShowNotice(const std::string& text)
{
    if (wxStatusBar* bar = ShownStatusBar()) {
        bar->SetStatusText(wxString::FromUTF8(text), 0);
        return;
    }
    // No status bar: a note in the pane, for a few seconds.
    ShowBadge(wxString::FromUTF8(text), false, 3000);
}

wxString CLumoNewsReaderView::PaneNotice() const
{
    return m_zoomBadge && m_zoomBadge->IsShown() ? m_badgeText : wxString();
}

wxStatusBar* CLumoNewsReaderView::ShownStatusBar() const
{
    auto* frame =
        dynamic_cast<wxFrame*>(wxGetTopLevelParent(const_cast<CLumoNewsReaderView*>(this)));
    wxStatusBar* bar = frame ? frame->GetStatusBar() : nullptr;
    return bar && bar->IsShown() ? bar : nullptr;
}

void CLumoNewsReaderView::ShowStatus()
{
    wxStatusBar* bar = ShownStatusBar();
    if (!bar)
        return;
    const bool loading = m_progressLine->IsLoading();
    std::string text;
    if (!m_hoveredLink.empty())
        text = m_hoveredLink;
    else if (loading && !m_loadingHost.empty())
        text = "Loading " + m_loadingHost + "\u2026";
    else if (loading)
        text = "Loading\u2026";
    else
        text = kIdleMessage;
    bar->SetStatusText(wxString::FromUTF8(text), 0);
}

bool CLumoNewsReaderView::WebSandboxSupported()
{
    return lumo::WebSandboxSupported();
}

} // namespace lumo
