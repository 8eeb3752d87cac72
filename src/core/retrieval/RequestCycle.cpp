#include "core/retrieval/RequestCycle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include "core/AppPaths.h"
#include "core/ErrorLog.h"
#include "core/Logging.h"
#include "core/TextCodec.h"
#include "core/config/AppContext.h"
#include "core/config/AtomicWrite.h"
#include "core/config/Settings.h"
#include "core/history/ResultStore.h"
#include "core/retrieval/BalancePageParser.h"
#include "core/retrieval/FailedPages.h"
#include "core/retrieval/PageFetcher.h"
#include "core/retrieval/PageRulesFile.h"

namespace zelvant {

namespace {

const QString LocalTestPage = QStringLiteral("orvel-test.html");
const QString LogFileFormat = QStringLiteral("yy-MM-dd_hh-mm-ss-zzz");

} // namespace

struct RequestCycle::Private
{
    // Between: inside a cycle, no phone under way (before the first phone and
    // between two phones). Pausing: the pause before a phone. Waiting: the
    // login was sent, the answer is awaited. AfterPhone: the short pause after
    // a phone, before the standard icon returns.
    enum class State { Idle, Between, Pausing, Waiting, AfterPhone };

    Private(RequestCycle *q, const AppContext &context, const PhoneResults &results)
        : q(q)
        , context(context)
        , results(results)
    {
    }

    bool passesChecks(int slot, bool checkQueryOk) const;
    PhoneFailure skipFailure(int slot) const;
    void advance();
    void beginRequest();
    void postLogin(int slot);
    void endPhone();
    void finishPhone();
    void finish();
    void onDocument(const QUrl &url, const QString &body, bool hasBody);
    void onNavigationFinished();
    void onTimeout();
    void loadRules();
    void keepFailedPage(int slot);
    bool stopping() const { return stopRequested; }
    // Runs one step of the cycle; an error escaping it ends the cycle with
    // its end steps rather than leaving it half-way.
    template<typename Step>
    void guarded(Step step)
    {
        try {
            step();
        } catch (...) {
            logUnexpectedError(QStringLiteral("шаг цикла запросов"));
            abort();
        }
    }
    void abort();
    // Nothing may escape the cycle's steps, but nothing may vanish either:
    // what was being done goes to the error log.
    void logUnexpectedError(const QString &what) const
    {
        log(QStringLiteral("Непредвиденная ошибка (%1)").arg(what));
    }
    // A line of the error log; one that cannot be written is told, with the
    // system's reason, rather than lost without a word.
    void tellLoss(const QString &message) const { Q_EMIT q->lossReported(message); }
    void log(const QString &message) const
    {
        QString error;
        if (!writeErrorLog(message, context.paths.errorLogFile(), &error))
            Q_EMIT q->lossReported(
                QCoreApplication::translate("zelvant::RequestCycle",
                                            "Запись в журнал ошибок \"%1\" не удалась: %2")
                    .arg(QDir::toNativeSeparators(context.paths.errorLogFile()), error));
    }

    RequestCycle *q;
    const AppContext &context;
    const PhoneResults &results;
    CycleTimings timings;

    PageFetcher fetcher;
    QTimer pauseTimer;
    QTimer timeoutTimer;
    QTimer afterTimer;

    State state = State::Idle;
    // stop() was called: ends the current pause, wait and the cycle.
    bool stopRequested = false;
    bool startPending = false; // QueryPhones returned, the first step not yet run
    CycleMode mode = CycleMode::AllPhones;
    int nextSlot = 0;
    // A retry asks these slots only (empty: no such restriction).
    QList<int> only;
    // The slots a request went out for in this (or the last) cycle.
    QList<int> queried;
    // Why the current phone has no balance, should it end without one.
    PhoneFailure failure;
    int count = 0;
    int total = 0;
    bool firstPhone = true;
    int currentSlot = 0;
    bool done = false;
    bool timedOut = false;
    // Documents are taken for the current phone only from its login until
    // the phone has ended; anything later belongs to no one.
    bool phoneActive = false;
    // Counts the phones begun, so that a page whose result a listener handled
    // at length can tell whether its phone is still the one under way.
    quint64 phoneSerial = 0;

