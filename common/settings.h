#pragma once
// The settings store: every key of the program, its type and its default, and
// the profile functions through which the program reads and writes them.
#include <functional>
#include <memory>
#include <optional>
#include <string>

class wxConfigBase;

namespace lumo {

inline constexpr const char* kSettingsSection = "Settings_en";

// The saved choices. Each value is the number the settings file keeps for it;
// only the profile store turns them into numbers and back. A number outside
// the names below is kept as it is read (the code that uses it says what it
// means).
enum class WindowShow : int // how the main window shows at start
{
    Minimized = 2,
    Maximized = 3,
    Normal = 5,
    Minimize = 6,
    MinimizedInactive = 7,
};
enum class SkinStyle : int
{
    XPCorona = 1,
    Minimized = 2,
    SoftCrystal = 3,
};
enum class IndexPage : int // the page the browser pane opens at start
{
    Blank = 1,
    Default = 2,
    Current = 3,
};
enum class CataView : int // how the tree arranges the newspapers
{
    ByArea = 1,
    ByContent = 2,
};

// A key that holds one of the saved choices above.
template <class Choice> struct ChoiceSetting
{
    const char* key;
    Choice defaultValue;
};

// A key of a group of its own that holds on (1) or off (0): the program's
// later choices, which keep Settings_en as it is.
struct SwitchSetting
{
    const char* section;
    const char* key;
    bool defaultValue;
};

inline constexpr ChoiceSetting<WindowShow> kWindowSize{"WindowSize", WindowShow::Normal};
inline constexpr ChoiceSetting<SkinStyle> kSkinStyle{"SkinStyle", SkinStyle::Minimized};
inline constexpr ChoiceSetting<IndexPage> kIndexPage{"IndexPage", IndexPage::Default};
inline constexpr ChoiceSetting<CataView> kCataView{"CataView", CataView::ByArea};
inline constexpr const char* kIndexPageURL = "IndexPageURL"; // string, default empty

// The page the browser pane opens at its first update for an IndexPage value:
// the product's start page for Default, the stored address for Current (also
// when empty), and no page at all for any other value or for a stored script
// or data address (javascript:, data:, blob:).
std::optional<std::string> FirstPageFor(IndexPage indexPage, const std::string& storedUrl);

// Reads and writes values of one config store the way the program's profile
// functions do: absent or unreadable values give the caller's default, every
// write is flushed to disk at once, and failures never show a dialog.
class ProfileStore
{
public:
    explicit ProfileStore(wxConfigBase& config) : m_config(config) {}

    int GetProfileInt(const std::string& section, const std::string& key, int defaultValue) const;
    bool WriteProfileInt(const std::string& section, const std::string& key, int value);
    std::string GetProfileString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue = {}) const;
    bool WriteProfileString(const std::string& section, const std::string& key,
                            const std::string& value);

    bool Get(const SwitchSetting& setting) const
    {
        return GetProfileInt(setting.section, setting.key, setting.defaultValue ? 1 : 0) != 0;
    }
    bool Write(const SwitchSetting& setting, bool on)
    {
        return WriteProfileInt(setting.section, setting.key, on ? 1 : 0);
    }
    template <class Choice> Choice Get(const ChoiceSetting<Choice>& setting) const
    {
        return static_cast<Choice>(
            GetProfileInt(kSettingsSection, setting.key, static_cast<int>(setting.defaultValue)));
    }
    template <class Choice> bool Write(const ChoiceSetting<Choice>& setting, Choice value)
    {
        return WriteProfileInt(kSettingsSection, setting.key, static_cast<int>(value));
    }

    wxConfigBase& Config() { return m_config; }

private:
    wxConfigBase& m_config;
};

// The settings file of the user: $XDG_CONFIG_HOME/LumoNewsReader/LumoNewsReader.conf,
// with ~/.config when XDG_CONFIG_HOME is unset or empty.
std::string SettingsFilePath();

// Closes a settings file without any message, also when its last changes
// cannot be written.
struct SettingsFileCloser
{
    void operator()(wxConfigBase* config) const;
};
using SettingsFile = std::unique_ptr<wxConfigBase, SettingsFileCloser>;

// Opens the user's settings file as a wxFileConfig: a corrupt file is read as
// far as it can be, without any message or assertion. Each flush replaces the
// file whole once the new contents are on disk; through a symbolic link it
// writes the file the link names, and never what is not a regular file (a
// device, a pipe, a folder): the link and its target are left as they are.
SettingsFile OpenSettingsFile(const std::string& path);

// Has `say` tell the user, once for the whole run, that the settings cannot
// be saved when the settings file can never be written: it is, or its link
// leads to, a device, a pipe or a folder. Other failures to write stay quiet.
void TellWhenSettingsCannotBeSaved(wxConfigBase& config,
                                   std::function<void(const std::string&)> say);

} // namespace lumo
