#pragma once
// The window, control and thread services the program needs from its desktop platform.
//
// Controls and windows are addressed by their names (UTF-8 identifiers such as "编辑框1"); the
// texts they hold are code page 936. Every event handler runs on the user-interface thread. A
// worker thread may call get_text and append_text: both are carried out on the user-interface
// thread while the worker waits.

#include "runtime/text.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace tavelin {

/// A window's or control's name, as its object name (UTF-8).
using ControlName = std::string_view;
/// A native window handle; 0 when there is none.
using NativeHandle = std::uintptr_t;

/// Modifier codes of register_hot_key; the program passes kNoModifier.
enum HotKeyModifier : int { kNoModifier = 0, kModCtrl = 1, kModShift = 2, kModAlt = 4 };
/// Virtual-key codes of the two keys the program registers.
inline constexpr int kVirtualKeyF1 = 112;
inline constexpr int kVirtualKeyF3 = 114;
/// The first hot-key identifier handed out; later registrations take the following numbers.
inline constexpr int kFirstHotKeyId = 33001;

class Desktop {
public:
    using Handler = std::function<void()>;
    using FeedbackHandler = std::function<void(int, int)>;

    virtual ~Desktop() = default;

    // ---- event binding (before the window is loaded)

    /// Runs once after the window and its controls exist.
    virtual void on_created(ControlName window, Handler handler) = 0;
    /// Runs when the button or picture button is clicked.
    virtual void on_click(ControlName control, Handler handler) = 0;
    /// Runs after each change of the edit box's text.
    virtual void on_content_changed(ControlName control, Handler handler) = 0;
    /// Runs when the label receives feedback (a hot key: its identifier and 0).
    virtual void on_feedback(ControlName control, FeedbackHandler handler) = 0;

    // ---- controls

    /// The control's whole text; empty when it has none or does not exist. Any thread.
    [[nodiscard]] virtual Text get_text(ControlName control) = 0;
    /// Replaces the text, then runs the content-changed handler exactly once before returning,
    /// also when the text is unchanged.
    virtual void set_text(ControlName control, const Text& text) = 0;
    /// Appends at the end; the handler runs once when the text changed. From a worker thread it
    /// returns after the handler has ended on the user-interface thread. Empty text: no change.
    virtual void append_text(ControlName control, const Text& text) = 0;
    /// The button shows the new caption.
    virtual void set_caption(ControlName control, const Text& caption) = 0;
    /// The browser box goes to the address.
    virtual void set_address(ControlName control, const Text& address) = 0;

    // ---- windows

    /// A task-modal box titled "信息：" with one OK button and no icon; returns when closed.
    /// Events keep being served meanwhile.
    virtual void show_message(const Text& message) = 0;
    /// Creates and shows the window. Modal: the other windows take no input and the call returns
    /// after it has closed. False when the window cannot be created.
    virtual bool load_window(ControlName window, bool modal) = 0;
    /// The native handle of a window or control; 0 when unknown.
    [[nodiscard]] virtual NativeHandle window_handle(ControlName name) = 0;
    /// A system-wide hot key that fires the label's feedback event with its identifier and 0.
    /// Returns the identifier (from kFirstHotKeyId on), or 0 when the platform refuses it.
    virtual int register_hot_key(NativeHandle window, NativeHandle label, int modifiers,
                                 int virtual_key) = 0;

    // ---- threads, shell, network

    /// Runs the routine on a new detached thread; false when none could be started.
    virtual bool start_thread(std::function<void()> routine) = 0;
    /// Opens the address in the user's default browser.
    virtual void open_address(const Text& address) = 0;
    /// One plain GET of the address; the body, empty on failure.
    [[nodiscard]] virtual Bytes read_web_file(const Text& address) = 0;
    /// Shows the "错误" box with the message and ends the program with exit code -1.
    [[noreturn]] virtual void fatal_error(const Text& message) = 0;
};

} // namespace tavelin
