#include "core/mqtt/MqttBridge.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/PhoneResultJson.h"
#include "core/ProgramInfo.h"
#include "core/config/AppContext.h"
#include "core/config/Settings.h"
#include "core/history/ResultStore.h"
#include "core/retrieval/RequestCycle.h"
#include "core/tray/AlertRules.h"

namespace zelvant {

namespace {

const QString DefaultPrefix = QStringLiteral("zelvant");

struct DiscoveredValue
{
    const char *component;
    const char *object;
    const char *name; // shown by Home Assistant
    const char *valueTemplate;
    const char *unit;
    const char *deviceClass;
    bool measurement;
};

constexpr DiscoveredValue DiscoveredValues[] = {
    {"sensor", "balance", QT_TRANSLATE_NOOP("zelvant::MqttBridge", "Баланс"),
     "{{ value_json.Balance }}", "у.е.", nullptr, true},
    {"sensor", "turn_off", QT_TRANSLATE_NOOP("zelvant::MqttBridge", "Дней до отключения"),
     "{{ value_json.TurnOff }}", "d", nullptr, true},
    {"sensor", "sms", QT_TRANSLATE_NOOP("zelvant::MqttBridge", "Осталось SMS"),
     "{{ value_json.SMS }}", nullptr, nullptr, true},
    {"sensor", "minutes", QT_TRANSLATE_NOOP("zelvant::MqttBridge", "Осталось минут"),
     "{{ value_json.Min }}", "min", nullptr, true},
    {"sensor", "last_query", QT_TRANSLATE_NOOP("zelvant::MqttBridge", "Последний запрос"),
     "{{ value_json.LastQueryTimeISO }}", nullptr, "timestamp", false},
    {"binary_sensor", "problem", QT_TRANSLATE_NOOP("zelvant::MqttBridge", "Сбой запроса"),
     "{{ 'ON' if value_json.Failed else 'OFF' }}", nullptr, "problem", false},
};

} // namespace

QString mqttTopicLevel(const QString &text)
{
    QString level = text;
    for (QChar &c : level) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                           || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                           || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                           || c == QLatin1Char('-') || c == QLatin1Char('_');
        if (!plain)
            c = QLatin1Char('_');
    }
    return level;
}

