// The part "mqtt": MqttLink over libmosquitto.

#include "core/mqtt/MqttLink.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QThread>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace zelvant {

namespace {

constexpr int QoS = 1;
constexpr int KeepAliveSeconds = 60;
// How long stop() waits for the network thread to end.
constexpr int StopWaitMs = 2000;
// Where Debian keeps the system's certificate authorities.
constexpr const char *SystemCaPath = "/etc/ssl/certs";

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

struct LinkState
{
    // Empty once stopped: a network thread left to end on its own (see
    // stop()) tells nobody.
    QMutex notifyLock;
    MqttLink::ConnectionChanged notify;
    mosquitto *mosq = nullptr;
    MqttConfig config;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::mutex sleepMutex;
    std::condition_variable wake;
    // The thread's end, and whether stop() gave up waiting for it (the
    // thread then frees the connection itself).
    bool finished = false;
    bool abandoned = false;
    std::condition_variable ended;

    // What the broker is to hold, guarded by stateLock (the network thread's
    // callbacks read and write it too).
    struct Entry
    {
        QByteArray payload;
        quint64 generation = 0;
    };
    mutable QMutex stateLock;
    QHash<QString, Entry> entries;
    QSet<QString> unacked; // topics whose latest payload the broker has not confirmed
    QHash<int, std::pair<QString, quint64>> inflight; // message id -> topic, generation
    QSet<int> earlyAcks; // acknowledged before mosquitto_publish() returned the id
    bool connected = false;
    quint64 nextGeneration = 1;
    QString refusal; // the broker's answer to the last login, when it refused

    // Serialises the publishes of both threads, so that the republishing
    // after a reconnect never overtakes a newer value with an older one.
    QMutex publishLock;

    // Caller holds publishLock.
    void publish(const QString &topic)
    {
        Entry entry;
        {
            QMutexLocker lock(&stateLock);
            if (!connected)
                return; // sent with all the others once the connection is back
            entry = entries.value(topic);
        }
        const QByteArray name = topic.toUtf8();
        int mid = 0;
        const int rc = mosquitto_publish(mosq, &mid, name.constData(), int(entry.payload.size()),
                                         entry.payload.constData(), QoS, true);
        if (rc != MOSQ_ERR_SUCCESS)
            return; // the connection went: the reconnect publishes it
        QMutexLocker lock(&stateLock);
        if (earlyAcks.remove(mid))
            acknowledged(topic, entry.generation);
        else
            inflight.insert(mid, {topic, entry.generation});
    }

    // Caller holds stateLock.
    void acknowledged(const QString &topic, quint64 generation)
    {
        const auto it = entries.constFind(topic);
        if (it != entries.constEnd() && it->generation == generation)
            unacked.remove(topic);
    }

    void post(bool isConnected, const QString &reason)
    {
        QMutexLocker lock(&notifyLock);
        if (notify)
            notify(isConnected, reason);
    }

