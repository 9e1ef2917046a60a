#include "runtime/text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tavelin {
namespace {

using Size = std::string_view::size_type;

unsigned char byte_at(std::string_view s, Size i) {
    return static_cast<unsigned char>(s[i]);
}

bool is_lead(unsigned char c) {
    return c >= 0x80;
}

// A lead byte with nothing after it: a character-stepping scan stops there.
bool lone_lead_at(std::string_view s, Size i) {
    return is_lead(byte_at(s, i)) && i + 1 == s.size();
}

// Width of the character starting at i (the caller has ruled out a lone lead byte).
Size char_width(std::string_view s, Size i) {
    return is_lead(byte_at(s, i)) ? 2 : 1;
}

unsigned char fold_case(unsigned char c) {
    return (c >= 0x41 && c <= 0x5A) ? static_cast<unsigned char>(c + 0x20) : c;
}

// Compares sought against the bytes of s at i; the caller guarantees they are there.
bool matches_at(std::string_view s, Size i, std::string_view sought, bool ignore_case) {
    if (!ignore_case) {
        return std::memcmp(s.data() + i, sought.data(), sought.size()) == 0;
    }
    for (Size k = 0; k < sought.size(); ++k) {
        if (fold_case(byte_at(s, i + k)) != fold_case(byte_at(sought, k))) {
            return false;
        }
    }
    return true;
}

// 0-based scan offset from an optional 1-based start; anything below 1 starts at the beginning.
Size start_offset(std::optional<int> start) {
    if (!start || *start < 1) {
        return 0;
    }
    return static_cast<Size>(*start) - 1;
}

bool is_space_at(std::string_view s, Size i) {
    const unsigned char c = byte_at(s, i);
    if (c == 0x20) {
        return true;
    }
    return c == 0xA1 && i + 1 < s.size() && byte_at(s, i + 1) == 0xA1;
}

} // namespace

// ---- comparing and measuring