QString mqttPrefixOf(const Options &options)
{
    QString prefix = options.edMqttPrefix.trimmed();
    while (prefix.startsWith(QLatin1Char('/')))
        prefix.remove(0, 1);
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    // A wildcard cannot be published to.
    if (prefix.isEmpty() || prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')))
        return DefaultPrefix;
    return prefix;
}

QString mqttStateTopic(const QString &prefix, const QString &number)
{
    return prefix + QLatin1Char('/') + mqttTopicLevel(number) + QStringLiteral("/state");
}

QString mqttStatusTopic(const QString &prefix)
{
    return prefix + QStringLiteral("/status");
}

QByteArray mqttStateJson(const PhoneResult &record, int slot, const PhoneList &phones,
                         const Options &options, const SpendState &spend)
{
    QJsonObject object = phoneResultToJson(record);
    // A phone that never had a result still says which one it is.
    object.insert(QStringLiteral("NN"), slot);
    object.insert(QStringLiteral("Alias"), phones.aliasOf(slot));
    object.insert(QStringLiteral("PhoneNum"), phones.numberOf(slot));
    const QDateTime &time = record.lastQueryTime;
    object.insert(QStringLiteral("LastQueryTimeISO"),
                  time.isValid()
                      ? QJsonValue(time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate))
                      : QJsonValue(QJsonValue::Null));
    const bool failed = !record.queryOk && record.failure.isFailure();
    object.insert(QStringLiteral("Failed"), failed);
    object.insert(QStringLiteral("FailReason"),
                  failed ? QJsonValue(record.failure.englishText()) : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("Marked"), isMarkedLow(record, options));
    addSpendToJson(object, spend);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QList<MqttRetained> mqttDiscoveryConfigs(const QString &prefix, const QString &number,
                                         const QString &alias)
{
    const QString id = QStringLiteral("zelvant_") + mqttTopicLevel(number);
    QJsonObject device;
    device.insert(QStringLiteral("identifiers"), QJsonArray{id});
    device.insert(QStringLiteral("name"), alias.trimmed().isEmpty() ? number : alias);
    device.insert(QStringLiteral("manufacturer"), ProgramName);
    QList<MqttRetained> configs;
    for (const DiscoveredValue &v : DiscoveredValues) {
        const QString object = QLatin1String(v.object);
        QJsonObject config;
        config.insert(QStringLiteral("name"),
                      QCoreApplication::translate("zelvant::MqttBridge", v.name));
        config.insert(QStringLiteral("unique_id"), id + QLatin1Char('_') + object);
        // The entity id Home Assistant gives it ("sensor.zelvant_9031234567_balance");
        // its older "object_id" is no longer read.
        config.insert(QStringLiteral("default_entity_id"), QLatin1String(v.component)
                                                               + QStringLiteral(".") + id
                                                               + QLatin1Char('_') + object);
        config.insert(QStringLiteral("state_topic"), mqttStateTopic(prefix, number));
        config.insert(QStringLiteral("value_template"), QString::fromUtf8(v.valueTemplate));
        config.insert(QStringLiteral("availability_topic"), mqttStatusTopic(prefix));
        if (v.unit)
            config.insert(QStringLiteral("unit_of_measurement"), QString::fromUtf8(v.unit));
        if (v.deviceClass)
            config.insert(QStringLiteral("device_class"), QLatin1String(v.deviceClass));
        if (v.measurement)
            config.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        config.insert(QStringLiteral("device"), device);
        config.insert(QStringLiteral("origin"), QJsonObject{{QStringLiteral("name"), ProgramName}});
        configs.append({QStringLiteral("homeassistant/") + QLatin1String(v.component)
                            + QLatin1Char('/') + id + QLatin1Char('/') + object
                            + QStringLiteral("/config"),
                        QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return configs;
}

MqttConfig mqttConfigOf(const Options &options, const QString &password)
{
    MqttConfig config;
    config.host = options.edMqttHost.trimmed();
    int port = 0;
    config.port = parseWholeNumber(options.edMqttPort, &port) ? port : 1883;
    config.tls = options.cbMqttTls;
    config.caFile = options.edMqttCaFile.trimmed();
    config.user = options.edMqttUser;
    config.password = password;
    config.statusTopic = mqttStatusTopic(mqttPrefixOf(options));
    return config;
}

MqttBridge::MqttBridge(const AppContext &context, const ResultStore &store, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_store(store)
    , m_publisher(context.paths.errorLogFile())
{
}

MqttBridge::~MqttBridge() = default;

void MqttBridge::follow(const RequestCycle &cycle)
{
    // After the store has taken the result (keepCycleResults connects first).
    connect(&cycle, &RequestCycle::phoneFinished, this, [this](int slot) { publishPhone(slot); });
    connect(&cycle, &RequestCycle::phoneFailed, this, [this](int slot) { publishPhone(slot); });
}

bool MqttBridge::apply(const Options &options, const QString &password, QString *error)
{
    MqttConfig config = mqttConfigOf(options, password);
    config.firstRetryMs = m_firstRetryMs;
    config.longestRetryMs = m_longestRetryMs;
    const bool enabled = options.cbMqttEnabled;
    const QString prefix = mqttPrefixOf(options);
    const bool samePlace =
        config.host == m_config.host && config.port == m_config.port && prefix == m_prefix;
    if (m_publisher.isStarted() && (!enabled || !samePlace)) {
        // Publishing ends here, or goes elsewhere: what this broker was told
        // about the phones goes.
        for (const QString &topic : std::as_const(m_announced))
            m_publisher.setRetained(topic, QByteArray());
        m_announced.clear();
        m_publisher.stop(true);
    } else if (m_publisher.isStarted() && config != m_config) {
        m_publisher.stop(true); // another login or TLS: the same topics, anew
    }
    m_config = config;
    m_prefix = prefix;
    m_discovery = options.cbMqttDiscovery;
    if (!enabled)
        return true;
    if (!m_publisher.isStarted() && !m_publisher.start(config, error))
        return false;
    sync();
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        if (m_store[slot].hasValues())
            publishPhone(slot);
    }
    return true;
}

void MqttBridge::setRetryPauses(int firstMs, int longestMs)
{
    m_firstRetryMs = firstMs;
    m_longestRetryMs = longestMs;
}

void MqttBridge::phonesChanged()
{
    if (m_publisher.isStarted())
        sync();
}

void MqttBridge::stop(bool announceOffline, int waitMs)
{
    m_publisher.stop(announceOffline, waitMs);
}

void MqttBridge::publishPhone(int slot)
{
    const PhoneList &phones = m_context.phones;
    if (!m_publisher.isStarted() || !phones.isMonitored(slot) || phones.numberOf(slot).isEmpty())
        return;
    m_publisher.setRetained(mqttStateTopic(m_prefix, phones.numberOf(slot)),
                            mqttStateJson(m_store[slot], slot, phones, m_context.options.values(),
                                          m_spend[size_t(slot - 1)]));
}

void MqttBridge::setSpend(const SpendStates &spend, const QList<int> &slots)
{
    m_spend = spend;
    for (int slot : slots) {
        if (slot >= 1 && slot <= PhoneSlotCount && m_store[slot].hasValues())
            publishPhone(slot);
    }
}

void MqttBridge::sync()
{
    const PhoneList &phones = m_context.phones;
    QSet<QString> wanted;
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        const QString number = phones.numberOf(slot);
        if (!phones.isMonitored(slot) || number.isEmpty())
            continue;
        wanted.insert(mqttStateTopic(m_prefix, number));
        if (!m_discovery)
            continue;
        for (const MqttRetained &config :
             mqttDiscoveryConfigs(m_prefix, number, phones.aliasOf(slot))) {
            wanted.insert(config.topic);
            m_publisher.setRetained(config.topic, config.payload);
        }
    }
    for (const QString &topic : std::as_const(m_announced)) {
        if (!wanted.contains(topic))
            m_publisher.setRetained(topic, QByteArray());
    }
    m_announced = wanted;
}

} // namespace zelvant
