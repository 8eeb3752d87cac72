// The program's browser against the fake self-service server on 127.0.0.1.

#include "core/retrieval/PageFetcher.h"

#include "core/TextCodec.h"
#include "support/FakeLumoServer.h"
#include "support/TempFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace zelvant;
using zelvant::test::FakeLumoServer;
using zelvant::test::TempFolder;

namespace {

const QString Marker = QStringLiteral("туальный баланс");

struct Document
{
    QUrl url;
    QString body;
    bool hasBody = false;
};

// Records every signal of the fetcher in order.
class Browser
{
public:
    Browser()
    {
        QObject::connect(&fetcher, &PageFetcher::documentComplete, &fetcher,
                         [this](const QUrl &url, const QString &body, bool hasBody) {
                             documents.append({url, body, hasBody});
                             if (onDocument)
                                 onDocument();
                         });
        QObject::connect(&fetcher, &PageFetcher::navigationFinished, &fetcher,
                         [this](bool isOk, const QString &text) {
                             ++finished;
                             ok = isOk;
                             error = text;
                         });
    }

    // Navigates and waits until the navigation is reported finished.
    bool go(const QUrl &url, const QByteArray &body = QByteArray(), int timeoutMs = 10000)
    {
        reset();
        fetcher.navigate(url, body);
        return QTest::qWaitFor([this] { return finished > 0; }, timeoutMs);
    }

    void reset()
    {
        documents.clear();
        finished = 0;
        ok = false;
        error.clear();
    }

    PageFetcher fetcher;
    QList<Document> documents;
    int finished = 0;
    bool ok = false;
    QString error;
    std::function<void()> onDocument;
};

FakeLumoServer::Subscriber subscriber(const QString &number, const QString &password,
                                      double balance)
{
    FakeLumoServer::Subscriber s;
    s.number = number;
    s.password = password;
    s.balance = balance;
    return s;
}

QByteArray htmlPage(const QString &body)
{
    return toWindows1251(QStringLiteral("<html><head><title>t</title></head>\r\n<body>\r\n") + body
                         + QStringLiteral("\r\n</body></html>\r\n"));
}

// An answer that never ends, sent as fast as the connection takes it from a
// thread of its own: the fake server of the tests shares the fetcher's event
// loop and could never outrun it.
class EndlessAnswer
{
public:
    ~EndlessAnswer()
    {
        ::shutdown(m_listener, SHUT_RDWR); // ends a waiting accept()
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }

    bool start()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, (sockaddr *)&address, length) != 0 || ::listen(m_listener, 1) != 0
            || ::getsockname(m_listener, (sockaddr *)&address, &length) != 0)
            return false;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            const int client = ::accept(m_listener, nullptr, nullptr);
            char request[4096];
            QByteArray data = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
            const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n";
            // Until the fetcher hangs up.
            if (client >= 0 && ::recv(client, request, sizeof request, 0) > 0)
                for (; ::send(client, data.constData(), data.size(), MSG_NOSIGNAL) > 0;
                     data = chunk)
                    ;
            ::close(client);
        });
        return true;
    }

    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/endless").arg(m_port)); }

private:
    int m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    quint16 m_port = 0;
    std::thread m_thread;
};

// A line of /proc/self/status in kB, -1 when there is none.
qint64 statusKb(const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Lets VmHWM measure from now on (Linux 4.0 and later). Under
// AddressSanitizer freed memory stays in its quarantine, and the peak tells
// nothing about what the program holds.
bool resetPeakMemory()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#endif
#endif
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1 && clear.flush();
}

} // namespace

TEST(PageFetcher, PostsTheBodyBytesAsGivenWithNoCacheHeaders)
{
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    // Characters a form encoder would change: Cyrillic, '&', '+', '%', spaces.
    const QString password = QStringLiteral("па р&о+л%ь=1");
    server.addSubscriber(subscriber(QStringLiteral("9031234567"), password, 10));
    const QByteArray body = FakeLumoServer::loginBody(QStringLiteral("9031234567"), password);

    Browser b;
    ASSERT_TRUE(b.go(server.loginUrl(), body));
    EXPECT_TRUE(b.ok) << b.error.toStdString();
    ASSERT_GE(server.requestCount(), 1);
    const FakeLumoServer::Request &login = server.requests().at(0);
    EXPECT_EQ(login.method, "POST");
    EXPECT_EQ(login.target, FakeLumoServer::loginPath());
    EXPECT_EQ(login.body, body);
    EXPECT_EQ(login.body,
              QByteArray("Lang=2&mobnum=9031234567&Password=\xef\xe0 \xf0&\xee+\xeb%\xfc=1"));
    EXPECT_EQ(login.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(login.header("Content-Length"), QByteArray::number(body.size()));
    for (const FakeLumoServer::Request &r : server.requests()) {
        EXPECT_EQ(r.header("Cache-Control"), "no-cache") << r.target.constData();
        EXPECT_EQ(r.header("Pragma"), "no-cache") << r.target.constData();
    }

    // No body: a GET, without a body or its content type.
    server.clearRequests();
    ASSERT_TRUE(b.go(server.url(QStringLiteral("/cgi-bin/cgi.exe?function=is_login"))));
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().at(0).method, "GET");
    EXPECT_TRUE(server.requests().at(0).body.isEmpty());
    EXPECT_FALSE(server.requests().at(0).hasHeader("Content-Type"));
    // Asked again, the page comes from the server again, never from a cache.
    ASSERT_TRUE(b.go(server.url(QStringLiteral("/cgi-bin/cgi.exe?function=is_login"))));
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_FALSE(server.requests().at(1).hasHeader("If-Modified-Since"));
    EXPECT_FALSE(server.requests().at(1).hasHeader("If-None-Match"));

    // An empty but present body is still a POST.
    server.clearRequests();
    ASSERT_TRUE(b.go(server.loginUrl(), QByteArray("")));
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().at(0).method, "POST");
    EXPECT_EQ(server.requests().at(0).header("Content-Length"), "0");
}

