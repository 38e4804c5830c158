#include "saver/slides.h"

#include <string.h>

namespace {

const char kSettingsEntryName[] = "Global Properties";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Does the text from `begin` to `end` equal `word`, ignoring case?
bool SameWord(const char* begin, const char* end, const char* word) {
    size_t length = strlen(word);
    if (size_t(end - begin) != length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (Lower(begin[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

void Trim(const char** begin, const char** end) {
    while (*begin < *end && IsBlank(**begin)) {
        ++*begin;
    }
    while (*end > *begin && IsBlank((*end)[-1])) {
        --*end;
    }
}

// A whole decimal number from 1 to kMaxSeconds, else 0.
uint32_t ReadSeconds(const char* begin, const char* end) {
    if (begin == end) {
        return 0;
    }
    uint32_t value = 0;
    for (const char* at = begin; at < end; ++at) {
        if (*at < '0' || *at > '9') {
            return 0;
        }
        value = value * 10 + uint32_t(*at - '0');
        if (value > kMaxSeconds) {
            return 0;
        }
    }
    return value;
}

void ApplyLine(const char* begin, const char* end, SlideSettings* settings) {
    Trim(&begin, &end);
    if (begin == end || *begin == '#' || *begin == ';') {
        return;
    }
    const char* equals = static_cast<const char*>(memchr(begin, '=', size_t(end - begin)));
    if (!equals) {
        return;
    }
    const char* keyEnd = equals;
    const char* value = equals + 1;
    const char* valueEnd = end;
    Trim(&begin, &keyEnd);
    Trim(&value, &valueEnd);
    if (SameWord(begin, keyEnd, "seconds")) {
        if (uint32_t seconds = ReadSeconds(value, valueEnd)) {
            settings->seconds = seconds;
        }
    } else if (SameWord(begin, keyEnd, "order")) {
        if (SameWord(value, valueEnd, "sequential")) {
            settings->random = false;
        } else if (SameWord(value, valueEnd, "random")) {
            settings->random = true;
        }
    }
}

uint16_t U16(const uint8_t* bytes) {
    return uint16_t(bytes[0] | bytes[1] << 8);
}

uint32_t U32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

const size_t kFileHeaderSize = 14;
const uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER; later versions only add fields
const uint32_t kCompressionRgb = 0;

}  // namespace

bool IsSettingsName(const char* name, uint32_t nameLength) {
    return name && nameLength == sizeof kSettingsEntryName &&
           memcmp(name, kSettingsEntryName, sizeof kSettingsEntryName) == 0;
}

SlideSettings DefaultSettings() {
    return SlideSettings{kDefaultSeconds, false};
}

void ApplySettings(const char* text, size_t size, SlideSettings* settings) {
    const char* end = text + size;
    for (const char* line = text; line < end;) {
        const char* lineEnd = static_cast<const char*>(memchr(line, '\n', size_t(end - line)));
        if (!lineEnd) {
            lineEnd = end;
        }
        ApplyLine(line, lineEnd, settings);
        line = lineEnd + 1;
    }
}

PictureKind DetectPicture(const uint8_t* data, size_t size) {
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        return PictureKind::kJpeg;
    }
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        return PictureKind::kBmp;
    }
    return PictureKind::kUnknown;
}

bool ParseBmp(const uint8_t* data, size_t size, BmpLayout* layout) {
    if (size < kFileHeaderSize + kInfoHeaderSize ||
        DetectPicture(data, size) != PictureKind::kBmp) {
        return false;
    }
    const uint32_t bitsOffset = U32(data + 10);
    const uint32_t headerSize = U32(data + 14);
    const int32_t width = int32_t(U32(data + 18));
    const int32_t storedHeight = int32_t(U32(data + 22));
    const uint16_t planes = U16(data + 26);
    const uint16_t bitCount = U16(data + 28);
    const uint32_t compression = U32(data + 30);
    const uint32_t colorsUsed = U32(data + 46);

    if (headerSize < kInfoHeaderSize || headerSize > size - kFileHeaderSize || planes != 1 ||
        compression != kCompressionRgb) {
        return false;
    }
    if (width <= 0 || width > kMaxBmpSide || storedHeight == 0 || storedHeight < -kMaxBmpSide ||
        storedHeight > kMaxBmpSide) {
        return false;
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32) {
        return false;
    }
    uint32_t colorCount = 0;
    if (bitCount <= 8) {
        const uint32_t most = 1u << bitCount;
        if (colorsUsed > most) {
            return false;
        }
        colorCount = colorsUsed != 0 ? colorsUsed : most;
    }
    const uint64_t paletteOffset = kFileHeaderSize + uint64_t(headerSize);
    const uint64_t paletteEnd = paletteOffset + uint64_t(colorCount) * 4;
    const int32_t height = storedHeight < 0 ? -storedHeight : storedHeight;
    const uint64_t rowSize = (uint64_t(width) * bitCount + 31) / 32 * 4;
    const uint64_t bitsSize = rowSize * uint64_t(height);
    if (bitsOffset < paletteEnd || uint64_t(bitsOffset) + bitsSize > size) {
        return false;
    }
    layout->width = width;
    layout->height = height;
    layout->topDown = storedHeight < 0;
    layout->bitCount = bitCount;
    layout->colorCount = colorCount;
    layout->paletteOffset = uint32_t(paletteOffset);
    layout->bitsOffset = bitsOffset;
    layout->bitsSize = uint32_t(bitsSize);
    return true;
}

Placement FitAndCentre(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight) {
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) {
        return Placement{0, 0, 0, 0};
    }
    // Proportions compared crosswise, and rounded to the nearest pixel, in unsigned 64 bits:
    // twice the product of two 31-bit sides plus a side still fits.
    const uint64_t w = uint64_t(width);
    const uint64_t h = uint64_t(height);
    const uint64_t boxW = uint64_t(boxWidth);
    const uint64_t boxH = uint64_t(boxHeight);
    uint64_t fitWidth = boxW;
    uint64_t fitHeight = boxH;
    if (w * boxH > h * boxW) {
        fitHeight = (h * boxW * 2 + w) / (w * 2);
    } else {
        fitWidth = (w * boxH * 2 + h) / (h * 2);
    }
    // A sliver still shows as one pixel rather than vanishing.
    if (fitWidth < 1) {
        fitWidth = 1;
    }
    if (fitHeight < 1) {
        fitHeight = 1;
    }
    return Placement{int32_t((boxW - fitWidth) / 2), int32_t((boxH - fitHeight) / 2),
                     int32_t(fitWidth), int32_t(fitHeight)};
}

uint32_t NextSlide(uint32_t current, uint32_t count, bool random, uint32_t* seed) {
    if (count <= 1) {
        return 0;
    }
    if (!random) {
        return (current + 1) % count;
    }
    // A linear congruential step is plenty for picking pictures; the offset from 1 to count - 1
    // guarantees a change.
    *seed = *seed * 1664525u + 1013904223u;
    const uint32_t step = 1 + (*seed >> 8) % (count - 1);
    return (current + step) % count;
}
