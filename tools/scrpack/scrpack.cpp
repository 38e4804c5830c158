// scrpack: appends a package to a host executable, lists a package, or extracts one entry.
// Output is written to a temporary file beside the destination and renamed into place, so a
// failed run never leaves a half-written installer.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "package/package_format.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "platform/platform.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  scrpack build HOST ENTRY... -o OUT   write HOST followed by a package of the ENTRY files\n"
    "                                      (entry 0 is the screen saver the installer copies)\n"
    "  scrpack list FILE                    print each entry's index, offset, size and name\n"
    "  scrpack extract FILE N -o OUT        write entry N of FILE's package to OUT\n"
    "  scrpack --help                       show this text\n";

const uint32_t kChunk = 1 << 20;

int Usage() {
    fputs(kUsage, stderr);
    return 2;
}

bool Failed(const char* what, const std::string& path) {
    char reason[256];
    platform::DescribeError(platform::LastError(), reason, sizeof reason);
    fprintf(stderr, "scrpack: %s '%s': %s\n", what, path.c_str(), reason);
    return false;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file being written under a temporary name beside its destination.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path) : path_(path), file_(platform::kNoFile) {
        tempPath_[0] = '\0';
    }
    ~OutputFile() {
        if (file_ != platform::kNoFile) {
            platform::CloseFile(file_);
        }
        if (tempPath_[0] != '\0') {
            platform::RemoveFile(tempPath_);
        }
    }

    bool Create() {
        if (!platform::CreateTempFileBeside(path_.c_str(), tempPath_)) {
            tempPath_[0] = '\0';
            return Failed("cannot create a file beside", path_);
        }
        file_ = platform::OpenForWriting(tempPath_);
        return file_ != platform::kNoFile || Failed("cannot write", tempPath_);
    }

    bool Write(const void* data, uint32_t size) {
        return size == 0 || platform::WriteAll(file_, data, size) || Failed("cannot write", path_);
    }

    // Copies all of `sourcePath` into the output: inside the system where it can, which spares
    // a copy of every byte through our memory (for large payloads, the difference between the
    // speed of cat and half of it), else a chunk at a time through a buffer.
    bool CopyFrom(const std::string& sourcePath) {
        platform::FileHandle source = platform::OpenForReading(sourcePath.c_str());
        if (source == platform::kNoFile) {
            return Failed("cannot open", sourcePath);
        }
        std::vector<uint8_t> chunk;
        bool inSystem = true;
        bool ok = true;
        for (uint32_t offset = 0;; offset += kChunk) {
            uint32_t got = 0;
            if (inSystem && !platform::CopyInSystem(source, offset, file_, kChunk, &got)) {
                if (offset != 0 || got != 0) {
                    ok = Failed("cannot copy", sourcePath);
                    break;
                }
                inSystem = false;
            }
            if (!inSystem) {
                chunk.resize(kChunk);
                if (!platform::ReadAt(source, offset, chunk.data(), kChunk, &got)) {
                    ok = Failed("cannot read", sourcePath);
                    break;
                }
                if (got != 0 && !Write(chunk.data(), got)) {
                    ok = false;
                    break;
                }
            }
            // A short chunk is the end of the file. Reading on to find that out would ask for
            // an offset of 2 GiB or more after the last chunk of an entry just under 2 GiB.
            if (got < kChunk) {
                break;
            }
        }
        platform::CloseFile(source);
        return ok;
    }

    bool Finish() {
        bool closed = platform::CloseFile(file_);
        file_ = platform::kNoFile;
        if (!closed) {
            return Failed("cannot write", path_);
        }
        if (!platform::MoveIntoPlace(tempPath_, path_.c_str())) {
            return Failed("cannot replace", path_);
        }
        tempPath_[0] = '\0';
        return true;
    }

  private:
    std::string path_;
    char tempPath_[platform::kMaxPath];
    platform::FileHandle file_;
};

bool SizeOf(const std::string& path, uint64_t* size) {
    platform::FileHandle file = platform::OpenForReading(path.c_str());
    if (file == platform::kNoFile) {
        return Failed("cannot open", path);
    }
    bool ok = platform::FileSize(file, size) || Failed("cannot read the size of", path);
    platform::CloseFile(file);
    return ok;
}

