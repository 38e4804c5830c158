// The demo screen saver's portable parts, as tables: command lines, settings text, BMP headers,
// picture placement and the order of slides.
#include <string.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "saver/saver_args.h"
#include "saver/slides.h"
#include "tests/support/test_files.h"

namespace {

using testing_files::LabelName;

struct ArgsCase {
    std::string label;
    std::string commandLine;
    SaverMode mode;
    uint64_t window;
};

class SaverArgsTest : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(SaverArgsTest, ReadsModeAndWindow) {
    const ArgsCase& row = GetParam();
    const SaverArgs args = ParseSaverArgs(SkipProgramName(row.commandLine.c_str()));
    EXPECT_EQ(int(args.mode), int(row.mode));
    EXPECT_EQ(args.window, row.window);
}

const ArgsCase kArgsCases[] = {
    {"no argument is configure", "demo.scr", SaverMode::kConfigure, 0},
    {"blanks only is configure", "demo.scr   ", SaverMode::kConfigure, 0},
    {"slash s", "demo.scr /s", SaverMode::kScreen, 0},
    {"capital S", "demo.scr /S", SaverMode::kScreen, 0},
    {"dash s", "demo.scr -s", SaverMode::kScreen, 0},
    {"quoted name with blanks", "\"C:\\My Savers\\demo.scr\" /s", SaverMode::kScreen, 0},
    {"quoted name holding a slash s", "\"C:\\x /s\\demo.scr\" /c", SaverMode::kConfigure, 0},
    {"quoted name without closing quote", "\"C:\\x\\demo.scr /s", SaverMode::kConfigure, 0},
    {"tab before argument", "demo.scr\t/s", SaverMode::kScreen, 0},
    {"preview with space", "demo.scr /p 1234", SaverMode::kPreview, 1234},
    {"preview with colon", "demo.scr /p:1234", SaverMode::kPreview, 1234},
    {"preview capital dash", "demo.scr -P 66052", SaverMode::kPreview, 66052},
    {"preview several spaces", "demo.scr /p   42", SaverMode::kPreview, 42},
    {"preview colon and space", "demo.scr /p: 42", SaverMode::kPreview, 42},
    {"preview 64 bit handle", "demo.scr /p 4294967298", SaverMode::kPreview, 4294967298u},
    {"preview without handle does nothing", "demo.scr /p", SaverMode::kNone, 0},
    {"preview with zero does nothing", "demo.scr /p 0", SaverMode::kNone, 0},
    {"preview with letters does nothing", "demo.scr /p abc", SaverMode::kNone, 0},
    {"preview overflowing handle does nothing", "demo.scr /p 99999999999999999999",
     SaverMode::kNone, 0},
    {"configure", "demo.scr /c", SaverMode::kConfigure, 0},
    {"configure with colon handle", "demo.scr /c:5678", SaverMode::kConfigure, 5678},
    {"configure with space handle", "demo.scr /C 5678", SaverMode::kConfigure, 5678},
    {"password change ignored", "demo.scr /a 1234", SaverMode::kNone, 0},
    {"password change capital", "demo.scr -A", SaverMode::kNone, 0},
    {"unknown letter is configure", "demo.scr /x", SaverMode::kConfigure, 0},
    {"lone slash is configure", "demo.scr /", SaverMode::kConfigure, 0},
    {"word is configure", "demo.scr hello", SaverMode::kConfigure, 0},
};

INSTANTIATE_TEST_SUITE_P(Rows, SaverArgsTest, ::testing::ValuesIn(kArgsCases), LabelName());

struct MouseCase {
    std::string label;
    int fromX, fromY, toX, toY;
    bool far;
};

class MouseSlackTest : public ::testing::TestWithParam<MouseCase> {};

TEST_P(MouseSlackTest, EndsOnlyBeyondTheSlack) {
    const MouseCase& row = GetParam();
    EXPECT_EQ(MovedFarEnough(row.fromX, row.fromY, row.toX, row.toY), row.far);
}

const MouseCase kMouseCases[] = {
    {"same place", 100, 100, 100, 100, false},
    {"slack right", 100, 100, 104, 100, false},
    {"slack up left", 100, 100, 96, 96, false},
    {"one beyond right", 100, 100, 105, 100, true},
    {"one beyond up", 100, 100, 100, 95, true},
    {"far diagonal", 0, 0, 300, 200, true},
    {"negative screen coordinates", -10, -10, -20, -10, true},
    {"extreme values", -2147483647 - 1, 0, 2147483647, 0, true},
};

INSTANTIATE_TEST_SUITE_P(Rows, MouseSlackTest, ::testing::ValuesIn(kMouseCases), LabelName());

struct SettingsCase {
    std::string label;
    std::string text;
    uint32_t seconds;
    bool random;
};

class SettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsTest, AppliesWhatItUnderstands) {
    const SettingsCase& row = GetParam();
    SlideSettings settings = DefaultSettings();
    ApplySettings(row.text.data(), row.text.size(), &settings);
    EXPECT_EQ(settings.seconds, row.seconds);
    EXPECT_EQ(settings.random, row.random);
}

