#pragma once
// The single document: it holds no data, only the links between the two panes
// through which the frame's commands and the tree reach them.
#include <string>

#include "common/settings.h"

namespace lumo {

// The browser pane as the rest of the program uses it.
class BrowserPane
{
public:
    virtual ~BrowserPane() = default;
    // Opens an address; the page loads asynchronously and the call returns at
    // once. `name` is what the user chose (a paper's name), shown should the
    // page fail; empty for addresses with no name of their own.
    virtual void NavigateTo(std::string url, std::string name = {}) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
};

// The directory tree pane as the rest of the program uses it.
class TreePane
{
public:
    virtual ~TreePane() = default;
    virtual void BuildCatalogTree(CataView arrangement) = 0;
};

class CLumoNewsReaderDoc
{
public:
    // Set by the browser pane at its first update.
    BrowserPane* m_pHtmlView = nullptr;
    // Set by the tree pane at its first update.
    TreePane* m_pLeftView = nullptr;
};

} // namespace lumo
