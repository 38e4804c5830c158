// A picture of a window as it stands on the screen, saved as a PNG file for a person to look at.
#pragma once

#include <windows.h>

#include <string>

// Copies the window's screen rectangle and writes it to `path`; throws ScenarioFailure when the
// screen cannot be read or the file cannot be written.
void SaveWindowPicture(HWND window, const std::string& path);
