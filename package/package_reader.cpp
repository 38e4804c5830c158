#include "package/package_reader.h"

#include <stdlib.h>
#include <string.h>

#include "package/package_format.h"
#include "package/signed_file.h"

namespace {

// An entry and its name are one block (see PackageEntry).
void ReleaseEntry(PackageEntry* entry) {
    free(entry);
}

// The index is read a block at a time and parsed from memory: one read per field made the
// index of a large package take far longer to load than its file takes to read.
const uint32_t kIndexBlockSize = 64 * 1024;

// Hands out the index's bytes in order from a buffer that is refilled a block at a time. It
// never reads beyond `end`, so neither the trailer nor anything after the package is taken for
// index bytes, and a block that cannot be read whole means the index runs past the file.
class IndexCursor {
  public:
    IndexCursor(platform::FileHandle file, uint32_t position, uint32_t end)
        : file_(file), next_(position), end_(end), buffer_(nullptr), filled_(0), used_(0) {}
    ~IndexCursor() { free(buffer_); }

    // The index bytes not yet taken.
    uint32_t Left() const { return filled_ - used_ + (end_ - next_); }

    // Copies the next `count` bytes to `out`; false if the index ends before them or a read
    // fails.
    bool Take(void* out, uint32_t count) {
        if (count > Left()) {
            return false;
        }
        uint8_t* to = static_cast<uint8_t*>(out);
        while (count > 0) {
            if (used_ == filled_ && !Refill()) {
                return false;
            }
            const uint32_t part = count < filled_ - used_ ? count : filled_ - used_;
            memcpy(to, buffer_ + used_, part);
            used_ += part;
            to += part;
            count -= part;
        }
        return true;
    }

    bool TakeU32(uint32_t* value) {
        uint8_t bytes[4];
        if (!Take(bytes, 4)) {
            return false;
        }
        *value = DecodeU32(bytes);
        return true;
    }

  private:
    IndexCursor(const IndexCursor&) = delete;
    IndexCursor& operator=(const IndexCursor&) = delete;

    // Only called while bytes are left in the file.
    bool Refill() {
        const uint32_t left = end_ - next_;
        const uint32_t wanted = left < kIndexBlockSize ? left : kIndexBlockSize;
        if (!buffer_) {
            // No larger than the index, which is a few dozen bytes in an installer.
            buffer_ = static_cast<uint8_t*>(malloc(wanted));
            if (!buffer_) {
                return false;
            }
        }
        uint32_t got = 0;
        if (!platform::ReadAt(file_, next_, buffer_, wanted, &got) || got != wanted) {
            return false;
        }
        next_ += wanted;
        filled_ = wanted;
        used_ = 0;
        return true;
    }

    platform::FileHandle file_;
    uint32_t next_;  // the file offset of the first byte not yet in the buffer
    uint32_t end_;
    uint8_t* buffer_;
    uint32_t filled_;
    uint32_t used_;
};

// One record; null if it cannot be read or its entry does not lie before `packageEnd`.
PackageEntry* ReadRecord(IndexCursor& index, uint32_t packageEnd) {
    uint32_t nameLength = 0;
    if (!index.TakeU32(&nameLength) || nameLength >= kNameLengthLimit) {
        return nullptr;
    }
    // One block for the record and its name: a large index has many of them, and allocating
    // took most of its loading time.
    PackageEntry* entry = static_cast<PackageEntry*>(malloc(sizeof(PackageEntry) + nameLength));
    if (!entry) {
        return nullptr;
    }
    entry->nameLength = nameLength;
    entry->name = nameLength > 0 ? reinterpret_cast<char*>(entry + 1) : nullptr;
    // A name is kept as stored, even without its NUL: nothing here reads it, and whatever
    // shows it bounds it by its length.
    bool ok = nameLength == 0 || index.Take(entry->name, nameLength);
    ok = ok && index.TakeU32(&entry->offset) && index.TakeU32(&entry->size);
    // Refuse an entry that does not lie inside the package's part of the file: mapping or
    // reading it would fail only later, or read the wrong bytes.
    ok = ok && uint64_t(entry->offset) + entry->size <= packageEnd;
    if (!ok) {
        ReleaseEntry(entry);
        return nullptr;
    }
    return entry;
}

}  // namespace

EntryTable::EntryTable() : items_(nullptr), count_(0), capacity_(0) {}

EntryTable::~EntryTable() {
    Reset();
}

bool EntryTable::Append(PackageEntry* entry) {
    if (count_ == capacity_ && !Grow(capacity_ + kGrowth)) {
        return false;
    }
    items_[count_++] = entry;
    return true;
}

bool EntryTable::Reserve(uint32_t count) {
    // The capacity is always a multiple of the growth step, as appending leaves it.
    if (count <= capacity_) {
        return true;
    }
    if (count > UINT32_MAX - kGrowth) {
        return false;
    }
    return Grow((count + kGrowth - 1) / kGrowth * kGrowth);
}

