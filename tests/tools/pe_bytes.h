// Small files that look like Windows executables to the packer, and the image checksum computed
// the plain way, word by word, to check the packer's against.
#pragma once

#include <stdint.h>

#include <vector>

#include "tests/support/test_files.h"

namespace pe_bytes {

using Bytes = std::vector<uint8_t>;

const uint32_t kPeOffset = 0x80;
const uint32_t kChecksumField = kPeOffset + 4 + 20 + 64;

// `size` bytes with an MZ header, a PE signature at 0x80 and an optional header with the given
// magic (0x10B PE32, 0x20B PE32+); 0 leaves the optional header's magic out.
inline Bytes PeImage(size_t size, uint32_t seed, uint16_t magic = 0x10B) {
    Bytes bytes = testing_files::PatternBytes(size, seed);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = kPeOffset;
    bytes[0x3D] = bytes[0x3E] = bytes[0x3F] = 0;
    const uint8_t signature[4] = {'P', 'E', 0, 0};
    for (int i = 0; i < 4; ++i) {
        bytes[kPeOffset + i] = signature[i];
    }
    const uint16_t optionalSize = magic == 0x20B ? 0xF0 : 0xE0;
    bytes[kPeOffset + 4 + 16] = uint8_t(optionalSize);
    bytes[kPeOffset + 4 + 17] = uint8_t(optionalSize >> 8);
    bytes[kPeOffset + 24] = uint8_t(magic);
    bytes[kPeOffset + 25] = uint8_t(magic >> 8);
    return bytes;
}

// The image checksum with the field at `field` counted as 0, folded after every word.
inline uint32_t ReferenceChecksum(Bytes file, size_t field) {
    for (size_t i = field; i < field + 4 && i < file.size(); ++i) {
        file[i] = 0;
    }
    uint32_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        sum += file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return (sum & 0xFFFF) + uint32_t(file.size());
}

inline uint32_t StoredChecksum(const Bytes& file) {
    return uint32_t(file[kChecksumField]) | uint32_t(file[kChecksumField + 1]) << 8 |
           uint32_t(file[kChecksumField + 2]) << 16 | uint32_t(file[kChecksumField + 3]) << 24;
}

}  // namespace pe_bytes
