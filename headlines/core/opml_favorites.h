#pragma once
// The favorites as an OPML list and back: which favorite an outline of an
// imported list becomes, which outlines an export writes, and the import and
// the export themselves, with what they tell the user. Runs on the main
// thread (it opens the headlines database there).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "favorites/favorites_store.h"
#include "headlines/core/opml.h"

namespace headlines {

// The site of a web address, as an address: "https://example.com:8443/" for
// "https://reader@example.com:8443/feed?x=1". Empty when it has no host.
std::string SiteOf(std::string_view address);

// The favorite an outline becomes: named by its title, else by the host of
// its site; at its page, else at the site of its feed.
lumo::FavoriteEntry FavoriteOfOutline(const OpmlOutline& outline);

// What an export writes: each favorite whose address is a web address, in
// order, with the feed `feedOf` gives for its page (empty for none).
std::vector<OpmlOutline>
OutlinesOfFavorites(const std::vector<lumo::FavoriteEntry>& favorites,
                    const std::function<std::string(const std::string& page)>& feedOf);

struct OpmlImportResult
{
    bool changed = false; // favorites were added
    // What to tell the user; empty when the favorites store has already
    // said why nothing was added.
    std::string message;
};

// Reads the OPML file at `opmlPath` and adds its outlines (folders
// flattened) to `favorites` as one change, skipping those already there. A
// file refused whole (not XML, too large, too many outlines, entities) or
// with no web address in it changes nothing. The feed of each outline that
// has one goes into the headlines database at `databasePath` for its
// favorite, unless the favorite already has a feed or has none by choice.
OpmlImportResult ImportOpmlFavorites(const std::string& opmlPath,
                                     const lumo::FavoritesStore& favorites,
                                     const std::string& databasePath);

struct OpmlExportResult
{
    bool written = false;
    std::string message; // what was written, or why nothing was
};

// Writes `favorites` as an OPML file at `opmlPath`, replacing it safely,
// each with the feed the headlines database at `databasePath` keeps for it.
// A missing database is not created: the favorites go without feeds.
OpmlExportResult ExportOpmlFavorites(const std::vector<lumo::FavoriteEntry>& favorites,
                                     const std::string& opmlPath, const std::string& databasePath);

} // namespace headlines
