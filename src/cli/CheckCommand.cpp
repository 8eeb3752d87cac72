#include "cli/CheckCommand.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <cstdio>

#include "cli/CommandLine.h"
#include "cli/ResultJson.h"
#include "core/config/AppContext.h"
#include "core/config/PhoneList.h"
#include "core/config/Settings.h"
#include "core/history/ResultStore.h"
#include "core/history/SpendAnalysis.h"
#include "core/mqtt/BrokerPassword.h"
#include "core/mqtt/MqttBridge.h"

namespace zelvant {

namespace {

// How long the end of a check waits for the broker to confirm the states: a
// broker out of reach must not hold a timer's run for long, one already
// known to be out of reach hardly at all.
constexpr int MqttFlushMs = 5000;
constexpr int MqttUnreachableFlushMs = 1000;

// The results go to the broker too when the options say so; what keeps
// them from it is told, and the check goes on without.
void startPublishing(MqttBridge &mqtt, const AppContext &context, const RequestCycle &cycle,
                     const CheckOutput &output)
{
    const Options &options = context.options.values();
    if (!options.cbMqttEnabled)
        return;
    QString problem;
    // An anonymous broker needs no password, and no keyring prompt for one.
    const QString password =
        options.edMqttUser.isEmpty()
            ? QString()
            : loadBrokerPassword(context.settingsFile, options.cbKeyring, &problem);
    if (!problem.isEmpty())
        output.err(QStringLiteral("Zelvant: MQTT: the broker's password is not in the keyring: ")
                   + problem + QLatin1Char('\n'));
    QString error;
    if (!mqtt.apply(options, password, &error)) {
        output.err(QStringLiteral("Zelvant: MQTT publishing is off: ") + error + QLatin1Char('\n'));
        return;
    }
    mqtt.follow(cycle);
    QObject::connect(&mqtt.publisher(), &MqttPublisher::reachableChanged, &mqtt,
                     [&output, &options](bool reachable, const QString &reason) {
                         if (!reachable)
                             output.err(QStringLiteral("Zelvant: MQTT: the broker %1:%2 is "
                                                       "unreachable: %3\n")
                                            .arg(options.edMqttHost, options.edMqttPort, reason));
                     });
}

// The history file is gone: told, and history keeping off for good, as the
// tray program does.
void switchHistoryOff(AppContext &context, const QString &message, const CheckOutput &output)
{
    output.err(QStringLiteral("Zelvant: ") + message + QLatin1Char('\n'));
    Options off = context.options.values();
    off.cbHistory = false;
    context.options.apply(off);
    QString error;
    if (!saveSettings(context.settingsFile, off, context.phones.trayShownSlot() == 0, nullptr,
                      &error))
        output.err(QStringLiteral("Zelvant: the settings could not be saved to %1: %2\n")
                       .arg(context.settingsFile.path(), error));
}

QString describe(const AppContext &context, int slot)
{
    const QString alias = context.phones.aliasOf(slot);
    const QString number = context.phones.numberOf(slot);
    QString text = QStringLiteral("slot %1").arg(slot);
    if (!alias.isEmpty())
        text += QStringLiteral(" \"%1\"").arg(alias);
    if (!number.isEmpty())
        text += QLatin1Char(' ') + number;
    return blankControls(text);
}

// Why a monitored slot will not be queried, empty when it will be.
QString skipReason(const AppContext &context, int slot)
{
    if (context.phones.numberOf(slot).isEmpty())
        return QStringLiteral("no number");
    if (context.phones.passwordOf(slot).isEmpty())
        return context.phones.slot(slot).passwordInKeyring
                   ? QStringLiteral("password not in the keyring")
                   : QStringLiteral("no password");
    if (context.loginUrlOf(slot).isEmpty())
        return QStringLiteral("unknown region \"%1\"").arg(context.phones.slot(slot).region);
    return QString();
}

QString number(float value, int decimals)
{
    return QString::number(roundedValue(value, decimals), 'f', decimals);
}

// "failed: time-out"; plain "failed" when no reason is known.
QString failedStatus(const PhoneResult &record)
{
    const QString reason = record.failure.englishText();
    return reason.isEmpty() ? QStringLiteral("failed") : QStringLiteral("failed: ") + reason;
}

QString textLine(const PhoneResult &record, int slot, const AppContext &context)
{
    // A control character inside a field (a line break or tab in an alias
    // or in a name from the page) would start a line or a column of its own.
    QStringList fields;
    fields << QString::number(slot) << blankControls(context.phones.aliasOf(slot))
           << blankControls(context.phones.numberOf(slot));
    if (record.hasValues()) {
        fields << number(record.balance, 2) << number(record.averagePerDay, 2)
               << QString::number(record.turnOffDays) << number(record.recommendedPayment, 2)
               << QString::number(record.smsLeft) << QString::number(record.minutesLeft)
               << QString::number(record.balanceExpiresDays) << number(record.usdRate, 4)
               << blankControls(record.userName)
               << record.lastQueryTime.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    } else {
        // As many columns as a line with values, so that the status column
        // is always the same one.
        for (int i = 0; i < 10; ++i)
            fields << QStringLiteral("-");
    }
    fields << (record.queryOk ? QStringLiteral("OK") : failedStatus(record));
    return fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
}

} // namespace

CycleTimings checkTimings()
{
    CycleTimings timings;
    bool ok = false;
    const int pause = qEnvironmentVariableIntValue("ZELVANT_PAUSE_MS", &ok);
    if (ok && pause >= 0)
        timings.pauseBeforePhoneMs = pause;
    return timings;
}

int runCheck(const AppPaths &paths, bool json, const CycleTimings &timings,
             const CheckOutput &output)
{
    AppContext context(paths);
    context.options.apply(loadSettings(context.settingsFile, paths.mode()));
    const QString phonesFile = paths.phonesFile();
    if (!QFileInfo::exists(phonesFile)) {
        output.err(QStringLiteral("Zelvant: no phone list: %1 does not exist\n").arg(phonesFile));
        return 2;
    }
    int leftOut = 0;
    loadPhones(context.phones, phonesFile, &context.phonesFileUnreadable, &leftOut);
    if (context.phonesFileUnreadable) {
        output.err(
            QStringLiteral("Zelvant: the phone list %1 could not be read\n").arg(phonesFile));
        return 2;
    }
    if (leftOut > 0)
        output.err(QStringLiteral("Zelvant: the phone list %1 holds %2 phones more than the %3 "
                                  "slots; they are left out\n")
                       .arg(phonesFile)
                       .arg(leftOut)
                       .arg(PhoneSlotCount));
    readKeyringPasswords(context.phones, output.err);
    const int total = context.phones.monitoredCount();
    if (total == 0) {
        output.err(QStringLiteral("Zelvant: no phone is monitored in %1; nothing to check\n")
                       .arg(phonesFile));
        return 2;
    }
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        if (!context.phones.isMonitored(slot))
            continue;
        const QString reason = skipReason(context, slot);
        if (!reason.isEmpty())
            output.err(
                QStringLiteral("%1: not queried: %2\n").arg(describe(context, slot), reason));
    }

