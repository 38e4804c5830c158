#include "tools/scrpack/installer_build.h"

#include <stdio.h>
#include <string.h>

#include "package/package_format.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "tools/scrpack/pe_image.h"
#include "tools/scrpack/scrpack_text.h"

namespace {

const uint32_t kChunk = 1 << 20;

// An input file, open from the moment it is measured until the build ends, so that the bytes
// copied come from the file that was measured.
struct Input {
    std::string path;
    platform::FileHandle file = platform::kNoFile;
    uint64_t size = 0;
};

class Inputs {
  public:
    Inputs() = default;
    ~Inputs() {
        for (Input& input : items_) {
            platform::CloseFile(input.file);
        }
    }

    // Opens and measures a regular file; anything else is refused before it is opened.
    bool Add(const std::string& path) {
        switch (platform::KindOfPath(path.c_str())) {
            case platform::PathKind::kFolder:
                fprintf(stderr, "scrpack: '%s' is a folder, not a file\n", path.c_str());
                return false;
            case platform::PathKind::kOther:
                fprintf(stderr, "scrpack: '%s' is not a regular file (a pipe or a device)\n",
                        path.c_str());
                return false;
            case platform::PathKind::kNothing:
            case platform::PathKind::kRegularFile:
                break;
        }
        Input input;
        input.path = path;
        input.file = platform::OpenForReading(path.c_str());
        if (input.file == platform::kNoFile) {
            return Failed("cannot open", path);
        }
        items_.push_back(input);
        return platform::FileSize(input.file, &items_.back().size) ||
               Failed("cannot read the size of", path);
    }

    Input& operator[](size_t i) { return items_[i]; }
    size_t Count() const { return items_.size(); }

  private:
    Inputs(const Inputs&) = delete;
    Inputs& operator=(const Inputs&) = delete;

