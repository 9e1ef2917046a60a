#include "runtime/codepage.h"

#include <gtest/gtest.h>

namespace tavelin {
namespace {

using codepage::cp936_from_utf16;
using codepage::cp936_from_utf8;
using codepage::utf16_from_cp936;
using codepage::utf16_from_utf8;
using codepage::utf8_from_cp936;

TEST(Codepage, Utf8ToCp936Table) {
    struct Row {
        const char* name;
        std::string utf8;
        std::string cp936;
    } rows[] = {
        {"chinese", "中文", "\xD6\xD0\xCE\xC4"},
        {"ascii unchanged", "abc 123", "abc 123"},
        {"euro is 0x80", "€", "\x80"},
        {"emoji unmappable", "a\xF0\x9F\x98\x80z", "a?z"},
        {"e + combining acute composes", "e\xCC\x81", "\xA8\xA6"},
        {"full-width space", "\xE3\x80\x80", "\xA1\xA1"},
        {"zero byte kept", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"invalid utf-8 becomes ?", "a\xFFz", "a?z"},
        {"empty", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(cp936_from_utf8(row.utf8), row.cp936);
    }
}

TEST(Codepage, InvalidUtf8BecomesReplacementCharacter) {
    EXPECT_EQ(utf16_from_utf8("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(utf16_from_utf8("\xE4\xB8"), u"\uFFFD");
}

TEST(Codepage, Cp936RoundTrip) {
    const std::string text = "\xD6\xD0\xCE\xC4 abc \xA3\xB8\xA3\xB0";
    EXPECT_EQ(utf16_from_cp936(text), u"中文 abc ８０");
    EXPECT_EQ(cp936_from_utf16(utf16_from_cp936(text)), text);
    EXPECT_EQ(utf8_from_cp936(text), "中文 abc ８０");
}

TEST(Codepage, Utf16CountsUnitsNotBytes) {
    EXPECT_EQ(utf16_from_cp936("\xD6\xD0"
                               "a")
                  .size(),
              2u);
    EXPECT_EQ(utf16_from_utf8("\xF0\x9F\x98\x80").size(), 2u);
}

TEST(Codepage, LiteralHelper) {
    EXPECT_EQ(cp936("信息："), "\xD0\xC5\xCF\xA2\xA3\xBA");
}

} // namespace
} // namespace tavelin
