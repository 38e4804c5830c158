// Files for the end-to-end scenarios: the installers they run, the payloads those carry, and the
// checks on what an installer leaves behind. Failures throw ScenarioFailure with the path and
// the reason, so a scenario reads as a list of steps.
#pragma once

#include <stdint.h>

#include <stdexcept>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct ScenarioFailure : std::runtime_error {
    explicit ScenarioFailure(const std::string& what) : std::runtime_error(what) {}
};

// Reproducible filler that no real file resembles, so a copy can only match by being exact.
Bytes PseudoRandomBytes(size_t size, uint32_t seed);

struct PackedEntry {
    std::string name;
    Bytes data;
};

// Writes `host` followed by a package of `entries`, laid out by hand rather than by the project's
// own writer so that the installer's reader is checked against the format itself. A few bytes
// of padding put entry 0 at an odd offset: the reader must find it through the index, not by
// assuming it starts where the host ends, and must map it from an unaligned offset.
void WritePackedInstaller(const std::string& hostPath, const std::string& outPath,
                          const std::vector<PackedEntry>& entries);

// Paths are UTF-8 and reach the system through its wide calls, so that a scenario can use names
// that the ANSI code page cannot spell.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& text);

// Linux paths given on the command line become paths of Wine's Z: drive.
std::string ToWindowsPath(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);

Bytes ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const Bytes& data);
void CopyWholeFile(const std::string& from, const std::string& to);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
void DeleteFileIfPresent(const std::string& path);
void MakeFolders(const std::string& path);
void RemoveTree(const std::string& path);
// Names in `folder`, without "." and "..", sorted.
std::vector<std::string> ListFolder(const std::string& folder);

// Throws unless `path` holds exactly `expected`, naming the first differing byte.
void ExpectFileContent(const std::string& path, const Bytes& expected);
void ExpectMissing(const std::string& path);
void ExpectFolderHoldsOnly(const std::string& folder, const std::vector<std::string>& names);
