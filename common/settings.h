#pragma once
// The settings store: every key of the program, its type and its default, and
// the profile functions through which the program reads and writes them.
#include <functional>
#include <memory>
#include <string>

class wxConfigBase;

namespace lumo {

inline constexpr const char* kSettingsSection = "Settings_en";

struct IntSetting
{
    const char* key;
    int defaultValue;
};

inline constexpr IntSetting kWindowSize{"WindowSize", 5};
inline constexpr IntSetting kSkinStyle{"SkinStyle", 2};
inline constexpr IntSetting kIndexPage{"IndexPage", 2};
inline constexpr IntSetting kCataView{"CataView", 1};
inline constexpr const char* kIndexPageURL = "IndexPageURL"; // string, default empty

inline constexpr int kShowMaximized = 3;
inline constexpr int kShowNormal = 5;

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

    int Get(const IntSetting& setting) const
    {
        return GetProfileInt(kSettingsSection, setting.key, setting.defaultValue);
    }
    bool Write(const IntSetting& setting, int value)
    {
        return WriteProfileInt(kSettingsSection, setting.key, value);
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
