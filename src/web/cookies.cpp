#include "web/cookies.h"

namespace tavelin {
namespace {

// A server deletes a cookie by setting it to this value.
constexpr std::string_view kDeletedSuffix = "=deleted";

bool is_deleted(std::string_view entry) {
    return text_len(entry) >= text_len(kDeletedSuffix) &&
           right_text(entry, text_len(kDeletedSuffix)) == kDeletedSuffix;
}

} // namespace

Text merge_cookies(Text& cookies, Text& response_cookies) {
    cookies = remove_spaces(cookies);
    response_cookies = remove_spaces(response_cookies);

    TextList merged = split_text(response_cookies, ";");
    // The test sees the old entries already appended, so only the first of a name is kept.
    for (const Text& old_entry : split_text(cookies, ";")) {
        if (!has_cookie_named(merged, cookie_name(old_entry)))
            merged.push_back(old_entry);
    }

    Text result;
    for (const Text& entry : merged) {
        if (!is_deleted(entry))
            result += concat_text(entry, std::string_view("; "));
    }
    result = left_text(result, text_len(result) - 2);
    result = join_unique(result, "; ");

    cookies = result;
    return result;
}

Text cookie_name(std::string_view entry) {
    const int eq = find_text(entry, "=", std::nullopt, false);
    return trim_spaces(eq == -1 ? Text(entry) : left_text(entry, eq - 1));
}

bool has_cookie_named(const TextList& entries, std::string_view name) {
    for (const Text& entry : entries) {
        if (text_compare(cookie_name(entry), name) == 0)
            return true;
    }
    return false;
}

Text join_unique(std::string_view text, std::string_view separator) {
    TextList seen;
    Text result;
    for (const Text& piece : split_text(text, separator)) {
        if (index_of_entry(seen, piece) == -1) {
            seen.push_back(piece);
            result += concat_text(piece, separator);
        }
    }
    return left_text(result, text_len(result) - text_len(separator));
}

std::int32_t index_of_entry(const TextList& entries, std::string_view entry) {
    for (int i = 0; i < list_len(entries); ++i) {
        if (text_compare(entries[i], entry) == 0)
            return i + 1;
    }
    return -1;
}

} // namespace tavelin
