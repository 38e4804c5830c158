#include <gtest/gtest.h>
#include <string.h>

#include "package/package_format.h"
#include "package/package_reader.h"
#include "package/signed_file.h"
#include "platform/platform.h"
#include "tests/support/pe_bytes.h"
#include "tests/support/test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace testing_files;

Bytes U32(uint32_t value) {
    Bytes bytes(4);
    EncodeU32(value, bytes.data());
    return bytes;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes Text(const char* text) {
    return Bytes(text, text + strlen(text) + 1);
}

const Bytes kMagic(PACKAGE_MAGIC, PACKAGE_MAGIC + kMagicSize);

Bytes Trailer(uint32_t indexOffset) {
    return Cat({U32(indexOffset), kMagic});
}

class ReaderTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = MakeTempDir(); }
    void TearDown() override { RemoveTree(dir_); }

    std::string Store(const Bytes& bytes, const std::string& name = "host.exe") {
        std::string path = Join(dir_, name);
        WriteFile(path, bytes);
        return path;
    }

    std::string dir_;
};

TEST_F(ReaderTest, RoundTripOfSeveralEntries) {
    Bytes host = PatternBytes(1000, 1);
    Bytes first = PatternBytes(70000, 2);
    Bytes second = PatternBytes(3, 3);
    std::string path =
        Store(BuildPackagedFile(host, {{"show.scr", first}, {"", second}, {"empty", {}}}));

    PackageReader reader;
    ASSERT_EQ(reader.Open(path.c_str()), 1);
    ASSERT_EQ(reader.EntryCount(), 3);
    EXPECT_EQ(reader.EntrySize(0), first.size());
    EXPECT_EQ(reader.EntrySize(1), second.size());
    EXPECT_EQ(reader.EntrySize(2), 0u);
    EXPECT_STREQ(reader.Entry(0)->name, "show.scr");
    EXPECT_EQ(reader.Entry(0)->nameLength, 9u);
    EXPECT_EQ(reader.Entry(1)->nameLength, 0u);
    EXPECT_EQ(reader.Entry(1)->name, nullptr);
    EXPECT_EQ(reader.Entry(0)->offset, 1000u);
    EXPECT_EQ(reader.IndexOffset(), 1000u + 70000 + 3);

    Bytes read(first.size());
    EXPECT_EQ(reader.ReadEntry(0, read.data(), uint32_t(read.size())), first.size());
    EXPECT_EQ(read, first);
    Bytes small(10, 0xEE);
    // Asking for more than the entry holds reads only the entry.
    EXPECT_EQ(reader.ReadEntry(1, small.data(), 10), 3u);
    EXPECT_EQ(Bytes(small.begin(), small.begin() + 3), second);
    EXPECT_EQ(small[3], 0xEE);
    EXPECT_EQ(reader.ReadEntry(0, small.data(), 0), 0u);
    EXPECT_EQ(reader.LastError(), ErrNone);
    EXPECT_EQ(reader.Close(), 1);
}

TEST_F(ReaderTest, MapsAnEntryThatIsNotAlignedToTheGranularity) {
    uint32_t granularity = platform::AllocationGranularity();
    Bytes host = PatternBytes(granularity + granularity / 2 + 3, 4);
    Bytes payload = PatternBytes(3 * granularity + 17, 5);
    std::string path = Store(BuildPackagedFile(host, {{"show.scr", payload}}));

    PackageReader reader;
    ASSERT_EQ(reader.Open(path.c_str()), 1);
    const uint8_t* data = nullptr;
    EntryView* view = reader.MapEntry(0, &data);
    ASSERT_NE(view, nullptr);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(memcmp(data, payload.data(), payload.size()), 0);
    EXPECT_EQ(PackageReader::UnmapEntry(view), 1);
    EXPECT_EQ(reader.LastError(), ErrNone);
}

TEST_F(ReaderTest, AnEmptyEntryMapsToAnEmptyView) {
    std::string path = Store(BuildPackagedFile(PatternBytes(50, 6), {{"empty", {}}}));
    PackageReader reader;
    ASSERT_EQ(reader.Open(path.c_str()), 1);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(1);
    EntryView* view = reader.MapEntry(0, &data);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(PackageReader::UnmapEntry(view), 1);
    EXPECT_EQ(reader.LastError(), ErrNone);
}

