#include "mail/mime_words.h"
#include "runtime/codepage.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tavelin {
namespace {

std::string decode_base64(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const auto at = alphabet.find(c);
        if (at == std::string::npos) {
            break;
        }
        bits = bits << 6 | static_cast<unsigned>(at);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xff);
        }
    }
    return out;
}

// The encoded words of a header text, split at the CRLF-space between them.
std::vector<std::string> words_of(const std::string& header) {
    std::vector<std::string> words;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = header.find("\r\n ", start);
        words.push_back(header.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            return words;
        }
        start = end + 3;
    }
}

TEST(EncodeHeaderWords, LeavesAsciiAsItIs) {
    for (const std::string text :
         {"", "https://exam.tavelin.example/exam?id=7&t=a b", "=?not?an?encoded?word?=", "    "}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(encode_header_words(text), text);
    }
}

TEST(EncodeHeaderWords, EncodesAnyTextWithAHighByteAsGb2312Words) {
    EXPECT_EQ(encode_header_words(cp936("没有答案的问题")), "=?gb2312?B?w7vT0LTwsLi1xM7KzOI=?=");
    // One Chinese character makes the whole text an encoded word, ASCII included.
    EXPECT_EQ(encode_header_words(cp936("a客服")), "=?gb2312?B?Yb/Nt/4=?=");
}

TEST(EncodeHeaderWords, FoldsLongTextIntoWordsOfWholeCharacters) {
    const struct {
        const char* name;
        Text text;
    } cases[] = {
        {"sixty Chinese characters", cp936("这是一道很长很长的题目它的文字超过了一个编码词所能容纳"
                                           "的长度所以必须折成几行来发送才能符合规定的行长限制")},
        {"odd ASCII start shifts every boundary",
         cp936("a这是一道很长很长的题目它的文字超过了"
               "一个编码词所能容纳的长度所以必须折成几行")},
        {"lone lead byte at the end",
         cp936("这是一道很长很长的题目它的文字超过了一个编码词") + "\xb0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> words = words_of(encode_header_words(c.text));
        ASSERT_GT(words.size(), 1u);
        std::string joined;
        for (const std::string& word : words) {
            SCOPED_TRACE(word);
            ASSERT_EQ(word.rfind("=?gb2312?B?", 0), 0u);
            ASSERT_EQ(word.substr(word.size() - 2), "?=");
            EXPECT_LE(word.size(), 75u); // the limit of an encoded word
            const std::string bytes = decode_base64(word.substr(11, word.size() - 13));
            // A word never ends on a lead byte unless the text itself does.
            std::size_t i = 0;
            while (i < bytes.size()) {
                i += static_cast<unsigned char>(bytes[i]) >= 0x80 ? 2 : 1;
            }
            if (&word != &words.back()) {
                EXPECT_EQ(i, bytes.size());
            }
            joined += bytes;
        }
        EXPECT_EQ(joined, c.text);
    }
}

TEST(HeaderLineText, TurnsEveryCrAndLfIntoASpace) {
    EXPECT_EQ(header_line_text("a\r\nBcc: x@y\rz\n"), "a  Bcc: x@y z ");
    EXPECT_EQ(header_line_text(cp936("问题")), cp936("问题"));
}

} // namespace
} // namespace tavelin
