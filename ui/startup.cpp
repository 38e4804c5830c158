// The installer's own process entry, in place of the C runtime's start-up code: the installer
// has no static constructors, no command line and no thread-local data to set up, and the
// runtime's start-up would add a sixth of the host's size for none of them.
#include <windows.h>

int WINAPI WinMain(HINSTANCE module, HINSTANCE previousInstance, LPSTR commandLine, int show);

// The system calls the entry with a stack aligned only to 4 bytes on 32-bit Windows.
extern "C" __attribute__((force_align_arg_pointer)) void ProgramEntry() {
    ExitProcess(
        UINT(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWDEFAULT)));
}