const SettingsCase kSettingsCases[] = {
    {"empty text keeps defaults", "", 5, false},
    {"seconds", "seconds=9", 9, false},
    {"seconds with line break", "seconds=9\n", 9, false},
    {"windows line breaks", "seconds=2\r\norder=random\r\n", 2, true},
    {"blanks around key and value", "  Seconds \t=  12  \n", 12, false},
    {"keys and values in any case", "SECONDS=3\nORDER=Random", 3, true},
    {"sequential after random", "order=random\norder=sequential", 5, false},
    {"unknown order keeps default", "order=shuffled", 5, false},
    {"zero seconds refused", "seconds=0", 5, false},
    {"most seconds", "seconds=3600", 3600, false},
    {"too many seconds refused", "seconds=3601", 5, false},
    {"huge seconds refused", "seconds=99999999999999999999", 5, false},
    {"negative seconds refused", "seconds=-4", 5, false},
    {"seconds with letters refused", "seconds=4s", 5, false},
    {"empty value refused", "seconds=", 5, false},
    {"comment lines skipped", "# seconds=7\n; order=random\nseconds=8", 8, false},
    {"line without equals skipped", "seconds 7\nseconds=6", 6, false},
    {"unknown key skipped", "speed=fast\nseconds=4", 4, false},
    {"last line wins", "seconds=4\nseconds=7", 7, false},
    {"value holding an equals sign", "order=random=yes", 5, false},
};

INSTANTIATE_TEST_SUITE_P(Rows, SettingsTest, ::testing::ValuesIn(kSettingsCases), LabelName());

TEST(SettingsText, StopsAtItsSizeWithoutANul) {
    const char text[] = "seconds=42";
    SlideSettings settings = DefaultSettings();
    ApplySettings(text, 9, &settings);  // "seconds=4"
    EXPECT_EQ(settings.seconds, 4u);
}

TEST(SettingsName, IsGlobalPropertiesWithItsNul) {
    EXPECT_TRUE(IsSettingsName("Global Properties", 18));
    EXPECT_FALSE(IsSettingsName("Global Properties", 17));
    EXPECT_FALSE(IsSettingsName("global properties", 18));
    EXPECT_FALSE(IsSettingsName("Image Properties", 17));
    EXPECT_FALSE(IsSettingsName(nullptr, 0));
}

struct DetectCase {
    std::string label;
    std::vector<uint8_t> bytes;
    PictureKind kind;
};

class DetectTest : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DetectTest, TellsByTheFirstBytes) {
    const DetectCase& row = GetParam();
    EXPECT_EQ(int(DetectPicture(row.bytes.data(), row.bytes.size())), int(row.kind));
}

