#pragma once
// What both favorites fuzz targets share: a private favorites file to write
// each input to, a reporter that keeps the messages, and a loud stop when an
// invariant breaks.
#include "favorites/favorites_store.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace lumo::fuzz {

class CapturingReporter : public FavoritesReporter
{
public:
    void ShowMessage(const std::string& utf8Text) override { messages.push_back(utf8Text); }
    std::vector<std::string> messages;
};

// A file in a directory of this process's own, removed at exit. In memory
// where the system has /dev/shm: every input is written to it.
class FuzzFile
{
public:
    FuzzFile()
    {
        const std::string base = std::filesystem::is_directory("/dev/shm")
                                     ? "/dev/shm"
                                     : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/lumo-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        m_dir = pattern;
        m_path = m_dir + "/Favorites.xml";
    }
    ~FuzzFile()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    const std::string& Path() const { return m_path; }

    void Write(const std::string& bytes) const
    {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush())
            std::abort();
    }
    std::string Read() const
    {
        std::ifstream in(m_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // No file but Favorites.xml is left in the directory.
    bool IsAlone() const
    {
        auto entries = std::filesystem::directory_iterator(m_dir);
        return std::distance(entries, std::filesystem::directory_iterator()) == 1;
    }

private:
    std::string m_dir;
    std::string m_path;
};

inline void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "favorites invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace lumo::fuzz