    // Read afresh for every cycle, so an edited rules file counts from the
    // next request on.
    PageRules rules = PageRules::builtIn();
    QString loggedRefusal; // a refusal is logged once, not every cycle
    // The last page of the current phone that gave no balance, with its
    // address line, and why: kept if the phone ends without a result.
    QString failedPage;
    QString failedReason;
};

bool RequestCycle::Private::passesChecks(int slot, bool checkQueryOk) const
{
    const PhoneList &phones = context.phones;
    if (phones.numberOf(slot).isEmpty() || phones.passwordOf(slot).isEmpty())
        return false;
    if (!phones.isMonitored(slot))
        return false;
    if (checkQueryOk && results[slot].queryOk)
        return false;
    return !context.loginUrlOf(slot).isEmpty();
}

PhoneFailure RequestCycle::Private::skipFailure(int slot) const
{
    const PhoneList &phones = context.phones;
    if (phones.numberOf(slot).isEmpty())
        return {FailReason::NoNumber};
    // A keyring phone whose password did not come is never logged in with
    // an empty one.
    if (phones.passwordOf(slot).isEmpty())
        return {phones.slot(slot).passwordInKeyring ? FailReason::NotInKeyring
                                                    : FailReason::NoPassword};
    if (!phones.isMonitored(slot))
        return {FailReason::NotMonitored};
    if (context.loginUrlOf(slot).isEmpty())
        return {FailReason::UnknownRegion};
    return {FailReason::Stopped};
}

void RequestCycle::Private::advance()
{
    if (state != State::Between)
        return;
    while (!stopping()) {
        const int slot = nextSlot;
        if (slot < 1 || slot > PhoneSlotCount)
            break;
        // A single-phone request examines its slot and nothing after it.
        nextSlot = mode == CycleMode::OnePhone ? 0 : slot + 1;
        if (!only.isEmpty() && !only.contains(slot))
            continue;
        if (!passesChecks(slot, true)) {
            // A slot with a fresh result keeps it; any other says why not.
            if (!results[slot].queryOk)
                Q_EMIT q->phoneFailed(slot, skipFailure(slot));
            continue;
        }

        ++count;
        Q_EMIT q->progress(slot, count, total);
        if (state != State::Between)
            return; // a listener stopped the cycle
        const int pause = firstPhone ? 0 : timings.pauseBeforePhoneMs;
        firstPhone = false;
        currentSlot = slot;
        done = false;
        state = State::Pausing;
        if (pause <= 0)
            beginRequest();
        else
            pauseTimer.start(pause);
        return;
    }
    finish();
}

void RequestCycle::Private::beginRequest()
{
    if (state != State::Pausing)
        return;
    pauseTimer.stop();
    state = State::Waiting;
    // The phone list may have been edited during the pause: the request uses
    // the slot as it is now, and a slot that no longer qualifies is left out.
    if (stopping() || !passesChecks(currentSlot, false)) {
        failure = stopping() ? PhoneFailure{FailReason::Stopped} : skipFailure(currentSlot);
        endPhone();
        return;
    }
    queried << currentSlot;
    failure = {FailReason::Stopped};
    done = false;
    timedOut = false;
    failedPage.clear();
    failedReason.clear();
    phoneActive = true;
    ++phoneSerial;
    qCDebug(lcRetrieval) << "phone" << currentSlot << "requested";
    Q_EMIT q->phoneStarted(currentSlot);
    if (state != State::Waiting || !phoneActive)
        return; // a listener stopped the cycle
    timeoutTimer.start(timings.timeoutMs);
    // Sessions of two subscribers must never mix.
    fetcher.newSession();
    postLogin(currentSlot);
}

void RequestCycle::Private::postLogin(int slot)
{
    const QString address = context.loginUrlOf(slot);
    QString problem;
    const QUrl url = loginUrl(address, &problem);
    if (!problem.isEmpty()) {
        // Nothing can be sent; the phone fails at once, and says why.
        const QString message = QStringLiteral("Адрес входа \"%1\" телефона %2 не годится: %3")
                                    .arg(address, context.phones.numberOf(slot), problem);
        log(message);
        Q_EMIT q->loginAddressUnusable(slot, message);
        failure = {FailReason::BadLoginAddress};
        endPhone();
        return;
    }
    if (address.contains(LocalTestPage)) {
        // A local test page is read as it is; nothing is sent.
        fetcher.navigate(url);
        return;
    }
    fetcher.navigate(url,
                     loginBody(context.phones.numberOf(slot), context.phones.passwordOf(slot)));
}

void RequestCycle::Private::endPhone()
{
    if (state != State::Waiting && state != State::Pausing)
        return;
    state = State::AfterPhone;
    pauseTimer.stop();
    timeoutTimer.stop();
    if (stopping()) {
        finishPhone();
        return;
    }
    // A short pause before the phone is over: the tray's last animation frame
    // stays a moment before the standard icon returns.
    afterTimer.start(timings.afterPhoneMs);
}

void RequestCycle::Private::finishPhone()
{
    if (state != State::AfterPhone)
        return;
    afterTimer.stop();
    state = State::Between;
    phoneActive = false;
    const int slot = currentSlot;
    const bool ok = done;
    // Whatever the browser still loads for this phone must not reach the next.
    fetcher.stop();
    // A phone the user stopped did not fail for its page.
    if (!ok && !failedPage.isEmpty() && !stopping())
        keepFailedPage(slot);
    failedPage.clear();
    qCDebug(lcRetrieval) << "phone" << slot << (ok ? "ok" : "failed:") << failure.englishText();
    if (!ok && slot >= 1 && slot <= PhoneSlotCount)
        Q_EMIT q->phoneFailed(slot, failure);
    Q_EMIT q->phoneFinished(slot, ok);
    advance();
}

void RequestCycle::Private::finish()
{
    if (state == State::Idle)
        return;
    state = State::Idle;
    pauseTimer.stop();
    timeoutTimer.stop();
    afterTimer.stop();
    phoneActive = false;
    startPending = false;
    // Stopped before their turn: the phones the cycle would still have asked.
    for (int slot = nextSlot; slot >= 1 && slot <= PhoneSlotCount;
         slot = mode == CycleMode::OnePhone ? 0 : slot + 1) {
        if ((only.isEmpty() || only.contains(slot)) && passesChecks(slot, true))
            Q_EMIT q->phoneFailed(slot, {FailReason::Stopped});
    }
    Q_EMIT q->cycleFinished();
}

void RequestCycle::Private::abort()
{
    phoneActive = false;
    try {
        fetcher.stop();
    } catch (...) {
        logUnexpectedError(QStringLiteral("остановка запроса"));
    }
    if (state != State::Idle) {
        state = State::Between;
        finish();
    }
}

void RequestCycle::Private::onDocument(const QUrl &url, const QString &body, bool hasBody)
{
    if (!phoneActive)
        return;
    try {
        const QString head =
            QStringLiteral("<!-- ") + url.toString() + QStringLiteral(" -->\r\n\r\n");
        if (!hasBody)
            return;
        // A login page may echo the password (a form's value="…"); a page
        // kept on disk never holds it.
        const auto kept = [&] {
            return head + withoutSecret(body, context.phones.passwordOf(currentSlot));
        };
        if (saveLogFilesEnabled(context.settingsFile)
            && saveLogFile(context.paths.savedPagesDir(), kept(), QDateTime::currentDateTime())
                   .isEmpty())
            tellLoss(QCoreApplication::translate("zelvant::RequestCycle",
                                                 "Полученная страница не сохранена в папку \"%1\"")
                         .arg(QDir::toNativeSeparators(context.paths.savedPagesDir())));
        const PageReading reading = readBalancePage(body, rules);
        if (!reading.hasBalance()) {
            // Like a page without the marker, a page whose balance cannot be
            // read is no result: no history row, no 0.00 in the tray.
            failedPage = kept();
            const FieldOrigin &balance = reading.origin(PageField::Balance);
            failedReason =
                !reading.complete ? QCoreApplication::translate(
                    "zelvant::RequestCycle",
                    "разбор страницы прерван: слишком много работы для правил")
                : reading.hasMarker() && balance.step > 0
                    ? QStringLiteral("баланс на странице не прочитан (\"%1\")").arg(balance.value)
                    : QStringLiteral("нет баланса на странице");
            return;
        }
        const PhoneResult &parsed = reading.record;
        const int slot = currentSlot;
        const quint64 serial = phoneSerial;
        const PhoneResult record =
            fillFromPage(parsed, slot, context.phones.numberOf(slot), context.phones.aliasOf(slot),
                         QDateTime::currentDateTime());
        Q_EMIT q->resultReady(slot, record);
        // A listener that let the event loop run may have seen the phone end
        // (and maybe the cycle): the result is told, but it must not end
        // whatever runs now.
        if (!phoneActive || serial != phoneSerial)
            return;
        done = true;
    } catch (...) {
        // A page that cannot be handled leaves the phone as it was.
        logUnexpectedError(QStringLiteral("страница телефона ")
                           + context.phones.numberOf(currentSlot));
        return;
    }
    if (done && state == State::Waiting)
        endPhone();
}

void RequestCycle::Private::loadRules()
{
    QString refusal;
    rules = loadPageRules(context.paths.pageRulesFile(), &refusal);
    if (refusal.isEmpty()) {
        loggedRefusal.clear();
        return;
    }
    if (refusal != loggedRefusal)
        log(refusal);
    loggedRefusal = refusal;
    Q_EMIT q->pageRulesRefused(refusal);
}

void RequestCycle::Private::keepFailedPage(int slot)
{
    QString error;
    const QString path = zelvant::keepFailedPage(context.paths.failedPagesDir(), failedPage, slot,
                                                 QDateTime::currentDateTime(), &error);
    // A page that came with an error status failed for that status, not for
    // its text.
    const QString reason = failure.isFailure() && failure.reason != FailReason::NoBalance
                               ? failure.text()
                               : failedReason;
    const QString phone =
        QStringLiteral("Телефон %1 (%2): %3").arg(slot).arg(context.phones.numberOf(slot), reason);
    if (path.isEmpty()) {
        const QString lost = phone + QStringLiteral("; страницу не удалось сохранить: ") + error;
        tellLoss(lost);
        log(lost);
        return;
    }
    log(phone
        + QStringLiteral("; страница сохранена в \"%1\"").arg(QDir::toNativeSeparators(path)));
}

void RequestCycle::Private::onNavigationFinished()
{
    // Without scripts nothing more can come: a navigation that ended without
    // a balance page ends the phone now rather than at its time-out.
    if (phoneActive && state == State::Waiting) {
        failure = fetcher.lastFailure();
        if (!failure.isFailure())
            failure = {FailReason::NoBalance};
        endPhone();
    }
}

void RequestCycle::Private::onTimeout()
{
    timedOut = true;
    failure = {FailReason::TimeOut};
    if (state == State::Waiting)
        endPhone();
}

RequestCycle::RequestCycle(const AppContext &context, const PhoneResults &results, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this, context, results))
{
    d->pauseTimer.setSingleShot(true);
    d->timeoutTimer.setSingleShot(true);
    d->afterTimer.setSingleShot(true);
    connect(&d->pauseTimer, &QTimer::timeout, this,
            [this] { d->guarded([this] { d->beginRequest(); }); });
    connect(&d->timeoutTimer, &QTimer::timeout, this,
            [this] { d->guarded([this] { d->onTimeout(); }); });
    connect(&d->afterTimer, &QTimer::timeout, this,
            [this] { d->guarded([this] { d->finishPhone(); }); });
    connect(&d->fetcher, &PageFetcher::documentComplete, this,
            [this](const QUrl &url, const QString &body, bool hasBody) {
                d->guarded([&] { d->onDocument(url, body, hasBody); });
            });
    connect(&d->fetcher, &PageFetcher::navigationFinished, this,
            [this](bool, const QString &) { d->guarded([this] { d->onNavigationFinished(); }); });
}

