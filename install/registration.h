// Makes a screen saver file the user's current screen saver.
#pragma once

// Stores the short (8.3) form of `targetPath` as the current screen saver: in "System.ini",
// section "boot", on the 9x family; as the REG_SZ value "SCRNSAVE.EXE" under
// HKEY_CURRENT_USER\Control Panel\Desktop on the NT family. A target without a short form (it
// does not exist, or the form would not fit a path buffer) stores nothing, and a store that
// cannot be written is passed over silently. Then switches screen saving on, whatever was
// stored. Returns false only if switching on failed; telling the user is the caller's part.
bool SetDefaultScreenSaver(const char* targetPath);
