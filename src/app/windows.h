#pragma once
// The program's two windows: the main window with its sixteen controls, and the hint window.

#include "desktop/window_spec.h"

namespace tavelin {

/// The main window, controls in creation order.
[[nodiscard]] WindowSpec main_window();
/// The hint window with its one picture.
[[nodiscard]] WindowSpec hint_window();

} // namespace tavelin