// The diagnostics are silent until switched on, and then tell the requests
// without the login body that holds the password.
TEST(PageFetcher, DiagnosticsSpeakOnlyWhenSwitchedOnAndKeepThePasswordOut)
{
    if (qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        GTEST_SKIP() << "QT_LOGGING_RULES is set: the default cannot be seen";
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    const QString password = QStringLiteral("секрет-42");
    server.addSubscriber(subscriber(QStringLiteral("9031234567"), password, 10));
    const QByteArray body = FakeLumoServer::loginBody(QStringLiteral("9031234567"), password);
    static QStringList said;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &where, const QString &text) {
            if (QByteArray(where.category).startsWith("zelvant."))
                said << QString::fromLatin1(where.category) + QStringLiteral(": ") + text;
        });
    Browser b;
    ASSERT_TRUE(b.go(server.loginUrl(), body));
    EXPECT_EQ(said, QStringList());
    QLoggingCategory::setFilterRules(QStringLiteral("zelvant.*=true"));
    EXPECT_TRUE(b.go(server.loginUrl(), body));
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);

    const QString balance = server.balanceUrl().toString();
    ASSERT_EQ(said.size(), 4) << qPrintable(said.join(QLatin1Char('\n')));
    EXPECT_EQ(said[0], QStringLiteral("zelvant.retrieval: POST ") + server.loginUrl().toString());
    EXPECT_EQ(said[1], QStringLiteral("zelvant.retrieval: status 302 redirects to ") + balance);
    EXPECT_EQ(said[2], QStringLiteral("zelvant.retrieval: GET ") + balance);
    EXPECT_TRUE(said[3].startsWith(QStringLiteral("zelvant.retrieval: status 200 ")));
    EXPECT_FALSE(said[3].contains(password));
}

TEST(PageFetcher, LoginRedirectCarriesTheSessionCookieToTheBalancePage)
{
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    server.addSubscriber(
        subscriber(QStringLiteral("9031234567"), QStringLiteral("secret"), 123.45));

    Browser b;
    ASSERT_TRUE(b.go(server.loginUrl(), FakeLumoServer::loginBody(QStringLiteral("9031234567"),
                                                                  QStringLiteral("secret"))));
    EXPECT_TRUE(b.ok);
    EXPECT_EQ(b.finished, 1);
    // The 302 itself is no document; the balance page is, under its own address.
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_EQ(b.documents[0].url, server.balanceUrl());
    EXPECT_TRUE(b.documents[0].hasBody);
    EXPECT_TRUE(b.documents[0].body.contains(Marker));
    EXPECT_TRUE(b.documents[0].body.contains(QStringLiteral("123.45&nbsp;руб.")));
    EXPECT_TRUE(b.documents[0].body.startsWith(QStringLiteral("<body>")));
    EXPECT_TRUE(b.documents[0].body.endsWith(QStringLiteral("</body>")));

    ASSERT_EQ(server.requestCount(), 2);
    const FakeLumoServer::Request &follow = server.requests().at(1);
    EXPECT_EQ(follow.method, "GET"); // a POST answered by 302 is not posted again
    EXPECT_TRUE(follow.body.isEmpty());
    EXPECT_TRUE(follow.cookies.contains(FakeLumoServer::sessionCookieName()));

    // A wrong password is just a page without the marker.
    ASSERT_TRUE(b.go(server.loginUrl(), FakeLumoServer::loginBody(QStringLiteral("9031234567"),
                                                                  QStringLiteral("Secret"))));
    EXPECT_TRUE(b.ok);
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_EQ(b.documents[0].url, server.loginUrl());
    EXPECT_FALSE(b.documents[0].body.contains(Marker));
    EXPECT_TRUE(b.documents[0].body.contains(QStringLiteral("Неверный номер телефона или пароль")));
}

