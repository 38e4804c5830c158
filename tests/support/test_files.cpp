#include "tests/support/test_files.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "package/package_writer.h"

namespace fs = std::filesystem;

namespace testing_files {

std::string MakeTempDir() {
    static unsigned counter = 0;
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate =
            base / ("scrtest-" + std::to_string(rand()) + "-" + std::to_string(++counter));
        if (fs::create_directory(candidate)) {
            return candidate.string();
        }
    }
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::string Join(const std::string& folder, const std::string& name) {
    return (fs::path(folder) / name).string();
}

void SetReadOnly(const std::string& path, bool readOnly) {
    namespace fs = std::filesystem;
    const fs::perms write =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(path, write, readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = uint8_t(state >> 16);
    }
    return bytes;
}

std::string NameOf(const std::string& label) {
    std::string name;
    bool upper = true;
    for (char c : label) {
        if (isalnum(static_cast<unsigned char>(c))) {
            name += upper ? char(toupper(static_cast<unsigned char>(c))) : c;
            upper = false;
        } else {
            upper = true;
        }
    }
    return name;
}

std::vector<uint8_t> BuildPackagedFile(
    const std::vector<uint8_t>& host,
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
    std::vector<EntryLayout> layout;
    for (const auto& entry : entries) {
        layout.push_back(EntryLayout{entry.first, uint32_t(entry.second.size()), 0});
    }
    uint64_t fileSize = 0;
    if (LayOutPackage(host.size(), layout, &fileSize) != LayoutError::kNone) {
        throw std::runtime_error("package does not fit the format");
    }
    std::vector<uint8_t> file = host;
    for (const auto& entry : entries) {
        file.insert(file.end(), entry.second.begin(), entry.second.end());
    }
    std::vector<uint8_t> tail = EncodeIndexAndTrailer(layout, uint32_t(file.size()));
    file.insert(file.end(), tail.begin(), tail.end());
    return file;
}

}  // namespace testing_files
