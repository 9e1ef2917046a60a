#pragma once
// The skin library and the 33 skins the program carries inside itself.

#include <span>

namespace tavelin {

/// The number of skins carried; they are numbered from 1.
inline constexpr int kSkinCount = 33;

/// The bytes of the skin library (SkinH_EL.dll) as the program writes it beside itself.
[[nodiscard]] std::span<const unsigned char> skin_library_bytes();

/// The bytes of skin `number`; empty for a number outside 1 to kSkinCount.
[[nodiscard]] std::span<const unsigned char> skin_bytes(int number);

} // namespace tavelin
