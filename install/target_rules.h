// The rules that turn what the user typed into a destination for the screen saver file, and the
// small path functions they rest on.
//
// Texts are byte strings in the ANSI code page. Every search for '.', '\\' or ':' steps over
// double-byte characters, so a trail byte that happens to equal one of them is never matched.
// Which bytes begin a double-byte character is asked of a lead-byte test: the system's code page
// by default, any code page in tests.
#pragma once

#include <stddef.h>

#include "platform/platform.h"

// True if `byte` begins a double-byte character.
typedef bool (*LeadByteTest)(unsigned char byte);

// The characters kept from an edit field (its text is read into a 260-byte buffer).
const size_t kFieldChars = 259;
// Room for a stored file name: the field's characters, an appended ".scr" and the NUL.
const size_t kTargetNameSize = kFieldChars + 4 + 1;

// Copies `source` into `destination` (which may be `source` itself), then gives the last path
// component the extension `extension` (without its dot): replaced if it has one, added if not,
// removed if `extension` is null or empty. Only a '\\' ends a component here, so a dot in a folder
// name is not taken for an extension. Returns false, leaving `destination` unchanged, if the
// result and its NUL would not fit in `capacity` bytes.
bool ChangeExtension(const char* source, const char* extension, char* destination, size_t capacity,
                     LeadByteTest isLead = platform::IsSystemLeadByte);

// The last path component: the text after the last '\\', else after the last ':', else `path`.
const char* FilePart(const char* path, LeadByteTest isLead = platform::IsSystemLeadByte);

// Appends ".scr" to `name` unless it already ends with it, in any case. `name` is a buffer of
// kTargetNameSize bytes; a text longer than kFieldChars is first cut to that length (never inside
// a double-byte character), as the field would have been. Only a ".scr" that begins on a
// character boundary counts: a '.' paired with the lead byte before it is part of that character.
void NormaliseTargetName(char* name, LeadByteTest isLead = platform::IsSystemLeadByte);

enum class NameCheck { kOk, kEmpty, kForbiddenCharacter };

// Checks a normalised name: exactly ".scr" (case-sensitive), or nothing at all, means the user
// gave no name; any of \ / : * ? " < > | is refused.
NameCheck ValidateTargetName(const char* name, LeadByteTest isLead = platform::IsSystemLeadByte);

// The string-table message for a failed check (IDS_NO_FILENAME or IDS_BAD_CHARACTERS), 0 for kOk.
unsigned NameCheckMessage(NameCheck check);

// True if a file can be created in `folder`: creates a uniquely named file there and removes it.
bool IsFolderWritable(const char* folder);

// Composes "folder\\name" into `path`, nothing normalised: a folder that already ends with '\\'
// gives a doubled separator, which the platform accepts. Returns false, leaving `path` unchanged,
// if the result and its NUL would not fit in `capacity` bytes.
bool MakeTargetPath(const char* folder, const char* name, char* path, size_t capacity);
