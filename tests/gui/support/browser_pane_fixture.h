#pragma once
// A browser pane in a frame of its own, with its own settings file; the
// addresses it would open outside the program are only recorded.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/statusbr.h>
#include <wx/webview.h>

#include "browser/pane/browser_view.h"
#include "common/document.h"
#include "common/settings.h"
#include "gui_test_support.h"
#include "local_web_server.h"
#include "temp_dir.h"

namespace lumo::test {

// A page of the test's own: its title and its body (no margin).
inline std::string PageHtml(const std::string& title, const std::string& body = "")
{
    return "<!DOCTYPE html><html lang='en'><head><meta charset='utf-8'><title>" + title +
           "</title></head><body style='margin:0'>" + body + "</body></html>";
}

// The window's caption while a page titled `title` shows.
inline std::string CaptionFor(const std::string& title)
{
    return title + " - Lumo News Reader";
}

class BrowserPaneFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault))
            GTEST_SKIP() << "no web engine";
        m_settings = OpenSettingsFile(m_dir.File("settings/LumoNewsReader.conf"));
        m_profile = std::make_unique<ProfileStore>(*m_settings);
        m_frame = new wxFrame(nullptr, wxID_ANY, "test frame", wxPoint(0, 0), wxSize(900, 700));
        m_view = new CLumoNewsReaderView(m_frame, m_doc, *m_profile);
        m_frame->Show();
    }

    void TearDown() override
    {
        // Deleted at once: a frame left for later would outlive this test's settings.
        delete m_frame;
        m_frame = nullptr;
        wxTheApp->ProcessPendingEvents();
    }

    std::string Caption() const { return m_frame->GetTitle().utf8_string(); }
    std::string Url() const { return m_view->WebView()->GetCurrentURL().utf8_string(); }

    // Waits until the caption names the page titled `title`.
    bool WaitForCaption(const std::string& title,
                        std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        return WaitFor([&] { return Caption() == CaptionFor(title); }, limit);
    }

    // Opens `url` and waits until its load has ended and its title shows.
    void Open(const std::string& url, const std::string& title)
    {
        m_view->NavigateTo(url);
        ASSERT_TRUE(WaitFor([&] { return Caption() == CaptionFor(title) && !m_view->IsLoading(); }))
            << Caption();
    }

    std::string RunScript(const std::string& script)
    {
        wxString result;
        m_view->WebView()->RunScript(wxString::FromUTF8(script), &result);
        return result.utf8_string();
    }

    // Waits until the page on screen has drawn two frames since the call:
    // what it shows can then take a click.
    bool WaitForPaint() { return lumo::test::WaitForPaint(m_view->WebView()); }

    TempDir m_dir;
    SettingsFile m_settings;
    std::unique_ptr<ProfileStore> m_profile;
    CLumoNewsReaderDoc m_doc;
    wxFrame* m_frame = nullptr;
    CLumoNewsReaderView* m_view = nullptr;
    RecordedUrlOpens m_urls;
};

// The pane with its engine started, under a frame with a status bar, and a
// local server for its pages.
class ServedPaneFixture : public BrowserPaneFixture
{
protected:
    void SetUp() override
    {
        BrowserPaneFixture::SetUp();
        if (IsSkipped())
            return;
        m_frame->CreateStatusBar();
        ASSERT_NE(m_view->CreateBrowser(), nullptr);
    }

    // Serves `html` at `path`; returns its address.
    std::string Serve(const std::string& path, const std::string& html)
    {
        m_server.Route(path, WebResponse{200, "text/html; charset=utf-8", html, {}, 0});
        return m_server.Url(path);
    }

    std::string Status() const { return m_frame->GetStatusBar()->GetStatusText(0).utf8_string(); }

    LocalWebServer m_server;
};

} // namespace lumo::test
