#include "tests/saver/saver_process.h"

#include <stdio.h>

#include "tests/e2e/e2e_files.h"

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

RECT VirtualScreen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

void PressKey(HWND window) {
    SetForegroundWindow(window);
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_SPACE;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

SaverProcess::SaverProcess(const std::string& path, const std::string& arguments, DWORD timeoutMs)
    : timeoutMs_(timeoutMs) {
    std::string commandLine = "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
        throw ScenarioFailure("cannot start '" + commandLine + "': error " +
                              std::to_string(GetLastError()));
    }
    printf("    started %s\n", commandLine.c_str());
    fflush(stdout);
}

SaverProcess::~SaverProcess() {
    if (Running()) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool SaverProcess::Running() const {
    return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD SaverProcess::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

HWND SaverProcess::WaitForWindow(const char* className) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs_) {
        if (HWND window = TopWindow(className)) {
            return window;
        }
        if (!Running()) {
            throw ScenarioFailure("the screen saver exited with code " +
                                  std::to_string(ExitCode()) + " without showing a window");
        }
        Pump(kPollMs);
    }
    throw ScenarioFailure(std::string("no window of class ") + (className ? className : "any") +
                          " within " + std::to_string(timeoutMs_ / 1000) + " s");
}

namespace {

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM context) {
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner == search.processId && IsWindowVisible(window) &&
        (!search.className || lstrcmpA(name, search.className) == 0)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND SaverProcess::TopWindow(const char* className) {
    WindowSearch search = {process_.dwProcessId, className, nullptr};
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void SaverProcess::ExpectExitCodeZero(const std::string& after) {
    const DWORD start = GetTickCount();
    while (Running()) {
        if (GetTickCount() - start >= timeoutMs_) {
            throw ScenarioFailure("the screen saver did not end within " +
                                  std::to_string(timeoutMs_ / 1000) + " s after " + after);
        }
        Pump(kPollMs);
    }
    if (ExitCode() != 0) {
        throw ScenarioFailure("the screen saver exited with code " + std::to_string(ExitCode()) +
                              " after " + after);
    }
    printf("    ended with code 0 after %s\n", after.c_str());
    fflush(stdout);
}

void SaverProcess::ExpectRunning(const std::string& after, HWND window) {
    if (!Running() || (window && !IsWindow(window))) {
        throw ScenarioFailure("the screen saver ended (code " + std::to_string(ExitCode()) +
                              ") after " + after + ", but should still run");
    }
}
