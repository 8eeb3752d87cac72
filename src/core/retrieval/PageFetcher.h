#pragma once
// The program's browser: fetches one document at a time (no images,
// scripts, styles or frames), follows redirects and meta refresh, keeps one
// cookie jar per session, decodes by charset and hands over the document's
// <body> element.
//
// Signals of one navigation, always in this order:
//   documentComplete   zero or more times: every document received (the
//                      first page, each page reached by meta refresh; HTTP
//                      redirections produce none). Error pages of the server
//                      (404, 500, ...) are documents too, as in a browser.
//   navigationFinished exactly once, when no further document will follow:
//                      ok true when the last answer was a document, false for
//                      connection errors (refused, reset, time-out), TLS
//                      verification failures, too many redirections, an
//                      answer over the size cap, unreadable local files,
//                      unsupported addresses and stop(); error is a short
//                      English text for the log, "stopped" after stop().
// Signals are emitted from the event loop, never from inside navigate(),
// except for these two synchronous cases:
//   - stop() while a navigation runs emits navigationFinished(false,
//     "stopped") before it returns; stop() while idle emits nothing;
//   - navigate() while a navigation runs first ends that one the same way.
// A receiver may call stop(), navigate() or newSession() from any of the
// signals; nothing of the earlier navigation is emitted after that.
// A meta refresh is followed at once (the delay is not waited for) when it
// names an address and asks for at most MaxMetaRefreshDelaySeconds; after
// MaxMetaRefreshes the last document stands and the navigation ends (ok).

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>

#include "core/FailReason.h"
#include "core/retrieval/PageDecoding.h" // DecodeDocument

namespace zelvant {

class PageFetcher : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 DefaultMaxBytes = 8 * 1024 * 1024;
    static constexpr int MaxRedirects = 10;
    static constexpr int MaxMetaRefreshes = 5;
    // A longer refresh is a periodic reload, not a step of the login.
    static constexpr int MaxMetaRefreshDelaySeconds = 30;

    explicit PageFetcher(QObject *parent = nullptr);
    ~PageFetcher() override;

    // Forgets all cookies and pooled connections: the next navigation
    // starts a fresh session. Meant for between navigations.
    void newSession();
    // POST body exactly as given (no percent-encoding) when body is not
    // null, GET otherwise. file:// addresses are read from disk. Aborts a
    // navigation still running.
    void navigate(const QUrl &url, const QByteArray &body = QByteArray());
    void stop();
    bool isBusy() const;

    // Extra certificates to trust besides the system's (the tests' own
    // authority), in PEM. Certificates are always verified.
    void setExtraCaCertificates(const QByteArray &pem);
    // Largest answer accepted (DefaultMaxBytes); a larger one fails the page.
    void setMaxBytes(qint64 bytes);
    // Why the last navigation brought nothing usable, once it has finished:
    // its failure (connection, TLS, size, stop), or an error status of the
    // server's last page (HttpError); none for a page served normally.
    PhoneFailure lastFailure() const;

Q_SIGNALS:
    // Every completed document, with its final address. hasBody is false
    // when the document has no <body> element (bodyHtml is then empty).
    // bodyHtml is the element as normalizePageText gives it.
    void documentComplete(const QUrl &url, const QString &bodyHtml, bool hasBody);
    // The navigation is over: no further document will come for it. ok is
    // false for network errors, TLS failures, oversized answers and stops.
    void navigationFinished(bool ok, const QString &error);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The <body ...>...</body> element of an HTML document, from its opening tag
// through its closing tag, line breaks as received; empty when none. Tag
// names match in any letter case; "<body" inside comments, scripts, styles
// and a frameset's noframes part does not count. Without a closing tag the
// element runs to the end of the document.
QString extractBodyElement(const QString &html, bool *found = nullptr);

// The address a <meta http-equiv="refresh"> of the document sends to,
// resolved against base; invalid when there is none, it names no address
// (a reload) or its delay is longer than MaxMetaRefreshDelaySeconds.
QUrl metaRefreshTarget(const QString &html, const QUrl &base);

} // namespace zelvant
