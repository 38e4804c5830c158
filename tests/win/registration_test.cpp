#include "install/registration.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace {

const char kDesktopKey[] = "Control Panel\\Desktop";
const char kScreenSaverValue[] = "SCRNSAVE.EXE";
// Where the system keeps the switch when a program asks it to write the switch to the profile.
const char kProfileSwitchValue[] = "ScreenSaveActive";
const char kMarker[] = "C:\\MARKER.SCR";
// Tells the child test which file to register.
const char kChildTargetVariable[] = "SCR_TEST_REGISTRATION_TARGET";
const char kNineXChildName[] = "scr9xchild.exe";
const DWORD kChildTimeoutMs = 90 * 1000;

bool IsNineXFamily() {
    return (GetVersion() & 0x80000000u) != 0;
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

struct RegistryValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::string data;  // the raw bytes, a REG_SZ's NUL included

    bool operator==(const RegistryValue& other) const {
        return present == other.present && type == other.type && data == other.data;
    }
};

RegistryValue StringValue(const std::string& text) {
    return RegistryValue{true, REG_SZ, text + '\0'};
}

RegistryValue ReadDesktopValue(const char* name) {
    RegistryValue value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.present =
            RegQueryValueExA(key, name, nullptr, &value.type,
                             reinterpret_cast<BYTE*>(&value.data[0]), &size) == ERROR_SUCCESS;
        value.data.resize(size);
    }
    RegCloseKey(key);
    return value;
}

void WriteDesktopValue(const char* name, const RegistryValue& value) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &key, nullptr));
    if (value.present) {
        RegSetValueExA(key, name, 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                       DWORD(value.data.size()));
    } else {
        RegDeleteValueA(key, name);
    }
    RegCloseKey(key);
}

const char kAbsent[] = "<absent>";

std::string ReadSystemIni() {
    char buffer[1024];
    GetPrivateProfileStringA("boot", kScreenSaverValue, kAbsent, buffer, sizeof buffer,
                             "System.ini");
    return buffer;
}

void WriteSystemIni(const std::string& value) {
    WritePrivateProfileStringA("boot", kScreenSaverValue,
                               value == kAbsent ? nullptr : value.c_str(), "System.ini");
}

bool SystemIniHasBootSection() {
    char buffer[4096];
    return GetPrivateProfileSectionA("boot", buffer, sizeof buffer, "System.ini") != 0;
}

bool ScreenSaveActive() {
    BOOL active = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    return active != FALSE;
}

void SetScreenSaveActive(bool active) {
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, active, nullptr, 0);
}

std::string ShortForm(const std::string& path) {
    char buffer[MAX_PATH];
    const DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return length != 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

// Every component after the drive is a name of at most eight characters with an extension of at
// most three, and nothing holds a space.
bool IsEightDotThree(const std::string& path) {
    if (path.find(' ') != std::string::npos) {
        return false;
    }
    size_t start = path.find('\\');
    while (start != std::string::npos) {
        const size_t end = path.find('\\', start + 1);
        const std::string component =
            path.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        const size_t dot = component.find('.');
        const size_t nameLength = dot == std::string::npos ? component.size() : dot;
        const size_t extensionLength = dot == std::string::npos ? 0 : component.size() - dot - 1;
        if (nameLength > 8 || extensionLength > 3) {
            return false;
        }
        start = end;
    }
    return true;
}

// Wine reports the 9x family's version to one program when its per-program settings ask for it.
class WineVersionForProgram {
  public:
    WineVersionForProgram(const std::string& program, const char* version)
        : key_("Software\\Wine\\AppDefaults\\" + program) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                           DWORD(strlen(version) + 1));
            RegCloseKey(key);
        }
    }
    ~WineVersionForProgram() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

  private:
    std::string key_;
};

