// Draws the installer's icon and writes it as an .ico file: a monitor with a night sky on its
// screen, a crescent moon and a few stars, at 16, 32 and 48 pixels in the colour depths the
// resource script asks for. The picture lives in code so that it can be changed and rebuilt; the
// output depends on nothing but this file, so the committed icon can be checked against it.
//
// Usage: mkicon OUTPUT.ico

#include <stdint.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

struct Colour {
    double r, g, b;
};

// A pixel of the drawn picture: straight (not premultiplied) colour, alpha 0..255.
struct Pixel {
    uint8_t r, g, b, a;
};

struct Image {
    int size;
    std::vector<Pixel> pixels;  // top row first
    const Pixel& At(int x, int y) const { return pixels[size_t(y) * size_t(size) + size_t(x)]; }
};

// Rectangles in pixel edges: [left, right) x [top, bottom).
struct Box {
    double left, top, right, bottom;
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
};

// The monitor's geometry for one icon size, placed on whole pixels by hand so that its straight
// edges stay sharp; only the round parts are smoothed.
struct Layout {
    int size;
    Box body;           // the monitor's outer edge, outline included
    double bodyRadius;  // corner radius of the body
    Box screen;
    bool screenFrame;  // a one-pixel dark rim inside the bezel
    Box led;           // power light; empty for none
    Box neck;
    Box base;
    double baseRadius;
    double moonRadius;  // in screen heights
    double moonCut;     // how far the shadow disc is moved off the moon, in moon radii
};

// Fields in the order of Layout: size; body and its corner radius; screen and its rim; power
// light; neck; base and its corner radius; moon radius and cut.
const Layout kLayouts[] = {
    {16,
     {0, 0, 16, 12},
     1.5,
     {2, 2, 14, 10},
     false,
     {0, 0, 0, 0},
     {6, 12, 10, 13},
     {3, 13, 13, 16},
     1.0,
     0.36,
     0.62},
    {32,
     {1, 2, 31, 24},
     3.0,
     {4, 5, 28, 20},
     true,
     {25, 21, 27, 22},
     {13, 24, 19, 27},
     {7, 27, 25, 31},
     1.5,
     0.3,
     0.5},
    {48,
     {1, 3, 47, 36},
     4.0,
     {5, 7, 43, 30},
     true,
     {39, 32, 42, 33},
     {19, 36, 29, 41},
     {10, 41, 38, 46},
     2.0,
     0.3,
     0.5},
};

const Colour kOutline = {38, 42, 50};
const Colour kBezelTop = {226, 230, 236};
const Colour kBezelBottom = {164, 170, 181};
const Colour kStandFace = {146, 152, 163};
const Colour kScreenRim = {6, 8, 20};
const Colour kSkyTop = {6, 12, 38};
const Colour kSkyBottom = {30, 50, 116};
const Colour kMoon = {255, 224, 110};
const Colour kStar = {255, 255, 255};
const Colour kFaintStar = {176, 200, 255};
const Colour kLed = {70, 214, 112};

Colour Mix(const Colour& from, const Colour& to, double t) {
    t = std::min(1.0, std::max(0.0, t));
    return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t,
            from.b + (to.b - from.b) * t};
}

