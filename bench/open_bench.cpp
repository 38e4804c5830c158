// Times PackageReader::Open of a package with many entries against one plain read of the same
// file, alternating the two so that both meet the same state of the system's file cache.
//
//   open_bench FILE ENTRIES RUNS
//
// Writes FILE (a small host and ENTRIES entries of a few bytes each), then prints one line:
// open_us and read_us (medians of RUNS) and the file's size in bytes.

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "package/package_reader.h"
#include "package/package_writer.h"

namespace {

double NowUs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool WritePackage(const char* path, uint32_t count) {
    const std::vector<uint8_t> host(4096, 0x90);
    std::vector<EntryLayout> entries;
    for (uint32_t i = 0; i < count; ++i) {
        char name[32];
        snprintf(name, sizeof name, "picture%06u.jpg", i);
        entries.push_back({name, 16, 0});
    }
    uint64_t fileSize = 0;
    if (LayOutPackage(host.size(), entries, &fileSize) != LayoutError::kNone) {
        return false;
    }
    FILE* out = fopen(path, "wb");
    if (!out) {
        return false;
    }
    fwrite(host.data(), 1, host.size(), out);
    const std::vector<uint8_t> data(16, 0x5A);
    for (uint32_t i = 0; i < count; ++i) {
        fwrite(data.data(), 1, data.size(), out);
    }
    const uint32_t indexOffset = uint32_t(host.size() + 16ull * count);
    const std::vector<uint8_t> index = EncodeIndexAndTrailer(entries, indexOffset);
    fwrite(index.data(), 1, index.size(), out);
    return fclose(out) == 0;
}

// One read of the whole file into memory, as a program that wanted every byte would do.
bool ReadWhole(const char* path, std::vector<uint8_t>* buffer) {
    FILE* in = fopen(path, "rb");
    if (!in) {
        return false;
    }
    const size_t got = fread(buffer->data(), 1, buffer->size(), in);
    fclose(in);
    return got == buffer->size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: open_bench FILE ENTRIES RUNS\n");
        return 2;
    }
    const char* path = argv[1];
    const uint32_t count = uint32_t(strtoul(argv[2], nullptr, 10));
    const int runs = atoi(argv[3]);
    if (!WritePackage(path, count) || runs < 1) {
        fprintf(stderr, "open_bench: cannot write %s\n", path);
        return 1;
    }
    FILE* probe = fopen(path, "rb");
    fseek(probe, 0, SEEK_END);
    std::vector<uint8_t> buffer(size_t(ftell(probe)));
    fclose(probe);

    std::vector<double> opens, reads;
    for (int i = 0; i < runs; ++i) {
        double start = NowUs();
        if (!ReadWhole(path, &buffer)) {
            fprintf(stderr, "open_bench: cannot read %s\n", path);
            return 1;
        }
        reads.push_back(NowUs() - start);

        PackageReader reader;
        start = NowUs();
        const int opened = reader.Open(path);
        opens.push_back(NowUs() - start);
        if (opened != 1 || reader.EntryCount() != int32_t(count)) {
            fprintf(stderr, "open_bench: the reader did not open %u entries\n", count);
            return 1;
        }
    }
    printf("open_us=%.1f read_us=%.1f bytes=%zu\n", Median(opens), Median(reads), buffer.size());
    return 0;
}
