#include "common/frame_commands.h"

#include "common/address_text.h"
#include "common/app_paths.h"
#include "common/globals.h"
#include "common/resource_ids.h"

namespace lumo {

FrameCommands::FrameCommands(ProfileStore& store, CommandSink& sink)
    : m_store(store), m_sink(sink), m_nCataView(store.Get(kCataView)),
      m_nSkinStyle(store.Get(kSkinStyle)), m_nIndexPage(store.Get(kIndexPage))
{
}

bool FrameCommands::Execute(int commandId)
{
    switch (commandId) {
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
        CatalogBy(CataView::ByArea);
        return true;
    case ID_CATALOG_BY_CONTENT:
        CatalogBy(CataView::ByContent);
        return true;
    case ID_SKIN_XP:
        ChooseSkin(SkinStyle::XPCorona);
        return true;
    case ID_SKIN_MINI:
        ChooseSkin(SkinStyle::Minimized);
        return true;
    case ID_SKIN_SOFT:
        ChooseSkin(SkinStyle::SoftCrystal);
        return true;
    case ID_HOMEPAGE_GOTO:
        GoToStartPage();
        return true;
    case ID_HOMEPAGE_USE_BLANK:
        ChooseIndexPage(IndexPage::Blank);
        return true;
    case ID_HOMEPAGE_USE_DEFAULT:
        ChooseIndexPage(IndexPage::Default);
        return true;
    case ID_HOMEPAGE_USE_CURRENT:
        UseCurrent(g_strCurrentURL);
        return true;
    case ID_HELP_CONTENT:
        ShowHelpContent(ProgramDirectory());
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
    switch (commandId) {
    case ID_CATALOG_BY_AREA:
        return m_nCataView == CataView::ByArea;
    case ID_CATALOG_BY_CONTENT:
        return m_nCataView == CataView::ByContent;
    case ID_SKIN_XP:
        return m_nSkinStyle == SkinStyle::XPCorona;
    case ID_SKIN_MINI:
        return m_nSkinStyle == SkinStyle::Minimized;
    case ID_SKIN_SOFT:
        return m_nSkinStyle == SkinStyle::SoftCrystal;
    case ID_HOMEPAGE_USE_BLANK:
        return m_nIndexPage == IndexPage::Blank;
    case ID_HOMEPAGE_USE_DEFAULT:
        return m_nIndexPage == IndexPage::Default;
    case ID_HOMEPAGE_USE_CURRENT:
        return m_nIndexPage == IndexPage::Current;
    default:
        return std::nullopt;
    }
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

std::optional<std::string> FirstPageFor(IndexPage indexPage, const std::string& storedUrl)
{
    if (indexPage == IndexPage::Default)
        return std::string(kProductStartPage);
    // A stored script or data address opens nothing.
    if (indexPage == IndexPage::Current && !IsRefusedAddress(storedUrl))
        return storedUrl;
    return std::nullopt;
}

std::string WindowCaption(std::string_view title)
{
    std::string caption;
    for (size_t at = 0; at < title.size();) {
        const auto byte = static_cast<unsigned char>(title[at]);
        // The code point starting here and its length; 0 for a byte that
        // starts none.
        size_t length = byte < 0x80                   ? 1
                        : byte >= 0xc2 && byte < 0xe0 ? 2
                        : byte >= 0xe0 && byte < 0xf0 ? 3
                        : byte >= 0xf0 && byte < 0xf5 ? 4
                                                      : 0;
        char32_t code = length == 1   ? byte
                        : length == 2 ? byte & 0x1f
                        : length == 3 ? byte & 0x0f
                                      : byte & 0x07;
        for (size_t i = 1; i < length; ++i) {
            const auto next = at + i < title.size() ? static_cast<unsigned char>(title[at + i]) : 0;
            if ((next & 0xc0) != 0x80) {
                length = 0;
                break;
            }
            code = (code << 6) | (next & 0x3f);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (length == 0 || overlong || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
            ++at;
            continue;
        }
        const bool whitespace =
            code == '\t' || code == '\n' || code == '\r' || code == '\f' || code == '\v';
        const bool control = code < 0x20 || (code >= 0x7f && code <= 0x9f);
        const bool direction = code == 0x061c || code == 0x200e || code == 0x200f ||
                               (code >= 0x202a && code <= 0x202e) ||
                               (code >= 0x2066 && code <= 0x2069);
        if (whitespace)
            caption += ' ';
        else if (!control && !direction)
            caption.append(title.substr(at, length));
        at += length;
    }
    return caption + " - " + kAppName;
}

} // namespace lumo
