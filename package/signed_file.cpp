#include "package/signed_file.h"

#include "package/package_format.h"

namespace {

const uint32_t kNewHeaderPointer = 0x3C;  // in the DOS header: the PE header's offset
const uint32_t kFileHeaderSize = 4 + 20;  // "PE\0\0" and the COFF file header
const uint32_t kOptionalHeaderSizeField = 4 + 16;
const uint32_t kCertificateDirectory = 4;
const uint32_t kDirectorySize = 8;  // VirtualAddress, Size

uint32_t DecodeU16(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8;
}

struct OptionalHeaderLayout {
    uint32_t magic;
    uint32_t directoryCountField;  // NumberOfRvaAndSizes, from the optional header's start
    uint32_t directories;          // the first data directory, from the optional header's start
};

// PE32 and PE32+ differ in the width of a few fields before the data directories.
const OptionalHeaderLayout kLayouts[] = {{0x10B, 92, 96}, {0x20B, 108, 112}};

}  // namespace

uint32_t CertificateTableStart(const uint8_t* head, uint32_t headSize, uint32_t fileSize) {
    if (headSize < kNewHeaderPointer + 4 || head[0] != 'M' || head[1] != 'Z') {
        return fileSize;
    }
    // Every bound is computed in 64 bits, so that no hostile field can wrap it.
    const uint64_t peHeader = DecodeU32(head + kNewHeaderPointer);
    const uint64_t optional = peHeader + kFileHeaderSize;
    if (optional + 2 > headSize) {
        return fileSize;
    }
    const uint8_t* pe = head + peHeader;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
        return fileSize;
    }
    const uint32_t magic = DecodeU16(head + optional);
    const OptionalHeaderLayout* layout = nullptr;
    for (const OptionalHeaderLayout& candidate : kLayouts) {
        if (candidate.magic == magic) {
            layout = &candidate;
        }
    }
    if (!layout) {
        return fileSize;
    }
    const uint32_t directoryEnd =
        layout->directories + (kCertificateDirectory + 1) * kDirectorySize;
    const uint32_t optionalSize = DecodeU16(pe + kOptionalHeaderSizeField);
    if (optionalSize < directoryEnd || optional + directoryEnd > headSize ||
        DecodeU32(head + optional + layout->directoryCountField) <= kCertificateDirectory) {
        return fileSize;
    }
    const uint8_t* directory =
        head + optional + layout->directories + kCertificateDirectory * kDirectorySize;
    const uint64_t tableStart = DecodeU32(directory);
    const uint64_t tableSize = DecodeU32(directory + 4);
    // The table follows the headers and ends the file; anything else is not a signature this
    // reader understands.
    if (tableSize == 0 || tableStart < optional + optionalSize ||
        tableStart + tableSize != fileSize) {
        return fileSize;
    }
    return uint32_t(tableStart);
}

uint32_t StepBackOverPadding(const uint8_t* before, uint32_t count, uint32_t end) {
    uint32_t steps = 0;
    while (steps < count && steps < kMaxSignPadding && before[count - 1 - steps] == 0) {
        ++steps;
    }
    return end - steps;
}
