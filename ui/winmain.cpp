// The process entry and the hidden main window. The main window is never shown: it owns the setup
// dialog, which runs while the window is being created, and its destruction ends the message loop
// and with it the program.
#include <windows.h>

#include "resources/resource.h"
#include "ui/setup_dialog.h"

HINSTANCE instance;

namespace {

const char kMainWindowClass[] = "ScreenSaverSetupClass";
const char kMainWindowTitle[] = "SCR_Setup";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETUP), window, SetupDialogProc, 0);
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterMainWindowClass(HINSTANCE module) {
    WNDCLASSA windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIconA(module, MAKEINTRESOURCEA(IDI_APP));
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

// Runs the message loop until the quit message; its parameter is the exit code.
int RunMessageLoop() {
    MSG message;
    BOOL received;
    while ((received = GetMessageA(&message, NULL, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return received == 0 ? static_cast<int>(message.wParam) : 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE module, HINSTANCE previousInstance, LPSTR, int) {
    if (previousInstance == NULL && !RegisterMainWindowClass(module)) {
        return 0;
    }
    instance = module;
    // The whole setup runs inside this call: the window's creation runs the dialog, and when the
    // dialog has destroyed the window, no window comes back.
    HWND window = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0,
                                  CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, module, NULL);
    if (window == NULL) {
        return 0;
    }
    ShowWindow(window, SW_HIDE);
    return RunMessageLoop();
}
