// Publishing to a real broker (Debian's mosquitto, started by the test on
// 127.0.0.1): what arrives retained, what a broker restart or a refused
// login does, and TLS with a certificate authority of the test's own.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include "core/mqtt/MqttBridge.h"
#include "core/mqtt/MqttPublisher.h"
#include "support/CycleRig.h"
#include "support/FakeLumoServer.h"
#include "support/MosquittoBroker.h"

#include <dlfcn.h>
#include <netdb.h>
#include <unistd.h>

#include <atomic>
#include <string_view>

// A name server that takes its time, for one name only: this program's own
// getaddrinfo() comes before the C library's.
static std::atomic<int> slowLookups{0};
extern "C" __attribute__((visibility("default"))) int getaddrinfo(const char *node,
                                                                  const char *service,
                                                                  const struct addrinfo *hints,
                                                                  struct addrinfo **result)
{
    using Lookup = int (*)(const char *, const char *, const struct addrinfo *, struct addrinfo **);
    static const auto next = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
    if (node && std::string_view(node) == "slow-to-look-up.invalid") {
        ++slowLookups;
        ::sleep(6);
        return EAI_NONAME;
    }
    return next(node, service, hints, result);
}

using namespace zelvant;
using zelvant::test::CycleRig;
using zelvant::test::FakeLumoServer;
using zelvant::test::MosquittoBroker;

