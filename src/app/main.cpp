// Tavelin: start-up, the event loop, and the end of the program.
#include "app/addresses.h"
#include "app/events.h"
#include "app/logging_desktop.h"
#include "app/windows.h"
#include "desktop/qt_desktop.h"
#include "exam/controls.h"
#include "mail/smtp.h"
#include "runtime/codepage.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

using namespace tavelin;

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // the browser box needs it
    QCoreApplication::setOrganizationName(QStringLiteral("Tavelin"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavelin"));
    QApplication app(argc, argv);

    // Fetch threads may still be running when the loop ends and they use the desktop, so it
    // is never destroyed; the program leaves with _Exit instead of running destructors under them.
    auto* qt_desktop = new QtDesktop({main_window(), hint_window()});
    Desktop* desktop = qt_desktop;
    if (const char* log = std::getenv("TAVELIN_TEXT_LOG")) {
        desktop = new LoggingDesktop(*qt_desktop, log);
        for (ControlName box : {kAnswerBox, kLinkBox})
            desktop->on_content_changed(box, {}); // logged, nothing more
    }
    bind_events(*desktop, report_mailbox());

    desktop->start_thread([desktop] { (void)desktop->read_web_file(Text(kPingPage)); });
    if (!desktop->load_window(kMainWindow, false))
        desktop->fatal_error(cp936("载入启动窗口失败"));
    const int code = app.exec();

    qt_desktop->close_all(); // the browser box saves its cookies
    smtp_quit();
    std::fflush(nullptr);
    std::_Exit(code);
}
