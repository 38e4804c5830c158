// The package appended to a host file. It is found from the end of the file, so the host part
// may have any length and needs no pointer to the package:
//
//   +-------------------+  0
//   | host part         |  the executable image (or any other bytes)
//   +-------------------+
//   | entry data        |  each entry's bytes, at the offset its record gives
//   +-------------------+  index offset
//   | count       u32   |
//   | records           |  count times: name length u32 (NUL included, 0 = no name),
//   |                   |  name (only for lengths 1..499), offset u32, size u32
//   +-------------------+  file size - 12
//   | index offset u32  |
//   +-------------------+  file size - 8
//   | magic       8     |  27 3D 26 29 31 25 3C 36
//   +-------------------+  file size
//
// Integers are unsigned 32-bit little-endian; offsets count from the start of the host file.
// An entry may itself be a host file with a package of its own; its trailer ends with the entry.
#pragma once

#include <stdint.h>

const uint8_t PACKAGE_MAGIC[8] = {0x27, 0x3D, 0x26, 0x29, 0x31, 0x25, 0x3C, 0x36};

const uint32_t kMagicSize = 8;
const uint32_t kTrailerSize = 4 + kMagicSize;  // index offset, magic

// Name lengths from 1 to this bound minus one carry name bytes; longer ones lie outside the
// format, since a reader could not tell where the record's offset and size begin.
const uint32_t kNameLengthLimit = 500;

// The smallest record: name length, offset and size, with no name.
const uint32_t kMinRecordSize = 12;

// Files are positioned with signed 32-bit offsets, so a host file must stay below 2 GiB.
const uint32_t kMaxFileSize = 0x7FFFFFFFu;

inline uint32_t DecodeU32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

inline void EncodeU32(uint32_t value, uint8_t* bytes) {
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
    bytes[2] = uint8_t(value >> 16);
    bytes[3] = uint8_t(value >> 24);
}
