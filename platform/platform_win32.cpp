// Win32 implementation of the platform layer. ANSI calls, except for opening the program's own
// file, and only calls that exist on every 32-bit Windows (no GetFileSizeEx, and MoveFileExA may
// be a stub that always fails; the 9x family has the wide calls only as stubs that fail).
#include <windows.h>

#include "platform/platform.h"

namespace platform {

namespace {

HANDLE Handle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

// The folder that holds `path`, its separator kept ("C:\dir\", "C:"), or "." for a bare name.
// Trail bytes of double-byte characters are stepped over, so they never count as separators.
bool FolderOf(const char* path, char* folder, size_t capacity) {
    size_t keep = 0;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (c == '\\' || c == '/' || c == ':') {
            keep = i + 1;
        } else if (IsDBCSLeadByte(c) && path[i + 1] != '\0') {
            ++i;
        }
    }
    if (keep == 0) {
        return lstrcpynA(folder, ".", int(capacity)) != nullptr;
    }
    if (keep >= capacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    CopyMemory(folder, path, keep);
    folder[keep] = '\0';
    return true;
}

// A read-only file or a folder at the target is never replaced, as Windows NT's replacing move
// refuses both. The 9x family's renames would replace both (and move a folder aside), and not
// every emulation of the NT move refuses a read-only file: checked here, every system alike.
bool RefusesReplacement(const char* target) {
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return true;
    }
    return false;
}

HANDLE OpenExisting(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// GetModuleFileName cuts a name that does not fit, and older systems leave it unterminated.
bool NameFits(DWORD length) {
    if (length == 0 || length >= kMaxPath) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

// The ANSI name of our own file has '?' for every character the code page lacks, so on the NT
// family the file is opened by its wide name. The 9x family's names are all in the code page.
HANDLE OpenOwnFileOnce() {
    if ((GetVersion() & 0x80000000u) != 0) {
        char path[kMaxPath];
        return NameFits(GetModuleFileNameA(nullptr, path, kMaxPath)) ? OpenExisting(path)
                                                                     : INVALID_HANDLE_VALUE;
    }
    WCHAR path[kMaxPath];
    if (!NameFits(GetModuleFileNameW(nullptr, path, kMaxPath))) {
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

// The 9x family has no working MoveFileExA: set the old file aside under a unique name, move
// the new one in, and put the old one back if that fails.
bool ReplaceBySteps(const char* source, const char* target) {
    if (RefusesReplacement(target)) {
        return false;
    }
    if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES) {
        return MoveFileA(source, target) != 0;
    }
    char folder[kMaxPath];
    char aside[kMaxPath];
    if (!FolderOf(target, folder, sizeof folder) || !CreateUniqueFile(folder, "old", aside)) {
        return false;
    }
    DeleteFileA(aside);
    if (!MoveFileA(target, aside)) {
        return false;
    }
    if (!MoveFileA(source, target)) {
        DWORD error = GetLastError();
        MoveFileA(aside, target);
        SetLastError(error);
        return false;
    }
    DeleteFileA(aside);
    return true;
}

FileHandle OpenForReading(const char* path) {
    HANDLE file = OpenExisting(path);
    return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(file);
}

// A virus scanner may open a freshly downloaded file without sharing for a moment: retry every
// 250 ms for up to 1.5 s. Any other failure is final.
FileHandle OpenOwnFile() {
    for (DWORD waited = 0;; waited += 250) {
        HANDLE file = OpenOwnFileOnce();
        if (file != INVALID_HANDLE_VALUE) {
            return reinterpret_cast<FileHandle>(file);
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION || waited >= 1500) {
            return kNoFile;
        }
        Sleep(250);
    }
}

bool FileSize(FileHandle file, uint64_t* size) {
    DWORD high = 0;
    DWORD low = GetFileSize(Handle(file), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return false;
    }
    *size = uint64_t(high) << 32 | low;
    return true;
}

bool ReadAt(FileHandle file, uint32_t offset, void* buffer, uint32_t count, uint32_t* bytesRead) {
    *bytesRead = 0;
    if (offset > 0x7FFFFFFFu) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return false;
    }
    SetLastError(NO_ERROR);
    if (SetFilePointer(Handle(file), LONG(offset), nullptr, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        return false;
    }
    char* out = static_cast<char*>(buffer);
    while (*bytesRead < count) {
        DWORD got = 0;
        if (!ReadFile(Handle(file), out + *bytesRead, count - *bytesRead, &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            break;  // end of file
        }
        *bytesRead += got;
    }
    return true;
}

bool CloseFile(FileHandle file) {
    return CloseHandle(Handle(file)) != 0;
}

uint32_t AllocationGranularity() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity;
}

MappingHandle CreateReadOnlyMapping(FileHandle file, uint32_t maximumSize) {
    HANDLE mapping =
        CreateFileMappingA(Handle(file), nullptr, PAGE_READONLY, 0, maximumSize, nullptr);
    return reinterpret_cast<MappingHandle>(mapping);
}

const void* MapView(MappingHandle mapping, uint32_t offset, uint32_t length) {
    return MapViewOfFile(reinterpret_cast<HANDLE>(mapping), FILE_MAP_READ, 0, offset, length);
}

bool UnmapView(const void* base, uint32_t) {
    return UnmapViewOfFile(base) != 0;
}

bool CloseMapping(MappingHandle mapping) {
    return CloseHandle(reinterpret_cast<HANDLE>(mapping)) != 0;
}

bool CreateUniqueFile(const char* folder, const char* prefix, char* path) {
    return GetTempFileNameA(folder, prefix, 0, path) != 0;
}

bool CreateTempFileBeside(const char* targetPath, char* tempPath) {
    char folder[kMaxPath];
    return FolderOf(targetPath, folder, sizeof folder) && CreateUniqueFile(folder, "scr", tempPath);
}

FileHandle OpenForWriting(const char* path) {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(file);
}

bool WriteAll(FileHandle file, const void* data, uint32_t count) {
    DWORD written = 0;
    if (!WriteFile(Handle(file), data, count, &written, nullptr)) {
        return false;
    }
    if (written != count) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

bool FlushFile(FileHandle file) {
    return FlushFileBuffers(Handle(file)) != 0;
}

bool MoveIntoPlace(const char* source, const char* target) {
    if (RefusesReplacement(target)) {
        return false;
    }
    if (MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        return ReplaceBySteps(source, target);
    }
    return false;
}

bool RemoveFile(const char* path) {
    return DeleteFileA(path) != 0;
}

bool PathExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

uint32_t LastError() {
    return GetLastError();
}

void DescribeError(uint32_t error, char* text, size_t capacity) {
    if (capacity == 0) {
        return;
    }
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, DWORD(capacity), nullptr);
    // System texts end with a line break; a code the system has no text for gives none.
    while (length > 0 &&
           (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ')) {
        --length;
    }
    text[length] = '\0';
}

bool IsSystemLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != 0;
}

PathKind KindOfPath(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::kNothing;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return PathKind::kFolder;
    }
    return attributes & FILE_ATTRIBUTE_DEVICE ? PathKind::kOther : PathKind::kRegularFile;
}

bool CopyPermissions(const char*, const char*) {
    return true;
}

}  // namespace platform
