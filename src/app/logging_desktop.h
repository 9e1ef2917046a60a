#pragma once
// A desktop that writes every text the program puts into a control, and every message it shows,
// to a log file, one line each, as UTF-8: "<control>\t<whole new text>" or "信息：\t<message>".
// Started with TAVELIN_TEXT_LOG=<file>; the end-to-end tests read the window through it.

#include "runtime/desktop.h"

#include <cstdio>
#include <mutex>

namespace tavelin {

class LoggingDesktop final : public Desktop {
public:
    /// Forwards to `inner`; logs to the file at `path` (nothing is logged when it cannot open).
    LoggingDesktop(Desktop& inner, const char* path);
    ~LoggingDesktop() override;

    void on_created(ControlName window, Handler handler) override;
    void on_click(ControlName control, Handler handler) override;
    void on_content_changed(ControlName control, Handler handler) override;
    void on_feedback(ControlName control, FeedbackHandler handler) override;
    Text get_text(ControlName control) override;
    void set_text(ControlName control, const Text& text) override;
    void append_text(ControlName control, const Text& text) override;
    void set_caption(ControlName control, const Text& caption) override;
    void set_address(ControlName control, const Text& address) override;
    void show_message(const Text& message) override;
    bool load_window(ControlName window, bool modal) override;
    NativeHandle window_handle(ControlName name) override;
    int register_hot_key(NativeHandle window, NativeHandle label, int modifiers,
                         int virtual_key) override;
    bool start_thread(std::function<void()> routine) override;
    void open_address(const Text& address) override;
    Bytes read_web_file(const Text& address) override;
    [[noreturn]] void fatal_error(const Text& message) override;

private:
    void log(std::string_view what, const Text& text);

    Desktop& inner_;
    std::FILE* file_;
    std::mutex mutex_;
};

} // namespace tavelin
