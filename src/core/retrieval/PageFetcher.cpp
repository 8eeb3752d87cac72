#include "core/retrieval/PageFetcher.h"

#include "core/AppPaths.h"
#include "core/Logging.h"
#include "core/retrieval/PageDecoding.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>

namespace zelvant {

namespace {

// What the network thread may hold of an answer before it is read here.
constexpr qint64 ReadBufferBytes = 64 * 1024;

// The system's proxy settings, except for the loopback interface: a local
// address never goes through a proxy (nor could a proxy reach it).
class SystemProxyFactory : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        const QString host = query.peerHostName();
        const QHostAddress address(host);
        if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
            || host.endsWith(QLatin1String(".localhost"), Qt::CaseInsensitive)
            || (!address.isNull() && address.isLoopback()))
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

// What a failed transfer means for the phone: the certificate, the clock,
// or the way to the server.
PhoneFailure transportFailure(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::SslHandshakeFailedError:
        return {FailReason::TlsRefused};
    case QNetworkReply::TimeoutError:
        return {FailReason::TimeOut};
    default:
        return {FailReason::NoConnection};
    }
}

bool isWebScheme(const QUrl &url)
{
    const QString s = url.scheme().toLower();
    return s == QLatin1String("http") || s == QLatin1String("https");
}

bool isHttps(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

int portOf(const QUrl &url)
{
    return url.port(isHttps(url) ? 443 : 80);
}

// Scheme, host and port, as a browser tells one site from another.
bool sameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0
           && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && portOf(a) == portOf(b);
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// An address as the diagnostics show it: without a user name and password.
QString shown(const QUrl &url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

// Value of one attribute in the text of a start tag, unquoted; null when absent.
QString attributeValue(const QString &tag, const QString &name)
{
    static const QRegularExpression attr(QStringLiteral(
        "([A-Za-z_:][-A-Za-z0-9_:.]*)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s\"'>]+))"));
    auto it = attr.globalMatch(tag);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(1).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        for (int i = 2; i <= 4; ++i) {
            if (m.capturedStart(i) >= 0)
                return m.captured(i);
        }
    }
    return QString();
}

} // namespace

struct PageFetcher::Private
{
    PageFetcher *q = nullptr;
    QNetworkAccessManager *nam = nullptr;
    QNetworkAccessManager *manager();
    QList<QSslCertificate> extraCa;
    qint64 maxBytes = DefaultMaxBytes;

    QPointer<QNetworkReply> reply;
    QByteArray received;
    bool busy = false;
    // Changes whenever a navigation starts or ends, so that work queued for
    // an earlier one (a file read, a reply handled after a signal whose
    // receiver stopped us) is recognised and dropped.
    quint64 generation = 0;
    // HTTP status of the last document (0 for a file) and how the last
    // navigation ended.
    int lastStatus = 0;
    PhoneFailure outcome;
    int redirects = 0;
    int refreshes = 0;
    // The request on its way, repeated as it is for a 307/308 redirection.
    QByteArray method;
    QByteArray body;

    void dropReply();
    void finish(bool ok, const QString &error, PhoneFailure failure = {});
    void request(const QUrl &url, const QByteArray &requestMethod, const QByteArray &requestBody);
    void loadFile(const QUrl &url, quint64 gen);
    void onMetaData();
    void onReadyRead();
    void onFinished();
    void deliver(const QUrl &url, const QByteArray &bytes, const QByteArray &contentType);
};

void PageFetcher::Private::dropReply()
{
    if (!reply)
        return;
    QNetworkReply *r = reply;
    reply = nullptr;
    r->disconnect(q);
    if (r->isRunning())
        r->abort();
    r->deleteLater();
    received.clear();
}

