// The part "net": HttpTransport on Qt Network (see HttpTransport.h).

#include "core/ProgramInfo.h"
#include "core/retrieval/HttpTransport.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslError>

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

class NetworkTransport final : public HttpTransport
{
public:
    NetworkTransport()
    {
        // No cache is ever set on the manager, and every request says not
        // to use one; a balance must come from the operator, never from disk.
        m_manager.setProxyFactory(new SystemProxyFactory);
        m_manager.setCookieJar(new QNetworkCookieJar(&m_manager));
    }
    ~NetworkTransport() override { abort(); }

    void send(const HttpRequest &request, Done done) override;
    void abort() override;
    void newSession() override
    {
        // The manager deletes the jar it owned; cookies of the last phone are gone.
        m_manager.setCookieJar(new QNetworkCookieJar(&m_manager));
        m_manager.clearConnectionCache();
    }
    void setExtraCaCertificates(const QByteArray &pem) override
    {
        m_extraCa = QSslCertificate::fromData(pem, QSsl::Pem);
        // Connections to a host are pooled with the TLS settings of the
        // request that opened them; new trust must not wait for the pool to expire.
        m_manager.clearConnectionCache();
    }

private:
    void onMetaData();
    void onReadyRead();
    void onFinished();
    void fail(const QString &error, PhoneFailure failure);
    void tooLarge()
    {
        fail(QStringLiteral("the page is larger than %1 bytes").arg(m_maxBytes),
             {FailReason::TooLarge});
    }
    // Ends the exchange: the reply goes before done is called, which may send again.
    void finish(HttpAnswer answer);

    QNetworkAccessManager m_manager;
    QObject m_context; // of the reply's connections, which abort() cuts
    QList<QSslCertificate> m_extraCa;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_received;
    qint64 m_maxBytes = 0;
    QStringList m_tlsErrors;
    Done m_done;
};

void NetworkTransport::send(const HttpRequest &request, Done done)
{
    abort();
    const QUrl &url = request.url;
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
        if (!m_extraCa.isEmpty())
            tls.addCaCertificates(m_extraCa);
        req.setSslConfiguration(tls);
    }

    QNetworkReply *r;
    if (request.method == "POST") {
        req.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
        r = m_manager.post(req, request.body.isNull() ? QByteArray("") : request.body);
    } else {
        r = m_manager.get(req);
    }
    // The network thread stops reading from the socket while this much
    // waits unread; without a bound it queues whatever an endless answer
    // sends faster than the cap below can be checked.
    r->setReadBufferSize(ReadBufferBytes);
    m_reply = r;
    m_maxBytes = request.maxBytes;
    m_done = std::move(done);
    // No ignoreSslErrors() anywhere: a certificate that does not verify
    // ends the reply with an error, which fails the page.
    QObject::connect(r, &QNetworkReply::metaDataChanged, &m_context, [this] { onMetaData(); });
    QObject::connect(r, &QNetworkReply::readyRead, &m_context, [this] { onReadyRead(); });
    QObject::connect(r, &QNetworkReply::finished, &m_context, [this] { onFinished(); });
    QObject::connect(r, &QNetworkReply::sslErrors, &m_context,
                     [this](const QList<QSslError> &errors) {
                         for (const QSslError &error : errors)
                             m_tlsErrors << error.errorString();
                     });
}

void NetworkTransport::abort()
{
    m_done = nullptr;
    m_received.clear();
    m_tlsErrors.clear();
    if (!m_reply)
        return;
    QNetworkReply *r = m_reply;
    m_reply = nullptr;
    r->disconnect(&m_context);
    if (r->isRunning())
        r->abort();
    r->deleteLater();
}

void NetworkTransport::finish(HttpAnswer answer)
{
    answer.tlsErrors = m_tlsErrors;
    const Done done = m_done;
    abort();
    if (done)
        done(answer);
}

void NetworkTransport::fail(const QString &error, PhoneFailure failure)
{
    HttpAnswer answer;
    answer.error = error;
    answer.failure = failure;
    finish(answer);
}

void NetworkTransport::onMetaData()
{
    if (!m_reply)
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > m_maxBytes)
        tooLarge();
}

void NetworkTransport::onReadyRead()
{
    if (!m_reply)
        return;
    m_received += m_reply->read(m_maxBytes + 1 - m_received.size());
    if (m_received.size() > m_maxBytes)
        tooLarge();
}

void NetworkTransport::onFinished()
{
    if (!m_reply)
        return;
    QNetworkReply *r = m_reply;
    m_received += r->read(m_maxBytes + 1 - m_received.size());
    if (m_received.size() > m_maxBytes || r->bytesAvailable() > 0) {
        tooLarge();
        return;
    }
    const QVariant status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = r->error();
    // An HTTP status means the server answered: 404 or 500 pages are
    // documents like any other (a browser shows them), so the content and
    // server error codes do not fail the page. Connection, TLS, proxy and
    // protocol errors do, also when they cut a body short.
    const bool transportFailed =
        (error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied)
        || (error >= QNetworkReply::ProtocolUnknownError
            && error <= QNetworkReply::ProtocolFailure);
    if (!status.isValid() || transportFailed) {
        fail(r->errorString(), transportFailure(error));
        return;
    }
    HttpAnswer answer;
    answer.answered = true;
    answer.status = status.toInt();
    answer.url = r->url();
    answer.contentType = r->rawHeader("Content-Type");
    answer.hasLocation = r->hasRawHeader("Location");
    answer.location = r->rawHeader("Location");
    answer.body = m_received;
    finish(answer);
}

} // namespace

} // namespace zelvant

extern "C" Q_DECL_EXPORT zelvant::HttpTransport *zelvantNewHttpTransport()
{
    return new zelvant::NetworkTransport;
}
