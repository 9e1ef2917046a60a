#pragma once
// System-wide hot keys. One implementation file per platform, chosen by the build.

#include <functional>
#include <memory>

namespace tavelin {

class HotKeys {
public:
    using Pressed = std::function<void()>;
    virtual ~HotKeys() = default;

    /// Takes the key (a Windows virtual-key code with modifier codes 1 Ctrl, 2 Shift, 4 Alt)
    /// for this program alone, wherever the focus is; `pressed` then runs on the UI thread.
    /// False when another program holds the key or the platform has no global keys.
    virtual bool grab(int virtual_key, int modifiers, Pressed pressed) = 0;

    /// The platform's hot keys; needs the QGuiApplication to exist.
    static std::unique_ptr<HotKeys> create();
};

} // namespace tavelin