void PageFetcher::Private::finish(bool ok, const QString &error, PhoneFailure failure)
{
    dropReply();
    busy = false;
    // A server's error page is a document like any other, but it tells why
    // no balance came.
    if (ok)
        failure =
            lastStatus >= 400 ? PhoneFailure{FailReason::HttpError, lastStatus} : PhoneFailure{};
    outcome = failure;
    if (!ok)
        qCInfo(lcRetrieval).noquote() << "navigation failed:" << error;
    ++generation;
    Q_EMIT q->navigationFinished(ok, error);
}

void PageFetcher::Private::request(const QUrl &url, const QByteArray &requestMethod,
                                   const QByteArray &requestBody)
{
    dropReply();
    // Copies first: the arguments may be these very members.
    const QByteArray m = requestMethod;
    const QByteArray b = requestBody;
    method = m;
    body = b;
    if (url.isLocalFile()) {
        qCDebug(lcRetrieval).noquote() << "reading" << url.toLocalFile();
        const quint64 gen = generation;
        // Asynchronous like a network answer: the caller gets its signals
        // from the event loop, never from inside navigate().
        QTimer::singleShot(0, q, [this, url, gen] { loadFile(url, gen); });
        return;
    }
    if (!isWebScheme(url) || url.host().isEmpty()) {
        const quint64 gen = generation;
        const QString text = QStringLiteral("unsupported address: ") + url.toString();
        QTimer::singleShot(0, q, [this, gen, text] {
            if (gen == generation && busy)
                finish(false, text, {FailReason::NoConnection});
        });
        return;
    }

    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::ManualRedirectPolicy);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Decompressed data is held to the size cap like any other; Qt's own
    // ratio check would instead end the reply as an unreadable page.
    req.setDecompressedSafetyCheckThreshold(-1);
    req.setRawHeader("Cache-Control", "no-cache");
    req.setRawHeader("Pragma", "no-cache");
    req.setRawHeader("Accept", "text/html,application/xhtml+xml,*/*;q=0.8");
    req.setRawHeader("Accept-Language", "ru,en;q=0.5");
    req.setHeader(QNetworkRequest::UserAgentHeader,
                  QStringLiteral("Mozilla/5.0 (compatible; %1/%2)")
                      .arg(ProgramName, ProgramVersion)
                      .toLatin1());
    if (url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        if (!extraCa.isEmpty())
            tls.addCaCertificates(extraCa);
        req.setSslConfiguration(tls);
    }

    QNetworkReply *r;
    if (method == "POST") {
        req.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
        r = manager()->post(req, body.isNull() ? QByteArray("") : body);
    } else {
        r = manager()->get(req);
    }
    // The network thread stops reading from the socket while this much
    // waits unread; without a bound it queues whatever an endless answer
    // sends faster than the cap below can be checked.
    r->setReadBufferSize(ReadBufferBytes);
    reply = r;
    received.clear();
    // The body is never shown: it holds the password.
    qCDebug(lcRetrieval).noquote() << method << shown(url);
    // No ignoreSslErrors() anywhere: a certificate that does not verify
    // ends the reply with an error, which fails the page.
    QObject::connect(r, &QNetworkReply::metaDataChanged, q, [this] { onMetaData(); });
    QObject::connect(r, &QNetworkReply::readyRead, q, [this] { onReadyRead(); });
    QObject::connect(r, &QNetworkReply::finished, q, [this] { onFinished(); });
    QObject::connect(r, &QNetworkReply::sslErrors, q, [](const QList<QSslError> &errors) {
        for (const QSslError &error : errors)
            qCInfo(lcRetrieval).noquote() << "TLS:" << error.errorString();
    });
}

void PageFetcher::Private::loadFile(const QUrl &url, quint64 gen)
{
    if (gen != generation || !busy)
        return;
    QFile f(url.toLocalFile());
    if (!f.open(QIODevice::ReadOnly)) {
        finish(false, QStringLiteral("cannot read %1: %2").arg(f.fileName(), f.errorString()),
               {FailReason::NoConnection});
        return;
    }
    if (f.size() > maxBytes) {
        finish(false, QStringLiteral("the page is larger than %1 bytes").arg(maxBytes),
               {FailReason::TooLarge});
        return;
    }
    const QByteArray bytes = f.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        finish(false, QStringLiteral("the page is larger than %1 bytes").arg(maxBytes),
               {FailReason::TooLarge});
        return;
    }
    lastStatus = 0;
    deliver(url, bytes, QByteArray());
}

