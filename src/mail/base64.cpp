#include "mail/base64.h"

#include <algorithm>
#include <cstddef>

namespace tavelin {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
} // namespace

Text base64_encode(std::string_view bytes) {
    Text out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

Text base64_lines(std::string_view bytes, int line_width) {
    const Text encoded = base64_encode(bytes);
    const std::size_t width = static_cast<std::size_t>(std::max(line_width, 4));
    Text out;
    out.reserve(encoded.size() + (encoded.size() / width + 1) * 2);
    for (std::size_t at = 0; at < encoded.size(); at += width) {
        out.append(encoded, at, width);
        out += "\r\n";
    }
    return out;
}

} // namespace tavelin