TEST_F(ReaderTest, FileWithoutMagicIsAHostWithAnEmptyPackage) {
    std::string path = Store(PatternBytes(5000, 7));
    PackageReader reader;
    EXPECT_EQ(reader.Open(path.c_str()), 1);
    EXPECT_EQ(reader.EntryCount(), 0);
    EXPECT_EQ(reader.LastError(), ErrNone);
}

TEST_F(ReaderTest, MissingFileCannotBeOpened) {
    PackageReader reader;
    EXPECT_EQ(reader.Open(Join(dir_, "missing.exe").c_str()), 0);
    EXPECT_EQ(reader.LastError(), ErrCannotOpen);
    EXPECT_EQ(reader.EntryCount(), 0);
    EXPECT_EQ(reader.LastError(), ErrCannotOpen);
    // The next Open starts afresh.
    std::string path = Store(BuildPackagedFile(PatternBytes(10, 8), {{"a", {1, 2}}}));
    EXPECT_EQ(reader.Open(path.c_str()), 1);
    EXPECT_EQ(reader.EntryCount(), 1);
}

TEST_F(ReaderTest, NotOpenIsRecordedAndSurvivesALaterOpenUntilClose) {
    std::string path = Store(BuildPackagedFile(PatternBytes(10, 9), {{"a", {1, 2}}}));
    PackageReader reader;
    EXPECT_EQ(reader.EntryCount(), 0);
    EXPECT_EQ(reader.LastError(), ErrNotOpen);
    EXPECT_EQ(reader.Open(path.c_str()), 1);
    EXPECT_EQ(reader.EntryCount(), 0);
    EXPECT_EQ(reader.LastError(), ErrNotOpen);
    EXPECT_EQ(reader.Close(), 1);
    EXPECT_EQ(reader.LastError(), ErrNone);
    EXPECT_EQ(reader.Open(path.c_str()), 1);
    EXPECT_EQ(reader.EntryCount(), 1);

    EXPECT_EQ(reader.Close(), 1);
    const uint8_t* data = nullptr;
    EXPECT_EQ(reader.MapEntry(0, &data), nullptr);
    EXPECT_EQ(reader.LastError(), ErrNotOpen);
    EXPECT_EQ(reader.Close(), 1);
    EXPECT_EQ(reader.ReadEntry(0, nullptr, 0), 0u);
    EXPECT_EQ(reader.LastError(), ErrNotOpen);
}

TEST_F(ReaderTest, BadIndexAndMissingOutputAreRecordedAndStickUntilClose) {
    std::string path = Store(BuildPackagedFile(PatternBytes(10, 10), {{"a", {1, 2, 3}}}));
    struct Case {
        int32_t index;
        bool withOutput;
        int32_t expected;
    };
    const Case cases[] = {{1, true, ErrBadIndex}, {-1, true, ErrBadIndex}, {0, false, ErrNoOutput}};
    for (const Case& c : cases) {
        PackageReader reader;
        ASSERT_EQ(reader.Open(path.c_str()), 1);
        const uint8_t* data = nullptr;
        EXPECT_EQ(reader.MapEntry(c.index, c.withOutput ? &data : nullptr), nullptr);
        EXPECT_EQ(reader.LastError(), c.expected);
        // Every entry operation now fails at once, even for a valid index.
        EXPECT_EQ(reader.MapEntry(0, &data), nullptr);
        EXPECT_EQ(reader.EntrySize(0), 0u);
        EXPECT_EQ(reader.EntryCount(), 0);
        EXPECT_EQ(reader.LastError(), c.expected);
        EXPECT_EQ(reader.Close(), 1);
        EXPECT_EQ(reader.EntryCount(), 0);
        EXPECT_EQ(reader.LastError(), ErrNotOpen);
    }
}

TEST_F(ReaderTest, OpenAgainReplacesThePackage) {
    std::string one = Store(BuildPackagedFile(PatternBytes(10, 11), {{"a", {1}}}), "one.exe");
    std::string two =
        Store(BuildPackagedFile(PatternBytes(20, 12), {{"b", {1, 2}}, {"c", {3}}}), "two.exe");
    PackageReader reader;
    ASSERT_EQ(reader.Open(one.c_str()), 1);
    ASSERT_EQ(reader.Open(two.c_str()), 1);
    EXPECT_EQ(reader.EntryCount(), 2);
    EXPECT_STREQ(reader.Entry(0)->name, "b");
}

