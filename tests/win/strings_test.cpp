#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "resources/resource.h"
#include "tests/win/host_module.h"

namespace {

struct StringRow {
    UINT id;
    const char* text;
};

const StringRow kStringTable[] = {
    {IDS_BROWSE_TITLE, "Path to browse to"},
    {IDS_FILE_EXISTS, "File Exists"},
    {IDS_ALREADY_EXISTS, " already exists.\n Do you want to replace it?"},
    {IDS_INVALID_PATH, "Error: Invalid Path"},
    {IDS_CREATE_ERROR, "Error Creating Screen Saver"},
    {IDS_NO_FILENAME, "Error: No Filename Specifed"},
    {IDS_BAD_CHARACTERS, "Error: A filename cannot contain any of the following: \\/:*?\\\"<>|"},
    {IDS_SAVER_MISSING, "Screen Saver missing"},
    {IDS_ENABLE_FAILED, "Failed to enable screen saver"},
};

class HostStringsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(nullptr, host_.get()) << HostExePath() << ": error " << GetLastError();
    }

    HostResources host_;
};

TEST_F(HostStringsTest, EveryTextIsStoredByteForByte) {
    for (const StringRow& row : kStringTable) {
        EXPECT_EQ(row.text, host_.String(row.id)) << "string " << row.id;
    }
}

TEST_F(HostStringsTest, ReplaceQuestionStartsWithASpaceAndBreaksTheLineWithALineFeed) {
    const std::string text = host_.String(IDS_ALREADY_EXISTS);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(' ', text[0]);
    EXPECT_EQ(1, std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(std::string::npos, text.find('\r'));
    EXPECT_EQ(" already exists.\n", text.substr(0, text.find('\n') + 1));
}

TEST_F(HostStringsTest, ForbiddenCharacterListKeepsTheBackslashBeforeTheQuote) {
    const std::string text = host_.String(IDS_BAD_CHARACTERS);
    const std::string listed = "\\/:*?\\\"<>|";
    ASSERT_GT(text.size(), listed.size());
    EXPECT_EQ(": " + listed, text.substr(text.size() - listed.size() - 2));
}

TEST_F(HostStringsTest, WriteFailureHasAOneLineText) {
    const std::string text = host_.String(IDS_WRITE_FAILED);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(std::string::npos, text.find('\n'));
}

}  // namespace
