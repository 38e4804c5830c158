// Lays out and encodes a package for appending to a host file: the entries' data back to back
// right after the host, then the index, the index offset and the magic.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct EntryLayout {
    std::string name;  // stored with its NUL; an empty name is stored as "no name"
    uint32_t size;
    uint32_t offset;  // filled in by LayOutPackage
};

enum class LayoutError {
    kNone,
    kNameTooLong,  // a name of 499 bytes or more: its stored length would reach 500
    kTooLarge,     // the whole file would reach 2 GiB
};

// Places the entries after a host of `hostSize` bytes, in order and without gaps, and stores
// the size of the finished file in `fileSize`.
LayoutError LayOutPackage(uint64_t hostSize, std::vector<EntryLayout>& entries, uint64_t* fileSize);

// The bytes that follow the last entry's data: index, index offset, magic.
std::vector<uint8_t> EncodeIndexAndTrailer(const std::vector<EntryLayout>& entries,
                                           uint32_t indexOffset);