RequestCycle::~RequestCycle()
{
    disconnect(&d->fetcher, nullptr, this, nullptr);
    d->pauseTimer.stop();
    d->timeoutTimer.stop();
    d->afterTimer.stop();
    d->phoneActive = false;
    d->fetcher.stop();
}

void RequestCycle::setTimings(const CycleTimings &timings)
{
    d->timings = timings;
}

bool RequestCycle::retryPhones(const QList<int> &targets)
{
    if (targets.isEmpty() || d->state != Private::State::Idle)
        return false;
    const bool started = queryPhones(CycleMode::FailedPhones);
    // Read from the event loop on, when the first phone is chosen.
    d->only = targets;
    return started;
}

bool RequestCycle::queryPhones(CycleMode mode, int slot)
{
    // One cycle at a time.
    if (d->state != Private::State::Idle || int(mode) < 0 || int(mode) > 2)
        return false;
    d->state = Private::State::Between;
    d->mode = mode;
    d->only.clear();
    d->queried.clear();
    d->firstPhone = true;
    d->stopRequested = false;
    d->count = 0;
    d->total = d->context.phones.monitoredCount();
    d->nextSlot = mode == CycleMode::OnePhone ? slot : 1;
    d->currentSlot = 0;
    d->loadRules();
    Q_EMIT cycleStarted(mode, slot);
    // The first phone starts from the event loop, so that the caller has
    // connected to cycleFinished() whatever happens.
    d->startPending = true;
    QTimer::singleShot(0, this, [this] {
        if (!d->startPending)
            return;
        d->startPending = false;
        d->guarded([this] { d->advance(); });
    });
    return true;
}

