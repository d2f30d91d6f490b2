#pragma once
// The main frame's program commands as a model with no windows: each command
// changes the frame's three choices and the settings store together, and the
// check-mark rules read the choices. The frame binds its menu to this model.
#include <optional>
#include <string>
#include <string_view>

#include "common/settings.h"

namespace lumo {

// What the commands act on; the main frame implements it with its panes.
class CommandSink
{
public:
    virtual ~CommandSink() = default;
    virtual void BuildCatalogTree(CataView arrangement) = 0;
    virtual void LoadSkin(const std::string& path) = 0;
    virtual void NavigateTo(const std::string& url) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    // Opens an address in the user's own web browser.
    virtual void OpenExternal(const std::string& url) = 0;
};

class FrameCommands
{
public:
    // Reads CataView, SkinStyle and IndexPage from the store.
    FrameCommands(ProfileStore& store, CommandSink& sink);

    lumo::CataView CataView() const { return m_nCataView; }
    lumo::SkinStyle SkinStyle() const { return m_nSkinStyle; }
    lumo::IndexPage IndexPage() const { return m_nIndexPage; }

    // Runs one of the commands below by its id; false for an id that is not one of them.
    bool Execute(int commandId);
    // The check mark of a command of this model; nullopt for an id it does not own.
    std::optional<bool> IsChecked(int commandId) const;

    void CatalogBy(lumo::CataView arrangement);
    void ChooseSkin(lumo::SkinStyle skinStyle);
    void ChooseIndexPage(lumo::IndexPage indexPage); // Use Blank and Use Default
    void UseCurrent(const std::string& currentUrl);
    void GoToStartPage();
    void Home();
    void ShowHelpContent(const std::string& appDir);
    void ShowProductHomepage();

private:
    ProfileStore& m_store;
    CommandSink& m_sink;
    lumo::CataView m_nCataView;
    lumo::SkinStyle m_nSkinStyle;
    lumo::IndexPage m_nIndexPage;
};

// The page the browser pane opens at its first update for an IndexPage value:
// the product's start page for Default, the stored address for Current (also
// when empty), and no page at all for any other value or for a stored script
// or data address (javascript:, data:, blob:).
std::optional<std::string> FirstPageFor(IndexPage indexPage, const std::string& storedUrl);

// The main window's caption for a page's title or a paper's name (UTF-8):
// the text, " - " and the application name. The text keeps no control
// characters, no bidirectional overrides, embeddings or isolates and no
// direction marks, with which a page could turn round or hide what the
// caption and the task bar say; bytes that are no UTF-8 go too.
std::string WindowCaption(std::string_view title);

} // namespace lumo
