#pragma once
// For tests of the favorites file: a favorites file in a fresh temporary
// folder, the store over it, and every message the store would have shown.
#include <ostream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "capturing_reporter.h"
#include "favorites/favorites_store.h"
#include "temp_dir.h"

namespace lumo {

// Entries print as {"title", "url"} in failures, long texts cut short.
inline void PrintTo(const FavoriteEntry& entry, std::ostream* out)
{
    *out << "{\"" << entry.title.substr(0, 80) << "\", \"" << entry.url.substr(0, 80) << "\"}";
}

namespace test {

class FavoritesFileTest : public ::testing::Test
{
protected:
    void Write(const std::string& bytes) { WriteFile(m_path, bytes); }
    std::string Bytes() const { return ReadFile(m_path); }

    TempDir m_dir;
    std::string m_path = m_dir.File("Favorites.xml");
    CapturingReporter m_reporter;
    FavoritesStore m_store{m_path, m_reporter};
};

// The same, for changes the store makes without a word to the user: a test
// fails when the store said anything.
class QuietFavoritesFileTest : public FavoritesFileTest
{
protected:
    void TearDown() override { EXPECT_THAT(m_reporter.messages, ::testing::IsEmpty()); }
};

} // namespace test
} // namespace lumo
