// A picture of a window as it stands on the screen, saved as a PNG file for a person to look at.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

// Pixels copied from the screen, row by row from the top, each 0x00RRGGBB.
struct ScreenPixels {
    int width;
    int height;
    std::vector<uint32_t> pixels;
};

// Copies the screen's rectangle `rect` (screen coordinates); throws ScenarioFailure when the
// screen cannot be read.
ScreenPixels CaptureScreen(const RECT& rect);
// Writes `picture` to `path` as a PNG file; throws ScenarioFailure when it cannot.
void SavePicture(const ScreenPixels& picture, const std::string& path);

// Copies the window's screen rectangle and writes it to `path`; throws ScenarioFailure when the
// screen cannot be read or the file cannot be written.
void SaveWindowPicture(HWND window, const std::string& path);
