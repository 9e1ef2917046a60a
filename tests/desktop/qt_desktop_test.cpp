#include "desktop/qt_desktop.h"
#include "runtime/codepage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace tavelin {
namespace {

bool have_x11() {
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

void xdotool(const std::string& args) {
    ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args;
}

ControlSpec control_layout(const char* name, ControlKind kind, int x, int y, int w, int h,
                           bool multiline = false) {
    ControlSpec c;
    c.name = name;
    c.kind = kind;
    c.x = x;
    c.y = y;
    c.width = w;
    c.height = h;
    c.multiline = multiline;
    return c;
}

std::vector<WindowSpec> test_windows() {
    WindowSpec main;
    main.name = "主窗口";
    main.caption = cp936("测试窗口");
    main.width = 300;
    main.height = 200;
    main.controls = {control_layout("问题框", ControlKind::EditBox, 0, 0, 200, 60, true),
                     control_layout("链接框", ControlKind::EditBox, 0, 70, 200, 22),
                     control_layout("按钮", ControlKind::Button, 0, 100, 80, 30),
                     control_layout("标签", ControlKind::Label, 100, 100, 80, 30)};
    WindowSpec hint;
    hint.name = "提示";
    hint.centred = true;
    hint.width = 200;
    hint.height = 100;
    return {main, hint};
}

struct QtDesktopTest : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(desktop.load_window("主窗口", false)); }
    QtDesktop desktop{test_windows()};
};

TEST_F(QtDesktopTest, SetTextRunsTheHandlerOnceEachTimeEvenWhenUnchanged) {
    for (const char* box : {"问题框", "链接框"}) {
        SCOPED_TRACE(box);
        int runs = 0;
        Text seen;
        desktop.on_content_changed(box, [&] {
            ++runs;
            seen = desktop.get_text(box);
        });
        desktop.set_text(box, cp936("同一题"));
        EXPECT_EQ(runs, 1);
        desktop.set_text(box, cp936("同一题"));
        EXPECT_EQ(runs, 2);
        EXPECT_EQ(seen, cp936("同一题"));
        QTest::qWait(50); // a queued change signal would show up now
        EXPECT_EQ(runs, 2);
    }
}

TEST_F(QtDesktopTest, TypingInTheLinkBoxRunsTheHandler) {
    int runs = 0;
    desktop.on_content_changed("链接框", [&] { ++runs; });
    auto* line = qobject_cast<QLineEdit*>(desktop.widget("链接框"));
    ASSERT_NE(line, nullptr);
    line->setFocus();
    QTest::keyClicks(line, "ab");
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(desktop.get_text("链接框"), "ab");
}

TEST_F(QtDesktopTest, WorkerAppendRunsOnTheUiThreadAndReturnsAfterTheHandler) {
    desktop.set_text("问题框", "");
    std::atomic<bool> handler_done = false;
    std::thread::id handler_thread;
    desktop.on_content_changed("问题框", [&] {
        handler_thread = std::this_thread::get_id();
        QThread::msleep(100);
        handler_done = true;
    });
    std::atomic<bool> worker_done = false, done_seen_by_worker = false;
    Text read_by_worker;
    std::thread worker([&] {
        desktop.append_text("问题框", cp936("题目"));
        done_seen_by_worker = handler_done.load();
        read_by_worker = desktop.get_text("问题框");
        desktop.append_text("问题框", ""); // changes nothing
        worker_done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return worker_done.load(); }, 5000));
    worker.join();
    EXPECT_TRUE(done_seen_by_worker);
    EXPECT_EQ(handler_thread, std::this_thread::get_id());
    EXPECT_EQ(read_by_worker, cp936("题目"));
    EXPECT_EQ(qobject_cast<QTextEdit*>(desktop.widget("问题框"))->toPlainText(),
              QStringLiteral("题目"));
}

