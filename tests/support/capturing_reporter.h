#pragma once
// A favorites reporter for tests: keeps every message the store would show.
#include <string>
#include <vector>

#include "favorites/favorites_store.h"

namespace lumo::test {

class CapturingReporter : public FavoritesReporter
{
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

} // namespace lumo::test
