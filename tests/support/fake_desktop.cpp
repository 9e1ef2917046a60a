#include "support/fake_desktop.h"

#include <chrono>

namespace tavelin::test {

template <class H>
H FakeDesktop::bound(const std::map<std::string, H, std::less<>>& handlers, ControlName name) {
    std::lock_guard lock(mutex_);
    auto it = handlers.find(name);
    return it == handlers.end() ? H() : it->second;
}

FakeDesktop::FakeDesktop() : ui_([this] { ui_main(); }) {}

FakeDesktop::~FakeDesktop() {
    wait_for_threads();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    ui_.join();
}

void FakeDesktop::ui_main() {
    std::unique_lock lock(mutex_);
    pump_until([this] { return stopping_ && tasks_.empty(); }, lock);
}

void FakeDesktop::pump_until(const std::function<bool()>& done,
                             std::unique_lock<std::mutex>& lock) {
    while (!done()) {
        if (tasks_.empty()) {
            wake_.wait(lock);
            continue;
        }
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

void FakeDesktop::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void FakeDesktop::run_on_ui(const std::function<void()>& routine) {
    if (on_ui_thread()) {
        routine();
        return;
    }
    bool done = false;
    post([&] {
        routine();
        std::lock_guard lock(mutex_);
        done = true;
        wake_.notify_all();
    });
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [&] { return done; });
}

void FakeDesktop::wait_for_threads() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return running_threads_ == 0; });
}

void FakeDesktop::click(ControlName control) {
    const Handler handler = bound(clicks_, control);
    if (handler)
        run_on_ui(handler);
}

void FakeDesktop::feedback(ControlName control, int a, int b) {
    const FeedbackHandler handler = bound(feedbacks_, control);
    if (handler)
        run_on_ui([&] { handler(a, b); });
}

void FakeDesktop::type_text(ControlName control, const Text& text) {
    run_on_ui([&] {
        {
            std::lock_guard lock(mutex_);
            texts_[std::string(control)] = text;
        }
        fire_changed(control);
    });
}

void FakeDesktop::hold_messages(bool hold) {
    std::lock_guard lock(mutex_);
    hold_messages_ = hold;
}

bool FakeDesktop::close_message() {
    std::unique_lock lock(mutex_);
    if (!wake_.wait_for(lock, std::chrono::seconds(10),
                        [this] { return open_boxes_ > closes_pending_; }))
        return false;
    ++closes_pending_;
    wake_.notify_all();
    return true;
}

std::vector<Text> FakeDesktop::messages() {
    std::lock_guard lock(mutex_);
    return messages_;
}

Text FakeDesktop::address(ControlName browser) {
    std::lock_guard lock(mutex_);
    auto it = addresses_.find(browser);
    return it == addresses_.end() ? Text() : it->second;
}

Text FakeDesktop::caption(ControlName control) {
    std::lock_guard lock(mutex_);
    auto it = captions_.find(control);
    return it == captions_.end() ? Text() : it->second;
}

std::vector<Text> FakeDesktop::opened_addresses() {
    std::lock_guard lock(mutex_);
    return opened_;
}

int FakeDesktop::content_changed_runs(ControlName control) {
    std::lock_guard lock(mutex_);
    auto it = changed_runs_.find(control);
    return it == changed_runs_.end() ? 0 : it->second;
}

void FakeDesktop::set_web_file(const Bytes& bytes) {
    std::lock_guard lock(mutex_);
    web_file_ = bytes;
}

void FakeDesktop::on_created(ControlName window, Handler handler) {
    std::lock_guard lock(mutex_);
    created_[std::string(window)] = std::move(handler);
}

void FakeDesktop::on_click(ControlName control, Handler handler) {
    std::lock_guard lock(mutex_);
    clicks_[std::string(control)] = std::move(handler);
}

void FakeDesktop::on_content_changed(ControlName control, Handler handler) {
    std::lock_guard lock(mutex_);
    changed_[std::string(control)] = std::move(handler);
}

void FakeDesktop::on_feedback(ControlName control, FeedbackHandler handler) {
    std::lock_guard lock(mutex_);
    feedbacks_[std::string(control)] = std::move(handler);
}

Text FakeDesktop::get_text(ControlName control) {
    Text text;
    run_on_ui([&] {
        std::lock_guard lock(mutex_);
        auto it = texts_.find(control);
        if (it != texts_.end())
            text = it->second;
    });
    return text;
}

void FakeDesktop::fire_changed(ControlName control) {
    {
        std::lock_guard lock(mutex_);
        ++changed_runs_[std::string(control)];
    }
    const Handler handler = bound(changed_, control);
    if (handler)
        handler();
}

void FakeDesktop::set_text(ControlName control, const Text& text) {
    type_text(control, text);
}

void FakeDesktop::append_text(ControlName control, const Text& text) {
    if (text.empty())
        return;
    run_on_ui([&] {
        {
            std::lock_guard lock(mutex_);
            texts_[std::string(control)] += text;
        }
        fire_changed(control);
    });
}

void FakeDesktop::set_caption(ControlName control, const Text& caption) {
    std::lock_guard lock(mutex_);
    captions_[std::string(control)] = caption;
}

void FakeDesktop::set_address(ControlName control, const Text& address) {
    std::lock_guard lock(mutex_);
    addresses_[std::string(control)] = address;
}

void FakeDesktop::show_message(const Text& message) {
    std::unique_lock lock(mutex_);
    messages_.push_back(message);
    wake_.notify_all();
    if (!hold_messages_)
        return;
    ++open_boxes_;
    wake_.notify_all();
    // A box on the UI thread keeps serving events, as a real nested message loop does.
    auto closed = [this] { return closes_pending_ > 0; };
    if (on_ui_thread())
        pump_until(closed, lock);
    else
        wake_.wait(lock, closed);
    --closes_pending_;
    --open_boxes_;
}

bool FakeDesktop::load_window(ControlName window, bool) {
    const Handler handler = bound(created_, window);
    if (handler)
        run_on_ui(handler);
    return true;
}

NativeHandle FakeDesktop::window_handle(ControlName name) {
    return std::hash<std::string_view>{}(name) | 1;
}

int FakeDesktop::register_hot_key(NativeHandle, NativeHandle, int, int) {
    std::lock_guard lock(mutex_);
    return next_hot_key_++;
}

bool FakeDesktop::start_thread(std::function<void()> routine) {
    {
        std::lock_guard lock(mutex_);
        ++running_threads_;
    }
    std::thread([this, routine = std::move(routine)] {
        routine();
        std::lock_guard lock(mutex_);
        --running_threads_;
        wake_.notify_all();
    }).detach();
    return true;
}

void FakeDesktop::open_address(const Text& address) {
    std::lock_guard lock(mutex_);
    opened_.push_back(address);
}

Bytes FakeDesktop::read_web_file(const Text&) {
    std::lock_guard lock(mutex_);
    return web_file_;
}

void FakeDesktop::fatal_error(const Text& message) {
    throw FatalErrorCalled(message);
}

} // namespace tavelin::test
