#include "common/settings.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "common/address_text.h"
#include "common/file_replacement.h"
#include "common/resource_ids.h"

namespace lumo {
namespace {

wxString KeyPath(const std::string& section, const std::string& key)
{
    return "/" + wxString::FromUTF8(section) + "/" + wxString::FromUTF8(key);
}

// Far beyond any settings file the program writes (a few hundred bytes).
constexpr off_t kMaxSettingsFileSize = off_t{1} << 20;

// The contents of the settings file at `path`, when it is a regular file of
// a sensible size; nothing for anything else (a pipe would block, a device
// never end).
std::string ReadSettingsFile(const std::string& path)
{
    std::string contents;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return contents;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxSettingsFileSize) {
        char block[4096];
        for (;;) {
            const ssize_t got = read(fd, block, sizeof block);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0 || static_cast<off_t>(contents.size()) > kMaxSettingsFileSize)
                break;
            contents.append(block, static_cast<std::size_t>(got));
        }
    }
    close(fd);
    return contents;
}

std::string CannotSaveMessage(const std::string& path)
{
    return "The settings cannot be saved: " + path +
           " is not a file, or leads to something other than a file. It is left as it is; "
           "the settings you choose now hold until the program ends.";
}

// The settings file, read once and written whole at each flush through a
// temporary file that replaces it only once complete: never over anything
// but a regular file, also through a symbolic link.
class SettingsFileConfig : public wxFileConfig
{
public:
    SettingsFileConfig(wxInputStream& contents, std::string path)
        : wxFileConfig(contents), m_path(std::move(path))
    {
        DisableAutoSave();
        std::string target;
        if (!ResolveLinks(m_path, target))
            m_problem = CannotSaveMessage(m_path);
    }
    ~SettingsFileConfig() override { Flush(); }

    bool Flush(bool = false) override
    {
        if (!m_dirty)
            return true;
        if (!m_problem.empty()) {
            Tell(m_problem);
            return false;
        }
        wxMemoryOutputStream bytes;
        if (!Save(bytes)) // leaves wxFileConfig clean: the file is ours to write
            return false;
        std::string contents(bytes.GetLength(), '\0');
        bytes.CopyTo(contents.data(), contents.size());
        FileReplacement file;
        // A file that cannot be written now (a full disk, a folder in the
        // way) fails quietly, as every settings write may: the next one tries again.
        if (!file.Begin(m_path) || !file.Write(contents.data(), contents.size()) || !file.Commit())
            return false;
        m_dirty = false;
        return true;
    }

    void TellWhenCannotSave(std::function<void(const std::string&)> say)
    {
        m_say = std::move(say);
        if (!m_problem.empty())
            Tell(m_problem);
    }

    bool RenameEntry(const wxString& oldName, const wxString& newName) override
    {
        return Changed(wxFileConfig::RenameEntry(oldName, newName));
    }
    bool RenameGroup(const wxString& oldName, const wxString& newName) override
    {
        return Changed(wxFileConfig::RenameGroup(oldName, newName));
    }
    bool DeleteEntry(const wxString& key, bool groupIfEmptyAlso = true) override
    {
        return Changed(wxFileConfig::DeleteEntry(key, groupIfEmptyAlso));
    }
    bool DeleteGroup(const wxString& key) override
    {
        return Changed(wxFileConfig::DeleteGroup(key));
    }
    bool DeleteAll() override { return Changed(wxFileConfig::DeleteAll()); }

protected:
    bool DoWriteString(const wxString& key, const wxString& value) override
    {
        return Changed(wxFileConfig::DoWriteString(key, value));
    }
    bool DoWriteLong(const wxString& key, long value) override
    {
        return Changed(wxFileConfig::DoWriteLong(key, value));
    }
#if wxUSE_BASE64
    bool DoWriteBinary(const wxString& key, const wxMemoryBuffer& buf) override
    {
        return Changed(wxFileConfig::DoWriteBinary(key, buf));
    }
#endif

private:
    bool Changed(bool done)
    {
        m_dirty = m_dirty || done;
        return done;
    }

    // Once for the whole run, and only once someone listens.
    void Tell(const std::string& problem)
    {
        if (m_said || !m_say)
            return;
        m_said = true;
        m_say(problem);
    }

    std::string m_path;
    std::string m_problem; // why nothing can ever be written there
    bool m_dirty = false;
    bool m_said = false;
    std::function<void(const std::string&)> m_say;
};

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

void TellWhenSettingsCannotBeSaved(wxConfigBase& config,
                                   std::function<void(const std::string&)> say)
{
    if (auto* file = dynamic_cast<SettingsFileConfig*>(&config))
        file->TellWhenCannotSave(std::move(say));
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
    // A settings file that is a symbolic link stays one: the file it names is
    // what is read and written, when it is a regular file.
    std::string target;
    if (!ResolveLinks(path, target))
        target.clear();
    const wxFileName file(wxString::FromUTF8(path));
    if (!file.DirExists())
        wxFileName::Mkdir(file.GetPath(), 0700, wxPATH_MKDIR_FULL);
    const std::string contents = target.empty() ? std::string() : ReadSettingsFile(target);
    wxMemoryInputStream stream(contents.data(), contents.size());
    auto* config = new SettingsFileConfig(stream, path);
    // Addresses may hold '$'; they are stored as they are.
    config->SetExpandEnvVars(false);
    wxSetAssertHandler(previous);
    return SettingsFile(config);
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

} // namespace lumo