namespace {

QString numberOf(int slot)
{
    return QStringLiteral("90300000%1").arg(slot, 2, 10, QLatin1Char('0'));
}

QJsonObject jsonOf(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

class MqttTest : public ::testing::Test, protected CycleRig
{
protected:
    void SetUp() override
    {
        if (!MosquittoBroker::available())
            GTEST_SKIP() << "mosquitto is not installed";
        ASSERT_TRUE(server.start());
        make({{QStringLiteral("Тест"), server.loginUrl().toString(), QStringLiteral("TST")}});
        options.cbHistory = false;
        options.cbMqttEnabled = true;
        options.edMqttHost = QStringLiteral("127.0.0.1");
        context->options.apply(options);
        bridge = std::make_unique<MqttBridge>(*context, *store);
        bridge->setRetryPauses(100, 400);
        bridge->follow(*cycle);
    }

    void addPhone(int slot, double balance, bool rightPassword = true)
    {
        FakeLumoServer::Subscriber s;
        s.number = numberOf(slot);
        s.password = QStringLiteral("пароль");
        s.balance = balance;
        server.addSubscriber(s);
        PhoneSlot &p = context->phones.slot(slot);
        p.number = s.number;
        p.password = rightPassword ? s.password : QStringLiteral("неверный");
        p.monitored = true;
        p.region = QStringLiteral("TST");
    }

    bool publishTo(const MosquittoBroker &to, const QString &password = {})
    {
        options.edMqttPort = QString::number(to.port());
        return bridge->apply(options, password);
    }

    QStringList mqttErrorLines() const
    {
        QFile log(context->paths.errorLogFile());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(log.readAll())
            .split(QStringLiteral("\r\n"))
            .filter(QStringLiteral("MQTT"));
    }

    FakeLumoServer server;
    MosquittoBroker broker;
    Options options;
    std::unique_ptr<MqttBridge> bridge;
};

} // namespace

TEST_F(MqttTest, StatesAndDiscoveryConfigsAreRetainedAndWithdrawn)
{
    ASSERT_TRUE(broker.start());
    addPhone(1, 12.5);
    addPhone(2, 7.25, false);
    addPhone(3, -1.5);
    context->phones.slot(3).alias = QStringLiteral("Мама");
    ASSERT_TRUE(publishTo(broker));
    ASSERT_TRUE(run(CycleMode::AllPhones));
    ASSERT_TRUE(bridge->publisher().waitFlushed(5000));

    QMap<QString, QByteArray> retained = broker.retained();
    EXPECT_EQ(retained.value(QStringLiteral("zelvant/status")), "online");
    const struct
    {
        int slot;
        bool ok;
        double balance;
        QString deviceName;
    } phones[] = {{1, true, 12.5, numberOf(1)},
                  {2, false, 0, numberOf(2)},
                  {3, true, -1.5, QStringLiteral("Мама")}};
    // component, object, the state's field its template picks, device_class, unit
    const std::tuple<const char *, const char *, const char *, const char *, const char *>
        values[] = {{"sensor", "balance", "Balance", "", "у.е."},
                    {"sensor", "turn_off", "TurnOff", "", "d"},
                    {"sensor", "sms", "SMS", "", ""},
                    {"sensor", "minutes", "Min", "", "min"},
                    {"sensor", "last_query", "LastQueryTimeISO", "timestamp", ""},
                    {"binary_sensor", "problem", "Failed", "problem", ""}};
    for (const auto &p : phones) {
        const QString stateTopic = QStringLiteral("zelvant/%1/state").arg(numberOf(p.slot));
        const QJsonObject state = jsonOf(retained.value(stateTopic));
        EXPECT_EQ(state.value(QStringLiteral("PhoneNum")).toString(), numberOf(p.slot));
        EXPECT_EQ(state.value(QStringLiteral("QueryOk")).toBool(), p.ok) << p.slot;
        EXPECT_EQ(state.value(QStringLiteral("Failed")).toBool(), !p.ok) << p.slot;
        EXPECT_EQ(state.value(QStringLiteral("FailReason")).isString(), !p.ok) << p.slot;
        EXPECT_DOUBLE_EQ(state.value(QStringLiteral("Balance")).toDouble(), p.balance);
        const QDateTime time = QDateTime::fromString(
            state.value(QStringLiteral("LastQueryTimeISO")).toString(), Qt::ISODate);
        EXPECT_EQ(time.isValid() && qAbs(time.secsTo(QDateTime::currentDateTime())) < 60, p.ok);
        // Low by the default marking (2.5 у.е.).
        EXPECT_EQ(state.value(QStringLiteral("Marked")).toBool(), p.slot == 3);
        EXPECT_TRUE(state.value(QStringLiteral("UnusualSpend")).isNull()) << "not read yet";
        for (const auto &[component, object, field, deviceClass, unit] : values) {
            const QString topic =
                QStringLiteral("homeassistant/%1/zelvant_%2/%3/config")
                    .arg(QLatin1String(component), numberOf(p.slot), QLatin1String(object));
            const QJsonObject config = jsonOf(retained.value(topic));
            ASSERT_FALSE(config.isEmpty()) << topic.toStdString();
            EXPECT_EQ(config.value(QStringLiteral("state_topic")).toString(), stateTopic);
            EXPECT_EQ(config.value(QStringLiteral("availability_topic")).toString(),
                      QStringLiteral("zelvant/status"));
            EXPECT_TRUE(state.contains(QLatin1String(field)));
            EXPECT_TRUE(config.value(QStringLiteral("value_template"))
                            .toString()
                            .contains(QStringLiteral("value_json.") + QLatin1String(field)));
            EXPECT_EQ(config.value(QStringLiteral("device_class")).toString(),
                      QLatin1String(deviceClass));
            EXPECT_EQ(config.value(QStringLiteral("unit_of_measurement")).toString(),
                      QString::fromUtf8(unit));
            const QJsonObject device = config.value(QStringLiteral("device")).toObject();
            EXPECT_EQ(device.value(QStringLiteral("name")).toString(), p.deviceName);
            EXPECT_EQ(device.value(QStringLiteral("identifiers")).toArray().first().toString(),
                      QStringLiteral("zelvant_") + numberOf(p.slot));
        }
    }

    // The spending, read from the history after the cycle, reaches the state.
    SpendStates spend{};
    spend[0].usualDaily = 5.0;
    spend[0].unusual = UnusualSpend{QDateTime(QDate(2026, 12, 5), QTime(10, 0)), 120.0, 60.0};
    bridge->setSpend(spend, {1, 3});
    ASSERT_TRUE(bridge->publisher().waitFlushed(5000));
    retained = broker.retained();
    const QJsonObject spent =
        jsonOf(retained.value(QStringLiteral("zelvant/%1/state").arg(numberOf(1))));
    EXPECT_DOUBLE_EQ(spent.value(QStringLiteral("UsualDailySpend")).toDouble(), 5.0);
    EXPECT_DOUBLE_EQ(spent.value(QStringLiteral("UnusualSpend"))
                         .toObject()
                         .value(QStringLiteral("Spent"))
                         .toDouble(),
                     120.0);
    EXPECT_TRUE(jsonOf(retained.value(QStringLiteral("zelvant/%1/state").arg(numberOf(3))))
                    .value(QStringLiteral("UnusualSpend"))
                    .isNull());

    // A phone leaves the list: its device and state go, the others stay.
    context->phones.clearSlot(3);
    bridge->phonesChanged();
    ASSERT_TRUE(bridge->publisher().waitFlushed(5000));
    retained = broker.retained();
    EXPECT_TRUE(retained.keys().filter(numberOf(3)).isEmpty());
    EXPECT_EQ(retained.keys().filter(numberOf(1)).size(), 7);

    // Discovery off: every config goes, the states stay.
    options.cbMqttDiscovery = false;
    ASSERT_TRUE(bridge->apply(options, {}));
    ASSERT_TRUE(bridge->publisher().waitFlushed(5000));
    retained = broker.retained();
    EXPECT_TRUE(retained.keys().filter(QStringLiteral("homeassistant/")).isEmpty());
    EXPECT_EQ(retained.size(), 3) << "the status and two states";
    EXPECT_TRUE(mqttErrorLines().isEmpty());
}

TEST_F(MqttTest, BrokerStoppedAndStartedMidCycleLosesNoFinalState)
{
    ASSERT_TRUE(broker.start());
    for (int slot = 1; slot <= 4; ++slot)
        addPhone(slot, 10 + slot);
    setTimings(100, 10000, 0);
    ASSERT_TRUE(publishTo(broker));
    // The broker (which keeps nothing on disk) goes after the first phone and
    // comes back after the third.
    QObject::connect(cycle.get(), &RequestCycle::phoneFinished, cycle.get(), [this](int slot) {
        if (slot == 1)
            broker.stop();
        if (slot == 3) {
            EXPECT_FALSE(bridge->publisher().isReachable());
            EXPECT_TRUE(broker.start());
        }
    });
    ASSERT_TRUE(run(CycleMode::AllPhones));
    ASSERT_TRUE(bridge->publisher().waitFlushed(10000));

    const QMap<QString, QByteArray> retained = broker.retained(QStringLiteral("zelvant/#"));
    for (int slot = 1; slot <= 4; ++slot) {
        const QJsonObject state =
            jsonOf(retained.value(QStringLiteral("zelvant/%1/state").arg(numberOf(slot))));
        EXPECT_TRUE(state.value(QStringLiteral("QueryOk")).toBool()) << slot;
        EXPECT_DOUBLE_EQ(state.value(QStringLiteral("Balance")).toDouble(), 10 + slot);
    }
    EXPECT_EQ(retained.value(QStringLiteral("zelvant/status")), "online");
    EXPECT_TRUE(bridge->publisher().isReachable());
    EXPECT_EQ(mqttErrorLines().size(), 1) << "one line for the outage, not one per attempt";
}

TEST_F(MqttTest, RefusedLoginOrCertificateIsOneErrorAndTheCycleGoesOn)
{
    addPhone(1, 42);
    const bool certificates = broker.makeCertificates();
    const struct
    {
        const char *name;
        bool tls;
        bool ownCa;
        const char *password;
        bool delivered;
        const char *error;
    } cases[] = {
        {"right password", false, false, "секрет", true, nullptr},
        {"wrong password", false, false, "не тот", false, "not authorised"},
        {"TLS, the test's CA", true, true, "секрет", true, nullptr},
        {"TLS, system CAs only", true, false, "секрет", false, "MQTT"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.tls && !certificates) {
            std::printf("skipped (openssl missing or failed): %s\n", c.name);
            continue;
        }
        MosquittoBroker::Setup setup{QStringLiteral("дом"), QStringLiteral("секрет"), c.tls};
        ASSERT_TRUE(broker.start(setup));
        QFile::remove(context->paths.errorLogFile());
        options.edMqttUser = setup.user;
        options.cbMqttTls = c.tls;
        options.edMqttCaFile = c.ownCa ? broker.caFile() : QString();
        ASSERT_TRUE(publishTo(broker, QString::fromUtf8(c.password)));

        ASSERT_TRUE(run(CycleMode::AllPhones));
        EXPECT_TRUE(result(1).queryOk);
        EXPECT_FLOAT_EQ(result(1).balance, 42);
        // Long enough for several attempts at the tests' short pauses.
        EXPECT_EQ(bridge->publisher().waitFlushed(c.delivered ? 5000 : 1500), c.delivered);
        const QJsonObject state =
            jsonOf(broker.retained(QStringLiteral("zelvant/#"), setup)
                       .value(QStringLiteral("zelvant/%1/state").arg(numberOf(1))));
        EXPECT_EQ(state.value(QStringLiteral("Balance")).toDouble(), c.delivered ? 42 : 0);
        const QStringList errors = mqttErrorLines();
        if (c.error) {
            ASSERT_EQ(errors.size(), 1) << errors.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(errors.first().contains(QLatin1String(c.error)))
                << errors.first().toStdString();
        } else {
            EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
        }
        ASSERT_TRUE(bridge->apply(Options(), {})); // off: the next case starts afresh
        broker.stop();
    }
}

// Stopping never waits for a lookup of the broker's name that hangs: the
// program's exit and new settings go on, the lookup ends on its own later.
TEST(MqttPublisher, StopsWithoutWaitingForTheNameLookup)
{
    MqttPublisher publisher(QString{});
    MqttConfig config;
    config.host = QStringLiteral("slow-to-look-up.invalid");
    config.statusTopic = QStringLiteral("zelvant/status");
    ASSERT_TRUE(publisher.start(config));
    for (int i = 0; i < 100 && slowLookups == 0; ++i)
        QThread::msleep(20);
    ASSERT_EQ(slowLookups, 1) << "the lookup has begun";
    QElapsedTimer clock;
    clock.start();
    publisher.stop(true);
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_FALSE(publisher.isStarted());
    config.host = QStringLiteral("127.0.0.1");
    EXPECT_TRUE(publisher.start(config)) << "a new start does not wait for the old one either";
    publisher.stop(false);
}
