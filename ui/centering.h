// Where a window goes when it is centred over its owner and kept on the virtual screen. Pure
// arithmetic with no platform types, so the rules can be checked on any system.
#pragma once

struct ScreenRect {
    int left;
    int top;
    int right;
    int bottom;
};

struct ScreenPoint {
    int x;
    int y;
};

// One axis of the placement. `extent` is one more than the window's width or height (right minus
// left plus one), as the placement has always measured it, so a window pushed against the far
// edge ends with its right or bottom coordinate at the screen's size minus one. The sums are
// formed in 64 bits so that no rectangle can overflow them; each division truncates toward zero.
inline int CenteredCoordinate(int ownerStart, int ownerEnd, int start, int end, int screenSize) {
    const long long extent = static_cast<long long>(end) - start + 1;
    const long long centred = (static_cast<long long>(ownerStart) + ownerEnd) / 2 - extent / 2;
    const long long limit = screenSize - extent;
    // A window larger than the screen, or one that would start before it, starts at 0: the
    // origin of the virtual screen is deliberately not used.
    if (centred < 0 || limit < 0) {
        return 0;
    }
    return static_cast<int>(centred >= limit ? limit : centred);
}

// The top-left corner for `window` centred over `owner` (both in screen coordinates) and pushed
// inside a virtual screen of `screenWidth` by `screenHeight`, starting at (0, 0).
inline ScreenPoint CenteredPosition(const ScreenRect& owner, const ScreenRect& window,
                                    int screenWidth, int screenHeight) {
    ScreenPoint position;
    position.x =
        CenteredCoordinate(owner.left, owner.right, window.left, window.right, screenWidth);
    position.y =
        CenteredCoordinate(owner.top, owner.bottom, window.top, window.bottom, screenHeight);
    return position;
}
