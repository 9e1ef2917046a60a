#pragma once
// Header texts of a mail: RFC 2047 encoded words for code page 936 subjects and display names.

#include "runtime/text.h"

#include <string_view>

namespace tavelin {

/// The text with every CR and LF made a space, so that it cannot start a new header line.
[[nodiscard]] Text header_line_text(std::string_view text);

/// The text as it goes into a header: unchanged when every byte is below 0x80, otherwise
/// "=?gb2312?B?...?=" encoded words of whole characters, joined by CRLF and a space when the
/// text needs more than one. Empty for the empty text.
[[nodiscard]] Text encode_header_words(std::string_view text);

/// True when every byte is below 0x80 (also for the empty text).
[[nodiscard]] bool is_ascii(std::string_view text);

} // namespace tavelin
