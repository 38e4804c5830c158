// The installer's message boxes. Every text comes from the string table, so a missing string
// shows as an empty text or caption rather than as garbage.
#pragma once

#include <windows.h>

// A message box with string-table text (at most 255 characters) and caption (at most 79).
// `owner` may be null; `type` selects buttons and icon (MB_OK for every message of the installer).
void ShowMessage(HINSTANCE instance, HWND owner, UINT textId, UINT captionId, UINT type);

// A message box with the given text and a string-table caption (at most 255 characters). Returns
// the button pressed, or 0 when the box cannot be shown.
int ShowPrompt(HINSTANCE instance, HWND owner, const char* text, UINT captionId, UINT type);

// "<targetPath> already exists.\n Do you want to replace it?" with the caption "File Exists" and
// Yes/No buttons. Returns IDYES or IDNO; when the text cannot be composed or the box cannot be
// shown it returns IDNO, so that a file is never replaced without the user's consent.
int AskOverwrite(HINSTANCE instance, HWND owner, const char* targetPath);

// The screen saver file could not be written: IDS_WRITE_FAILED, a blank line, the target path and,
// on the next line, the system's reason for `systemError` (left out when the system has none),
// caption IDS_CREATE_ERROR, OK button. Paths of any length are shown whole.
void ShowWriteFailure(HINSTANCE instance, HWND owner, const char* targetPath,
                      unsigned long systemError);

// The texts of the two boxes above, composed on the heap because a path has no fixed limit.
// The caller frees the result with free(); null if no memory is left.
char* ComposeOverwriteText(HINSTANCE instance, const char* targetPath);
char* ComposeWriteFailureText(HINSTANCE instance, const char* targetPath,
                              unsigned long systemError);
