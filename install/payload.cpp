#include "install/payload.h"

#include "package/package_reader.h"
#include "platform/platform.h"

namespace {

bool Fail(WriteFailure* failure, WriteStep step, uint32_t systemError) {
    if (failure) {
        failure->step = step;
        failure->systemError = systemError;
    }
    return false;
}

// A mapped part of entry 0. The payload is copied one window at a time, so that the copy needs
// no more memory than one window whatever the payload's size: a whole payload of up to 2 GiB
// would not fit a 32-bit address space beside the program.
struct Window {
    EntryView* view;
    const uint8_t* data;
    uint32_t length;
};

bool MapWindow(PackageReader& reader, uint32_t start, uint32_t size, Window* window) {
    window->length = size - start < kPayloadWindowSize ? size - start : kPayloadWindowSize;
    window->view = reader.MapEntryPart(0, start, window->length, &window->data);
    return window->view != nullptr;
}

// Creates a new temporary file beside the target and opens it for writing, so that the target
// is touched only by the final rename.
platform::FileHandle CreateFileBeside(const char* targetPath, char* tempPath,
                                      WriteFailure* failure) {
    if (!platform::CreateTempFileBeside(targetPath, tempPath)) {
        Fail(failure, WriteStep::kCreateFile, platform::LastError());
        return platform::kNoFile;
    }
    platform::FileHandle file = platform::OpenForWriting(tempPath);
    if (file == platform::kNoFile) {
        uint32_t error = platform::LastError();
        platform::RemoveFile(tempPath);
        Fail(failure, WriteStep::kCreateFile, error);
    }
    return file;
}

// Writes the payload to `file`, starting with the already mapped `window` and mapping the next
// one as each is written. Every window is released before this returns.
bool CopyWindows(PackageReader& reader, uint32_t size, Window window, platform::FileHandle file,
                 WriteFailure* failure) {
    uint32_t start = 0;
    for (;;) {
        bool written = platform::WriteAll(file, window.data, window.length);
        uint32_t error = platform::LastError();
        PackageReader::UnmapEntry(window.view);
        if (!written) {
            return Fail(failure, WriteStep::kWrite, error);
        }
        start += window.length;
        if (start == size) {
            return true;
        }
        if (!MapWindow(reader, start, size, &window)) {
            return Fail(failure, WriteStep::kReadPayload, platform::LastError());
        }
    }
}

}  // namespace

bool WritePayload(PackageReader& reader, const char* targetPath, WriteFailure* failure) {
    Fail(failure, WriteStep::kNone, 0);
    // An empty payload is no screen saver; writing it would replace a good file with nothing.
    uint32_t size = 0;
    if (reader.EntryCount() == 0 || (size = reader.EntrySize(0)) == 0) {
        return Fail(failure, WriteStep::kReadPayload, 0);
    }
    // A payload that cannot be mapped at all is refused before any file is created.
    Window first;
    if (!MapWindow(reader, 0, size, &first)) {
        return Fail(failure, WriteStep::kReadPayload, platform::LastError());
    }
    char tempPath[platform::kMaxPath];
    platform::FileHandle file = CreateFileBeside(targetPath, tempPath, failure);
    if (file == platform::kNoFile) {
        PackageReader::UnmapEntry(first.view);
        return false;
    }
    bool written = CopyWindows(reader, size, first, file, failure);
    // The rename is put on the disk as soon as it is made, possibly before the data: without a
    // flush, a power cut after it could leave an empty or partial file where a whole one stood.
    if (written && !platform::FlushFile(file)) {
        written = Fail(failure, WriteStep::kWrite, platform::LastError());
    }
    // Closing can be where a delayed write reports a full disk.
    if (!platform::CloseFile(file) && written) {
        written = Fail(failure, WriteStep::kWrite, platform::LastError());
    }
    if (!written) {
        platform::RemoveFile(tempPath);
        return false;
    }
    if (!platform::MoveIntoPlace(tempPath, targetPath)) {
        uint32_t error = platform::LastError();
        platform::RemoveFile(tempPath);
        return Fail(failure, WriteStep::kReplace, error);
    }
    return true;
}
