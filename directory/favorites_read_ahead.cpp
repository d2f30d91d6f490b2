#include "directory/favorites_read_ahead.h"

#include <algorithm>
#include <cstdint>
#include <future>
#include <utility>

#include <libxml/parser.h>

#include "common/resource_ids.h"
#include "directory/catalogue.h"

namespace lumo {

namespace {

// The catalogue's items: its three branches, the regions and the papers.
std::size_t CatalogueItemCount()
{
    return 3 + Regions().size() + Catalogue().size();
}

FavoritesPart MakeFavoritesPart(std::string path, std::vector<FavoriteEntry> read)
{
    // Sorted by the first eight bytes of each folded title, read as one
    // number, and only where those are equal by the whole titles.
    struct Keyed
    {
        std::uint64_t prefix;
        std::size_t place;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(read.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        std::uint64_t prefix = 0;
        const std::string folded = FoldDisplayText(std::string_view(read[i].title).substr(0, 8));
        for (std::size_t b = 0; b < 8; ++b)
            prefix = prefix << 8 | (b < folded.size() ? static_cast<unsigned char>(folded[b]) : 0);
        keyed.push_back({prefix, i});
    }
    std::sort(keyed.begin(), keyed.end(), [&read](const Keyed& a, const Keyed& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        if (int order = CompareDisplayText(read[a.place].title, read[b.place].title))
            return order < 0;
        return a.place < b.place;
    });

    FavoritesPart part{std::move(path), {}, {}, read.size(), {}};
    const std::size_t slots = std::max(kInitialURLSlots, 1 + read.size() + CatalogueItemCount());
    part.slots.reserve(slots);
    part.slots.emplace_back();
    for (FavoriteEntry& entry : read)
        part.slots.push_back(std::move(entry.url));
    part.slots.resize(slots);
    part.tree.Reserve(2 + read.size() + CatalogueItemCount());
    const auto root =
        part.tree.InsertItem(DirectoryTree::kTop, kAppName, DirectoryTree::Position::Last);
    const auto branch =
        part.tree.InsertItem(root, std::string(kMyFavoritesBranch), DirectoryTree::Position::Last);
    // Each after the last, instead of moving the ones after it.
    for (const Keyed& entry : keyed)
        part.tree.InsertItem(branch, std::move(read[entry.place].title),
                             DirectoryTree::Position::Sorted, static_cast<int>(1 + entry.place));
    return part;
}

FavoritesPart ReadFavoritesPart(const std::string& path, FavoritesReporter& reporter)
{
    FavoritesFileState state = FavoritesFileState::Read;
    FavoritesPart part =
        MakeFavoritesPart(path, FavoritesStore(path, reporter).LoadFavorites(&state));
    part.state = state;
    return part;
}

// Keeps what reading the file says, to be said on the main thread.
class CollectingReporter : public FavoritesReporter
{
public:
    void ShowMessage(const std::string& utf8Text) override { messages.push_back(utf8Text); }
    std::vector<std::string> messages;
};

std::future<FavoritesPart>& FavoritesAhead()
{
    static std::future<FavoritesPart> ahead;
    return ahead;
}

} // namespace

void FavoritesReadAhead::Start(std::string path)
{
    if (FavoritesAhead().valid())
        return;
    xmlInitParser(); // once, on this thread, before another thread parses
    FavoritesAhead() = std::async(std::launch::async, [path = std::move(path)] {
        CollectingReporter reporter;
        FavoritesPart favorites = ReadFavoritesPart(path, reporter);
        favorites.messages = std::move(reporter.messages);
        return favorites;
    });
}

void FavoritesReadAhead::Keep(std::vector<FavoriteEntry> read)
{
    m_kept = std::move(read);
}

FavoritesPart FavoritesReadAhead::Next(const std::string& path, FavoritesReporter& reporter)
{
    std::optional<FavoritesPart> favorites;
    if (m_kept) {
        favorites = MakeFavoritesPart(path, std::move(*m_kept));
        m_kept.reset();
    } else if (FavoritesAhead().valid()) {
        favorites = FavoritesAhead().get();
        if (favorites->path == path)
            for (const std::string& message : favorites->messages)
                reporter.ShowMessage(message);
        else
            favorites.reset();
    }
    if (!favorites)
        favorites = ReadFavoritesPart(path, reporter);
    return std::move(*favorites);
}

} // namespace lumo
