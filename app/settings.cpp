#include "app/settings.h"

#include <cstdlib>
#include <sys/stat.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/log.h>

namespace lumo {
namespace {

wxString KeyPath(const std::string& section, const std::string& key)
{
    return "/" + wxString::FromUTF8(section) + "/" + wxString::FromUTF8(key);
}

} // namespace

int ProfileStore::GetProfileInt(const std::string& section, const std::string& key,
                                int defaultValue) const
{
    wxLogNull quiet;
    long value = defaultValue;
    if (!m_config.Read(KeyPath(section, key), &value, defaultValue))
        return defaultValue;
    return static_cast<int>(value);
}

bool ProfileStore::WriteProfileInt(const std::string& section, const std::string& key, int value)
{
    wxLogNull quiet; // a settings file that cannot be written is not worth a dialog
    // The whole file is rewritten at every flush: not for a value it already holds.
    long stored = 0;
    if (m_config.Read(KeyPath(section, key), &stored) && stored == value)
        return true;
    return m_config.Write(KeyPath(section, key), static_cast<long>(value)) && m_config.Flush();
}

std::string ProfileStore::GetProfileString(const std::string& section, const std::string& key,
                                           const std::string& defaultValue) const
{
    wxLogNull quiet;
    wxString value;
    if (!m_config.Read(KeyPath(section, key), &value))
        return defaultValue;
    return value.utf8_string();
}

bool ProfileStore::WriteProfileString(const std::string& section, const std::string& key,
                                      const std::string& value)
{
    wxLogNull quiet;
    wxString stored;
    if (m_config.Read(KeyPath(section, key), &stored) && stored.utf8_string() == value)
        return true;
    return m_config.Write(KeyPath(section, key), wxString::FromUTF8(value)) && m_config.Flush();
}

std::string SettingsFilePath()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = wxFileName::GetHomeDir().utf8_string() + "/.config";
    return base + "/LumoNewsReader/LumoNewsReader.conf";
}

void SettingsFileCloser::operator()(wxConfigBase* config) const
{
    wxLogNull quiet;
    delete config;
}

SettingsFile OpenSettingsFile(const std::string& path)
{
    wxLogNull quiet; // a corrupt line is skipped silently; what can be read is kept
    // wxFileConfig asserts on some corrupt lines (an entry without a name);
    // such a line is only skipped, so the assertion is not for the user.
    wxAssertHandler_t previous = wxSetAssertHandler(nullptr);
    wxFileName file(wxString::FromUTF8(path));
    // A settings file that is a symbolic link stays one: the file it names is
    // what is read and written.
    struct stat st;
    if (char* target = lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)
                           ? realpath(path.c_str(), nullptr)
                           : nullptr) {
        file.Assign(wxString::FromUTF8(target));
        std::free(target);
    }
    if (!file.DirExists())
        wxFileName::Mkdir(file.GetPath(), 0700, wxPATH_MKDIR_FULL);
    auto* config = new wxFileConfig("LumoNewsReader", "Local AppWizard-Generated Applications",
                                    file.GetFullPath(), wxString(), wxCONFIG_USE_LOCAL_FILE);
    // Addresses may hold '$'; they are stored as they are.
    config->SetExpandEnvVars(false);
    wxSetAssertHandler(previous);
    return SettingsFile(config);
}

} // namespace lumo
