// The demo screen saver: a slideshow of the pictures in its own package, full screen (/s), in
// the preview window of the system's settings (/p), or a small settings dialog (/c).
#include <windows.h>

#include <math.h>

#include "saver/resource.h"
#include "saver/saver_args.h"
#include "saver/slideshow_win32.h"

HINSTANCE instance;

namespace {

const char kWindowClass[] = "DemoScreenSaverClass";
const char kWindowTitle[] = "Demo Screen Saver";
// Held while a full-screen run is up, so that the system starting the saver again finds it.
const char kRunningMutex[] = "DemoScreenSaverFullScreen";

const UINT_PTR kSlideTimer = 1;
const UINT_PTR kFrameTimer = 2;
const UINT_PTR kParentTimer = 3;
const UINT kFrameMs = 40;
const UINT kParentCheckMs = 250;

// Per-window state, reached through the window.
struct SaverWindow {
    SaverMode mode;
    HWND parent;
    Slideshow* show;
    HDC buffer;
    HBITMAP bitmap;
    HGDIOBJ previousBitmap;
    int width;
    int height;
    bool animating;
    uint32_t frame;
    bool mouseSeen;
    POINT mouseAt;
};

// Our own animation, for a show without a picture that decodes: coloured dots circling on black.
void DrawAnimationFrame(HDC dc, int width, int height, uint32_t frame) {
    static const COLORREF kColours[] = {RGB(255, 80, 80),  RGB(255, 180, 40), RGB(240, 240, 60),
                                        RGB(80, 220, 80),  RGB(60, 200, 230), RGB(90, 110, 255),
                                        RGB(200, 90, 240), RGB(255, 120, 200)};
    const int kDots = 8;
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const int radius = (width < height ? width : height) / 20 + 2;
    const double t = frame * 0.04;
    for (int i = 0; i < kDots; ++i) {
        const double phase = i * 6.2831853 / kDots;
        const int x = int(width / 2 + cos(t + phase) * width * 0.35 * cos(t * 0.31));
        const int y = int(height / 2 + sin(t * 1.3 + phase) * height * 0.35);
        HBRUSH brush = CreateSolidBrush(kColours[i]);
        HGDIOBJ previous = SelectObject(dc, brush);
        SelectObject(dc, GetStockObject(NULL_PEN));
        Ellipse(dc, x - radius, y - radius, x + radius, y + radius);
        SelectObject(dc, previous);
        DeleteObject(brush);
    }
}

bool CreateBuffer(SaverWindow* state, HWND window) {
    RECT client;
    GetClientRect(window, &client);
    state->width = client.right > 0 ? client.right : 1;
    state->height = client.bottom > 0 ? client.bottom : 1;
    HDC screen = GetDC(window);
    state->buffer = CreateCompatibleDC(screen);
    state->bitmap = CreateCompatibleBitmap(screen, state->width, state->height);
    ReleaseDC(window, screen);
    if (!state->buffer || !state->bitmap) {
        return false;
    }
    state->previousBitmap = SelectObject(state->buffer, state->bitmap);
    RECT all = {0, 0, state->width, state->height};
    FillRect(state->buffer, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return true;
}

void ReleaseBuffer(SaverWindow* state) {
    if (state->buffer) {
        SelectObject(state->buffer, state->previousBitmap);
        DeleteDC(state->buffer);
        state->buffer = nullptr;
    }
    if (state->bitmap) {
        DeleteObject(state->bitmap);
        state->bitmap = nullptr;
    }
}

void StartShow(SaverWindow* state, HWND window) {
    if (state->show->DrawNext(state->buffer, state->width, state->height)) {
        SetTimer(window, kSlideTimer, state->show->Settings().seconds * 1000, nullptr);
    } else {
        state->animating = true;
        DrawAnimationFrame(state->buffer, state->width, state->height, 0);
        SetTimer(window, kFrameTimer, kFrameMs, nullptr);
    }
    if (state->mode == SaverMode::kPreview) {
        SetTimer(window, kParentTimer, kParentCheckMs, nullptr);
    }
}

void OnTimer(SaverWindow* state, HWND window, UINT_PTR timer) {
    switch (timer) {
        case kSlideTimer:
            // A picture that no longer draws leaves the last one up.
            state->show->DrawNext(state->buffer, state->width, state->height);
            break;
        case kFrameTimer:
            DrawAnimationFrame(state->buffer, state->width, state->height, ++state->frame);
            break;
        case kParentTimer:
            // The preview's window may go without its children hearing of it first.
            if (!IsWindow(state->parent)) {
                DestroyWindow(window);
            }
            return;
    }
    InvalidateRect(window, nullptr, FALSE);
}

void OnPaint(SaverWindow* state, HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    BitBlt(dc, 0, 0, state->width, state->height, state->buffer, 0, 0, SRCCOPY);
    EndPaint(window, &paint);
}

// Full screen ends as soon as the user is back; true if `message` says so.
bool UserIsBack(SaverWindow* state, UINT message, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            return true;
        case WM_MOUSEMOVE: {
            const int x = short(LOWORD(lParam));
            const int y = short(HIWORD(lParam));
            if (!state->mouseSeen) {
                state->mouseSeen = true;
                state->mouseAt.x = x;
                state->mouseAt.y = y;
                return false;
            }
            return MovedFarEnough(state->mouseAt.x, state->mouseAt.y, x, y);
        }
    }
    return false;
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    SaverWindow* state = reinterpret_cast<SaverWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!state) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (state->mode == SaverMode::kScreen && UserIsBack(state, message, lParam)) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }
    switch (message) {
        case WM_CREATE:
            if (!CreateBuffer(state, window)) {
                return -1;
            }
            StartShow(state, window);
            return 0;
        case WM_TIMER:
            OnTimer(state, window, wParam);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            OnPaint(state, window);
            return 0;
        case WM_SETCURSOR:
            if (state->mode == SaverMode::kScreen) {
                SetCursor(nullptr);
                return TRUE;
            }
            break;
        case WM_SYSCOMMAND:
            // The system asking for a screen saver while ours runs gets none more.
            if ((wParam & 0xFFF0) == SC_SCREENSAVE) {
                return 0;
            }
            break;
        case WM_DESTROY:
            KillTimer(window, kSlideTimer);
            KillTimer(window, kFrameTimer);
            KillTimer(window, kParentTimer);
            ReleaseBuffer(state);
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterSaverClass() {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = SaverWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SAVER));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

