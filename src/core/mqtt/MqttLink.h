#pragma once
// One connection to an MQTT broker that keeps a set of retained topics there.
// libmosquitto (and the TLS libraries under it) stays behind this interface,
// in the part "mqtt" (zelvant-mqtt.so, see core/Parts.h), opened only when
// publishing is switched on: most users never publish, and their start maps
// none of it.

#include <QByteArray>
#include <QString>

#include <functional>

namespace zelvant {

struct MqttConfig
{
    QString host;
    int port = 1883;
    bool tls = false;
    QString caFile; // TLS: empty trusts the system's certificate authorities
    QString user;   // empty: no login
    QString password;
    QString statusTopic; // "online" while connected, "offline" as the last will
    // Reconnect pauses: the first, then doubled up to the longest.
    int firstRetryMs = 1000;
    int longestRetryMs = 120000;
    bool operator==(const MqttConfig &) const = default;
};

class MqttLink
{
public:
    // Called on the link's own network thread, never after stop() returned.
    using ConnectionChanged = std::function<void(bool connected, const QString &reason)>;

    virtual ~MqttLink() = default; // stops
    // Connects on a thread of its own and returns at once; false with *error
    // when the settings cannot be used at all (an empty host, an unreadable
    // CA file).
    virtual bool start(const MqttConfig &config, ConnectionChanged changed, QString *error) = 0;
    // Disconnects, with announceOffline after saying "offline" (waiting at
    // most waitMs for it). Never waits for a name lookup that hangs.
    virtual void stop(bool announceOffline, int waitMs) = 0;
    virtual bool isStarted() const = 0;
    // Keeps payload as topic's retained value and publishes it now or once
    // the connection is back; every kept value is published again at each
    // reconnect. An empty payload removes the retained message.
    virtual void setRetained(const QString &topic, const QByteArray &payload) = 0;
    // Connected, and the broker acknowledged every value's latest payload.
    virtual bool isFlushed() const = 0;
};

// The part's entry point: MqttLink *zelvantNewMqttLink().
inline constexpr const char *NewMqttLinkSymbol = "zelvantNewMqttLink";

} // namespace zelvant
