#include "core/config/Settings.h"

#include <QLocale>

#include <cmath>

#include "core/config/AutoStart.h"
#include "core/config/IniFile.h"
#include "core/config/SettingsTable.h"

namespace zelvant {

namespace {

const QString Debug = QStringLiteral("Debug");
const QString Phones = QStringLiteral("Phones");
const QString Connection = QStringLiteral("Connection");

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

Options::Options()
{
    for (const Setting &s : settingsTable())
        s.setText(*this, s.defaultText());
}

qint64 Options::refreshIntervalMs() const
{
    const bool listed = cbRefreshTime >= 0 && cbRefreshTime < RefreshHoursCount;
    return qint64(RefreshHours[listed ? cbRefreshTime : DefaultRefreshIndex]) * 3600 * 1000;
}

// A text that is no number counts as the default.
double Options::balanceThreshold() const
{
    double v = 0;
    if (!parseDecimal(edBalanceLessThen, &v))
        parseDecimal(Options().edBalanceLessThen, &v);
    return v;
}

int Options::turnOffThreshold() const
{
    int v = 0;
    if (!parseWholeNumber(edTurnOffLessThen, &v))
        parseWholeNumber(Options().edTurnOffLessThen, &v);
    return v;
}

Options loadSettings(const IniFile &settings, FileMode mode)
{
    Options o;
    // A missing key reads as empty text, which no setting allows.
    for (const Setting &s : settingsTable())
        s.setText(o, settings.readString(s.sectionName(), s.keyName(), {}));
    if (mode == FileMode::Installed && !keyringChosen(settings))
        o.cbKeyring = true;
    return o;
}

bool keyringChosen(const IniFile &settings)
{
    return parseIniInteger(settings.readString(Connection, QStringLiteral("cbKeyring"), {}),
                           nullptr);
}

bool saveSettings(IniFile &settings, const Options &options, bool trayNotShown,
                  AutoStart *autoStart, QString *error)
{
    using Change = IniFile::Change;
    QList<Change> changes;
    for (const Setting &s : settingsTable())
        changes.append(Change::write(s.sectionName(), s.keyName(), s.text(options)));
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