TEST(EntryTable, GrowsBy64AndResetsToCapacityZero) {
    EntryTable table;
    EXPECT_EQ(table.Capacity(), 0u);
    for (uint32_t i = 0; i < 130; ++i) {
        PackageEntry* entry = static_cast<PackageEntry*>(calloc(1, sizeof(PackageEntry)));
        entry->size = i;
        ASSERT_TRUE(table.Append(entry));
        uint32_t expected = (i / 64 + 1) * 64;
        ASSERT_EQ(table.Capacity(), expected) << "after appending entry " << i;
    }
    EXPECT_EQ(table.Count(), 130u);
    EXPECT_EQ(table.At(129)->size, 129u);
    table.Reset();
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.Capacity(), 0u);
}

// A host of 16 bytes with one entry "a" of 4 bytes at offset 16; the index starts at 20.
const Bytes kHost = Bytes(16, 0x90);
const Bytes kEntry = {1, 2, 3, 4};
Bytes Record(uint32_t nameLength, const Bytes& name, uint32_t offset, uint32_t size) {
    return Cat({U32(nameLength), name, U32(offset), U32(size)});
}
Bytes Damaged(const Bytes& index, uint32_t indexOffset = 20) {
    return Cat({kHost, kEntry, index, Trailer(indexOffset)});
}

struct DamageCase {
    const char* label;
    Bytes file;
    int expectedOpen;
    int32_t expectedError;
    int32_t expectedCount;
};

class DamagedPackage : public ReaderTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedPackage, OpensSafelyWithTheExpectedResult) {
    const DamageCase& c = GetParam();
    std::string path = Store(c.file);
    PackageReader reader;
    EXPECT_EQ(reader.Open(path.c_str()), c.expectedOpen) << c.label;
    EXPECT_EQ(reader.LastError(), c.expectedError) << c.label;
    EXPECT_EQ(reader.EntryCount(), c.expectedCount) << c.label;
}

const Bytes kGoodRecord = Record(2, Text("a"), 16, 4);

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedPackage,
    ::testing::Values(
        DamageCase{"valid", Damaged(Cat({U32(1), kGoodRecord})), 1, ErrNone, 1},
        DamageCase{"count 0 is an empty package", Damaged(U32(0)), 1, ErrNone, 0},
        DamageCase{"record without a name", Damaged(Cat({U32(1), Record(0, {}, 16, 4)})), 1,
                   ErrNone, 1},
        DamageCase{"no magic", Cat({kHost, kEntry, Bytes(12, 0)}), 1, ErrNone, 0},
        DamageCase{"empty file", {}, 0, ErrIo, 0},
        DamageCase{"7 bytes", Bytes(kMagic.begin() + 1, kMagic.end()), 0, ErrIo, 0},
        DamageCase{"only the magic", kMagic, 0, ErrIo, 0},
        DamageCase{"11 bytes ending in the magic", Cat({Bytes(3, 0), kMagic}), 0, ErrIo, 0},
        DamageCase{"trailer alone", Trailer(0), 0, ErrIo, 0},
        DamageCase{"index offset past the end", Damaged(Cat({U32(1), kGoodRecord}), 5000), 0, ErrIo,
                   0},
        DamageCase{"index offset inside the trailer",
                   Damaged(Cat({U32(1), kGoodRecord}), 20 + 4 + 14 + 2), 0, ErrIo, 0},
        DamageCase{"index offset 0xFFFFFFFF", Damaged(Cat({U32(1), kGoodRecord}), 0xFFFFFFFFu), 0,
                   ErrIo, 0},
        DamageCase{"count larger than the records", Damaged(Cat({U32(2), kGoodRecord})), 0, ErrIo,
                   0},
        DamageCase{"count 0xFFFFFFFF", Damaged(Cat({U32(0xFFFFFFFFu), kGoodRecord})), 0, ErrIo, 0},
        DamageCase{"name length 500", Damaged(Cat({U32(1), Record(500, Bytes(500, 'x'), 16, 4)})),
                   0, ErrIo, 0},
        DamageCase{"name length 0xFFFFFFFF", Damaged(Cat({U32(1), Record(0xFFFFFFFFu, {}, 16, 4)})),
                   0, ErrIo, 0},
        // The installer ignores names: a name that lost its NUL costs nothing.
        DamageCase{"name without its NUL", Damaged(Cat({U32(1), Record(2, {'a', 'b'}, 16, 4)})), 1,
                   ErrNone, 1},
        DamageCase{"entry past the end", Damaged(Cat({U32(1), Record(2, Text("a"), 16, 500)})), 0,
                   ErrIo, 0},
        DamageCase{"entry offset past the end",
                   Damaged(Cat({U32(1), Record(2, Text("a"), 5000, 4)})), 0, ErrIo, 0},
        DamageCase{"entry whose end wraps around",
                   Damaged(Cat({U32(1), Record(2, Text("a"), 0xFFFFFFF0u, 0x20)})), 0, ErrIo, 0}),
    LabelName());

