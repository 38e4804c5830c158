#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "install/payload.h"
#include "package/package_reader.h"
#include "platform/platform.h"
#include "tests/support/test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace testing_files;

class PayloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeTempDir();
        target_ = Join(dir_, "show.scr");
    }
    void TearDown() override { RemoveTree(dir_); }

    // A host whose payload does not start on an allocation-granularity boundary.
    void OpenInstaller(const Bytes& payload) {
        Bytes host = PatternBytes(102400, 1);
        installer_ = Join(dir_, "setup.exe");
        WriteFile(installer_, BuildPackagedFile(host, {{"show.scr", payload}}));
        ASSERT_EQ(reader_.Open(installer_.c_str()), 1);
    }

    // Only the installer and, where named, the target: no temporary file is ever left.
    void ExpectFolderHolds(std::vector<std::string> names) {
        std::vector<std::string> found = ListDir(dir_);
        std::sort(found.begin(), found.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(found, names);
    }

    std::string dir_;
    std::string target_;
    std::string installer_;
    PackageReader reader_;
};

TEST_F(PayloadTest, WritesExactlyTheBytesOfEntryZero) {
    Bytes payload = PatternBytes(1269014, 2);
    OpenInstaller(payload);
    WriteFailure failure{WriteStep::kWrite, 99};
    ASSERT_TRUE(WritePayload(reader_, target_.c_str(), &failure));
    EXPECT_EQ(failure.step, WriteStep::kNone);
    EXPECT_EQ(ReadFileBytes(target_), payload);
    ExpectFolderHolds({"setup.exe", "show.scr"});
    // The reader stays open for its owner.
    EXPECT_EQ(reader_.EntryCount(), 1);
}

// A payload of several windows, the last one short, arrives whole and in order.
TEST_F(PayloadTest, APayloadLargerThanOneWindowIsCopiedExactly) {
    Bytes payload = PatternBytes(2 * kPayloadWindowSize + 12345, 15);
    OpenInstaller(payload);
    WriteFailure failure{WriteStep::kWrite, 99};
    ASSERT_TRUE(WritePayload(reader_, target_.c_str(), &failure));
    EXPECT_EQ(failure.step, WriteStep::kNone);
    EXPECT_TRUE(ReadFileBytes(target_) == payload);
    ExpectFolderHolds({"setup.exe", "show.scr"});
}

TEST_F(PayloadTest, ReplacesALongerFileWithoutLeavingATail) {
    WriteFile(target_, PatternBytes(2000000, 3));
    Bytes payload = PatternBytes(5000, 4);
    OpenInstaller(payload);
    ASSERT_TRUE(WritePayload(reader_, target_.c_str(), nullptr));
    EXPECT_EQ(ReadFileBytes(target_), payload);
    ExpectFolderHolds({"setup.exe", "show.scr"});
}

TEST_F(PayloadTest, AFolderAtTheTargetIsNotReplaced) {
    OpenInstaller(PatternBytes(5000, 5));
    std::string folder = Join(dir_, "show.scr");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    WriteFailure failure{};
    EXPECT_FALSE(WritePayload(reader_, folder.c_str(), &failure));
    EXPECT_EQ(failure.step, WriteStep::kReplace);
    EXPECT_NE(failure.systemError, 0u);
    ExpectFolderHolds({"setup.exe", "show.scr"});
    EXPECT_TRUE(ListDir(folder).empty());
}

// The user protected the old file: it is kept, and nothing is left beside it.
TEST_F(PayloadTest, AReadOnlyTargetIsKept) {
    const Bytes old = PatternBytes(900, 9);
    WriteFile(target_, old);
    SetReadOnly(target_, true);
    OpenInstaller(PatternBytes(7000, 10));
    WriteFailure failure{};
    EXPECT_FALSE(WritePayload(reader_, target_.c_str(), &failure));
    EXPECT_EQ(failure.step, WriteStep::kReplace);
    EXPECT_NE(failure.systemError, 0u);
    SetReadOnly(target_, false);
    EXPECT_EQ(ReadFileBytes(target_), old);
    ExpectFolderHolds({"setup.exe", "show.scr"});
}

TEST_F(PayloadTest, AMissingFolderCreatesNothing) {
    OpenInstaller(PatternBytes(5000, 6));
    std::string target = Join(Join(dir_, "missing"), "show.scr");
    WriteFailure failure{};
    EXPECT_FALSE(WritePayload(reader_, target.c_str(), &failure));
    EXPECT_EQ(failure.step, WriteStep::kCreateFile);
    EXPECT_NE(failure.systemError, 0u);
    ExpectFolderHolds({"setup.exe"});
}

// A disk too small for the payload: the write fails, the old screen saver is kept and no part of
// the new one is left. SCR_SMALL_DISK names the root of such a disk. Disabled in the suites: the
// test run runs it on a small disk of its own (scripts/small-disk.sh).
TEST_F(PayloadTest, DISABLED_AFullDiskKeepsTheOldFileAndLeavesNoPart) {
    const char* smallDisk = getenv("SCR_SMALL_DISK");
    ASSERT_NE(smallDisk, nullptr) << "SCR_SMALL_DISK must name a small file system";
    const std::string target = Join(smallDisk, "show.scr");
    const Bytes old = PatternBytes(1000, 11);
    WriteFile(target, old);
    OpenInstaller(PatternBytes(1024 * 1024, 12));
    WriteFailure failure{};
    EXPECT_FALSE(WritePayload(reader_, target.c_str(), &failure));
    EXPECT_EQ(failure.step, WriteStep::kWrite);
    EXPECT_NE(failure.systemError, 0u);
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(ListDir(smallDisk), std::vector<std::string>({"show.scr"}));
}

// An empty or missing payload would replace a working screen saver with nothing.
TEST_F(PayloadTest, NoUsablePayloadLeavesTheTargetUntouched) {
    Bytes old = PatternBytes(300, 7);
    WriteFile(target_, old);

    OpenInstaller({});
    WriteFailure failure{};
    EXPECT_FALSE(WritePayload(reader_, target_.c_str(), &failure));
    EXPECT_EQ(failure.step, WriteStep::kReadPayload);

    reader_.Close();
    WriteFile(installer_, PatternBytes(4000, 8));  // a host without a package
    ASSERT_EQ(reader_.Open(installer_.c_str()), 1);
    EXPECT_FALSE(WritePayload(reader_, target_.c_str(), &failure));
    EXPECT_EQ(failure.step, WriteStep::kReadPayload);

    EXPECT_EQ(ReadFileBytes(target_), old);
    ExpectFolderHolds({"setup.exe", "show.scr"});
}

}  // namespace
