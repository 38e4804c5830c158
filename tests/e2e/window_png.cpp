#include "tests/e2e/window_png.h"

#include <stdint.h>

#include <algorithm>
#include <vector>

#include "tests/e2e/e2e_files.h"

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
    }
    return ~crc;
}

uint32_t Adler32(const Bytes& data) {
    uint32_t a = 1;
    uint32_t b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

void AppendU32BigEndian(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(uint8_t(value >> shift));
    }
}

void AppendChunk(Bytes& png, const char type[4], const Bytes& data) {
    AppendU32BigEndian(png, uint32_t(data.size()));
    const size_t typeAt = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    AppendU32BigEndian(png, Crc32(&png[typeAt], png.size() - typeAt));
}

// A zlib stream of stored (uncompressed) blocks: a screenshot of a small dialog needs no
// compression, and this keeps the test free of a compression library.
Bytes StoredZlib(const Bytes& raw) {
    Bytes out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t length = std::min<size_t>(65535, raw.size() - at);
        const bool last = at + length == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(uint8_t(length));
        out.push_back(uint8_t(length >> 8));
        out.push_back(uint8_t(~length));
        out.push_back(uint8_t(~length >> 8));
        out.insert(out.end(), raw.begin() + at, raw.begin() + at + length);
        at += length;
    } while (at < raw.size());
    AppendU32BigEndian(out, Adler32(raw));
    return out;
}

Bytes EncodePng(const std::vector<uint32_t>& bgrx, int width, int height) {
    Bytes raw;
    raw.reserve(size_t(height) * (1 + size_t(width) * 3));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = bgrx[size_t(y) * width + x];
            raw.push_back(uint8_t(pixel >> 16));
            raw.push_back(uint8_t(pixel >> 8));
            raw.push_back(uint8_t(pixel));
        }
    }
    Bytes header;
    AppendU32BigEndian(header, uint32_t(width));
    AppendU32BigEndian(header, uint32_t(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace

    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", StoredZlib(raw));
    AppendChunk(png, "IEND", {});
    return png;
}

}  // namespace

ScreenPixels CaptureScreen(const RECT& rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    std::vector<uint32_t> pixels;
    if (memory && bitmap) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        const uint32_t* first = static_cast<const uint32_t*>(bits);
        pixels.assign(first, first + size_t(width) * height);
        SelectObject(memory, previous);
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
    if (memory) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    if (!copied) {
        throw ScenarioFailure("cannot copy the window from the screen for the picture");
    }
    for (uint32_t& pixel : pixels) {
        pixel &= 0xFFFFFF;
    }
    return ScreenPixels{width, height, pixels};
}

void SavePicture(const ScreenPixels& picture, const std::string& path) {
    WriteWholeFile(path, EncodePng(picture.pixels, picture.width, picture.height));
}

void SaveWindowPicture(HWND window, const std::string& path) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) {
        throw ScenarioFailure("cannot read the window's rectangle for the picture");
    }
    SavePicture(CaptureScreen(rect), path);
}
