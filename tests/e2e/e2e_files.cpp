#include "tests/e2e/e2e_files.h"

#include <windows.h>

#include <algorithm>

namespace {

const uint8_t kMagic[8] = {0x27, 0x3D, 0x26, 0x29, 0x31, 0x25, 0x3C, 0x36};

void AppendU32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(uint8_t(value >> shift));
    }
}

std::string SystemReason(DWORD code) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    std::string reason = text;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    return "error " + std::to_string(code) + (reason.empty() ? "" : " (" + reason + ")");
}

[[noreturn]] void FailWithSystemError(const std::string& action, const std::string& path) {
    throw ScenarioFailure(action + " '" + path + "' failed: " + SystemReason(GetLastError()));
}

std::string Hex(uint8_t byte) {
    const char digits[] = "0123456789ABCDEF";
    return std::string{digits[byte >> 4], digits[byte & 15]};
}

}  // namespace

Bytes PseudoRandomBytes(size_t size, uint32_t seed) {
    Bytes bytes(size);
    uint32_t state = seed ? seed : 1;
    for (uint8_t& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = uint8_t(state >> 11);
    }
    return bytes;
}

void WritePackedInstaller(const std::string& hostPath, const std::string& outPath,
                          const std::vector<PackedEntry>& entries) {
    Bytes file = ReadWholeFile(hostPath);
    // Executables are padded to their file alignment, so an odd length is always padding
    // chosen here.
    const size_t padding = file.size() % 2 == 0 ? 3 : 0;
    file.insert(file.end(), padding, 0xEE);

    std::vector<uint32_t> offsets;
    for (const PackedEntry& entry : entries) {
        offsets.push_back(uint32_t(file.size()));
        file.insert(file.end(), entry.data.begin(), entry.data.end());
    }
    const uint32_t indexOffset = uint32_t(file.size());
    AppendU32(file, uint32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = entries[i].name;
        AppendU32(file, name.empty() ? 0 : uint32_t(name.size() + 1));
        if (!name.empty()) {
            file.insert(file.end(), name.begin(), name.end());
            file.push_back(0);
        }
        AppendU32(file, offsets[i]);
        AppendU32(file, uint32_t(entries[i].data.size()));
    }
    AppendU32(file, indexOffset);
    file.insert(file.end(), kMagic, kMagic + sizeof kMagic);
    WriteWholeFile(outPath, file);
}

std::string ToWindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') {
        return folder + name;
    }
    return folder + "\\" + name;
}

std::wstring Wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), &wide[0], length);
    return wide;
}

std::string Utf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &utf8[0], length, nullptr,
                        nullptr);
    return utf8;
}

Bytes ReadWholeFile(const std::string& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        FailWithSystemError("opening", path);
    }
    Bytes data;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        data.insert(data.end(), chunk, chunk + got);
    }
    CloseHandle(file);
    return data;
}

void WriteWholeFile(const std::string& path, const Bytes& data) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        FailWithSystemError("creating", path);
    }
    DWORD written = 0;
    const bool ok =
        data.empty() || (WriteFile(file, data.data(), DWORD(data.size()), &written, nullptr) &&
                         written == data.size());
    CloseHandle(file);
    if (!ok) {
        FailWithSystemError("writing", path);
    }
}

void CopyWholeFile(const std::string& from, const std::string& to) {
    WriteWholeFile(to, ReadWholeFile(from));
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteFileIfPresent(const std::string& path) {
    if (GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES &&
        !DeleteFileW(Wide(path).c_str())) {
        FailWithSystemError("deleting", path);
    }
}

void MakeFolders(const std::string& path) {
    // Create each missing ancestor in turn; the part before the first separator is the drive.
    for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
        const std::string prefix = path.substr(0, at);
        if (prefix.size() > 2 && !FolderExists(prefix)) {
            CreateDirectoryW(Wide(prefix).c_str(), nullptr);
        }
    }
    if (!FolderExists(path) && !CreateDirectoryW(Wide(path).c_str(), nullptr)) {
        FailWithSystemError("creating folder", path);
    }
}

void RemoveTree(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A scenario may leave a read-only file, which cannot be deleted as it is.
        SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileIfPresent(path);
        return;
    }
    for (const std::string& name : ListFolder(path)) {
        RemoveTree(JoinPath(path, name));
    }
    if (!RemoveDirectoryW(Wide(path).c_str())) {
        FailWithSystemError("removing folder", path);
    }
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Wide(JoinPath(folder, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
            return names;
        }
        FailWithSystemError("listing", folder);
    }
    do {
        const std::string name = Utf8(found.cFileName);
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

void ExpectFileContent(const std::string& path, const Bytes& expected) {
    if (!FileExists(path)) {
        throw ScenarioFailure("expected the file '" + path + "', but there is no such file");
    }
    const Bytes actual = ReadWholeFile(path);
    const size_t common = std::min(actual.size(), expected.size());
    const size_t firstDifference =
        size_t(std::mismatch(actual.begin(), actual.begin() + common, expected.begin()).first -
               actual.begin());
    if (firstDifference < common) {
        throw ScenarioFailure("'" + path + "' differs from the payload at byte " +
                              std::to_string(firstDifference) + ": 0x" +
                              Hex(actual[firstDifference]) + " instead of 0x" +
                              Hex(expected[firstDifference]));
    }
    if (actual.size() != expected.size()) {
        throw ScenarioFailure("'" + path + "' holds " + std::to_string(actual.size()) +
                              " bytes, expected " + std::to_string(expected.size()) +
                              " (the common part matches)");
    }
}

void ExpectMissing(const std::string& path) {
    if (GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
        throw ScenarioFailure("'" + path + "' exists, but nothing should have been written there");
    }
}

void ExpectFolderHoldsOnly(const std::string& folder, const std::vector<std::string>& names) {
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end());
    const std::vector<std::string> actual = ListFolder(folder);
    if (actual != expected) {
        auto join = [](const std::vector<std::string>& list) {
            std::string text;
            for (const std::string& name : list) {
                text += (text.empty() ? "'" : ", '") + name + "'";
            }
            return text.empty() ? std::string("nothing") : text;
        };
        throw ScenarioFailure("'" + folder + "' holds " + join(actual) + "; expected " +
                              join(expected));
    }
}