TEST_F(QtDesktopTest, ModalWindowBlocksTheOthersUntilClosed) {
    if (!have_x11())
        GTEST_SKIP() << "needs an X display";
    int clicks = 0;
    desktop.on_click("按钮", [&] { ++clicks; });
    QWidget* main = desktop.widget("主窗口");
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    const QPoint button = desktop.widget("按钮")->mapToGlobal(QPoint(40, 15));
    const std::string click =
        "mousemove " + std::to_string(button.x()) + " " + std::to_string(button.y()) + " click 1";

    bool blocked_click_ran = false;
    QTimer::singleShot(300, [&] {
        QWidget* hint = desktop.widget("提示");
        ASSERT_NE(hint, nullptr);
        EXPECT_EQ(QApplication::activeModalWidget(), hint);
        xdotool(click);
        QTest::qWait(300);
        blocked_click_ran = clicks > 0;
        hint->close();
    });
    ASSERT_TRUE(desktop.load_window("提示", true)); // returns once the hint window has closed
    EXPECT_FALSE(blocked_click_ran);
    EXPECT_EQ(desktop.widget("提示"), nullptr);
    xdotool(click);
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks == 1; }, 3000));
}

// A key press on the test's own focused window, seen or not.
struct KeyWatcher : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_F3)
            ++f3_presses;
        return false;
    }
    int f3_presses = 0;
};

TEST_F(QtDesktopTest, HotKeyReachesTheLabelWhateverHasTheFocusAndNotTheFocusedWindow) {
    if (!have_x11())
        GTEST_SKIP() << "needs an X display";
    std::vector<std::pair<int, int>> feedback;
    desktop.on_feedback("标签", [&](int a, int b) { feedback.emplace_back(a, b); });
    const NativeHandle window = desktop.window_handle("主窗口");
    const NativeHandle label = desktop.window_handle("标签");
    const int id = desktop.register_hot_key(window, label, kNoModifier, kVirtualKeyF3);
    EXPECT_GE(id, kFirstHotKeyId);

    QLineEdit other; // another window, with the focus
    KeyWatcher watcher;
    other.installEventFilter(&watcher);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    xdotool("windowfocus --sync " + std::to_string(other.winId()));

    xdotool("key F3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !feedback.empty(); }, 3000));
    EXPECT_EQ(feedback[0], std::make_pair(id, 0));
    EXPECT_EQ(watcher.f3_presses, 0);

    // The message box's own loop keeps serving the key.
    QTimer::singleShot(200, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("信息："));
        EXPECT_EQ(box->text(), QStringLiteral("提示内容"));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->buttons().size(), 1);
        xdotool("key F3");
        EXPECT_TRUE(QTest::qWaitFor([&] { return feedback.size() == 2; }, 3000));
        box->buttons().front()->click();
    });
    desktop.show_message(cp936("提示内容"));
    EXPECT_EQ(feedback.size(), 2u);
}

TEST_F(QtDesktopTest, KeyHeldByAnotherProgramIsRefusedAndTheOtherKeyStillWorks) {
    if (!have_x11())
        GTEST_SKIP() << "needs an X display";
    // Another X client takes F1 first.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(other);
    xcb_keycode_t* f1 = xcb_key_symbols_get_keycode(symbols, 0xFFBE);
    ASSERT_NE(f1, nullptr);
    xcb_generic_error_t* error =
        xcb_request_check(other, xcb_grab_key_checked(other, 1, root, 0, f1[0], XCB_GRAB_MODE_ASYNC,
                                                      XCB_GRAB_MODE_ASYNC));
    ASSERT_EQ(error, nullptr);
    std::free(f1);
    xcb_key_symbols_free(symbols);

    int f3_presses = 0;
    desktop.on_feedback("标签", [&](int, int) { ++f3_presses; });
    const NativeHandle window = desktop.window_handle("主窗口");
    const NativeHandle label = desktop.window_handle("标签");
    EXPECT_EQ(desktop.register_hot_key(window, label, kNoModifier, kVirtualKeyF1), 0);
    EXPECT_NE(desktop.register_hot_key(window, label, kNoModifier, kVirtualKeyF3), 0);
    xdotool("key F3");
    EXPECT_TRUE(QTest::qWaitFor([&] { return f3_presses == 1; }, 3000));
    xcb_disconnect(other);
}

} // namespace
} // namespace tavelin
