// An input that changes while the packer reads it must fail the build and leave the old output
// as it was. The packer's build is run in this process, with an observer that changes an input
// at a chosen moment.
#include "tools/scrpack/installer_build.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "tests/support/test_files.h"
#include "tests/tools/pe_bytes.h"

namespace {

using namespace testing_files;
using pe_bytes::Bytes;

enum class Change { kNone, kGrow, kShrink, kRewrite };

struct Moment {
    BuildStage stage;
    std::string path;
    Change change;
};

void ChangeInput(BuildStage stage, void* context) {
    const Moment* moment = static_cast<const Moment*>(context);
    if (stage != moment->stage || moment->change == Change::kNone) {
        return;
    }
    Bytes bytes = ReadFileBytes(moment->path);
    switch (moment->change) {
        case Change::kGrow:
            bytes.push_back(0x42);
            break;
        case Change::kShrink:
            bytes.pop_back();
            break;
        case Change::kRewrite:  // same size, other bytes, written in place
            for (size_t i = 1000; i < 1100; ++i) {
                bytes[i] ^= 0x5A;
            }
            break;
        case Change::kNone:
            break;
    }
    FILE* file = fopen(moment->path.c_str(), "r+b");
    ASSERT_NE(nullptr, file);
    ASSERT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), file));
    fclose(file);
    ASSERT_EQ(0, truncate(moment->path.c_str(), off_t(bytes.size())));
}

struct ChangeCase {
    const char* label;
    BuildStage stage;
    int input;  // 0 the host, 1 and 2 the entries
    Change change;
    int exitCode;
};

class InputChangeTest : public testing::TestWithParam<ChangeCase> {
  protected:
    void SetUp() override {
        dir_ = MakeTempDir();
        paths_ = {Join(dir_, "host.exe"), Join(dir_, "show.scr"), Join(dir_, "notes.txt")};
        WriteFile(paths_[0], pe_bytes::PeImage(50000, 1));
        WriteFile(paths_[1], pe_bytes::PeImage(70001, 2));
        WriteFile(paths_[2], PatternBytes(3000, 3));
        out_ = Join(dir_, "setup.exe");
        WriteFile(out_, {1, 2, 3});
    }
    void TearDown() override { RemoveTree(dir_); }

    std::string dir_, out_;
    std::vector<std::string> paths_;
};

TEST_P(InputChangeTest, FailsTheBuildAndKeepsTheOldOutput) {
    const ChangeCase& c = GetParam();
    Moment moment = {c.stage, paths_[size_t(c.input)], c.change};
    testing::internal::CaptureStderr();
    const int exitCode = BuildInstaller(paths_[0], {paths_[1], paths_[2]}, out_, BuildOptions(),
                                        ChangeInput, &moment);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.exitCode, exitCode) << said;
    std::vector<std::string> names = ListDir(dir_);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"host.exe", "notes.txt", "setup.exe", "show.scr"}), names);
    if (c.exitCode != 0) {
        EXPECT_NE(std::string::npos, said.find("changed while it was read")) << said;
        EXPECT_EQ((Bytes{1, 2, 3}), ReadFileBytes(out_));
        return;
    }
    // A change before the first reading is a change of what was given: the installer carries
    // the bytes read, all of them.
    Bytes expected = BuildPackagedFile(
        ReadFileBytes(paths_[0]),
        {{"show.scr", ReadFileBytes(paths_[1])}, {"notes.txt", ReadFileBytes(paths_[2])}});
    const Bytes written = ReadFileBytes(out_);
    ASSERT_EQ(expected.size(), written.size());
    for (size_t i = 0; i < 4; ++i) {
        expected[pe_bytes::kChecksumField + i] = written[pe_bytes::kChecksumField + i];
    }
    EXPECT_EQ(expected, written);
    EXPECT_EQ(pe_bytes::ReferenceChecksum(written, pe_bytes::kChecksumField),
              pe_bytes::StoredChecksum(written));
}

const ChangeCase kChangeCases[] = {
    {"unchanged", BuildStage::kMeasured, 1, Change::kNone, 0},
    {"host grows after measuring", BuildStage::kMeasured, 0, Change::kGrow, 1},
    {"entry 0 grows after measuring", BuildStage::kMeasured, 1, Change::kGrow, 1},
    {"last entry shrinks after measuring", BuildStage::kMeasured, 2, Change::kShrink, 1},
    {"entry rewritten before reading", BuildStage::kMeasured, 2, Change::kRewrite, 0},
    {"host grows between readings", BuildStage::kSummed, 0, Change::kGrow, 1},
    {"entry 0 shrinks between readings", BuildStage::kSummed, 1, Change::kShrink, 1},
    {"host rewritten between readings", BuildStage::kSummed, 0, Change::kRewrite, 1},
    {"entry rewritten between readings", BuildStage::kSummed, 2, Change::kRewrite, 1},
};

INSTANTIATE_TEST_SUITE_P(Build, InputChangeTest, testing::ValuesIn(kChangeCases), LabelName());

}  // namespace