    std::vector<Input> items_;
};

bool ReadInput(const void* context, uint32_t offset, uint8_t* bytes, uint32_t count) {
    const Input* input = static_cast<const Input*>(context);
    uint32_t got = 0;
    return uint64_t(offset) + count <= input->size &&
           platform::ReadAt(input->file, offset, bytes, count, &got) && got == count;
}

ByteSource InputSource(const Input& input) {
    return ByteSource{ReadInput, &input};
}

bool ChangedWhileRead(const Input& input) {
    fprintf(stderr, "scrpack: '%s' changed while it was read; nothing was written\n",
            input.path.c_str());
    return false;
}

// Reads exactly the measured size of `input`, handing each piece to `use`, and then makes sure
// the file still has that size and nothing more.
template <class Use>
bool ReadMeasured(const Input& input, std::vector<uint8_t>& chunk, Use use) {
    const uint32_t size = uint32_t(input.size);  // the layout has kept it below 2 GiB
    for (uint32_t offset = 0; offset < size;) {
        const uint32_t wanted = size - offset < kChunk ? size - offset : kChunk;
        uint32_t got = 0;
        if (!platform::ReadAt(input.file, offset, chunk.data(), wanted, &got)) {
            return Failed("cannot read", input.path);
        }
        if (got != wanted) {
            return ChangedWhileRead(input);
        }
        if (!use(offset, chunk.data(), got)) {
            return false;
        }
        offset += got;
    }
    uint64_t sizeNow = 0;
    uint8_t beyond;
    uint32_t got = 0;
    if (!platform::FileSize(input.file, &sizeNow) ||
        !platform::ReadAt(input.file, size, &beyond, 1, &got)) {
        return Failed("cannot read", input.path);
    }
    return (sizeNow == input.size && got == 0) || ChangedWhileRead(input);
}

bool EndsWithMagic(const Input& input) {
    uint8_t magic[kMagicSize];
    return input.size >= kMagicSize &&
           ReadInput(&input, uint32_t(input.size - kMagicSize), magic, kMagicSize) &&
           memcmp(magic, PACKAGE_MAGIC, kMagicSize) == 0;
}

// An installer given where the bare host belongs: its package would hide the new one's.
bool CarriesPackage(const Input& host) {
    if (EndsWithMagic(host)) {
        return true;
    }
    PackageReader reader;
    return reader.Open(host.path.c_str()) && reader.EntryCount() > 0;
}

bool CheckEntryZero(const Input& entry, const BuildOptions& options) {
    if (entry.size == 0) {
        fprintf(stderr,
                "scrpack: '%s' is empty: entry 0 is the screen saver the installer copies\n",
                entry.path.c_str());
        return false;
    }
    const PeCheck check = CheckWindowsExecutable(InputSource(entry));
    if (check != PeCheck::kWindowsExecutable && !options.anyEntry) {
        fprintf(stderr,
                "scrpack: '%s' %s: entry 0 must be the screen saver, a Windows executable "
                "(--any packs it anyway)\n",
                entry.path.c_str(), DescribePeCheck(check));
        return false;
    }
    return true;
}

bool LayOut(Inputs& inputs, std::vector<EntryLayout>* entries, uint64_t* fileSize) {
    for (size_t i = 1; i < inputs.Count(); ++i) {
        const Input& input = inputs[i];
        if (input.size > kMaxFileSize) {
            fprintf(stderr, "scrpack: '%s' is too large: a package must stay below 2 GiB\n",
                    input.path.c_str());
            return false;
        }
        entries->push_back(EntryLayout{BaseName(input.path), uint32_t(input.size), 0});
    }
    switch (LayOutPackage(inputs[0].size, *entries, fileSize)) {
        case LayoutError::kNone:
            return true;
        case LayoutError::kNameTooLong:
            fprintf(stderr, "scrpack: an entry name must be shorter than 499 bytes\n");
            return false;
        case LayoutError::kTooLarge:
            fprintf(stderr,
                    "scrpack: the output would be 2 GiB or more, which no reader can "
                    "position in\n");
            return false;
    }
    return false;
}

// The checksum of the installer to be written, from a first reading of every input.
bool SumInputs(Inputs& inputs, const std::vector<uint8_t>& index, uint32_t field,
               std::vector<uint8_t>& chunk, uint32_t* checksum) {
    PeChecksum sum(field);
    for (size_t i = 0; i < inputs.Count(); ++i) {
        if (!ReadMeasured(inputs[i], chunk, [&sum](uint32_t, const uint8_t* bytes, uint32_t n) {
                sum.Add(bytes, n);
                return true;
            })) {
            return false;
        }
    }
    sum.Add(index.data(), uint32_t(index.size()));
    *checksum = sum.Finish();
    return true;
}

// Puts the checksum into the host's header as the piece at `offset` passes by.
void PatchChecksum(uint32_t field, uint32_t checksum, uint32_t offset, uint8_t* bytes,
                   uint32_t count) {
    uint8_t value[4];
    EncodeU32(checksum, value);
    for (uint32_t i = 0; i < 4; ++i) {
        if (field + i >= offset && field + i - offset < count) {
            bytes[field + i - offset] = value[i];
        }
    }
}

}  // namespace

bool Failed(const char* what, const std::string& path) {
    char reason[256];
    platform::DescribeError(platform::LastError(), reason, sizeof reason);
    fprintf(stderr, "scrpack: %s '%s': %s\n", what, path.c_str(), reason);
    return false;
}

OutputFile::OutputFile(const std::string& path) : path_(path), file_(platform::kNoFile) {
    tempPath_[0] = '\0';
}

OutputFile::~OutputFile() {
    if (file_ != platform::kNoFile) {
        platform::CloseFile(file_);
    }
    if (tempPath_[0] != '\0') {
        platform::RemoveFile(tempPath_);
    }
}

bool OutputFile::Create() {
    if (!platform::CreateTempFileBeside(path_.c_str(), tempPath_)) {
        tempPath_[0] = '\0';
        return Failed("cannot create a file beside", path_);
    }
    file_ = platform::OpenForWriting(tempPath_);
    return file_ != platform::kNoFile || Failed("cannot write", tempPath_);
}

bool OutputFile::Write(const void* data, uint32_t size) {
    return size == 0 || platform::WriteAll(file_, data, size) || Failed("cannot write", path_);
}