const DetectCase kDetectCases[] = {
    {"jpeg", {0xFF, 0xD8, 0xFF, 0xE0}, PictureKind::kJpeg},
    {"jpeg start only", {0xFF, 0xD8, 0xFF}, PictureKind::kJpeg},
    {"jpeg cut short", {0xFF, 0xD8}, PictureKind::kUnknown},
    {"bmp", {'B', 'M', 0, 0}, PictureKind::kBmp},
    {"bmp magic only", {'B', 'M'}, PictureKind::kBmp},
    {"lower case bm", {'b', 'm', 0}, PictureKind::kUnknown},
    {"png", {0x89, 'P', 'N', 'G'}, PictureKind::kUnknown},
    {"text", {'s', 'e', 'c'}, PictureKind::kUnknown},
    {"empty", {}, PictureKind::kUnknown},
};

INSTANTIATE_TEST_SUITE_P(Rows, DetectTest, ::testing::ValuesIn(kDetectCases), LabelName());

// A BMP file built field by field; the rows below change one field each.
struct BmpFields {
    uint32_t bitsOffset = 54;
    uint32_t headerSize = 40;
    int32_t width = 3;
    int32_t height = 2;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    size_t fileSize = 54 + 12 * 2;  // rows of 9 bytes padded to 12
};

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = uint8_t(value >> (8 * i));
    }
}

std::vector<uint8_t> MakeBmp(const BmpFields& f) {
    std::vector<uint8_t> bytes(f.fileSize < 54 ? 54 : f.fileSize, 0x5A);
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(bytes, 2, uint32_t(f.fileSize));
    Put32(bytes, 10, f.bitsOffset);
    Put32(bytes, 14, f.headerSize);
    Put32(bytes, 18, uint32_t(f.width));
    Put32(bytes, 22, uint32_t(f.height));
    Put16(bytes, 26, f.planes);
    Put16(bytes, 28, f.bitCount);
    Put32(bytes, 30, f.compression);
    Put32(bytes, 34, 0);
    Put32(bytes, 46, f.colorsUsed);
    bytes.resize(f.fileSize);
    return bytes;
}

struct BmpCase {
    std::string label;
    BmpFields fields;
    bool ok;
    BmpLayout expected;  // when ok
};

BmpFields With(void (*change)(BmpFields&)) {
    BmpFields fields;
    change(fields);
    return fields;
}

class BmpTest : public ::testing::TestWithParam<BmpCase> {};

TEST_P(BmpTest, AcceptsOnlyWhatTheFileHolds) {
    const BmpCase& row = GetParam();
    const std::vector<uint8_t> bytes = MakeBmp(row.fields);
    BmpLayout layout = {};
    ASSERT_EQ(ParseBmp(bytes.data(), bytes.size(), &layout), row.ok);
    if (row.ok) {
        EXPECT_EQ(layout.width, row.expected.width);
        EXPECT_EQ(layout.height, row.expected.height);
        EXPECT_EQ(layout.topDown, row.expected.topDown);
        EXPECT_EQ(layout.bitCount, row.expected.bitCount);
        EXPECT_EQ(layout.colorCount, row.expected.colorCount);
        EXPECT_EQ(layout.paletteOffset, row.expected.paletteOffset);
        EXPECT_EQ(layout.bitsOffset, row.expected.bitsOffset);
        EXPECT_EQ(layout.bitsSize, row.expected.bitsSize);
        EXPECT_LE(size_t(layout.bitsOffset) + layout.bitsSize, bytes.size());
        EXPECT_LE(size_t(layout.paletteOffset) + layout.colorCount * 4, layout.bitsOffset);
    }
}

