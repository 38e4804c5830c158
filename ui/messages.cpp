#include "ui/messages.h"

#include <stdlib.h>
#include <string.h>

#include "platform/platform.h"
#include "resources/resource.h"

namespace {

// Room for any string-table text of the installer, NUL included.
const int kStringSize = 256;
// The system's words for an error code: a sentence or two.
const int kReasonSize = 512;
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
    char reason[kReasonSize] = "";
    if (systemError != 0) {
        platform::DescribeError(systemError, reason, sizeof reason);
    }
    const bool hasReason = reason[0] != '\0';
    const char* parts[] = {failure, "\n\n", targetPath, hasReason ? "\n" : "", reason};
    return JoinTexts(parts, sizeof parts / sizeof parts[0]);
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