void RequestCycle::stop()
{
    d->stopRequested = true;
    d->fetcher.stop();
    switch (d->state) {
    case Private::State::Pausing:
    case Private::State::Waiting:
        d->endPhone();
        break;
    case Private::State::AfterPhone:
        d->finishPhone();
        break;
    case Private::State::Between:
        // A cycle that has not started its first phone yet ends now, so a
        // new one can follow at once; otherwise the next step sees the flag.
        if (d->startPending)
            d->finish();
        break;
    case Private::State::Idle:
        break;
    }
}

bool RequestCycle::isRunning() const
{
    return d->state != Private::State::Idle;
}

PageFetcher &RequestCycle::fetcher()
{
    return d->fetcher;
}

int RequestCycle::queriedCount() const
{
    return d->count;
}

QList<int> RequestCycle::queriedSlots() const
{
    return d->queried;
}

CycleMode RequestCycle::mode() const
{
    return d->mode;
}

QUrl RequestCycle::loginUrl(const QString &address, QString *problem)
{
    QUrl url;
    const QString text = address.trimmed();
    const QUrl parsed(text);
    if (parsed.scheme().size() <= 1 && !text.isEmpty()
        && (QDir::isAbsolutePath(text) || parsed.scheme().size() == 1)) {
        // "C:/..." parses with the drive letter as scheme; a plain path has none.
        url = QUrl::fromLocalFile(text);
    } else if (!text.contains(QLatin1String("://")) && !text.startsWith(QLatin1String("file:"))) {
        // Taken as a web address without its scheme, as a browser's address
        // bar does ("host/path", "host:8080/path").
        url = QUrl(QStringLiteral("http://") + text);
    } else {
        url = parsed;
    }
    QString reason;
    const QString scheme = url.scheme().toLower();
    if (text.isEmpty())
        reason = QStringLiteral("адрес пуст");
    else if (!url.isValid())
        reason = url.errorString();
    else if (scheme != QLatin1String("http") && scheme != QLatin1String("https")
             && scheme != QLatin1String("file"))
        reason = QStringLiteral("протокол \"%1\" не поддерживается").arg(url.scheme());
    else if (scheme != QLatin1String("file") && url.host().isEmpty())
        reason = QStringLiteral("в адресе нет имени сервера");
    if (problem)
        *problem = reason;
    return url;
}