bool InBox(const Box& box, double x, double y) {
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

bool InRoundedBox(const Box& box, double radius, double x, double y) {
    if (!InBox(box, x, y)) {
        return false;
    }
    const double cx = std::min(std::max(x, box.left + radius), box.right - radius);
    const double cy = std::min(std::max(y, box.top + radius), box.bottom - radius);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

Box Inset(const Box& box, double by) {
    return {box.left + by, box.top + by, box.right - by, box.bottom - by};
}

struct Star {
    double u, v;   // position on the screen, 0..1 across and down
    bool sparkle;  // a four-pointed sparkle rather than a single dot
    bool faint;
    int smallestIcon;  // left out of smaller icons, where it would only be noise
};

const Star kStars[] = {
    {0.64, 0.30, true, false, 16}, {0.86, 0.62, true, false, 16}, {0.84, 0.16, false, false, 32},
    {0.52, 0.78, false, true, 32}, {0.44, 0.14, false, true, 32}, {0.70, 0.86, false, false, 32},
    {0.95, 0.40, false, true, 32},
};

// Centres snap to pixel centres, so a star too small for arms is still one clean bright pixel.
bool OnStar(const Layout& layout, const Star& star, double x, double y) {
    const Box& screen = layout.screen;
    const double cx = screen.left + std::floor(star.u * screen.Width()) + 0.5;
    const double cy = screen.top + std::floor(star.v * screen.Height()) + 0.5;
    const double dx = std::fabs(x - cx);
    const double dy = std::fabs(y - cy);
    if (dx < 0.5 && dy < 0.5) {
        return true;
    }
    if (!star.sparkle) {
        return false;
    }
    // An astroid: thin arms along the axes that meet in a point.
    const double reach = std::max(1.5, 0.2 * screen.Height());
    return std::sqrt(dx) + std::sqrt(dy) <= std::sqrt(reach);
}

// A crescent: a disc with a smaller shadow disc, up and to the right of its centre, taken away.
bool OnMoon(const Layout& layout, double x, double y) {
    const Box& screen = layout.screen;
    const double radius = layout.moonRadius * screen.Height();
    const double cx = screen.left + 0.26 * screen.Width();
    const double cy = screen.top + 0.44 * screen.Height();
    const double cutX = cx + layout.moonCut * 0.85 * radius;
    const double cutY = cy - layout.moonCut * 0.53 * radius;
    const double cutRadius = 0.86 * radius;
    const bool inDisc = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
    const bool inCut = (x - cutX) * (x - cutX) + (y - cutY) * (y - cutY) <= cutRadius * cutRadius;
    return inDisc && !inCut;
}

// The colour of the picture at one point, or false where the picture is transparent. Later
// shapes lie on top of earlier ones, so the tests run from the top down.
bool Paint(const Layout& layout, double x, double y, Colour* colour) {
    const Box& screen = layout.screen;
    if (InBox(screen, x, y)) {
        for (const Star& star : kStars) {
            if (layout.size >= star.smallestIcon && OnStar(layout, star, x, y)) {
                *colour = star.faint ? kFaintStar : kStar;
                return true;
            }
        }
        if (OnMoon(layout, x, y)) {
            *colour = kMoon;
            return true;
        }
        if (layout.screenFrame && !InBox(Inset(screen, 1), x, y)) {
            *colour = kScreenRim;
            return true;
        }
        *colour = Mix(kSkyTop, kSkyBottom, (y - screen.top) / screen.Height());
        return true;
    }
    if (InBox(layout.led, x, y)) {
        *colour = kLed;
        return true;
    }
    if (InRoundedBox(layout.body, layout.bodyRadius, x, y)) {
        const bool face = InRoundedBox(Inset(layout.body, 1), layout.bodyRadius - 1, x, y);
        *colour = face ? Mix(kBezelTop, kBezelBottom, (y - layout.body.top) / layout.body.Height())
                       : kOutline;
        return true;
    }
    if (InBox(layout.neck, x, y)) {
        const Box face = {layout.neck.left + 1, layout.neck.top, layout.neck.right - 1,
                          layout.neck.bottom};
        *colour = InBox(face, x, y) ? kStandFace : kOutline;
        return true;
    }
    if (InRoundedBox(layout.base, layout.baseRadius, x, y)) {
        const bool face = InRoundedBox(Inset(layout.base, 1), layout.baseRadius - 1, x, y);
        *colour = face ? Mix(kBezelTop, kStandFace, 0.6) : kOutline;
        return true;
    }
    return false;
}

uint8_t ToByte(double value) {
    return uint8_t(std::lround(std::min(255.0, std::max(0.0, value))));
}

// Averages a grid of samples in each pixel: smooth round edges, sharp pixel-aligned ones.
Image Render(const Layout& layout) {
    const int kGrid = 16;
    Image image;
    image.size = layout.size;
    image.pixels.resize(size_t(layout.size) * size_t(layout.size));
    for (int py = 0; py < layout.size; ++py) {
        for (int px = 0; px < layout.size; ++px) {
            double r = 0, g = 0, b = 0;
            int covered = 0;
            for (int sy = 0; sy < kGrid; ++sy) {
                for (int sx = 0; sx < kGrid; ++sx) {
                    Colour colour;
                    if (Paint(layout, px + (sx + 0.5) / kGrid, py + (sy + 0.5) / kGrid, &colour)) {
                        r += colour.r;
                        g += colour.g;
                        b += colour.b;
                        ++covered;
                    }
                }
            }
            Pixel& pixel = image.pixels[size_t(py) * size_t(layout.size) + size_t(px)];
            pixel = {0, 0, 0, 0};
            if (covered > 0) {
                pixel = {ToByte(r / covered), ToByte(g / covered), ToByte(b / covered),
                         ToByte(255.0 * covered / (kGrid * kGrid))};
            }
        }
    }
    return image;
}

// Below half coverage a pixel is left out of the images that have no alpha channel.
bool IsOpaqueEnough(const Pixel& pixel) {
    return pixel.a >= 128;
}

uint32_t Key(const Pixel& pixel) {
    return uint32_t(pixel.r) << 16 | pixel.g << 8 | pixel.b;
}

struct PaletteBox {
    std::vector<Pixel> colours;  // with repeats, so that frequent colours weigh more

    int Range(int channel) const {
        int low = 255, high = 0;
        for (const Pixel& p : colours) {
            const int value = channel == 0 ? p.r : channel == 1 ? p.g : p.b;
            low = std::min(low, value);
            high = std::max(high, value);
        }
        return high - low;
    }
    int WidestChannel() const {
        int best = 0;
        for (int channel = 1; channel < 3; ++channel) {
            if (Range(channel) > Range(best)) {
                best = channel;
            }
        }
        return best;
    }
    Pixel Average() const {
        double r = 0, g = 0, b = 0;
        for (const Pixel& p : colours) {
            r += p.r;
            g += p.g;
            b += p.b;
        }
        const double n = double(colours.size());
        return {ToByte(r / n), ToByte(g / n), ToByte(b / n), 255};
    }
};

// Up to `count` colours for the opaque pixels: every colour if there are few enough, otherwise a
// median cut, splitting the box with the widest spread of colour until there are enough boxes.
std::vector<Pixel> BuildPalette(const Image& image, size_t count) {
    std::map<uint32_t, Pixel> distinct;
    PaletteBox all;
    for (const Pixel& pixel : image.pixels) {
        if (IsOpaqueEnough(pixel)) {
            distinct[Key(pixel)] = {pixel.r, pixel.g, pixel.b, 255};
            all.colours.push_back({pixel.r, pixel.g, pixel.b, 255});
        }
    }
    std::vector<Pixel> palette;
    if (distinct.size() <= count) {
        for (const auto& entry : distinct) {
            palette.push_back(entry.second);
        }
        return palette;
    }
    std::vector<PaletteBox> boxes(1, all);
    while (boxes.size() < count) {
        size_t widest = 0;
        int widestRange = -1;
        for (size_t i = 0; i < boxes.size(); ++i) {
            const int range = boxes[i].Range(boxes[i].WidestChannel());
            if (boxes[i].colours.size() > 1 && range > widestRange) {
                widest = i;
                widestRange = range;
            }
        }
        if (widestRange <= 0) {
            break;
        }
        PaletteBox& box = boxes[widest];
        const int channel = box.WidestChannel();
        std::stable_sort(box.colours.begin(), box.colours.end(),
                         [channel](const Pixel& a, const Pixel& b) {
                             return channel == 0 ? a.r < b.r : channel == 1 ? a.g < b.g : a.b < b.b;
                         });
        PaletteBox upper;
        const size_t half = box.colours.size() / 2;
        upper.colours.assign(box.colours.begin() + long(half), box.colours.end());
        box.colours.resize(half);
        boxes.push_back(upper);
    }
    for (const PaletteBox& box : boxes) {
        palette.push_back(box.Average());
    }
    return palette;
}

size_t NearestIndex(const std::vector<Pixel>& palette, size_t first, const Pixel& pixel) {
    size_t best = first;
    int bestDistance = -1;
    for (size_t i = first; i < palette.size(); ++i) {
        const int dr = palette[i].r - pixel.r;
        const int dg = palette[i].g - pixel.g;
        const int db = palette[i].b - pixel.b;
        const int distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

class Bytes {
  public:
    void U8(uint8_t value) { data_.push_back(value); }
    void U16(uint16_t value) {
        U8(uint8_t(value));
        U8(uint8_t(value >> 8));
    }
    void U32(uint32_t value) {
        U16(uint16_t(value));
        U16(uint16_t(value >> 16));
    }
    void Append(const std::vector<uint8_t>& more) {
        data_.insert(data_.end(), more.begin(), more.end());
    }
    size_t Size() const { return data_.size(); }
    const std::vector<uint8_t>& Data() const { return data_; }

  private:
    std::vector<uint8_t> data_;
};

size_t RowBytes(int width, int bitsPerPixel) {
    return (size_t(width) * size_t(bitsPerPixel) + 31) / 32 * 4;
}

// The AND mask: a set bit lets the background show through. Rows bottom-up like the colours.
std::vector<uint8_t> AndMask(const Image& image, bool withAlpha) {
    Bytes mask;
    for (int y = image.size - 1; y >= 0; --y) {
        const size_t rowStart = mask.Size();
        for (int x = 0; x < image.size; x += 8) {
            uint8_t bits = 0;
            for (int bit = 0; bit < 8 && x + bit < image.size; ++bit) {
                const Pixel& pixel = image.At(x + bit, y);
                const bool transparent = withAlpha ? pixel.a == 0 : !IsOpaqueEnough(pixel);
                if (transparent) {
                    bits |= uint8_t(0x80 >> bit);
                }
            }
            mask.U8(bits);
        }
        while (mask.Size() - rowStart < RowBytes(image.size, 1)) {
            mask.U8(0);
        }
    }
    return mask.Data();
}

// A classic icon image: a BITMAPINFOHEADER whose height counts the colour rows and the mask rows,
// the palette for 4 bits, the colour rows and the mask, all rows bottom-up. Transparent pixels
// are black in the colour rows so that the screen shows through unchanged.
std::vector<uint8_t> EncodeImage(const Image& image, int bitsPerPixel) {
    const bool withAlpha = bitsPerPixel == 32;
    const bool indexed = bitsPerPixel == 4;
    std::vector<Pixel> palette;
    if (indexed) {
        palette.push_back({0, 0, 0, 255});  // index 0 for the transparent pixels
        const std::vector<Pixel> colours = BuildPalette(image, 15);
        palette.insert(palette.end(), colours.begin(), colours.end());
        // The full table of 16 entries: the layout every icon loader expects, the oldest
        // included.
        palette.resize(16, Pixel{0, 0, 0, 255});
    }

    Bytes colourRows;
    for (int y = image.size - 1; y >= 0; --y) {
        const size_t rowStart = colourRows.Size();
        uint8_t pair = 0;  // two 4-bit pixels per byte, the left one in the high half
        for (int x = 0; x < image.size; ++x) {
            const Pixel& pixel = image.At(x, y);
            const bool shown = withAlpha ? pixel.a > 0 : IsOpaqueEnough(pixel);
            const Pixel colour = shown ? pixel : Pixel{0, 0, 0, 0};
            if (indexed) {
                // Only the real colours (from index 1) stand for shown pixels, so black ones
                // are never mistaken for transparency.
                const uint8_t index = uint8_t(shown ? NearestIndex(palette, 1, colour) : 0);
                pair = uint8_t(pair << 4 | index);
                if (x % 2 == 1) {
                    colourRows.U8(pair);
                    pair = 0;
                }
            } else {
                colourRows.U8(colour.b);
                colourRows.U8(colour.g);
                colourRows.U8(colour.r);
                if (withAlpha) {
                    colourRows.U8(colour.a);
                }
            }
        }
        while (colourRows.Size() - rowStart < RowBytes(image.size, bitsPerPixel)) {
            colourRows.U8(0);
        }
    }
    const std::vector<uint8_t> mask = AndMask(image, withAlpha);

    Bytes out;
    out.U32(40);                                         // biSize
    out.U32(uint32_t(image.size));                       // biWidth
    out.U32(uint32_t(image.size * 2));                   // biHeight: colour rows and mask rows
    out.U16(1);                                          // biPlanes
    out.U16(uint16_t(bitsPerPixel));                     // biBitCount
    out.U32(0);                                          // biCompression: BI_RGB
    out.U32(uint32_t(colourRows.Size() + mask.size()));  // biSizeImage
    out.U32(0);                                          // biXPelsPerMeter
    out.U32(0);                                          // biYPelsPerMeter
    out.U32(0);                                          // biClrUsed: the full table
    out.U32(0);                                          // biClrImportant
    for (const Pixel& entry : palette) {
        out.U8(entry.b);
        out.U8(entry.g);
        out.U8(entry.r);
        out.U8(0);
    }
    out.Append(colourRows.Data());
    out.Append(mask);
    return out.Data();
}

struct IconImage {
    int size;
    int bitsPerPixel;
};

// The sizes and depths the installer's icon group carries: at every size one image of 16
// colours, for 16- and 256-colour displays, and one of true colour, with soft edges at 48
// pixels where the system draws them. 256-colour images would cost over 7 KB of the host's
// size for little gain over 16 colours on so small a picture.
const IconImage kImages[] = {{16, 4}, {16, 24}, {32, 4}, {32, 24}, {48, 4}, {48, 32}};

std::vector<uint8_t> BuildIcon() {
    std::vector<std::vector<uint8_t>> encoded;
    for (const IconImage& wanted : kImages) {
        for (const Layout& layout : kLayouts) {
            if (layout.size == wanted.size) {
                encoded.push_back(EncodeImage(Render(layout), wanted.bitsPerPixel));
            }
        }
    }
    const size_t count = sizeof kImages / sizeof kImages[0];
    Bytes out;
    out.U16(0);  // reserved
    out.U16(1);  // type: icon
    out.U16(uint16_t(count));
    size_t offset = 6 + 16 * count;
    for (size_t i = 0; i < count; ++i) {
        out.U8(uint8_t(kImages[i].size));
        out.U8(uint8_t(kImages[i].size));
        out.U8(kImages[i].bitsPerPixel == 4 ? 16 : 0);  // colour count: 0 for 256 or more
        out.U8(0);                                      // reserved
        out.U16(1);                                     // planes
        out.U16(uint16_t(kImages[i].bitsPerPixel));
        out.U32(uint32_t(encoded[i].size()));
        out.U32(uint32_t(offset));
        offset += encoded[i].size();
    }
    for (const std::vector<uint8_t>& image : encoded) {
        out.Append(image);
    }
    return out.Data();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkicon OUTPUT.ico\n");
        return 2;
    }
    const std::vector<uint8_t> icon = BuildIcon();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(icon.data()), std::streamsize(icon.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "mkicon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
