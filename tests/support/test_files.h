// File helpers shared by the tests: temporary folders, whole-file reads and writes, and
// packaged host files built in memory.
#pragma once

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

namespace testing_files {

// A new, empty folder under the system's temporary folder.
std::string MakeTempDir();
void RemoveTree(const std::string& path);
// The names in a folder, without "." and "..".
std::vector<std::string> ListDir(const std::string& path);

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

// The path separator of the platform the tests run on.
std::string Join(const std::string& folder, const std::string& name);

// Takes away, or gives back, everyone's permission to write to the file at `path` (on Windows,
// its read-only attribute).
void SetReadOnly(const std::string& path, bool readOnly);

// Bytes that differ from entry to entry and from offset to offset.
std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed);

// A test name made of a row's label: "count 0 is empty" gives "Count0IsEmpty".
std::string NameOf(const std::string& label);

// Names the rows of a parameterised test by their `label` field.
struct LabelName {
    template <class Param>
    std::string operator()(const Param& info) const {
        return NameOf(info.param.label);
    }
};

// `host` followed by a package of `entries` (name, data), laid out as the packer does.
std::vector<uint8_t> BuildPackagedFile(
    const std::vector<uint8_t>& host,
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries);

}  // namespace testing_files
