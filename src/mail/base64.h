#pragma once
// Base64 (RFC 4648 alphabet, with padding) for login lines, encoded words and mail bodies.

#include "runtime/text.h"

#include <string_view>

namespace tavelin {

/// The Base64 text of the bytes, padded with "="; empty for empty bytes.
[[nodiscard]] Text base64_encode(std::string_view bytes);

/// The Base64 text of the bytes cut into lines of line_width characters (the last may be
/// shorter), each ending with CRLF; empty for empty bytes. line_width below 4 is taken as 4.
[[nodiscard]] Text base64_lines(std::string_view bytes, int line_width = 76);

} // namespace tavelin