int Build(const std::string& host, const std::vector<std::string>& entryPaths,
          const std::string& out) {
    uint64_t hostSize = 0;
    if (!SizeOf(host, &hostSize)) {
        return 1;
    }
    std::vector<EntryLayout> entries;
    for (const std::string& path : entryPaths) {
        uint64_t size = 0;
        if (!SizeOf(path, &size)) {
            return 1;
        }
        if (size > kMaxFileSize) {
            fprintf(stderr, "scrpack: '%s' is too large: a package must stay below 2 GiB\n",
                    path.c_str());
            return 1;
        }
        entries.push_back(EntryLayout{BaseName(path), uint32_t(size), 0});
    }
    uint64_t fileSize = 0;
    switch (LayOutPackage(hostSize, entries, &fileSize)) {
        case LayoutError::kNone:
            break;
        case LayoutError::kNameTooLong:
            fprintf(stderr, "scrpack: an entry name must be shorter than 499 bytes\n");
            return 1;
        case LayoutError::kTooLarge:
            fprintf(stderr,
                    "scrpack: the output would be 2 GiB or more, which no reader can "
                    "position in\n");
            return 1;
    }

    OutputFile output(out);
    if (!output.Create() || !output.CopyFrom(host)) {
        return 1;
    }
    uint64_t position = hostSize;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!output.CopyFrom(entryPaths[i])) {
            return 1;
        }
        position += entries[i].size;
    }
    std::vector<uint8_t> index = EncodeIndexAndTrailer(entries, uint32_t(position));
    if (!output.Write(index.data(), uint32_t(index.size())) || !output.Finish()) {
        return 1;
    }
    // The inputs may have changed while they were copied; the size is the proof.
    uint64_t written = 0;
    if (!SizeOf(out, &written) || written != fileSize) {
        fprintf(stderr,
                "scrpack: '%s' has %llu bytes, not %llu: an input changed while it was "
                "read\n",
                out.c_str(), static_cast<unsigned long long>(written),
                static_cast<unsigned long long>(fileSize));
        platform::RemoveFile(out.c_str());
        return 1;
    }
    return 0;
}

bool OpenPackage(PackageReader& reader, const std::string& path) {
    if (reader.Open(path.c_str())) {
        return true;
    }
    if (reader.LastError() == ErrCannotOpen) {
        Failed("cannot open", path);
    } else {
        fprintf(stderr, "scrpack: '%s' carries a damaged package\n", path.c_str());
    }
    return false;
}

int List(const std::string& path) {
    PackageReader reader;
    if (!OpenPackage(reader, path)) {
        return 1;
    }
    int32_t count = reader.EntryCount();
    printf("%d entries\n", count);
    for (int32_t i = 0; i < count; ++i) {
        const PackageEntry* entry = reader.Entry(i);
        printf("%d\t%u\t%u\t%s\n", i, entry->offset, entry->size, entry->name ? entry->name : "");
    }
    return 0;
}

int Extract(const std::string& path, const std::string& number, const std::string& out) {
    char* end = nullptr;
    long index = strtol(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || index < 0 || index > 0x7FFFFFFF) {
        fprintf(stderr, "scrpack: '%s' is not an entry number\n", number.c_str());
        return 2;
    }
    PackageReader reader;
    if (!OpenPackage(reader, path)) {
        return 1;
    }
    if (index >= reader.EntryCount()) {
        fprintf(stderr, "scrpack: '%s' has no entry %ld\n", path.c_str(), index);
        return 1;
    }
    const uint8_t* data = nullptr;
    EntryView* view = reader.MapEntry(int32_t(index), &data);
    if (!view) {
        Failed("cannot map an entry of", path);
        return 1;
    }
    uint32_t size = reader.EntrySize(int32_t(index));
    OutputFile output(out);
    bool ok = output.Create() && output.Write(data, size) && output.Finish();
    PackageReader::UnmapEntry(view);
    return ok ? 0 : 1;
}

// Takes "-o OUT" out of the arguments.
bool TakeOutput(std::vector<std::string>& args, std::string* out) {
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "-o") {
            *out = args[i + 1];
            args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
            return !out->empty();
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage();
    }
    if (args[0] == "--help" || args[0] == "-h") {
        fputs(kUsage, stdout);
        return 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    std::string out;
    if (command == "build" && TakeOutput(args, &out) && args.size() >= 2) {
        return Build(args[0], std::vector<std::string>(args.begin() + 1, args.end()), out);
    }
    if (command == "list" && args.size() == 1) {
        return List(args[0]);
    }
    if (command == "extract" && TakeOutput(args, &out) && args.size() == 2) {
        return Extract(args[0], args[1], out);
    }
    return Usage();
}
