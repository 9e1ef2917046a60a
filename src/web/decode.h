#pragma once
// Turning UTF-8 response bodies into the program's code page 936 texts.

#include "runtime/text.h"

#include <string_view>

namespace tavelin {

/// UTF-16 little-endian bytes (two per unit, no terminator) of UTF-8 bytes; invalid sequences
/// become U+FFFD; empty for empty input. Zero bytes are converted like any other.
[[nodiscard]] Bytes utf8_to_utf16(std::string_view utf8);

/// Code page 936 bytes of UTF-8 bytes, combining marks composed first; characters without a
/// code page 936 form become "?"; empty for empty input. Zero bytes are kept.
[[nodiscard]] Bytes utf8_to_cp936(std::string_view utf8);

} // namespace tavelin
