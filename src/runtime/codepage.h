#pragma once
// Conversions between code page 936 (the program's texts), UTF-16 and UTF-8.
// Lengths are explicit everywhere: zero bytes and zero units pass through like any other.

#include "runtime/text.h"

#include <string>
#include <string_view>

namespace tavelin::codepage {

/// UTF-16 units of a code page 936 text; invalid sequences become U+FFFD.
[[nodiscard]] std::u16string utf16_from_cp936(std::string_view cp936);
/// Code page 936 bytes of UTF-16 units, composed (NFC) first; unmappable characters become '?'.
[[nodiscard]] Bytes cp936_from_utf16(std::u16string_view utf16);
/// UTF-16 units of UTF-8 bytes; each invalid sequence becomes U+FFFD.
[[nodiscard]] std::u16string utf16_from_utf8(std::string_view utf8);
/// UTF-8 bytes of UTF-16 units; unpaired surrogates become U+FFFD.
[[nodiscard]] std::string utf8_from_utf16(std::u16string_view utf16);
/// UTF-8 bytes of a code page 936 text.
[[nodiscard]] std::string utf8_from_cp936(std::string_view cp936);
/// Code page 936 bytes of UTF-8 (through UTF-16, composed first).
[[nodiscard]] Bytes cp936_from_utf8(std::string_view utf8);

} // namespace tavelin::codepage

namespace tavelin {
/// A code page 936 text from a UTF-8 literal: the one way Chinese literals enter the program.
[[nodiscard]] inline Text cp936(std::string_view utf8) {
    return codepage::cp936_from_utf8(utf8);
}
} // namespace tavelin