    void run();
    void runToEnd()
    {
        run();
        std::lock_guard lock(sleepMutex);
        finished = true;
        if (abandoned) {
            mosquitto_destroy(mosq);
            mosq = nullptr;
        }
        ended.notify_all();
    }
    QString describe(int rc, int savedErrno);

    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
};

void LinkState::onConnect(mosquitto *, void *self, int rc)
{
    auto *d = static_cast<LinkState *>(self);
    if (rc != 0) {
        QMutexLocker lock(&d->stateLock);
        d->refusal = QString::fromUtf8(mosquitto_connack_string(rc));
        return; // the broker closes the connection; the loop tries again later
    }
    QList<QString> topics;
    {
        QMutexLocker lock(&d->stateLock);
        d->connected = true;
        d->refusal.clear();
        d->inflight.clear();
        d->earlyAcks.clear();
        topics = d->entries.keys();
        d->unacked = QSet<QString>(topics.cbegin(), topics.cend());
    }
    {
        QMutexLocker lock(&d->publishLock);
        for (const QString &topic : std::as_const(topics))
            d->publish(topic);
    }
    d->post(true, QString());
}

void LinkState::onDisconnect(mosquitto *, void *self, int)
{
    auto *d = static_cast<LinkState *>(self);
    QMutexLocker lock(&d->stateLock);
    d->connected = false;
}

void LinkState::onPublish(mosquitto *, void *self, int mid)
{
    auto *d = static_cast<LinkState *>(self);
    QMutexLocker lock(&d->stateLock);
    const auto it = d->inflight.constFind(mid);
    if (it == d->inflight.constEnd()) {
        d->earlyAcks.insert(mid);
        return;
    }
    const auto [topic, generation] = *it;
    d->inflight.erase(it);
    d->acknowledged(topic, generation);
}

QString LinkState::describe(int rc, int savedErrno)
{
    {
        QMutexLocker lock(&stateLock);
        if (!refusal.isEmpty())
            return std::exchange(refusal, QString());
    }
    if (rc == MOSQ_ERR_ERRNO && savedErrno != 0)
        return QString::fromLocal8Bit(std::strerror(savedErrno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

void LinkState::run()
{
    // libmosquitto's own loop thread gives up for good on a TLS or login
    // fault; this one keeps trying, at a growing pause, until stopped.
    int pauseMs = config.firstRetryMs;
    const QByteArray host = config.host.toUtf8();
    int rc = mosquitto_connect_async(mosq, host.constData(), config.port, KeepAliveSeconds);
    while (!stopping) {
        if (rc == MOSQ_ERR_SUCCESS) {
            rc = mosquitto_loop(mosq, 1000, 1);
            if (rc == MOSQ_ERR_SUCCESS) {
                QMutexLocker lock(&stateLock);
                if (connected)
                    pauseMs = config.firstRetryMs;
                continue;
            }
        }
        const int savedErrno = errno;
        if (stopping)
            break;
        {
            QMutexLocker lock(&stateLock);
            connected = false;
        }
        post(false, describe(rc, savedErrno));
        {
            std::unique_lock lock(sleepMutex);
            wake.wait_for(lock, std::chrono::milliseconds(pauseMs),
                          [this] { return stopping.load(); });
        }
        pauseMs = std::min(pauseMs * 2, config.longestRetryMs);
        if (!stopping)
            rc = mosquitto_reconnect_async(mosq);
    }
}

class MosquittoLink final : public MqttLink
{
public:
    ~MosquittoLink() override { stop(false, 0); }
    bool start(const MqttConfig &config, ConnectionChanged changed, QString *error) override;
    void stop(bool announceOffline, int waitMs) override;
    bool isStarted() const override { return d->mosq != nullptr; }
    void setRetained(const QString &topic, const QByteArray &payload) override;
    bool isFlushed() const override;

private:
    std::shared_ptr<LinkState> d = std::make_shared<LinkState>();
};

bool MosquittoLink::start(const MqttConfig &config, ConnectionChanged changed, QString *error)
{
    stop(false, 0);
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (config.host.trimmed().isEmpty())
        return fail(QStringLiteral("no broker host"));
    if (config.port <= 0 || config.port > 65535)
        return fail(QStringLiteral("port %1 is no TCP port").arg(config.port));
    if (config.tls && !config.caFile.isEmpty() && !QFileInfo(config.caFile).isReadable())
        return fail(QStringLiteral("the CA file %1 cannot be read").arg(config.caFile));
    initLibrary();
    d->config = config;
    {
        // A new session starts from nothing: the caller publishes anew.
        QMutexLocker lock(&d->stateLock);
        d->entries.clear();
        d->unacked.clear();
        d->inflight.clear();
        d->earlyAcks.clear();
        d->refusal.clear();
    }
    d->stopping = false;
    d->finished = false;
    {
        QMutexLocker lock(&d->notifyLock);
        d->notify = std::move(changed);
    }
    d->mosq = mosquitto_new(nullptr, true, d.get());
    if (!d->mosq)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    mosquitto_threaded_set(d->mosq, true);
    mosquitto_connect_callback_set(d->mosq, &LinkState::onConnect);
    mosquitto_disconnect_callback_set(d->mosq, &LinkState::onDisconnect);
    mosquitto_publish_callback_set(d->mosq, &LinkState::onPublish);
    const QByteArray status = config.statusTopic.toUtf8();
    int rc = mosquitto_will_set(d->mosq, status.constData(), 7, "offline", QoS, true);
    if (rc == MOSQ_ERR_SUCCESS && !config.user.isEmpty())
        rc = mosquitto_username_pw_set(d->mosq, config.user.toUtf8().constData(),
                                       config.password.toUtf8().constData());
    if (rc == MOSQ_ERR_SUCCESS && config.tls) {
        const QByteArray ca = config.caFile.toLocal8Bit();
        rc = mosquitto_tls_set(d->mosq, ca.isEmpty() ? nullptr : ca.constData(),
                               ca.isEmpty() ? SystemCaPath : nullptr, nullptr, nullptr, nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        const QString why = QString::fromUtf8(mosquitto_strerror(rc));
        mosquitto_destroy(d->mosq);
        d->mosq = nullptr;
        return fail(why);
    }
    setRetained(config.statusTopic, QByteArrayLiteral("online"));
    // The thread keeps its share of the state: it may outlive this session.
    d->thread = std::thread([p = d] { p->runToEnd(); });
    return true;
}

void MosquittoLink::stop(bool announceOffline, int waitMs)
{
    if (!d->mosq)
        return;
    if (announceOffline) {
        setRetained(d->config.statusTopic, QByteArrayLiteral("offline"));
        QElapsedTimer clock;
        clock.start();
        // Not at all while the broker is out of reach: the last will says it.
        auto connected = [this] {
            QMutexLocker lock(&d->stateLock);
            return d->connected;
        };
        while (connected() && !isFlushed() && clock.elapsed() < waitMs)
            QThread::msleep(10);
    }
    {
        std::lock_guard lock(d->sleepMutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    mosquitto_disconnect(d->mosq);
    {
        QMutexLocker lock(&d->notifyLock);
        d->notify = nullptr;
    }
    // The thread ends within a loop's turn, unless the system is still
    // looking up the broker's name: the program does not wait for that (its
    // exit, or the new settings), the thread ends by itself later.
    std::unique_lock lock(d->sleepMutex);
    if (!d->ended.wait_for(lock, std::chrono::milliseconds(StopWaitMs),
                           [this] { return d->finished; })) {
        d->abandoned = true;
        lock.unlock();
        d->thread.detach();
        d = std::make_shared<LinkState>();
        return;
    }
    lock.unlock();
    d->thread.join();
    mosquitto_destroy(d->mosq);
    d->mosq = nullptr;
    QMutexLocker state(&d->stateLock);
    d->connected = false;
}

void MosquittoLink::setRetained(const QString &topic, const QByteArray &payload)
{
    QMutexLocker publishing(&d->publishLock);
    {
        QMutexLocker lock(&d->stateLock);
        LinkState::Entry &entry = d->entries[topic];
        if (entry.generation != 0 && entry.payload == payload && !d->unacked.contains(topic)
            && d->connected)
            return; // the broker holds it already
        entry.payload = payload;
        entry.generation = d->nextGeneration++;
        d->unacked.insert(topic);
    }
    if (d->mosq)
        d->publish(topic);
}

bool MosquittoLink::isFlushed() const
{
    QMutexLocker lock(&d->stateLock);
    return d->connected && d->unacked.isEmpty();
}

} // namespace

} // namespace zelvant

extern "C" Q_DECL_EXPORT zelvant::MqttLink *zelvantNewMqttLink()
{
    return new zelvant::MosquittoLink;
}
