// Reads the package appended to a host file (see package_format.h): finds the trailer, loads
// the index and hands out entry sizes, positioned reads and read-only views of entry data.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

// The reader's last-error codes. No operation returns them; they are recorded in the reader.
enum ReaderError : int32_t {
    ErrNone = 0,
    ErrIo = 200,           // the trailer or the index cannot be read or is malformed; no mapping
    ErrBadIndex = 400,     // an entry index was negative or not below the entry count
    ErrNotOpen = 500,      // an entry operation was called while no file is open
    ErrCannotOpen = 1000,  // the host file cannot be opened
    ErrNoOutput = 1300,    // MapEntry was given no place to store the data address
};

// One index record as loaded. The name holds exactly nameLength bytes as stored, its NUL
// included if the writer stored one; it is absent when the length is 0. A damaged record may
// lack the NUL, so whatever reads a name bounds it by nameLength. An entry is one block from
// malloc, its name bytes right after the record; releasing the entry releases its name.
struct PackageEntry {
    uint32_t nameLength;
    char* name;
    uint32_t offset;
    uint32_t size;
};

// The loaded records, in index order. Owns its entries and their names.
class EntryTable {
  public:
    static const uint32_t kGrowth = 64;

    EntryTable();
    virtual ~EntryTable();

    // Takes ownership of `entry`; false (and the entry stays the caller's) if growing fails.
    bool Append(PackageEntry* entry);
    // Makes room for `count` entries at once, growing to the capacity that appending up to
    // `count` entries one by one would reach; false (and nothing changed) if that fails.
    bool Reserve(uint32_t count);
    // Releases every entry and the array: empty, capacity 0.
    void Reset();

    uint32_t Count() const { return count_; }
    uint32_t Capacity() const { return capacity_; }
    const PackageEntry* At(uint32_t index) const { return items_[index]; }

  private:
    EntryTable(const EntryTable&) = delete;
    EntryTable& operator=(const EntryTable&) = delete;

    bool Grow(uint32_t newCapacity);

    PackageEntry** items_;
    uint32_t count_;
    uint32_t capacity_;
};

// A read-only view of one entry; the caller releases it with PackageReader::UnmapEntry.
struct EntryView {
    platform::MappingHandle mapping;
    const void* base;
    uint32_t length;
};

class PackageReader {
  public:
    PackageReader();
    ~PackageReader();

    // Opens `path` and loads its index; 1 on success, 0 on failure. A file without the magic is
    // a host with an empty package and opens with 0 entries. In a signed file the package ends
    // before the certificate table and its padding (see signed_file.h).
    int Open(const char* path);
    // The same with a file already opened for reading (kNoFile: it could not be opened). The
    // reader takes the handle over and closes it.
    int OpenFile(platform::FileHandle file);

    // The number of entries, or 0 when an error is recorded or no file is open.
    int32_t EntryCount();

    // With no buffer: the size of entry `index`. With a buffer: reads up to maxBytes of the
    // entry into it and returns the number of bytes read (0 if the read fails).
    uint32_t ReadEntry(int32_t index, uint8_t* buffer, uint32_t maxBytes);
    uint32_t EntrySize(int32_t index) { return ReadEntry(index, nullptr, 0); }

    // Maps entry `index` read-only and stores the address of its first byte through
    // `dataAddress`. An entry of size 0 gives a view with nothing mapped and a null address.
    EntryView* MapEntry(int32_t index, const uint8_t** dataAddress);

    // Maps `length` bytes of entry `index`, from `start` bytes into it, read-only, and stores
    // the address of the first of them through `dataAddress`: lets a caller walk a large entry a
    // window at a time. A part that is empty or runs past the entry records ErrBadIndex.
    EntryView* MapEntryPart(int32_t index, uint32_t start, uint32_t length,
                            const uint8_t** dataAddress);

    // Releases a view from MapEntry or MapEntryPart; 1 only if everything it held was released.
    static int UnmapEntry(EntryView* view);

    // Releases the file and every entry and clears the recorded error. Always 1.
    int Close();

    int32_t LastError() const { return lastError_; }
    uint32_t IndexOffset() const { return indexOffset_; }
    // The record of entry `index`, or null when there is none; records no error.
    const PackageEntry* Entry(int32_t index) const;

  private:
    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

    int FindTrailer(uint8_t* trailer);
    bool FindCertificateTable(uint32_t size, uint32_t* tableStart);
    bool LoadIndex(uint32_t indexOffset);
    bool CheckEntryAccess(int32_t index);
    const PackageEntry* EntryToMap(int32_t index, const uint8_t** dataAddress);
    EntryView* MapRange(uint32_t offset, uint32_t length, const uint8_t** dataAddress);

    EntryTable entries_;
    platform::FileHandle file_;
    bool openFailed_;  // the last Open could not open its file
    int32_t lastError_;
    uint32_t indexOffset_;
    uint32_t packageEnd_;  // before a signed file's certificate table, else the file's end
};
