#include "core/mqtt/MqttPublisher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "core/ErrorLog.h"
#include "core/Parts.h"

namespace zelvant {

MqttPublisher::MqttPublisher(const QString &errorLogFile, QObject *parent)
    : QObject(parent)
    , m_errorLogFile(errorLogFile)
{
}

MqttPublisher::~MqttPublisher()
{
    stop(false, 0);
}

bool MqttPublisher::start(const MqttConfig &config, QString *error)
{
    stop(false, 0);
    if (!m_link) {
        using NewLink = MqttLink *(*)();
        const auto make = reinterpret_cast<NewLink>(
            resolvePart(QStringLiteral("mqtt"), NewMqttLinkSymbol, error));
        if (!make)
            return false;
        m_link.reset(make());
    }
    m_config = config;
    m_reachable = true;
    const int session = ++m_session;
    // From the link's network thread to this one; news of an earlier session
    // arriving late is dropped.
    const auto changed = [this, session](bool connected, const QString &reason) {
        QMetaObject::invokeMethod(
            this,
            [this, session, connected, reason] {
                if (session == m_session)
                    connectionChanged(connected, reason);
            },
            Qt::QueuedConnection);
    };
    return m_link->start(config, changed, error);
}

void MqttPublisher::stop(bool announceOffline, int waitMs)
{
    if (!m_link)
        return;
    m_link->stop(announceOffline, waitMs);
    ++m_session;
}

bool MqttPublisher::isStarted() const
{
    return m_link && m_link->isStarted();
}

void MqttPublisher::setRetained(const QString &topic, const QByteArray &payload)
{
    if (m_link)
        m_link->setRetained(topic, payload);
}

bool MqttPublisher::isFlushed() const
{
    return m_link && m_link->isFlushed();
}

bool MqttPublisher::waitFlushed(int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!isFlushed() && clock.elapsed() < waitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    QCoreApplication::processEvents();
    return isFlushed();
}

bool MqttPublisher::isReachable() const
{
    return m_reachable;
}

void MqttPublisher::connectionChanged(bool connected, const QString &reason)
{
    if (connected == m_reachable)
        return; // the same outage goes on (or none began)
    m_reachable = connected;
    if (!connected && !m_errorLogFile.isEmpty()) {
        // One line per outage, not one per attempt to reconnect.
        writeErrorLog(QStringLiteral("MQTT: брокер %1:%2 недоступен: %3")
                          .arg(m_config.host)
                          .arg(m_config.port)
                          .arg(reason),
                      m_errorLogFile);
    }
    Q_EMIT reachableChanged(connected, reason);
}

} // namespace zelvant
