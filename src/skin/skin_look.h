#pragma once
// Turns a parsed skin into the running application's look (Qt).

#include "skin/skin_format.h"

#include <QPalette>
#include <cstdint>

namespace tavelin::skin {

/// The palette of the skin's colours; roles the skin leaves out are derived from its window and
/// button colours.
[[nodiscard]] QPalette skin_palette(const Skin& skin);

/// Gives the running QApplication the skin's style, palette and style sheet, in that order (a
/// new style resets the palette). Returns 0, or kNoApplication / kUnknownStyle with nothing
/// changed.
[[nodiscard]] std::int32_t apply_skin(const Skin& skin);

} // namespace tavelin::skin
