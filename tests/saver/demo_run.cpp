// The headless half of `make run`: installs the demo screen saver as a person would, with the
// real installer's dialog (Make Default ticked, OK), then starts the installed screen saver
// the way the system does and ends it with a key. It prints the installed path and the stored
// setting, and leaves two screenshots: the dialog and the running screen saver.
//
//   demo_run --setup SETUP.EXE --shots FOLDER [--timeout SECONDS]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "tests/e2e/e2e_files.h"
#include "tests/e2e/installer_run.h"
#include "tests/e2e/window_png.h"
#include "tests/saver/saver_process.h"

namespace {

const DWORD kSteadyMs = 1500;

// Under emulation a window can take seconds to paint: the picture is taken once two looks
// apart agree, or when the time is up.
ScreenPixels SteadyPicture(const RECT& rect, DWORD timeoutMs) {
    ScreenPixels last = CaptureScreen(rect);
    const DWORD start = GetTickCount();
    for (;;) {
        Pump(kSteadyMs);
        ScreenPixels now = CaptureScreen(rect);
        if (now.pixels == last.pixels || GetTickCount() - start >= timeoutMs) {
            return now;
        }
        last = now;
    }
}

std::string CurrentScreenSaver() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return "";
    }
    char value[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, "SCRNSAVE.EXE", nullptr, &type,
                                         reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::string(value) : "";
}

// Returns the path the installer wrote.
std::string Install(const std::string& setup, const std::string& shots, DWORD timeoutMs) {
    InstallerRun installer(setup, timeoutMs);
    const std::string folder = installer.FieldText(kPathField);
    const std::string name = installer.FieldText(kNameField);
    const std::string target = JoinPath(folder, name);
    // A screen saver left by an earlier run would bring up the question whether to replace it.
    DeleteFileIfPresent(target);
    installer.SetChecked(kMakeDefaultBox, true);
    RECT dialogRect;
    GetWindowRect(installer.dialog(), &dialogRect);
    SavePicture(SteadyPicture(dialogRect, timeoutMs), JoinPath(shots, "dialog.png"));
    installer.Press(IDOK);
    installer.ExpectExitCodeZero();
    if (!FileExists(target)) {
        throw ScenarioFailure("the installer ended, but '" + target + "' is not there");
    }
    return target;
}

void RunSaver(const std::string& saver, const std::string& shots, DWORD timeoutMs) {
    SaverProcess process(saver, "/s", timeoutMs);
    // Any screen saver may be installed (make run PAYLOAD=...), so any window of it will do.
    HWND window = process.WaitForWindow(nullptr);
    // The first picture stays five seconds, longer than two steady looks take.
    SavePicture(SteadyPicture(VirtualScreen(), timeoutMs), JoinPath(shots, "saver.png"));
    process.ExpectRunning("its first picture", window);
    PressKey(window);
    process.ExpectExitCodeZero("a key");
}

int Usage() {
    fprintf(stderr, "usage: demo_run --setup SETUP.EXE --shots FOLDER [--timeout SECONDS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string setup;
    std::string shots;
    DWORD timeoutMs = 600000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--setup") {
            setup = ToWindowsPath(argv[i + 1]);
        } else if (option == "--shots") {
            shots = ToWindowsPath(argv[i + 1]);
        } else if (option == "--timeout") {
            timeoutMs = DWORD(atoi(argv[i + 1])) * 1000;
        } else {
            return Usage();
        }
    }
    if (argc % 2 == 0 || setup.empty() || shots.empty() || timeoutMs == 0) {
        return Usage();
    }
    try {
        MakeFolders(shots);
        const std::string installed = Install(setup, shots, timeoutMs);
        const std::string setting = CurrentScreenSaver();
        printf("installed screen saver: %s\n", installed.c_str());
        printf("current screen saver (HKCU\\Control Panel\\Desktop SCRNSAVE.EXE): %s\n",
               setting.c_str());
        fflush(stdout);
        if (setting.empty()) {
            throw ScenarioFailure("no current screen saver is set");
        }
        RunSaver(setting, shots, timeoutMs);
    } catch (const std::exception& failure) {
        printf("FAILED: %s\n", failure.what());
        return 1;
    }
    return 0;
}
