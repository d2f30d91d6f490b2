#pragma once
// The main frame's three saved choices (how the tree is arranged, the skin,
// the start page) and the commands that go with them, as a model with no
// windows: each choice changes the model and the settings store together,
// and the menus' check marks read the model. The window's command table
// (app/view_commands.cpp) runs these commands.
#include <string>

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

    // Choosing what is already chosen does nothing at all.
    void CatalogBy(lumo::CataView arrangement);
    void ChooseSkin(lumo::SkinStyle skinStyle);
    void ChooseIndexPage(lumo::IndexPage indexPage); // Use Blank and Use Default
    // Use Current: the start page becomes `currentUrl`, stored with the choice.
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

} // namespace lumo