bool EntryTable::Grow(uint32_t newCapacity) {
    PackageEntry** grown =
        static_cast<PackageEntry**>(malloc(size_t(newCapacity) * sizeof(PackageEntry*)));
    if (!grown) {
        return false;
    }
    if (count_ > 0) {
        memcpy(grown, items_, size_t(count_) * sizeof(PackageEntry*));
    }
    free(items_);
    items_ = grown;
    capacity_ = newCapacity;
    return true;
}

void EntryTable::Reset() {
    for (uint32_t i = 0; i < count_; ++i) {
        ReleaseEntry(items_[i]);
    }
    free(items_);
    items_ = nullptr;
    count_ = 0;
    capacity_ = 0;
}

PackageReader::PackageReader()
    : file_(platform::kNoFile),
      openFailed_(false),
      lastError_(ErrNone),
      indexOffset_(0),
      packageEnd_(0) {}

PackageReader::~PackageReader() {
    if (file_ != platform::kNoFile || openFailed_) {
        Close();
    }
}

int PackageReader::Open(const char* path) {
    return OpenFile(platform::OpenForReading(path));
}

int PackageReader::OpenFile(platform::FileHandle file) {
    if (file_ != platform::kNoFile || openFailed_) {
        Close();
    }
    file_ = file;
    if (file_ == platform::kNoFile) {
        openFailed_ = true;
        lastError_ = ErrCannotOpen;
        return 0;
    }
    uint8_t trailer[kTrailerSize];
    int found = FindTrailer(trailer);
    if (found < 0 || (found > 0 && !LoadIndex(DecodeU32(trailer)))) {
        lastError_ = ErrIo;
        return 0;
    }
    return 1;  // without the magic: a host with an empty package
}

// Finds where the package ends (before the certificate table of a signed file, else at the end
// of the file) and copies the trailer there to `trailer`: 1 if it holds the magic, 0 if the
// file carries no package, -1 if the file cannot be read or is too short to carry one.
int PackageReader::FindTrailer(uint8_t* trailer) {
    // A file of 2 GiB or more cannot be positioned with the signed 32-bit offsets the format
    // allows.
    uint64_t size = 0;
    uint32_t tableStart = 0;
    if (!platform::FileSize(file_, &size) || size > kMaxFileSize ||
        !FindCertificateTable(uint32_t(size), &tableStart)) {
        return -1;
    }
    // The trailer, and before a certificate table the padding a signing tool puts before it.
    uint8_t tail[kMaxSignPadding + kTrailerSize];
    const uint32_t tailSize = tableStart < sizeof tail ? tableStart : uint32_t(sizeof tail);
    uint32_t got = 0;
    if (!platform::ReadAt(file_, tableStart - tailSize, tail, tailSize, &got) || got != tailSize) {
        return -1;
    }
    packageEnd_ = tableStart;
    if (tableStart != size) {
        packageEnd_ = StepBackOverPadding(tail, tailSize, tableStart);
    }
    const uint8_t* end = tail + tailSize - (tableStart - packageEnd_);
    if (packageEnd_ < kMagicSize) {
        return -1;
    }
    if (memcmp(end - kMagicSize, PACKAGE_MAGIC, kMagicSize) != 0) {
        return 0;
    }
    if (packageEnd_ < kTrailerSize) {
        return -1;
    }
    memcpy(trailer, end - kTrailerSize, kTrailerSize);
    return 1;
}

// The start of the certificate table that ends a signed file, or `size` for any other file.
bool PackageReader::FindCertificateTable(uint32_t size, uint32_t* tableStart) {
    const uint32_t headSize = size < kSignedHeadSize ? size : kSignedHeadSize;
    uint8_t* head = static_cast<uint8_t*>(malloc(headSize));
    uint32_t got = 0;
    const bool read = head && platform::ReadAt(file_, 0, head, headSize, &got) && got == headSize;
    if (read) {
        *tableStart = CertificateTableStart(head, headSize, size);
    }
    free(head);
    return read;
}

bool PackageReader::LoadIndex(uint32_t indexOffset) {
    indexOffset_ = indexOffset;
    // The index lies between its offset and the trailer.
    const uint32_t indexEnd = packageEnd_ - kTrailerSize;
    if (indexOffset_ > indexEnd) {
        return false;
    }
    IndexCursor index(file_, indexOffset_, indexEnd);
    uint32_t count = 0;
    if (!index.TakeU32(&count)) {
        return false;
    }
    // Every record takes at least 12 bytes, so a count larger than the room left is a lie;
    // refusing it up front keeps a damaged count from driving the loop below.
    if (count > index.Left() / kMinRecordSize) {
        return false;
    }
    // Growing a step at a time would copy the table once per 64 records, which made loading a
    // large index slow. The count is bounded by the index's bytes, and where the room cannot
    // be had at once, the appends below grow the table as they go.
    entries_.Reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        PackageEntry* entry = ReadRecord(index, packageEnd_);
        if (!entry) {
            return false;
        }
        if (!entries_.Append(entry)) {
            ReleaseEntry(entry);
            return false;
        }
    }
    return true;
}

