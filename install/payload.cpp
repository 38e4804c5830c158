#include "install/payload.h"

#include <stdlib.h>
#include <string.h>

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

// Copies entry 0 out of its read-only view into a block of its own; null if the entry is
// missing, empty or cannot be mapped, or no block can be had. The caller frees the block.
uint8_t* CopyPayload(PackageReader& reader, uint32_t* size, WriteFailure* failure) {
    // An empty payload is no screen saver; writing it would replace a good file with nothing.
    if (reader.EntryCount() == 0 || (*size = reader.EntrySize(0)) == 0) {
        Fail(failure, WriteStep::kReadPayload, 0);
        return nullptr;
    }
    const uint8_t* data = nullptr;
    EntryView* view = reader.MapEntry(0, &data);
    if (!view) {
        Fail(failure, WriteStep::kReadPayload, platform::LastError());
        return nullptr;
    }
    uint8_t* block = static_cast<uint8_t*>(malloc(*size));
    if (block) {
        memcpy(block, data, *size);
    } else {
        Fail(failure, WriteStep::kMemory, 0);
    }
    PackageReader::UnmapEntry(view);
    return block;
}

// Writes `block` into a new temporary file beside the target and puts it in place of the
// target, so that a failure at any step leaves the target as it was and no partial file.
bool WriteBeside(const char* targetPath, const uint8_t* block, uint32_t size,
                 WriteFailure* failure) {
    char tempPath[platform::kMaxPath];
    if (!platform::CreateTempFileBeside(targetPath, tempPath)) {
        return Fail(failure, WriteStep::kCreateFile, platform::LastError());
    }
    platform::FileHandle file = platform::OpenForWriting(tempPath);
    if (file == platform::kNoFile) {
        uint32_t error = platform::LastError();
        platform::RemoveFile(tempPath);
        return Fail(failure, WriteStep::kCreateFile, error);
    }
    bool written = platform::WriteAll(file, block, size);
    uint32_t error = platform::LastError();
    // Closing can be where a delayed write reports a full disk.
    if (!platform::CloseFile(file) && written) {
        written = false;
        error = platform::LastError();
    }
    if (!written) {
        platform::RemoveFile(tempPath);
        return Fail(failure, WriteStep::kWrite, error);
    }
    if (!platform::MoveIntoPlace(tempPath, targetPath)) {
        error = platform::LastError();
        platform::RemoveFile(tempPath);
        return Fail(failure, WriteStep::kReplace, error);
    }
    return true;
}

}  // namespace

bool WritePayload(PackageReader& reader, const char* targetPath, WriteFailure* failure) {
    Fail(failure, WriteStep::kNone, 0);
    uint32_t size = 0;
    uint8_t* block = CopyPayload(reader, &size, failure);
    if (!block) {
        return false;
    }
    bool written = WriteBeside(targetPath, block, size, failure);
    free(block);
    return written;
}
