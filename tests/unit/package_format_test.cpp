// The byte layout the packer writes, checked against the installer as shipped.
#include <gtest/gtest.h>

#include "package/package_format.h"
#include "package/package_writer.h"
#include "tests/support/test_files.h"

namespace {

using testing_files::BuildPackagedFile;
using testing_files::LabelName;
using testing_files::PatternBytes;

TEST(PackageFormat, ShippedInstallerLayout) {
    std::vector<uint8_t> host = PatternBytes(102400, 1);
    std::vector<uint8_t> payload = PatternBytes(1269014, 2);
    std::vector<uint8_t> file = BuildPackagedFile(host, {{"myshow.sc", payload}});

    ASSERT_EQ(file.size(), 1371452u);
    const std::vector<uint8_t> tail = {
        0x01, 0x00, 0x00, 0x00,                                     // 0x14ED16 count 1
        0x0A, 0x00, 0x00, 0x00,                                     // 0x14ED1A name length 10
        'm',  'y',  's',  'h',  'o',  'w',  '.',  's',  'c', 0x00,  // 0x14ED1E name and NUL
        0x00, 0x90, 0x01, 0x00,                                     // 0x14ED28 offset 0x19000
        0x16, 0x5D, 0x13, 0x00,                                     // 0x14ED2C size 1,269,014
        0x16, 0xED, 0x14, 0x00,                                     // 0x14ED30 index offset
        0x27, 0x3D, 0x26, 0x29, 0x31, 0x25, 0x3C, 0x36,             // 0x14ED34 magic
    };
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 0x14ED16, file.end()), tail);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), file.begin() + 0x19000));
}

TEST(PackageFormat, EntriesFollowEachOtherAndUnnamedEntriesStoreNoName) {
    std::vector<EntryLayout> entries = {{"a", 3, 0}, {"", 5, 0}, {"bc", 0, 0}};
    uint64_t fileSize = 0;
    ASSERT_EQ(LayOutPackage(10, entries, &fileSize), LayoutError::kNone);
    EXPECT_EQ(entries[0].offset, 10u);
    EXPECT_EQ(entries[1].offset, 13u);
    EXPECT_EQ(entries[2].offset, 18u);
    // count, three records of 12 bytes, names "a\0" and "bc\0", trailer
    EXPECT_EQ(fileSize, 18u + 4 + 36 + 2 + 3 + 12);
    std::vector<uint8_t> index = EncodeIndexAndTrailer(entries, 18);
    EXPECT_EQ(index.size(), fileSize - 18);
    // The unnamed record: name length 0, then offset 13 and size 5 directly.
    const std::vector<uint8_t> unnamed = {0, 0, 0, 0, 13, 0, 0, 0, 5, 0, 0, 0};
    EXPECT_TRUE(std::equal(unnamed.begin(), unnamed.end(), index.begin() + 4 + 14));
}

struct LayoutCase {
    const char* label;
    uint64_t hostSize;
    size_t nameBytes;
    uint32_t entrySize;
    LayoutError expected;
};

class PackageLayoutLimits : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PackageLayoutLimits, RefusesWhatNoReaderCouldRead) {
    const LayoutCase& c = GetParam();
    std::vector<EntryLayout> entries = {{std::string(c.nameBytes, 'n'), c.entrySize, 0}};
    uint64_t fileSize = 0;
    EXPECT_EQ(LayOutPackage(c.hostSize, entries, &fileSize), c.expected) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageLayoutLimits,
    ::testing::Values(
        LayoutCase{"longest name", 100, 498, 10, LayoutError::kNone},
        LayoutCase{"name stored with length 500", 100, 499, 10, LayoutError::kNameTooLong},
        LayoutCase{"just below 2 GiB", 0x7FFFFFFFu - 10 - 12 - 4 - 12 - 2, 1, 10,
                   LayoutError::kNone},
        LayoutCase{"one byte more", 0x7FFFFFFFu - 10 - 12 - 4 - 12 - 1, 1, 10,
                   LayoutError::kTooLarge},
        LayoutCase{"entry pushes past 2 GiB", 1000, 1, 0xFFFFFFF0u, LayoutError::kTooLarge},
        LayoutCase{"host alone past 4 GiB", 0x100000000ull, 1, 1, LayoutError::kTooLarge}),
    LabelName());

}  // namespace
