#include "mail/base64.h"

#include <gtest/gtest.h>
#include <string>

namespace tavelin {
namespace {

TEST(Base64Encode, MatchesTheStandardVectors) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0user\0pass", 10), "AHVzZXIAcGFzcw=="},
        {"\xff\xfe\xfd", "//79"},
        {"\xc3\xbb\xd3\xd0", "w7vT0A=="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        EXPECT_EQ(base64_encode(c.in), c.out);
    }
}

TEST(Base64Lines, CutsIntoLinesOfTheWidthEachEndingWithCrLf) {
    EXPECT_EQ(base64_lines(""), "");
    EXPECT_EQ(base64_lines("    "), "ICAgIA==\r\n");
    // 57 bytes fill exactly one line of 76 characters.
    EXPECT_EQ(base64_lines(std::string(57, 'a')),
              std::string(base64_encode(std::string(57, 'a'))) + "\r\n");
    const std::string long_text(100, 'a');
    const std::string encoded = base64_encode(long_text);
    ASSERT_EQ(encoded.size(), 136u);
    EXPECT_EQ(base64_lines(long_text),
              encoded.substr(0, 76) + "\r\n" + encoded.substr(76) + "\r\n");
    EXPECT_EQ(base64_lines("foobar", 4), "Zm9v\r\nYmFy\r\n");
}

} // namespace
} // namespace tavelin
