#include "install/registration.h"

#include <string.h>
#include <windows.h>

#include "platform/platform.h"

namespace {

class RegistryKey {
  public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }

    bool CreateOrOpen(HKEY parent, const char* subKey) {
        return RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_READ | KEY_WRITE, nullptr, &key_, nullptr) == ERROR_SUCCESS;
    }
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

const char kScreenSaverKey[] = "SCRNSAVE.EXE";

// The 9x family sets the top bit of the version word; the NT family never does.
bool IsWindows9xFamily() {
    return (GetVersion() & 0x80000000u) != 0;
}

// GetShortPathNameA answers the size it needs, not the path, when the path does not fit: that
// is as unusable as no answer at all.
bool GetShortForm(const char* path, char* shortPath, DWORD capacity) {
    const DWORD length = GetShortPathNameA(path, shortPath, capacity);
    return length != 0 && length < capacity;
}

void StoreInSystemIni(const char* shortPath) {
    if (shortPath[0] != '\0') {
        WritePrivateProfileStringA("boot", kScreenSaverKey, shortPath, "System.ini");
    }
}

void StoreInUserRegistry(const char* shortPath) {
    RegistryKey desktop;
    if (!desktop.CreateOrOpen(HKEY_CURRENT_USER, "Control Panel\\Desktop")) {
        return;
    }
    // The data size counts the terminating NUL, as REG_SZ readers expect.
    RegSetValueExA(desktop.get(), kScreenSaverKey, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(shortPath), DWORD(strlen(shortPath) + 1));
}

}  // namespace

bool SetDefaultScreenSaver(const char* targetPath) {
    char shortPath[platform::kMaxPath] = {};
    if (GetShortForm(targetPath, shortPath, sizeof shortPath)) {
        if (IsWindows9xFamily()) {
            StoreInSystemIni(shortPath);
        } else {
            StoreInUserRegistry(shortPath);
        }
    }
    // Written to the user's profile as well, or the switch is off again at the next logon and
    // the choice of a default screen saver is lost; running programs hear of it too.
    return SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr,
                                 SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE) != FALSE;
}
