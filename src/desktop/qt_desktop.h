#pragma once
// The desktop services over Qt Widgets. Lives on the user-interface thread (the one that made
// the QApplication); workers reach it through get_text and append_text only.

#include "desktop/hot_keys.h"
#include "desktop/window_spec.h"
#include "runtime/desktop.h"

#include <atomic>
#include <map>
#include <memory>
#include <string>

class QObject;
class QPushButton;
class QWidget;

namespace tavelin {

class QtDesktop final : public Desktop {
public:
    /// The windows that load_window can create, by name.
    explicit QtDesktop(std::vector<WindowSpec> windows);
    ~QtDesktop() override;

    /// Closes every window and releases the widgets (the browser box saves its cookies). After
    /// this, calls from workers that are still running return at once without effect.
    void close_all();

    /// The widget of a control or window, for tests; nullptr when it does not exist.
    [[nodiscard]] QWidget* widget(ControlName name) const;

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
    /// Runs the routine on the UI thread and waits for it; at once when already there. False
    /// (routine not run) once close_all has begun.
    bool on_ui(const std::function<void()>& routine);
    QWidget* build_window(const WindowSpec& layout);
    QWidget* build_control(const ControlSpec& layout, QWidget* parent);
    void connect_click(QPushButton* button, const std::string& control);
    void fire_changed(const std::string& control);
    void fire_feedback(NativeHandle label, int id);

    std::vector<WindowSpec> layouts_;
    std::unique_ptr<QObject> ui_context_;
    std::map<std::string, QWidget*, std::less<>> widgets_;
    std::map<std::string, Text, std::less<>> texts_; // edit boxes' texts as the program knows them
    std::map<std::string, Handler, std::less<>> created_, clicks_, changed_;
    std::map<std::string, FeedbackHandler, std::less<>> feedbacks_;
    std::unique_ptr<HotKeys> hot_keys_;
    int next_hot_key_ = kFirstHotKeyId;
    std::atomic<bool> closing_ = false;
};

} // namespace tavelin