void PageFetcher::Private::onMetaData()
{
    if (!reply)
        return;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > maxBytes)
        finish(false, QStringLiteral("the page is larger than %1 bytes").arg(maxBytes),
               {FailReason::TooLarge});
}

void PageFetcher::Private::onReadyRead()
{
    if (!reply)
        return;
    received += reply->read(maxBytes + 1 - received.size());
    if (received.size() > maxBytes)
        finish(false, QStringLiteral("the page is larger than %1 bytes").arg(maxBytes),
               {FailReason::TooLarge});
}

void PageFetcher::Private::onFinished()
{
    if (!reply)
        return;
    QNetworkReply *r = reply;
    received += r->read(maxBytes + 1 - received.size());
    if (received.size() > maxBytes || r->bytesAvailable() > 0) {
        finish(false, QStringLiteral("the page is larger than %1 bytes").arg(maxBytes),
               {FailReason::TooLarge});
        return;
    }
    const QVariant statusAttr = r->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = r->error();
    // An HTTP status means the server answered: 404 or 500 pages are
    // documents like any other (a browser shows them), so the content and
    // server error codes do not fail the page. Connection, TLS, proxy and
    // protocol errors do, also when they cut a body short.
    const bool transportFailed =
        (error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied)
        || (error >= QNetworkReply::ProtocolUnknownError
            && error <= QNetworkReply::ProtocolFailure);
    if (!statusAttr.isValid() || transportFailed) {
        finish(false, r->errorString(), transportFailure(error));
        return;
    }
    const int status = statusAttr.toInt();
    const QUrl url = r->url();
    const QByteArray bytes = received;
    const QByteArray contentType = r->rawHeader("Content-Type");

    if (isRedirectStatus(status) && r->hasRawHeader("Location")) {
        const QUrl target = url.resolved(QUrl::fromEncoded(r->rawHeader("Location").trimmed()));
        if (!isWebScheme(target) || !target.isValid()) {
            finish(false, QStringLiteral("refused redirection to %1").arg(target.toString()),
                   {FailReason::HttpError, status});
            return;
        }
        if (redirects >= MaxRedirects) {
            finish(false, QStringLiteral("too many redirections"), {FailReason::HttpError, status});
            return;
        }
        // Whatever follows an encrypted request (the login form, the session
        // cookie) must not travel in clear.
        if (isHttps(url) && !isHttps(target)) {
            finish(false, QStringLiteral("refused redirection from https to %1").arg(shown(target)),
                   {FailReason::RedirectRefused});
            return;
        }
        ++redirects;
        qCDebug(lcRetrieval).noquote() << "status" << status << "redirects to" << shown(target);
        // 307 and 308 repeat the request as it was; the others turn a POST
        // into a GET of the new address, as browsers do. The login form holds
        // the password: it is sent again only to the server it was meant for,
        // never to whatever host a redirection names.
        const bool repeat = status == 307 || status == 308;
        if (repeat && !body.isNull() && !sameOrigin(url, target)) {
            finish(false, QStringLiteral("refused to send the form again to %1").arg(shown(target)),
                   {FailReason::RedirectRefused});
            return;
        }
        if (repeat)
            request(target, method, body);
        else
            request(target, "GET", QByteArray());
        return;
    }
    dropReply();
    qCDebug(lcRetrieval).noquote()
        << "status" << status << bytes.size() << "bytes from" << shown(url);
    lastStatus = status;
    deliver(url, bytes, contentType);
}

