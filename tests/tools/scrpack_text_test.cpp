// Names as the packer takes them from paths and shows them from packages.
#include "tools/scrpack/scrpack_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

namespace {

bool NoLeadBytes(unsigned char) {
    return false;
}

// The lead bytes of code page 932.
bool Cp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

TEST(BaseNameTest, TakesTheTextAfterTheLastSeparator) {
    struct Case {
        const char* path;
        LeadByteTest isLead;
        const char* expected;
    };
    const Case cases[] = {
        {"show.scr", NoLeadBytes, "show.scr"},
        {"dir/show.scr", NoLeadBytes, "show.scr"},
        {"C:\\a\\b/show.scr", NoLeadBytes, "show.scr"},
        {"C:show.scr", NoLeadBytes, "show.scr"},
        {"dir/", NoLeadBytes, ""},
        // 0x95 0x5C is one character in code page 932; in a single-byte page 0x5C is '\\'.
        {"\x95\x5C.scr", Cp932LeadByte, "\x95\x5C.scr"},
        {"\x95\x5C.scr", NoLeadBytes, ".scr"},
        {"C:\\\x95\x5C\\\x83\x5C\x83\x74\x83\x67.scr", Cp932LeadByte,
         "\x83\x5C\x83\x74\x83\x67.scr"},
        {"dir\\\x95\x5C", Cp932LeadByte, "\x95\x5C"},
        // A lead byte at the very end has no trail byte to take.
        {"dir\\\x95", Cp932LeadByte, "\x95"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, BaseName(c.path, c.isLead)) << c.path;
    }
}

// Each name is stored in a block of exactly its length, so reading one byte more is caught.
TEST(PrintableNameTest, StopsAtTheStoredLengthAndShowsControlCharactersAsQuestionMarks) {
    struct Case {
        const char* label;
        std::string stored;
        const char* expected;
    };
    const Case cases[] = {
        {"terminated", std::string("show.scr\0", 9), "show.scr"},
        {"without its NUL", "show.scr", "show.scr"},
        {"NUL inside", std::string("ab\0cd", 5), "ab"},
        {"control characters", "a\tb\nc\x1B[2J\x7F", "a?b?c?[2J?"},
        {"no name", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PackageEntry entry = {uint32_t(c.stored.size()), nullptr, 0, 0};
        if (!c.stored.empty()) {
            entry.name = static_cast<char*>(malloc(c.stored.size()));
            memcpy(entry.name, c.stored.data(), c.stored.size());
        }
        EXPECT_EQ(c.expected, PrintableName(entry));
        free(entry.name);
    }
}

}  // namespace
