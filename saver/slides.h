// The slideshow's portable parts: its settings text, what kind of picture an entry holds, the
// layout of a BMP file checked against the bytes that are really there, where a picture goes
// on the screen, and which picture comes next.
//
// The settings are the entry named "Global Properties": lines of `key=value`, keys in any case,
// blanks around keys and values ignored, lines starting with '#' or ';' and unknown keys skipped.
//
//   seconds=5            how long each picture stays, 1 to 3600
//   order=sequential     or `random`
#pragma once

#include <stddef.h>
#include <stdint.h>

// Is an entry name, as stored (nameLength bytes, its NUL included), "Global Properties"?
bool IsSettingsName(const char* name, uint32_t nameLength);

struct SlideSettings {
    uint32_t seconds;
    bool random;
};

const uint32_t kDefaultSeconds = 5;
const uint32_t kMaxSeconds = 3600;

SlideSettings DefaultSettings();

// Applies every line of `text` (`size` bytes, NUL not needed) that it understands to `settings`;
// a value out of range leaves its setting as it was.
void ApplySettings(const char* text, size_t size, SlideSettings* settings);

enum class PictureKind { kUnknown, kJpeg, kBmp };

// Decided by the first bytes, not by the entry's name.
PictureKind DetectPicture(const uint8_t* data, size_t size);

// Where the parts of a BMP file lie, every one inside the file.
struct BmpLayout {
    int32_t width;
    int32_t height;       // always positive; see topDown
    bool topDown;         // rows stored from the top (a negative height in the file)
    uint16_t bitCount;    // 1, 4, 8, 16, 24 or 32
    uint32_t colorCount;  // palette entries (4 bytes each), 0 above 8 bits
    uint32_t paletteOffset;
    uint32_t bitsOffset;
    uint32_t bitsSize;  // rows of whole 32-bit words times the height
};

// The largest side we draw; larger ones are taken as damaged rather than risked in the system.
const int32_t kMaxBmpSide = 32768;

// Reads the file and info headers of an uncompressed BMP (BI_RGB) of `size` bytes. False for
// anything else: a short file, a header that claims more than the file holds, an unknown depth,
// compression, an oversized palette, pixel data that runs past the end.
bool ParseBmp(const uint8_t* data, size_t size, BmpLayout* layout);

struct Placement {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// A picture of width x height scaled, keeping its proportions, to the largest size that fits a
// box of boxWidth x boxHeight, and centred in it. Nothing to draw (all 0) when a size is not
// positive.
Placement FitAndCentre(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight);

// The entry to try after `current` among `count` (count > 0): the following one in order, or in
// random order a different one chosen with `seed`, which it advances.
uint32_t NextSlide(uint32_t current, uint32_t count, bool random, uint32_t* seed);
