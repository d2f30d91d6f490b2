#pragma once
// A browser pane in a frame of its own, with its own settings file; the
// addresses it would open outside the program are only recorded.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/webview.h>

#include "browser/pane/browser_view.h"
#include "common/document.h"
#include "common/settings.h"
#include "gui_test_support.h"
#include "temp_dir.h"

namespace lumo::test {

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

} // namespace lumo::test