TEST(PageFetcher, RedirectionsKeepOrDropThePostAsBrowsersDoAndAreLimited)
{
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    server.setRoute("/end", FakeLumoServer::Reply::html(htmlPage(QStringLiteral("end"))));
    const QByteArray body = toWindows1251(QStringLiteral("a=б&c=d"));

    Browser b;
    for (int status : {301, 302, 303, 307, 308}) {
        server.clearRequests();
        server.setRoute("/form", FakeLumoServer::Reply::redirect(status, "end")); // relative
        ASSERT_TRUE(b.go(server.url(QStringLiteral("/form")), body));
        EXPECT_TRUE(b.ok) << status;
        ASSERT_EQ(b.documents.size(), 1) << status;
        EXPECT_EQ(b.documents[0].url, server.url(QStringLiteral("/end"))) << status;
        ASSERT_EQ(server.requestCount(), 2) << status;
        const FakeLumoServer::Request &second = server.requests().at(1);
        if (status == 307 || status == 308) {
            EXPECT_EQ(second.method, "POST") << status;
            EXPECT_EQ(second.body, body) << status;
            EXPECT_EQ(second.header("Content-Type"), "application/x-www-form-urlencoded");
        } else {
            EXPECT_EQ(second.method, "GET") << status;
            EXPECT_TRUE(second.body.isEmpty()) << status;
        }
    }

    // A chain /r0 -> /r1 -> ... -> /rN -> /end: ten hops are followed, eleven are not.
    auto chain = [&server](int hops) {
        for (int i = 0; i < hops; ++i) {
            const QByteArray next =
                i + 1 < hops ? "/r" + QByteArray::number(i + 1) : QByteArray("/end");
            server.setRoute("/r" + QByteArray::number(i),
                            FakeLumoServer::Reply::redirect(302, next));
        }
    };
    chain(PageFetcher::MaxRedirects);
    server.clearRequests();
    ASSERT_TRUE(b.go(server.url(QStringLiteral("/r0"))));
    EXPECT_TRUE(b.ok);
    EXPECT_EQ(b.documents.size(), 1);
    EXPECT_EQ(server.requestCount(), PageFetcher::MaxRedirects + 1);

    chain(PageFetcher::MaxRedirects + 1);
    server.clearRequests();
    ASSERT_TRUE(b.go(server.url(QStringLiteral("/r0"))));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());
    EXPECT_EQ(server.requestCount(), PageFetcher::MaxRedirects + 1); // the 11th hop is not taken
    EXPECT_EQ(b.finished, 1);

    // A redirection may not lead a web page to the local disk.
    TempFolder tmp;
    tmp.write(QStringLiteral("local.html"), htmlPage(QStringLiteral("local")));
    server.setRoute(
        "/tofile",
        FakeLumoServer::Reply::redirect(
            302, QUrl::fromLocalFile(tmp.file(QStringLiteral("local.html"))).toEncoded()));
    ASSERT_TRUE(b.go(server.url(QStringLiteral("/tofile"))));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());
}

// The login form holds the password: a 307/308 may repeat it only to the
// same scheme, host and port; nothing that followed https goes out in clear.
TEST(PageFetcher, RedirectionsNeverCarryTheFormElsewhereNorDropToClearText)
{
    FakeLumoServer home;
    FakeLumoServer secure(FakeLumoServer::Https);
    FakeLumoServer otherHost; // another host, as a planted Location would name
    ASSERT_TRUE(home.start());
    ASSERT_TRUE(secure.start());
    ASSERT_TRUE(otherHost.start(0, QHostAddress(QStringLiteral("127.0.0.2"))));
    const QByteArray form = "Lang=2&mobnum=9031234567&Password=secret";
    const FakeLumoServer::Reply end = FakeLumoServer::Reply::html(htmlPage(QStringLiteral("end")));
    for (FakeLumoServer *s : {&home, &secure, &otherHost})
        s->setRoute("/end", end);

    const struct
    {
        FakeLumoServer *from;
        int status;
        FakeLumoServer *to;
        bool followed; // else refused
        QByteArray method;
    } cases[] = {
        {&home, 307, &home, true, "POST"},     {&home, 308, &home, true, "POST"},
        {&home, 307, &otherHost, false, ""},   {&home, 308, &otherHost, false, ""},
        {&home, 302, &otherHost, true, "GET"}, {&secure, 307, &home, false, ""},
        {&secure, 302, &home, false, ""},
    };
    Browser b;
    b.fetcher.setExtraCaCertificates(FakeLumoServer::caCertificates());
    for (const auto &c : cases) {
        const std::string what = c.from->url().toString().toStdString() + " "
                                 + std::to_string(c.status) + " to "
                                 + c.to->url().toString().toStdString();
        for (FakeLumoServer *s : {&home, &secure, &otherHost})
            s->clearRequests();
        c.from->setRoute("/form", FakeLumoServer::Reply::redirect(
                                      c.status, c.to->url(QStringLiteral("/end")).toEncoded()));
        ASSERT_TRUE(b.go(c.from->url(QStringLiteral("/form")), form)) << what;
        EXPECT_EQ(b.ok, c.followed) << what << " " << b.error.toStdString();
        EXPECT_EQ(c.to->countRequests("/end"), c.followed ? 1 : 0) << what;
        if (c.followed) {
            EXPECT_EQ(c.to->requests().constLast().method, c.method) << what;
        } else {
            EXPECT_EQ(b.fetcher.lastFailure().reason, FailReason::RedirectRefused) << what;
        }
        // Only the address the form was meant for ever saw the password.
        for (const FakeLumoServer *s : {&home, &secure, &otherHost}) {
            for (const FakeLumoServer::Request &r : s->requests())
                EXPECT_TRUE(s == c.from || !r.body.contains("secret")) << what;
        }
    }
}

