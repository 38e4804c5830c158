// The installer's manifest and version information, read back from the built executable (the
// 64-bit one, and in a second run the shipped 32-bit one; see HostExePath).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "resources/version.h"
#include "tests/win/host_module.h"

namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

// The machine field of the PE header: the run for the 32-bit host says which one it expects, so
// that it cannot pass by reading the 64-bit host.
TEST(HostImageTest, IsBuiltForTheExpectedMachine) {
    const std::vector<uint8_t> bytes = FileBytes(HostExePath());
    ASSERT_GE(bytes.size(), 0x40u) << HostExePath();
    const uint32_t pe =
        bytes[0x3C] | bytes[0x3D] << 8 | bytes[0x3E] << 16 | uint32_t(bytes[0x3F]) << 24;
    ASSERT_LT(pe + 6, bytes.size());
    const unsigned machine = bytes[pe + 4] | bytes[pe + 5] << 8;
    const char* expected = getenv("SCR_EXPECT_MACHINE");
    const unsigned own = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    EXPECT_EQ(expected != nullptr ? strtoul(expected, nullptr, 16) : own, machine);
}

class HostManifestTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(nullptr, host_.get()) << HostExePath() << " error " << GetLastError();
        HRSRC found = FindResourceA(host_.get(), MAKEINTRESOURCEA(1), RT_MANIFEST);
        ASSERT_NE(nullptr, found);
        const char* data = static_cast<const char*>(LockResource(LoadResource(host_.get(), found)));
        ASSERT_NE(nullptr, data);
        manifest_.assign(data, SizeofResource(host_.get(), found));
    }

    bool Has(const std::string& text) const { return manifest_.find(text) != std::string::npos; }

    HostResources host_;
    std::string manifest_;
};

TEST_F(HostManifestTest, AsksForVisualStylesAndTheHighestAvailableLevel) {
    const char* const required[] = {
        "<requestedExecutionLevel level=\"highestAvailable\"",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "publicKeyToken=\"6595b64144ccf1df\"",
        // Vista, 7, 8, 8.1, 10 and later
        "<supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>",
        "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",
        "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",
        "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
    };
    for (const char* text : required) {
        EXPECT_TRUE(Has(text)) << text << "\nnot in\n" << manifest_;
    }
    // Not DPI-aware: the system enlarges the dialog as drawn at 96 DPI, where every label fits
    // its fixed size (see setup.rc).
    EXPECT_FALSE(Has("dpiAware")) << manifest_;
}

// The system must accept the manifest: a malformed one stops the program before it starts.
TEST_F(HostManifestTest, TheSystemBuildsAnActivationContextFromIt) {
    const std::string path = HostExePath();
    ACTCTXA context = {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path.c_str();
    context.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE created = CreateActCtxA(&context);
    ASSERT_NE(INVALID_HANDLE_VALUE, created) << "error " << GetLastError();
    ReleaseActCtx(created);
}

class HostVersionTest : public testing::Test {
  protected:
    void SetUp() override {
        const std::string path = HostExePath();
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_NE(0u, size) << path << " error " << GetLastError();
        info_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info_.data()));
    }

    std::string Text(const char* name) {
        char* value = nullptr;
        UINT length = 0;
        const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueA(info_.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) ||
            value == nullptr) {
            return "(none)";
        }
        return std::string(value, length > 0 ? strnlen(value, length) : 0);
    }

    std::vector<uint8_t> info_;
};

TEST_F(HostVersionTest, FixedPartCarriesTheVersionOfTheProgram) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info_.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(sizeof *fixed, length);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    const DWORD high = MAKELONG(SCR_VERSION_MINOR, SCR_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, SCR_VERSION_PATCH);
    EXPECT_EQ(high, fixed->dwFileVersionMS);
    EXPECT_EQ(low, fixed->dwFileVersionLS);
    EXPECT_EQ(high, fixed->dwProductVersionMS);
    EXPECT_EQ(low, fixed->dwProductVersionLS);
    EXPECT_EQ(DWORD(VFT_APP), fixed->dwFileType);
    EXPECT_EQ(DWORD(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(0u, fixed->dwFileFlags & fixed->dwFileFlagsMask);
}

TEST_F(HostVersionTest, TextsNameTheProgramInUsEnglish) {
    EXPECT_EQ("Screen Saver Setup project", Text("CompanyName"));
    EXPECT_EQ("Screen Saver Setup", Text("FileDescription"));
    EXPECT_EQ("Screen Saver Setup", Text("ProductName"));
    EXPECT_EQ(SCR_VERSION_TEXT, Text("FileVersion"));
    EXPECT_EQ(SCR_VERSION_TEXT, Text("ProductVersion"));

    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info_.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);
}

}  // namespace
