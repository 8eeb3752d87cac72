#pragma once
// The results as a household's MQTT broker gets them: per phone a retained
// JSON state at "<prefix>/<number>/state" after each of its requests, the
// availability at "<prefix>/status", and with discovery on the Home
// Assistant configs of one device per phone ("homeassistant/<component>/
// zelvant_<number>/<object>/config"), withdrawn (an empty retained config)
// when the phone leaves the list or discovery is switched off. It follows
// the request cycle by its signals; the cycle never waits for it.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include "core/PhoneResult.h"
#include "core/SpendState.h"
#include "core/mqtt/MqttPublisher.h"

namespace zelvant {

class AppContext;
class PhoneList;
class RequestCycle;
class ResultStore;
struct Options;

// The number as a topic level: anything but letters, digits, '-' and '_'
// (a wildcard, a '/') becomes '_'.
QString mqttTopicLevel(const QString &text);
// The prefix as typed, without surrounding blanks and '/'; the default when
// nothing (or a wildcard) is left.
QString mqttPrefixOf(const Options &options);
QString mqttStateTopic(const QString &prefix, const QString &number);
QString mqttStatusTopic(const QString &prefix);

// The state of slot: the fields of "--check --json", the slot's number and
// alias from the list, "LastQueryTimeISO" (with the UTC offset, null without
// values), "Failed" and "FailReason" (the last request failed, and why) and
// "Marked" (low, as the phones window marks it), and the spending as
// "--check --json" gives it (nulls while it is not known).
QByteArray mqttStateJson(const PhoneResult &record, int slot, const PhoneList &phones,
                         const Options &options, const SpendState &spend = {});

struct MqttRetained
{
    QString topic;
    QByteArray payload;
};
// Home Assistant's discovery configs of one phone's device.
QList<MqttRetained> mqttDiscoveryConfigs(const QString &prefix, const QString &number,
                                         const QString &alias);

// The broker settings of options with the broker's password.
MqttConfig mqttConfigOf(const Options &options, const QString &password);

class MqttBridge : public QObject
{
    Q_OBJECT
public:
    MqttBridge(const AppContext &context, const ResultStore &store, QObject *parent = nullptr);
    ~MqttBridge() override;

    // Each phone's result (or failure) is published once its request ends.
    void follow(const RequestCycle &cycle);
    // Starts, restarts or stops publishing as options say: the states the
    // store holds and the discovery configs of the monitored phones are
    // published; what no longer applies is withdrawn. False with *error
    // when the settings cannot be used (publishing is off then).
    bool apply(const Options &options, const QString &password, QString *error = nullptr);
    // The phone list changed: the configs and states of phones no longer in
    // it are withdrawn, the others' announced.
    void phonesChanged();
    // Stops publishing; announceOffline as MqttPublisher::stop.
    void stop(bool announceOffline, int waitMs = 1000);
    // What the history says of each phone's spending, read after the cycle
    // that brought the readings: the states carry it from then on, and the
    // phones of slots are published again with it.
    void setSpend(const SpendStates &spend, const QList<int> &slots);

    // The pauses between two attempts to connect (tests shorten them).
    void setRetryPauses(int firstMs, int longestMs);

    bool isActive() const { return m_publisher.isStarted(); }
    MqttPublisher &publisher() { return m_publisher; }

private:
    void publishPhone(int slot);
    // Announces what the phone list and options call for, withdraws the rest.
    void sync();

    const AppContext &m_context;
    const ResultStore &m_store;
    MqttPublisher m_publisher;
    MqttConfig m_config;
    int m_firstRetryMs = MqttConfig().firstRetryMs;
    int m_longestRetryMs = MqttConfig().longestRetryMs;
    QString m_prefix;
    bool m_discovery = false;
    SpendStates m_spend{};
    QSet<QString> m_announced; // retained topics of phones, to withdraw when they go
};

} // namespace zelvant
