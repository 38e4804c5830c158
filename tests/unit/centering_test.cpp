#include "ui/centering.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

namespace {

struct CenteringCase {
    const char* name;
    ScreenRect owner;
    ScreenRect window;
    int screenWidth;
    int screenHeight;
    int expectedX;
    int expectedY;
};

// Each row is worked out by hand: w1 = right - left + 1, x = (oL + oR) / 2 - w1 / 2, then
// x = 0 when x or the screen's room (width - w1) is negative, else x = room when x >= room.
const CenteringCase kCases[] = {
    // (100 + 500) / 2 - 201 / 2 = 300 - 100; (100 + 400) / 2 - 101 / 2 = 250 - 50.
    {"CentredOverOwner", {100, 100, 500, 400}, {0, 0, 200, 100}, 1024, 768, 200, 200},
    // The window's own position does not matter, only its size.
    {"OwnPositionIgnored", {100, 100, 500, 400}, {700, 600, 900, 700}, 1024, 768, 200, 200},
    // The extent is one more than the width and its half truncates: widths 199 and 200 (w1 = 200
    // and 201) land on the same spot, width 201 (w1 = 202) one pixel further left.
    {"Width199", {0, 0, 400, 400}, {0, 0, 199, 199}, 1024, 768, 100, 100},
    {"Width200", {0, 0, 400, 400}, {0, 0, 200, 200}, 1024, 768, 100, 100},
    {"Width201", {0, 0, 400, 400}, {0, 0, 201, 201}, 1024, 768, 99, 99},
    // Odd owner sums truncate: (0 + 101) / 2 = 50.
    {"OddOwnerSum", {0, 0, 101, 101}, {0, 0, 9, 9}, 1024, 768, 45, 45},
    // A window wider and taller than the screen starts at 0 even though it is centred at a
    // positive position.
    {"WiderThanScreen", {500, 400, 700, 500}, {0, 0, 1100, 800}, 1024, 768, 0, 0},
    // Exactly as wide as the screen minus one: room 0, so it starts at 0.
    {"FillsScreen", {500, 400, 700, 500}, {0, 0, 1023, 767}, 1024, 768, 0, 0},
    // Past the right and bottom edges: moved back to width - w1, so its right coordinate ends
    // at width - 1 (1024 - 301 = 723, and 723 + 300 = 1023).
    {"ClampedToRightEdge", {924, 668, 1024, 768}, {0, 0, 300, 200}, 1024, 768, 723, 567},
    // Landing exactly on the room is the same as clamping to it.
    {"ExactlyAtRoom", {0, 0, 1746, 1334}, {0, 0, 300, 200}, 1024, 768, 723, 567},
    // An owner above and left of the screen pulls the window to 0.
    {"NegativeOwner", {-600, -500, -100, -50}, {0, 0, 200, 100}, 1024, 768, 0, 0},
    // A negative centre: (-3 + 0) / 2 truncates toward zero to -1, minus 0, so still negative.
    {"NegativeCentreTruncated", {-3, -3, 0, 0}, {0, 0, 0, 0}, 1024, 768, 0, 0},
    // An owner that straddles the left edge: (-101 + 300) / 2 = 99, minus 201 / 2 = 100 -> -1.
    {"StraddlingOwner", {-101, -101, 300, 300}, {0, 0, 200, 200}, 1024, 768, 0, 0},
    // (-99 + 300) / 2 = 100, minus 100 -> 0 exactly.
    {"StraddlingOwnerAtZero", {-99, -99, 300, 300}, {0, 0, 200, 200}, 1024, 768, 0, 0},
    // (-97 + 300) / 2 = 101 (201 / 2), minus 100 -> 1.
    {"StraddlingOwnerPastZero", {-97, -97, 300, 300}, {0, 0, 200, 200}, 1024, 768, 1, 1},
    // Truncation toward zero only shows where a negative quotient is not clamped away, which
    // takes an inverted rectangle: (-3 + 0) / 2 = -1 (not -2) and (1 - 100 + 1) / 2 = -49, so
    // -1 + 49 = 48; and w1 = 6 - 10 + 1 = -3 halves to -1 (not -2), so 50 + 1 = 51.
    {"NegativeOwnerSumTruncates", {-3, -3, 0, 0}, {100, 100, 1, 1}, 1024, 768, 48, 48},
    {"NegativeExtentTruncates", {0, 0, 100, 100}, {10, 10, 6, 6}, 1024, 768, 51, 51},
    // The axes are clamped independently.
    {"OnlyXClamped", {-600, 100, -100, 400}, {0, 0, 200, 100}, 1024, 768, 0, 200},
    {"OnlyYClamped", {100, 700, 500, 2000}, {0, 0, 200, 100}, 1024, 768, 200, 667},
    // An empty screen (no metrics) leaves nowhere but 0.
    {"NoScreen", {100, 100, 500, 400}, {0, 0, 200, 100}, 0, 0, 0, 0},
    // Coordinates at the ends of the range do not overflow the sums.
    {"ExtremeOwner",
     {INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX},
     {0, 0, 10, 10},
     1024,
     768,
     1013,
     757},
    {"ExtremeNegativeOwner",
     {INT_MIN, INT_MIN, INT_MIN + 1, INT_MIN + 1},
     {0, 0, 10, 10},
     1024,
     768,
     0,
     0},
};

void PrintTo(const CenteringCase& row, std::ostream* out) {
    *out << row.name;
}

class CenteredPositionTest : public testing::TestWithParam<CenteringCase> {};

TEST_P(CenteredPositionTest, PlacesWindow) {
    const CenteringCase& row = GetParam();
    const ScreenPoint position =
        CenteredPosition(row.owner, row.window, row.screenWidth, row.screenHeight);
    EXPECT_EQ(row.expectedX, position.x);
    EXPECT_EQ(row.expectedY, position.y);
}

INSTANTIATE_TEST_SUITE_P(Rows, CenteredPositionTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CenteringCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(CenteredPositionTest, RightEdgeOfClampedWindowIsScreenWidthMinusOne) {
    const ScreenRect window = {0, 0, 299, 99};
    const ScreenRect owner = {1900, 1100, 2000, 1200};
    const ScreenPoint position = CenteredPosition(owner, window, 1280, 1024);
    EXPECT_EQ(1280 - 1, position.x + (window.right - window.left));
    EXPECT_EQ(1024 - 1, position.y + (window.bottom - window.top));
}

}  // namespace
