#include "package/signed_file.h"

#include "package/package_format.h"

namespace {

const uint32_t kDosMagic = 0x5A4D;         // "MZ"
const uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
const uint32_t kNewHeaderPointer = 0x3C;   // in the DOS header: the PE header's offset
const uint32_t kFileHeaderSize = 4 + 20;   // "PE\0\0" and the COFF file header
const uint32_t kOptionalHeaderSizeField = 4 + 16;
const uint32_t kCertificateDirectory = 4;
const uint32_t kDirectorySize = 8;  // VirtualAddress, Size

uint32_t DecodeU16(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8;
}

// Where the data directories begin in the optional header: PE32 and PE32+ differ in the width
// of a few fields before them. NumberOfRvaAndSizes comes right before them in both.
uint32_t DirectoriesAt(uint32_t magic) {
    return magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
}

}  // namespace

uint32_t CertificateTableStart(const uint8_t* head, uint32_t headSize, uint32_t fileSize) {
    if (headSize < kNewHeaderPointer + 4 || DecodeU16(head) != kDosMagic) {
        return fileSize;
    }
    // Every bound is computed in 64 bits, so that no hostile field can wrap it.
    const uint64_t peHeader = DecodeU32(head + kNewHeaderPointer);
    const uint64_t optional = peHeader + kFileHeaderSize;
    if (optional + 2 > headSize) {
        return fileSize;
    }
    const uint8_t* pe = head + peHeader;
    if (DecodeU32(pe) != kPeSignature) {
        return fileSize;
    }
    const uint32_t directories = DirectoriesAt(DecodeU16(head + optional));
    const uint32_t directoryEnd = directories + (kCertificateDirectory + 1) * kDirectorySize;
    const uint32_t optionalSize = DecodeU16(pe + kOptionalHeaderSizeField);
    if (!directories || optionalSize < directoryEnd || optional + directoryEnd > headSize ||
        DecodeU32(head + optional + directories - 4) <= kCertificateDirectory) {
        return fileSize;
    }
    const uint8_t* directory =
        head + optional + directories + kCertificateDirectory * kDirectorySize;
    const uint64_t tableStart = DecodeU32(directory);
    const uint64_t tableSize = DecodeU32(directory + 4);
    // The table follows the headers and ends the file; anything else is not a signature this
    // reader understands. (A table of size 0 at the end of the file gives the file's end.)
    if (tableStart < optional + optionalSize || tableStart + tableSize != fileSize) {
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
