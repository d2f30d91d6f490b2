#include "app/frame_commands.h"

#include "app/app_paths.h"
#include "app/globals.h"
#include "app/resource_ids.h"
#include "browser/web_address.h"

namespace lumo {

FrameCommands::FrameCommands(ProfileStore& store, CommandSink& sink)
    : m_store(store), m_sink(sink), m_nCataView(store.Get(kCataView)),
      m_nSkinStyle(store.Get(kSkinStyle)), m_nIndexPage(store.Get(kIndexPage))
{
}

bool FrameCommands::Execute(int commandId)
{
    switch (commandId)
    {
    case ID_BROWSE_HOME:
        Home();
        return true;
    case ID_BROWSE_BACK:
        m_sink.GoBack();
        return true;
    case ID_BROWSE_FORWARD:
        m_sink.GoForward();
        return true;
    case ID_CATALOG_BY_AREA:
        CatalogBy(1);
        return true;
    case ID_CATALOG_BY_CONTENT:
        CatalogBy(2);
        return true;
    case ID_SKIN_XP:
        ChooseSkin(1);
        return true;
    case ID_SKIN_MINI:
        ChooseSkin(2);
        return true;
    case ID_SKIN_SOFT:
        ChooseSkin(3);
        return true;
    case ID_HOMEPAGE_GOTO:
        GoToStartPage();
        return true;
    case ID_HOMEPAGE_USE_BLANK:
        ChooseIndexPage(1);
        return true;
    case ID_HOMEPAGE_USE_DEFAULT:
        ChooseIndexPage(2);
        return true;
    case ID_HOMEPAGE_USE_CURRENT:
        UseCurrent(g_strCurrentURL);
        return true;
    case ID_HELP_CONTENT:
        ShowHelpContent(g_strAppDir);
        return true;
    case ID_HELP_PRODUCT:
        ShowProductHomepage();
        return true;
    default:
        return false;
    }
}

std::optional<bool> FrameCommands::IsChecked(int commandId) const
{
    switch (commandId)
    {
    case ID_CATALOG_BY_AREA:
        return m_nCataView == 1;
    case ID_CATALOG_BY_CONTENT:
        return m_nCataView == 2;
    case ID_SKIN_XP:
        return m_nSkinStyle == 1;
    case ID_SKIN_MINI:
        return m_nSkinStyle == 2;
    case ID_SKIN_SOFT:
        return m_nSkinStyle == 3;
    case ID_HOMEPAGE_USE_BLANK:
        return m_nIndexPage == 1;
    case ID_HOMEPAGE_USE_DEFAULT:
        return m_nIndexPage == 2;
    case ID_HOMEPAGE_USE_CURRENT:
        return m_nIndexPage == 3;
    default:
        return std::nullopt;
    }
}

void FrameCommands::CatalogBy(int arrangement)
{
    if (m_nCataView == arrangement)
        return;
    m_sink.BuildCatalogTree(arrangement);
    m_nCataView = arrangement;
    m_store.Write(kCataView, arrangement);
}

void FrameCommands::ChooseSkin(int skinStyle)
{
    if (m_nSkinStyle == skinStyle)
        return;
    if (const char* path = SkinFileForStyle(skinStyle))
        m_sink.LoadSkin(path);
    m_nSkinStyle = skinStyle;
    m_store.Write(kSkinStyle, skinStyle);
}

void FrameCommands::ChooseIndexPage(int indexPage)
{
    if (m_nIndexPage == indexPage)
        return;
    m_nIndexPage = indexPage;
    m_store.Write(kIndexPage, indexPage);
}

void FrameCommands::UseCurrent(const std::string& currentUrl)
{
    if (m_nIndexPage == 3)
        return;
    m_nIndexPage = 3;
    m_store.Write(kIndexPage, 3);
    m_store.WriteProfileString(kSettingsSection, kIndexPageURL, currentUrl);
}

void FrameCommands::GoToStartPage()
{
    if (m_nIndexPage == 1)
        m_sink.NavigateTo("about:blank");
    else if (m_nIndexPage == 2)
        m_sink.NavigateTo(kProductStartPage);
    else if (const std::optional<std::string> stored =
                 FirstPageFor(3, m_store.GetProfileString(kSettingsSection, kIndexPageURL)))
        m_sink.NavigateTo(*stored);
}

void FrameCommands::Home()
{
    m_sink.NavigateTo(kProductStartPage);
}

void FrameCommands::ShowHelpContent(const std::string& appDir)
{
    m_sink.NavigateTo(HelpFileUrl(appDir));
}

void FrameCommands::ShowProductHomepage()
{
    m_sink.OpenExternal(kProductWebPage);
}

std::optional<std::string> FirstPageFor(int indexPage, const std::string& storedUrl)
{
    if (indexPage == 2)
        return std::string(kProductStartPage);
    // A stored script or data address opens nothing.
    if (indexPage == 3 && !IsRefusedAddress(storedUrl))
        return storedUrl;
    return std::nullopt;
}

} // namespace lumo