    ResultStore store(paths);
    store.setBusyTimeout(timings.historyBusyTimeoutMs);
    RequestCycle wb(context, store.results());
    wb.setTimings(timings);
    keepCycleResults(wb, store, context);
    QObject::connect(&store, &ResultStore::historyFileMissing, &wb,
                     [&](const QString &message) { switchHistoryOff(context, message, output); });
    QObject::connect(&wb, &RequestCycle::pageRulesRefused, &wb, [&](const QString &message) {
        output.err(QStringLiteral("Zelvant: ") + message + QLatin1Char('\n'));
    });
    QObject::connect(&wb, &RequestCycle::phoneFinished, &wb, [&](int slot, bool ok) {
        QString line = QStringLiteral("Phone %1/%2: %3: ")
                           .arg(wb.queriedCount())
                           .arg(total)
                           .arg(describe(context, slot));
        if (ok)
            line += QStringLiteral("OK, balance %1\n").arg(number(store[slot].balance, 2));
        else
            line += failedStatus(store[slot]) + QLatin1Char('\n');
        output.err(line);
    });
    // Per slot with a fresh result: whether the history got it (absent
    // while history is off).
    QHash<int, bool> historyStored;
    QObject::connect(&store, &ResultStore::historyWritten, &wb,
                     [&](int slot, bool stored, const QString &failure) {
                         historyStored[slot] = historyStored.value(slot, true) && stored;
                         if (!stored)
                             output.err(QStringLiteral("Zelvant: ") + failure + QLatin1Char('\n'));
                     });
    QObject::connect(&wb, &RequestCycle::lossReported, &wb, [&](const QString &message) {
        output.err(QStringLiteral("Zelvant: ") + message + QLatin1Char('\n'));
    });
    QObject::connect(&wb, &RequestCycle::loginAddressUnusable, &wb,
                     [&](int, const QString &message) {
                         output.err(QStringLiteral("Zelvant: ") + message + QLatin1Char('\n'));
                     });
    MqttBridge mqtt(context, store);
    startPublishing(mqtt, context, wb, output);
    QEventLoop loop;
    QObject::connect(&wb, &RequestCycle::cycleFinished, &loop, &QEventLoop::quit);
    if (!wb.queryPhones(CycleMode::AllPhones))
        return 2;
    loop.exec();

