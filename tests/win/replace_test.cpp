// Putting the finished screen saver in place of the target: with the system's replacing move,
// and in steps as on the 9x family, where that move is missing. Both must leave a target they
// cannot replace as it was, and never leave a file set aside behind.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_files;
using Bytes = std::vector<uint8_t>;

enum class TargetKind { kAbsent, kFile, kReadOnlyFile, kFolder };

struct ReplaceCase {
    const char* label;
    bool (*replace)(const char* source, const char* target);
    TargetKind target;
    bool replaced;
};

class ReplaceTest : public testing::TestWithParam<ReplaceCase> {
  protected:
    void SetUp() override {
        dir_ = MakeTempDir();
        source_ = Join(dir_, "new.tmp");
        target_ = Join(dir_, "show.scr");
        WriteFile(source_, newBytes_);
    }
    void TearDown() override {
        if (GetParam().target == TargetKind::kReadOnlyFile) {
            SetReadOnly(target_, false);
        }
        RemoveTree(dir_);
    }

    void MakeTarget(TargetKind kind) {
        switch (kind) {
            case TargetKind::kAbsent:
                break;
            case TargetKind::kFile:
                WriteFile(target_, oldBytes_);
                break;
            case TargetKind::kReadOnlyFile:
                WriteFile(target_, oldBytes_);
                SetReadOnly(target_, true);
                break;
            case TargetKind::kFolder:
                ASSERT_TRUE(CreateDirectoryA(target_.c_str(), nullptr));
                break;
        }
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names = ListDir(dir_);
        std::sort(names.begin(), names.end());
        return names;
    }

    const Bytes newBytes_ = PatternBytes(3000, 1);
    const Bytes oldBytes_ = PatternBytes(5000, 2);
    std::string dir_;
    std::string source_;
    std::string target_;
};

TEST_P(ReplaceTest, ReplacesOrLeavesEverythingAsItWas) {
    const ReplaceCase& row = GetParam();
    MakeTarget(row.target);

    SetLastError(0);
    const bool replaced = row.replace(source_.c_str(), target_.c_str());
    const DWORD error = GetLastError();

    ASSERT_EQ(replaced, row.replaced);
    if (replaced) {
        EXPECT_EQ(ReadFileBytes(target_), newBytes_);
        EXPECT_EQ(Names(), std::vector<std::string>({"show.scr"}));
        return;
    }
    EXPECT_NE(error, 0u);
    EXPECT_EQ(Names(), std::vector<std::string>({"new.tmp", "show.scr"}));
    EXPECT_EQ(ReadFileBytes(source_), newBytes_);
    if (row.target == TargetKind::kFolder) {
        EXPECT_TRUE(ListDir(target_).empty());
    } else {
        EXPECT_EQ(ReadFileBytes(target_), oldBytes_);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplaceTest,
    testing::Values(
        ReplaceCase{"system move, no target", platform::MoveIntoPlace, TargetKind::kAbsent, true},
        ReplaceCase{"system move, a file", platform::MoveIntoPlace, TargetKind::kFile, true},
        ReplaceCase{"system move, a read-only file", platform::MoveIntoPlace,
                    TargetKind::kReadOnlyFile, false},
        ReplaceCase{"system move, a folder", platform::MoveIntoPlace, TargetKind::kFolder, false},
        ReplaceCase{"steps, no target", platform::ReplaceBySteps, TargetKind::kAbsent, true},
        ReplaceCase{"steps, a file", platform::ReplaceBySteps, TargetKind::kFile, true},
        ReplaceCase{"steps, a read-only file", platform::ReplaceBySteps, TargetKind::kReadOnlyFile,
                    false},
        ReplaceCase{"steps, a folder", platform::ReplaceBySteps, TargetKind::kFolder, false}),
    LabelName());

}  // namespace
