// Building an installer: a host followed by a package of input files, written beside the output
// under a temporary name and put in its place only when every check has passed, so a failed run
// leaves the old output as it was and no part behind.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

// Prints "scrpack: WHAT 'PATH': REASON" with the system's reason for the last error; false.
bool Failed(const char* what, const std::string& path);

// A file being written under a temporary name beside its destination.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();

    bool Create();
    bool Write(const void* data, uint32_t size);
    // The number of bytes written so far, as the file system reports it.
    bool WrittenSize(uint64_t* size);
    // Closes the file and puts it in place of the destination, with the permission bits of the
    // file it replaces.
    bool Finish();

  private:
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::string path_;
    char tempPath_[platform::kMaxPath];
    platform::FileHandle file_;
};

struct BuildOptions {
    bool anyEntry = false;  // entry 0 need not be a Windows executable
    bool force = false;     // the host may carry a package already
};

// The moments at which a test may change an input behind the packer's back.
enum class BuildStage {
    kMeasured,  // every input is open and its size known
    kSummed,    // every input has been read once, for the checksum; nothing is written yet
};
typedef void (*BuildObserver)(BuildStage stage, void* context);

// Writes `host` followed by a package of `entries` to `out`. Returns the exit code: 0, or 1
// after a message on the standard error.
int BuildInstaller(const std::string& host, const std::vector<std::string>& entries,
                   const std::string& out, const BuildOptions& options,
                   BuildObserver observer = nullptr, void* context = nullptr);
