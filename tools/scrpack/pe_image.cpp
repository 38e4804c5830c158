#include "tools/scrpack/pe_image.h"

#include <string.h>

#include "package/package_format.h"

namespace {

const uint32_t kLfanewOffset = 0x3C;
const uint32_t kFileHeaderSize = 20;
const uint32_t kOptionalHeaderSizeField = 16;   // within the file header
const uint32_t kChecksumInOptionalHeader = 64;  // the same for PE32 and PE32+
const uint16_t kPe32Magic = 0x10B;
const uint16_t kPe32PlusMagic = 0x20B;

bool ReadU32(const ByteSource& source, uint32_t offset, uint32_t* value) {
    uint8_t bytes[4];
    if (!source.read(source.context, offset, bytes, 4)) {
        return false;
    }
    *value = DecodeU32(bytes);
    return true;
}

bool ReadU16(const ByteSource& source, uint32_t offset, uint16_t* value) {
    uint8_t bytes[2];
    if (!source.read(source.context, offset, bytes, 2)) {
        return false;
    }
    *value = uint16_t(bytes[0] | bytes[1] << 8);
    return true;
}

// The offset of the PE signature, or false when there is none.
bool FindPeHeader(const ByteSource& source, PeCheck* check, uint32_t* peOffset) {
    uint8_t mz[2];
    if (!source.read(source.context, 0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') {
        *check = PeCheck::kNoMzHeader;
        return false;
    }
    uint8_t signature[4];
    if (!ReadU32(source, kLfanewOffset, peOffset) ||
        !source.read(source.context, *peOffset, signature, 4) ||
        memcmp(signature, "PE\0\0", 4) != 0) {
        *check = PeCheck::kNoPeSignature;
        return false;
    }
    *check = PeCheck::kWindowsExecutable;
    return true;
}

bool ReadSpan(const void* context, uint32_t offset, uint8_t* bytes, uint32_t count) {
    const ByteSpan* span = static_cast<const ByteSpan*>(context);
    if (offset > span->size || count > span->size - offset) {
        return false;
    }
    memcpy(bytes, span->data + offset, count);
    return true;
}

}  // namespace

PeCheck CheckWindowsExecutable(const ByteSource& source) {
    PeCheck check;
    uint32_t peOffset;
    FindPeHeader(source, &check, &peOffset);
    return check;
}

const char* DescribePeCheck(PeCheck check) {
    switch (check) {
        case PeCheck::kWindowsExecutable:
            return "is a Windows executable";
        case PeCheck::kNoMzHeader:
            return "does not start with an MZ header";
        case PeCheck::kNoPeSignature:
            return "has no PE signature where its MZ header points";
    }
    return "";
}

bool FindChecksumField(const ByteSource& source, uint32_t* fieldOffset) {
    PeCheck check;
    uint32_t peOffset;
    if (!FindPeHeader(source, &check, &peOffset)) {
        return false;
    }
    const uint64_t optionalHeader = uint64_t(peOffset) + 4 + kFileHeaderSize;
    const uint64_t field = optionalHeader + kChecksumInOptionalHeader;
    if (field + 4 > kMaxFileSize) {
        return false;
    }
    uint16_t optionalSize = 0, magic = 0;
    if (!ReadU16(source, peOffset + 4 + kOptionalHeaderSizeField, &optionalSize) ||
        optionalSize < kChecksumInOptionalHeader + 4 ||
        !ReadU16(source, uint32_t(optionalHeader), &magic) ||
        (magic != kPe32Magic && magic != kPe32PlusMagic)) {
        return false;
    }
    uint32_t current;
    if (!ReadU32(source, uint32_t(field), &current)) {
        return false;
    }
    *fieldOffset = uint32_t(field);
    return true;
}

void PeChecksum::Add(const uint8_t* bytes, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, ++position_) {
        if (position_ - fieldOffset_ < 4) {
            continue;  // the field itself counts as 0
        }
        sum_ += uint64_t(bytes[i]) << (position_ & 1) * 8;
    }
}

uint32_t PeChecksum::Finish() const {
    // Folding the carries once at the end gives what folding after every word gives.
    uint64_t sum = sum_;
    while (sum >> 16 != 0) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return uint32_t(sum + position_);
}

ByteSource MemorySource(const ByteSpan* span) {
    return ByteSource{ReadSpan, span};
}
