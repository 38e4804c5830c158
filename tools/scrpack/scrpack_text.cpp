#include "tools/scrpack/scrpack_text.h"

std::string BaseName(const std::string& path, LeadByteTest isLead) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (isLead(c) && i + 1 < path.size()) {
            ++i;  // the trail byte belongs to this character
        } else if (c == '/' || c == '\\' || c == ':') {
            start = i + 1;
        }
    }
    return path.substr(start);
}

std::string PrintableName(const PackageEntry& entry) {
    std::string name;
    for (uint32_t i = 0; entry.name && i < entry.nameLength && entry.name[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(entry.name[i]);
        name += c < 0x20 || c == 0x7F ? '?' : char(c);
    }
    return name;
}
