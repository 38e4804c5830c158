// The target rules with the lead-byte test they use by default: the system's ANSI code page.
// The suite runs once under the machine's usual code page and once under a double-byte one,
// which the run asks for with SCR_EXPECT_ACP.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "install/target_rules.h"

namespace {

// A character of code page 932 whose trail byte is '\\', and one whose trail byte is '|'. Both
// byte pairs are double-byte characters in the other double-byte code pages too.
#define HYOU "\x95\x5C"
#define PO "\x83\x7C"

bool SystemCodePageIsDoubleByte() {
    return IsDBCSLeadByte(0x95) != FALSE;
}

TEST(SystemCodePage, IsTheOneThisRunAskedFor) {
    const char* expected = getenv("SCR_EXPECT_ACP");
    if (expected == nullptr) {
        GTEST_SKIP() << "this run asks for no particular code page";
    }
    EXPECT_EQ(UINT(atoi(expected)), GetACP());
}

TEST(SystemCodePage, DefaultLeadByteTestIsTheSystems) {
    for (unsigned byte = 0; byte < 256; ++byte) {
        EXPECT_EQ(IsDBCSLeadByte(BYTE(byte)) != FALSE,
                  platform::IsSystemLeadByte(static_cast<unsigned char>(byte)))
            << "byte " << byte;
    }
    if (GetACP() == 932) {
        EXPECT_TRUE(platform::IsSystemLeadByte(0x81));
        EXPECT_TRUE(platform::IsSystemLeadByte(0xFC));
        EXPECT_FALSE(platform::IsSystemLeadByte(0xA0));
        EXPECT_FALSE(platform::IsSystemLeadByte('\\'));
    }
}

TEST(SystemCodePage, NameChecksStepOverDoubleByteCharacters) {
    const NameCheck expected =
        SystemCodePageIsDoubleByte() ? NameCheck::kOk : NameCheck::kForbiddenCharacter;
    EXPECT_EQ(expected, ValidateTargetName(HYOU ".scr"));
    EXPECT_EQ(expected, ValidateTargetName(PO ".scr"));
    EXPECT_EQ(NameCheck::kForbiddenCharacter, ValidateTargetName(HYOU "|.scr"));
}

TEST(SystemCodePage, PathSearchesStepOverDoubleByteCharacters) {
    const bool doubleByte = SystemCodePageIsDoubleByte();

    const char path[] = "C:\\dir\\" HYOU "x.scr";
    EXPECT_STREQ(doubleByte ? HYOU "x.scr" : "x.scr", FilePart(path));

    char changed[MAX_PATH];
    ASSERT_TRUE(ChangeExtension("C:\\dir\\a.b" HYOU, "scr", changed, sizeof changed));
    EXPECT_STREQ(doubleByte ? "C:\\dir\\a.scr" : "C:\\dir\\a.b" HYOU ".scr", changed);

    // A dot that is the second byte of a character does not start an extension.
    char name[kTargetNameSize] = "x\x81.scr";
    NormaliseTargetName(name);
    EXPECT_STREQ(doubleByte ? "x\x81.scr.scr" : "x\x81.scr", name);
}

}  // namespace