int32_t PackageReader::EntryCount() {
    if (lastError_ != ErrNone) {
        return 0;
    }
    if (file_ == platform::kNoFile) {
        lastError_ = ErrNotOpen;
        return 0;
    }
    return int32_t(entries_.Count());
}

bool PackageReader::CheckEntryAccess(int32_t index) {
    if (lastError_ != ErrNone) {
        return false;
    }
    if (file_ == platform::kNoFile) {
        lastError_ = ErrNotOpen;
        return false;
    }
    if (index < 0 || uint32_t(index) >= entries_.Count()) {
        lastError_ = ErrBadIndex;
        return false;
    }
    return true;
}

uint32_t PackageReader::ReadEntry(int32_t index, uint8_t* buffer, uint32_t maxBytes) {
    if (!CheckEntryAccess(index)) {
        return 0;
    }
    const PackageEntry* entry = entries_.At(uint32_t(index));
    if (!buffer) {
        return entry->size;
    }
    uint32_t wanted = maxBytes < entry->size ? maxBytes : entry->size;
    if (wanted == 0) {
        return 0;
    }
    uint32_t got = 0;
    if (!platform::ReadAt(file_, entry->offset, buffer, wanted, &got)) {
        return 0;
    }
    return got;
}

// The entry a mapping is asked for, or null (with the error recorded) when it cannot be given.
const PackageEntry* PackageReader::EntryToMap(int32_t index, const uint8_t** dataAddress) {
    if (!CheckEntryAccess(index)) {
        return nullptr;
    }
    if (!dataAddress) {
        lastError_ = ErrNoOutput;
        return nullptr;
    }
    return entries_.At(uint32_t(index));
}

EntryView* PackageReader::MapEntry(int32_t index, const uint8_t** dataAddress) {
    const PackageEntry* entry = EntryToMap(index, dataAddress);
    if (!entry) {
        return nullptr;
    }
    // The platform takes a mapping or view length of 0 as "the rest of the file", so an empty
    // entry maps nothing at all.
    if (entry->size == 0) {
        EntryView* view = static_cast<EntryView*>(calloc(1, sizeof(EntryView)));
        if (!view) {
            lastError_ = ErrIo;
            return nullptr;
        }
        *dataAddress = nullptr;
        return view;
    }
    return MapRange(entry->offset, entry->size, dataAddress);
}

EntryView* PackageReader::MapEntryPart(int32_t index, uint32_t start, uint32_t length,
                                       const uint8_t** dataAddress) {
    const PackageEntry* entry = EntryToMap(index, dataAddress);
    if (!entry) {
        return nullptr;
    }
    if (length == 0 || start > entry->size || length > entry->size - start) {
        lastError_ = ErrBadIndex;
        return nullptr;
    }
    return MapRange(entry->offset + start, length, dataAddress);
}

// Maps `length` bytes (above 0) of the file at `offset`. The view must start on the allocation
// granularity, so it starts below `offset` and the data address makes up the difference.
EntryView* PackageReader::MapRange(uint32_t offset, uint32_t length, const uint8_t** dataAddress) {
    EntryView* view = static_cast<EntryView*>(calloc(1, sizeof(EntryView)));
    if (!view) {
        lastError_ = ErrIo;
        return nullptr;
    }
    const uint32_t granularity = platform::AllocationGranularity();
    const uint32_t base = offset / granularity * granularity;
    const uint32_t delta = offset - base;
    view->mapping = platform::CreateReadOnlyMapping(file_, offset + length);
    if (view->mapping == platform::kNoMapping) {
        free(view);
        lastError_ = ErrIo;
        return nullptr;
    }
    view->length = delta + length;
    view->base = platform::MapView(view->mapping, base, view->length);
    if (!view->base) {
        platform::CloseMapping(view->mapping);
        free(view);
        lastError_ = ErrIo;
        return nullptr;
    }
    *dataAddress = static_cast<const uint8_t*>(view->base) + delta;
    return view;
}

int PackageReader::UnmapEntry(EntryView* view) {
    if (!view) {
        return 0;
    }
    bool released = true;
    if (view->base) {
        released = platform::UnmapView(view->base, view->length) && released;
    }
    if (view->mapping != platform::kNoMapping) {
        released = platform::CloseMapping(view->mapping) && released;
    }
    free(view);
    return released ? 1 : 0;
}

int PackageReader::Close() {
    if (file_ != platform::kNoFile) {
        platform::CloseFile(file_);
    }
    entries_.Reset();
    file_ = platform::kNoFile;
    openFailed_ = false;
    lastError_ = ErrNone;
    indexOffset_ = 0;
    packageEnd_ = 0;
    return 1;
}

const PackageEntry* PackageReader::Entry(int32_t index) const {
    if (index < 0 || uint32_t(index) >= entries_.Count()) {
        return nullptr;
    }
    return entries_.At(uint32_t(index));
}
