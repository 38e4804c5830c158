// The installer's own process entry, in place of the C runtime's start-up code: the installer
// has no static constructors, no command line and no thread-local data to set up, and the
// runtime's start-up would add a sixth of the host's size for none of them.
#include <windows.h>

int WINAPI WinMain(HINSTANCE module, HINSTANCE previousInstance, LPSTR commandLine, int show);

namespace {

// Libraries that dialogs, themes and the folder browser load by bare name at run time, then
// the ones the installer itself takes its dialogs from: once loaded by full path, a library
// is found by its name and nothing is searched for.
const char* const kPreloaded[] = {"uxtheme", "userenv",   "setupapi", "apphelp",  "propsys",
                                  "dwmapi",  "cryptbase", "oleacc",   "clbcatq",  "ntmarta",
                                  "version", "profapi",   "comctl32", "comdlg32", "shell32"};

void PreloadSystemLibraries() {
    // Room for the folder, a separator, the longest name, ".dll" and the NUL.
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + sizeof "\\cryptbase.dll" > MAX_PATH) {
        return;
    }
    path[length] = '\\';
    // A library the system lacks must not bring up a box about it.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (const char* name : kPreloaded) {
        lstrcpyA(path + length + 1, name);
        lstrcatA(path, ".dll");
        LoadLibraryA(path);
    }
    SetErrorMode(oldMode);
}

// An installer runs from a download folder, where anyone may have left a DLL named like a
// system one: keep the library search to the system folder. Vista has the call only with an
// update, and some of its shell objects then fail to load, so there, and where the call is
// missing, the current folder is dropped from the search where the system allows it. Either
// way the usual victims are then loaded by full path before anything asks for them by name:
// not every loader applies the restriction to libraries that system libraries load later.
void RestrictLibrarySearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesCall)(DWORD);
    typedef BOOL(WINAPI * SetDllDirectoryCall)(LPCSTR);
    const DWORD version = GetVersion();
    const bool laterThanVista =
        (version & 0x80000000u) == 0 && MAKEWORD(HIBYTE(version), LOBYTE(version)) > 0x0600;
    // Through void*: a direct cast between unrelated function pointer types draws a warning.
    SetDefaultDllDirectoriesCall setDefault = reinterpret_cast<SetDefaultDllDirectoriesCall>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (!laterThanVista || setDefault == NULL || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryCall setDirectory = reinterpret_cast<SetDllDirectoryCall>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
        if (setDirectory != NULL) {
            setDirectory("");
        }
    }
    PreloadSystemLibraries();
}

}  // namespace

// The system calls the entry with a stack aligned only to 4 bytes on 32-bit Windows.
extern "C" __attribute__((force_align_arg_pointer)) void ProgramEntry() {
    RestrictLibrarySearch();
    ExitProcess(
        UINT(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWDEFAULT)));
}