void PageFetcher::Private::deliver(const QUrl &url, const QByteArray &bytes,
                                   const QByteArray &contentType)
{
    const QString html = decodeDocument(bytes, contentType);
    bool found = false;
    // Handed over as a browser would serialize it, which is what the parser
    // reads (a no-break space as "&nbsp;", character references resolved).
    const QString body = normalizePageText(extractBodyElement(html, &found));

    const quint64 gen = generation;
    QPointer<PageFetcher> self(q);
    Q_EMIT q->documentComplete(url, body, found);
    if (!self || gen != generation || !busy)
        return; // the receiver stopped us or started another navigation

    const QUrl next = metaRefreshTarget(html, url);
    const bool allowed =
        next.isValid() && (isWebScheme(next) || (next.isLocalFile() && url.isLocalFile()));
    if (!allowed || refreshes >= MaxMetaRefreshes) {
        finish(true, QString());
        return;
    }
    ++refreshes;
    qCDebug(lcRetrieval).noquote() << "meta refresh to" << shown(next);
    request(next, "GET", QByteArray());
}

// Made at the first request: the tray program starts and mostly idles
// without touching the network stack.
QNetworkAccessManager *PageFetcher::Private::manager()
{
    if (!nam) {
        nam = new QNetworkAccessManager(q);
        // No cache is ever set on the manager, and every request says not
        // to use one; a balance must come from the operator, never from disk.
        nam->setProxyFactory(new SystemProxyFactory);
        nam->setCookieJar(new QNetworkCookieJar(nam));
    }
    return nam;
}

PageFetcher::PageFetcher(QObject *parent)
    : QObject(parent)
    , d(new Private)
{
    d->q = this;
}

PageFetcher::~PageFetcher()
{
    d->dropReply();
}

void PageFetcher::newSession()
{
    // The manager deletes the jar it owned; cookies of the last phone are gone.
    if (!d->nam)
        return;
    d->nam->setCookieJar(new QNetworkCookieJar(d->nam));
    d->nam->clearConnectionCache();
}

void PageFetcher::navigate(const QUrl &url, const QByteArray &body)
{
    if (d->busy) {
        const quint64 gen = d->generation;
        QPointer<PageFetcher> self(this);
        d->finish(false, QStringLiteral("stopped"), {FailReason::Stopped});
        if (!self || d->generation != gen + 1 || d->busy)
            return; // the receiver of that report already started something else
    }
    ++d->generation;
    d->busy = true;
    d->redirects = 0;
    d->lastStatus = 0;
    d->outcome = {};
    d->refreshes = 0;
    d->request(url, body.isNull() ? QByteArrayLiteral("GET") : QByteArrayLiteral("POST"), body);
}

void PageFetcher::stop()
{
    if (d->busy)
        d->finish(false, QStringLiteral("stopped"), {FailReason::Stopped});
}

bool PageFetcher::isBusy() const
{
    return d->busy;
}

void PageFetcher::setExtraCaCertificates(const QList<QSslCertificate> &certificates)
{
    d->extraCa = certificates;
    // Connections to a host are pooled with the TLS settings of the request
    // that opened them; new trust must not wait for the pool to expire.
    if (d->nam)
        d->nam->clearConnectionCache();
}

void PageFetcher::setMaxBytes(qint64 bytes)
{
    d->maxBytes = bytes;
}

