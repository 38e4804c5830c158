// The resources of the built installer, read back from the executable itself: the setup dialog's
// template and the icon group (the string table has its own test). The bytes are decoded field by
// field, so a resource compiler that lays something out differently from what the program relies
// on is caught here rather than by a user.

#include <windows.h>

#include <gtest/gtest.h>
#include <stdint.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "tests/win/host_module.h"

namespace {

const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The installer loaded as data only: its resources can be read, none of its code runs.
class HostResourceTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(nullptr, host_.get()) << HostExePath() << " error " << GetLastError();
    }

    // The bytes of one resource, empty if there is none.
    std::vector<uint8_t> Resource(LPCSTR type, LPCSTR name, WORD language) const {
        HRSRC found = FindResourceExA(host_.get(), type, name, language);
        if (found == NULL) {
            return {};
        }
        HGLOBAL loaded = LoadResource(host_.get(), found);
        const uint8_t* data = static_cast<const uint8_t*>(LockResource(loaded));
        const DWORD size = SizeofResource(host_.get(), found);
        if (data == nullptr) {
            return {};
        }
        return std::vector<uint8_t>(data, data + size);
    }

    std::vector<uint8_t> Resource(LPCSTR type, WORD id) const {
        return Resource(type, MAKEINTRESOURCEA(id), kEnglishUs);
    }

    HostResources host_;
};

// Reads little-endian fields one by one; running past the end fails the test instead of reading
// beyond the resource.
class ByteReader {
  public:
    explicit ByteReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    bool Failed() const { return failed_; }
    size_t Offset() const { return offset_; }

    uint8_t U8() {
        if (offset_ >= bytes_.size()) {
            failed_ = true;
            return 0;
        }
        return bytes_[offset_++];
    }
    uint16_t U16() {
        const uint16_t low = U8();
        return uint16_t(low | U8() << 8);
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | uint32_t(U16()) << 16;
    }
    int16_t I16() { return int16_t(U16()); }
    uint16_t PeekU16() {
        const size_t offset = offset_;
        const uint16_t value = U16();
        offset_ = offset;
        return value;
    }

    // A NUL-terminated UTF-16 text; every character of these resources is ASCII.
    std::string Text() {
        std::string text;
        for (uint16_t c = U16(); c != 0 && !failed_; c = U16()) {
            if (c > 0x7F) {
                ADD_FAILURE() << "non-ASCII character " << c << " at " << offset_;
                failed_ = true;
            }
            text += char(c);
        }
        return text;
    }

    // Controls start on a DWORD boundary, counted from the start of the template.
    void AlignToDword() { offset_ = (offset_ + 3) & ~size_t(3); }

  private:
    const std::vector<uint8_t>& bytes_;
    size_t offset_ = 0;
    bool failed_ = false;
};

// A name-or-ordinal field of a dialog template: 0x0000 for none, 0xFFFF and an ordinal, or text.
struct NameOrOrdinal {
    enum Kind { kNone, kOrdinal, kText } kind;
    uint16_t ordinal;
    std::string text;
};

NameOrOrdinal ReadNameOrOrdinal(ByteReader& reader) {
    const uint16_t first = reader.PeekU16();
    if (first == 0x0000) {
        reader.U16();
        return {NameOrOrdinal::kNone, 0, ""};
    }
    if (first == 0xFFFF) {
        reader.U16();
        return {NameOrOrdinal::kOrdinal, reader.U16(), ""};
    }
    return {NameOrOrdinal::kText, 0, reader.Text()};
}

struct DialogHeader {
    uint32_t style;
    uint32_t extendedStyle;
    uint16_t controlCount;
    int16_t x, y, cx, cy;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::string caption;
    uint16_t pointSize;
    std::string face;
};

struct DialogControl {
    uint32_t style;
    uint32_t extendedStyle;
    int16_t x, y, cx, cy;
    uint16_t id;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
    uint16_t extraBytes;
};

