#include "mail/mime_words.h"

#include "mail/base64.h"

#include <algorithm>
#include <cstddef>

namespace tavelin {

namespace {
// 42 bytes make 56 Base64 characters: with "=?gb2312?B?" and "?=" a word of 69 characters, so
// even the first one, after "Subject: ", keeps its line within 78 characters.
constexpr std::size_t kWordBytes = 42;
} // namespace

Text header_line_text(std::string_view text) {
    Text out(text);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

bool is_ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

Text encode_header_words(std::string_view text) {
    if (is_ascii(text)) {
        return Text(text);
    }
    Text out;
    std::size_t start = 0;
    while (start < text.size()) {
        // Whole characters only: a word never ends between a lead byte and its trail byte.
        std::size_t end = start;
        while (end < text.size()) {
            const std::size_t step =
                static_cast<unsigned char>(text[end]) >= 0x80 && end + 1 < text.size() ? 2 : 1;
            if (end + step - start > kWordBytes) {
                break;
            }
            end += step;
        }
        if (!out.empty()) {
            out += "\r\n ";
        }
        out += "=?gb2312?B?";
        out += base64_encode(text.substr(start, end - start));
        out += "?=";
        start = end;
    }
    return out;
}

} // namespace tavelin
