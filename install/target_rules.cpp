#include "install/target_rules.h"

#include <string.h>

#include "resources/resource.h"

namespace {

const char kScreenSaverExtension[] = ".scr";
const size_t kScreenSaverExtensionLength = sizeof kScreenSaverExtension - 1;

// In the order the user is told about them (string IDS_BAD_CHARACTERS).
const char kForbiddenCharacters[] = "\\/:*?\"<>|";

// A lead byte at the very end of the text has no trail byte to pair with: the NUL stays the end.
const char* NextChar(const char* p, LeadByteTest isLead) {
    if (isLead(static_cast<unsigned char>(*p)) && p[1] != '\0') {
        return p + 2;
    }
    return p + 1;
}

const char* FindFirst(const char* text, char wanted, LeadByteTest isLead) {
    for (const char* p = text; *p != '\0'; p = NextChar(p, isLead)) {
        if (*p == wanted) {
            return p;
        }
    }
    return nullptr;
}

const char* FindLast(const char* text, char wanted, LeadByteTest isLead) {
    const char* found = nullptr;
    for (const char* p = text; *p != '\0'; p = NextChar(p, isLead)) {
        if (*p == wanted) {
            found = p;
        }
    }
    return found;
}

// Cuts `name` after its first kFieldChars bytes, dropping a lead byte whose trail byte would
// fall beyond them. Reads no further than that, so an unterminated buffer is safe too.
size_t CutToFieldChars(char* name, LeadByteTest isLead) {
    size_t length = 0;
    while (name[length] != '\0') {
        const size_t next = size_t(NextChar(name + length, isLead) - name);
        if (next > kFieldChars) {
            name[length] = '\0';
            break;
        }
        length = next;
    }
    return length;
}

bool IsCharBoundary(const char* text, size_t offset, LeadByteTest isLead) {
    const char* p = text;
    while (p < text + offset) {
        p = NextChar(p, isLead);
    }
    return p == text + offset;
}

// ASCII only: under a double-byte code page a locale-aware fold could change trail bytes.
char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool EndsWithScreenSaverExtension(const char* name, size_t length, LeadByteTest isLead) {
    if (length < kScreenSaverExtensionLength) {
        return false;
    }
    const size_t start = length - kScreenSaverExtensionLength;
    if (!IsCharBoundary(name, start, isLead)) {
        return false;
    }
    for (size_t i = 0; i < kScreenSaverExtensionLength; ++i) {
        if (AsciiLower(name[start + i]) != kScreenSaverExtension[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ChangeExtension(const char* source, const char* extension, char* destination, size_t capacity,
                     LeadByteTest isLead) {
    const char* dot = FindLast(source, '.', isLead);
    const char* separator = FindLast(source, '\\', isLead);
    const bool hasExtension = dot != nullptr && (separator == nullptr || separator < dot);
    const size_t kept = hasExtension ? size_t(dot - source) : strlen(source);
    const size_t extensionLength = extension != nullptr ? strlen(extension) : 0;
    const size_t resultLength = kept + (extensionLength != 0 ? 1 + extensionLength : 0);
    if (resultLength >= capacity) {
        return false;
    }
    if (destination != source) {
        memmove(destination, source, kept);
    }
    char* end = destination + kept;
    if (extensionLength != 0) {
        *end++ = '.';
        memcpy(end, extension, extensionLength);
        end += extensionLength;
    }
    *end = '\0';
    return true;
}

const char* FilePart(const char* path, LeadByteTest isLead) {
    const char* separator = FindLast(path, '\\', isLead);
    if (separator == nullptr) {
        separator = FindLast(path, ':', isLead);
    }
    return separator != nullptr ? separator + 1 : path;
}

void NormaliseTargetName(char* name, LeadByteTest isLead) {
    const size_t length = CutToFieldChars(name, isLead);
    if (!EndsWithScreenSaverExtension(name, length, isLead)) {
        memcpy(name + length, kScreenSaverExtension, sizeof kScreenSaverExtension);
    }
}

NameCheck ValidateTargetName(const char* name, LeadByteTest isLead) {
    // An empty text cannot come out of NormaliseTargetName; it is as empty as ".scr" is.
    if (name == nullptr || name[0] == '\0' || strcmp(name, kScreenSaverExtension) == 0) {
        return NameCheck::kEmpty;
    }
    for (const char* forbidden = kForbiddenCharacters; *forbidden != '\0'; ++forbidden) {
        if (FindFirst(name, *forbidden, isLead) != nullptr) {
            return NameCheck::kForbiddenCharacter;
        }
    }
    return NameCheck::kOk;
}

unsigned NameCheckMessage(NameCheck check) {
    switch (check) {
        case NameCheck::kEmpty:
            return IDS_NO_FILENAME;
        case NameCheck::kForbiddenCharacter:
            return IDS_BAD_CHARACTERS;
        case NameCheck::kOk:
            break;
    }
    return 0;
}

bool IsFolderWritable(const char* folder) {
    char probe[platform::kMaxPath];
    if (folder == nullptr || !platform::CreateUniqueFile(folder, "lum", probe)) {
        return false;
    }
    // The probe has served its purpose once it exists; a probe that cannot be removed does not
    // make the folder any less writable.
    platform::RemoveFile(probe);
    return true;
}

bool MakeTargetPath(const char* folder, const char* name, char* path, size_t capacity) {
    const size_t folderLength = strlen(folder);
    const size_t nameLength = strlen(name);
    if (folderLength + 1 + nameLength >= capacity) {
        return false;
    }
    memcpy(path, folder, folderLength);
    path[folderLength] = '\\';
    memcpy(path + folderLength + 1, name, nameLength + 1);
    return true;
}
