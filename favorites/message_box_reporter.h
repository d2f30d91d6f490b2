#pragma once
// The favorites store's messages shown in the program's message box.
#include <string>
#include <vector>

#include "favorites/favorites_store.h"

namespace lumo {

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
