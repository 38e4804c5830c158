// What the packer needs to know of Windows executables: whether a file is one, where its header
// keeps the image checksum, and that checksum computed over a whole file.
//
//   0x00  "MZ"             the old executable header
//   0x3C  e_lfanew  u32    file offset of the PE header
//   e_lfanew       "PE\0\0"
//   +4             file header, 20 bytes (+16: size of the optional header, u16)
//   +24            optional header: magic u16 (0x10B PE32, 0x20B PE32+), ... CheckSum u32 at +64
#pragma once

#include <stdint.h>

// Reads `count` bytes at `offset` of some file or memory; false unless all of them were there.
struct ByteSource {
    bool (*read)(const void* context, uint32_t offset, uint8_t* bytes, uint32_t count);
    const void* context;
};

enum class PeCheck { kWindowsExecutable, kNoMzHeader, kNoPeSignature };

PeCheck CheckWindowsExecutable(const ByteSource& source);

// What is wrong, for a message: "has no MZ header", ...
const char* DescribePeCheck(PeCheck check);

// The file offset of the CheckSum field, when the source is a Windows executable whose optional
// header (PE32 or PE32+) is long enough to hold it.
bool FindChecksumField(const ByteSource& source, uint32_t* fieldOffset);

// The image checksum as the system's loader and tools compute it: 16-bit little-endian words
// summed with their carries folded back in, the CheckSum field itself counted as 0, and the
// file's length added at the end. Bytes may arrive in pieces of any length, in file order.
// For a file that has no CheckSum field: beyond any offset a package allows.
const uint32_t kNoChecksumField = 0xFFFFFFFFu;

class PeChecksum {
  public:
    explicit PeChecksum(uint32_t fieldOffset) : fieldOffset_(fieldOffset) {}

    void Add(const uint8_t* bytes, uint32_t count);
    uint32_t Finish() const;

  private:
    uint32_t fieldOffset_;
    uint64_t position_ = 0;
    uint64_t sum_ = 0;
};

// Bytes in memory, and a source that reads them.
struct ByteSpan {
    const uint8_t* data;
    uint32_t size;
};
ByteSource MemorySource(const ByteSpan* span);