bool OutputFile::WrittenSize(uint64_t* size) {
    return platform::FileSize(file_, size) || Failed("cannot read the size of", tempPath_);
}

bool OutputFile::Finish() {
    bool closed = platform::CloseFile(file_);
    file_ = platform::kNoFile;
    if (!closed) {
        return Failed("cannot write", path_);
    }
    if (platform::KindOfPath(path_.c_str()) == platform::PathKind::kRegularFile &&
        !platform::CopyPermissions(path_.c_str(), tempPath_)) {
        return Failed("cannot give the new file the permissions of", path_);
    }
    if (!platform::MoveIntoPlace(tempPath_, path_.c_str())) {
        return Failed("cannot replace", path_);
    }
    tempPath_[0] = '\0';
    return true;
}

int BuildInstaller(const std::string& host, const std::vector<std::string>& entryPaths,
                   const std::string& out, const BuildOptions& options, BuildObserver observer,
                   void* context) {
    if (platform::KindOfPath(out.c_str()) == platform::PathKind::kFolder) {
        fprintf(stderr, "scrpack: '%s' is a folder: -o names the installer file to write\n",
                out.c_str());
        return 1;
    }
    if (entryPaths.empty()) {
        fprintf(stderr, "scrpack: an installer needs at least one entry, the screen saver\n");
        return 1;
    }
    Inputs inputs;
    if (!inputs.Add(host)) {
        return 1;
    }
    for (const std::string& path : entryPaths) {
        if (!inputs.Add(path)) {
            return 1;
        }
    }
    std::vector<EntryLayout> entries;
    uint64_t fileSize = 0;
    if (!CheckEntryZero(inputs[1], options) || !LayOut(inputs, &entries, &fileSize)) {
        return 1;
    }
    if (!options.force && CarriesPackage(inputs[0])) {
        fprintf(stderr,
                "scrpack: '%s' already carries a package: give the bare host, not an "
                "installer (--force packs it anyway)\n",
                host.c_str());
        return 1;
    }
    // A Windows host gets the checksum of the finished installer in its header; scanners
    // distrust an image whose checksum is stale.
    uint32_t field = kNoChecksumField;
    FindChecksumField(InputSource(inputs[0]), &field);
    const EntryLayout& last = entries.back();
    const std::vector<uint8_t> index = EncodeIndexAndTrailer(entries, last.offset + last.size);

    std::vector<uint8_t> chunk(kChunk);
    uint32_t checksum = 0;
    if (observer) {
        observer(BuildStage::kMeasured, context);
    }
    if (!SumInputs(inputs, index, field, chunk, &checksum)) {
        return 1;
    }
    if (observer) {
        observer(BuildStage::kSummed, context);
    }

    // The copy is summed again: an input that changed since the first reading gives another sum.
    OutputFile output(out);
    if (!output.Create()) {
        return 1;
    }
    PeChecksum written(field);
    for (size_t i = 0; i < inputs.Count(); ++i) {
        const bool isHost = i == 0;
        if (!ReadMeasured(inputs[i], chunk, [&](uint32_t offset, uint8_t* bytes, uint32_t n) {
                if (isHost && field != kNoChecksumField) {
                    PatchChecksum(field, checksum, offset, bytes, n);
                }
                written.Add(bytes, n);
                return output.Write(bytes, n);
            })) {
            return 1;
        }
    }
    written.Add(index.data(), uint32_t(index.size()));
    uint64_t writtenSize = 0;
    if (!output.Write(index.data(), uint32_t(index.size())) || !output.WrittenSize(&writtenSize)) {
        return 1;
    }
    if (written.Finish() != checksum) {
        fprintf(stderr, "scrpack: an input changed while it was read; nothing was written\n");
        return 1;
    }
    if (writtenSize != fileSize) {
        fprintf(stderr, "scrpack: '%s' would have %llu bytes, not %llu; nothing was written\n",
                out.c_str(), static_cast<unsigned long long>(writtenSize),
                static_cast<unsigned long long>(fileSize));
        return 1;
    }
    return output.Finish() ? 0 : 1;
}
