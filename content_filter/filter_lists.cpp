#include "content_filter/filter_lists.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace lumo::content_filter {

std::vector<std::filesystem::path> ShippedFilterFiles(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if ((name.starts_with("ads-") || name.starts_with("trackers-")) &&
            name.ends_with(".json") && entry.is_regular_file(error))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

// A 64-bit checksum read a word at a time, in four lanes (xxHash64's
// rounds): tens of megabytes of compiled filters are checked at each start.
class Checksum
{
public:
    void Add(const char* data, std::size_t size)
    {
        m_length += size;
        while (size > 0 && (m_filled > 0 || size < sizeof m_block)) {
            m_block[m_filled++] = *data++;
            --size;
            if (m_filled == sizeof m_block) {
                Round(m_block);
                m_filled = 0;
            }
        }
        for (; size >= sizeof m_block; data += sizeof m_block, size -= sizeof m_block)
            Round(data);
        while (size-- > 0)
            m_block[m_filled++] = *data++;
    }

    std::uint64_t Value() const
    {
        std::uint64_t hash = Rotate(m_lanes[0], 1) + Rotate(m_lanes[1], 7) +
                             Rotate(m_lanes[2], 12) + Rotate(m_lanes[3], 18) + m_length;
        for (std::size_t i = 0; i < m_filled; ++i) {
            hash ^= static_cast<unsigned char>(m_block[i]) * kPrime5;
            hash = Rotate(hash, 11) * kPrime1;
        }
        hash ^= hash >> 33;
        hash *= kPrime2;
        hash ^= hash >> 29;
        hash *= kPrime3;
        return hash ^ (hash >> 32);
    }

private:
    static constexpr std::uint64_t kPrime1 = 11400714785074694791ULL;
    static constexpr std::uint64_t kPrime2 = 14029467366897019727ULL;
    static constexpr std::uint64_t kPrime3 = 1609587929392839161ULL;
    static constexpr std::uint64_t kPrime5 = 2870177450012600261ULL;

    static std::uint64_t Rotate(std::uint64_t x, int bits)
    {
        return (x << bits) | (x >> (64 - bits));
    }

    void Round(const char* block)
    {
        for (int lane = 0; lane < 4; ++lane) {
            std::uint64_t word;
            std::memcpy(&word, block + lane * 8, 8);
            m_lanes[lane] = Rotate(m_lanes[lane] + word * kPrime2, 31) * kPrime1;
        }
    }

    std::uint64_t m_lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
    char m_block[32];
    std::size_t m_filled = 0;
    std::uint64_t m_length = 0;
};

std::string Hex(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

std::string ChecksumOfFiles(const std::vector<std::filesystem::path>& files)
{
    Checksum sum;
    std::vector<char> buffer(1 << 20);
    for (const auto& file : files) {
        const std::string name = file.filename().string();
        sum.Add(name.c_str(), name.size() + 1);
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return {};
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
               in.gcount() > 0)
            sum.Add(buffer.data(), static_cast<std::size_t>(in.gcount()));
        if (in.bad())
            return {};
    }
    return Hex(sum.Value());
}

std::string ChecksumOfText(std::string_view text)
{
    Checksum sum;
    sum.Add(text.data(), text.size());
    return Hex(sum.Value());
}

bool LooksLikeFilterList(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    return text.starts_with("[Adblock");
}

} // namespace lumo::content_filter
