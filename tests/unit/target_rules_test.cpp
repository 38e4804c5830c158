#include "install/target_rules.h"

#include <gtest/gtest.h>
#include <string.h>

#include <ostream>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/test_files.h"

// Found by argument-dependent lookup, so a failed check prints the result by name.
static void PrintTo(NameCheck check, std::ostream* out) {
    switch (check) {
        case NameCheck::kOk:
            *out << "kOk";
            return;
        case NameCheck::kEmpty:
            *out << "kEmpty";
            return;
        case NameCheck::kForbiddenCharacter:
            *out << "kForbiddenCharacter";
            return;
    }
    *out << "NameCheck(" << int(check) << ")";
}

namespace {

bool NoLeadBytes(unsigned char) {
    return false;
}

// The lead bytes of code page 932 (Japanese), a double-byte code page whose trail bytes include
// '\\' and '|'.
bool Cp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Code page 932 characters whose trail byte is a path character.
#define HYOU "\x95\x5C"  // trail byte '\\'
#define PO "\x83\x7C"    // trail byte '|'
// Code page 932 has no character whose trail byte is '.', but a lead byte followed by '.' is
// still scanned as one character: the dot must not be taken for an extension's dot.
#define LEAD_DOT "\x81."

// Rows name themselves in failures with every byte outside printable ASCII spelled out.
std::string Spelled(const char* text) {
    if (text == nullptr) {
        return "null";
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string spelled = "\"";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        if (*p < 0x20 || *p > 0x7E) {
            spelled += {'\\', 'x', kHex[*p >> 4], kHex[*p & 15]};
        } else {
            spelled += char(*p);
        }
    }
    return spelled + "\"";
}

const char* LeadBytesName(LeadByteTest isLead) {
    return isLead == Cp932LeadByte ? "code page 932" : "single-byte";
}

struct ExtensionCase {
    const char* source;
    const char* extension;
    LeadByteTest isLead;
    const char* expected;
};

void PrintTo(const ExtensionCase& row, std::ostream* out) {
    *out << Spelled(row.source) << " to " << Spelled(row.extension) << ", "
         << LeadBytesName(row.isLead);
}

class ChangeExtensionTest : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(ChangeExtensionTest, GivesTheLastComponentTheExtension) {
    const ExtensionCase& row = GetParam();
    char destination[platform::kMaxPath];
    ASSERT_TRUE(
        ChangeExtension(row.source, row.extension, destination, sizeof destination, row.isLead));
    EXPECT_STREQ(row.expected, destination);
}

TEST_P(ChangeExtensionTest, WorksInPlace) {
    const ExtensionCase& row = GetParam();
    char buffer[platform::kMaxPath];
    strcpy(buffer, row.source);
    ASSERT_TRUE(ChangeExtension(buffer, row.extension, buffer, sizeof buffer, row.isLead));
    EXPECT_STREQ(row.expected, buffer);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChangeExtensionTest,
    ::testing::Values(
        ExtensionCase{"C:\\dir\\setup.exe", "scr", NoLeadBytes, "C:\\dir\\setup.scr"},
        ExtensionCase{"C:\\dir\\setup.exe", "", NoLeadBytes, "C:\\dir\\setup"},
        ExtensionCase{"C:\\dir\\setup.exe", nullptr, NoLeadBytes, "C:\\dir\\setup"},
        ExtensionCase{"C:\\dir.old\\setup", "scr", NoLeadBytes, "C:\\dir.old\\setup.scr"},
        ExtensionCase{"C:\\dir.old\\setup", "", NoLeadBytes, "C:\\dir.old\\setup"},
        ExtensionCase{"setup", "scr", NoLeadBytes, "setup.scr"},
        ExtensionCase{"C:setup.exe", "scr", NoLeadBytes, "C:setup.scr"},
        ExtensionCase{"archive.tar.gz", "scr", NoLeadBytes, "archive.tar.scr"},
        ExtensionCase{"C:\\dir\\", "scr", NoLeadBytes, "C:\\dir\\.scr"},
        ExtensionCase{"", "scr", NoLeadBytes, ".scr"},
        // The trail byte '\\' of the last character does not start a new component...
        ExtensionCase{"C:\\dir\\a.b" HYOU, "scr", Cp932LeadByte, "C:\\dir\\a.scr"},
        // ...where a single-byte code page does take it for a separator.
        ExtensionCase{"C:\\dir\\a.b" HYOU, "scr", NoLeadBytes, "C:\\dir\\a.b" HYOU ".scr"},
        ExtensionCase{"C:\\" HYOU "\\" LEAD_DOT "b", "scr", Cp932LeadByte,
                      "C:\\" HYOU "\\" LEAD_DOT "b.scr"},
        // A lead byte just before the end has no trail byte to swallow the NUL.
        ExtensionCase{"a.b\x95", "scr", Cp932LeadByte, "a.scr"}));

TEST(ChangeExtensionCapacity, ExactFitSucceeds) {
    const char source[] = "C:\\dir\\setup.exe";
    std::vector<char> destination(strlen("C:\\dir\\setup.scr") + 1);
    ASSERT_TRUE(ChangeExtension(source, "scr", destination.data(), destination.size()));
    EXPECT_STREQ("C:\\dir\\setup.scr", destination.data());
}

TEST(ChangeExtensionCapacity, TooSmallFailsAndLeavesDestinationUnchanged) {
    const char source[] = "C:\\dir\\setup.exe";
    // One byte short of "C:\dir\setup.screensaver" and its NUL; sized exactly, so a sanitizer
    // catches any write past the end.
    std::vector<char> destination(strlen("C:\\dir\\setup.screensaver"), 'x');
    EXPECT_FALSE(ChangeExtension(source, "screensaver", destination.data(), destination.size()));
    EXPECT_EQ(std::string(destination.size(), 'x'),
              std::string(destination.begin(), destination.end()));
}

TEST(ChangeExtensionCapacity, ZeroCapacityFails) {
    char untouched = 'x';
    EXPECT_FALSE(ChangeExtension("a", nullptr, &untouched, 0));
    EXPECT_EQ('x', untouched);
}

struct FilePartCase {
    const char* path;
    LeadByteTest isLead;
    const char* expected;  // the tail of `path` that FilePart must point at
};

void PrintTo(const FilePartCase& row, std::ostream* out) {
    *out << Spelled(row.path) << ", " << LeadBytesName(row.isLead);
}

class FilePartTest : public ::testing::TestWithParam<FilePartCase> {};

TEST_P(FilePartTest, PointsAtTheLastComponentInsideThePath) {
    const FilePartCase& row = GetParam();
    const char* part = FilePart(row.path, row.isLead);
    EXPECT_EQ(row.path + strlen(row.path) - strlen(row.expected), part);
    EXPECT_STREQ(row.expected, part);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FilePartTest,
    ::testing::Values(FilePartCase{"C:\\dir\\setup.scr", NoLeadBytes, "setup.scr"},
                      FilePartCase{"C:setup.scr", NoLeadBytes, "setup.scr"},
                      FilePartCase{"setup.scr", NoLeadBytes, "setup.scr"},
                      FilePartCase{"C:\\dir\\", NoLeadBytes, ""}, FilePartCase{"", NoLeadBytes, ""},
                      FilePartCase{"C:\\dir\\a:b", NoLeadBytes, "a:b"},
                      FilePartCase{"\\\\server\\share\\x.scr", NoLeadBytes, "x.scr"},
                      FilePartCase{"C:\\dir\\" HYOU "x.scr", Cp932LeadByte, HYOU "x.scr"},
                      FilePartCase{"C:\\dir\\" HYOU "x.scr", NoLeadBytes, "x.scr"},
                      FilePartCase{"C:" HYOU ".scr", Cp932LeadByte, HYOU ".scr"},
                      FilePartCase{"C:\\dir\\x\x95", Cp932LeadByte, "x\x95"}));

struct NormaliseCase {
    const char* typed;
    LeadByteTest isLead;
    const char* stored;
};

void PrintTo(const NormaliseCase& row, std::ostream* out) {
    *out << Spelled(row.typed) << ", " << LeadBytesName(row.isLead);
}

class NormaliseTargetNameTest : public ::testing::TestWithParam<NormaliseCase> {};

TEST_P(NormaliseTargetNameTest, EndsTheStoredNameInScr) {
    const NormaliseCase& row = GetParam();
    char name[kTargetNameSize];
    strcpy(name, row.typed);
    NormaliseTargetName(name, row.isLead);
    EXPECT_STREQ(row.stored, name);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NormaliseTargetNameTest,
    ::testing::Values(NormaliseCase{"", NoLeadBytes, ".scr"},
                      NormaliseCase{"show", NoLeadBytes, "show.scr"},
                      NormaliseCase{"show.scr", NoLeadBytes, "show.scr"},
                      NormaliseCase{"show.SCR", NoLeadBytes, "show.SCR"},
                      NormaliseCase{"show.sCr", NoLeadBytes, "show.sCr"},
                      NormaliseCase{"show.exe", NoLeadBytes, "show.exe.scr"},
                      NormaliseCase{"ab", NoLeadBytes, "ab.scr"},
                      NormaliseCase{"scr", NoLeadBytes, "scr.scr"},
                      NormaliseCase{".scr", NoLeadBytes, ".scr"},
                      NormaliseCase{"showscr", NoLeadBytes, "showscr.scr"},
                      NormaliseCase{"show.sc", NoLeadBytes, "show.sc.scr"},
                      NormaliseCase{"show.scr ", NoLeadBytes, "show.scr .scr"},
                      NormaliseCase{HYOU ".scr", Cp932LeadByte, HYOU ".scr"},
                      NormaliseCase{PO "show", Cp932LeadByte, PO "show.scr"},
                      NormaliseCase{"x" LEAD_DOT "scr", Cp932LeadByte, "x" LEAD_DOT "scr.scr"},
                      NormaliseCase{"x" LEAD_DOT "scr", NoLeadBytes, "x" LEAD_DOT "scr"}));

TEST(NormaliseTargetNameLength, FullFieldGainsTheExtension) {
    char name[kTargetNameSize];
    const std::string typed(kFieldChars, 'a');
    strcpy(name, typed.c_str());
    NormaliseTargetName(name, NoLeadBytes);
    EXPECT_EQ(typed + ".scr", name);
}

TEST(NormaliseTargetNameLength, FullFieldEndingInScrIsKept) {
    char name[kTargetNameSize];
    const std::string typed = std::string(kFieldChars - 4, 'a') + ".Scr";
    strcpy(name, typed.c_str());
    NormaliseTargetName(name, NoLeadBytes);
    EXPECT_EQ(typed, name);
}

TEST(NormaliseTargetNameLength, LongerTextKeepsTheFieldsFirstCharacters) {
    char name[kTargetNameSize];
    strcpy(name, std::string(kTargetNameSize - 1, 'a').c_str());
    NormaliseTargetName(name, NoLeadBytes);
    EXPECT_EQ(std::string(kFieldChars, 'a') + ".scr", name);
}

TEST(NormaliseTargetNameLength, CutDoesNotSplitADoubleByteCharacter) {
    char name[kTargetNameSize];
    // The lead byte is the field's last character; its trail byte lies beyond the field.
    strcpy(name, (std::string(kFieldChars - 1, 'a') + HYOU "bb").c_str());
    NormaliseTargetName(name, Cp932LeadByte);
    EXPECT_EQ(std::string(kFieldChars - 1, 'a') + ".scr", name);
}

TEST(NormaliseTargetNameLength, UnterminatedBufferIsReadNoFurtherThanItsSize) {
    // Exactly kTargetNameSize bytes without a NUL: a sanitizer reports any read past them.
    std::vector<char> name(kTargetNameSize, 'a');
    NormaliseTargetName(name.data(), NoLeadBytes);
    EXPECT_EQ(std::string(kFieldChars, 'a') + ".scr", name.data());
}

struct ValidateCase {
    const char* name;
    LeadByteTest isLead;
    NameCheck expected;
};

void PrintTo(const ValidateCase& row, std::ostream* out) {
    *out << Spelled(row.name) << ", " << LeadBytesName(row.isLead);
}

class ValidateTargetNameTest : public ::testing::TestWithParam<ValidateCase> {};

TEST_P(ValidateTargetNameTest, ChecksTheStoredName) {
    const ValidateCase& row = GetParam();
    EXPECT_EQ(row.expected, ValidateTargetName(row.name, row.isLead));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ValidateTargetNameTest,
    ::testing::Values(ValidateCase{".scr", NoLeadBytes, NameCheck::kEmpty},
                      ValidateCase{"", NoLeadBytes, NameCheck::kEmpty},
                      ValidateCase{".SCR", NoLeadBytes, NameCheck::kOk},
                      ValidateCase{".scr.scr", NoLeadBytes, NameCheck::kOk},
                      ValidateCase{"show.scr", NoLeadBytes, NameCheck::kOk},
                      ValidateCase{"My Screen Saver.scr", NoLeadBytes, NameCheck::kOk},
                      ValidateCase{"a\\b.scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{"a/b.scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{"a:b.scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{"a*b.scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{"a?b.scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{"a\"b.scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{"a<b.scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{"a>b.scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{"a|b.scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{"|.scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{HYOU ".scr", Cp932LeadByte, NameCheck::kOk},
                      ValidateCase{HYOU ".scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{PO ".scr", Cp932LeadByte, NameCheck::kOk},
                      ValidateCase{PO ".scr", NoLeadBytes, NameCheck::kForbiddenCharacter},
                      ValidateCase{HYOU "|.scr", Cp932LeadByte, NameCheck::kForbiddenCharacter},
                      ValidateCase{HYOU "\\.scr", Cp932LeadByte, NameCheck::kForbiddenCharacter},
                      ValidateCase{"a.scr\x95", Cp932LeadByte, NameCheck::kOk}));

TEST(NameCheckMessage, NamesTheStringToShow) {
    EXPECT_EQ(0u, NameCheckMessage(NameCheck::kOk));
    EXPECT_EQ(unsigned(IDS_NO_FILENAME), NameCheckMessage(NameCheck::kEmpty));
    EXPECT_EQ(unsigned(IDS_BAD_CHARACTERS), NameCheckMessage(NameCheck::kForbiddenCharacter));
}

struct TargetPathCase {
    const char* folder;
    const char* name;
    const char* expected;
};

void PrintTo(const TargetPathCase& row, std::ostream* out) {
    *out << Spelled(row.folder) << " and " << Spelled(row.name);
}

class MakeTargetPathTest : public ::testing::TestWithParam<TargetPathCase> {};

TEST_P(MakeTargetPathTest, JoinsFolderAndNameWithOneSeparator) {
    const TargetPathCase& row = GetParam();
    char path[platform::kMaxPath];
    ASSERT_TRUE(MakeTargetPath(row.folder, row.name, path, sizeof path));
    EXPECT_STREQ(row.expected, path);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MakeTargetPathTest,
    ::testing::Values(TargetPathCase{"C:\\WINDOWS", "show.scr", "C:\\WINDOWS\\show.scr"},
                      TargetPathCase{"C:\\", "a.scr", "C:\\\\a.scr"},
                      TargetPathCase{"D:\\My Savers\\", "b.scr", "D:\\My Savers\\\\b.scr"},
                      TargetPathCase{"", "a.scr", "\\a.scr"}));

TEST(MakeTargetPathCapacity, LongestFolderAndNameAreRefusedWithoutOverrun) {
    const std::string folder(kFieldChars, 'f');
    const std::string name = std::string(kFieldChars, 'n') + ".scr";
    std::vector<char> path(platform::kMaxPath, 'x');
    EXPECT_FALSE(MakeTargetPath(folder.c_str(), name.c_str(), path.data(), path.size()));
    EXPECT_EQ(std::string(path.size(), 'x'), std::string(path.begin(), path.end()));
}

TEST(MakeTargetPathCapacity, ExactFitSucceedsAndOneMoreFails) {
    const std::string folder(100, 'f');
    const std::string fitting(platform::kMaxPath - 1 - folder.size() - 1, 'n');
    std::vector<char> path(platform::kMaxPath);
    ASSERT_TRUE(MakeTargetPath(folder.c_str(), fitting.c_str(), path.data(), path.size()));
    EXPECT_EQ(folder + "\\" + fitting, path.data());
    EXPECT_FALSE(MakeTargetPath(folder.c_str(), (fitting + "n").c_str(), path.data(), path.size()));
}

class IsFolderWritableTest : public ::testing::Test {
  protected:
    void SetUp() override { folder_ = testing_files::MakeTempDir(); }
    void TearDown() override { testing_files::RemoveTree(folder_); }

    std::string folder_;
};

TEST_F(IsFolderWritableTest, FreshFolderIsWritableAndKeepsNothing) {
    EXPECT_TRUE(IsFolderWritable(folder_.c_str()));
    EXPECT_TRUE(testing_files::ListDir(folder_).empty());
}

TEST_F(IsFolderWritableTest, MissingFolderIsNot) {
    const std::string missing = testing_files::Join(folder_, "missing");
    EXPECT_FALSE(IsFolderWritable(missing.c_str()));
    EXPECT_FALSE(testing_files::FileExists(missing));
}

TEST_F(IsFolderWritableTest, PathThroughARegularFileIsNot) {
    const std::string file = testing_files::Join(folder_, "file");
    testing_files::WriteFile(file, {'x'});
    EXPECT_FALSE(IsFolderWritable(testing_files::Join(file, "sub").c_str()));
    EXPECT_EQ(std::vector<std::string>{"file"}, testing_files::ListDir(folder_));
}

}  // namespace
