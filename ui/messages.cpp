#include "ui/messages.h"

#include <stdlib.h>
#include <string.h>

#include "resources/resource.h"

namespace {

// Room for any string-table text of the installer, NUL included.
const int kStringSize = 256;
const int kCaptionSize = 80;

// LoadStringA leaves the buffer alone when the string is missing: it must start out empty.
void LoadText(HINSTANCE instance, UINT id, char* buffer, int size) {
    buffer[0] = '\0';
    LoadStringA(instance, id, buffer, size);
}

char* JoinTexts(const char* const* parts, size_t count) {
    size_t length = 0;
    for (size_t i = 0; i < count; ++i) {
        length += strlen(parts[i]);
    }
    char* text = static_cast<char*>(malloc(length + 1));
    if (text == nullptr) {
        return nullptr;
    }
    char* end = text;
    for (size_t i = 0; i < count; ++i) {
        const size_t partLength = strlen(parts[i]);
        memcpy(end, parts[i], partLength);
        end += partLength;
    }
    *end = '\0';
    return text;
}

// The system's own words for an error code, without the line break it ends them with. Null when
// it has none; otherwise the caller releases the text with LocalFree.
char* SystemReason(unsigned long systemError) {
    if (systemError == 0) {
        return nullptr;
    }
    char* reason = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD length = FormatMessageA(flags, nullptr, systemError, 0, reinterpret_cast<char*>(&reason),
                                  0, nullptr);
    if (length == 0 || reason == nullptr) {
        return nullptr;
    }
    while (length > 0 && (reason[length - 1] == '\r' || reason[length - 1] == '\n' ||
                          reason[length - 1] == ' ')) {
        reason[--length] = '\0';
    }
    return reason;
}

}  // namespace

void ShowMessage(HINSTANCE instance, HWND owner, UINT textId, UINT captionId, UINT type) {
    char text[kStringSize];
    char caption[kCaptionSize];
    LoadText(instance, textId, text, sizeof text);
    LoadText(instance, captionId, caption, sizeof caption);
    MessageBoxA(owner, text, caption, type);
}

int ShowPrompt(HINSTANCE instance, HWND owner, const char* text, UINT captionId, UINT type) {
    char caption[kStringSize];
    LoadText(instance, captionId, caption, sizeof caption);
    return MessageBoxA(owner, text, caption, type);
}

char* ComposeOverwriteText(HINSTANCE instance, const char* targetPath) {
    char question[kStringSize];
    LoadText(instance, IDS_ALREADY_EXISTS, question, sizeof question);
    const char* parts[] = {targetPath, question};
    return JoinTexts(parts, sizeof parts / sizeof parts[0]);
}

int AskOverwrite(HINSTANCE instance, HWND owner, const char* targetPath) {
    char* text = ComposeOverwriteText(instance, targetPath);
    if (text == nullptr) {
        return IDNO;
    }
    const int answer = ShowPrompt(instance, owner, text, IDS_FILE_EXISTS, MB_YESNO);
    free(text);
    return answer == IDYES ? IDYES : IDNO;
}

char* ComposeWriteFailureText(HINSTANCE instance, const char* targetPath,
                              unsigned long systemError) {
    char failure[kStringSize];
    LoadText(instance, IDS_WRITE_FAILED, failure, sizeof failure);
    char* reason = SystemReason(systemError);
    const char* parts[] = {failure, "\n\n", targetPath, reason != nullptr ? "\n" : "",
                           reason != nullptr ? reason : ""};
    char* text = JoinTexts(parts, sizeof parts / sizeof parts[0]);
    if (reason != nullptr) {
        LocalFree(reason);
    }
    return text;
}

void ShowWriteFailure(HINSTANCE instance, HWND owner, const char* targetPath,
                      unsigned long systemError) {
    char* text = ComposeWriteFailureText(instance, targetPath, systemError);
    if (text == nullptr) {
        // Out of memory: the fixed text alone still tells the user that nothing was written.
        ShowMessage(instance, owner, IDS_WRITE_FAILED, IDS_CREATE_ERROR, MB_OK);
        return;
    }
    ShowPrompt(instance, owner, text, IDS_CREATE_ERROR, MB_OK);
    free(text);
}
