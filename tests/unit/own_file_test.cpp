// Opening the running program's own file, and handing an open file to the package reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "package/package_reader.h"
#include "platform/platform.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_files;

TEST(OwnFile, OpensTheRunningProgramForReading) {
    platform::FileHandle file = platform::OpenOwnFile();
    ASSERT_NE(file, platform::kNoFile);
    uint64_t size = 0;
    EXPECT_TRUE(platform::FileSize(file, &size));
    // Every executable of both systems begins with its format's magic.
    char start[4] = {};
    uint32_t got = 0;
    ASSERT_TRUE(platform::ReadAt(file, 0, start, sizeof start, &got));
    ASSERT_EQ(got, 4u);
    const std::string magic(start, 4);
    EXPECT_TRUE(magic.compare(0, 2, "MZ") == 0 || magic ==
                                                      "\x7f"
                                                      "ELF")
        << magic;
    EXPECT_GT(size, 4u);
    EXPECT_TRUE(platform::CloseFile(file));
}

TEST(OpenFile, ReadsThePackageOfAnOpenFileAndClosesItWithTheReader) {
    const std::string dir = MakeTempDir();
    const std::string path = Join(dir, "open.exe");
    WriteFile(path, BuildPackagedFile(PatternBytes(100, 1), {{"a.scr", {1, 2, 3}}}));
    {
        PackageReader reader;
        ASSERT_EQ(reader.OpenFile(platform::OpenForReading(path.c_str())), 1);
        EXPECT_EQ(reader.EntryCount(), 1);
        EXPECT_EQ(reader.EntrySize(0), 3u);
        EXPECT_EQ(reader.Close(), 1);
    }
    // Nothing holds the file any more, or removing it would fail on Windows.
    EXPECT_EQ(std::remove(path.c_str()), 0);
    RemoveTree(dir);
}

TEST(OpenFile, NoFileIsRecordedAsCannotOpen) {
    PackageReader reader;
    EXPECT_EQ(reader.OpenFile(platform::kNoFile), 0);
    EXPECT_EQ(reader.LastError(), ErrCannotOpen);
    EXPECT_EQ(reader.EntryCount(), 0);
}

}  // namespace