// Runs `commandLine` and waits for it; the exit code, or STILL_ACTIVE after killing a child
// that did not finish in time (a stray message box, say).
DWORD RunChild(std::string commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start " << commandLine << ": error " << GetLastError();
        return DWORD(-1);
    }
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, kChildTimeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    } else {
        TerminateProcess(process.hProcess, 1);
        ADD_FAILURE() << commandLine << " did not finish in time";
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

std::string OwnPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

// Puts back the current screen saver settings a test changes, and gives it a screen saver file
// with long names and spaces in its path.
class RegistrationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedValue_ = ReadDesktopValue(kScreenSaverValue);
        savedProfileSwitch_ = ReadDesktopValue(kProfileSwitchValue);
        savedIni_ = ReadSystemIni();
        savedBootSection_ = SystemIniHasBootSection();
        savedActive_ = ScreenSaveActive();

        folder_ = testing_files::MakeTempDir();
        const std::string saverFolder = testing_files::Join(folder_, "Screen Saver Folder");
        ASSERT_TRUE(CreateDirectoryA(saverFolder.c_str(), nullptr));
        target_ = testing_files::Join(saverFolder, "My Long Screen Saver Name.scr");
        testing_files::WriteFile(target_, {'M', 'Z'});

        // Markers in both stores, and the switch off, so that every write shows.
        WriteDesktopValue(kScreenSaverValue, StringValue(kMarker));
        WriteSystemIni(kMarker);
        SetScreenSaveActive(false);
        ASSERT_FALSE(ScreenSaveActive());
        // Switched off in the profile too: switching on must be written there, or the switch
        // is off again at the next logon.
        WriteDesktopValue(kProfileSwitchValue, StringValue("0"));
    }

    void TearDown() override {
        WriteDesktopValue(kScreenSaverValue, savedValue_);
        WriteDesktopValue(kProfileSwitchValue, savedProfileSwitch_);
        WriteSystemIni(savedIni_);
        if (!savedBootSection_) {
            WritePrivateProfileStringA("boot", nullptr, nullptr, "System.ini");
        }
        SetScreenSaveActive(savedActive_);
        testing_files::RemoveTree(folder_);
    }

    std::string folder_;
    std::string target_;

  private:
    RegistryValue savedValue_;
    RegistryValue savedProfileSwitch_;
    std::string savedIni_;
    bool savedBootSection_ = false;
    bool savedActive_ = false;
};

TEST_F(RegistrationTest, NtFamilyStoresTheShortFormInTheUserRegistry) {
    ASSERT_FALSE(IsNineXFamily());
    const std::string shortForm = ShortForm(target_);
    ASSERT_NE("", shortForm);
    ASSERT_TRUE(IsEightDotThree(shortForm)) << shortForm;

    EXPECT_TRUE(SetDefaultScreenSaver(target_.c_str()));

    const RegistryValue stored = ReadDesktopValue(kScreenSaverValue);
    ASSERT_TRUE(stored.present);
    EXPECT_EQ(DWORD(REG_SZ), stored.type);
    // The data counts the terminating NUL.
    EXPECT_EQ(shortForm.size() + 1, stored.data.size());
    EXPECT_EQ(shortForm + '\0', stored.data);
    EXPECT_EQ(kMarker, ReadSystemIni());
    EXPECT_TRUE(ScreenSaveActive());
    EXPECT_EQ(StringValue("1"), ReadDesktopValue(kProfileSwitchValue));
}

TEST_F(RegistrationTest, MissingTargetStoresNothingButSwitchesScreenSavingOn) {
    const std::string missing = testing_files::Join(folder_, "Not There.scr");

    EXPECT_TRUE(SetDefaultScreenSaver(missing.c_str()));

    EXPECT_EQ(StringValue(kMarker), ReadDesktopValue(kScreenSaverValue));
    EXPECT_EQ(kMarker, ReadSystemIni());
    EXPECT_TRUE(ScreenSaveActive());
    EXPECT_EQ(StringValue("1"), ReadDesktopValue(kProfileSwitchValue));
}

TEST_F(RegistrationTest, NineXFamilyStoresTheShortFormInSystemIni) {
    if (!RunningUnderWine()) {
        GTEST_SKIP() << "the 9x family is imitated with Wine's per-program version setting";
    }
    const std::string shortForm = ShortForm(target_);
    ASSERT_TRUE(IsEightDotThree(shortForm)) << shortForm;
    const std::string child = testing_files::Join(folder_, kNineXChildName);
    ASSERT_TRUE(CopyFileA(OwnPath().c_str(), child.c_str(), TRUE));
    WineVersionForProgram nineX(kNineXChildName, "win98");
    ASSERT_TRUE(SetEnvironmentVariableA(kChildTargetVariable, target_.c_str()));

    const DWORD exitCode = RunChild("\"" + child +
                                    "\" --gtest_brief=1 --gtest_also_run_disabled_tests"
                                    " --gtest_filter=NineXChild.DISABLED_RegistersTheTarget");
    SetEnvironmentVariableA(kChildTargetVariable, nullptr);

    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(shortForm, ReadSystemIni());
    EXPECT_EQ(StringValue(kMarker), ReadDesktopValue(kScreenSaverValue));
    // The switch is a user setting on the 9x family too; the test reads it where Wine keeps it.
    EXPECT_EQ(StringValue("1"), ReadDesktopValue(kProfileSwitchValue));
}

// Runs only in the child that the test above starts, as a program Wine takes for a 9x one.
TEST(NineXChild, DISABLED_RegistersTheTarget) {
    ASSERT_TRUE(IsNineXFamily()) << std::hex << GetVersion();
    const char* target = getenv(kChildTargetVariable);
    ASSERT_NE(nullptr, target);
    // The switch is checked by the parent, in the profile: Wine's read-back in this process
    // can still show the value the parent set before it started the child.
    EXPECT_TRUE(SetDefaultScreenSaver(target));
}

}  // namespace
