#pragma once
// A fake of the operator's self-service system for the tests: an HTTP or
// HTTPS server on 127.0.0.1 that runs in the test's own event loop (no
// threads). Nothing here ever leaves the loopback interface.
//
// Typical use:
//
//     FakeLumoServer server;                       // or FakeLumoServer(FakeLumoServer::Https)
//     ASSERT_TRUE(server.start());
//     FakeLumoServer::Subscriber s;
//     s.number = "9031234567"; s.password = "секрет"; s.balance = 123.45;
//     server.addSubscriber(s);
//     fetcher.setExtraCaCertificates(FakeLumoServer::caCertificates()); // HTTPS only
//     fetcher.navigate(server.loginUrl(), loginBody);
//     ...
//     EXPECT_EQ(server.loginCount(), 1);
//     EXPECT_EQ(server.requests().first().body, expectedBytes);
//
// The login (POST /cgi-bin/cgi.exe?function=is_login):
//   - the body must be "Lang=2&mobnum=<number>&Password=<password>" in raw
//     Windows-1251 bytes (no percent-encoding); the number runs up to the
//     first "&Password=", the password is the rest of the body. A body of
//     another form gets "400 Bad Request".
//   - unknown number or wrong password: 200 with wrongPasswordPage() (no
//     balance marker, a login form).
//   - right password: answered as the subscriber's `answer` says, after its
//     `delayMs`:
//       Redirect     302 to balancePath() with a session cookie (default);
//                    the balance page requires that cookie and answers
//                    sessionExpiredPage() (no marker) without it
//       Direct       200 with the balance page itself (and the cookie)
//       MetaRefresh  200 page with <meta http-equiv="refresh"> to the balance
//                    page (and the cookie); the page itself has no marker
//       Frameset     200 frameset whose frame is the balance page (a browser
//                    that does not load frames never sees a balance)
//       Hang         reads the request and never answers
//       Reset        closes the connection with a TCP reset, no answer
//       ServerError  500 with a small HTML error page
//       Huge         200 with an HTML page of hugeBytes() bytes (marker inside)
//   - GET of the login address: 200 with the login form (no marker).
// The balance page is balancePageFor(subscriber): Windows-1251 HTML whose
// lines the balance parser reads (user name, number, balance, average,
// turn-off, recommended payment, SMS, minutes, Jeans expiry, USD rate), or
// the subscriber's rawPage bytes exactly when those are set. Pages are sent
// as "text/html; charset=windows-1251".
//
// Any other behaviour: setRoute(target, reply) answers a request target
// (path with query, e.g. "/r1?x=2"; when no route matches the full target,
// the path alone is tried) with a fixed reply, which may also be delayed,
// hang or reset. Routes take precedence over the built-in login and balance
// pages; everything else is 404.
//
// Every request is recorded (method, target, headers, body bytes, cookies)
// in arrival order, also those answered with Hang or Reset; requestReceived()
// is emitted for each. Requests a client sends through a proxy (absolute
// "http://host/path" targets) are matched by their path and recorded with
// the absolute target as sent. Every answer carries "Connection: close".

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTcpServer>
#include <QUrl>

class QSslSocket;

namespace zelvant::test {

class FakeLumoServer : public QTcpServer
{
    Q_OBJECT
public:
    enum Scheme { Http, Https };

    enum class LoginAnswer {
        Redirect,
        Direct,
        MetaRefresh,
        Frameset,
        Hang,
        Reset,
        ServerError,
        Huge
    };

    struct Subscriber
    {
        QString number;
        QString password;
        QString userName = QStringLiteral("Иванов Иван Иванович");
        double balance = 0;
        double average = 0;
        int turnOff = 0;
        double recomend = 0;
        int sms = 0;
        int minutes = 0;
        int balExpired = 0;
        double usdRate = 0;
        QString shownNumber; // number shown on the page; `number` when empty
        QByteArray rawPage;  // served instead of the generated page when not empty
        LoginAnswer answer = LoginAnswer::Redirect;
        int delayMs = 0; // before the login is answered
    };

    struct Reply
    {
        enum Action { Answer, Hang, Reset };
        Action action = Answer;
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers; // Content-Length and Connection are added
        QByteArray body;
        int delayMs = 0;
        bool sendContentLength = true; // false: the body ends with the connection

