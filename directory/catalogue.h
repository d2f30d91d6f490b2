#pragma once
// The built-in newspaper catalogue: 2,700 sites compiled into the program from
// directory/catalogue.tsv, so that nothing is read, and nothing can be changed,
// at run time.
#include <span>
#include <string_view>

namespace lumo {

// The branch items that hold the catalogue, in the order they follow "My Favorites".
inline constexpr std::string_view kNationalBranch = "National";
inline constexpr std::string_view kWorldBranch = "World";
inline constexpr std::string_view kAmericanStatesBranch = "American States";

// One newspaper: the text its leaf shows (exactly as stored, blanks included)
// and the address its leaf opens.
struct CatalogueEntry
{
    std::string_view text;
    std::string_view url;
};

// One region under "American States": its postal code, its item text
// ("[AL]Alabama") and its newspapers in data order.
struct CatalogueRegion
{
    std::string_view code;
    std::string_view text;
    std::span<const CatalogueEntry> entries;
};

// Every newspaper in data order: "National", "World", then the regions one by
// one. The data order fixes the slot numbers the tree gives the newspapers.
std::span<const CatalogueEntry> Catalogue();
// The national titles (the first 66 entries of Catalogue()).
std::span<const CatalogueEntry> NationalEntries();
// The world titles (the 25 entries after the national ones).
std::span<const CatalogueEntry> WorldEntries();
// The 51 regions (50 states and the District of Columbia) in tree order.
std::span<const CatalogueRegion> Regions();

} // namespace lumo