QString extractBodyElement(const QString &html, bool *found)
{
    if (found)
        *found = false;
    auto tagAt = [&html](qsizetype pos, QLatin1String name) {
        // "<name" followed by a character that ends a tag name.
        if (QStringView(html).mid(pos + 1, name.size()).compare(name, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype after = pos + 1 + name.size();
        if (after >= html.size())
            return true;
        const QChar c = html.at(after);
        return c.isSpace() || c == QLatin1Char('>') || c == QLatin1Char('/');
    };
    // Skips what may hold the text "<body" without being the element:
    // comments, scripts and the noframes alternative of a frameset.
    auto skipPast = [&html](qsizetype from, QLatin1String end) {
        const qsizetype at = html.indexOf(end, from, Qt::CaseInsensitive);
        return at < 0 ? html.size() : at + end.size();
    };

    qsizetype start = -1;
    for (qsizetype i = html.indexOf(QLatin1Char('<')); i >= 0 && i < html.size();
         i = html.indexOf(QLatin1Char('<'), i + 1)) {
        if (QStringView(html).mid(i, 4) == QLatin1String("<!--")) {
            i = skipPast(i + 4, QLatin1String("-->")) - 1;
        } else if (tagAt(i, QLatin1String("script"))) {
            i = skipPast(i + 7, QLatin1String("</script")) - 1;
        } else if (tagAt(i, QLatin1String("style"))) {
            i = skipPast(i + 6, QLatin1String("</style")) - 1;
        } else if (tagAt(i, QLatin1String("noframes"))) {
            i = skipPast(i + 9, QLatin1String("</noframes")) - 1;
        } else if (tagAt(i, QLatin1String("body"))) {
            start = i;
            break;
        }
    }
    if (start < 0)
        return QString();
    if (found)
        *found = true;

    // The last closing tag: a browser puts whatever follows a stray early
    // "</body>" into the body as well.
    const qsizetype openEnd = html.indexOf(QLatin1Char('>'), start);
    if (openEnd < 0)
        return html.mid(start);
    qsizetype close = html.size();
    while (true) {
        close = html.lastIndexOf(QLatin1String("</body"), close - 1, Qt::CaseInsensitive);
        if (close <= openEnd)
            return html.mid(start);
        const qsizetype after = close + 6;
        if (after >= html.size() || html.at(after).isSpace()
            || html.at(after) == QLatin1Char('>')) {
            const qsizetype gt = html.indexOf(QLatin1Char('>'), after);
            return html.mid(start, (gt < 0 ? html.size() : gt + 1) - start);
        }
        if (close == 0)
            return html.mid(start);
    }
}

QUrl metaRefreshTarget(const QString &html, const QUrl &base)
{
    static const QRegularExpression metaTag(QStringLiteral("<meta\\b[^>]*>"),
                                            QRegularExpression::CaseInsensitiveOption);
    auto it = metaTag.globalMatch(html);
    while (it.hasNext()) {
        const QString tag = it.next().captured(0);
        if (attributeValue(tag, QStringLiteral("http-equiv"))
                .trimmed()
                .compare(QLatin1String("refresh"), Qt::CaseInsensitive)
            != 0)
            continue;
        const QString content = attributeValue(tag, QStringLiteral("content"));
        // "N; url=address", "N;URL='address'", "N, address" or just "N".
        static const QRegularExpression form(
            QStringLiteral("^\\s*(\\d+(?:\\.\\d*)?)?\\s*[;,]?\\s*(?:url\\s*=\\s*)?(.*)$"),
            QRegularExpression::CaseInsensitiveOption
                | QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = form.match(content);
        if (!m.hasMatch())
            continue;
        // A long delay is a periodic reload of a page already shown, not a
        // step of the login; it is not followed.
        if (!m.captured(1).isEmpty()
            && m.captured(1).toDouble() > PageFetcher::MaxMetaRefreshDelaySeconds)
            return QUrl();
        QString target = m.captured(2).trimmed();
        if (target.size() >= 2
            && (target.startsWith(QLatin1Char('\'')) || target.startsWith(QLatin1Char('"')))) {
            const qsizetype end = target.indexOf(target.at(0), 1);
            target = target.mid(1, end < 0 ? -1 : end - 1);
        }
        target.replace(QLatin1String("&amp;"), QLatin1String("&"), Qt::CaseInsensitive);
        if (target.isEmpty())
            return QUrl(); // a reload of the same document brings nothing new
        return base.resolved(QUrl(target));
    }
    return QUrl();
}

PhoneFailure PageFetcher::lastFailure() const
{
    return d->outcome;
}

} // namespace zelvant
