// The favorites store's three operations beside libxml2 alone parsing (and
// saving) the same file. Files of 10, 1,395 (the most the tree can show) and
// 100,000 entries; the directory is $LUMO_BENCH_DIR, else the system's
// temporary directory. A change flushes the new file to disk, so its cost
// depends on the file system: compare a disk with /dev/shm.
#include "favorites/favorites_store.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <unistd.h>

namespace {

class IgnoringReporter : public lumo::FavoritesReporter
{
public:
    void ShowMessage(const std::string&) override {}
};

std::string Title(int i)
{
    return "Newspaper number " + std::to_string(i);
}

std::string Url(int i)
{
    return "https://news" + std::to_string(i) + ".example.com/index.html?edition=intl&lang=en";
}

std::string FavoritesXml(int entries)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n";
    for (int i = 0; i < entries; ++i)
        xml += "  <Favorite>\n    <title>" + Title(i) + "</title>\n    <url>" +
               std::string(Url(i)).replace(Url(i).find('&'), 1, "&amp;") +
               "</url>\n  </Favorite>\n";
    return xml + "</Favorites>\n";
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

// A temporary directory for the benchmark's files, removed at exit.
class BenchDirectory
{
public:
    BenchDirectory()
    {
        const char* base = std::getenv("LUMO_BENCH_DIR");
        std::string pattern =
            (base ? std::string(base) : std::filesystem::temp_directory_path().string()) +
            "/lumo-fav-bench-XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed in " + pattern);
        m_path = pattern;
    }
    ~BenchDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

const std::string& BenchDir()
{
    static const BenchDirectory dir;
    return dir.Path();
}

// The favorites file of `entries` entries, its path and its original bytes.
struct Fixture
{
    std::string path;
    std::string bytes;
};

const Fixture& FileWith(int entries)
{
    static std::map<int, Fixture> files;
    auto it = files.find(entries);
    if (it == files.end()) {
        Fixture fixture{BenchDir() + "/Favorites-" + std::to_string(entries) + ".xml",
                        FavoritesXml(entries)};
        WriteBytes(fixture.path, fixture.bytes);
        it = files.emplace(entries, std::move(fixture)).first;
    }
    return it->second;
}

// Times one run of `operation` alone; `restore` runs untimed after it.
template <typename Operation, typename Restore>
void Measure(benchmark::State& state, Operation operation, Restore restore)
{
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = operation();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (!ok) {
            state.SkipWithError("operation failed");
            break;
        }
        restore();
    }
}

void BM_LibxmlParse(benchmark::State& state)
{
    const Fixture& file = FileWith(static_cast<int>(state.range(0)));
    Measure(
        state,
        [&] {
            xmlDoc* doc = xmlReadFile(file.path.c_str(), nullptr, XML_PARSE_NONET);
            xmlFreeDoc(doc);
            return doc != nullptr;
        },
        [] {});
}

void BM_LibxmlParseAndSave(benchmark::State& state)
{
    const Fixture& file = FileWith(static_cast<int>(state.range(0)));
    const std::string copy = file.path + ".saved";
    Measure(
        state,
        [&] {
            xmlDoc* doc = xmlReadFile(file.path.c_str(), nullptr, XML_PARSE_NONET);
            const bool saved = doc && xmlSaveFileEnc(copy.c_str(), doc, "UTF-8") >= 0;
            xmlFreeDoc(doc);
            return saved;
        },
        [] {});
}

void BM_LoadFavorites(benchmark::State& state)
{
    const int entries = static_cast<int>(state.range(0));
    IgnoringReporter reporter;
    const lumo::FavoritesStore store(FileWith(entries).path, reporter);
    Measure(
        state, [&] { return store.LoadFavorites().size() == static_cast<std::size_t>(entries); },
        [] {});
}

// The same through the file's whole tree, the way files beyond plain entries are read.
void BM_LoadFavoritesThroughTree(benchmark::State& state)
{
    const int entries = static_cast<int>(state.range(0));
    IgnoringReporter reporter;
    const lumo::FavoritesStore store(FileWith(entries).path, reporter);
    Measure(
        state,
        [&] {
            return store.LoadFavoritesThroughTree().size() == static_cast<std::size_t>(entries);
        },
        [] {});
}

// The duplicate check reads every entry. The file is put back after each run.
void BM_AddFavorite(benchmark::State& state)
{
    const Fixture& file = FileWith(static_cast<int>(state.range(0)));
    IgnoringReporter reporter;
    const lumo::FavoritesStore store(file.path, reporter);
    Measure(
        state, [&] { return store.AddFavorite("Le Monde", "https://www.lemonde.fr/?a=1&b=2"); },
        [&] { WriteBytes(file.path, file.bytes); });
}

// Deletes the last entry, so that the whole list is read.
void BM_DeleteFavorite(benchmark::State& state)
{
    const int entries = static_cast<int>(state.range(0));
    const Fixture& file = FileWith(entries);
    IgnoringReporter reporter;
    const lumo::FavoritesStore store(file.path, reporter);
    Measure(
        state, [&] { return store.DeleteFavorite(Title(entries - 1), Url(entries - 1)); },
        [&] { WriteBytes(file.path, file.bytes); });
}

// The fastest of the repetitions is the one least disturbed by the rest of
// the machine: run with --benchmark_repetitions=5 or more.
double Fastest(const std::vector<double>& times)
{
    return *std::min_element(times.begin(), times.end());
}

#define LUMO_SIZES                                                                                 \
    ->Arg(10)                                                                                      \
        ->Arg(1395)                                                                                \
        ->Arg(100000)                                                                              \
        ->Unit(benchmark::kMicrosecond)                                                            \
        ->UseManualTime()                                                                          \
        ->ComputeStatistics("min", Fastest)
BENCHMARK(BM_LibxmlParse) LUMO_SIZES;
BENCHMARK(BM_LoadFavorites) LUMO_SIZES;
BENCHMARK(BM_LoadFavoritesThroughTree) LUMO_SIZES;
BENCHMARK(BM_LibxmlParseAndSave) LUMO_SIZES;
BENCHMARK(BM_AddFavorite) LUMO_SIZES;
BENCHMARK(BM_DeleteFavorite) LUMO_SIZES;

} // namespace

BENCHMARK_MAIN();
