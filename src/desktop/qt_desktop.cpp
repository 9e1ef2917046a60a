#include "desktop/qt_desktop.h"

#include "desktop/browser_box.h"
#include "desktop/qt_text.h"
#include "web/internet.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMovie>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextEdit>
#include <QThread>
#include <QUrl>
#include <cstdlib>
#include <thread>

namespace tavelin {
namespace {

// Message boxes and captions show CR LF line ends as plain line breaks.
QString display_text(std::string_view cp936) {
    QString text = to_qstring(cp936);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QFont control_font(const ControlSpec& layout) {
    QFont font = QApplication::font();
    if (!layout.font.empty())
        font.setFamily(name_qstring(layout.font));
    if (layout.font_pixels > 0)
        font.setPixelSize(layout.font_pixels);
    return font;
}

} // namespace

QtDesktop::QtDesktop(std::vector<WindowSpec> windows)
    : layouts_(std::move(windows)), ui_context_(std::make_unique<QObject>()),
      hot_keys_(HotKeys::create()) {
    // The window data asks for 宋体; on this platform a Song-style CJK face stands in for it.
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing"),
                                QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("Noto Sans CJK SC")});
}

QtDesktop::~QtDesktop() {
    close_all();
}

void QtDesktop::close_all() {
    closing_ = true;
    std::vector<QWidget*> windows;
    for (const WindowSpec& layout : layouts_)
        if (auto it = widgets_.find(layout.name); it != widgets_.end())
            windows.push_back(it->second);
    widgets_.clear();
    for (QWidget* window : windows)
        delete window;
    release_browser_profile();
}

QWidget* QtDesktop::widget(ControlName name) const {
    auto it = widgets_.find(name);
    return it == widgets_.end() ? nullptr : it->second;
}

bool QtDesktop::on_ui(const std::function<void()>& routine) {
    if (closing_)
        return false;
    if (QThread::currentThread() == ui_context_->thread()) {
        routine();
        return true;
    }
    bool ran = false;
    QMetaObject::invokeMethod(
        ui_context_.get(),
        [&] {
            if (closing_)
                return;
            routine();
            ran = true;
        },
        Qt::BlockingQueuedConnection);
    return ran;
}

// ---- event binding

void QtDesktop::on_created(ControlName window, Handler handler) {
    created_[std::string(window)] = std::move(handler);
}
void QtDesktop::on_click(ControlName control, Handler handler) {
    clicks_[std::string(control)] = std::move(handler);
}
void QtDesktop::on_content_changed(ControlName control, Handler handler) {
    changed_[std::string(control)] = std::move(handler);
}
void QtDesktop::on_feedback(ControlName control, FeedbackHandler handler) {
    feedbacks_[std::string(control)] = std::move(handler);
}

void QtDesktop::fire_changed(const std::string& control) {
    auto it = changed_.find(control);
    if (it == changed_.end() || !it->second)
        return;
    Handler handler = it->second; // a handler may rebind while it runs
    handler();
}

void QtDesktop::fire_feedback(NativeHandle label, int id) {
    for (const auto& [name, widget] : widgets_) {
        if (reinterpret_cast<NativeHandle>(widget) != label)
            continue;
        auto it = feedbacks_.find(name);
        if (it != feedbacks_.end() && it->second) {
            FeedbackHandler handler = it->second;
            handler(id, 0);
        }
        return;
    }
}

// ---- controls

Text QtDesktop::get_text(ControlName control) {
    Text text;
    on_ui([&] {
        if (auto it = texts_.find(control); it != texts_.end())
            text = it->second;
    });
    return text;
}

void QtDesktop::set_text(ControlName control, const Text& text) {
    on_ui([&] {
        const std::string name(control);
        texts_[name] = text;
        QWidget* box = widget(control);
        {
            // The replacement is announced once, below, not by the widget's own signal.
            const QSignalBlocker blocker(box);
            if (auto* edit = qobject_cast<QTextEdit*>(box))
                edit->setPlainText(to_qstring(text));
            else if (auto* line = qobject_cast<QLineEdit*>(box))
                line->setText(to_qstring(text));
        }
        fire_changed(name);
    });
}

