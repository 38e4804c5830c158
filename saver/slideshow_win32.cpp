#include "saver/slideshow_win32.h"

#include <ocidl.h>
#include <olectl.h>
#include <string.h>

namespace {

// More settings text than this is not settings; read in part, a line could change its meaning.
const uint32_t kMaxSettingsSize = 4096;
const int kHimetricPerInch = 2540;

void PaintBlack(HDC dc, int width, int height) {
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void UseSmoothStretching(HDC dc) {
    // HALFTONE is an NT-family mode; the 9x family refuses it and keeps whole colours instead.
    if (SetStretchBltMode(dc, HALFTONE)) {
        SetBrushOrgEx(dc, 0, 0, nullptr);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
    }
}

// The system's picture loader reads from a stream, which it gets over a copy of the bytes in
// a global memory block.
IPicture* LoadPicture(const uint8_t* data, uint32_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) {
        return nullptr;
    }
    void* copy = GlobalLock(memory);
    if (!copy) {
        GlobalFree(memory);
        return nullptr;
    }
    memcpy(copy, data, size);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(memory, TRUE, &stream) != S_OK) {
        GlobalFree(memory);
        return nullptr;
    }
    IPicture* picture = nullptr;
    if (OleLoadPicture(stream, LONG(size), FALSE, IID_IPicture,
                       reinterpret_cast<void**>(&picture)) != S_OK) {
        picture = nullptr;
    }
    stream->Release();
    return picture;
}

bool DrawJpeg(const uint8_t* data, uint32_t size, HDC dc, int width, int height) {
    IPicture* picture = LoadPicture(data, size);
    if (!picture) {
        return false;
    }
    OLE_XSIZE_HIMETRIC extentX = 0;
    OLE_YSIZE_HIMETRIC extentY = 0;
    bool drawn = false;
    if (picture->get_Width(&extentX) == S_OK && picture->get_Height(&extentY) == S_OK &&
        extentX > 0 && extentY > 0) {
        const int pixelsX = MulDiv(extentX, GetDeviceCaps(dc, LOGPIXELSX), kHimetricPerInch);
        const int pixelsY = MulDiv(extentY, GetDeviceCaps(dc, LOGPIXELSY), kHimetricPerInch);
        const Placement at = FitAndCentre(pixelsX, pixelsY, width, height);
        if (at.width > 0) {
            PaintBlack(dc, width, height);
            // The picture's own coordinates run upwards: start at its top and go down.
            drawn = picture->Render(dc, at.x, at.y, at.width, at.height, 0, extentY, extentX,
                                    -extentY, nullptr) == S_OK;
        }
    }
    picture->Release();
    return drawn;
}

// Only checked values reach the system: the header it gets is built here, not the file's.
bool DrawBmp(const uint8_t* data, uint32_t size, HDC dc, int width, int height) {
    BmpLayout layout;
    if (!ParseBmp(data, size, &layout)) {
        return false;
    }
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = layout.width;
    info.header.biHeight = layout.topDown ? -layout.height : layout.height;
    info.header.biPlanes = 1;
    info.header.biBitCount = layout.bitCount;
    info.header.biCompression = BI_RGB;
    info.header.biSizeImage = layout.bitsSize;
    info.header.biClrUsed = layout.colorCount;
    memcpy(info.colors, data + layout.paletteOffset, layout.colorCount * sizeof(RGBQUAD));

    const Placement at = FitAndCentre(layout.width, layout.height, width, height);
    PaintBlack(dc, width, height);
    UseSmoothStretching(dc);
    const int lines = StretchDIBits(dc, at.x, at.y, at.width, at.height, 0, 0, layout.width,
                                    layout.height, data + layout.bitsOffset,
                                    reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
    return lines != 0 && lines != int(GDI_ERROR);
}

}  // namespace

Slideshow::Slideshow()
    : count_(0), current_(0), started_(false), seed_(GetTickCount()), settings_(DefaultSettings()) {
    path_[0] = '\0';
}

void Slideshow::Open(const char* path) {
    lstrcpynA(path_, path, sizeof path_);
    count_ = reader_.Open(path_) ? reader_.EntryCount() : 0;
    for (int32_t i = 0; i < count_; ++i) {
        if (IsSettingsEntry(i)) {
            ReadSettings(i);
        }
    }
}

bool Slideshow::IsSettingsEntry(int32_t index) const {
    const PackageEntry* entry = reader_.Entry(index);
    return entry && IsSettingsName(entry->name, entry->nameLength);
}

void Slideshow::ReadSettings(int32_t index) {
    if (reader_.EntrySize(index) > kMaxSettingsSize) {
        return;
    }
    char text[kMaxSettingsSize];
    const uint32_t size = reader_.ReadEntry(index, reinterpret_cast<uint8_t*>(text), sizeof text);
    ApplySettings(text, size, &settings_);
}

uint32_t Slideshow::PictureCount() {
    uint32_t pictures = 0;
    for (int32_t i = 0; i < count_; ++i) {
        uint8_t start[3];
        const uint32_t got = reader_.ReadEntry(i, start, sizeof start);
        if (!IsSettingsEntry(i) && DetectPicture(start, got) != PictureKind::kUnknown) {
            ++pictures;
        }
    }
    return pictures;
}

bool Slideshow::DrawNext(HDC dc, int width, int height) {
    if (count_ <= 0) {
        return false;
    }
    const uint32_t count = uint32_t(count_);
    // The first picture of an ordered show is entry 0; a random one starts anywhere.
    uint32_t next = started_ ? NextSlide(current_, count, settings_.random, &seed_)
                             : (settings_.random ? seed_ % count : 0);
    // In random order a few tries may miss every picture; the ordered pass after them does not.
    for (uint32_t tries = 0; tries < 2 * count; ++tries) {
        if (DrawEntry(int32_t(next), dc, width, height)) {
            current_ = next;
            started_ = true;
            return true;
        }
        next = tries + 1 < count ? NextSlide(next, count, settings_.random, &seed_)
                                 : (next + 1) % count;
    }
    return false;
}

bool Slideshow::DrawEntry(int32_t index, HDC dc, int width, int height) {
    const uint32_t size = reader_.EntrySize(index);
    if (size == 0 || IsSettingsEntry(index)) {
        return false;
    }
    const uint8_t* data = nullptr;
    EntryView* view = reader_.MapEntry(index, &data);
    if (!view) {
        Reopen();
        return false;
    }
    bool drawn = false;
    switch (DetectPicture(data, size)) {
        case PictureKind::kJpeg:
            drawn = DrawJpeg(data, size, dc, width, height);
            break;
        case PictureKind::kBmp:
            drawn = DrawBmp(data, size, dc, width, height);
            break;
        case PictureKind::kUnknown:
            break;
    }
    PackageReader::UnmapEntry(view);
    return drawn;
}

void Slideshow::Reopen() {
    reader_.Close();
    if (!reader_.Open(path_) || reader_.EntryCount() != count_) {
        count_ = 0;
    }
}