TEST(PageFetcher, MetaRefreshIsFollowedAndEveryDocumentReported)
{
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    FakeLumoServer::Subscriber s =
        subscriber(QStringLiteral("9035550000"), QStringLiteral("pw"), 7.5);
    s.answer = FakeLumoServer::LoginAnswer::MetaRefresh;
    server.addSubscriber(s);

    Browser b;
    ASSERT_TRUE(b.go(server.loginUrl(), FakeLumoServer::loginBody(s.number, s.password)));
    EXPECT_TRUE(b.ok);
    ASSERT_EQ(b.documents.size(), 2);
    EXPECT_EQ(b.documents[0].url, server.loginUrl());
    EXPECT_FALSE(b.documents[0].body.contains(Marker));
    EXPECT_EQ(b.documents[1].url, server.balanceUrl());
    EXPECT_TRUE(b.documents[1].body.contains(Marker)); // the cookie went along

    // A page that refreshes to itself: the first document and five refreshes.
    server.setRoute("/loop",
                    FakeLumoServer::Reply::html(
                        "<html><head><META HTTP-EQUIV=Refresh CONTENT=\"1;URL='/loop'\"></head>"
                        "<body>again</body></html>"));
    server.clearRequests();
    ASSERT_TRUE(b.go(server.url(QStringLiteral("/loop"))));
    EXPECT_TRUE(b.ok);
    EXPECT_EQ(b.documents.size(), PageFetcher::MaxMetaRefreshes + 1);
    EXPECT_EQ(server.requestCount(), PageFetcher::MaxMetaRefreshes + 1);
    EXPECT_EQ(b.finished, 1);

    // A periodic reload (long delay, or no address) is not followed.
    for (const QByteArray &content : {QByteArray("600; url=/end"), QByteArray("5")}) {
        server.setRoute("/slowreload", FakeLumoServer::Reply::html(
                                           "<html><head><meta http-equiv=\"refresh\" content=\""
                                           + content + "\"></head><body>x</body></html>"));
        server.clearRequests();
        ASSERT_TRUE(b.go(server.url(QStringLiteral("/slowreload"))));
        EXPECT_TRUE(b.ok);
        EXPECT_EQ(b.documents.size(), 1) << content.constData();
        EXPECT_EQ(server.requestCount(), 1) << content.constData();
    }

    // The forms of the content attribute, resolved against the page.
    const QUrl base(QStringLiteral("https://h.example/cgi-bin/cgi.exe?function=is_login"));
    EXPECT_EQ(
        metaRefreshTarget(
            QStringLiteral("<meta http-equiv='refresh' content='0;url=x.exe?a=1&amp;b=2'>"), base),
        QUrl(QStringLiteral("https://h.example/cgi-bin/x.exe?a=1&b=2")));
    EXPECT_EQ(
        metaRefreshTarget(
            QStringLiteral("<meta content=\"0; URL=http://o.example/\" http-equiv=\"Refresh\">"),
            base),
        QUrl(QStringLiteral("http://o.example/")));
    EXPECT_EQ(
        metaRefreshTarget(QStringLiteral("<meta http-equiv=\"refresh\" content=\"2, /p\">"), base),
        QUrl(QStringLiteral("https://h.example/p")));
    EXPECT_FALSE(
        metaRefreshTarget(QStringLiteral("<meta name=\"refresh\" content=\"0; url=/p\">"), base)
            .isValid());
    EXPECT_FALSE(metaRefreshTarget(QStringLiteral("<p>no meta</p>"), base).isValid());
}

