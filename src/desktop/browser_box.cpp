#include "desktop/browser_box.h"

#include "web/internet.h"

#include <QApplication>
#include <QDateTime>
#include <QNetworkCookie>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace tavelin {
namespace {

QWebEngineProfile* g_profile = nullptr;

Cookie from_qt(const QNetworkCookie& qc, const QUrl& origin) {
    Cookie c;
    QString domain = qc.domain();
    if (domain.isEmpty())
        domain = origin.host();
    c.domain = domain.toStdString();
    c.include_subdomains = domain.startsWith(u'.');
    c.path = qc.path().isEmpty() ? "/" : qc.path().toStdString();
    c.secure = qc.isSecure();
    c.expires = qc.isSessionCookie() ? 0 : qc.expirationDate().toSecsSinceEpoch();
    c.name = qc.name().toStdString();
    c.value = qc.value().toStdString();
    c.http_only = qc.isHttpOnly();
    return c;
}

// A cookie of the internet client's store, with the origin the browser's store wants for it.
std::pair<QNetworkCookie, QUrl> to_qt(const Cookie& c) {
    QNetworkCookie qc(QByteArray::fromStdString(c.name), QByteArray::fromStdString(c.value));
    QString host = QString::fromStdString(c.domain);
    if (host.startsWith(u'.'))
        host.remove(0, 1);
    if (c.include_subdomains)
        qc.setDomain(QLatin1Char('.') + host); // a host-only cookie keeps an empty domain
    qc.setPath(QString::fromStdString(c.path.empty() ? "/" : c.path));
    qc.setSecure(c.secure);
    qc.setHttpOnly(c.http_only);
    if (c.expires != 0)
        qc.setExpirationDate(QDateTime::fromSecsSinceEpoch(c.expires));
    QUrl origin;
    origin.setScheme(c.secure ? QStringLiteral("https") : QStringLiteral("http"));
    origin.setHost(host);
    origin.setPath(QStringLiteral("/"));
    return {qc, origin};
}

// One persistent profile for the process, so a login survives restarts; its cookie store and
// the internet client's are kept alike in both directions.
QWebEngineProfile* profile() {
    if (g_profile)
        return g_profile;
    g_profile = new QWebEngineProfile(QStringLiteral("Tavelin"));
    g_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    QWebEngineCookieStore* store = g_profile->cookieStore();
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, store,
                     [](const QNetworkCookie& qc) { import_cookie(from_qt(qc, QUrl())); });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, store,
                     [](const QNetworkCookie& qc) {
                         Cookie gone = from_qt(qc, QUrl());
                         gone.expires = 1; // in the past: the internet client forgets it
                         import_cookie(gone);
                     });
    // Cookies the program's own downloads receive; the listener runs on their threads.
    set_cookie_listener([](const Cookie& c) {
        QMetaObject::invokeMethod(
            qApp,
            [c] {
                if (!g_profile)
                    return;
                auto [qc, origin] = to_qt(c);
                const bool expired =
                    c.expires != 0 && c.expires <= QDateTime::currentSecsSinceEpoch();
                if (expired)
                    g_profile->cookieStore()->deleteCookie(qc, origin);
                else
                    g_profile->cookieStore()->setCookie(qc, origin);
            },
            Qt::QueuedConnection);
    });
    store->loadAllCookies();
    return g_profile;
}

} // namespace

QWidget* make_browser_box(QWidget* parent, const QString& address) {
    auto* view = new QWebEngineView(parent);
    auto* page = new QWebEnginePage(profile(), view);
    page->settings()->setFontSize(QWebEngineSettings::DefaultFontSize, 16); // medium
    view->setPage(page);
    if (!address.isEmpty())
        view->setUrl(QUrl::fromUserInput(address));
    return view;
}

void browse_to(QWidget* browser_box, const QString& address) {
    if (auto* view = qobject_cast<QWebEngineView*>(browser_box))
        view->setUrl(QUrl::fromUserInput(address));
}

void release_browser_profile() {
    if (!g_profile)
        return;
    set_cookie_listener({});
    delete g_profile;
    g_profile = nullptr;
}

} // namespace tavelin
