// POSIX implementation of the platform layer, so the portable code runs in native tests.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

namespace platform {

namespace {

// mmap needs no mapping object, but the view must still not reach past the mapped size, as
// with a Windows mapping; this record stands in for the mapping object.
struct PosixMapping {
    int fd;
    uint32_t size;
};

int Descriptor(FileHandle file) {
    return int(file);
}

// The folder part of `path` (up to its last '/'), or "." for a bare name.
bool FolderOf(const char* path, char* folder, size_t capacity) {
    const char* slash = strrchr(path, '/');
    if (!slash) {
        return snprintf(folder, capacity, ".") < int(capacity);
    }
    size_t length = size_t(slash - path);
    if (length == 0) {
        length = 1;  // the root folder
    }
    if (length >= capacity) {
        return false;
    }
    memcpy(folder, path, length);
    folder[length] = '\0';
    return true;
}

}  // namespace

FileHandle OpenForReading(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    return fd < 0 ? kNoFile : FileHandle(fd);
}

FileHandle OpenOwnFile() {
    return OpenForReading("/proc/self/exe");
}

bool FileSize(FileHandle file, uint64_t* size) {
    struct stat info;
    if (fstat(Descriptor(file), &info) != 0) {
        return false;
    }
    *size = uint64_t(info.st_size);
    return true;
}

bool ReadAt(FileHandle file, uint32_t offset, void* buffer, uint32_t count, uint32_t* bytesRead) {
    *bytesRead = 0;
    if (offset > 0x7FFFFFFFu) {
        errno = EINVAL;
        return false;
    }
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (*bytesRead < count) {
        ssize_t got = pread(Descriptor(file), out + *bytesRead, count - *bytesRead,
                            off_t(offset) + *bytesRead);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            break;  // end of file
        }
        *bytesRead += uint32_t(got);
    }
    return true;
}

bool CloseFile(FileHandle file) {
    return close(Descriptor(file)) == 0;
}

uint32_t AllocationGranularity() {
    return uint32_t(sysconf(_SC_PAGESIZE));
}

MappingHandle CreateReadOnlyMapping(FileHandle file, uint32_t maximumSize) {
    uint64_t size = 0;
    if (maximumSize == 0 || !FileSize(file, &size) || maximumSize > size) {
        errno = EINVAL;
        return kNoMapping;
    }
    PosixMapping* mapping = static_cast<PosixMapping*>(malloc(sizeof(PosixMapping)));
    if (!mapping) {
        return kNoMapping;
    }
    mapping->fd = Descriptor(file);
    mapping->size = maximumSize;
    return MappingHandle(mapping);
}

const void* MapView(MappingHandle mapping, uint32_t offset, uint32_t length) {
    const PosixMapping* owner = reinterpret_cast<const PosixMapping*>(mapping);
    if (length == 0 || offset > owner->size || length > owner->size - offset) {
        errno = EINVAL;
        return nullptr;
    }
    void* view = mmap(nullptr, length, PROT_READ, MAP_SHARED, owner->fd, off_t(offset));
    return view == MAP_FAILED ? nullptr : view;
}

bool UnmapView(const void* base, uint32_t length) {
    return munmap(const_cast<void*>(base), length) == 0;
}

bool CloseMapping(MappingHandle mapping) {
    free(reinterpret_cast<PosixMapping*>(mapping));
    return true;
}

bool CreateUniqueFile(const char* folder, const char* prefix, char* path) {
    if (snprintf(path, kMaxPath, "%s/%sXXXXXX", folder, prefix) >= int(kMaxPath)) {
        errno = ENAMETOOLONG;
        return false;
    }
    int fd = mkstemp(path);
    if (fd < 0) {
        return false;
    }
    // mkstemp makes the file private; give it the mode any new file would get.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    return true;
}

bool CreateTempFileBeside(const char* targetPath, char* tempPath) {
    char folder[kMaxPath];
    if (!FolderOf(targetPath, folder, sizeof folder)) {
        errno = ENAMETOOLONG;
        return false;
    }
    return CreateUniqueFile(folder, "scr", tempPath);
}

FileHandle OpenForWriting(const char* path) {
    int fd = open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
    return fd < 0 ? kNoFile : FileHandle(fd);
}

bool WriteAll(FileHandle file, const void* data, uint32_t count) {
    const uint8_t* in = static_cast<const uint8_t*>(data);
    uint32_t written = 0;
    while (written < count) {
        ssize_t put = write(Descriptor(file), in + written, count - written);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += uint32_t(put);
    }
    return true;
}

bool FlushFile(FileHandle file) {
    int result;
    do {
        result = fsync(Descriptor(file));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool MoveIntoPlace(const char* source, const char* target) {
    // rename() would replace a file nobody may write to; Windows refuses, and so do we.
    struct stat info;
    if (stat(target, &info) == 0 &&
        (S_ISDIR(info.st_mode) || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
        errno = EACCES;
        return false;
    }
    return rename(source, target) == 0;
}

bool RemoveFile(const char* path) {
    return unlink(path) == 0;
}

bool PathExists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0;
}

uint32_t LastError() {
    return uint32_t(errno);
}

void DescribeError(uint32_t error, char* text, size_t capacity) {
    snprintf(text, capacity, "%s", strerror(int(error)));
}

bool IsSystemLeadByte(unsigned char) {
    return false;
}

PathKind KindOfPath(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) {
        return PathKind::kNothing;
    }
    if (S_ISREG(info.st_mode)) {
        return PathKind::kRegularFile;
    }
    return S_ISDIR(info.st_mode) ? PathKind::kFolder : PathKind::kOther;
}

bool CopyPermissions(const char* model, const char* path) {
    struct stat info;
    return stat(model, &info) == 0 && chmod(path, info.st_mode & 07777) == 0;
}

}  // namespace platform
