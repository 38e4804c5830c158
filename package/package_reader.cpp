#include "package/package_reader.h"

#include <stdlib.h>
#include <string.h>

#include "package/package_format.h"

namespace {

void ReleaseEntry(PackageEntry* entry) {
    if (entry) {
        free(entry->name);
        free(entry);
    }
}

}  // namespace

EntryTable::EntryTable() : items_(nullptr), count_(0), capacity_(0) {}

EntryTable::~EntryTable() {
    Reset();
}

bool EntryTable::Append(PackageEntry* entry) {
    if (count_ == capacity_) {
        uint32_t newCapacity = capacity_ + kGrowth;
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
    }
    items_[count_++] = entry;
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
      fileSize_(0) {}

PackageReader::~PackageReader() {
    if (file_ != platform::kNoFile || openFailed_) {
        Close();
    }
}

int PackageReader::Open(const char* path) {
    if (file_ != platform::kNoFile || openFailed_) {
        Close();
    }
    file_ = platform::OpenForReading(path);
    if (file_ == platform::kNoFile) {
        openFailed_ = true;
        lastError_ = ErrCannotOpen;
        return 0;
    }

    // A file of 2 GiB or more cannot be positioned with the signed 32-bit offsets the format
    // allows, and one shorter than the magic cannot carry a package.
    uint64_t size = 0;
    if (!platform::FileSize(file_, &size) || size > kMaxFileSize || size < kMagicSize) {
        lastError_ = ErrIo;
        return 0;
    }
    fileSize_ = uint32_t(size);

    uint8_t magic[kMagicSize];
    uint32_t got = 0;
    if (!platform::ReadAt(file_, fileSize_ - kMagicSize, magic, kMagicSize, &got) ||
        got != kMagicSize) {
        lastError_ = ErrIo;
        return 0;
    }
    if (memcmp(magic, PACKAGE_MAGIC, kMagicSize) != 0) {
        return 1;  // a host with an empty package
    }
    if (!LoadIndex()) {
        lastError_ = ErrIo;
        return 0;
    }
    return 1;
}

// Index reads are confined to the bytes before the trailer: a read that would run into the
// trailer or past the end of the file means the index lies about its size.
bool PackageReader::ReadIndexField(uint32_t* position, void* buffer, uint32_t count) {
    const uint32_t indexEnd = fileSize_ - kTrailerSize;
    if (*position > indexEnd || count > indexEnd - *position) {
        return false;
    }
    uint32_t got = 0;
    if (!platform::ReadAt(file_, *position, buffer, count, &got) || got != count) {
        return false;
    }
    *position += count;
    return true;
}

bool PackageReader::ReadIndexU32(uint32_t* position, uint32_t* value) {
    uint8_t bytes[4];
    if (!ReadIndexField(position, bytes, 4)) {
        return false;
    }
    *value = DecodeU32(bytes);
    return true;
}

bool PackageReader::LoadIndex() {
    if (fileSize_ < kTrailerSize) {
        return false;
    }
    uint8_t field[4];
    uint32_t got = 0;
    if (!platform::ReadAt(file_, fileSize_ - kTrailerSize, field, 4, &got) || got != 4) {
        return false;
    }
    indexOffset_ = DecodeU32(field);

    uint32_t position = indexOffset_;
    uint32_t count = 0;
    if (!ReadIndexU32(&position, &count)) {
        return false;
    }
    // Every record takes at least 12 bytes, so a count larger than the room left is a lie;
    // refusing it up front keeps a damaged count from driving the loop below.
    if (count > (fileSize_ - kTrailerSize - position) / kMinRecordSize) {
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        PackageEntry* entry = ReadRecord(&position);
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

PackageEntry* PackageReader::ReadRecord(uint32_t* position) {
    PackageEntry* entry = static_cast<PackageEntry*>(calloc(1, sizeof(PackageEntry)));
    if (!entry) {
        return nullptr;
    }
    bool ok = ReadIndexU32(position, &entry->nameLength) && entry->nameLength < kNameLengthLimit;
    if (ok && entry->nameLength > 0) {
        entry->name = static_cast<char*>(malloc(entry->nameLength));
        // A name is a NUL-terminated string; one without its NUL would be read past its end.
        ok = entry->name && ReadIndexField(position, entry->name, entry->nameLength) &&
             entry->name[entry->nameLength - 1] == '\0';
    }
    ok = ok && ReadIndexU32(position, &entry->offset) && ReadIndexU32(position, &entry->size);
    // Refuse an entry that does not lie inside the file: mapping or reading it would fail
    // only later, or read the wrong bytes.
    ok = ok && uint64_t(entry->offset) + entry->size <= fileSize_;
    if (!ok) {
        ReleaseEntry(entry);
        return nullptr;
    }
    return entry;
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

EntryView* PackageReader::MapEntry(int32_t index, const uint8_t** dataAddress) {
    if (!CheckEntryAccess(index)) {
        return nullptr;
    }
    if (!dataAddress) {
        lastError_ = ErrNoOutput;
        return nullptr;
    }
    const PackageEntry* entry = entries_.At(uint32_t(index));
    EntryView* view = static_cast<EntryView*>(calloc(1, sizeof(EntryView)));
    if (!view) {
        lastError_ = ErrIo;
        return nullptr;
    }
    // The platform takes a mapping or view length of 0 as "the rest of the file", so an empty
    // entry maps nothing at all.
    if (entry->size == 0) {
        *dataAddress = nullptr;
        return view;
    }

    uint32_t granularity = platform::AllocationGranularity();
    uint32_t base = entry->offset / granularity * granularity;
    uint32_t delta = entry->offset - base;
    view->mapping = platform::CreateReadOnlyMapping(file_, entry->offset + entry->size);
    if (view->mapping == platform::kNoMapping) {
        free(view);
        lastError_ = ErrIo;
        return nullptr;
    }
    view->length = delta + entry->size;
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

EntryView* PackageReader::MapEntryPart(int32_t index, uint32_t start, uint32_t length,
                                       const uint8_t** dataAddress) {
    if (!CheckEntryAccess(index)) {
        return nullptr;
    }
    if (!dataAddress) {
        lastError_ = ErrNoOutput;
        return nullptr;
    }
    const PackageEntry* entry = entries_.At(uint32_t(index));
    if (length == 0 || start > entry->size || length > entry->size - start) {
        lastError_ = ErrBadIndex;
        return nullptr;
    }
    EntryView* view = static_cast<EntryView*>(calloc(1, sizeof(EntryView)));
    if (!view) {
        lastError_ = ErrIo;
        return nullptr;
    }
    const uint32_t offset = entry->offset + start;
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
    fileSize_ = 0;
    return 1;
}

const PackageEntry* PackageReader::Entry(int32_t index) const {
    if (index < 0 || uint32_t(index) >= entries_.Count()) {
        return nullptr;
    }
    return entries_.At(uint32_t(index));
}
