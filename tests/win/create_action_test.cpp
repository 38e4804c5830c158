// The create action from a folder, a name and an installer file, with a user interface that
// records what it was asked to show and answers the overwrite prompt as told.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "install/create_action.h"
#include "resources/resource.h"
#include "tests/support/test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace testing_files;

class RecordingUi : public CreateActionUi {
  public:
    void ShowMessage(unsigned textId, unsigned captionId) override {
        shown.push_back({textId, captionId});
    }
    void ShowUnownedMessage(unsigned textId, unsigned captionId) override {
        unowned.push_back({textId, captionId});
    }
    bool ConfirmOverwrite(const char* targetPath) override {
        prompts.push_back(targetPath);
        return replace;
    }
    void ShowWriteFailure(const char* targetPath, const WriteFailure& failure) override {
        writeFailures.push_back(targetPath);
        lastFailure = failure;
    }

    struct Message {
        unsigned text;
        unsigned caption;
        bool operator==(const Message& other) const {
            return text == other.text && caption == other.caption;
        }
    };
    std::vector<Message> shown;
    std::vector<Message> unowned;
    std::vector<std::string> prompts;
    std::vector<std::string> writeFailures;
    WriteFailure lastFailure{};
    bool replace = true;
};

class CreateActionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeTempDir();
        target_ = Join(dir_, "myshow.scr");
        installer_ = Join(dir_, "myshow.exe");
        payload_ = PatternBytes(200000, 1);
        WriteFile(installer_, BuildPackagedFile(PatternBytes(102400, 2), {{"show.scr", payload_}}));
    }
    void TearDown() override { RemoveTree(dir_); }

    CreateOutcome Create(const std::string& folder, const std::string& name) {
        CreateRequest request{installer_.c_str(), folder.c_str(), name.c_str(), false};
        return CreateScreenSaver(request, ui_);
    }

    std::vector<std::string> Names() {
        std::vector<std::string> names = ListDir(dir_);
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir_;
    std::string target_;
    std::string installer_;
    Bytes payload_;
    RecordingUi ui_;
};

TEST_F(CreateActionTest, WritesThePayloadAndFinishes) {
    EXPECT_EQ(Create(dir_, "myshow.scr"), CreateOutcome::kFinished);
    EXPECT_TRUE(ui_.shown.empty());
    EXPECT_TRUE(ui_.prompts.empty());
    EXPECT_EQ(ReadFileBytes(target_), payload_);
    EXPECT_EQ(Names(), (std::vector<std::string>{"myshow.exe", "myshow.scr"}));
}

struct RefusalCase {
    const char* label;
    bool folderExists;
    const char* name;
    unsigned message;
};

// With any temporary folder in front of it, longer than the 259 characters a path may have.
const std::string kLongName = std::string(240, 'n') + ".scr";

class Refusals : public CreateActionTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, ShowOneMessageWriteNothingAndKeepTheDialog) {
    const RefusalCase& c = GetParam();
    std::string folder = c.folderExists ? dir_ : Join(dir_, "missing");
    EXPECT_EQ(Create(folder, c.name), CreateOutcome::kStayOpen);
    ASSERT_EQ(ui_.shown.size(), 1u);
    EXPECT_EQ(ui_.shown[0], (RecordingUi::Message{c.message, IDS_CREATE_ERROR}));
    EXPECT_EQ(Names(), std::vector<std::string>{"myshow.exe"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Refusals,
    ::testing::Values(RefusalCase{"missing folder", false, "myshow.scr", IDS_INVALID_PATH},
                      RefusalCase{"empty name", true, ".scr", IDS_NO_FILENAME},
                      RefusalCase{"double quote", true, "my\"show.scr", IDS_BAD_CHARACTERS},
                      RefusalCase{"vertical bar", true, "my|show.scr", IDS_BAD_CHARACTERS},
                      RefusalCase{"folder is checked before the name", false, ".scr",
                                  IDS_INVALID_PATH},
                      RefusalCase{"path longer than the system takes", true, kLongName.c_str(),
                                  IDS_INVALID_PATH}),
    LabelName());

TEST_F(CreateActionTest, InstallerWithoutPackageReportsTheMissingSaverAndFinishes) {
    WriteFile(installer_, PatternBytes(50000, 3));
    EXPECT_EQ(Create(dir_, "myshow.scr"), CreateOutcome::kFinished);
    ASSERT_EQ(ui_.shown.size(), 1u);
    EXPECT_EQ(ui_.shown[0], (RecordingUi::Message{IDS_SAVER_MISSING, IDS_SAVER_MISSING}));
    EXPECT_EQ(Names(), std::vector<std::string>{"myshow.exe"});
}

// Nothing could ever be written from an empty entry 0: it is no screen saver, not a failed write
// to be tried again.
TEST_F(CreateActionTest, AnEmptyScreenSaverIsReportedMissingAndFinishes) {
    WriteFile(installer_, BuildPackagedFile(PatternBytes(102400, 2), {{"show.scr", {}}}));
    EXPECT_EQ(Create(dir_, "myshow.scr"), CreateOutcome::kFinished);
    ASSERT_EQ(ui_.shown.size(), 1u);
    EXPECT_EQ(ui_.shown[0], (RecordingUi::Message{IDS_SAVER_MISSING, IDS_SAVER_MISSING}));
    EXPECT_TRUE(ui_.writeFailures.empty());
    EXPECT_TRUE(ui_.prompts.empty());
    EXPECT_EQ(Names(), std::vector<std::string>{"myshow.exe"});
}

TEST_F(CreateActionTest, AnsweringNoKeepsTheExistingFileAndTheDialog) {
    Bytes old = PatternBytes(300, 4);
    WriteFile(target_, old);
    ui_.replace = false;
    EXPECT_EQ(Create(dir_, "myshow.scr"), CreateOutcome::kStayOpen);
    ASSERT_EQ(ui_.prompts.size(), 1u);
    EXPECT_EQ(ui_.prompts[0], dir_ + "\\myshow.scr");
    EXPECT_TRUE(ui_.shown.empty());
    EXPECT_EQ(ReadFileBytes(target_), old);
}

TEST_F(CreateActionTest, AnsweringYesReplacesALongerFileCompletely) {
    WriteFile(target_, PatternBytes(900000, 5));
    EXPECT_EQ(Create(dir_, "myshow.scr"), CreateOutcome::kFinished);
    EXPECT_EQ(ui_.prompts.size(), 1u);
    EXPECT_EQ(ReadFileBytes(target_), payload_);
    EXPECT_EQ(Names(), (std::vector<std::string>{"myshow.exe", "myshow.scr"}));
}

// A folder standing at the target counts as existing; it cannot be replaced, and the user is
// told so and may choose another name.
TEST_F(CreateActionTest, AFolderAtTheTargetIsReportedAndTheDialogStays) {
    ASSERT_TRUE(std::filesystem::create_directory(target_));
    EXPECT_EQ(Create(dir_, "myshow.scr"), CreateOutcome::kStayOpen);
    EXPECT_EQ(ui_.prompts.size(), 1u);
    ASSERT_EQ(ui_.writeFailures.size(), 1u);
    EXPECT_EQ(ui_.writeFailures[0], dir_ + "\\myshow.scr");
    EXPECT_EQ(ui_.lastFailure.step, WriteStep::kReplace);
    EXPECT_NE(ui_.lastFailure.systemError, 0u);
    EXPECT_TRUE(ListDir(target_).empty());
    EXPECT_EQ(Names(), (std::vector<std::string>{"myshow.exe", "myshow.scr"}));
}

}  // namespace