const BmpCase kBmpCases[] = {
    {"24 bit bottom up", BmpFields(), true, {3, 2, false, 24, 0, 54, 54, 24}},
    {"top down", With([](BmpFields& f) { f.height = -2; }), true, {3, 2, true, 24, 0, 54, 54, 24}},
    {"larger info header",
     With([](BmpFields& f) {
         f.headerSize = 124;
         f.bitsOffset = 138;
         f.fileSize = 138 + 24;
     }),
     true,
     {3, 2, false, 24, 0, 138, 138, 24}},
    {"8 bit full palette",
     With([](BmpFields& f) {
         f.bitCount = 8;
         f.bitsOffset = 54 + 1024;
         f.fileSize = 54 + 1024 + 8;
     }),
     true,
     {3, 2, false, 8, 256, 54, 1078, 8}},
    {"8 bit short palette",
     With([](BmpFields& f) {
         f.bitCount = 8;
         f.colorsUsed = 2;
         f.bitsOffset = 62;
         f.fileSize = 62 + 8;
     }),
     true,
     {3, 2, false, 8, 2, 54, 62, 8}},
    {"1 bit",
     With([](BmpFields& f) {
         f.bitCount = 1;
         f.bitsOffset = 62;
         f.fileSize = 62 + 8;
     }),
     true,
     {3, 2, false, 1, 2, 54, 62, 8}},
    {"32 bit",
     With([](BmpFields& f) {
         f.bitCount = 32;
         f.fileSize = 54 + 24;
     }),
     true,
     {3, 2, false, 32, 0, 54, 54, 24}},
    {"extra bytes after the pixels",
     With([](BmpFields& f) { f.fileSize += 100; }),
     true,
     {3, 2, false, 24, 0, 54, 54, 24}},
    {"pixels cut short by one byte", With([](BmpFields& f) { f.fileSize -= 1; }), false, {}},
    {"only the headers", With([](BmpFields& f) { f.fileSize = 54; }), false, {}},
    {"shorter than the headers", With([](BmpFields& f) { f.fileSize = 53; }), false, {}},
    {"bits offset past the end", With([](BmpFields& f) { f.bitsOffset = 0xFFFFFFF0u; }), false, {}},
    {"bits offset inside the header", With([](BmpFields& f) { f.bitsOffset = 40; }), false, {}},
    {"bits offset inside the palette",
     With([](BmpFields& f) {
         f.bitCount = 8;
         f.bitsOffset = 54 + 1020;
         f.fileSize = 54 + 1024 + 8;
     }),
     false,
     {}},
    {"palette larger than the depth allows",
     With([](BmpFields& f) {
         f.bitCount = 1;
         f.colorsUsed = 3;
         f.bitsOffset = 66;
         f.fileSize = 66 + 8;
     }),
     false,
     {}},
    {"huge palette count",
     With([](BmpFields& f) {
         f.bitCount = 8;
         f.colorsUsed = 0x40000000u;
     }),
     false,
     {}},
    {"old core header", With([](BmpFields& f) { f.headerSize = 12; }), false, {}},
    {"header larger than the file",
     With([](BmpFields& f) { f.headerSize = 0xFFFFFFFFu; }),
     false,
     {}},
    {"zero width", With([](BmpFields& f) { f.width = 0; }), false, {}},
    {"negative width", With([](BmpFields& f) { f.width = -3; }), false, {}},
    {"zero height", With([](BmpFields& f) { f.height = 0; }), false, {}},
    {"most negative height", With([](BmpFields& f) { f.height = -2147483647 - 1; }), false, {}},
    {"width beyond the limit", With([](BmpFields& f) { f.width = 32769; }), false, {}},
    {"pixel data of 4 GiB",
     With([](BmpFields& f) {
         f.width = 32768;
         f.height = 32768;
         f.bitCount = 32;
     }),
     false,
     {}},
    {"two planes", With([](BmpFields& f) { f.planes = 2; }), false, {}},
    {"run length compression", With([](BmpFields& f) { f.compression = 1; }), false, {}},
    {"bit fields", With([](BmpFields& f) { f.compression = 3; }), false, {}},
    {"depth 2", With([](BmpFields& f) { f.bitCount = 2; }), false, {}},
    {"depth 0", With([](BmpFields& f) { f.bitCount = 0; }), false, {}},
};

INSTANTIATE_TEST_SUITE_P(Rows, BmpTest, ::testing::ValuesIn(kBmpCases), LabelName());

