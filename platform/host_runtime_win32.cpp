// The few C library routines the installer uses, built into the host itself. The host then
// imports only system libraries that every 32-bit Windows has: the C runtime DLL did not come
// with the first releases of Windows 95, and a missing DLL stops a program before it can say
// anything. Only the host links this file; tests and tools keep the C library.
//
// Compiled with -fno-builtin and without loop-to-call rewriting, so that none of these loops
// is turned back into a call to itself.
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

extern "C" {

void* malloc(size_t size) {
    return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
}

void* calloc(size_t count, size_t size) {
    if (size != 0 && count > SIZE_MAX / size) {
        return nullptr;
    }
    const size_t total = count * size;
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, total != 0 ? total : 1);
}

void free(void* block) {
    if (block != nullptr) {
        HeapFree(GetProcessHeap(), 0, block);
    }
}

void* memset(void* destination, int value, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    while (count-- != 0) {
        *to++ = static_cast<unsigned char>(value);
    }
    return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    if (to < from) {
        while (count-- != 0) {
            *to++ = *from++;
        }
    } else {
        while (count-- != 0) {
            to[count] = from[count];
        }
    }
    return destination;
}

void* memcpy(void* destination, const void* source, size_t count) {
    return memmove(destination, source, count);
}

int memcmp(const void* first, const void* second, size_t count) {
    const unsigned char* a = static_cast<const unsigned char*>(first);
    const unsigned char* b = static_cast<const unsigned char*>(second);
    for (size_t i = 0; i < count; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return 0;
}

size_t strnlen(const char* text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length] != '\0') {
        ++length;
    }
    return length;
}

size_t strlen(const char* text) {
    return strnlen(text, SIZE_MAX);
}

int strcmp(const char* first, const char* second) {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(first);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(second);
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

}  // extern "C"

// A class with a virtual destructor brings a deleting destructor, which names these even
// though the host never allocates objects with new.
void operator delete(void* block) noexcept {
    free(block);
}

void operator delete(void* block, size_t) noexcept {
    free(block);
}