TEST_F(ReaderTest, ANameWithoutItsNulIsKeptAsStored) {
    std::string path = Store(Damaged(Cat({U32(1), Record(2, {'a', 'b'}, 16, 4)})));
    PackageReader reader;
    ASSERT_EQ(reader.Open(path.c_str()), 1);
    ASSERT_EQ(reader.EntryCount(), 1);
    EXPECT_EQ(reader.Entry(0)->nameLength, 2u);
    EXPECT_EQ(Bytes(reader.Entry(0)->name, reader.Entry(0)->name + 2), Bytes({'a', 'b'}));
    Bytes read(4);
    EXPECT_EQ(reader.ReadEntry(0, read.data(), 4), 4u);
    EXPECT_EQ(read, kEntry);
}

// A packaged host with PE headers, signed afterwards: `padding` zero bytes, then a
// certificate table, as a signing tool leaves it.
Bytes SignedInstaller(uint16_t kind, size_t padding, const Bytes& payload, const Bytes& notes) {
    PeHeader header;
    header.magic = kind;
    Bytes file = BuildPackagedFile(MakePeHead(header), {{"show.scr", payload}, {"notes", notes}});
    AppendCertificateTable(file, padding, 2000 + uint32_t(padding));
    return file;
}

TEST_F(ReaderTest, SignedInstallersOpenAndTheirEntriesReadExactly) {
    const Bytes notes = PatternBytes(100, 32);
    for (uint16_t kind : {kPe32, kPe32Plus}) {
        for (size_t padding = 0; padding <= kMaxSignPadding; ++padding) {
            SCOPED_TRACE("kind " + std::to_string(kind) + ", padding " + std::to_string(padding));
            const Bytes payload = PatternBytes(70000 + padding, 31);
            std::string path = Store(SignedInstaller(kind, padding, payload, notes));
            PackageReader reader;
            ASSERT_EQ(reader.Open(path.c_str()), 1);
            ASSERT_EQ(reader.EntryCount(), 2);
            Bytes read(payload.size());
            EXPECT_EQ(reader.ReadEntry(0, read.data(), uint32_t(read.size())), payload.size());
            EXPECT_EQ(read, payload);
            const uint8_t* data = nullptr;
            EntryView* view = reader.MapEntry(1, &data);
            ASSERT_NE(view, nullptr);
            EXPECT_EQ(Bytes(data, data + notes.size()), notes);
            EXPECT_EQ(PackageReader::UnmapEntry(view), 1);
            EXPECT_EQ(reader.LastError(), ErrNone);
        }
    }
}

// The package of a signed file ends before the table: every bound holds there, not at the end
// of the file.
struct SignedDamageCase {
    const char* label;
    uint32_t entrySize;    // of the one entry at 0x200, whose 4 bytes the file holds
    uint32_t indexOffset;  // 0: where the index is
    int expectedOpen;
    int32_t expectedCount;
};

class SignedDamage : public ReaderTest, public ::testing::WithParamInterface<SignedDamageCase> {};

