// Draws a stand-in of the main window with a skin applied, for judging the skins by eye:
//   skin_preview <first number> <last number> <output directory>
// writes skinNN.png for each number. Run it with QT_QPA_PLATFORM=offscreen. The browser box is a
// plain frame here; everything else has the main window's geometry, texts and fonts.

#include "skin/skin_data.h"
#include "skin/skin_library.h"

#include <QApplication>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMovie>
#include <QPushButton>
#include <QTextEdit>
#include <cstdio>
#include <dlfcn.h>

namespace {

QFont song(int pixels) {
    QFont font(QStringLiteral("AR PL UMing CN"));
    font.setPixelSize(pixels);
    return font;
}

template <class Widget> Widget* place(Widget* widget, int x, int y, int width, int height) {
    widget->setGeometry(x, y, width, height);
    return widget;
}

QTextEdit* display_box(QWidget* parent, int x, int y, const QString& text) {
    auto* box = place(new QTextEdit(parent), x, y, 312, 64);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    box->setFrameStyle(QFrame::NoFrame);
    box->setFont(song(16));
    box->setPlainText(text);
    box->setEnabled(false);
    return box;
}

QPushButton* button(QWidget* parent, int x, int y, int width, int height, const QString& text) {
    return place(new QPushButton(text, parent), x, y, width, height);
}

QLabel* label(QWidget* parent, int x, int y, int width, int height, const QString& text,
              int pixels = 0) {
    auto* l = place(new QLabel(text, parent), x, y, width, height);
    if (pixels > 0) {
        l->setFont(song(pixels));
    }
    return l;
}

QWidget* main_window(const QString& pictures) {
    auto* w = new QWidget;
    w->setFixedSize(964, 695);
    display_box(w, 88, 120, QStringLiteral("B. 七天内可以无理由退货，运费由买家承担"));
    button(w, 424, 32, 96, 32, QStringLiteral("重新考试"));
    label(w, 0, 112, 72, 48, QStringLiteral("答案-->"), 19);
    label(w, 0, 40, 80, 40, QStringLiteral("问题-->"), 19);
    label(w, 120, 8, 152, 24, QStringLiteral("在此输入你的考试链接-->如"));
    auto* animation = label(w, 608, 72, 88, 80, QString());
    animation->setAlignment(Qt::AlignCenter);
    auto* movie = new QMovie(pictures + QStringLiteral("/spinner.gif"), QByteArray(), animation);
    animation->setMovie(movie);
    movie->start();
    auto* contact = button(w, 8, -8, 56, 48, QString());
    contact->setFlat(true);
    contact->setIcon(QIcon(pictures + QStringLiteral("/contact.png")));
    contact->setIconSize(QSize(56, 48));
    button(w, 808, 0, 80, 48, QStringLiteral("转到该考试页"));
    place(new QLineEdit(QStringLiteral("https://exam.tavelin.example/exam/exam-"
                                       "3f2a9c41b7e04d5a8c6e1f0b9d2a7c35-7.htm?spm=a1z0d"),
                        w),
          304, 8, 489, 22);
    display_box(w, 88, 48, QStringLiteral("卖家在发布商品时，以下哪种做法是正确的？"));
    button(w, 400, 152, 400, 32,
           QStringLiteral("若该问题没有答案！请按此键！我们将尽快更新数据库"));
    button(w, 712, 32, 88, 32, QStringLiteral("提示"));
    button(w, 824, 56, 120, 120, QStringLiteral("下一题\nF3"))->setFont(song(29));
    button(w, 552, 32, 120, 32, QStringLiteral("发送链接请求代考"));
    button(w, 824, 56, 120, 120, QStringLiteral("下一题\nF3"))->setFont(song(32));
    auto* browser = place(new QFrame(w), -15, 184, 975, 488);
    browser->setFrameStyle(QFrame::Box);
    browser->setStyleSheet(QStringLiteral("background: #9a9a9a;"));
    return w;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: skin_preview <first> <last> <output directory>\n");
        return 2;
    }
    QApplication app(argc, argv);
    void* library = ::dlopen(TAVELIN_SKIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    auto attach =
        library == nullptr
            ? nullptr
            : reinterpret_cast<SkinAttachRes>(::dlsym(library, tavelin::skin::kSkinAttachExport));
    if (attach == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", TAVELIN_SKIN_LIBRARY);
        return 1;
    }
    const QString pictures = QStringLiteral(TAVELIN_SOURCE_DIR "/src/app/pictures");
    for (int number = std::atoi(argv[1]); number <= std::atoi(argv[2]); ++number) {
        const auto skin = tavelin::skin_bytes(number);
        const int result = attach(skin.data(), static_cast<std::int32_t>(skin.size()), "", 0, 0, 0);
        if (result != 0) {
            std::fprintf(stderr, "skin %d refused: %d\n", number, result);
            return 1;
        }
        QWidget* window = main_window(pictures);
        window->show();
        app.processEvents();
        const QString path = QStringLiteral("%1/skin%2.png")
                                 .arg(QString::fromLocal8Bit(argv[3]))
                                 .arg(number, 2, 10, QLatin1Char('0'));
        window->grab().save(path);
        delete window;
        // A message box as the program shows it, beside the window.
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："),
                        QStringLiteral("该问题暂无答案，已发送给我们，我们将尽快更新数据库。"),
                        QMessageBox::Ok);
        box.show();
        app.processEvents();
        box.grab().save(QString(path).replace(QStringLiteral(".png"), QStringLiteral("_box.png")));
    }
    return 0;
}
