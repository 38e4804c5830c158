// The command line Windows gives a screen saver, read without touching the system, so that every
// spelling can be checked in native tests.
//
//   /s            full screen             /c, /c:HWND, /c HWND   settings dialog (owner HWND)
//   /p HWND       preview inside HWND     /a                     password change: ignored
//   (nothing)     settings dialog
//
// '-' works as well as '/', letters in any case, and a handle (decimal) follows a ':' or spaces.
#pragma once

#include <stdint.h>

enum class SaverMode {
    kConfigure,  // the settings dialog
    kScreen,     // full screen until the user comes back
    kPreview,    // drawn into the window `window`
    kNone,       // nothing to do: a password change, or a preview without a window
};

struct SaverArgs {
    SaverMode mode;
    uint64_t window;  // the /p or /c handle; 0 when none was given
};

// The arguments of a whole command line: the program name (quoted or not) is skipped.
const char* SkipProgramName(const char* commandLine);

// The mode and handle that `arguments` (the command line without the program name) ask for.
// Anything it cannot read is taken as a request for the settings dialog, which harms nothing.
SaverArgs ParseSaverArgs(const char* arguments);

// In full screen, the first mouse message only records where the cursor is; a later one ends the
// saver only once the cursor has moved this far, so a jittering mouse does not.
const int kMouseSlack = 4;
bool MovedFarEnough(int fromX, int fromY, int toX, int toY);