struct DialogTemplate {
    DialogHeader header;
    std::vector<DialogControl> controls;
};

// A classic DLGTEMPLATE and its DLGITEMTEMPLATEs.
bool ParseDialog(const std::vector<uint8_t>& bytes, DialogTemplate* dialog) {
    ByteReader reader(bytes);
    DialogHeader& header = dialog->header;
    header.style = reader.U32();
    header.extendedStyle = reader.U32();
    header.controlCount = reader.U16();
    header.x = reader.I16();
    header.y = reader.I16();
    header.cx = reader.I16();
    header.cy = reader.I16();
    header.menu = ReadNameOrOrdinal(reader);
    header.windowClass = ReadNameOrOrdinal(reader);
    header.caption = reader.Text();
    header.pointSize = 0;
    if (header.style & DS_SETFONT) {
        header.pointSize = reader.U16();
        header.face = reader.Text();
    }
    for (uint16_t i = 0; i < header.controlCount && !reader.Failed(); ++i) {
        reader.AlignToDword();
        DialogControl control;
        control.style = reader.U32();
        control.extendedStyle = reader.U32();
        control.x = reader.I16();
        control.y = reader.I16();
        control.cx = reader.I16();
        control.cy = reader.I16();
        control.id = reader.U16();
        control.windowClass = ReadNameOrOrdinal(reader);
        control.text = ReadNameOrOrdinal(reader);
        control.extraBytes = reader.U16();
        for (uint16_t extra = 0; extra < control.extraBytes; ++extra) {
            reader.U8();
        }
        dialog->controls.push_back(control);
    }
    return !reader.Failed();
}

const uint16_t kButtonClass = 0x0080;
const uint16_t kEditClass = 0x0081;
const uint16_t kStaticClass = 0x0082;

struct ExpectedControl {
    uint16_t id;
    uint16_t windowClass;
    const char* text;
    int16_t x, y, cx, cy;
    uint32_t style;
};

const uint32_t kChild = WS_CHILD | WS_VISIBLE;
const uint32_t kEditStyle = kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

// In template order, which is also the tab order.
const ExpectedControl kControls[] = {
    {IDOK, kButtonClass, "OK", 56, 85, 50, 14, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP},
    {IDCANCEL, kButtonClass, "Cancel", 122, 85, 50, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_PATH, kEditClass, "", 71, 25, 83, 13, kEditStyle},
    {IDC_BROWSE, kButtonClass, "&Browse...", 163, 25, 40, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_FILENAME, kEditClass, "", 71, 47, 84, 12, kEditStyle},
    {0xFFFF, kButtonClass, "Create Screen Saver", 7, 15, 205, 65, kChild | BS_GROUPBOX},
    {0xFFFF, kStaticClass, "Path:", 29, 28, 18, 8, kChild | SS_LEFT | WS_GROUP},
    {0xFFFF, kStaticClass, "Filename:", 29, 47, 29, 8, kChild | SS_LEFT | WS_GROUP},
    {IDC_MAKE_DEFAULT, kButtonClass, "Make Default Screen Saver", 56, 65, 104, 10,
     kChild | BS_AUTOCHECKBOX | WS_TABSTOP},
};