TEST(BmpFile, WrongMagicIsRefused) {
    std::vector<uint8_t> bytes = MakeBmp(BmpFields());
    bytes[0] = 'X';
    BmpLayout layout;
    EXPECT_FALSE(ParseBmp(bytes.data(), bytes.size(), &layout));
}

struct FitCase {
    std::string label;
    int32_t width, height, boxWidth, boxHeight;
    Placement expected;
};

class FitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitTest, FitsKeepingProportionsAndCentres) {
    const FitCase& row = GetParam();
    const Placement at = FitAndCentre(row.width, row.height, row.boxWidth, row.boxHeight);
    EXPECT_EQ(at.x, row.expected.x);
    EXPECT_EQ(at.y, row.expected.y);
    EXPECT_EQ(at.width, row.expected.width);
    EXPECT_EQ(at.height, row.expected.height);
}

const FitCase kFitCases[] = {
    {"same size", 640, 480, 640, 480, {0, 0, 640, 480}},
    {"same proportions larger box", 640, 480, 1280, 960, {0, 0, 1280, 960}},
    {"landscape on wider box", 640, 480, 1920, 1080, {240, 0, 1440, 1080}},
    {"portrait on landscape box", 360, 480, 1024, 768, {224, 0, 576, 768}},
    {"wide picture on 4 by 3", 1920, 1080, 1024, 768, {0, 96, 1024, 576}},
    {"shrinks a large picture", 4000, 3000, 800, 600, {0, 0, 800, 600}},
    {"two monitors side by side", 640, 480, 2048, 768, {512, 0, 1024, 768}},
    {"preview window", 640, 480, 152, 112, {1, 0, 149, 112}},
    {"rounds to the nearest pixel", 3, 2, 100, 100, {0, 16, 100, 67}},
    {"sliver stays one pixel", 10000, 1, 640, 480, {0, 239, 640, 1}},
    {"tall sliver stays one pixel", 1, 10000, 640, 480, {319, 0, 1, 480}},
    {"largest sides", 2147483647, 1, 2147483647, 2147483647, {0, 1073741823, 2147483647, 1}},
    {"all sides near the limit",
     2147483647,
     2147483646,
     2147483647,
     2147483647,
     {0, 0, 2147483647, 2147483646}},
    {"zero width picture", 0, 480, 640, 480, {0, 0, 0, 0}},
    {"negative height picture", 640, -480, 640, 480, {0, 0, 0, 0}},
    {"zero box", 640, 480, 0, 0, {0, 0, 0, 0}},
};

INSTANTIATE_TEST_SUITE_P(Rows, FitTest, ::testing::ValuesIn(kFitCases), LabelName());

TEST(NextSlide, InOrderWrapsAround) {
    uint32_t seed = 1;
    EXPECT_EQ(NextSlide(0, 3, false, &seed), 1u);
    EXPECT_EQ(NextSlide(1, 3, false, &seed), 2u);
    EXPECT_EQ(NextSlide(2, 3, false, &seed), 0u);
    EXPECT_EQ(NextSlide(0, 1, false, &seed), 0u);
    EXPECT_EQ(seed, 1u);
}

TEST(NextSlide, RandomAlwaysChangesAndReachesEveryOne) {
    for (uint32_t count : {2u, 3u, 7u}) {
        uint32_t seed = 12345;
        uint32_t current = 0;
        std::vector<bool> seen(count, false);
        for (int step = 0; step < 200; ++step) {
            const uint32_t next = NextSlide(current, count, true, &seed);
            ASSERT_LT(next, count);
            ASSERT_NE(next, current);
            seen[next] = true;
            current = next;
        }
        for (uint32_t i = 0; i < count; ++i) {
            EXPECT_TRUE(seen[i]) << "entry " << i << " of " << count;
        }
    }
}

TEST(NextSlide, RandomWithOneEntryStays) {
    uint32_t seed = 5;
    EXPECT_EQ(NextSlide(0, 1, true, &seed), 0u);
}

}  // namespace
