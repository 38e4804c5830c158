#include "ui/messages.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>

#include <memory>
#include <string>

#include "resources/resource.h"
#include "tests/win/host_module.h"

namespace {

struct FreeText {
    void operator()(char* text) const { free(text); }
};
using ComposedText = std::unique_ptr<char, FreeText>;

const char kReplaceQuestion[] = " already exists.\n Do you want to replace it?";

// Longer than any fixed path buffer of the platform, so a cut would show.
std::string LongPath() {
    std::string path = "C:\\";
    while (path.size() < 3 * MAX_PATH) {
        path += "A rather long folder name\\";
    }
    return path + "show.scr";
}

class MessageTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(nullptr, host_.get()) << HostExePath() << ": error " << GetLastError();
        writeFailed_ = host_.String(IDS_WRITE_FAILED);
        ASSERT_FALSE(writeFailed_.empty());
    }

    std::string Overwrite(const std::string& path) {
        ComposedText text(ComposeOverwriteText(host_.get(), path.c_str()));
        return text ? text.get() : "<no text>";
    }
    std::string WriteFailure(const std::string& path, unsigned long error) {
        ComposedText text(ComposeWriteFailureText(host_.get(), path.c_str(), error));
        return text ? text.get() : "<no text>";
    }

    HostResources host_;
    std::string writeFailed_;
};

TEST_F(MessageTextTest, OverwritePromptNamesThePathThenAsks) {
    EXPECT_EQ("C:\\WINDOWS\\show.scr already exists.\n Do you want to replace it?",
              Overwrite("C:\\WINDOWS\\show.scr"));
}

TEST_F(MessageTextTest, OverwritePromptShowsALongPathWhole) {
    const std::string path = LongPath();
    EXPECT_EQ(path + kReplaceQuestion, Overwrite(path));
}

TEST_F(MessageTextTest, WriteFailureGivesTextPathAndTheSystemsReason) {
    const std::string path = "C:\\WINDOWS\\show.scr";
    const std::string text = WriteFailure(path, ERROR_ACCESS_DENIED);
    const std::string head = writeFailed_ + "\n\n" + path + "\n";
    ASSERT_EQ(head, text.substr(0, head.size()));
    const std::string reason = text.substr(head.size());
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(std::string::npos, reason.find_first_of("\r\n")) << reason;
    EXPECT_NE(' ', reason.back());
}

TEST_F(MessageTextTest, WriteFailureShowsALongPathWhole) {
    const std::string path = LongPath();
    const std::string text = WriteFailure(path, ERROR_DISK_FULL);
    const std::string head = writeFailed_ + "\n\n" + path + "\n";
    EXPECT_EQ(head, text.substr(0, head.size()));
    EXPECT_GT(text.size(), head.size());
}

TEST_F(MessageTextTest, WriteFailureLeavesOutAReasonTheSystemDoesNotHave) {
    const std::string path = "C:\\WINDOWS\\show.scr";
    EXPECT_EQ(writeFailed_ + "\n\n" + path, WriteFailure(path, 0));
    // The customer bit: no system message can have this code.
    EXPECT_EQ(writeFailed_ + "\n\n" + path, WriteFailure(path, 0x2000FFFFul));
}

TEST(MessageTextWithoutStrings, MissingStringsLeaveOnlyThePath) {
    // The test program has no string table of its own.
    HINSTANCE noStrings = GetModuleHandleA(nullptr);
    ComposedText overwrite(ComposeOverwriteText(noStrings, "C:\\show.scr"));
    ASSERT_TRUE(overwrite);
    EXPECT_STREQ("C:\\show.scr", overwrite.get());
    ComposedText failure(ComposeWriteFailureText(noStrings, "C:\\show.scr", 0));
    ASSERT_TRUE(failure);
    EXPECT_STREQ("\n\nC:\\show.scr", failure.get());
}

}  // namespace
