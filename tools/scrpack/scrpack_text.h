// The packer's handling of names: the base name of an input file, and an entry's name as it may
// be shown.
#pragma once

#include <string>

#include "package/package_reader.h"

// True if `byte` begins a double-byte character of the code page in use.
typedef bool (*LeadByteTest)(unsigned char byte);

// The part of `path` after its last '/', '\\' or ':'. Under a double-byte code page a trail byte
// equal to '\\' (as in many Japanese names) is part of its character, not a separator.
std::string BaseName(const std::string& path, LeadByteTest isLead = platform::IsSystemLeadByte);

// An entry's name for printing: the stored bytes up to the first NUL, never more than the stored
// length (a damaged record may lack the NUL), with control characters shown as '?' so that a
// name cannot break a listing or drive the terminal.
std::string PrintableName(const PackageEntry& entry);