TEST(PageFetcher, EachSessionHasItsOwnCookies)
{
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    FakeLumoServer::Subscriber a =
        subscriber(QStringLiteral("9031111111"), QStringLiteral("a"), 11);
    FakeLumoServer::Subscriber c =
        subscriber(QStringLiteral("9032222222"), QStringLiteral("c"), 22);
    a.userName = QStringLiteral("Первый Абонент");
    c.userName = QStringLiteral("Второй Абонент");
    server.addSubscriber(a);
    server.addSubscriber(c);

    Browser b;
    ASSERT_TRUE(b.go(server.loginUrl(), FakeLumoServer::loginBody(a.number, a.password)));
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_TRUE(b.documents[0].body.contains(a.userName));

    // Same session: the cookie is still there.
    ASSERT_TRUE(b.go(server.balanceUrl()));
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_TRUE(b.documents[0].body.contains(a.userName));

    // A new session forgets it: the balance page asks to log in again.
    b.fetcher.newSession();
    server.clearRequests();
    ASSERT_TRUE(b.go(server.balanceUrl()));
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_FALSE(b.documents[0].body.contains(Marker));
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(server.requests().at(0).cookies.isEmpty());

    // The second subscriber's session carries only the second cookie.
    server.clearRequests();
    ASSERT_TRUE(b.go(server.loginUrl(), FakeLumoServer::loginBody(c.number, c.password)));
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_TRUE(b.documents[0].body.contains(c.userName));
    EXPECT_FALSE(b.documents[0].body.contains(a.userName));
    ASSERT_EQ(server.requestCount(), 2);
    EXPECT_TRUE(server.requests().at(0).cookies.isEmpty());
    EXPECT_EQ(server.requests().at(1).cookies.size(), 1);
}

TEST(PageFetcher, DecodesByHeaderThenMetaThenWindows1251)
{
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    const QString text = QStringLiteral("Актуальный баланс: 5 ₽");
    const QString text1251 = QStringLiteral("Актуальный баланс: 5 руб.");
    const QByteArray utf8 = "<html><body>" + text.toUtf8() + "</body></html>";

    server.setRoute("/header", FakeLumoServer::Reply::html(utf8, "text/html; charset=UTF-8"));
    server.setRoute("/meta",
                    FakeLumoServer::Reply::html("<html><head><meta charset=\"utf-8\"></head><body>"
                                                    + text.toUtf8() + "</body></html>",
                                                QByteArray()));
    server.setRoute("/metahttp",
                    FakeLumoServer::Reply::html(
                        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                        "charset=utf-8\"></head><body>"
                            + text.toUtf8() + "</body></html>",
                        "text/html"));
    // The header wins over a contradicting declaration inside the page.
    server.setRoute("/both",
                    FakeLumoServer::Reply::html("<html><head><meta charset=\"utf-8\"></head><body>"
                                                    + toWindows1251(text1251) + "</body></html>",
                                                "text/html; charset=windows-1251"));
    server.setRoute("/none",
                    FakeLumoServer::Reply::html(
                        "<html><body>" + toWindows1251(text1251) + "</body></html>", "text/html"));

    Browser b;
    const QList<QPair<QString, QString>> cases = {{QStringLiteral("/header"), text},
                                                  {QStringLiteral("/meta"), text},
                                                  {QStringLiteral("/metahttp"), text},
                                                  {QStringLiteral("/both"), text1251},
                                                  {QStringLiteral("/none"), text1251}};
    for (const auto &c : cases) {
        ASSERT_TRUE(b.go(server.url(c.first)));
        ASSERT_EQ(b.documents.size(), 1) << c.first.toStdString();
        EXPECT_EQ(b.documents[0].body,
                  QStringLiteral("<body>") + c.second + QStringLiteral("</body>"))
            << c.first.toStdString();
    }
}

