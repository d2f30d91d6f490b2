// Adds an arbitrary (name, address) to an arbitrary favorites file, then
// deletes it again. Besides the sanitizers it checks what a change promises:
// a refused add leaves the file byte for byte; an accepted one appends
// exactly the trimmed pair to the list, and deleting it gives back the list
// as it was; a delete removes at most one entry and keeps the order.
#include "fuzz_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// True when `after` is `before` with at most one entry taken out.
bool LostAtMostOne(const std::vector<lumo::FavoriteEntry>& before,
                   const std::vector<lumo::FavoriteEntry>& after)
{
    if (after.size() == before.size())
        return after == before;
    if (after.size() + 1 != before.size())
        return false;
    const auto [kept, removed] = std::mismatch(after.begin(), after.end(), before.begin());
    return std::equal(kept, after.end(), removed + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace lumo;
    static const fuzz::FuzzFile file;
    FuzzedDataProvider input(data, size);
    const std::string name = input.ConsumeRandomLengthString(64);
    const std::string url = input.ConsumeRandomLengthString(128);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    file.Write(bytes);

    fuzz::CapturingReporter reporter;
    const FavoritesStore store(file.Path(), reporter);
    const std::vector<FavoriteEntry> before = store.LoadFavorites();

    if (!store.AddFavorite(name, url)) {
        fuzz::Check(file.Read() == bytes, "a refused add changed the file");
        // A blank text is refused quietly; any other refusal says why, once.
        fuzz::Check(reporter.messages.size() <= 1, "an add showed more than one message");
        if (store.DeleteFavorite(name, url))
            fuzz::Check(LostAtMostOne(before, store.LoadFavorites()),
                        "a delete lost more than one entry");
    } else {
        fuzz::Check(reporter.messages.empty(), "a successful add showed a message");
        std::vector<FavoriteEntry> expected = before;
        expected.push_back({TrimFavoriteText(name), TrimFavoriteText(url)});
        fuzz::Check(store.LoadFavorites() == expected, "an add did not append exactly its entry");
        fuzz::Check(store.DeleteFavorite(name, url), "deleting the entry just added failed");
        fuzz::Check(store.LoadFavorites() == before, "add then delete changed the list");
    }
    fuzz::Check(file.IsAlone(), "a temporary file was left behind");
    return 0;
}
