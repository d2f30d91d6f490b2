#pragma once
// The program's main window with its own settings file and program
// directory; the addresses it would open outside are only recorded.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <memory>

#include <wx/app.h>

#include "app/main_frame.h"
#include "capturing_reporter.h"
#include "common/app_paths.h"
#include "common/settings.h"
#include "gui_test_support.h"
#include "temp_dir.h"

namespace lumo::test {

class MainFrameFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        m_settings = OpenSettingsFile(m_dir.File("settings/LumoNewsReader.conf"));
        m_profile = std::make_unique<ProfileStore>(*m_settings);
        SetProgramDirectory(m_dir.Path());
    }

    void TearDown() override { DestroyFrame(); }

    // A new window in place of the last, on screen.
    void MakeFrame()
    {
        DestroyFrame();
        m_frame = new CMainFrame(*m_profile, m_reporter);
        ASSERT_TRUE(m_frame->Create());
        m_frame->InitialUpdate();
        m_frame->Show();
        ASSERT_TRUE(WaitFor([&] { return gtk_widget_get_mapped(m_frame->GetHandle()) != 0; }));
    }

    void DestroyFrame()
    {
        // Deleted at once: a frame left for later would outlive this test's settings.
        delete m_frame;
        m_frame = nullptr;
        wxTheApp->ProcessPendingEvents();
    }

    TempDir m_dir;
    SettingsFile m_settings;
    std::unique_ptr<ProfileStore> m_profile;
    CapturingReporter m_reporter;
    CMainFrame* m_frame = nullptr;
    RecordedUrlOpens m_urls;
};

} // namespace lumo::test
