// The installer executable the build produced, opened as data so that its resources can be read
// without running it.
#pragma once

#include <stdlib.h>
#include <windows.h>

#include <string>

// The build names files by their Linux paths; Wine shows the Linux root as drive Z:.
inline std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        for (char& c : path) {
            if (c == '/') {
                c = '\\';
            }
        }
        path = "Z:" + path;
    }
    return path;
}

// The build's own installer, unless SCR_HOST_EXE in the environment names another: the 64-bit
// tests read the shipped 32-bit host's resources that way.
inline std::string HostExePath() {
    const char* chosen = getenv("SCR_HOST_EXE");
    return WindowsPath(chosen != nullptr && chosen[0] != '\0' ? chosen : SCR_HOST_EXE);
}

class HostResources {
  public:
    HostResources()
        : module_(LoadLibraryExA(HostExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    HostResources(const HostResources&) = delete;
    HostResources& operator=(const HostResources&) = delete;
    ~HostResources() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }

    HINSTANCE get() const { return module_; }

    // The string as LoadStringA gives it, every byte of it.
    std::string String(UINT id) const {
        char buffer[1024] = {};
        const int length = LoadStringA(module_, id, buffer, sizeof buffer);
        return std::string(buffer, length > 0 ? size_t(length) : 0);
    }

  private:
    HMODULE module_;
};
