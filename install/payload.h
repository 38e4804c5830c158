// Writes the payload, entry 0 of an open package, to the screen saver file.
#pragma once

#include <stdint.h>

class PackageReader;

// The step at which writing the payload failed.
enum class WriteStep {
    kNone,
    kReadPayload,  // the package holds no usable entry 0, it cannot be mapped, or it is empty
    kCreateFile,   // no temporary file can be created beside the target
    kWrite,        // the temporary file could not be written in full
    kReplace,      // the finished file could not be put in place of the target
};

struct WriteFailure {
    WriteStep step;
    uint32_t systemError;  // the system's error code at that step, or 0
};

// The payload is copied through read-only views of at most this many bytes (a multiple of any
// allocation granularity), one at a time.
const uint32_t kPayloadWindowSize = 4u << 20;

// Copies entry 0 of `reader` into a temporary file beside `targetPath` and, once every byte is
// written, puts that file in place of the target. On failure nothing is left behind and a file
// that already stood at `targetPath` is untouched. The reader stays open.
bool WritePayload(PackageReader& reader, const char* targetPath, WriteFailure* failure);
