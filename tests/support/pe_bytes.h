// Hand-made PE headers and certificate tables, laid out as a signing tool leaves them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace testing_files {

const uint16_t kPe32 = 0x10B;
const uint16_t kPe32Plus = 0x20B;

struct PeHeader {
    uint16_t magic = kPe32;
    uint32_t peOffset = 0x80;  // the DOS header's pointer to "PE\0\0"
    uint32_t directoryCount = 16;
    uint16_t optionalSize = 0;  // 0: the usual size for the kind, room for 16 directories
};

// `size` bytes that start with a DOS header, "PE\0\0", a file header and the optional header
// `header` describes, its data directories all zero; the rest is zero too.
std::vector<uint8_t> MakePeHead(const PeHeader& header, size_t size = 0x200);

// Writes data directory `index` of the PE headers at the start of `file`, where their kind
// says it lies.
void SetDataDirectory(std::vector<uint8_t>& file, uint32_t index, uint32_t offset, uint32_t size);

// Appends what signing appends: `padding` zero bytes, then a certificate table of `tableSize`
// bytes, none of them zero, recorded in data directory 4.
void AppendCertificateTable(std::vector<uint8_t>& file, size_t padding, uint32_t tableSize);

}  // namespace testing_files