    // What the history (with the readings just stored) says of the spending.
    SpendStates spend{};
    if (json || mqtt.isActive()) {
        QList<int> monitored;
        for (int slot = 1; slot <= PhoneSlotCount; ++slot)
            monitored << slot;
        QString error;
        if (!readSpendStates(spend, paths.historyFile(), context.phones, monitored,
                             spendLimitsOf(context.options.values()), &error))
            output.err(QStringLiteral("Zelvant: the history could not be read: %1\n").arg(error));
        mqtt.setSpend(spend, monitored);
    }

    if (mqtt.isActive()) {
        MqttPublisher &publisher = mqtt.publisher();
        if (!publisher.waitFlushed(publisher.isReachable() ? MqttFlushMs : MqttUnreachableFlushMs))
            output.err(
                QStringLiteral("Zelvant: MQTT: the broker did not confirm every phone's state "
                               "in time\n"));
        // The status stays "online": the next run of the timer follows.
        mqtt.stop(false, 0);
    }

    bool allOk = true;
    QJsonArray array;
    QString text;
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        if (!context.phones.isMonitored(slot))
            continue;
        const PhoneResult &record = store[slot];
        allOk = allOk && record.queryOk;
        // A result that was fetched but not stored is a failure of the check.
        const bool storedKnown = record.queryOk && historyStored.contains(slot);
        allOk = allOk && (!storedKnown || historyStored.value(slot));
        if (json) {
            // A phone without a result still says which slot it is.
            QJsonObject object = phoneResultToJson(record);
            if (storedKnown)
                object.insert(QStringLiteral("HistoryStored"), historyStored.value(slot));
            if (!record.hasValues()) {
                object.insert(QStringLiteral("NN"), slot);
                object.insert(QStringLiteral("Alias"), context.phones.aliasOf(slot));
                object.insert(QStringLiteral("PhoneNum"), context.phones.numberOf(slot));
            }
            const QString reason = record.queryOk ? QString() : record.failure.englishText();
            object.insert(QStringLiteral("FailReason"),
                          reason.isEmpty() ? QJsonValue() : QJsonValue(reason));
            addSpendToJson(object, spend[size_t(slot - 1)]);
            array.append(object);
        } else {
            text += textLine(record, slot, context);
        }
    }
    if (json)
        output.out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
    else
        output.out(text);
    return allOk ? 0 : 1;
}

int runCheckMode(const CliRequest &request, const AppPaths &paths)
{
    CheckOutput output;
    output.out = [](const QString &text) { printTo(stdout, text); };
    output.err = [](const QString &text) { printTo(stderr, text); };
    return runCheck(paths, request.json, checkTimings(), output);
}

} // namespace zelvant
