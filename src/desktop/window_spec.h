#pragma once
// Plain descriptions of windows and their controls, from which the Qt desktop builds widgets.
// The program's own control table (in app/) is written in these terms.

#include "runtime/text.h"

#include <string>
#include <vector>

namespace tavelin {

enum class ControlKind { EditBox, Button, Label, PictureBox, PictureButton, Browser };

struct ControlSpec {
    std::string name; ///< object name, UTF-8 ("编辑框1")
    ControlKind kind = ControlKind::Label;
    int x = 0, y = 0, width = 0, height = 0;
    Text text;           ///< initial text, caption, or the browser's start address (code page 936)
    std::string picture; ///< Qt resource path of a picture or animation
    std::string font;    ///< font family; empty for the default font
    int font_pixels = 0; ///< character height in pixels; 0 for the default
    bool enabled = true; ///< false: display only, the user can neither type nor select
    bool multiline = false;
    bool centred = false;
    bool border = true; ///< edit boxes: sunken border
    bool hand_cursor = false;
};

struct WindowSpec {
    std::string name; ///< UTF-8 ("启动窗口")
    Text caption;     ///< code page 936
    int x = 0, y = 0; ///< ignored when centred
    bool centred = false;
    int width = 0, height = 0; ///< outer size
    bool minimize_button = false;
    std::vector<ControlSpec> controls; ///< in creation order
};

} // namespace tavelin
