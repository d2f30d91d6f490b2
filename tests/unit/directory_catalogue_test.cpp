// The built-in catalogue as the program is built with it: its grouping, counts
// and order, which fix the slot numbers the tree gives every newspaper, and
// texts kept exactly as the data holds them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "directory/catalogue.h"

namespace lumo {
namespace {

struct RegionRow
{
    std::string_view text;
    std::size_t count;
    std::size_t firstSlot; // slot of its first newspaper with no favorites
};

// The regions in tree order, with the slots their newspapers take.
constexpr RegionRow kRegionRows[] = {
    {"[AL]Alabama", 42, 92},
    {"[AK]Alaska", 16, 134},
    {"[AZ]Arizona", 49, 150},
    {"[AR]Arkansas", 52, 199},
    {"[CA]California", 180, 251},
    {"[CO]Colorado", 56, 431},
    {"[CT]Connecticut", 56, 487},
    {"[DE]Delaware", 6, 543},
    {"[DC]Dist. of Columbia", 6, 549},
    {"[FL]Florida", 90, 555},
    {"[GA]Georgia", 73, 645},
    {"[HI]Hawaii", 11, 718},
    {"[ID]Idaho", 23, 729},
    {"[IL]Illinois", 124, 752},
    {"[IN]Indiana", 54, 876},
    {"[IA]Iowa", 44, 930},
    {"[KS]Kansas", 52, 974},
    {"[KY]Kentucky", 49, 1026},
    {"[LA]Louisiana", 32, 1075},
    {"[ME]Maine", 26, 1107},
    {"[MD]Maryland", 25, 1133},
    {"[MA]Massachusetts", 85, 1158},
    {"[MI]Michigan", 93, 1243},
    {"[MN]Minnesota", 115, 1336},
    {"[MS]Mississippi", 35, 1451},
    {"[MO]Missouri", 67, 1486},
    {"[MT]Montana", 27, 1553},
    {"[NE]Nebraska", 31, 1580},
    {"[NV]Nevada", 20, 1611},
    {"[NH]New Hampshire", 21, 1631},
    {"[NJ]New Jersey", 44, 1652},
    {"[NM]New Mexico", 25, 1696},
    {"[NY]New York", 118, 1721},
    {"[NC]North Carolina", 80, 1839},
    {"[ND]North Dakota", 21, 1919},
    {"[OH]Ohio", 86, 1940},
    {"[OK]Oklahoma", 39, 2026},
    {"[OR]Oregon", 45, 2065},
    {"[PA]Pennsylvania", 95, 2110},
    {"[RI]Rhode Island", 17, 2205},
    {"[SC]South Carolina", 28, 2222},
    {"[SD]South Dakota", 23, 2250},
    {"[TN]Tennessee", 63, 2273},
    {"[TX]Texas", 129, 2336},
    {"[UT]Utah", 22, 2465},
    {"[VT]Vermont", 18, 2487},
    {"[VA]Virginia", 58, 2505},
    {"[WA]Washington", 42, 2563},
    {"[WV]West Virginia", 28, 2605},
    {"[WI]Wisconsin", 58, 2633},
    {"[WY]Wyoming", 10, 2691},
};

// Slot of an entry with no favorites: its position in data order, from 1.
std::size_t SlotOf(const CatalogueEntry& entry)
{
    return static_cast<std::size_t>(&entry - Catalogue().data()) + 1;
}

TEST(DirectoryCatalogue, GroupsFollowEachOtherInDataOrderWithTheirCounts)
{
    ASSERT_EQ(Catalogue().size(), 2700u);
    ASSERT_EQ(NationalEntries().size(), 66u);
    ASSERT_EQ(WorldEntries().size(), 25u);
    EXPECT_EQ(NationalEntries().data(), Catalogue().data());
    EXPECT_EQ(WorldEntries().data(), Catalogue().data() + 66);

    ASSERT_EQ(Regions().size(), std::size(kRegionRows));
    for (std::size_t i = 0; i < Regions().size(); ++i) {
        const CatalogueRegion& region = Regions()[i];
        SCOPED_TRACE(std::string(kRegionRows[i].text));
        EXPECT_EQ(region.text, kRegionRows[i].text);
        EXPECT_EQ(region.text,
                  "[" + std::string(region.code) + "]" + std::string(region.text.substr(4)));
        ASSERT_EQ(region.entries.size(), kRegionRows[i].count);
        EXPECT_EQ(SlotOf(region.entries.front()), kRegionRows[i].firstSlot);
    }
    // The regions cover the rest of the catalogue without gaps: the last
    // Wyoming newspaper is the last entry.
    EXPECT_EQ(&Regions().back().entries.back(), &Catalogue().back());
    EXPECT_EQ(Catalogue().front().text, "ABCNEWS.com");
}

TEST(DirectoryCatalogue, DistrictOfColumbiaStandsBetweenDelawareAndFlorida)
{
    auto regions = Regions();
    auto at = [&](std::string_view code) {
        return std::find_if(regions.begin(), regions.end(),
                            [&](const CatalogueRegion& r) { return r.code == code; }) -
               regions.begin();
    };
    EXPECT_EQ(at("DC"), at("DE") + 1);
    EXPECT_EQ(at("FL"), at("DC") + 1);
    EXPECT_EQ(regions[static_cast<std::size_t>(at("DC"))].text, "[DC]Dist. of Columbia");
}

TEST(DirectoryCatalogue, TextsAreKeptExactlyAsStored)
{
    auto national = NationalEntries();
    auto world = WorldEntries();
    EXPECT_EQ(national[6].text, "CNN ");
    EXPECT_EQ(national[2].text, "Atlanta Journal-Constitution ");
    EXPECT_EQ(world[4].text, "CNN - World News  ");
    EXPECT_EQ(world[14].text, "Le Monde  (French)");
    EXPECT_EQ(world[17].text, "MSNBC Interactive   -  NBC and Microsoft worldwide news");
    EXPECT_EQ(national[45].text, "Rochester Democrat & Chronicle");

    auto trailing = std::count_if(Catalogue().begin(), Catalogue().end(),
                                  [](const CatalogueEntry& e) { return e.text.ends_with(' '); });
    EXPECT_EQ(trailing, 36);

    // The same title may stand in several groups, each an entry of its own.
    EXPECT_EQ(national[24].text, "International Herald Tribune");
    EXPECT_EQ(world[8].text, "International Herald Tribune");
    EXPECT_NE(&national[24], &world[8]);

    // Non-ASCII texts come through as UTF-8, byte for byte.
    auto nonAscii = std::find_if(Catalogue().begin(), Catalogue().end(), [](const auto& e) {
        return std::any_of(e.text.begin(), e.text.end(), [](char c) { return c & 0x80; });
    });
    ASSERT_NE(nonAscii, Catalogue().end());
    EXPECT_EQ(nonAscii->text, "Al D\u00EDa");
}

} // namespace
} // namespace lumo
