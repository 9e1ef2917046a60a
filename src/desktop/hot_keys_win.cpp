// Hot keys on Windows: RegisterHotKey on a hidden message window of this thread, WM_HOTKEY caught
// in a native event filter.
#include "desktop/hot_keys.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <vector>
#include <windows.h>

namespace tavelin {
namespace {

UINT windows_modifiers(int modifiers) {
    UINT mask = MOD_NOREPEAT;
    if (modifiers & 1)
        mask |= MOD_CONTROL;
    if (modifiers & 2)
        mask |= MOD_SHIFT;
    if (modifiers & 4)
        mask |= MOD_ALT;
    return mask;
}

class WindowsHotKeys final : public HotKeys, public QAbstractNativeEventFilter {
public:
    WindowsHotKeys() { QCoreApplication::instance()->installNativeEventFilter(this); }
    ~WindowsHotKeys() override {
        for (std::size_t i = 0; i < keys_.size(); ++i)
            UnregisterHotKey(nullptr, kFirstId + static_cast<int>(i));
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool grab(int virtual_key, int modifiers, Pressed pressed) override {
        const int id = kFirstId + static_cast<int>(keys_.size());
        // A null window posts WM_HOTKEY to this thread's queue, which Qt's loop reads.
        if (!RegisterHotKey(nullptr, id, windows_modifiers(modifiers),
                            static_cast<UINT>(virtual_key)))
            return false;
        keys_.push_back(std::move(pressed));
        return true;
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "windows_generic_MSG")
            return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message != WM_HOTKEY)
            return false;
        const int index = static_cast<int>(msg->wParam) - kFirstId;
        if (index < 0 || index >= static_cast<int>(keys_.size()))
            return false;
        keys_[static_cast<std::size_t>(index)]();
        return true;
    }

private:
    static constexpr int kFirstId = 0xB000;
    std::vector<Pressed> keys_;
};

} // namespace

std::unique_ptr<HotKeys> HotKeys::create() {
    return std::make_unique<WindowsHotKeys>();
}

} // namespace tavelin
