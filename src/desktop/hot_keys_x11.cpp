// Hot keys on X11: a passive grab of the key on the root window, so the key reaches this program
// whichever window has the focus, and no other window sees it. The grab is made for the
// combinations of Caps Lock and Num Lock too, since X11 matches modifier states exactly.
#include "desktop/hot_keys.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace tavelin {
namespace {

constexpr std::uint16_t kIgnoredModifiers[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                               XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

// Windows virtual-key codes to X keysyms, for the keys a user may register.
xcb_keysym_t keysym_of(int virtual_key) {
    if (virtual_key >= 0x70 && virtual_key <= 0x87) // F1..F24
        return 0xFFBE + static_cast<xcb_keysym_t>(virtual_key - 0x70);
    if ((virtual_key >= '0' && virtual_key <= '9'))
        return static_cast<xcb_keysym_t>(virtual_key);
    if (virtual_key >= 'A' && virtual_key <= 'Z')
        return static_cast<xcb_keysym_t>(virtual_key - 'A' + 'a');
    return 0;
}

std::uint16_t x11_modifiers(int modifiers) {
    std::uint16_t mask = 0;
    if (modifiers & 1)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & 2)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & 4)
        mask |= XCB_MOD_MASK_1;
    return mask;
}

class X11HotKeys final : public HotKeys, public QAbstractNativeEventFilter {
public:
    X11HotKeys(xcb_connection_t* connection, xcb_window_t root)
        : connection_(connection), root_(root), symbols_(xcb_key_symbols_alloc(connection)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~X11HotKeys() override {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        xcb_key_symbols_free(symbols_);
    }

    bool grab(int virtual_key, int modifiers, Pressed pressed) override {
        const xcb_keysym_t keysym = keysym_of(virtual_key);
        if (keysym == 0 || !symbols_)
            return false;
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols_, keysym);
        if (!codes)
            return false;
        const xcb_keycode_t code = codes[0];
        std::free(codes);
        if (code == XCB_NO_SYMBOL)
            return false;

        const std::uint16_t mask = x11_modifiers(modifiers);
        std::vector<xcb_void_cookie_t> cookies;
        for (std::uint16_t extra : kIgnoredModifiers)
            cookies.push_back(xcb_grab_key_checked(connection_, 1, root_, mask | extra, code,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        bool refused = false;
        for (xcb_void_cookie_t cookie : cookies) {
            if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
                refused = true; // BadAccess: another client holds the key
                std::free(error);
            }
        }
        if (refused) {
            for (std::uint16_t extra : kIgnoredModifiers)
                xcb_ungrab_key(connection_, code, root_, mask | extra);
            xcb_flush(connection_);
            return false;
        }
        keys_.push_back({code, mask, std::move(pressed)});
        return true;
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t")
            return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
            return false;
        auto* press = static_cast<xcb_key_press_event_t*>(message);
        if (press->event != root_)
            return false;
        const std::uint16_t state = press->state & ~(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2) & 0xFF;
        for (const Key& key : keys_) {
            if (key.code == press->detail && key.modifiers == state) {
                key.pressed();
                return true;
            }
        }
        return false;
    }

private:
    struct Key {
        xcb_keycode_t code;
        std::uint16_t modifiers;
        Pressed pressed;
    };
    xcb_connection_t* connection_;
    xcb_window_t root_;
    xcb_key_symbols_t* symbols_;
    std::vector<Key> keys_;
};

// Used where there is no X11 connection (Wayland, offscreen): no key can be grabbed.
class NoHotKeys final : public HotKeys {
public:
    bool grab(int, int, Pressed) override { return false; }
};

} // namespace

std::unique_ptr<HotKeys> HotKeys::create() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return std::make_unique<NoHotKeys>();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup);
    if (!screen.rem)
        return std::make_unique<NoHotKeys>();
    return std::make_unique<X11HotKeys>(connection, screen.data->root);
}

} // namespace tavelin
