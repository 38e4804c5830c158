// The package reader over arbitrary bytes as a host file: every entry it offers must be read
// and mapped exactly as the file holds it, and nothing may crash, leak or read out of bounds.
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "package/package_reader.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// One file per process, rewritten for every input and removed at exit.
const char* HostPath() {
    static std::string path;
    if (path.empty()) {
        const char* folder = getenv("TMPDIR");
        path = std::string(folder && *folder ? folder : "/tmp") + "/reader_fuzz_XXXXXX";
        int fd = mkstemp(&path[0]);
        Check(fd >= 0);
        close(fd);
        atexit([] { unlink(path.c_str()); });
    }
    return path.c_str();
}

void WriteHost(const uint8_t* data, size_t size) {
    int fd = open(HostPath(), O_WRONLY | O_TRUNC);
    Check(fd >= 0);
    size_t written = 0;
    while (written < size) {
        ssize_t now = write(fd, data + written, size - written);
        Check(now > 0);
        written += size_t(now);
    }
    close(fd);
}

void CheckEntry(PackageReader& reader, int32_t index, const uint8_t* data, size_t size) {
    const PackageEntry* entry = reader.Entry(index);
    Check(entry != nullptr);
    // Every entry the reader keeps lies inside the file.
    Check(uint64_t(entry->offset) + entry->size <= size);
    const uint32_t entrySize = reader.EntrySize(index);
    Check(entrySize == entry->size);

    std::vector<uint8_t> read(entrySize + 1, 0xA5);
    const uint32_t got = reader.ReadEntry(index, read.data(), uint32_t(read.size()));
    Check(got == entrySize);
    Check(memcmp(read.data(), data + entry->offset, entrySize) == 0);
    Check(read[entrySize] == 0xA5);

    const uint8_t* mapped = nullptr;
    EntryView* view = reader.MapEntry(index, &mapped);
    Check(view != nullptr);
    Check(entrySize == 0 ? mapped == nullptr
                         : memcmp(mapped, data + entry->offset, entrySize) == 0);
    Check(PackageReader::UnmapEntry(view) == 1);
    Check(reader.LastError() == ErrNone);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteHost(data, size);
    PackageReader reader;
    if (reader.Open(HostPath()) == 1) {
        Check(reader.LastError() == ErrNone);
        const int32_t count = reader.EntryCount();
        Check(count >= 0 && size_t(count) * 12 <= size);
        for (int32_t i = 0; i < count; ++i) {
            CheckEntry(reader, i, data, size);
        }
        // One past the last entry is refused, and the refusal sticks until Close.
        const uint8_t* mapped = nullptr;
        Check(reader.MapEntry(count, &mapped) == nullptr);
        Check(reader.LastError() == ErrBadIndex && reader.EntryCount() == 0);
    } else {
        Check(reader.LastError() == ErrIo && reader.EntryCount() == 0);
    }
    Check(reader.Close() == 1 && reader.LastError() == ErrNone);
    return 0;
}
