// The compiled filters on disk: a file cut short, changed by a bit, or
// replaced by a folder no longer passes for the one recorded, the records
// survive their state file and refuse a damaged one, and what WebKit's
// compiler left in the temporary folder goes unless a process has it open.
#include "content_filter/filter_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

using namespace lumo::content_filter;
using lumo::test::FileExists;
using lumo::test::TempDir;
using lumo::test::WriteFile;

TEST(ContentFilterStore, ADamagedCompiledFileIsToldFromTheOneRecorded)
{
    TempDir store;
    const std::string bytes(100000, '\x5a');
    WriteFile(CompiledFile(store.Path(), "shipped-ads-1"), bytes);
    const std::optional<CompiledRecord> record = RecordOf(store.Path(), "shipped-ads-1");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->size, bytes.size());
    EXPECT_TRUE(Intact(store.Path(), *record));

    // Cut short, and changed by one bit at the same size.
    WriteFile(CompiledFile(store.Path(), "shipped-ads-1"), bytes.substr(0, 4096));
    EXPECT_FALSE(Intact(store.Path(), *record));
    std::string flipped = bytes;
    flipped[77777] ^= 0x04;
    WriteFile(CompiledFile(store.Path(), "shipped-ads-1"), flipped);
    EXPECT_FALSE(Intact(store.Path(), *record));

    // A folder where the file goes is no file, and room is made for one.
    const auto folder = CompiledFile(store.Path(), "shipped-trackers-1");
    std::filesystem::create_directories(folder / "inside");
    EXPECT_FALSE(RecordOf(store.Path(), "shipped-trackers-1"));
    EXPECT_FALSE(Intact(store.Path(), {"shipped-trackers-1", 0, record->sum}));
    ClearPlaceOf(store.Path(), "shipped-trackers-1");
    ClearPlaceOf(store.Path(), "shipped-ads-1"); // a file stays for WebKit to replace
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(FileExists(CompiledFile(store.Path(), "shipped-ads-1")));
    EXPECT_FALSE(Intact(store.Path(), {"missing", 0, record->sum}));
}

TEST(ContentFilterStore, RecordsAreReadBackAndADamagedStateReadsAsNone)
{
    const std::vector<CompiledRecord> records = {{"fresh-a-ads-1", 31457280, "0123456789abcdef"},
                                                 {"fresh-a-trackers-1", 17, "fedcba9876543210"}};
    EXPECT_EQ(ParseRecords(FormatRecords(records)), records);
    EXPECT_EQ(ParseRecords(""), std::vector<CompiledRecord>{});
    // The older form, one id a line, and damage: compiled again.
    EXPECT_FALSE(ParseRecords("fresh-a-ads-1\nfresh-a-trackers-1\n"));
    EXPECT_FALSE(ParseRecords("fresh-a-ads-1 12x 0123\n"));
    EXPECT_FALSE(ParseRecords("fresh-a-ads-1 12 0123 more\n"));
}

TEST(ContentFilterStore, CompileLeftoversGoUnlessAProcessHasThemOpen)
{
    TempDir temp;
    WriteFile(temp.File("ContentRuleList-vakjLJ"), std::string(1 << 20, 'x'));
    WriteFile(temp.File("ContentRuleList-28GOSW"), "being written");
    WriteFile(temp.File("ContentRuleList-shipped-ads-1"), "not a leftover's name");
    WriteFile(temp.File("other-abcdef"), "someone else's");
    std::filesystem::create_directories(temp.File("ContentRuleList-dirXYZ"));
    const int held = open(temp.File("ContentRuleList-28GOSW").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);

    EXPECT_EQ(RemoveCompileLeftovers(temp.Path()), 1);
    EXPECT_FALSE(FileExists(temp.File("ContentRuleList-vakjLJ")));
    EXPECT_TRUE(FileExists(temp.File("ContentRuleList-28GOSW")));
    EXPECT_TRUE(FileExists(temp.File("ContentRuleList-shipped-ads-1")));
    EXPECT_TRUE(FileExists(temp.File("other-abcdef")));
    EXPECT_TRUE(std::filesystem::is_directory(temp.File("ContentRuleList-dirXYZ")));
    close(held);
    EXPECT_EQ(RemoveCompileLeftovers(temp.Path()), 1);
    EXPECT_EQ(RemoveCompileLeftovers(temp.File("missing")), 0);
}
