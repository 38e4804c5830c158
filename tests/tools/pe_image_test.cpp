// The packer's view of Windows executables: which files are ones, where their checksum lives,
// and the checksum itself.
#include "tools/scrpack/pe_image.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/tools/pe_bytes.h"

namespace {

using pe_bytes::Bytes;
using pe_bytes::PeImage;

struct ImageCase {
    const char* label;
    Bytes bytes;
    PeCheck check;
    bool hasField;
};

Bytes With(Bytes bytes, size_t offset, std::vector<uint8_t> patch) {
    for (size_t i = 0; i < patch.size(); ++i) {
        bytes[offset + i] = patch[i];
    }
    return bytes;
}

Bytes Cut(Bytes bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

const uint32_t kPe = pe_bytes::kPeOffset;

std::vector<ImageCase> ImageCases() {
    const Bytes good = PeImage(600, 1);
    return {
        {"PE32", good, PeCheck::kWindowsExecutable, true},
        {"PE32+", PeImage(600, 2, 0x20B), PeCheck::kWindowsExecutable, true},
        {"empty", {}, PeCheck::kNoMzHeader, false},
        {"one byte", {'M'}, PeCheck::kNoMzHeader, false},
        {"no MZ", With(good, 0, {'Z', 'M'}), PeCheck::kNoMzHeader, false},
        {"MZ alone", {'M', 'Z'}, PeCheck::kNoPeSignature, false},
        {"e_lfanew past the end", With(good, 0x3C, {0x00, 0x10, 0, 0}), PeCheck::kNoPeSignature,
         false},
        {"e_lfanew near 4 GiB", With(good, 0x3C, {0xFE, 0xFF, 0xFF, 0xFF}), PeCheck::kNoPeSignature,
         false},
        {"signature cut short", Cut(good, kPe + 3), PeCheck::kNoPeSignature, false},
        {"wrong signature", With(good, kPe, {'P', 'E', 0, 1}), PeCheck::kNoPeSignature, false},
        {"unknown optional magic", With(good, kPe + 24, {0x07, 0x01}), PeCheck::kWindowsExecutable,
         false},
        {"optional header too short", With(good, kPe + 20, {67, 0}), PeCheck::kWindowsExecutable,
         false},
        {"checksum cut off", Cut(good, pe_bytes::kChecksumField + 3), PeCheck::kWindowsExecutable,
         false},
        {"checksum just fits", Cut(good, pe_bytes::kChecksumField + 4), PeCheck::kWindowsExecutable,
         true},
    };
}

TEST(PeImageTest, RecognisesWindowsExecutablesAndTheirChecksumField) {
    for (const ImageCase& c : ImageCases()) {
        SCOPED_TRACE(c.label);
        const ByteSpan span = {c.bytes.data(), uint32_t(c.bytes.size())};
        EXPECT_EQ(c.check, CheckWindowsExecutable(MemorySource(&span)));
        uint32_t field = 0;
        EXPECT_EQ(c.hasField, FindChecksumField(MemorySource(&span), &field));
        if (c.hasField) {
            EXPECT_EQ(pe_bytes::kChecksumField, field);
        }
    }
}

// The sum must not depend on how the bytes are cut into pieces, odd lengths included.
TEST(PeChecksumTest, MatchesTheWordByWordSumForAnyPieces) {
    struct Case {
        const char* label;
        Bytes bytes;
        uint32_t field;
        std::vector<uint32_t> pieces;
    };
    Bytes ones(4001, 0xFF);  // carries on every word
    const Case cases[] = {
        {"empty", {}, kNoChecksumField, {}},
        {"one byte", {0x7F}, kNoChecksumField, {1}},
        {"all ones, odd length", ones, 100, {4001}},
        {"all ones in odd pieces", ones, 100, {1, 2, 3, 99, 1000, 2896}},
        {"image, field cut by a piece",
         PeImage(5000, 3),
         pe_bytes::kChecksumField,
         {pe_bytes::kChecksumField + 1, 1, 4998 - pe_bytes::kChecksumField}},
        {"image, no field", PeImage(5000, 3), kNoChecksumField, {5000}},
        {"zeros", Bytes(64, 0), kNoChecksumField, {64}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PeChecksum sum(c.field);
        uint32_t offset = 0;
        for (uint32_t piece : c.pieces) {
            sum.Add(c.bytes.data() + offset, piece);
            offset += piece;
        }
        ASSERT_EQ(c.bytes.size(), offset);
        EXPECT_EQ(pe_bytes::ReferenceChecksum(
                      c.bytes, c.field == kNoChecksumField ? c.bytes.size() : c.field),
                  sum.Finish());
    }
}

TEST(PeChecksumTest, TheFieldItselfDoesNotCount) {
    Bytes image = PeImage(1000, 4);
    PeChecksum before(pe_bytes::kChecksumField), after(pe_bytes::kChecksumField);
    before.Add(image.data(), uint32_t(image.size()));
    image[pe_bytes::kChecksumField] ^= 0x5A;
    image[pe_bytes::kChecksumField + 3] ^= 0xA5;
    after.Add(image.data(), uint32_t(image.size()));
    EXPECT_EQ(before.Finish(), after.Finish());
    image[pe_bytes::kChecksumField + 4] ^= 1;
    PeChecksum changed(pe_bytes::kChecksumField);
    changed.Add(image.data(), uint32_t(image.size()));
    EXPECT_NE(before.Finish(), changed.Finish());
}

}  // namespace