void QtDesktop::append_text(ControlName control, const Text& text) {
    if (text.empty())
        return;
    on_ui([&] {
        const std::string name(control);
        texts_[name] += text;
        QWidget* box = widget(control);
        {
            const QSignalBlocker blocker(box);
            if (auto* edit = qobject_cast<QTextEdit*>(box)) {
                edit->moveCursor(QTextCursor::End);
                edit->insertPlainText(to_qstring(text));
                edit->ensureCursorVisible();
            } else if (auto* line = qobject_cast<QLineEdit*>(box)) {
                line->end(false);
                line->insert(to_qstring(text));
            }
        }
        fire_changed(name);
    });
}

void QtDesktop::set_caption(ControlName control, const Text& caption) {
    on_ui([&] {
        if (auto* button = qobject_cast<QPushButton*>(widget(control)))
            button->setText(display_text(caption));
        else if (auto* label = qobject_cast<QLabel*>(widget(control)))
            label->setText(display_text(caption));
    });
}

void QtDesktop::set_address(ControlName control, const Text& address) {
    on_ui([&] {
        if (QWidget* browser = widget(control))
            browse_to(browser, to_qstring(address));
    });
}

// ---- windows

void QtDesktop::show_message(const Text& message) {
    on_ui([&] {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), display_text(message),
                        QMessageBox::Ok);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec(); // a nested loop: other events, hot keys included, are served meanwhile
    });
}

void QtDesktop::connect_click(QPushButton* button, const std::string& control) {
    QObject::connect(button, &QPushButton::clicked, button, [this, control] {
        if (auto it = clicks_.find(control); it != clicks_.end() && it->second) {
            Handler handler = it->second; // a handler may rebind while it runs
            handler();
        }
    });
}

QWidget* QtDesktop::build_control(const ControlSpec& layout, QWidget* parent) {
    QWidget* control = nullptr;
    const std::string name = layout.name;
    switch (layout.kind) {
    case ControlKind::EditBox:
        if (layout.multiline) {
            auto* edit = new QTextEdit(parent);
            edit->setAcceptRichText(false);
            edit->setUndoRedoEnabled(false);
            edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            if (layout.centred)
                edit->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
            if (!layout.border)
                edit->setFrameStyle(QFrame::NoFrame);
            edit->setPlainText(to_qstring(layout.text));
            QObject::connect(edit, &QTextEdit::textChanged, edit, [this, name, edit] {
                texts_[name] = from_qstring(edit->toPlainText());
                fire_changed(name);
            });
            control = edit;
        } else {
            auto* line = new QLineEdit(to_qstring(layout.text), parent);
            line->setFrame(layout.border);
            if (layout.centred)
                line->setAlignment(Qt::AlignCenter);
            QObject::connect(line, &QLineEdit::textChanged, line, [this, name](const QString& t) {
                texts_[name] = from_qstring(t);
                fire_changed(name);
            });
            control = line;
        }
        texts_[name] = layout.text;
        break;
    case ControlKind::Button: {
        auto* button = new QPushButton(display_text(layout.text), parent);
        connect_click(button, name);
        control = button;
        break;
    }
    case ControlKind::PictureButton: {
        auto* button = new QPushButton(parent);
        button->setFlat(true);
        button->setIcon(QIcon(name_qstring(layout.picture)));
        button->setIconSize(QSize(layout.width, layout.height));
        connect_click(button, name);
        control = button;
        break;
    }
    case ControlKind::Label:
        control = new QLabel(display_text(layout.text), parent);
        break;
    case ControlKind::PictureBox: {
        auto* label = new QLabel(parent);
        label->setAlignment(Qt::AlignCenter);
        const QString path = name_qstring(layout.picture);
        if (path.endsWith(QStringLiteral(".gif"), Qt::CaseInsensitive)) {
            auto* movie = new QMovie(path, QByteArray(), label);
            label->setMovie(movie);
            movie->start();
        } else if (!path.isEmpty()) {
            label->setPixmap(QPixmap(path));
        }
        control = label;
        break;
    }
    case ControlKind::Browser:
        control = make_browser_box(parent, to_qstring(layout.text));
        break;
    }
    control->setObjectName(name_qstring(name));
    control->setGeometry(layout.x, layout.y, layout.width, layout.height);
    control->setFont(control_font(layout));
    control->setEnabled(layout.enabled);
    if (layout.hand_cursor)
        control->setCursor(Qt::PointingHandCursor);
    widgets_[name] = control;
    return control;
}

