#include "tests/support/pe_bytes.h"

#include "package/package_format.h"

namespace testing_files {

namespace {

const uint32_t kOptionalHeaderStart = 4 + 20;

void EncodeU16(uint16_t value, uint8_t* bytes) {
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
}

// Where the data directories begin, from the optional header's start.
uint32_t DirectoriesAt(uint16_t magic) {
    return magic == kPe32Plus ? 112 : 96;
}

}  // namespace

std::vector<uint8_t> MakePeHead(const PeHeader& header, size_t size) {
    std::vector<uint8_t> head(size);
    head[0] = 'M';
    head[1] = 'Z';
    EncodeU32(header.peOffset, &head[0x3C]);
    uint8_t* pe = &head[header.peOffset];
    pe[0] = 'P';
    pe[1] = 'E';
    EncodeU16(0x8664, pe + 4);  // machine
    EncodeU16(1, pe + 6);       // one section
    const uint32_t directories = DirectoriesAt(header.magic);
    EncodeU16(header.optionalSize ? header.optionalSize : uint16_t(directories + 16 * 8), pe + 20);
    uint8_t* optional = pe + kOptionalHeaderStart;
    EncodeU16(header.magic, optional);
    EncodeU32(header.directoryCount, optional + directories - 4);
    return head;
}

void SetDataDirectory(std::vector<uint8_t>& file, uint32_t index, uint32_t offset, uint32_t size) {
    uint8_t* optional = &file[DecodeU32(&file[0x3C]) + kOptionalHeaderStart];
    const uint16_t magic = uint16_t(optional[0] | optional[1] << 8);
    uint8_t* directory = optional + DirectoriesAt(magic) + index * 8;
    EncodeU32(offset, directory);
    EncodeU32(size, directory + 4);
}

void AppendCertificateTable(std::vector<uint8_t>& file, size_t padding, uint32_t tableSize) {
    file.insert(file.end(), padding, 0);
    const uint32_t tableStart = uint32_t(file.size());
    for (uint32_t i = 0; i < tableSize; ++i) {
        file.push_back(uint8_t(0x80 | (i * 7)));
    }
    SetDataDirectory(file, 4, tableStart, tableSize);
}

}  // namespace testing_files
