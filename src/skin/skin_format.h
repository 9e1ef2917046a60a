#pragma once
// Our skin file format, read by the skin library and written by the skin maker. Plain C++.
//
// A skin file, all integers little-endian:
//
//   offset  size  field
//        0     5  ".SHE" and a zero byte
//        5     1  format version (kSkinVersion)
//        6     2  reserved, zero
//        8     4  payload length in bytes
//       12     4  CRC-32 (IEEE 802.3, as zlib computes it) of the payload
//       16     n  payload: records of a 1-byte tag, a 4-byte length and that many bytes
//
// The file is exactly 16 + n bytes long. Records:
//
//   kTagName        the skin's name, UTF-8, 1..64 bytes without control characters; required
//   kTagStyle       the widget style to base the look on (ASCII letters and digits, 1..32);
//                   optional
//   kTagColour      5 bytes: colour group, colour role, red, green, blue; each pair of group and
//                   role at most once; the roles of kRequiredRoles must be given for kAllGroups
//   kTagStyleSheet  a Qt style sheet, UTF-8 without zero bytes, at most kMaxStyleSheet bytes;
//                   optional
//
// Each of name, style and style sheet appears at most once; any other tag makes the skin foreign.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavelin::skin {

/// The first bytes of every skin file.
inline constexpr std::array<unsigned char, 5> kSkinMagic = {'.', 'S', 'H', 'E', '\0'};
/// The one format version this reader knows.
inline constexpr std::uint8_t kSkinVersion = 1;
/// Bytes before the payload.
inline constexpr std::size_t kHeaderSize = 16;
/// The largest skin file read: far above any real one, small enough to parse in an instant.
inline constexpr std::size_t kMaxSkinSize = 1 << 20;
/// Longest name, style and style sheet, in bytes.
inline constexpr std::size_t kMaxName = 64;
inline constexpr std::size_t kMaxStyle = 32;
inline constexpr std::size_t kMaxStyleSheet = 256 * 1024;

/// Record tags.
enum Tag : std::uint8_t {
    kTagName = 1,
    kTagStyle = 2,
    kTagColour = 3,
    kTagStyleSheet = 4,
};

/// Which palette group a colour sets: all three, or only the disabled or inactive one.
enum class ColourGroup : std::uint8_t { kAll = 0, kDisabled = 1, kInactive = 2 };
inline constexpr int kGroupCount = 3;

/// Palette roles, numbered as in the file (not as any toolkit numbers them).
enum class ColourRole : std::uint8_t {
    kWindow = 1,
    kWindowText,
    kBase,
    kAlternateBase,
    kText,
    kButton,
    kButtonText,
    kBrightText,
    kHighlight,
    kHighlightedText,
    kToolTipBase,
    kToolTipText,
    kPlaceholderText,
    kLink,
    kLinkVisited,
    kLight,
    kMidlight,
    kMid,
    kDark,
    kShadow,
};
inline constexpr int kRoleCount = 20;

/// The roles a skin must give for all groups: enough to colour every control legibly.
inline constexpr std::array<ColourRole, 8> kRequiredRoles = {
    ColourRole::kWindow,    ColourRole::kWindowText,      ColourRole::kBase,
    ColourRole::kText,      ColourRole::kButton,          ColourRole::kButtonText,
    ColourRole::kHighlight, ColourRole::kHighlightedText,
};

/// A colour as the file stores it.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

/// One colour record.
struct Colour {
    ColourGroup group = ColourGroup::kAll;
    ColourRole role = ColourRole::kWindow;
    Rgb rgb;
    friend bool operator==(const Colour&, const Colour&) = default;
};

/// A skin as the library applies it; colours in file order.
struct Skin {
    std::string name;
    std::string style;
    std::vector<Colour> colours;
    std::string style_sheet;
    friend bool operator==(const Skin&, const Skin&) = default;
};

/// Why a skin was refused; kOk (0) when it was read. The values are the library's result codes.
enum SkinError : std::int32_t {
    kOk = 0,
    kNoSkin = 1,      ///< no address, or a length of 0 or less
    kForeign = 2,     ///< does not begin with ".SHE" and a zero byte
    kBadVersion = 3,  ///< a format version this reader does not know, or reserved bits set
    kBadLength = 4,   ///< shorter than its header, too big, or not the length it declares
    kBadChecksum = 5, ///< the payload's CRC-32 does not match
    kBadRecord = 6,   ///< a record runs past the end, is unknown, repeated or out of range
    kIncomplete = 7,  ///< no name, or a required colour is missing
};

/// The CRC-32 (IEEE 802.3, reflected, as zlib's crc32) of the bytes.
[[nodiscard]] std::uint32_t crc32(std::span<const unsigned char> bytes);

/// The skin in the bytes, or the reason it is refused (then `skin` is left empty).
struct ParsedSkin {
    SkinError error = kNoSkin;
    Skin skin;
};
[[nodiscard]] ParsedSkin parse_skin(std::span<const unsigned char> bytes);

/// The file bytes of a skin; empty when the skin would not pass parse_skin.
[[nodiscard]] std::vector<unsigned char> encode_skin(const Skin& skin);

/// A whole file around a payload of records: magic, version, length and checksum, unchecked.
[[nodiscard]] std::vector<unsigned char> seal_payload(std::span<const unsigned char> payload);

/// Relative luminance (WCAG 2) of a colour with channels from 0 to 255.
[[nodiscard]] double relative_luminance(double red, double green, double blue);
/// Contrast ratio (WCAG 2) of two relative luminances, from 1 to 21.
[[nodiscard]] double contrast_ratio(double luminance_a, double luminance_b);

} // namespace tavelin::skin
