#include "core/config/Settings.h"

#include <QLocale>

#include <cmath>

#include "core/config/AutoStart.h"
#include "core/config/IniFile.h"

namespace zelvant {

namespace {

const QString HintWindow = QStringLiteral("Hint Window");
const QString Mark = QStringLiteral("Mark");
const QString Connection = QStringLiteral("Connection");
const QString Debug = QStringLiteral("Debug");
const QString Phones = QStringLiteral("Phones");

const QString DefaultBalanceThreshold = QStringLiteral("2.5");
const QString DefaultTurnOffThreshold = QStringLiteral("2");

// The "Hint Window" check boxes in the order the file lists them.
struct HintKey
{
    const char *key;
    bool Options::*member;
};
constexpr HintKey HintKeys[] = {
    {"cbNN", &Options::cbNN},
    {"cbAlias", &Options::cbAlias},
    {"cbUserName", &Options::cbUserName},
    {"cbPhoneNum", &Options::cbPhoneNum},
    {"cbAverage", &Options::cbAverage},
    {"cbTurnOff", &Options::cbTurnOff},
    {"cbRecomend", &Options::cbRecomend},
    {"cbSMS", &Options::cbSMS},
    {"cbMin", &Options::cbMin},
    {"cbJeansBalExpired", &Options::cbJeansBalExpired},
    {"cbLastQueryTime", &Options::cbLastQueryTime},
    {"cbFailReason", &Options::cbFailReason},
};

} // namespace

bool parseDecimal(const QString &text, double *value)
{
    // "." is the separator whatever the desktop's locale says; group
    // separators are not accepted ("3,75" is not 375).
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(text.trimmed(), &ok);
    // The settings code has always used -230973 as "no number".
    if (!ok || !std::isfinite(v) || v == double(NotFoundSentinel))
        return false;
    if (value)
        *value = v;
    return true;
}

bool parseWholeNumber(const QString &text, int *value)
{
    int v = 0;
    if (!parseIniInteger(text, &v) || v == NotFoundSentinel)
        return false;
    if (value)
        *value = v;
    return true;
}

int Options::refreshHours() const
{
    const int index = (cbRefreshTime >= 0 && cbRefreshTime < RefreshHoursCount)
                          ? cbRefreshTime
                          : DefaultRefreshIndex;
    return RefreshHours[index];
}

qint64 Options::refreshIntervalMs() const
{
    return qint64(refreshHours()) * 3600000;
}

double Options::balanceThreshold() const
{
    double v = 2.5;
    parseDecimal(edBalanceLessThen, &v);
    return v;
}

int Options::turnOffThreshold() const
{
    int v = 2;
    parseWholeNumber(edTurnOffLessThen, &v);
    return v;
}

Options loadSettings(const IniFile &settings)
{
    Options o;
    for (const HintKey &h : HintKeys)
        o.*h.member = settings.readBool(HintWindow, QLatin1String(h.key), o.*h.member);
    const int trayIcon = settings.readInteger(HintWindow, QStringLiteral("cbTrayIcon"), 0);
    if (trayIcon >= 0 && trayIcon < TrayIconStyleCount)
        o.cbTrayIcon = TrayIconStyle(trayIcon);

    o.cbMarkIfBalance = settings.readBool(Mark, QStringLiteral("cbMarkIfBalance"), true);
    o.cbMarkIfTurnOff = settings.readBool(Mark, QStringLiteral("cbMarkIfTurnOff"), true);
    o.edBalanceLessThen =
        settings.readString(Mark, QStringLiteral("edBalanceLessThen"), DefaultBalanceThreshold);
    o.edTurnOffLessThen =
        settings.readString(Mark, QStringLiteral("edTurnOffLessThen"), DefaultTurnOffThreshold);
    if (!parseDecimal(o.edBalanceLessThen, nullptr))
        o.edBalanceLessThen = DefaultBalanceThreshold;
    if (!parseWholeNumber(o.edTurnOffLessThen, nullptr))
        o.edTurnOffLessThen = DefaultTurnOffThreshold;

    o.cbRefreshTime =
        settings.readInteger(Connection, QStringLiteral("cbRefreshTime"), DefaultRefreshIndex);
    if (o.cbRefreshTime < 0 || o.cbRefreshTime >= RefreshHoursCount)
        o.cbRefreshTime = DefaultRefreshIndex;
    o.cbAutoStart = settings.readBool(Connection, QStringLiteral("cbAutoStart"), true);
    o.cbExecAfterRun = settings.readBool(Connection, QStringLiteral("cbExecAfterRun"), false);
    o.cbHistory = settings.readBool(Connection, QStringLiteral("cbHistory"), true);
    o.cbLoadHistory = settings.readBool(Connection, QStringLiteral("cbLoadHistory"), true);
    // Keys newer than many settings files: a missing one takes its default.
    o.cbRetryFailed = settings.readBool(Connection, QStringLiteral("cbRetryFailed"), true);
    o.cbNotifyLowBalance =
        settings.readBool(Connection, QStringLiteral("cbNotifyLowBalance"), true);
    o.cbNotifyFailures = settings.readBool(Connection, QStringLiteral("cbNotifyFailures"), true);
    return o;
}

bool saveSettings(IniFile &settings, const Options &options, bool trayNotShown,
                  AutoStart *autoStart, QString *error)
{
    using Change = IniFile::Change;
    QList<Change> changes;
    for (const HintKey &h : HintKeys)
        changes.append(Change::writeBool(HintWindow, QLatin1String(h.key), options.*h.member));
    changes.append(
        Change::write(HintWindow, QStringLiteral("cbTrayIcon"), int(options.cbTrayIcon)));

    changes.append(
        Change::writeBool(Mark, QStringLiteral("cbMarkIfBalance"), options.cbMarkIfBalance));
    changes.append(
        Change::writeBool(Mark, QStringLiteral("cbMarkIfTurnOff"), options.cbMarkIfTurnOff));
    changes.append(
        Change::write(Mark, QStringLiteral("edBalanceLessThen"), options.edBalanceLessThen));
    changes.append(
        Change::write(Mark, QStringLiteral("edTurnOffLessThen"), options.edTurnOffLessThen));

    changes.append(
        Change::write(Connection, QStringLiteral("cbRefreshTime"), options.cbRefreshTime));
    changes.append(
        Change::writeBool(Connection, QStringLiteral("cbAutoStart"), options.cbAutoStart));
    changes.append(
        Change::writeBool(Connection, QStringLiteral("cbExecAfterRun"), options.cbExecAfterRun));
    changes.append(Change::writeBool(Connection, QStringLiteral("cbHistory"), options.cbHistory));
    changes.append(
        Change::writeBool(Connection, QStringLiteral("cbLoadHistory"), options.cbLoadHistory));
    changes.append(
        Change::writeBool(Connection, QStringLiteral("cbRetryFailed"), options.cbRetryFailed));
    changes.append(Change::writeBool(Connection, QStringLiteral("cbNotifyLowBalance"),
                                     options.cbNotifyLowBalance));
    changes.append(Change::writeBool(Connection, QStringLiteral("cbNotifyFailures"),
                                     options.cbNotifyFailures));

    if (trayNotShown)
        changes.append(Change::write(Phones, QStringLiteral("rbTray"), -1));
    // Written back so that the hidden switch is visible in the file.
    changes.append(
        Change::writeBool(Debug, QStringLiteral("SaveLogFiles"), saveLogFilesEnabled(settings)));

    // All keys in one atomic rewrite: a failure stores none of them.
    if (!settings.apply(changes, error))
        return false;

    if (autoStart && !autoStart->setAutoStart(options.cbAutoStart, error))
        return false;
    return true;
}

bool saveLogFilesEnabled(const IniFile &settings)
{
    return settings.readBool(Debug, QStringLiteral("SaveLogFiles"), false);
}

namespace {

const QString HistoryForm = QStringLiteral("History Form");

QList<IniFile::Change> placementChanges(const QString &section, const WindowPlacement &p)
{
    QList<IniFile::Change> changes;
    const std::pair<const char *, int> fields[] = {
        {"Width", p.width}, {"Height", p.height}, {"Left", p.left}, {"Top", p.top}};
    for (const auto &[key, value] : fields) {
        if (value != NotFoundSentinel)
            changes.append(IniFile::Change::write(section, QLatin1String(key), value));
    }
    return changes;
}

} // namespace

HistoryFormFields readHistoryFormFields(const IniFile &settings)
{
    HistoryFormFields f;
    const QString lastRequest =
        settings.readString(HistoryForm, QStringLiteral("edLastRequest"), f.edLastRequest);
    const QString lastDays =
        settings.readString(HistoryForm, QStringLiteral("edLastDays"), f.edLastDays);
    if (parseDecimal(lastRequest, nullptr))
        f.edLastRequest = lastRequest;
    if (parseDecimal(lastDays, nullptr))
        f.edLastDays = lastDays;
    return f;
}

bool writeHistoryForm(IniFile &settings, const HistoryFormFields &fields,
                      const WindowPlacement &placement, QString *error)
{
    QList<IniFile::Change> changes{
        IniFile::Change::write(HistoryForm, QStringLiteral("edLastRequest"), fields.edLastRequest),
        IniFile::Change::write(HistoryForm, QStringLiteral("edLastDays"), fields.edLastDays)};
    changes += placementChanges(HistoryForm, placement);
    return settings.apply(changes, error);
}

WindowPlacement readWindowPlacement(const IniFile &settings, const QString &section)
{
    WindowPlacement p;
    p.width = settings.readInteger(section, QStringLiteral("Width"), NotFoundSentinel);
    p.height = settings.readInteger(section, QStringLiteral("Height"), NotFoundSentinel);
    p.left = settings.readInteger(section, QStringLiteral("Left"), NotFoundSentinel);
    p.top = settings.readInteger(section, QStringLiteral("Top"), NotFoundSentinel);
    return p;
}

bool writeWindowPlacement(IniFile &settings, const QString &section, const WindowPlacement &p,
                          QString *error)
{
    const QList<IniFile::Change> changes = placementChanges(section, p);
    return changes.isEmpty() || settings.apply(changes, error);
}

} // namespace zelvant
