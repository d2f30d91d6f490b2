// Reads arbitrary bytes as the favorites file. Besides the sanitizers it
// checks that reading never writes, never speaks, trims what it reads and
// reads the same entries with the file's tree as without it.
#include "fuzz_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace lumo;
    static const fuzz::FuzzFile file;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    file.Write(bytes);

    fuzz::CapturingReporter reporter;
    const FavoritesStore store(file.Path(), reporter);
    const std::vector<FavoriteEntry> entries = store.LoadFavorites();
    fuzz::Check(entries == store.LoadFavoritesThroughTree(),
                "reading without the tree differs from reading through it");
    for (const FavoriteEntry& entry : entries)
        fuzz::Check(TrimFavoriteText(entry.title) == entry.title &&
                        TrimFavoriteText(entry.url) == entry.url,
                    "a text read is not trimmed");
    fuzz::Check(reporter.messages.empty(), "reading showed a message");
    fuzz::Check(file.Read() == bytes, "reading changed the file");
    return 0;
}
