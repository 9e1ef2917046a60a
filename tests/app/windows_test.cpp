#include "app/windows.h"
#include "desktop/qt_desktop.h"
#include "desktop/qt_text.h"
#include "exam/controls.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace tavelin {
namespace {

struct Expected {
    const char* name;
    const char* kind; // Qt class
    QRect geometry;
    const char* caption; // nullptr: not a captioned control
    int font_pixels;     // 0: the default font
};

// The main window's controls in creation order, as the window data gives them.
const Expected kControls[] = {
    {"编辑框2", "QTextEdit", {88, 120, 312, 64}, nullptr, 16},
    {"按钮7", "QPushButton", {424, 32, 96, 32}, "重新考试", 0},
    {"标签3", "QLabel", {0, 112, 72, 48}, "答案-->", 19},
    {"标签2", "QLabel", {0, 40, 80, 40}, "问题-->", 19},
    {"标签1", "QLabel", {120, 8, 152, 24}, "在此输入你的考试链接-->如", 0},
    {"图片框2", "QLabel", {608, 72, 88, 80}, nullptr, 0},
    {"图形按钮1", "QPushButton", {8, -8, 56, 48}, nullptr, 0},
    {"按钮2", "QPushButton", {808, 0, 80, 48}, "转到该考试页", 0},
    {"编辑框链接", "QLineEdit", {304, 8, 489, 22}, nullptr, 0},
    {"编辑框1", "QTextEdit", {88, 48, 312, 64}, nullptr, 16},
    {"按钮6",
     "QPushButton",
     {400, 152, 400, 32},
     "若该问题没有答案！请按此键！我们将尽快更新数据库",
     0},
    {"按钮5", "QPushButton", {712, 32, 88, 32}, "提示", 0},
    {"按钮1", "QPushButton", {824, 56, 120, 120}, "下一题\nF3", 29},
    {"按钮4", "QPushButton", {552, 32, 120, 32}, "发送链接请求代考", 0},
    {"按钮3", "QPushButton", {824, 56, 120, 120}, "下一题\nF3", 32},
    {"超文本浏览框1", "QWebEngineView", {-15, 184, 975, 488}, nullptr, 0},
};

TEST(MainWindow, ControlsAreBuiltFromTheTableInOrder) {
    QtDesktop desktop({main_window(), hint_window()});
    ASSERT_TRUE(desktop.load_window(kMainWindow, false));
    QWidget* window = desktop.widget(kMainWindow);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("TavelinV3.14")));
    EXPECT_EQ(window->size(), QSize(964, 695));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()); // a fixed frame
    EXPECT_EQ(window->pos(), QPoint(50, 50));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);

    const QObjectList children = window->children();
    std::vector<QWidget*> controls;
    for (QObject* child : children)
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->objectName().isEmpty())
            controls.push_back(w);
    ASSERT_EQ(controls.size(), std::size(kControls));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Expected& e = kControls[i];
        QWidget* c = controls[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(c->objectName(), QString::fromUtf8(e.name));
        EXPECT_STREQ(c->metaObject()->className(), e.kind);
        EXPECT_EQ(c->geometry(), e.geometry);
        EXPECT_TRUE(c->isVisibleTo(window));
        if (e.caption) {
            const QString text = qobject_cast<QPushButton*>(c)
                                     ? qobject_cast<QPushButton*>(c)->text()
                                     : qobject_cast<QLabel*>(c)->text();
            EXPECT_EQ(text, QString::fromUtf8(e.caption));
        }
        if (e.font_pixels) {
            EXPECT_EQ(c->font().pixelSize(), e.font_pixels);
        }
    }
}

TEST(MainWindow, DisplayBoxesAndLinkBox) {
    QtDesktop desktop({main_window(), hint_window()});
    ASSERT_TRUE(desktop.load_window(kMainWindow, false));
    for (ControlName name : {kQuestionBox, kAnswerBox}) {
        auto* box = qobject_cast<QTextEdit*>(desktop.widget(name));
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->isEnabled()); // display only
        EXPECT_EQ(box->frameShape(), QFrame::NoFrame);
        EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_EQ(box->document()->defaultTextOption().alignment(), Qt::AlignHCenter);
        EXPECT_EQ(desktop.get_text(name), "");
    }
    auto* link = qobject_cast<QLineEdit*>(desktop.widget(kLinkBox));
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->isEnabled());
    EXPECT_TRUE(link->hasFrame());
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^https?://[^/]+/exam/exam-[0-9a-f]{32}-7\\.htm\\?spm="))
            .match(link->text())
            .hasMatch())
        << link->text().toStdString();
    EXPECT_EQ(desktop.get_text(kLinkBox), from_qstring(link->text()));
    for (ControlName name : {kNextButton, kNextButtonTwin})
        EXPECT_EQ(desktop.widget(name)->cursor().shape(), Qt::PointingHandCursor);
}

TEST(HintWindow, ShowsItsPictureCentred) {
    const WindowSpec hint = hint_window();
    EXPECT_TRUE(hint.centred);
    EXPECT_EQ(QSize(hint.width, hint.height), QSize(706, 400));
    ASSERT_EQ(hint.controls.size(), 1u);
    EXPECT_EQ(hint.controls[0].name, std::string(kHintPicture));
    const QPixmap picture(QString::fromStdString(hint.controls[0].picture));
    EXPECT_EQ(picture.size(), QSize(701, 394));
}

} // namespace
} // namespace tavelin
