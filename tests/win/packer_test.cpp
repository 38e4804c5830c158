// The Windows packer: the checksum it writes must be the one the system's own image tools
// compute, and base names are taken in the ANSI code page, where a double-byte character's trail
// byte may equal '\\'.
#include <gtest/gtest.h>
#include <windows.h>

#include <imagehlp.h>

#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/win/host_module.h"
#include "tools/scrpack/scrpack_text.h"

namespace {

// The exit code of scrpack.exe with `arguments`, or -1 if it did not end within a minute.
long RunPacker(const std::string& arguments) {
    std::string command = "\"" + WindowsPath(SCRPACK_EXE) + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -2;
    }
    DWORD exitCode = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode == DWORD(-1) ? -1 : long(exitCode);
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

class WindowsPackerTest : public testing::Test {
  protected:
    void SetUp() override { dir_ = testing_files::MakeTempDir(); }
    void TearDown() override { testing_files::RemoveTree(dir_); }

    // The host itself serves as a payload that is a Windows executable.
    long Build(const std::string& payload, const std::string& out) {
        return RunPacker("build " + Quoted(HostExePath()) + " " + Quoted(payload) + " -o " +
                         Quoted(out));
    }

    std::string dir_;
};

TEST_F(WindowsPackerTest, TheChecksumIsTheOneTheSystemComputes) {
    const std::string out = dir_ + "\\setup.exe";
    ASSERT_EQ(0, Build(HostExePath(), out));
    DWORD stored = 0, computed = 0;
    ASSERT_EQ(DWORD(CHECKSUM_SUCCESS), MapFileAndCheckSumA(out.c_str(), &stored, &computed));
    EXPECT_NE(0u, stored);
    EXPECT_EQ(computed, stored);
}

// 0x95 0x5C is one character in code page 932, and two in 1252, the second a '\\'. (Wine cannot
// create a file of such a name without a Japanese locale on the Linux side, so the base name is
// checked on a path rather than on a packed file.)
TEST(WindowsPackerNameTest, TakesTheBaseNameInTheSystemCodePage) {
    const std::string expected = IsDBCSLeadByte(0x95) ? "\x95\x5C.scr" : ".scr";
    EXPECT_EQ(expected, BaseName("C:\\dir\\\x95\x5C.scr"));
    EXPECT_EQ(expected, BaseName("dir/\x95\x5C.scr"));
}

}  // namespace