TEST_F(HostResourceTest, SetupDialogIsAClassicTemplateWithTheDesignedFrame) {
    const std::vector<uint8_t> bytes = Resource(RT_DIALOG, IDD_SETUP);
    ASSERT_FALSE(bytes.empty()) << "no English (US) dialog " << IDD_SETUP;
    // An extended template starts with version 1 and signature 0xFFFF.
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_FALSE(bytes[0] == 0x01 && bytes[1] == 0x00 && bytes[2] == 0xFF && bytes[3] == 0xFF);

    DialogTemplate dialog;
    ASSERT_TRUE(ParseDialog(bytes, &dialog));
    const DialogHeader& header = dialog.header;
    EXPECT_EQ(0x80C800C0u, header.style);
    EXPECT_EQ(uint32_t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT),
              header.style);
    EXPECT_EQ(0u, header.extendedStyle);
    EXPECT_EQ(9u, header.controlCount);
    EXPECT_EQ(0, header.x);
    EXPECT_EQ(0, header.y);
    EXPECT_EQ(219, header.cx);
    EXPECT_EQ(106, header.cy);
    EXPECT_EQ(NameOrOrdinal::kNone, header.menu.kind);
    EXPECT_EQ(NameOrOrdinal::kNone, header.windowClass.kind);
    EXPECT_EQ("Setup Screen Saver", header.caption);
    EXPECT_EQ(8u, header.pointSize);
    EXPECT_EQ("MS Sans Serif", header.face);
}

TEST_F(HostResourceTest, SetupDialogControlsMatchTheLayout) {
    DialogTemplate dialog;
    ASSERT_TRUE(ParseDialog(Resource(RT_DIALOG, IDD_SETUP), &dialog));
    const size_t expectedCount = sizeof kControls / sizeof kControls[0];
    ASSERT_EQ(expectedCount, dialog.controls.size());
    for (size_t i = 0; i < expectedCount; ++i) {
        const ExpectedControl& expected = kControls[i];
        const DialogControl& control = dialog.controls[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " \"" << expected.text << "\"");
        EXPECT_EQ(expected.id, control.id);
        EXPECT_EQ(NameOrOrdinal::kOrdinal, control.windowClass.kind);
        EXPECT_EQ(expected.windowClass, control.windowClass.ordinal);
        // Even the edits carry an empty text, not an ordinal (which would name an icon).
        EXPECT_NE(NameOrOrdinal::kOrdinal, control.text.kind);
        EXPECT_EQ(expected.text, control.text.text);
        EXPECT_EQ(expected.x, control.x);
        EXPECT_EQ(expected.y, control.y);
        EXPECT_EQ(expected.cx, control.cx);
        EXPECT_EQ(expected.cy, control.cy);
        EXPECT_EQ(expected.style, control.style)
            << std::hex << "expected 0x" << expected.style << ", found 0x" << control.style;
        EXPECT_EQ(0u, control.extendedStyle);
        EXPECT_EQ(0u, control.extraBytes);
    }
}

struct IconEntry {
    uint8_t width, height, colourCount;
    uint16_t planes, bitsPerPixel;
    uint32_t bytes;
    uint16_t id;
};

bool ParseIconGroup(const std::vector<uint8_t>& bytes, std::vector<IconEntry>* entries) {
    ByteReader reader(bytes);
    if (reader.U16() != 0 || reader.U16() != 1) {
        return false;
    }
    const uint16_t count = reader.U16();
    for (uint16_t i = 0; i < count && !reader.Failed(); ++i) {
        IconEntry entry;
        entry.width = reader.U8();
        entry.height = reader.U8();
        entry.colourCount = reader.U8();
        reader.U8();  // reserved
        entry.planes = reader.U16();
        entry.bitsPerPixel = reader.U16();
        entry.bytes = reader.U32();
        entry.id = reader.U16();
        entries->push_back(entry);
    }
    return !reader.Failed() && reader.Offset() == bytes.size();
}

// One image of the icon, decoded from its BITMAPINFOHEADER, palette, colour rows and AND mask.
struct IconBitmap {
    int32_t width = 0, height = 0;
    uint16_t planes = 0, bitsPerPixel = 0;
    uint32_t compression = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint32_t> pixels;   // 0xAARRGGBB, top row first
    std::vector<bool> transparent;  // the AND mask, top row first
};

size_t RowBytes(int width, int bitsPerPixel) {
    return (size_t(width) * bitsPerPixel + 31) / 32 * 4;
}

