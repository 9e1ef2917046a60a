#pragma once
// Merging the cookie set a caller sent with the cookies a response set. Entries are name=value
// texts separated by ";"; names and entries compare byte for byte.

#include "runtime/text.h"

#include <cstdint>
#include <string_view>

namespace tavelin {

/// Merges the response's cookies into the sent ones: both variables lose their spaces, cookies
/// receives the merged set (response entries first, "=deleted" ones dropped, duplicates once,
/// separated by "; "), and a copy of it is returned.
Text merge_cookies(Text& cookies, Text& response_cookies);

/// The entry's name: the text before its first "=" (the whole entry without one), trimmed.
[[nodiscard]] Text cookie_name(std::string_view entry);

/// Whether some entry of the list has exactly that name.
[[nodiscard]] bool has_cookie_named(const TextList& entries, std::string_view name);

/// The pieces of the text between separators, each distinct piece once in first-seen order,
/// joined by the separator.
[[nodiscard]] Text join_unique(std::string_view text, std::string_view separator);

/// 1-based index of the first entry equal to the given one; -1 when there is none.
[[nodiscard]] std::int32_t index_of_entry(const TextList& entries, std::string_view entry);

} // namespace tavelin
