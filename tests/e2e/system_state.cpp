#include "tests/e2e/system_state.h"

// After windows.h, which it builds on.
#include <shlobj.h>

const char kQueryScreenSaverActive[] = "--query-screensaver-active";

namespace {

const char kDesktopKey[] = "Control Panel\\Desktop";
const char kScreenSaverValue[] = "SCRNSAVE.EXE";

}  // namespace

int QueryScreenSaverActive() {
    BOOL active = FALSE;
    if (!SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0)) {
        return 2;
    }
    return active ? 1 : 0;
}

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, sizeof folder);
    return folder;
}

std::string DesktopFolder() {
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

DWORD RunProgram(const std::string& program, const std::string& arguments, DWORD timeoutMs) {
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        throw ScenarioFailure("cannot start " + commandLine);
    }
    const bool finished = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (!finished) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!finished) {
        throw ScenarioFailure(commandLine + " did not finish within " +
                              std::to_string(timeoutMs / 1000) + " s");
    }
    return code;
}

RemoveAtExit::RemoveAtExit(std::string path) : path_(std::move(path)) {
    DeleteFileA(path_.c_str());
}

RemoveAtExit::~RemoveAtExit() {
    DeleteFileA(path_.c_str());
}

WineDrawsFrames::WineDrawsFrames(const std::string& programName)
    : key_("Software\\Wine\\AppDefaults\\" + programName) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, (key_ + "\\X11 Driver").c_str(), 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(key);
    }
}

WineDrawsFrames::~WineDrawsFrames() {
    RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
}

RegistryString ReadScreenSaverSetting() {
    RegistryString setting;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return setting;
    }
    DWORD size = 0;
    if (RegQueryValueExA(key, kScreenSaverValue, nullptr, &setting.type, nullptr, &size) ==
        ERROR_SUCCESS) {
        setting.data.resize(size);
        setting.present = RegQueryValueExA(key, kScreenSaverValue, nullptr, &setting.type,
                                           setting.data.data(), &size) == ERROR_SUCCESS;
        setting.data.resize(size);
    }
    RegCloseKey(key);
    return setting;
}

bool WriteScreenSaverSetting(const RegistryString& setting) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG result = ERROR_SUCCESS;
    if (setting.present) {
        result = RegSetValueExA(key, kScreenSaverValue, 0, setting.type, setting.data.data(),
                                DWORD(setting.data.size()));
    } else {
        result = RegDeleteValueA(key, kScreenSaverValue);
        if (result == ERROR_FILE_NOT_FOUND) {
            result = ERROR_SUCCESS;
        }
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

RegistryString StringSetting(const std::string& text) {
    RegistryString setting;
    setting.present = true;
    setting.type = REG_SZ;
    setting.data.assign(text.begin(), text.end());
    setting.data.push_back(0);
    return setting;
}

std::string Describe(const RegistryString& setting) {
    if (!setting.present) {
        return "no value";
    }
    std::string text;
    for (uint8_t byte : setting.data) {
        text += byte ? std::string(1, char(byte)) : std::string("\\0");
    }
    return (setting.type == REG_SZ ? "REG_SZ" : "type " + std::to_string(setting.type)) + " \"" +
           text + "\"";
}

bool ScreenSavingActive(DWORD timeoutMs) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const DWORD code = RunProgram(self, kQueryScreenSaverActive, timeoutMs);
    if (code > 1) {
        throw ScenarioFailure("the screen saving switch cannot be read");
    }
    return code == 1;
}

void SwitchScreenSaving(bool on) {
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, on, nullptr,
                          SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE);
}

RestoreScreenSaverSettings::RestoreScreenSaverSettings(DWORD timeoutMs)
    : setting_(ReadScreenSaverSetting()), active_(ScreenSavingActive(timeoutMs)) {}

RestoreScreenSaverSettings::~RestoreScreenSaverSettings() {
    WriteScreenSaverSetting(setting_);
    SwitchScreenSaving(active_);
}