int text_compare(std::string_view a, std::string_view b) {
    const Size common = std::min(a.size(), b.size());
    // memcmp orders bytes as unsigned char, which is what puts 0x80 and above after ASCII.
    const int c = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
    if (c != 0) {
        return c < 0 ? -1 : 1;
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

int text_len(std::string_view text) {
    const Size zero = text.find('\0');
    return static_cast<int>(zero == std::string_view::npos ? text.size() : zero);
}

int bytes_len(std::string_view bytes) {
    return static_cast<int>(bytes.size());
}

bool bytes_equal(std::string_view a, std::string_view b) {
    return a == b;
}

int list_len(const TextList& list) {
    return static_cast<int>(list.size());
}

// ---- building and converting

Text char_text(int code) {
    const char c = static_cast<char>(static_cast<unsigned>(code) & 0xFFu);
    return c == '\0' ? Text() : Text(1, c);
}

Text blank_text(int n) {
    return n <= 0 ? Text() : Text(static_cast<Size>(n), ' ');
}

Bytes zero_bytes(int n) {
    return n <= 0 ? Bytes() : Bytes(static_cast<Size>(n), '\0');
}

Bytes text_to_bytes(std::string_view text) {
    return Bytes(text);
}

Text bytes_to_text(std::string_view bytes) {
    return Text(bytes.substr(0, bytes.find('\0')));
}

std::int32_t text_to_int(std::string_view text) {
    // Full-width forms of the printable ASCII characters read as their half-width selves.
    Text folded;
    folded.reserve(text.size());
    for (Size i = 0; i < text.size();) {
        const unsigned char c = byte_at(text, i);
        if (!is_lead(c) || i + 1 == text.size()) {
            folded.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        const unsigned char t = byte_at(text, i + 1);
        if (c == 0xA3 && t >= 0xA1 && t <= 0xFE) {
            folded.push_back(static_cast<char>(t - 0x80));
        } else if (c == 0xA1 && t == 0xA1) {
            folded.push_back(' ');
        } else if (c == 0xA1 && t == 0xAB) {
            folded.push_back('~');
        } else if (c == 0xA1 && (t == 0xEE || t == 0xEF)) {
            folded.push_back('*');
        } else {
            folded.push_back(static_cast<char>(c));
            folded.push_back(static_cast<char>(t));
        }
        i += 2;
    }

    Size i = 0;
    while (i < folded.size() && std::strchr(" \t\n\v\f\r", folded[i]) != nullptr) {
        ++i;
    }
    bool negative = false;
    if (i < folded.size() && (folded[i] == '+' || folded[i] == '-')) {
        negative = folded[i] == '-';
        ++i;
    }
    // Unsigned arithmetic gives the 32-bit wrap-around without overflow being undefined.
    std::uint32_t value = 0;
    for (; i < folded.size() && folded[i] >= '0' && folded[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(folded[i] - '0');
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t truncate_to_int(double number) {
    if (std::isnan(number)) {
        return 0;
    }
    if (number >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (number <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(number);
}

// ---- cutting

Text left_text(std::string_view text, int n) {
    return n <= 0 ? Text() : Text(text.substr(0, static_cast<Size>(n)));
}

Text right_text(std::string_view text, int n) {
    if (n <= 0) {
        return Text();
    }
    const Size keep = std::min(text.size(), static_cast<Size>(n));
    return Text(text.substr(text.size() - keep));
}

Text mid_text(std::string_view text, int start, int count) {
    if (start < 1 || static_cast<Size>(start) > text.size() || count <= 0) {
        return Text();
    }
    return Text(text.substr(static_cast<Size>(start) - 1, static_cast<Size>(count)));
}

Bytes left_bytes(std::string_view bytes, int n) {
    return left_text(bytes, n);
}

// ---- searching

int find_text(std::string_view text, std::string_view sought, std::optional<int> start,
              std::optional<bool> ignore_case) {
    const Size offset = start_offset(start);
    const bool region_empty = offset >= text.size();
    if (sought.empty()) {
        // The answer is 1 whatever the start, as long as something is left to search.
        return region_empty ? -1 : 1;
    }
    if (region_empty) {
        return -1;
    }
    const bool fold = ignore_case.value_or(false);
    for (Size i = offset; text.size() - i >= sought.size();) {
        if (lone_lead_at(text, i)) {
            break;
        }
        if (matches_at(text, i, sought, fold)) {
            return static_cast<int>(i + 1);
        }
        i += char_width(text, i);
    }
    return -1;
}

int find_text_last(std::string_view text, std::string_view sought, std::optional<int> end,
                   std::optional<bool> ignore_case) {
    Size region = text.size();
    if (end) {
        region = *end <= 1 ? 0 : std::min(region, static_cast<Size>(*end) - 1);
    }
    if (sought.empty()) {
        return region > 0 ? 1 : -1;
    }
    const bool fold = ignore_case.value_or(false);
    int last = -1;
    // Character starts are only known by stepping from the beginning, so scan forwards.
    for (Size i = 0; i < text.size() && i + sought.size() <= region;) {
        if (lone_lead_at(text, i)) {
            break;
        }
        if (matches_at(text, i, sought, fold)) {
            last = static_cast<int>(i + 1);
        }
        i += char_width(text, i);
    }
    return last;
}

int find_bytes(std::string_view bytes, std::string_view sought, std::optional<int> start) {
    if (sought.empty()) {
        return -1;
    }
    const Size at = bytes.find(sought, start_offset(start));
    return at == std::string_view::npos ? -1 : static_cast<int>(at + 1);
}

// ---- transforming

Text to_lower(std::string_view text) {
    Text out(text);
    for (Size i = 0; i < out.size();) {
        const unsigned char c = byte_at(out, i);
        if (is_lead(c)) {
            i += 2; // a lone lead byte at the end stays as it is
            continue;
        }
        out[i] = static_cast<char>(fold_case(c));
        ++i;
    }
    return out;
}

Text trim_spaces(std::string_view text) {
    Size begin = 0;
    while (begin < text.size() && is_space_at(text, begin)) {
        begin += char_width(text, begin);
    }
    // Trailing spaces can only be recognised by stepping over the characters in front of them.
    Size end = text.size();
    Size run = std::string_view::npos;
    for (Size i = begin; i < text.size();) {
        if (lone_lead_at(text, i)) {
            run = std::string_view::npos; // dropping the lone byte keeps the spaces before it
            end = i;
            break;
        }
        if (is_space_at(text, i)) {
            if (run == std::string_view::npos) {
                run = i;
            }
        } else {
            run = std::string_view::npos;
        }
        i += char_width(text, i);
    }
    if (run != std::string_view::npos) {
        end = run;
    }
    return Text(text.substr(begin, end - begin));
}

Text remove_spaces(std::string_view text) {
    Text out;
    out.reserve(text.size());
    for (Size i = 0; i < text.size();) {
        if (lone_lead_at(text, i)) {
            break;
        }
        const Size width = char_width(text, i);
        if (!is_space_at(text, i)) {
            out.append(text.substr(i, width));
        }
        i += width;
    }
    return out;
}

Text replace_text(std::string_view text, std::string_view sought,
                  std::optional<std::string_view> replacement, std::optional<int> start,
                  std::optional<int> count, std::optional<bool> case_sensitive) {
    const Size offset = start_offset(start);
    // A negative count never runs out, like an absent one.
    int left = count.value_or(-1);
    if (text.empty() || sought.empty() || offset >= text.size() || left == 0) {
        return Text(text);
    }
    const std::string_view with = replacement.value_or(std::string_view());
    const bool fold = !case_sensitive.value_or(false);

    Text out(text.substr(0, offset));
    Size i = offset;
    while (i < text.size()) {
        if (text.size() - i < sought.size()) {
            out.append(text.substr(i));
            break;
        }
        if (lone_lead_at(text, i)) {
            break;
        }
        if (matches_at(text, i, sought, fold)) {
            out.append(with);
            i += sought.size();
            if (left > 0 && --left == 0) {
                out.append(text.substr(i));
                break;
            }
            continue;
        }
        const Size width = char_width(text, i);
        out.append(text.substr(i, width));
        i += width;
    }
    return out;
}

TextList split_text(std::string_view text, std::optional<std::string_view> separator,
                    std::optional<int> limit) {
    const std::string_view sep = separator.value_or(",");
    const Size max =
        !limit ? std::numeric_limits<Size>::max() : static_cast<Size>(std::max(*limit, 0));
    TextList list;
    if (text.empty() || max == 0) {
        return list;
    }
    if (sep.empty()) {
        list.emplace_back(text);
        return list;
    }
    Size piece = 0;
    for (Size i = 0; text.size() - i >= sep.size();) {
        if (lone_lead_at(text, i)) {
            break;
        }
        if (std::memcmp(text.data() + i, sep.data(), sep.size()) == 0) {
            list.emplace_back(text.substr(piece, i - piece));
            if (list.size() == max) {
                return list;
            }
            i += sep.size();
            piece = i;
            continue;
        }
        i += char_width(text, i);
    }
    if (piece < text.size()) {
        list.emplace_back(text.substr(piece));
    }
    return list;
}

} // namespace tavelin