        static Reply
        html(const QByteArray &body,
             const QByteArray &contentType = QByteArrayLiteral("text/html; charset=windows-1251"));
        static Reply redirect(int status, const QByteArray &location);
    };

    struct Request
    {
        QByteArray method;
        QByteArray target;                            // as sent: path with query (or absolute)
        QList<QPair<QByteArray, QByteArray>> headers; // in order, names as sent
        QByteArray body;
        QMap<QByteArray, QByteArray> cookies; // from the Cookie header
        bool secure = false;

        QByteArray header(const QByteArray &name) const; // case-insensitive; empty if absent
        bool hasHeader(const QByteArray &name) const;
        QByteArray originTarget() const; // target without scheme and host
        QByteArray path() const;         // originTarget() without query
    };

    explicit FakeLumoServer(Scheme scheme = Http, QObject *parent = nullptr);
    ~FakeLumoServer() override;

    // Listens on 127.0.0.1 (or another loopback address, 127.0.0.2 for a
    // second host), on a free port (or the given one).
    bool start(quint16 port = 0,
               const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));
    Scheme scheme() const { return m_scheme; }
    quint16 port() const { return serverPort(); }
    // "http(s)://<address>:<port>" + pathAndQuery.
    QUrl url(const QString &pathAndQuery = QStringLiteral("/")) const;
    QUrl loginUrl() const { return url(QString::fromLatin1(loginPath())); }
    QUrl balanceUrl() const { return url(QString::fromLatin1(balancePath())); }
    static QByteArray loginPath()
    {
        return QByteArrayLiteral("/cgi-bin/cgi.exe?function=is_login");
    }
    static QByteArray balancePath()
    {
        return QByteArrayLiteral("/cgi-bin/cgi.exe?function=balance");
    }
    static QByteArray sessionCookieName() { return QByteArrayLiteral("LUMOSID"); }

    // The test authority that signed the server's certificate (trust it
    // explicitly), and whether to present a self-signed certificate that no
    // authority vouches for instead.
    static QByteArray caCertificates(); // PEM
    void setUseUntrustedCertificate(bool on) { m_untrusted = on; }

    // Subscribers, looked up by number. Adding a known number replaces it.
    void addSubscriber(const Subscriber &subscriber);
    Subscriber *subscriber(const QString &number); // nullptr when unknown
    void removeSubscriber(const QString &number);

    void setRoute(const QByteArray &target, const Reply &reply);
    void removeRoute(const QByteArray &target);

    // Size of the Huge answer (default 9 MiB, over the fetcher's 8 MiB cap).
    void setHugeBytes(qint64 bytes) { m_hugeBytes = bytes; }
    qint64 hugeBytes() const { return m_hugeBytes; }

    const QList<Request> &requests() const { return m_requests; }
    int requestCount() const { return int(m_requests.size()); }
    int loginCount() const;                          // POSTs to the login address
    int countRequests(const QByteArray &path) const; // by path() (query ignored)
    void clearRequests() { m_requests.clear(); }
    // Forgets the sessions handed out so far (their cookies stop working).
    void clearSessions() { m_sessions.clear(); }
    // Connections accepted (TLS connections whose handshake failed included).
    int connectionCount() const { return m_connections; }

    static QByteArray balancePageFor(const Subscriber &subscriber);
    static QByteArray wrongPasswordPage();
    static QByteArray sessionExpiredPage();
    static QByteArray loginFormPage();
    // Windows-1251 bytes of a login body, as the program sends it.
    static QByteArray loginBody(const QString &number, const QString &password);

Q_SIGNALS:
    void requestReceived();

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    void onReadyRead(QSslSocket *socket);
    void handle(QSslSocket *socket, const Request &request);
    Reply answerLogin(const Request &request);
    Reply answerBalance(const Request &request);
    void send(QSslSocket *socket, const Reply &reply);
    void sendNow(QSslSocket *socket, const Reply &reply);
    static void resetConnection(QSslSocket *socket);

    Scheme m_scheme;
    bool m_untrusted = false;
    QHash<QSslSocket *, QByteArray> m_buffers; // bytes of a request not yet complete
    QHash<QString, Subscriber> m_subscribers;
    QHash<QByteArray, QString> m_sessions; // cookie value -> number
    QHash<QByteArray, Reply> m_routes;
    QList<Request> m_requests;
    qint64 m_hugeBytes = 9 * 1024 * 1024;
    int m_connections = 0;
    int m_nextSession = 1;
};

} // namespace zelvant::test