QWidget* QtDesktop::build_window(const WindowSpec& layout) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (layout.minimize_button)
        flags |= Qt::WindowMinimizeButtonHint;
    auto* window = new QWidget(nullptr, flags);
    window->setObjectName(name_qstring(layout.name));
    window->setWindowTitle(to_qstring(layout.caption));
    window->setFixedSize(layout.width, layout.height);
    if (layout.centred) {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        window->move(screen.center() - QPoint(layout.width / 2, layout.height / 2));
    } else {
        window->move(layout.x, layout.y);
    }
    widgets_[layout.name] = window;
    std::vector<std::string> names{layout.name};
    for (const ControlSpec& control : layout.controls) {
        build_control(control, window);
        names.push_back(control.name);
    }
    QObject::connect(window, &QObject::destroyed, ui_context_.get(), [this, names] {
        for (const std::string& n : names) {
            widgets_.erase(n);
            texts_.erase(n);
        }
    });
    return window;
}

bool QtDesktop::load_window(ControlName name, bool modal) {
    bool loaded = false;
    on_ui([&] {
        const WindowSpec* layout = nullptr;
        for (const WindowSpec& s : layouts_)
            if (s.name == name)
                layout = &s;
        if (!layout)
            return;
        QWidget* window = build_window(*layout);
        window->setAttribute(Qt::WA_DeleteOnClose);
        loaded = true;
        if (auto it = created_.find(name); it != created_.end() && it->second) {
            Handler handler = it->second;
            handler();
        }
        if (!modal) {
            window->show();
            return;
        }
        window->setWindowModality(Qt::ApplicationModal);
        QEventLoop loop;
        QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
        window->show();
        loop.exec();
    });
    return loaded;
}

NativeHandle QtDesktop::window_handle(ControlName name) {
    NativeHandle handle = 0;
    on_ui([&] {
        QWidget* w = widget(name);
        if (!w)
            return;
        // Windows have their native id; a control is named by its widget, so that it does not
        // have to become a native window of its own.
        handle = w->isWindow() ? static_cast<NativeHandle>(w->winId())
                               : reinterpret_cast<NativeHandle>(w);
    });
    return handle;
}

int QtDesktop::register_hot_key(NativeHandle, NativeHandle label, int modifiers, int virtual_key) {
    int result = 0;
    on_ui([&] {
        // Every registration takes the next identifier, also one the platform refuses.
        const int id = next_hot_key_++;
        if (hot_keys_ && hot_keys_->grab(virtual_key, modifiers,
                                         [this, label, id] { fire_feedback(label, id); }))
            result = id;
    });
    return result;
}

// ---- threads, shell, network

bool QtDesktop::start_thread(std::function<void()> routine) {
    try {
        std::thread(std::move(routine)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void QtDesktop::open_address(const Text& address) {
    on_ui([&] { QDesktopServices::openUrl(QUrl(to_qstring(address))); });
}

Bytes QtDesktop::read_web_file(const Text& address) {
    return read_web_file_plain(address);
}

void QtDesktop::fatal_error(const Text& message) {
    const Text text = concat_text(cp936("运行时出错!\r\n\r\n错误信息："), message, "\r\n");
    QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"), display_text(text),
                    QMessageBox::Ok);
    box.exec();
    std::_Exit(-1);
}

} // namespace tavelin