TEST(PageFetcher, BodyElementIsCutFromOpeningThroughClosingTag)
{
    bool found = false;
    EXPECT_EQ(extractBodyElement(
                  QStringLiteral(
                      "<html><head><title>x</title></head>\r\n"
                      "<BODY class=\"a\" onload=\"f()\">\r\nline 1\r\nline 2\n</Body >\r\n</html>"),
                  &found),
              QStringLiteral("<BODY class=\"a\" onload=\"f()\">\r\nline 1\r\nline 2\n</Body >"));
    EXPECT_TRUE(found);

    // <bodyx> is another element; the real body follows.
    EXPECT_EQ(extractBodyElement(QStringLiteral("<bodyx>no</bodyx><body>yes</body>"), &found),
              QStringLiteral("<body>yes</body>"));
    EXPECT_TRUE(found);

    // No closing tag: through the end of the document.
    EXPECT_EQ(extractBodyElement(QStringLiteral("<html><body>\r\nrest\r\n"), &found),
              QStringLiteral("<body>\r\nrest\r\n"));
    EXPECT_TRUE(found);

    // "<body" in a comment, a script or noframes is not the element.
    EXPECT_EQ(
        extractBodyElement(QStringLiteral("<!-- <body>old</body> --><script>s='<body>'</script>"
                                          "<body>real</body>"),
                           &found),
        QStringLiteral("<body>real</body>"));
    EXPECT_EQ(extractBodyElement(QStringLiteral("<frameset><frame src=a></frameset>"
                                                "<noframes><body>sorry</body></noframes>"),
                                 &found),
              QString());
    EXPECT_FALSE(found);

    // Text after a stray early closing tag stays in the body, as in a browser.
    EXPECT_EQ(extractBodyElement(QStringLiteral("<body>a</body>b</body></html>")),
              QStringLiteral("<body>a</body>b</body>"));

    // "</bodyx>" does not close the body.
    EXPECT_EQ(extractBodyElement(QStringLiteral("<body>a</bodyx>")),
              QStringLiteral("<body>a</bodyx>"));

    EXPECT_EQ(extractBodyElement(QStringLiteral("<html><p>no body</p></html>"), &found), QString());
    EXPECT_FALSE(found);
    EXPECT_EQ(extractBodyElement(QString(), &found), QString());
    EXPECT_FALSE(found);

    // Through the fetcher: nothing but the document is requested, and a
    // frameset page is a document without a body whose frame is not fetched.
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    FakeLumoServer::Subscriber s = subscriber(QStringLiteral("9030000001"), QStringLiteral("p"), 1);
    s.answer = FakeLumoServer::LoginAnswer::Frameset;
    server.addSubscriber(s);
    Browser b;
    ASSERT_TRUE(b.go(server.loginUrl(), FakeLumoServer::loginBody(s.number, s.password)));
    EXPECT_TRUE(b.ok);
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_FALSE(b.documents[0].hasBody);
    EXPECT_TRUE(b.documents[0].body.isEmpty());
    EXPECT_EQ(server.requestCount(), 1);

    server.setRoute(
        "/rich", FakeLumoServer::Reply::html(
                     "<html><head><link rel=\"stylesheet\" href=\"/s.css\">"
                     "<script src=\"/a.js\"></script><style>@import url(/i.css);</style></head>"
                     "<body background=\"/bg.gif\"><img src=\"/logo.gif\"><iframe src=\"/f.html\">"
                     "</iframe><embed src=\"/m.swf\"><bgsound src=\"/s.wav\"></body></html>"));
    server.clearRequests();
    ASSERT_TRUE(b.go(server.url(QStringLiteral("/rich"))));
    EXPECT_TRUE(b.ok);
    ASSERT_EQ(b.documents.size(), 1);
    QTest::qWait(100);
    EXPECT_EQ(server.requestCount(), 1);
}

TEST(PageFetcher, ReadsLocalPagesFromDisk)
{
    TempFolder tmp;
    const QString page = QStringLiteral("<p>Актуальный баланс</p>\r\n<p>42.00</p>");
    tmp.write(QStringLiteral("orvel-test.html"), htmlPage(page));
    const QUrl url = QUrl::fromLocalFile(tmp.file(QStringLiteral("orvel-test.html")));

    Browser b;
    bool signalledInside = false;
    b.onDocument = [&] { signalledInside = b.finished > 0; };
    b.reset();
    b.fetcher.navigate(url);
    EXPECT_TRUE(b.documents.isEmpty()); // reported from the event loop, not from navigate()
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.finished > 0; }, 5000));
    EXPECT_TRUE(b.ok);
    EXPECT_FALSE(signalledInside);
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_EQ(b.documents[0].url, url);
    EXPECT_EQ(b.documents[0].body,
              QStringLiteral("<body>\r\n") + page + QStringLiteral("\r\n</body>"));

    ASSERT_TRUE(b.go(QUrl::fromLocalFile(tmp.file(QStringLiteral("missing.html")))));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());

    ASSERT_TRUE(b.go(QUrl(QStringLiteral("ftp://127.0.0.1/x"))));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());
}

TEST(PageFetcher, CertificatesAreVerified)
{
    FakeLumoServer server(FakeLumoServer::Https);
    ASSERT_TRUE(server.start());
    server.addSubscriber(subscriber(QStringLiteral("9031234567"), QStringLiteral("pw"), 3));
    const QByteArray body =
        FakeLumoServer::loginBody(QStringLiteral("9031234567"), QStringLiteral("pw"));

    // The test authority is unknown to the system: the page fails and the
    // password never leaves.
    Browser b;
    ASSERT_TRUE(b.go(server.loginUrl(), body));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_GE(server.connectionCount(), 1);

    b.fetcher.setExtraCaCertificates(FakeLumoServer::caCertificates());
    ASSERT_TRUE(b.go(server.loginUrl(), body));
    EXPECT_TRUE(b.ok) << b.error.toStdString();
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_TRUE(b.documents[0].body.contains(Marker));
    EXPECT_TRUE(server.requests().at(0).secure);

    // The same host name, but a certificate no trusted authority signed.
    server.setUseUntrustedCertificate(true);
    b.fetcher.newSession(); // no reuse of the verified connection
    server.clearRequests();
    ASSERT_TRUE(b.go(server.loginUrl(), body));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());
    EXPECT_EQ(server.requestCount(), 0);
}