bool DecodeIconBitmap(const std::vector<uint8_t>& bytes, IconBitmap* image) {
    ByteReader reader(bytes);
    if (reader.U32() != 40) {
        return false;
    }
    image->width = int32_t(reader.U32());
    image->height = int32_t(reader.U32());
    image->planes = reader.U16();
    image->bitsPerPixel = reader.U16();
    image->compression = reader.U32();
    reader.U32();  // image size
    reader.U32();  // horizontal resolution
    reader.U32();  // vertical resolution
    const uint32_t coloursUsed = reader.U32();
    reader.U32();  // colours important
    const int size = image->width;
    if (size <= 0 || size > 256 || image->height != 2 * size || image->compression != BI_RGB) {
        return false;
    }
    const int bits = image->bitsPerPixel;
    if (bits == 4 || bits == 8) {
        // A colour table shorter than the depth allows is stored with its length.
        const uint32_t fullSize = 1u << bits;
        const uint32_t paletteSize = coloursUsed != 0 ? coloursUsed : fullSize;
        if (paletteSize > fullSize) {
            return false;
        }
        for (uint32_t i = 0; i < paletteSize; ++i) {
            image->palette.push_back(reader.U32() & 0xFFFFFF);
        }
    } else if (bits != 24 && bits != 32) {
        return false;
    }
    const size_t pixelCount = size_t(size) * size;
    image->pixels.assign(pixelCount, 0);
    image->transparent.assign(pixelCount, false);
    for (int row = size - 1; row >= 0; --row) {
        const size_t start = reader.Offset();
        uint8_t pair = 0;
        for (int x = 0; x < size; ++x) {
            uint32_t pixel;
            if (bits == 4 || bits == 8) {
                uint8_t index;
                if (bits == 8) {
                    index = reader.U8();
                } else if (x % 2 == 0) {
                    pair = reader.U8();
                    index = pair >> 4;
                } else {
                    index = pair & 0x0F;
                }
                if (index >= image->palette.size()) {
                    return false;
                }
                pixel = 0xFF000000u | image->palette[index];
            } else {
                const uint32_t blue = reader.U8(), green = reader.U8(), red = reader.U8();
                const uint32_t alpha = bits == 32 ? reader.U8() : 0xFF;
                pixel = alpha << 24 | red << 16 | green << 8 | blue;
            }
            image->pixels[size_t(row) * size + x] = pixel;
        }
        while (reader.Offset() - start < RowBytes(size, bits)) {
            reader.U8();
        }
    }
    for (int row = size - 1; row >= 0; --row) {
        const size_t start = reader.Offset();
        for (int x = 0; x < size; x += 8) {
            const uint8_t maskBits = reader.U8();
            for (int bit = 0; bit < 8 && x + bit < size; ++bit) {
                image->transparent[size_t(row) * size + x + bit] = (maskBits & (0x80 >> bit)) != 0;
            }
        }
        while (reader.Offset() - start < RowBytes(size, 1)) {
            reader.U8();
        }
    }
    return !reader.Failed() && reader.Offset() == bytes.size();
}

TEST_F(HostResourceTest, IconGroupHoldsSixImagesOfTheDesignedSizesAndDepths) {
    const std::vector<uint8_t> group = Resource(RT_GROUP_ICON, IDI_APP);
    ASSERT_FALSE(group.empty());
    std::vector<IconEntry> entries;
    ASSERT_TRUE(ParseIconGroup(group, &entries));
    std::multiset<std::pair<int, int>> found;
    for (const IconEntry& entry : entries) {
        SCOPED_TRACE(testing::Message() << "icon " << entry.id);
        EXPECT_EQ(entry.width, entry.height);
        // The group names the colour count of a 16-colour image; 0 stands for 256 or more.
        EXPECT_EQ(entry.bitsPerPixel == 4 ? 16u : 0u, entry.colourCount);
        EXPECT_EQ(1u, entry.planes);
        found.insert({entry.width, entry.bitsPerPixel});

        const std::vector<uint8_t> image = Resource(RT_ICON, entry.id);
        EXPECT_EQ(entry.bytes, image.size());
        IconBitmap bitmap;
        ASSERT_TRUE(DecodeIconBitmap(image, &bitmap));
        EXPECT_EQ(entry.width, bitmap.width);
        EXPECT_EQ(1u, bitmap.planes);
        EXPECT_EQ(entry.bitsPerPixel, bitmap.bitsPerPixel);
    }
    const std::multiset<std::pair<int, int>> expected = {{16, 4},  {16, 24}, {32, 4},
                                                         {32, 24}, {48, 4},  {48, 32}};
    EXPECT_EQ(expected, found);
}

