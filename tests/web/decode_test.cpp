#include "runtime/codepage.h"
#include "web/decode.h"

#include <gtest/gtest.h>

namespace tavelin {
namespace {

using namespace std::string_literals;

TEST(Utf8ToUtf16, GivesLittleEndianUnits) {
    EXPECT_EQ(utf8_to_utf16(""), "");
    EXPECT_EQ(utf8_to_utf16("A\xE4\xB8\xAD"), "A\0\x2D\x4E"s);         // A中
    EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x98\x80"), "\x3D\xD8\x00\xDE"s); // a surrogate pair
    EXPECT_EQ(utf8_to_utf16("a\0b"s), "a\0\0\0b\0"s);
}

TEST(Utf8ToCp936, ConvertsChineseAndKeepsAscii) {
    EXPECT_EQ(utf8_to_cp936(""), "");
    EXPECT_EQ(utf8_to_cp936("abc <p>"), "abc <p>");
    EXPECT_EQ(utf8_to_cp936("中文 ok"), "\xD6\xD0\xCE\xC4 ok"); // 中文
    EXPECT_EQ(utf8_to_cp936("中文"), cp936("中文"));
}

TEST(Utf8ToCp936, KeepsZeroBytesAndWhatFollows) {
    EXPECT_EQ(utf8_to_cp936("a\0中"s), "a\0\xD6\xD0"s);
}

TEST(Utf8ToCp936, ComposesAndReplacesWhatCp936Lacks) {
    EXPECT_EQ(utf8_to_cp936("e\xCC\x81"), "\xA8\xA6"); // e + combining acute -> é
    EXPECT_EQ(utf8_to_cp936("\xF0\x9F\x98\x80"), "?"); // an emoji has no code page 936 form
    EXPECT_EQ(utf8_to_cp936("a\xFF"
                            "b"),
              "a?b"); // invalid UTF-8
}

} // namespace
} // namespace tavelin