TEST_P(SignedDamage, BoundsEndBeforeTheCertificateTable) {
    const SignedDamageCase& c = GetParam();
    Bytes file = MakePeHead(PeHeader());
    const uint32_t entryAt = uint32_t(file.size());
    const uint32_t indexAt = entryAt + uint32_t(kEntry.size());
    file = Cat({file, kEntry, U32(1), Record(2, Text("a"), entryAt, c.entrySize),
                Trailer(c.indexOffset ? c.indexOffset : indexAt)});
    AppendCertificateTable(file, 5, 64);
    std::string path = Store(file);
    PackageReader reader;
    EXPECT_EQ(reader.Open(path.c_str()), c.expectedOpen);
    EXPECT_EQ(reader.LastError(), c.expectedOpen ? ErrNone : ErrIo);
    EXPECT_EQ(reader.EntryCount(), c.expectedCount);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignedDamage,
    ::testing::Values(
        SignedDamageCase{"sound", 4, 0, 1, 1},
        SignedDamageCase{"entry reaching the trailer", 4 + 4 + 14 + 12, 0, 1, 1},
        SignedDamageCase{"entry running into the padding", 4 + 4 + 14 + 12 + 1, 0, 0, 0},
        SignedDamageCase{"entry running into the table", 4 + 4 + 14 + 12 + 5 + 10, 0, 0, 0},
        SignedDamageCase{"index offset past the package", 4, 0x200 + 4 + 4 + 14 + 12 + 2, 0, 0},
        SignedDamageCase{"index offset in the table", 4, 0x200 + 4 + 4 + 14 + 12 + 5 + 20, 0, 0},
        SignedDamageCase{"index offset that lies", 4, 0x200 + 2, 0, 0}),
    LabelName());

// Every cut of the index before its last byte, with the trailer still in place: a download
// whose index was damaged. None may crash, and none may open.
TEST_F(ReaderTest, IndexCutAtEveryFieldIsRefused) {
    Bytes index = Cat({U32(2), kGoodRecord, Record(0, {}, 18, 2)});
    for (size_t cut = 0; cut < index.size(); ++cut) {
        std::string path = Store(Damaged(Bytes(index.begin(), index.begin() + long(cut))));
        PackageReader reader;
        EXPECT_EQ(reader.Open(path.c_str()), 0) << "index cut after " << cut << " bytes";
        EXPECT_EQ(reader.LastError(), ErrIo) << "index cut after " << cut << " bytes";
        EXPECT_EQ(reader.EntryCount(), 0);
    }
}

// A download cut anywhere loses the trailer: the file then reads as a host without a
// package, or as too short to carry one.
TEST_F(ReaderTest, FileCutAnywhereNeverOpensAPackage) {
    Bytes whole = Damaged(Cat({U32(1), kGoodRecord}));
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        std::string path = Store(Bytes(whole.begin(), whole.begin() + long(cut)));
        PackageReader reader;
        int opened = reader.Open(path.c_str());
        EXPECT_EQ(opened, cut < kMagicSize ? 0 : 1) << "file cut after " << cut << " bytes";
        EXPECT_EQ(reader.EntryCount(), 0) << "file cut after " << cut << " bytes";
    }
}

// Parts of an entry, each starting off the granularity, map to exactly their bytes; a part that
// is empty or reaches past the entry is refused and recorded.
TEST_F(ReaderTest, MapsPartsOfAnEntry) {
    const uint32_t granularity = platform::AllocationGranularity();
    const Bytes payload = PatternBytes(2 * granularity + 100, 13);
    std::string path = Store(BuildPackagedFile(PatternBytes(granularity / 2 + 5, 14),
                                               {{"show.scr", payload}, {"next", {1, 2, 3}}}));
    struct Part {
        uint32_t start;
        uint32_t length;
        bool maps;
    };
    const uint32_t size = uint32_t(payload.size());
    const Part parts[] = {
        {0, size, true},
        {1, granularity, true},
        {granularity + 7, size - granularity - 7, true},
        {size - 1, 1, true},
        {0, 0, false},
        {size, 1, false},
        {1, size, false},
        {0xFFFFFFFFu, 2, false},
    };
    for (const Part& part : parts) {
        PackageReader reader;
        ASSERT_EQ(reader.Open(path.c_str()), 1);
        const uint8_t* data = nullptr;
        EntryView* view = reader.MapEntryPart(0, part.start, part.length, &data);
        SCOPED_TRACE(testing::Message() << "part at " << part.start << ", " << part.length);
        if (!part.maps) {
            EXPECT_EQ(view, nullptr);
            EXPECT_EQ(reader.LastError(), ErrBadIndex);
            continue;
        }
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(memcmp(data, payload.data() + part.start, part.length), 0);
        EXPECT_EQ(PackageReader::UnmapEntry(view), 1);
        EXPECT_EQ(reader.LastError(), ErrNone);
    }
}

}  // namespace
