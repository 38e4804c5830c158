// The install target rules over arbitrary names and folders, under a double-byte code page
// whose lead bytes the input chooses. Input: 32 bytes of lead-byte bitmap, one byte of buffer
// capacity, then folder, name and extension separated by NUL bytes.
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "install/target_rules.h"

namespace {

uint8_t leadBytes[32];

bool IsLead(unsigned char byte) {
    return (leadBytes[byte / 8] >> (byte % 8)) & 1;
}

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The input's next text, up to its NUL or the end.
std::string NextText(const uint8_t*& data, const uint8_t* end) {
    const uint8_t* start = data;
    while (data < end && *data != 0) {
        ++data;
    }
    std::string text(start, data);
    if (data < end) {
        ++data;
    }
    return text;
}

// A heap block of exactly `size` bytes, so that the sanitizer sees any access beyond it.
std::vector<char> Block(const std::string& text, size_t size) {
    std::vector<char> block(size, 'Z');
    memcpy(block.data(), text.data(), text.size() < size ? text.size() : size);
    if (text.size() < size) {
        block[text.size()] = '\0';
    }
    block.shrink_to_fit();
    return block;
}

bool IsSeparator(char c) {
    return c == '\\' || c == ':';
}

void CheckFilePart(const std::string& path) {
    const char* part = FilePart(path.c_str(), IsLead);
    Check(part >= path.c_str() && part <= path.c_str() + path.size());
    Check(part == path.c_str() || IsSeparator(part[-1]));
}

void CheckChangeExtension(const std::string& source, const std::string& extension,
                          size_t capacity) {
    std::vector<char> out(capacity ? capacity : 1, 'Z');
    const bool fitted =
        ChangeExtension(source.c_str(), extension.c_str(), out.data(), capacity, IsLead);
    if (fitted) {
        const size_t length = strnlen(out.data(), capacity);
        Check(length < capacity);
        // The source up to its extension, then the new one after a dot.
        const size_t added = extension.empty() ? 0 : extension.size() + 1;
        Check(length >= added &&
              source.compare(0, length - added, out.data(), length - added) == 0);
        Check(extension.empty() || out[length - added] == '.');
        Check(strcmp(out.data() + length - extension.size(), extension.c_str()) == 0);
    }
    // In place, in a buffer that holds the source.
    std::vector<char> inPlace = Block(source, source.size() + 1 + extension.size() + 1);
    ChangeExtension(inPlace.data(), extension.c_str(), inPlace.data(), inPlace.size(), IsLead);
    Check(strnlen(inPlace.data(), inPlace.size()) < inPlace.size());
}

void CheckName(const std::string& typed) {
    std::vector<char> name = Block(typed, kTargetNameSize);
    NormaliseTargetName(name.data(), IsLead);
    const size_t length = strnlen(name.data(), kTargetNameSize);
    Check(length < kTargetNameSize && length >= 4);
    ValidateTargetName(name.data(), IsLead);
    CheckFilePart(std::string(name.data()));
}

void CheckTargetPath(const std::string& folder, const std::string& name, size_t capacity) {
    std::vector<char> path(capacity ? capacity : 1, 'Z');
    const bool fitted = MakeTargetPath(folder.c_str(), name.c_str(), path.data(), capacity);
    const size_t wanted = folder.size() + 1 + name.size();
    Check(fitted == (wanted < capacity));
    if (fitted) {
        Check(std::string(path.data()) == folder + "\\" + name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* end = data + size;
    memset(leadBytes, 0, sizeof leadBytes);
    const size_t bitmap = size < sizeof leadBytes ? size : sizeof leadBytes;
    memcpy(leadBytes, data, bitmap);
    data += bitmap;
    const size_t capacity = data < end ? *data++ : 0;
    const std::string folder = NextText(data, end);
    const std::string name = NextText(data, end);
    const std::string extension = NextText(data, end);

    CheckName(name);
    ValidateTargetName(name.c_str(), IsLead);
    CheckFilePart(folder);
    CheckChangeExtension(folder, extension, capacity);
    CheckTargetPath(folder, name, capacity);
    CheckTargetPath(folder, name, folder.size() + name.size() + 2);
    return 0;
}
