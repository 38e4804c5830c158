// The signed-file locator over hand-made files: where does the package end?
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "package/package_format.h"
#include "package/signed_file.h"
#include "tests/support/pe_bytes.h"
#include "tests/support/test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace testing_files;

// The last byte of a package is the magic's, which is not zero.
const uint8_t kPackageLastByte = PACKAGE_MAGIC[kMagicSize - 1];

// Host headers, then 1000 bytes standing for the package, ending as a package ends.
Bytes Unsigned(const PeHeader& header = PeHeader()) {
    Bytes file = MakePeHead(header);
    Bytes body = PatternBytes(1000, 21);
    body.back() = kPackageLastByte;
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

Bytes Signed(const PeHeader& header, size_t padding, uint32_t tableSize = 1544) {
    Bytes file = Unsigned(header);
    AppendCertificateTable(file, padding, tableSize);
    return file;
}

const size_t kPackageEnd = 0x200 + 1000;

PeHeader Pe32Plus() {
    PeHeader header;
    header.magic = kPe32Plus;
    return header;
}

// A file signed after the fact, with its certificate directory then changed by `change`.
Bytes SignedThen(const std::function<void(Bytes&)>& change, const PeHeader& header = PeHeader()) {
    Bytes file = Signed(header, 0);
    change(file);
    return file;
}

// The locator as the reader uses it. The bytes are copied to a block of exactly their size, so
// that the sanitizer reports any read beyond what the locator is given.
size_t PackageEndOf(const Bytes& file) {
    const uint32_t size = uint32_t(file.size());
    const uint32_t headSize = size < kSignedHeadSize ? size : kSignedHeadSize;
    std::unique_ptr<uint8_t[]> head(new uint8_t[headSize]);
    std::copy(file.begin(), file.begin() + headSize, head.get());
    const uint32_t tableStart = CertificateTableStart(head.get(), headSize, size);
    if (tableStart == size) {
        return size;
    }
    const uint32_t count = tableStart < kMaxSignPadding ? tableStart : kMaxSignPadding;
    std::unique_ptr<uint8_t[]> before(new uint8_t[count]);
    std::copy(file.begin() + (tableStart - count), file.begin() + tableStart, before.get());
    return StepBackOverPadding(before.get(), count, tableStart);
}

struct LocatorCase {
    const char* label;
    Bytes file;
    size_t expectedEnd;  // 0: the end of the file
};

class SignedFileLocator : public ::testing::TestWithParam<LocatorCase> {};

TEST_P(SignedFileLocator, FindsWhereThePackageEnds) {
    const LocatorCase& c = GetParam();
    const size_t expected = c.expectedEnd ? c.expectedEnd : c.file.size();
    EXPECT_EQ(PackageEndOf(c.file), expected) << c.label;
}

Bytes Cut(const Bytes& file, size_t size) {
    return Bytes(file.begin(), file.begin() + long(size));
}

// Where the optional header of the default PeHeader starts, and its data directory 4.
const size_t kOptional = 0x80 + 24;
const size_t kPe32Directory4 = kOptional + 96 + 4 * 8;
const size_t kPe32PlusDirectory4 = kOptional + 112 + 4 * 8;

void Put(Bytes& file, size_t at, uint32_t value) {
    EncodeU32(value, &file[at]);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SignedFileLocator,
    ::testing::Values(
        LocatorCase{"empty file", {}, 0}, LocatorCase{"no PE at all", PatternBytes(3000, 22), 0},
        LocatorCase{"MZ alone", {'M', 'Z'}, 0},
        LocatorCase{"DOS header cut before its PE pointer", Cut(Signed(PeHeader(), 3), 0x3E), 0},
        LocatorCase{"signed PE cut inside its optional header",
                    Cut(Signed(PeHeader(), 3), kPe32Directory4 + 4), 0},
        LocatorCase{"unsigned PE32", Unsigned(), 0},
        LocatorCase{"unsigned PE32 plus", Unsigned(Pe32Plus()), 0},
        LocatorCase{"PE32 signed without padding", Signed(PeHeader(), 0), kPackageEnd},
        LocatorCase{"PE32 plus signed without padding", Signed(Pe32Plus(), 0), kPackageEnd},
        LocatorCase{"1 byte of padding", Signed(PeHeader(), 1), kPackageEnd},
        LocatorCase{"2 bytes of padding", Signed(Pe32Plus(), 2), kPackageEnd},
        LocatorCase{"3 bytes of padding", Signed(PeHeader(), 3), kPackageEnd},
        LocatorCase{"4 bytes of padding", Signed(Pe32Plus(), 4), kPackageEnd},
        LocatorCase{"5 bytes of padding", Signed(PeHeader(), 5), kPackageEnd},
        LocatorCase{"6 bytes of padding", Signed(Pe32Plus(), 6), kPackageEnd},
        LocatorCase{"7 bytes of padding", Signed(PeHeader(), 7), kPackageEnd},
        // Alignment never needs 8: the eighth zero byte belongs to what lies before.
        LocatorCase{"8 zero bytes before the table", Signed(Pe32Plus(), 8), kPackageEnd + 1},
        LocatorCase{"a table of 8 bytes", Signed(PeHeader(), 5, 8), kPackageEnd},
        LocatorCase{"PE header far into the file",
                    [] {
                        PeHeader header;
                        header.peOffset = 0xC00;
                        Bytes file = MakePeHead(header, 0x1000);
                        file.back() = kPackageLastByte;
                        AppendCertificateTable(file, 2, 100);
                        return file;
                    }(),
                    0x1000},
        LocatorCase{"PE header beyond the bytes looked at",
                    [] {
                        PeHeader header;
                        header.peOffset = kSignedHeadSize - 0x40;
                        Bytes file = MakePeHead(header, kSignedHeadSize + 0x400);
                        AppendCertificateTable(file, 2, 100);
                        return file;
                    }(),
                    0},
        LocatorCase{"PE pointer past the end of the file",
                    SignedThen([](Bytes& f) { Put(f, 0x3C, 0x7FFFFFF0u); }), 0},
        LocatorCase{"PE pointer 0xFFFFFFFF",
                    SignedThen([](Bytes& f) { Put(f, 0x3C, 0xFFFFFFFFu); }), 0},
        LocatorCase{"no PE signature", SignedThen([](Bytes& f) { f[0x81] = 'X'; }), 0},
        LocatorCase{"no MZ", SignedThen([](Bytes& f) { f[0] = 'X'; }), 0},
        LocatorCase{"unknown optional header kind",
                    SignedThen([](Bytes& f) { f[kOptional] = 0x07; }), 0},
        // Data directory 4 where the other kind keeps it: the locator must look in the right place.
        LocatorCase{"PE32 with its table where PE32 plus keeps it", SignedThen([](Bytes& f) {
                        std::copy(f.begin() + kPe32Directory4, f.begin() + kPe32Directory4 + 8,
                                  f.begin() + kPe32PlusDirectory4);
                        Put(f, kPe32Directory4, 0);
                        Put(f, kPe32Directory4 + 4, 0);
                    }),
                    0},
        LocatorCase{"PE32 plus with its table where PE32 keeps it",
                    SignedThen(
                        [](Bytes& f) {
                            std::copy(f.begin() + kPe32PlusDirectory4,
                                      f.begin() + kPe32PlusDirectory4 + 8,
                                      f.begin() + kPe32Directory4);
                            Put(f, kPe32PlusDirectory4, 0);
                            Put(f, kPe32PlusDirectory4 + 4, 0);
                        },
                        Pe32Plus()),
                    0},
        LocatorCase{"only 4 data directories",
                    [] {
                        PeHeader header;
                        header.directoryCount = 4;
                        return Signed(header, 3);
                    }(),
                    0},
        LocatorCase{"5 data directories",
                    [] {
                        PeHeader header;
                        header.directoryCount = 5;
                        return Signed(header, 3);
                    }(),
                    kPackageEnd},
        LocatorCase{"optional header too small for directory 4",
                    [] {
                        PeHeader header;
                        header.optionalSize = 96 + 4 * 8 + 7;
                        return Signed(header, 3);
                    }(),
                    0},
        LocatorCase{"table that does not end the file",
                    [] {
                        Bytes file = Signed(PeHeader(), 3);
                        file.push_back(0x55);
                        return file;
                    }(),
                    0},
        LocatorCase{"table that ends before the file's end",
                    SignedThen([](Bytes& f) { Put(f, kPe32Directory4 + 4, 1000); }), 0},
        LocatorCase{"table offset past the end",
                    SignedThen([](Bytes& f) { Put(f, kPe32Directory4, 0x7FFF0000u); }), 0},
        LocatorCase{"table offset and size that wrap around to the end", SignedThen([](Bytes& f) {
                        Put(f, kPe32Directory4, 0xFFFFFF00u);
                        Put(f, kPe32Directory4 + 4, uint32_t(f.size()) + 0x100);
                    }),
                    0},
        LocatorCase{"table size 0 at the end", SignedThen([](Bytes& f) {
                        Put(f, kPe32Directory4, uint32_t(f.size()));
                        Put(f, kPe32Directory4 + 4, 0);
                    }),
                    0},
        LocatorCase{"table that would start inside the headers", SignedThen([](Bytes& f) {
                        Put(f, kPe32Directory4, 0x100);
                        Put(f, kPe32Directory4 + 4, uint32_t(f.size()) - 0x100);
                    }),
                    0}),
    LabelName());

TEST(SignedFilePadding, StepsBackOverAtMostSevenZeroBytes) {
    const uint8_t bytes[] = {0x36, 0, 0, 0, 0, 0, 0, 0, 0};
    // `count` bytes ending at offset 100: the last `count` of the array.
    for (uint32_t count = 0; count <= 9; ++count) {
        const uint32_t zeros = count == 9 ? 8 : count;
        const uint32_t expected = 100 - (zeros < kMaxSignPadding ? zeros : kMaxSignPadding);
        EXPECT_EQ(StepBackOverPadding(bytes + 9 - count, count, 100), expected) << count;
    }
    const uint8_t noPadding[] = {0, 0, 0x36};
    EXPECT_EQ(StepBackOverPadding(noPadding, 3, 50), 50u);
}

}  // namespace
