#include "core/retrieval/PageFetcher.h"

#include "core/Logging.h"
#include "core/Parts.h"
#include "core/retrieval/HttpTransport.h"
#include "core/retrieval/PageDecoding.h"

#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

namespace zelvant {

namespace {

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
    // Made at the first web request, from the part "net".
    std::unique_ptr<HttpTransport> transport;
    HttpTransport *transportOrWhyNot(QString *error);
    QByteArray extraCa;
    qint64 maxBytes = DefaultMaxBytes;

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
    void finishLater(const QString &error, PhoneFailure failure);
    void request(const QUrl &url, const QByteArray &requestMethod, const QByteArray &requestBody);
    void loadFile(const QUrl &url, quint64 gen);
    void onAnswer(const HttpAnswer &answer);
    void deliver(const QUrl &url, const QByteArray &bytes, const QByteArray &contentType);
};

void PageFetcher::Private::dropReply()
{
    if (transport)
        transport->abort();
}

HttpTransport *PageFetcher::Private::transportOrWhyNot(QString *error)
{
    if (transport)
        return transport.get();
    const auto make = reinterpret_cast<NewHttpTransportFunction>(
        resolvePart(QStringLiteral("net"), NewHttpTransportSymbol, error));
    if (!make)
        return nullptr;
    transport.reset(make());
    if (!extraCa.isEmpty())
        transport->setExtraCaCertificates(extraCa);
    return transport.get();
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
        finishLater(QStringLiteral("unsupported address: ") + url.toString(),
                    {FailReason::NoConnection});
        return;
    }
    QString why;
    HttpTransport *transport = transportOrWhyNot(&why);
    if (!transport) {
        // A broken installation, not the operator's fault: said once where
        // it can be seen, or every phone would just have "no connection".
        static bool told = false;
        if (!told)
            qCWarning(lcRetrieval).noquote() << "no network part:" << why;
        told = true;
        finishLater(QStringLiteral("no network part: ") + why, {FailReason::NoConnection});
        return;
    }
    // The body is never shown: it holds the password.
    qCDebug(lcRetrieval).noquote() << method << shown(url);
    transport->send({url, method, body, maxBytes},
                    [this](const HttpAnswer &answer) { onAnswer(answer); });
}

// Asynchronous like a network answer: never from inside navigate().
void PageFetcher::Private::finishLater(const QString &error, PhoneFailure failure)
{
    const quint64 gen = generation;
    QTimer::singleShot(0, q, [this, gen, error, failure] {
        if (gen == generation && busy)
            finish(false, error, failure);
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

void PageFetcher::Private::onAnswer(const HttpAnswer &answer)
{
    for (const QString &error : answer.tlsErrors)
        qCInfo(lcRetrieval).noquote() << "TLS:" << error;
    if (!answer.answered) {
        finish(false, answer.error, answer.failure);
        return;
    }
    const int status = answer.status;
    const QUrl &url = answer.url;
    const QByteArray &bytes = answer.body;

    if (isRedirectStatus(status) && answer.hasLocation) {
        const QUrl target = url.resolved(QUrl::fromEncoded(answer.location.trimmed()));
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
    qCDebug(lcRetrieval).noquote()
        << "status" << status << bytes.size() << "bytes from" << shown(url);
    lastStatus = status;
    deliver(url, bytes, answer.contentType);
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
    if (d->transport)
        d->transport->newSession();
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

void PageFetcher::setExtraCaCertificates(const QByteArray &pem)
{
    d->extraCa = pem;
    if (d->transport)
        d->transport->setExtraCaCertificates(pem);
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