// The whole desktop across every monitor; systems before multiple monitors know only one.
RECT VirtualScreen() {
    RECT screen;
    screen.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    screen.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) {
        screen.left = 0;
        screen.top = 0;
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
    }
    screen.right = screen.left + width;
    screen.bottom = screen.top + height;
    return screen;
}

HWND CreateSaverWindow(SaverWindow* state) {
    if (state->mode == SaverMode::kPreview) {
        RECT client;
        if (!GetClientRect(state->parent, &client)) {
            return nullptr;
        }
        return CreateWindowExA(0, kWindowClass, kWindowTitle, WS_CHILD | WS_VISIBLE, 0, 0,
                               client.right, client.bottom, state->parent, nullptr, instance,
                               state);
    }
    const RECT screen = VirtualScreen();
    return CreateWindowExA(WS_EX_TOPMOST, kWindowClass, kWindowTitle, WS_POPUP | WS_VISIBLE,
                           screen.left, screen.top, screen.right - screen.left,
                           screen.bottom - screen.top, nullptr, nullptr, instance, state);
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int RunShow(Slideshow* show, SaverMode mode, HWND parent) {
    SaverWindow state = {};
    state.mode = mode;
    state.parent = parent;
    state.show = show;
    if (!RegisterSaverClass()) {
        return 1;
    }
    HWND window = CreateSaverWindow(&state);
    if (!window) {
        return 1;
    }
    if (mode == SaverMode::kScreen) {
        SetForegroundWindow(window);
        ShowCursor(FALSE);
    }
    const int code = RunMessageLoop();
    if (mode == SaverMode::kScreen) {
        ShowCursor(TRUE);
    }
    return code;
}

int RunFullScreen(Slideshow* show) {
    HANDLE running = CreateMutexA(nullptr, FALSE, kRunningMutex);
    if (running && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(running);
        return 0;
    }
    const int code = RunShow(show, SaverMode::kScreen, nullptr);
    if (running) {
        CloseHandle(running);
    }
    return code;
}

void ShowSummary(HWND dialog, Slideshow* show) {
    char text[256];
    const uint32_t pictures = show->PictureCount();
    if (pictures == 0) {
        LoadStringA(instance, IDS_NO_PICTURES, text, sizeof text);
    } else {
        char format[128];
        char order[64];
        LoadStringA(instance, IDS_SUMMARY, format, sizeof format);
        LoadStringA(instance, show->Settings().random ? IDS_ORDER_RANDOM : IDS_ORDER_SEQUENTIAL,
                    order, sizeof order);
        wsprintfA(text, format, unsigned(pictures), unsigned(show->Settings().seconds), order);
    }
    SetDlgItemTextA(dialog, IDC_SUMMARY, text);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            ShowSummary(dialog, reinterpret_cast<Slideshow*>(lParam));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            break;
    }
    return FALSE;
}

HWND WindowFromArgument(uint64_t handle) {
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
    return handle != 0 && IsWindow(window) ? window : nullptr;
}

int RunSaver(const SaverArgs& args) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        path[0] = '\0';
    }
    Slideshow show;
    if (path[0] != '\0') {
        show.Open(path);
    }
    switch (args.mode) {
        case SaverMode::kScreen:
            return RunFullScreen(&show);
        case SaverMode::kPreview: {
            HWND parent = WindowFromArgument(args.window);
            return parent ? RunShow(&show, SaverMode::kPreview, parent) : 0;
        }
        case SaverMode::kConfigure:
            DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETTINGS),
                            WindowFromArgument(args.window), SettingsDialogProc,
                            reinterpret_cast<LPARAM>(&show));
            return 0;
        case SaverMode::kNone:
            break;
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int) {
    instance = module;
    CoInitialize(nullptr);
    const int code = RunSaver(ParseSaverArgs(SkipProgramName(GetCommandLineA())));
    CoUninitialize();
    return code;
}
