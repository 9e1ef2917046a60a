#pragma once
// Text primitives over code page 936 byte strings.
//
// Positions are 1-based, lengths count bytes and "not found" is -1. A byte of 0x80 or more is a
// lead byte that forms one character with the byte after it; "character-stepping" operations move
// over whole characters, counted from where their scan starts. Ignoring letter case folds only
// 0x41..0x5A, trail bytes included. Spaces are 0x20 and the full-width space 0xA1 0xA1.
// A missing text and the empty text are the same; nothing here throws or keeps state.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavelin {

using Text = std::string;  ///< code page 936 bytes, never a zero byte
using Bytes = std::string; ///< any bytes, zero bytes included
using TextList = std::vector<Text>;

// ---- comparing and measuring

/// Negative, 0 or positive by the first differing byte, compared as unsigned; a prefix sorts first.
[[nodiscard]] int text_compare(std::string_view a, std::string_view b);
/// Number of bytes before the first zero byte (the whole length when there is none).
[[nodiscard]] int text_len(std::string_view text);
/// Number of bytes.
[[nodiscard]] int bytes_len(std::string_view bytes);
/// True when both hold the same bytes; two empty buffers are equal.
[[nodiscard]] bool bytes_equal(std::string_view a, std::string_view b);
/// Number of elements.
[[nodiscard]] int list_len(const TextList& list);

// ---- building and converting

/// The texts joined in order.
template <class... Parts> [[nodiscard]] Text concat_text(const Parts&... parts) {
    Text out;
    (out.append(std::string_view(parts)), ...);
    return out;
}
/// The buffers joined in order.
template <class... Parts> [[nodiscard]] Bytes concat_bytes(const Parts&... parts) {
    Bytes out;
    (out.append(std::string_view(parts)), ...);
    return out;
}
/// The one-byte text of the code's low 8 bits; empty for a low byte of 0.
[[nodiscard]] Text char_text(int code);
/// n half-width spaces; empty for n <= 0.
[[nodiscard]] Text blank_text(int n);
/// n zero bytes; empty for n <= 0.
[[nodiscard]] Bytes zero_bytes(int n);
/// The bytes of the text.
[[nodiscard]] Bytes text_to_bytes(std::string_view text);
/// The bytes up to the first zero byte.
[[nodiscard]] Text bytes_to_text(std::string_view bytes);
/// Leading decimal integer after full-width folding and white space; 0 without digits; wraps in
/// 32 bits.
[[nodiscard]] std::int32_t text_to_int(std::string_view text);
/// The number rounded toward zero (clamped to the 32-bit range; NaN gives 0).
[[nodiscard]] std::int32_t truncate_to_int(double number);
/// Bitwise or of all arguments.
template <class... Ints> [[nodiscard]] constexpr std::int32_t bit_or(Ints... values) {
    return static_cast<std::int32_t>((0 | ... | static_cast<std::int32_t>(values)));
}

// ---- cutting (by bytes; may split a double-byte character)

/// The first n bytes; empty for n <= 0.
[[nodiscard]] Text left_text(std::string_view text, int n);
/// The last n bytes; empty for n <= 0.
[[nodiscard]] Text right_text(std::string_view text, int n);
/// count bytes from 1-based start; empty when start is outside the text or count <= 0.
[[nodiscard]] Text mid_text(std::string_view text, int start, int count);
/// The first n bytes; empty for n <= 0.
[[nodiscard]] Bytes left_bytes(std::string_view bytes, int n);

// ---- searching

/// Position of the first occurrence at or after start (default 1), character-stepping; -1 if none.
/// An empty sought text gives 1 when the searched region is not empty.
[[nodiscard]] int find_text(std::string_view text, std::string_view sought,
                            std::optional<int> start = std::nullopt,
                            std::optional<bool> ignore_case = std::nullopt);
/// Position of the last occurrence lying wholly before end (default: the whole text); -1 if none.
[[nodiscard]] int find_text_last(std::string_view text, std::string_view sought,
                                 std::optional<int> end = std::nullopt,
                                 std::optional<bool> ignore_case = std::nullopt);
/// Position of the first exact occurrence at or after start, byte by byte; -1 if none or if the
/// sought buffer is empty.
[[nodiscard]] int find_bytes(std::string_view bytes, std::string_view sought,
                             std::optional<int> start = std::nullopt);

// ---- transforming

/// ASCII capitals made small outside double-byte characters.
[[nodiscard]] Text to_lower(std::string_view text);
/// The text without leading and trailing spaces (and without a lone lead byte at its end).
[[nodiscard]] Text trim_spaces(std::string_view text);
/// The text without any spaces (and without a lone lead byte at its end).
[[nodiscard]] Text remove_spaces(std::string_view text);
/// The text with occurrences of sought replaced from start on, at most count times (default all;
/// negative never runs out). Case is ignored unless case_sensitive is true.
[[nodiscard]] Text replace_text(std::string_view text, std::string_view sought,
                                std::optional<std::string_view> replacement = std::nullopt,
                                std::optional<int> start = std::nullopt,
                                std::optional<int> count = std::nullopt,
                                std::optional<bool> case_sensitive = std::nullopt);
/// The pieces between separators (default ","), at most limit of them; inner empty pieces are
/// kept, a trailing empty one is not. Empty text or limit <= 0 gives an empty list.
[[nodiscard]] TextList split_text(std::string_view text,
                                  std::optional<std::string_view> separator = std::nullopt,
                                  std::optional<int> limit = std::nullopt);

} // namespace tavelin