QByteArray RequestCycle::loginBody(const QString &number, const QString &password)
{
    return toWindows1251(QStringLiteral("Lang=2&mobnum=") + number + QStringLiteral("&Password=")
                         + password);
}

bool RequestCycle::hasBalanceMarker(const QString &page)
{
    return page.contains(PageRules::builtIn().marker);
}

QString RequestCycle::saveLogFile(const QString &folder, const QString &text, const QDateTime &now)
{
    const QByteArray bytes = savedPageBytes(text);
    // Names are the time of arrival; a second page within the same
    // millisecond takes the next free one instead of replacing the first.
    const QDir dir(folder);
    QDateTime stamp = now;
    QString path = dir.filePath(stamp.toString(LogFileFormat) + QStringLiteral(".html"));
    for (int attempt = 0; attempt < 1000 && QFileInfo::exists(path); ++attempt) {
        stamp = stamp.addMSecs(1);
        path = dir.filePath(stamp.toString(LogFileFormat) + QStringLiteral(".html"));
    }
    return writeFileAtomically(path, bytes, nullptr, NewFileAccess::OwnerOnly) ? path : QString();
}

void keepCycleResults(RequestCycle &cycle, ResultStore &store, const AppContext &context)
{
    QObject::connect(&cycle, &RequestCycle::cycleStarted, &store,
                     [&store, &context](CycleMode mode, int slot) {
                         store.beginCycle(mode, slot, context.options.values().cbHistory);
                     });
    QObject::connect(&cycle, &RequestCycle::resultReady, &store, &ResultStore::keepResult);
    QObject::connect(&cycle, &RequestCycle::phoneFailed, &store, &ResultStore::keepFailure);
    QObject::connect(&cycle, &RequestCycle::cycleFinished, &store, &ResultStore::endCycle);
}

} // namespace zelvant
