#pragma once
// A connection to an MQTT broker that keeps a set of retained topics there.
// The connection (core/mqtt/MqttLink, from the part "mqtt" at the first
// start) runs on a thread of its own, with reconnects and a growing pause
// between them: nothing the program asks of it waits for the network. Every value handed to
// setRetained() is kept, and all of them are published again each time the connection is made, so a
// broker that was down or restarted (and forgot its retained messages) gets the last value of every
// topic back.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

#include "core/mqtt/MqttLink.h"

namespace zelvant {

class MqttPublisher : public QObject
{
    Q_OBJECT
public:
    // errorLogFile gets one line per outage (empty: none is written).
    explicit MqttPublisher(const QString &errorLogFile, QObject *parent = nullptr);
    ~MqttPublisher() override; // stop(false)

    // Connects (returns at once; false with *error when the settings cannot
    // be used at all, such as an empty host or an unreadable CA file).
    bool start(const MqttConfig &config, QString *error = nullptr);
    // Disconnects. With announceOffline the status topic says "offline"
    // first (the tray program leaving); without, it keeps saying "online"
    // (a check run that ends as planned). Waits at most waitMs for that.
    void stop(bool announceOffline, int waitMs = 1000);
    bool isStarted() const;

    // Keeps payload as topic's retained value and publishes it (now, or when
    // the connection is back). An empty payload removes the retained message.
    void setRetained(const QString &topic, const QByteArray &payload);

    // True once the broker has acknowledged every value's latest payload.
    bool isFlushed() const;
    // Runs the event loop until isFlushed() or waitMs have passed.
    bool waitFlushed(int waitMs);
    // False while an outage lasts (the broker unreachable or refusing).
    bool isReachable() const;

Q_SIGNALS:
    // An outage begins (reachable false, reason says why) or ends.
    void reachableChanged(bool reachable, const QString &reason);

private:
    void connectionChanged(bool connected, const QString &reason);

    std::unique_ptr<MqttLink> m_link; // from the part, at the first start()
    MqttConfig m_config;
    int m_session = 0; // news of an earlier start() or of a stop() is dropped
    QString m_errorLogFile;
    bool m_reachable = true;
};

} // namespace zelvant