TEST(PageFetcher, OversizedAnswersFailThePage)
{
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    FakeLumoServer::Subscriber s =
        subscriber(QStringLiteral("9039999999"), QStringLiteral("pw"), 1);
    s.answer = FakeLumoServer::LoginAnswer::Huge;
    server.addSubscriber(s);
    const QByteArray login = FakeLumoServer::loginBody(s.number, s.password);

    // The real cap against a 9 MiB answer.
    Browser b;
    ASSERT_TRUE(b.go(server.loginUrl(), login));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());

    // Just under an 8 MiB cap the same kind of page is accepted.
    server.setHugeBytes(PageFetcher::DefaultMaxBytes - 1024);
    ASSERT_TRUE(b.go(server.loginUrl(), login));
    EXPECT_TRUE(b.ok) << b.error.toStdString();
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_TRUE(b.documents[0].body.contains(Marker));

    // Without a Content-Length the cap is found while reading.
    b.fetcher.setMaxBytes(64 * 1024);
    FakeLumoServer::Reply big = FakeLumoServer::Reply::html(QByteArray(64 * 1024 + 1, 'x'));
    big.sendContentLength = false;
    server.setRoute("/big", big);
    ASSERT_TRUE(b.go(server.url(QStringLiteral("/big"))));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());
    EXPECT_EQ(b.finished, 1);

    FakeLumoServer::Reply exact = FakeLumoServer::Reply::html(QByteArray(64 * 1024, 'x'));
    exact.sendContentLength = false;
    server.setRoute("/exact", exact);
    ASSERT_TRUE(b.go(server.url(QStringLiteral("/exact"))));
    EXPECT_TRUE(b.ok);
    EXPECT_EQ(b.documents.size(), 1);

    // The same cap applies to local pages.
    TempFolder tmp;
    tmp.write(QStringLiteral("big.html"), QByteArray(64 * 1024 + 1, 'x'));
    ASSERT_TRUE(b.go(QUrl::fromLocalFile(tmp.file(QStringLiteral("big.html")))));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());
}

// The cap bounds memory, not only the document: an endless answer is read
// no further than the cap, and one that inflates past it is "too large".
TEST(PageFetcher, AnswersPastTheCapAreReadNoFurther)
{
    EndlessAnswer endless;
    ASSERT_TRUE(endless.start());
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    const QByteArray page =
        htmlPage(Marker + QStringLiteral("\r\n1,00\r\n") + QString(16 << 20, QLatin1Char(' ')));
    FakeLumoServer::Reply inflating = FakeLumoServer::Reply::html(qCompress(page, 9).mid(4));
    inflating.headers.append({QByteArray("Content-Encoding"), QByteArray("deflate")});
    server.setRoute("/inflating", inflating);

    // The cap (8 MB), the read buffers, and a margin for the allocator; an
    // unbounded read grows by hundreds of megabytes before it is stopped.
    constexpr qint64 MostGrowthKb = 64 << 10;
    Browser b;
    for (const QUrl &url : {endless.url(), server.url(QStringLiteral("/inflating"))}) {
        const bool measured = resetPeakMemory();
        const qint64 before = statusKb("VmRSS");
        ASSERT_TRUE(b.go(url, QByteArray(), 20000)) << url.toString().toStdString();
        EXPECT_FALSE(b.ok) << url.toString().toStdString();
        EXPECT_TRUE(b.documents.isEmpty());
        EXPECT_EQ(b.fetcher.lastFailure().reason, FailReason::TooLarge)
            << url.toString().toStdString() << " " << b.error.toStdString();
        if (measured && before > 0) {
            EXPECT_LT(statusKb("VmHWM") - before, MostGrowthKb) << url.toString().toStdString();
        }
    }
}

TEST(PageFetcher, StopEndsAHangingRequestOnceAndSynchronously)
{
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    FakeLumoServer::Subscriber s =
        subscriber(QStringLiteral("9034444444"), QStringLiteral("pw"), 1);
    s.answer = FakeLumoServer::LoginAnswer::Hang;
    server.addSubscriber(s);
    server.addSubscriber(subscriber(QStringLiteral("9035555555"), QStringLiteral("pw"), 2));

    Browser b;
    b.fetcher.navigate(server.loginUrl(), FakeLumoServer::loginBody(s.number, s.password));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestCount() == 1; }, 5000));
    QTest::qWait(50);
    EXPECT_TRUE(b.fetcher.isBusy());
    EXPECT_EQ(b.finished, 0);

    b.fetcher.stop();
    EXPECT_EQ(b.finished, 1); // before stop() returned
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(b.error, QStringLiteral("stopped"));
    EXPECT_FALSE(b.fetcher.isBusy());
    b.fetcher.stop(); // idle: nothing more
    QTest::qWait(100);
    EXPECT_EQ(b.finished, 1);
    EXPECT_TRUE(b.documents.isEmpty());

    // The fetcher is usable again, and a new navigation ends a running one.
    b.reset();
    b.fetcher.navigate(server.loginUrl(), FakeLumoServer::loginBody(s.number, s.password));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestCount() == 2; }, 5000));
    b.fetcher.navigate(server.loginUrl(), FakeLumoServer::loginBody(QStringLiteral("9035555555"),
                                                                    QStringLiteral("pw")));
    EXPECT_EQ(b.finished, 1);
    EXPECT_EQ(b.error, QStringLiteral("stopped"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.finished == 2; }, 5000));
    EXPECT_TRUE(b.ok);
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_TRUE(b.documents[0].body.contains(Marker));

    // stop() from inside a document report: the meta refresh is not followed.
    FakeLumoServer::Subscriber m =
        subscriber(QStringLiteral("9036666666"), QStringLiteral("pw"), 3);
    m.answer = FakeLumoServer::LoginAnswer::MetaRefresh;
    server.addSubscriber(m);
    server.clearRequests();
    b.onDocument = [&] { b.fetcher.stop(); };
    ASSERT_TRUE(b.go(server.loginUrl(), FakeLumoServer::loginBody(m.number, m.password)));
    QTest::qWait(100);
    EXPECT_EQ(b.documents.size(), 1);
    EXPECT_EQ(b.finished, 1);
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(server.requestCount(), 1);
}

