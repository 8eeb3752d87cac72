#pragma once
// One HTTP exchange of PageFetcher. Qt Network stays behind this interface,
// in the part "net" (zelvant-net.so, see core/Parts.h), opened at the first
// web request: the tray program starts and mostly idles without mapping the
// network library and the Kerberos and proxy libraries it pulls in.
//
// The part sends one request and hands over the answer as it came; following
// redirections and meta refreshes, and what a page means, is PageFetcher's.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

#include "core/FailReason.h"

namespace zelvant {

struct HttpRequest
{
    QUrl url;
    QByteArray method; // "GET" or "POST"
    QByteArray body;   // of a POST, sent exactly as given
    qint64 maxBytes = 0;
};

struct HttpAnswer
{
    // False when there is no answer to use: no connection, TLS refused,
    // time-out, or over maxBytes; failure and error (English, for the log)
    // say which.
    bool answered = false;
    PhoneFailure failure;
    QString error;
    int status = 0;
    QUrl url;
    QByteArray contentType;
    bool hasLocation = false;
    QByteArray location;
    QByteArray body;
    QStringList tlsErrors; // what the certificate check said, for the log
};

class HttpTransport
{
public:
    using Done = std::function<void(const HttpAnswer &)>;
    virtual ~HttpTransport() = default;
    // Starts one request, dropping one still on its way. done is called once,
    // from the event loop, unless abort() or another send() comes first.
    // Cookies are kept, certificates always verified, no cache is used.
    virtual void send(const HttpRequest &request, Done done) = 0;
    virtual void abort() = 0;
    // Forgets the cookies and pooled connections.
    virtual void newSession() = 0;
    // PEM certificates to trust besides the system's.
    virtual void setExtraCaCertificates(const QByteArray &pem) = 0;
};

// The part's entry point: a new transport, owned by the caller.
inline constexpr char NewHttpTransportSymbol[] = "zelvantNewHttpTransport";
using NewHttpTransportFunction = HttpTransport *(*)();

} // namespace zelvant
