#pragma once
// The program's browser: fetches one document at a time (no images,
// scripts, styles or frames), follows redirects and meta refresh, keeps one
// cookie jar per session, decodes by charset and hands over the document's
// <body> element.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include "retrieval/PageDecoding.h" // DecodeDocument

class QNetworkAccessManager;
class QNetworkReply;

namespace zelvant {

class PageFetcher : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 DefaultMaxBytes = 8 * 1024 * 1024;
    static constexpr int MaxRedirects = 10;
    static constexpr int MaxMetaRefreshes = 5;

    explicit PageFetcher(QObject *parent = nullptr);
    ~PageFetcher() override;

    // Forgets all cookies: the next navigation starts a fresh session.
    void newSession();
    // POST body exactly as given (no percent-encoding) when body is not
    // null, GET otherwise. file:// addresses are read from disk. Aborts a
    // navigation still running.
    void navigate(const QUrl &url, const QByteArray &body = QByteArray());
    void stop();
    bool isBusy() const;

    // Extra certificates to trust (the tests' own authority).
    void setExtraCaCertificates(const QList<QSslCertificate> &certificates);
    void setMaxBytes(qint64 bytes);

Q_SIGNALS:
    // Every completed document, with its final address. hasBody is false
    // when the document has no <body> element (bodyHtml is then empty).
    void documentComplete(const QUrl &url, const QString &bodyHtml, bool hasBody);
    // The navigation is over: no further document will come for it. ok is
    // false for network errors, TLS failures, oversized answers and stops.
    void navigationFinished(bool ok, const QString &error);

private:
    struct Private;
    Private *d;
};

// The <body ...>...</body> element of an HTML document, from its opening tag
// through its closing tag, line breaks as received; empty when none.
QString ExtractBodyElement(const QString &html, bool *found = nullptr);

} // namespace zelvant
