#include "package/package_writer.h"

#include "package/package_format.h"

namespace {

uint32_t StoredNameLength(const std::string& name) {
    return name.empty() ? 0 : uint32_t(name.size() + 1);
}

void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[4];
    EncodeU32(value, bytes);
    out.insert(out.end(), bytes, bytes + 4);
}

}  // namespace

LayoutError LayOutPackage(uint64_t hostSize, std::vector<EntryLayout>& entries,
                          uint64_t* fileSize) {
    uint64_t position = hostSize;
    uint64_t indexSize = 4;
    for (EntryLayout& entry : entries) {
        if (entry.name.size() + 1 >= kNameLengthLimit) {
            return LayoutError::kNameTooLong;
        }
        if (position > kMaxFileSize) {
            return LayoutError::kTooLarge;
        }
        entry.offset = uint32_t(position);
        position += entry.size;
        indexSize += kMinRecordSize + StoredNameLength(entry.name);
    }
    uint64_t total = position + indexSize + kTrailerSize;
    if (total > kMaxFileSize) {
        return LayoutError::kTooLarge;
    }
    *fileSize = total;
    return LayoutError::kNone;
}

std::vector<uint8_t> EncodeIndexAndTrailer(const std::vector<EntryLayout>& entries,
                                           uint32_t indexOffset) {
    std::vector<uint8_t> out;
    AppendU32(out, uint32_t(entries.size()));
    for (const EntryLayout& entry : entries) {
        uint32_t nameLength = StoredNameLength(entry.name);
        AppendU32(out, nameLength);
        if (nameLength > 0) {
            out.insert(out.end(), entry.name.begin(), entry.name.end());
            out.push_back(0);
        }
        AppendU32(out, entry.offset);
        AppendU32(out, entry.size);
    }
    AppendU32(out, indexOffset);
    out.insert(out.end(), PACKAGE_MAGIC, PACKAGE_MAGIC + kMagicSize);
    return out;
}
