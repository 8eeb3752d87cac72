#include "support/FakeLumoServer.h"

#include "core/TextCodec.h"

#include <QFile>
#include <QHostAddress>
#include <QSslSocket>
#include <QTimer>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace zelvant::test {

namespace {

struct TlsMaterial
{
    QSslCertificate certificate;
    QSslKey key;
};

QByteArray readDataFile(const char *name)
{
    QFile f(QStringLiteral(ZELVANT_TEST_DATA "/tls/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("FakeLumoServer: cannot read %s", qPrintable(f.fileName()));
    return f.readAll();
}

const TlsMaterial &trustedMaterial()
{
    static const TlsMaterial m{QSslCertificate(readDataFile("server.pem")),
                               QSslKey(readDataFile("server.key"), QSsl::Rsa)};
    return m;
}

const TlsMaterial &untrustedMaterial()
{
    static const TlsMaterial m{QSslCertificate(readDataFile("untrusted.pem")),
                               QSslKey(readDataFile("untrusted.key"), QSsl::Rsa)};
    return m;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

QByteArray page(const QString &title, const QString &body)
{
    const QString html =
        QStringLiteral(
            "<html>\r\n<head>\r\n"
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\r\n"
            "<title>%1</title>\r\n</head>\r\n<body>\r\n%2\r\n</body>\r\n</html>\r\n")
            .arg(title, body);
    return toWindows1251(html);
}

QString money(double v)
{
    return QString::number(v, 'f', 2);
}

} // namespace

FakeLumoServer::Reply FakeLumoServer::Reply::html(const QByteArray &body,
                                                  const QByteArray &contentType)
{
    Reply r;
    r.body = body;
    if (!contentType.isEmpty())
        r.headers.append({QByteArrayLiteral("Content-Type"), contentType});
    return r;
}

FakeLumoServer::Reply FakeLumoServer::Reply::redirect(int status, const QByteArray &location)
{
    Reply r;
    r.status = status;
    r.headers.append({QByteArrayLiteral("Location"), location});
    return r;
}

QByteArray FakeLumoServer::Request::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

bool FakeLumoServer::Request::hasHeader(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QByteArray FakeLumoServer::Request::originTarget() const
{
    if (target.startsWith('/'))
        return target;
    // Absolute form, as a client sends it to a proxy.
    const qsizetype scheme = target.indexOf("://");
    const qsizetype slash = scheme < 0 ? -1 : target.indexOf('/', scheme + 3);
    return slash < 0 ? QByteArrayLiteral("/") : target.mid(slash);
}

QByteArray FakeLumoServer::Request::path() const
{
    const QByteArray t = originTarget();
    const qsizetype q = t.indexOf('?');
    return q < 0 ? t : t.left(q);
}

FakeLumoServer::FakeLumoServer(Scheme scheme, QObject *parent)
    : QTcpServer(parent)
    , m_scheme(scheme)
{
}

FakeLumoServer::~FakeLumoServer()
{
    close();
    // Connections still open (hanging answers) go before the members their
    // handlers use.
    const QList<QSslSocket *> sockets = findChildren<QSslSocket *>(Qt::FindDirectChildrenOnly);
    for (QSslSocket *socket : sockets) {
        socket->disconnect(this);
        delete socket;
    }
}

bool FakeLumoServer::start(quint16 port, const QHostAddress &address)
{
    return address.isLoopback() && listen(address, port);
}

QUrl FakeLumoServer::url(const QString &pathAndQuery) const
{
    return QUrl(QStringLiteral("%1://%2:%3%4")
                    .arg(m_scheme == Https ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(serverAddress().toString())
                    .arg(serverPort())
                    .arg(pathAndQuery));
}

QByteArray FakeLumoServer::caCertificates()
{
    return readDataFile("ca.pem");
}

void FakeLumoServer::addSubscriber(const Subscriber &subscriber)
{
    m_subscribers.insert(subscriber.number, subscriber);
}

FakeLumoServer::Subscriber *FakeLumoServer::subscriber(const QString &number)
{
    auto it = m_subscribers.find(number);
    return it == m_subscribers.end() ? nullptr : &it.value();
}

void FakeLumoServer::removeSubscriber(const QString &number)
{
    m_subscribers.remove(number);
}

void FakeLumoServer::setRoute(const QByteArray &target, const Reply &reply)
{
    m_routes.insert(target, reply);
}

void FakeLumoServer::removeRoute(const QByteArray &target)
{
    m_routes.remove(target);
}

int FakeLumoServer::loginCount() const
{
    int n = 0;
    for (const Request &r : m_requests) {
        if (r.method == "POST" && r.originTarget() == loginPath())
            ++n;
    }
    return n;
}

int FakeLumoServer::countRequests(const QByteArray &path) const
{
    int n = 0;
    for (const Request &r : m_requests) {
        if (r.path() == path)
            ++n;
    }
    return n;
}

QByteArray FakeLumoServer::loginBody(const QString &number, const QString &password)
{
    return toWindows1251(QStringLiteral("Lang=2&mobnum=%1&Password=%2").arg(number, password));
}

QByteArray FakeLumoServer::balancePageFor(const Subscriber &s)
{
    if (!s.rawPage.isEmpty())
        return s.rawPage;
    const QString shown = s.shownNumber.isEmpty() ? s.number : s.shownNumber;
    // One key phrase per line and its value on the next line, or phrase and
    // value on one line, the way the operator's pages are laid out.
    QString body;
    body += QStringLiteral("<table class=\"info\">\r\n");
    body += QStringLiteral("<tr><td>Пользователь:</td>\r\n<td>%1</td></tr>\r\n").arg(s.userName);
    body += QStringLiteral("<tr><td>Номер телефона:</td>\r\n<td>%1</td></tr>\r\n").arg(shown);
    body += QStringLiteral("<tr><td>Внутренний курс на сегодня</td>\r\n<td>%1 руб.</td></tr>\r\n")
                .arg(QString::number(s.usdRate, 'f', 4));
    body += QStringLiteral("<tr><td>Актуальный баланс</td>\r\n<td>%1&nbsp;руб.</td></tr>\r\n")
                .arg(money(s.balance));
    body += QStringLiteral(
                "<tr><td>Средняя скорость расходования</td>\r\n<td>%1 руб./день</td></tr>\r\n")
                .arg(money(s.average));
    body +=
        QStringLiteral("<tr><td>Предположительная дата отключения</td>\r\n<td>%1 дн.</td></tr>\r\n")
            .arg(s.turnOff);
    body += QStringLiteral("</table>\r\n");
    body += QStringLiteral("Рекомендуемая сумма предоплаты составляет %1 руб.\r\n")
                .arg(money(s.recomend));
    body += QStringLiteral("Остаток SMS составляет %1 шт.\r\n").arg(s.sms);
    body += QStringLiteral("Остаток на локальная связь составляет %1 мин.\r\n").arg(s.minutes);
    body += QStringLiteral("Баланс Jeans истекает менее чем через %1 дн.\r\n").arg(s.balExpired);
    body += QStringLiteral("<p>Лумо</p>");
    return page(QStringLiteral("Лумо: баланс"), body);
}

QByteArray FakeLumoServer::wrongPasswordPage()
{
    return page(QStringLiteral("Лумо: вход"),
                QStringLiteral("<p class=\"error\">Неверный номер телефона или пароль.</p>\r\n")
                    + QStringLiteral(
                        "<form method=\"post\" action=\"/cgi-bin/cgi.exe?function=is_login\">\r\n"
                        "<input name=\"mobnum\"><input type=\"password\" name=\"Password\">\r\n"
                        "</form>"));
}

QByteArray FakeLumoServer::sessionExpiredPage()
{
    return page(QStringLiteral("Лумо"),
                QStringLiteral("<p>Сеанс работы истёк. Войдите снова.</p>"));
}

QByteArray FakeLumoServer::loginFormPage()
{
    return page(
        QStringLiteral("Лумо: вход"),
        QStringLiteral("<form method=\"post\" action=\"/cgi-bin/cgi.exe?function=is_login\">\r\n"
                       "<input name=\"mobnum\"><input type=\"password\" name=\"Password\">\r\n"
                       "</form>"));
}

void FakeLumoServer::incomingConnection(qintptr socketDescriptor)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    ++m_connections;
    m_buffers.insert(socket, QByteArray());
    connect(socket, &QSslSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [this, socket] { m_buffers.remove(socket); });
    // A failed handshake (the client refused our certificate) just ends the connection.
    connect(socket, &QSslSocket::errorOccurred, socket, [socket] {
        if (socket->state() != QAbstractSocket::ConnectedState)
            socket->deleteLater();
    });
    if (m_scheme == Https) {
        const TlsMaterial &m = m_untrusted ? untrustedMaterial() : trustedMaterial();
        socket->setLocalCertificate(m.certificate);
        socket->setPrivateKey(m.key);
        socket->setPeerVerifyMode(QSslSocket::VerifyNone);
        socket->startServerEncryption();
    }
}

void FakeLumoServer::onReadyRead(QSslSocket *socket)
{
    auto it = m_buffers.find(socket);
    if (it == m_buffers.end()) { // already answered (or answering): ignore the rest
        socket->readAll();
        return;
    }
    QByteArray &buf = it.value();
    buf += socket->readAll();
    const qsizetype headEnd = buf.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;

    Request request;
    request.secure = m_scheme == Https;
    const QList<QByteArray> lines = buf.left(headEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    qint64 contentLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            contentLength = value.toLongLong();
        if (name.compare("Cookie", Qt::CaseInsensitive) == 0) {
            for (const QByteArray &pair : value.split(';')) {
                const qsizetype eq = pair.indexOf('=');
                if (eq > 0)
                    request.cookies.insert(pair.left(eq).trimmed(), pair.mid(eq + 1).trimmed());
            }
        }
    }
    if (buf.size() - (headEnd + 4) < contentLength)
        return; // body not complete yet
    request.body = buf.mid(headEnd + 4, contentLength);
    m_buffers.erase(it);

    m_requests.append(request);
    handle(socket, request);
    Q_EMIT requestReceived();
}

void FakeLumoServer::handle(QSslSocket *socket, const Request &request)
{
    const QByteArray target = request.originTarget();
    auto route = m_routes.constFind(target);
    if (route == m_routes.constEnd())
        route = m_routes.constFind(request.path());
    if (route != m_routes.constEnd()) {
        send(socket, route.value());
        return;
    }
    if (target == loginPath()) {
        send(socket, answerLogin(request));
        return;
    }
    if (target == balancePath()) {
        send(socket, answerBalance(request));
        return;
    }
    Reply notFound = Reply::html(page(QStringLiteral("404"), QStringLiteral("<p>Not found</p>")));
    notFound.status = 404;
    send(socket, notFound);
}

FakeLumoServer::Reply FakeLumoServer::answerLogin(const Request &request)
{
    if (request.method != "POST")
        return Reply::html(loginFormPage());

    static const QByteArray head = QByteArrayLiteral("Lang=2&mobnum=");
    static const QByteArray sep = QByteArrayLiteral("&Password=");
    const qsizetype at = request.body.indexOf(sep);
    if (!request.body.startsWith(head) || at < head.size()) {
        Reply bad = Reply::html(page(QStringLiteral("400"), QStringLiteral("<p>Bad request</p>")));
        bad.status = 400;
        return bad;
    }
    const QString number = fromWindows1251(request.body.mid(head.size(), at - head.size()));
    const QByteArray password = request.body.mid(at + sep.size());
    const Subscriber *s = subscriber(number);
    if (!s || toWindows1251(s->password) != password)
        return Reply::html(wrongPasswordPage());

    const QByteArray session = sessionCookieName() + '=' + QByteArray::number(m_nextSession++) + 'x'
                               + QByteArray::number(qHash(number), 16);
    m_sessions.insert(session.mid(sessionCookieName().size() + 1), number);
    const QPair<QByteArray, QByteArray> cookie{QByteArrayLiteral("Set-Cookie"),
                                               session + "; Path=/; HttpOnly"};

    Reply r;
    switch (s->answer) {
    case LoginAnswer::Redirect:
        r = Reply::redirect(302, balancePath());
        r.headers.append(cookie);
        break;
    case LoginAnswer::Direct:
        r = Reply::html(balancePageFor(*s));
        r.headers.append(cookie);
        break;
    case LoginAnswer::MetaRefresh:
        r = Reply::html(
            toWindows1251(QStringLiteral("<html>\r\n<head>\r\n<meta http-equiv=\"refresh\" "
                                         "content=\"0; url=%1\">\r\n</head>\r\n"
                                         "<body>\r\n<p>Подождите...</p>\r\n</body>\r\n</html>\r\n")
                              .arg(QString::fromLatin1(balancePath()))));
        r.headers.append(cookie);
        break;
    case LoginAnswer::Frameset:
        r = Reply::html(toWindows1251(
            QStringLiteral(
                "<html>\r\n<head><title>Лумо</title></head>\r\n<frameset rows=\"100%\">\r\n"
                "<frame src=\"%1\">\r\n</frameset>\r\n</html>\r\n")
                .arg(QString::fromLatin1(balancePath()))));
        r.headers.append(cookie);
        break;
    case LoginAnswer::Hang:
        r.action = Reply::Hang;
        break;
    case LoginAnswer::Reset:
        r.action = Reply::Reset;
        break;
    case LoginAnswer::ServerError:
        r = Reply::html(
            page(QStringLiteral("500"), QStringLiteral("<h1>Internal Server Error</h1>")));
        r.status = 500;
        break;
    case LoginAnswer::Huge: {
        QByteArray body = balancePageFor(*s);
        const QByteArray filler =
            QByteArrayLiteral("<p>0123456789 0123456789 0123456789 0123456789</p>\r\n");
        const qsizetype bodyEnd = body.lastIndexOf("</body>");
        QByteArray pad;
        pad.reserve(m_hugeBytes);
        while (body.size() + pad.size() < m_hugeBytes)
            pad += filler;
        body.insert(bodyEnd < 0 ? body.size() : bodyEnd, pad);
        r = Reply::html(body);
        break;
    }
    }
    r.delayMs = s->delayMs;
    return r;
}

FakeLumoServer::Reply FakeLumoServer::answerBalance(const Request &request)
{
    const QString number = m_sessions.value(request.cookies.value(sessionCookieName()));
    const Subscriber *s = number.isEmpty() ? nullptr : subscriber(number);
    if (!s)
        return Reply::html(sessionExpiredPage());
    return Reply::html(balancePageFor(*s));
}

void FakeLumoServer::send(QSslSocket *socket, const Reply &reply)
{
    if (reply.action == Reply::Hang)
        return; // the socket stays open until the client gives up or the server ends
    if (reply.delayMs <= 0) {
        sendNow(socket, reply);
        return;
    }
    QTimer::singleShot(reply.delayMs, socket, [this, socket, reply] { sendNow(socket, reply); });
}

void FakeLumoServer::sendNow(QSslSocket *socket, const Reply &reply)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (reply.action == Reply::Reset) {
        resetConnection(socket);
        return;
    }
    QByteArray out =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    for (const auto &h : reply.headers)
        out += h.first + ": " + h.second + "\r\n";
    if (reply.sendContentLength)
        out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += reply.body;
    socket->write(out);
    socket->disconnectFromHost(); // after the pending bytes are written
}

void FakeLumoServer::resetConnection(QSslSocket *socket)
{
    // Linger with a zero time-out: closing sends RST instead of FIN.
    const qintptr fd = socket->socketDescriptor();
    if (fd != -1) {
        struct linger l;
        l.l_onoff = 1;
        l.l_linger = 0;
#ifdef Q_OS_WIN
        ::setsockopt(SOCKET(fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&l),
                     sizeof l);
#else
        ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &l, sizeof l);
#endif
    }
    socket->abort();
    socket->deleteLater();
}

} // namespace zelvant::test
