#pragma once
// The 33 skins, one row each: the few colours and the button shape from which the skin maker
// derives a whole palette and style sheet. Number n is row n; the program shows number 4.

#include <array>
#include <cstdint>

namespace tavelin::skin {

/// How buttons are drawn: a soft vertical gradient, one flat colour, or a light face with an
/// accent-coloured outline and caption.
enum class ButtonShape { kGloss, kFlat, kOutline };

struct Theme {
    const char* name;
    std::uint32_t window; ///< window background
    std::uint32_t text;   ///< labels and text on the window
    std::uint32_t base;   ///< edit boxes
    std::uint32_t accent; ///< buttons, selections, focus
    std::uint32_t panel;  ///< display-only (disabled) edit boxes
    ButtonShape shape;
    int radius; ///< corner radius of buttons and boxes, in pixels
};

using enum ButtonShape;

// clang-format off
inline constexpr std::array<Theme, 33> kThemes = {{
    //  name               window    text      base      accent    panel     shape     radius
    {"Silver",           0xECECEC, 0x202020, 0xFFFFFF, 0x555C66, 0xF8F8F8, kGloss,   3},
    {"Ocean",            0xDCE8F1, 0x0F2A3F, 0xFFFFFF, 0x1F6FA8, 0xF2F8FC, kFlat,    2},
    {"Forest",           0xE1EADB, 0x1E3318, 0xFBFDF9, 0x356A24, 0xF3F8EF, kGloss,   4},
    {"Sky",              0xE4EEF8, 0x173A5E, 0xFFFFFF, 0x1C66B4, 0xF7FBFF, kGloss,   6},
    {"Graphite",         0x2B2D31, 0xE6E6E6, 0x1E1F22, 0x3F7FE8, 0x35383D, kFlat,    4},
    {"Crimson",          0xF3E6E6, 0x3D0F12, 0xFFFDFD, 0xA8232B, 0xFBF3F3, kGloss,   3},
    {"Amber",            0xF6EEDC, 0x3A2A08, 0xFFFDF7, 0xB06F10, 0xFCF7EA, kGloss,   5},
    {"Lavender",         0xECE8F5, 0x2B1F4A, 0xFFFFFF, 0x6E4FB0, 0xF7F4FC, kFlat,    8},
    {"Mint",             0xE2F3EE, 0x103A30, 0xFFFFFF, 0x138066, 0xF1FAF7, kOutline, 6},
    {"Coffee",           0xE9E0D6, 0x3A2618, 0xFDFAF6, 0x7A4E2D, 0xF5EFE8, kGloss,   2},
    {"Midnight",         0x1B2233, 0xDBE4F3, 0x121826, 0x3A72D0, 0x242D42, kGloss,   5},
    {"Rose",             0xF7E6EC, 0x4A1429, 0xFFFAFC, 0xB23E6E, 0xFCF2F6, kFlat,   10},
    {"Teal",             0xDCEFEF, 0x0C3637, 0xFFFFFF, 0x106A66, 0xEFFAFA, kGloss,   4},
    {"Sand",             0xEFE7D6, 0x3B321D, 0xFFFCF4, 0x7D6430, 0xFFFAF0, kOutline, 3},
    {"Slate",            0xDDE2E8, 0x1F2A36, 0xFFFFFF, 0x465A72, 0xEEF2F6, kFlat,    0},
    {"Olive",            0xE8EAD8, 0x2C3010, 0xFDFDF6, 0x566217, 0xF5F6EA, kGloss,   3},
    {"Coral",            0xFBE9E3, 0x4A1D10, 0xFFFAF8, 0xC44A28, 0xFDF3EF, kFlat,    6},
    {"Ink",              0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000, 0xF0F0F0, kOutline, 0},
    {"Plum",             0x2A1F2D, 0xEADCEF, 0x1E1621, 0xB25CCA, 0x362939, kGloss,   6},
    {"Jade",             0xE0EFE6, 0x12331F, 0xFBFFFC, 0x237048, 0xF0F8F3, kOutline, 10},
    {"Blossom",          0xFBEFF3, 0x4B2233, 0xFFFFFF, 0xC4577D, 0xFFF7FA, kGloss,   8},
    {"Steel",            0xD7DDE3, 0x1B2530, 0xF7F9FB, 0x475E75, 0xE9EDF1, kGloss,   2},
    {"Maple",            0xF5E4D7, 0x3F1C0B, 0xFFFAF6, 0xA84314, 0xFBF0E8, kGloss,   4},
    {"Ice",              0xEEF6FB, 0x0F3146, 0xFFFFFF, 0x1F7DB3, 0xF7FBFE, kOutline, 4},
    {"Ember",            0x262626, 0xEEEEEE, 0x1A1A1A, 0xF08A24, 0x303030, kFlat,    2},
    {"Bamboo",           0xE9F0DC, 0x243314, 0xFCFFF6, 0x4F7A22, 0xF4F8EC, kFlat,    3},
    {"Porcelain",        0xF4F7FC, 0x13275C, 0xFFFFFF, 0x1D3F9A, 0xFFFFFF, kOutline, 2},
    {"Lemon",            0xFBF7DC, 0x3A3508, 0xFFFEF5, 0xE0C020, 0xFEFBE9, kGloss,   6},
    {"Dusk",             0x2C2438, 0xEFE3F5, 0x221B2C, 0xE07B53, 0x382E46, kGloss,   8},
    {"Emerald",          0x17261F, 0xD9EFE4, 0x101B16, 0x2FB57A, 0x213329, kFlat,    4},
    {"Sakura",           0x2E2227, 0xF6E3EA, 0x231A1E, 0xE88AA8, 0x3A2C32, kOutline, 8},
    {"Navy Gold",        0x1D2A44, 0xF3EAD2, 0x152036, 0xD4A93C, 0x26365A, kGloss,   3},
    {"Paper",            0xF8F5EE, 0x2B2721, 0xFFFEFB, 0x5B5346, 0xFDFBF6, kOutline, 0},
}};
// clang-format on

} // namespace tavelin::skin
