#include "app/logging_desktop.h"

#include "runtime/codepage.h"

#include <cstdlib>

namespace tavelin {

LoggingDesktop::LoggingDesktop(Desktop& inner, const char* path)
    : inner_(inner), file_(std::fopen(path, "a")) {}

LoggingDesktop::~LoggingDesktop() {
    if (file_)
        std::fclose(file_);
}

void LoggingDesktop::log(std::string_view what, const Text& text) {
    if (!file_)
        return;
    std::string line = codepage::utf8_from_cp936(text);
    // One entry per line: line breaks inside a text are written as \n and \r.
    std::string escaped;
    for (char c : line) {
        if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else if (c == '\\')
            escaped += "\\\\";
        else
            escaped += c;
    }
    std::lock_guard lock(mutex_);
    std::fprintf(file_, "%.*s\t%s\n", static_cast<int>(what.size()), what.data(), escaped.c_str());
    std::fflush(file_);
}

void LoggingDesktop::on_created(ControlName window, Handler handler) {
    inner_.on_created(window, std::move(handler));
}
void LoggingDesktop::on_click(ControlName control, Handler handler) {
    inner_.on_click(control, std::move(handler));
}
void LoggingDesktop::on_content_changed(ControlName control, Handler handler) {
    // Logged before the handler runs, so the log keeps the order in which texts changed.
    inner_.on_content_changed(control, [this, control, handler = std::move(handler)] {
        log(control, inner_.get_text(control));
        if (handler)
            handler();
    });
}
void LoggingDesktop::on_feedback(ControlName control, FeedbackHandler handler) {
    inner_.on_feedback(control, std::move(handler));
}
Text LoggingDesktop::get_text(ControlName control) {
    return inner_.get_text(control);
}
void LoggingDesktop::set_text(ControlName control, const Text& text) {
    inner_.set_text(control, text);
}
void LoggingDesktop::append_text(ControlName control, const Text& text) {
    inner_.append_text(control, text);
}
void LoggingDesktop::set_caption(ControlName control, const Text& caption) {
    log(control, caption);
    inner_.set_caption(control, caption);
}
void LoggingDesktop::set_address(ControlName control, const Text& address) {
    log(control, address);
    inner_.set_address(control, address);
}
void LoggingDesktop::show_message(const Text& message) {
    log("信息：", message);
    inner_.show_message(message);
}
bool LoggingDesktop::load_window(ControlName window, bool modal) {
    return inner_.load_window(window, modal);
}
NativeHandle LoggingDesktop::window_handle(ControlName name) {
    return inner_.window_handle(name);
}
int LoggingDesktop::register_hot_key(NativeHandle window, NativeHandle label, int modifiers,
                                     int virtual_key) {
    const int id = inner_.register_hot_key(window, label, modifiers, virtual_key);
    log("hot key", Text(std::to_string(virtual_key) + " " + std::to_string(id)));
    return id;
}
bool LoggingDesktop::start_thread(std::function<void()> routine) {
    return inner_.start_thread(std::move(routine));
}
void LoggingDesktop::open_address(const Text& address) {
    inner_.open_address(address);
}
Bytes LoggingDesktop::read_web_file(const Text& address) {
    return inner_.read_web_file(address);
}
void LoggingDesktop::fatal_error(const Text& message) {
    log("错误", message);
    inner_.fatal_error(message);
    std::_Exit(-1); // not reached: the compiler cannot see through the virtual call
}

} // namespace tavelin
