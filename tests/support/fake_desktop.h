#pragma once
// A desktop without windows for the exam logic's tests. It keeps a real user-interface thread:
// every handler runs there, and a worker's get_text and append_text are carried out there while
// the worker waits, as on the real desktop. Tests drive it like a user (click, feedback) and
// read what it showed (texts, messages, addresses).

#include "runtime/desktop.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tavelin::test {

/// Thrown by FakeDesktop::fatal_error so a test can see that the program would have ended.
struct FatalErrorCalled : std::runtime_error {
    explicit FatalErrorCalled(const Text& message) : std::runtime_error(message) {}
};

class FakeDesktop final : public Desktop {
public:
    FakeDesktop();
    ~FakeDesktop() override;

    // ---- what a user does (each waits until the handler has ended on the UI thread)
    void click(ControlName control);
    void feedback(ControlName control, int a, int b);
    /// Types a text into a control as a user would (fires content-changed once).
    void type_text(ControlName control, const Text& text);
    /// Runs a routine on the UI thread and waits for it.
    void run_on_ui(const std::function<void()>& routine);
    /// Waits until every thread started with start_thread has ended.
    void wait_for_threads();

    // ---- message boxes
    /// When held, show_message keeps its box open (serving events) until close_message.
    void hold_messages(bool hold);
    /// Closes the oldest open box; false when none opens within a few seconds.
    bool close_message();
    /// Every message shown so far, in order.
    [[nodiscard]] std::vector<Text> messages();

    // ---- what the program did
    [[nodiscard]] Text address(ControlName browser);
    [[nodiscard]] Text caption(ControlName control);
    [[nodiscard]] std::vector<Text> opened_addresses();
    [[nodiscard]] int content_changed_runs(ControlName control);
    /// Bytes that read_web_file returns.
    void set_web_file(const Bytes& bytes);

    // ---- Desktop
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
    bool on_ui_thread() const { return std::this_thread::get_id() == ui_.get_id(); }
    void post(std::function<void()> task);
    /// Runs queued tasks on the UI thread until done() holds.
    void pump_until(const std::function<bool()>& done, std::unique_lock<std::mutex>& lock);
    void fire_changed(ControlName control);
    /// The handler bound to the name, copied under the lock; empty when none is.
    template <class H>
    H bound(const std::map<std::string, H, std::less<>>& handlers, ControlName name);
    void ui_main();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;

    std::map<std::string, Text, std::less<>> texts_;
    std::map<std::string, Text, std::less<>> captions_;
    std::map<std::string, Text, std::less<>> addresses_;
    std::map<std::string, int, std::less<>> changed_runs_;
    std::map<std::string, Handler, std::less<>> created_, clicks_, changed_;
    std::map<std::string, FeedbackHandler, std::less<>> feedbacks_;
    std::vector<Text> messages_;
    std::vector<Text> opened_;
    int open_boxes_ = 0;
    int closes_pending_ = 0;
    bool hold_messages_ = false;
    int next_hot_key_ = kFirstHotKeyId;
    int running_threads_ = 0;
    Bytes web_file_;
    std::thread ui_;
};

} // namespace tavelin::test
