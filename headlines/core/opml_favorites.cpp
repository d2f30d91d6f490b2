#include "headlines/core/opml_favorites.h"

#include "common/address_text.h"
#include "common/file_replacement.h"
#include "headlines/core/headlines_store.h"
#include "headlines/core/xml_support.h"

#include <cctype>
#include <memory>
#include <unistd.h>

namespace headlines {

namespace {

// "1 favorite", "3 favorites".
std::string Count(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

std::string ImportSummary(std::size_t added, std::size_t already)
{
    if (added == 0)
        return already == 1 ? "Nothing was added: the favorite was already there."
                            : "Nothing was added: all " + std::to_string(already) +
                                  " favorites were already there.";
    std::string text = "Added " + Count(added, "favorite", "favorites");
    if (already == 1)
        text += "; 1 was already there";
    else if (already > 1)
        text += "; " + std::to_string(already) + " were already there";
    return text + ".";
}

std::string LeftOut(std::size_t unusable)
{
    if (unusable == 0)
        return {};
    return unusable == 1 ? " 1 outline was left out: it has no web address."
                         : " " + std::to_string(unusable) +
                               " outlines were left out: they have no web address.";
}

const char* ReplaceFailureText(lumo::ReplaceFailure failure)
{
    switch (failure) {
    case lumo::ReplaceFailure::ReadOnlyFile:
        return "the file is read-only";
    case lumo::ReplaceFailure::NotAFile:
        return "that is not a file";
    case lumo::ReplaceFailure::FolderNotWritable:
        return "its folder cannot be written to";
    case lumo::ReplaceFailure::DiskFull:
        return "the disk is full";
    default:
        return "it could not be written";
    }
}

// The feeds of an import go to favorites that have no choice yet: a feed
// the user picked, or their choice of none, stays.
std::string KeepFeeds(const std::vector<OpmlOutline>& outlines, const std::string& databasePath)
{
    StoreOpenResult opened = HeadlinesStore::Open(databasePath);
    if (!opened.store)
        return " Their feeds were not kept. " + opened.error + ".";
    std::string said = opened.notice.empty() ? std::string() : " " + opened.notice;
    for (const OpmlOutline& outline : outlines) {
        if (outline.xmlUrl.empty())
            continue;
        const lumo::FavoriteEntry favorite = FavoriteOfOutline(outline);
        if (opened.store->FeedOfFavorite(favorite.url).choice != FeedChoice::NotLookedFor)
            continue;
        if (!opened.store->SetFavoriteFeed(favorite.url, favorite.title, outline.xmlUrl))
            return said + " The feeds could not all be kept: " + opened.store->LastError() + ".";
    }
    return said;
}

} // namespace

std::string SiteOf(std::string_view address)
{
    const auto separator = address.find("://");
    if (separator == std::string_view::npos)
        return {};
    std::string_view authority = address.substr(separator + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (authority.empty())
        return {};
    std::string site(address.substr(0, separator));
    for (char& c : site)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return site.append("://").append(authority).append("/");
}

lumo::FavoriteEntry FavoriteOfOutline(const OpmlOutline& outline)
{
    lumo::FavoriteEntry favorite;
    favorite.url = outline.htmlUrl.empty() ? SiteOf(outline.xmlUrl) : outline.htmlUrl;
    favorite.title = lumo::TrimFavoriteText(outline.title);
    if (favorite.title.empty())
        favorite.title = lumo::HostOf(favorite.url);
    return favorite;
}

std::vector<OpmlOutline>
OutlinesOfFavorites(const std::vector<lumo::FavoriteEntry>& favorites,
                    const std::function<std::string(const std::string& page)>& feedOf)
{
    std::vector<OpmlOutline> outlines;
    for (const lumo::FavoriteEntry& favorite : favorites) {
        // What an import would skip is not written.
        if (!ResolveWebAddress(favorite.url, {}))
            continue;
        outlines.push_back({favorite.title, favorite.url, feedOf(favorite.url)});
    }
    return outlines;
}

OpmlImportResult ImportOpmlFavorites(const std::string& opmlPath,
                                     const lumo::FavoritesStore& favorites,
                                     const std::string& databasePath)
{
    const OpmlReadResult read = ReadOpmlFile(opmlPath);
    if (!read.error.empty())
        return {false, read.error};
    if (read.outlines.empty())
        return {false, read.skipped > 0
                           ? "Nothing was imported: no outline of the file has a web "
                             "address (http or https)."
                           : "Nothing was imported: the file lists no papers or feeds."};
    std::vector<lumo::FavoriteEntry> entries;
    entries.reserve(read.outlines.size());
    for (const OpmlOutline& outline : read.outlines)
        entries.push_back(FavoriteOfOutline(outline));
    const lumo::FavoritesStore::AddedFavorites added = favorites.AddFavorites(entries);
    if (!added.done)
        return {};
    return {added.added > 0, ImportSummary(added.added, added.skipped) + LeftOut(read.skipped) +
                                 KeepFeeds(read.outlines, databasePath)};
}

OpmlExportResult ExportOpmlFavorites(const std::vector<lumo::FavoriteEntry>& favorites,
                                     const std::string& opmlPath, const std::string& databasePath)
{
    std::unique_ptr<HeadlinesStore> store;
    std::string feedsUnread;
    if (access(databasePath.c_str(), F_OK) == 0) {
        StoreOpenResult opened = HeadlinesStore::Open(databasePath);
        store = std::move(opened.store);
        if (!store)
            feedsUnread = " Their feeds could not be read. " + opened.error + ".";
    }
    std::size_t withFeed = 0;
    const std::vector<OpmlOutline> outlines =
        OutlinesOfFavorites(favorites, [&](const std::string& page) {
            const FavoriteFeed feed = store ? store->FeedOfFavorite(page) : FavoriteFeed{};
            if (feed.choice != FeedChoice::Feed)
                return std::string();
            ++withFeed;
            return feed.feedAddress;
        });
    if (outlines.empty())
        return {false, "Nothing was exported: no favorite has a web address."};
    const std::string bytes = WriteOpml(outlines, "Newspapers");
    lumo::FileReplacement file;
    if (!file.Begin(opmlPath) || !file.Write(bytes.data(), bytes.size()) || !file.Commit())
        return {false, "The favorites could not be exported to " + opmlPath + ": " +
                           ReplaceFailureText(file.Failure()) + "."};
    std::string message = "Exported " + Count(outlines.size(), "favorite", "favorites");
    if (withFeed > 0)
        message += " (" + std::to_string(withFeed) + " with a feed)";
    return {true, message + " to " + opmlPath + "." + feedsUnread};
}

} // namespace headlines
