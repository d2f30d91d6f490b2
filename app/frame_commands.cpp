#include "app/frame_commands.h"

#include "common/address_text.h"
#include "common/app_paths.h"
#include "common/globals.h"
#include "common/resource_ids.h"
#include "common/settings.h"

namespace lumo {

FrameCommands::FrameCommands(ProfileStore& store, CommandSink& sink)
    : m_store(store), m_sink(sink), m_nCataView(store.Get(kCataView)),
      m_nSkinStyle(store.Get(kSkinStyle)), m_nIndexPage(store.Get(kIndexPage))
{
}

void FrameCommands::CatalogBy(lumo::CataView arrangement)
{
    if (m_nCataView == arrangement)
        return;
    m_sink.BuildCatalogTree(arrangement);
    m_nCataView = arrangement;
    m_store.Write(kCataView, arrangement);
}

void FrameCommands::ChooseSkin(lumo::SkinStyle skinStyle)
{
    if (m_nSkinStyle == skinStyle)
        return;
    if (const char* path = SkinFileForStyle(skinStyle))
        m_sink.LoadSkin(path);
    m_nSkinStyle = skinStyle;
    m_store.Write(kSkinStyle, skinStyle);
}

void FrameCommands::ChooseIndexPage(lumo::IndexPage indexPage)
{
    if (m_nIndexPage == indexPage)
        return;
    m_nIndexPage = indexPage;
    m_store.Write(kIndexPage, indexPage);
}

void FrameCommands::UseCurrent(const std::string& currentUrl)
{
    if (m_nIndexPage == IndexPage::Current)
        return;
    m_nIndexPage = IndexPage::Current;
    m_store.Write(kIndexPage, IndexPage::Current);
    m_store.WriteProfileString(kSettingsSection, kIndexPageURL, currentUrl);
}

void FrameCommands::GoToStartPage()
{
    if (m_nIndexPage == IndexPage::Blank)
        m_sink.NavigateTo("about:blank");
    else if (m_nIndexPage == IndexPage::Default)
        m_sink.NavigateTo(kProductStartPage);
    else if (const std::optional<std::string> stored = FirstPageFor(
                 IndexPage::Current, m_store.GetProfileString(kSettingsSection, kIndexPageURL)))
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

} // namespace lumo
