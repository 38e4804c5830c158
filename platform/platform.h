// The thin layer between the portable code and the operating system: files, read-only mappings,
// temporary files and the code page's lead bytes. platform_win32.cpp implements it with the ANSI
// Win32 calls, platform_posix.cpp with open/pread/mmap so the same code runs in native tests.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace platform {

// A file handle: a HANDLE on Windows, a descriptor on POSIX. Both fit an intptr_t, and both
// use -1 for "no file" (INVALID_HANDLE_VALUE is (HANDLE)-1).
typedef intptr_t FileHandle;
const FileHandle kNoFile = -1;

// A read-only mapping of a file. On POSIX there is no mapping object; the handle then only
// records which file a view maps. 0 is "no mapping".
typedef intptr_t MappingHandle;
const MappingHandle kNoMapping = 0;

// Room for a path on the platform, NUL included (MAX_PATH on Windows).
const size_t kMaxPath = 260;

// Opens an existing file for reading; other handles may read it, none may write it.
FileHandle OpenForReading(const char* path);

// Opens the running program's own file as OpenForReading does, by a name that spells any folder
// it lies in. A sharing violation (a scanner holding the file) is waited out for a moment.
FileHandle OpenOwnFile();

// The file's size, or false if it cannot be queried.
bool FileSize(FileHandle file, uint64_t* size);

// Reads up to `count` bytes at `offset` (0 <= offset < 2 GiB). Stores the number of bytes read,
// fewer at the end of the file. False only when the seek or the read reports an error.
bool ReadAt(FileHandle file, uint32_t offset, void* buffer, uint32_t count, uint32_t* bytesRead);

bool CloseFile(FileHandle file);

// The granularity that view offsets must be aligned to.
uint32_t AllocationGranularity();

// A read-only mapping covering the file from its start up to `maximumSize` bytes, which must be
// above 0 and no larger than the file.
MappingHandle CreateReadOnlyMapping(FileHandle file, uint32_t maximumSize);

// A read-only view of `length` bytes (above 0) at `offset`, a multiple of the granularity.
const void* MapView(MappingHandle mapping, uint32_t offset, uint32_t length);

bool UnmapView(const void* base, uint32_t length);
bool CloseMapping(MappingHandle mapping);

// Creates a new, empty file with a unique name in `folder` and the given prefix (at most three
// characters) and stores its path in `path` (kMaxPath bytes). False if no file can be created.
bool CreateUniqueFile(const char* folder, const char* prefix, char* path);

// Creates a new, empty file with a unique name in the folder that holds `targetPath`, so that a
// later MoveIntoPlace is a rename within one folder. Its path goes to `tempPath` (kMaxPath bytes).
bool CreateTempFileBeside(const char* targetPath, char* tempPath);

// Opens an existing file for writing, truncated, with no sharing.
FileHandle OpenForWriting(const char* path);

// Writes all `count` bytes in one write.
bool WriteAll(FileHandle file, const void* data, uint32_t count);

// Asks the system to put everything written to `file` on the disk before it returns, so that a
// file about to replace another is complete there, not only in the system's cache.
bool FlushFile(FileHandle file);

// Puts the file `source` in place of `target`, replacing a file that stands there. A read-only
// file or a folder at `target` is refused. On failure `target` is left as it was.
bool MoveIntoPlace(const char* source, const char* target);

#ifdef _WIN32
// MoveIntoPlace's way where the system's replacing move is missing (the 9x family): the same
// contract, in steps. Declared for its tests, which cannot make the system lack the call.
bool ReplaceBySteps(const char* source, const char* target);
#endif

bool RemoveFile(const char* path);

// True if something (a file or a folder) stands at `path`.
bool PathExists(const char* path);

// The system's last error code (GetLastError or errno), for messages.
uint32_t LastError();

// The system's text for an error code, without its trailing line break; empty when the system
// has none or it does not fit `capacity`.
void DescribeError(uint32_t error, char* text, size_t capacity);

// Does this byte begin a double-byte character in the system's ANSI code page?
bool IsSystemLeadByte(unsigned char byte);

// What stands at a path, found without opening it (opening a pipe would wait for its writer).
enum class PathKind { kNothing, kRegularFile, kFolder, kOther };
PathKind KindOfPath(const char* path);

// Gives the file at `path` the permission bits of the file at `model`. Where files carry no such
// bits (Windows: a replaced file takes its folder's permissions), there is nothing to do.
bool CopyPermissions(const char* model, const char* path);

}  // namespace platform