// Where the AND mask lets the background through, the colour must be black, or the background
// would show tinted; and each image must show a picture, not a blank or a solid square.
TEST_F(HostResourceTest, IconMasksAgreeWithTheColours) {
    std::vector<IconEntry> entries;
    ASSERT_TRUE(ParseIconGroup(Resource(RT_GROUP_ICON, IDI_APP), &entries));
    ASSERT_FALSE(entries.empty());
    for (const IconEntry& entry : entries) {
        SCOPED_TRACE(testing::Message()
                     << int(entry.width) << " px, " << entry.bitsPerPixel << " bits");
        IconBitmap bitmap;
        ASSERT_TRUE(DecodeIconBitmap(Resource(RT_ICON, entry.id), &bitmap));
        size_t transparent = 0, partlyTransparent = 0;
        for (size_t i = 0; i < bitmap.pixels.size(); ++i) {
            const uint32_t alpha = bitmap.pixels[i] >> 24;
            if (bitmap.transparent[i]) {
                ++transparent;
                EXPECT_EQ(0u, bitmap.pixels[i] & 0xFFFFFF) << "pixel " << i;
            }
            if (bitmap.bitsPerPixel == 32) {
                EXPECT_EQ(alpha == 0, bool(bitmap.transparent[i])) << "pixel " << i;
                partlyTransparent += alpha > 0 && alpha < 255;
            }
        }
        EXPECT_GT(transparent, 0u);
        EXPECT_LT(transparent, bitmap.pixels.size() / 2);
        if (bitmap.bitsPerPixel == 32) {
            EXPECT_GT(partlyTransparent, 0u) << "the 32-bit image has no soft edges";
        }
    }
}

// The system itself must accept the group and every image in it.
TEST_F(HostResourceTest, SystemBuildsAnIconFromEveryImage) {
    std::vector<uint8_t> group = Resource(RT_GROUP_ICON, IDI_APP);
    std::vector<IconEntry> entries;
    ASSERT_TRUE(ParseIconGroup(group, &entries));
    for (const IconEntry& entry : entries) {
        SCOPED_TRACE(testing::Message() << "icon " << entry.id);
        std::vector<uint8_t> image = Resource(RT_ICON, entry.id);
        ASSERT_FALSE(image.empty());
        HICON icon = CreateIconFromResourceEx(image.data(), DWORD(image.size()), TRUE, 0x00030000,
                                              entry.width, entry.height, LR_DEFAULTCOLOR);
        ASSERT_NE(nullptr, icon);
        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour;
        ASSERT_NE(0, GetObjectA(info.hbmColor, sizeof colour, &colour));
        EXPECT_EQ(entry.width, colour.bmWidth);
        EXPECT_EQ(entry.height, colour.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    for (int size : {16, 32, 48}) {
        const int id = LookupIconIdFromDirectoryEx(group.data(), TRUE, size, size, LR_DEFAULTCOLOR);
        bool chosenHasSize = false;
        for (const IconEntry& entry : entries) {
            chosenHasSize |= entry.id == id && entry.width == size;
        }
        EXPECT_TRUE(chosenHasSize) << size << " px: the system chose icon " << id;
    }
}

}  // namespace