TEST(PageFetcher, NetworkFailuresAndServerErrors)
{
    FakeLumoServer server;
    ASSERT_TRUE(server.start());
    FakeLumoServer::Subscriber reset =
        subscriber(QStringLiteral("9030000010"), QStringLiteral("pw"), 1);
    reset.answer = FakeLumoServer::LoginAnswer::Reset;
    server.addSubscriber(reset);
    FakeLumoServer::Subscriber error =
        subscriber(QStringLiteral("9030000020"), QStringLiteral("pw"), 1);
    error.answer = FakeLumoServer::LoginAnswer::ServerError;
    server.addSubscriber(error);
    FakeLumoServer::Subscriber slow =
        subscriber(QStringLiteral("9030000030"), QStringLiteral("pw"), 30);
    slow.delayMs = 400;
    server.addSubscriber(slow);

    Browser b;
    ASSERT_TRUE(b.go(server.loginUrl(), FakeLumoServer::loginBody(reset.number, reset.password)));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());
    EXPECT_EQ(b.finished, 1);
    EXPECT_FALSE(b.error.isEmpty());

    // A 500 page is shown like any page: one document, a completed navigation.
    ASSERT_TRUE(b.go(server.loginUrl(), FakeLumoServer::loginBody(error.number, error.password)));
    EXPECT_TRUE(b.ok);
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_TRUE(b.documents[0].hasBody);
    EXPECT_TRUE(b.documents[0].body.contains(QStringLiteral("Internal Server Error")));

    // An error status without any body is a document without a body element.
    FakeLumoServer::Reply empty;
    empty.status = 404;
    server.setRoute("/gone", empty);
    ASSERT_TRUE(b.go(server.url(QStringLiteral("/gone"))));
    EXPECT_TRUE(b.ok);
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_FALSE(b.documents[0].hasBody);

    // A slow answer is waited for.
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(b.go(server.loginUrl(), FakeLumoServer::loginBody(slow.number, slow.password)));
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_TRUE(b.ok);
    ASSERT_EQ(b.documents.size(), 1);
    EXPECT_TRUE(b.documents[0].body.contains(QStringLiteral("30.00&nbsp;руб.")));

    // Nobody listening.
    const QUrl closed = server.url(QStringLiteral("/x"));
    server.close();
    ASSERT_TRUE(b.go(closed));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.documents.isEmpty());
}

TEST(PageFetcher, UsesTheSystemProxyButNeverForLoopback)
{
    FakeLumoServer proxy;
    ASSERT_TRUE(proxy.start());
    proxy.setRoute("/via-proxy", FakeLumoServer::Reply::html(htmlPage(QStringLiteral("proxied"))));
    struct EnvGuard
    {
        QByteArray saved = qgetenv("http_proxy");
        bool had = qEnvironmentVariableIsSet("http_proxy");
        ~EnvGuard()
        {
            if (had)
                qputenv("http_proxy", saved);
            else
                qunsetenv("http_proxy");
        }
    } guard;
    qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(proxy.port()));

    Browser b;
    // A remote host goes to the proxy (which answers it; nothing leaves this machine).
    ASSERT_TRUE(b.go(QUrl(QStringLiteral("http://lumo.orvel.example/via-proxy"))));
    EXPECT_TRUE(b.ok) << b.error.toStdString();
    ASSERT_EQ(proxy.requestCount(), 1);
    EXPECT_EQ(proxy.requests().at(0).target, "http://lumo.orvel.example/via-proxy");

    // A loopback address goes straight to its server.
    FakeLumoServer direct;
    ASSERT_TRUE(direct.start());
    direct.setRoute("/direct", FakeLumoServer::Reply::html(htmlPage(QStringLiteral("direct"))));
    ASSERT_TRUE(b.go(direct.url(QStringLiteral("/direct"))));
    EXPECT_TRUE(b.ok);
    EXPECT_EQ(direct.requestCount(), 1);
    EXPECT_EQ(proxy.requestCount(), 1);
}
