#pragma once
// The program's message box: the application title as caption, over the main window.
#include <string>
#include <vector>

#include <wx/defs.h>

#include "favorites/favorites_store.h"

namespace lumo {

int AppMessageBox(const std::string& text, long style = wxOK);

// Opens the address outside the program; when no program could be started,
// says so in a message box. True when it opened.
bool OpenOutsideOrSay(const std::string& url);

// Shows the favorites store's messages as message boxes. While another
// program holds the favorites file, the windows keep being drawn and
// answering, with the busy cursor and no command taking input.
class MessageBoxReporter : public FavoritesReporter
{
public:
    void ShowMessage(const std::string& utf8Text) override;
    bool WaitForLock(const std::function<bool()>& tryLock,
                     std::chrono::milliseconds limit) override;

    // Messages said from Hold() on wait for Release(), which shows them in
    // order: at start, until the window and the web engine are up (a message
    // box before that would hold up both).
    void Hold() { m_held = true; }
    void Release();

private:
    bool m_held = false;
    std::vector<std::string> m_waiting;
};

} // namespace lumo
