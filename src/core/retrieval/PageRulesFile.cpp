#include "core/retrieval/PageRulesFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/Logging.h"
#include "core/TextCodec.h"
#include "core/config/IniFile.h"

namespace zelvant {

namespace {

const QString MarkerSection = QStringLiteral("Marker");
const QString MarkerKey = QStringLiteral("Phrase");
const QString StepSection = QStringLiteral("Step");

// The keys of a step section, in the order the file lists them.
const QString KeyKey = QStringLiteral("Key");
const QString RunsKey = QStringLiteral("Runs");
const QString ValueLineKey = QStringLiteral("ValueLine");
const QString CaseKey = QStringLiteral("Case");
const QString PrefixKey = QStringLiteral("Prefix");
const QString EndKey = QStringLiteral("End");
const QString ConvertKey = QStringLiteral("Convert");
const QString FieldKey = QStringLiteral("Field");

template<typename Enum, std::size_t N>
using Names = std::array<std::pair<Enum, const char *>, N>;

constexpr Names<PageField, PageFieldCount> FieldNames = {{
    {PageField::UserName, "UserName"},
    {PageField::PhoneNum, "PhoneNum"},
    {PageField::Balance, "Balance"},
    {PageField::Average, "Average"},
    {PageField::TurnOff, "TurnOff"},
    {PageField::Recomend, "Recomend"},
    {PageField::SMS, "SMS"},
    {PageField::Min, "Min"},
    {PageField::BalExpired, "BalExpired"},
    {PageField::USDRate, "USDRate"},
}};
constexpr Names<StepRuns, 2> RunsNames = {
    {{StepRuns::Always, "always"}, {StepRuns::WhileZero, "whileZero"}}};
constexpr Names<ValueLine, 2> ValueLineNames = {
    {{ValueLine::Next, "next"}, {ValueLine::Same, "same"}}};
constexpr Names<LineCase, 2> CaseNames = {{{LineCase::Page, "page"}, {LineCase::Lower, "lower"}}};
constexpr Names<Conversion, 4> ConvertNames = {{{Conversion::Text, "text"},
                                                {Conversion::Float, "float"},
                                                {Conversion::Integer, "integer"},
                                                {Conversion::Minutes, "minutes"}}};

template<typename Enum, std::size_t N>
QString nameOf(const Names<Enum, N> &names, Enum value)
{
    for (const auto &[v, name] : names) {
        if (v == value)
            return QLatin1String(name);
    }
    return QString();
}

// Values are matched without regard to letter case, like the names of
// sections and keys.
template<typename Enum, std::size_t N>
bool valueOf(const Names<Enum, N> &names, const QString &text, Enum *value)
{
    for (const auto &[v, name] : names) {
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            *value = v;
            return true;
        }
    }
    return false;
}

template<typename Enum, std::size_t N>
QString nameList(const Names<Enum, N> &names)
{
    QStringList list;
    for (const auto &entry : names)
        list << QLatin1String(entry.second);
    return list.join(QStringLiteral(", "));
}

enum class FieldKind { Text, Float, Integer };

FieldKind kindOf(PageField field)
{
    switch (field) {
    case PageField::UserName:
    case PageField::PhoneNum:
        return FieldKind::Text;
    case PageField::Balance:
    case PageField::Average:
    case PageField::Recomend:
    case PageField::USDRate:
        return FieldKind::Float;
    default:
        return FieldKind::Integer;
    }
}

bool suits(Conversion convert, PageField field)
{
    switch (kindOf(field)) {
    case FieldKind::Text:
        return convert == Conversion::Text;
    case FieldKind::Float:
        return convert == Conversion::Float;
    case FieldKind::Integer:
        return convert == Conversion::Integer || convert == Conversion::Minutes;
    }
    return false;
}

Conversion naturalConversion(PageField field)
{
    switch (kindOf(field)) {
    case FieldKind::Text:
        return Conversion::Text;
    case FieldKind::Float:
        return Conversion::Float;
    case FieldKind::Integer:
        break;
    }
    return Conversion::Integer;
}

// IniFile trims the blanks around a value; a value in double quotes keeps
// them, which the prefixes and end marks need (" " is the commonest end).
QString unquoted(const QString &value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

QString quoted(const QString &value)
{
    return QLatin1Char('"') + value + QLatin1Char('"');
}

// Text of the file as a refusal quotes it: a file that is no rules file
// (binary junk, a terminal's control sequences) must not reach the terminal
// or the log as it is, nor flood it. Control characters become "\xNN".
QString shownText(const QString &text)
{
    constexpr qsizetype MostShown = 80;
    QString shown;
    for (const QChar c : QStringView(text).left(MostShown)) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format
            || category == QChar::Separator_Line || category == QChar::Separator_Paragraph
            || category == QChar::Other_NotAssigned || c.isSurrogate())
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    if (text.size() > MostShown)
        shown += QStringLiteral("…");
    return shown;
}

// Why a file cannot be used, naming where: "[Step4] Field: ...".
bool refuse(QString *error, const QString &section, const QString &key, const QString &why)
{
    if (error) {
        QString where = QLatin1Char('[') + shownText(section) + QLatin1Char(']');
        if (!key.isEmpty())
            where += QLatin1Char(' ') + shownText(key);
        *error = where + QStringLiteral(": ") + why;
    }
    return false;
}

// The step number of a section named "Step<n>" (n from 1, no leading zero),
// or 0.
int stepNumber(const QString &section)
{
    if (!section.startsWith(StepSection, Qt::CaseInsensitive))
        return 0;
    const QString digits = section.mid(StepSection.size());
    if (digits.isEmpty() || digits.startsWith(QLatin1Char('0')))
        return 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok ? n : MaxPageSteps + 1; // too many digits: too many steps
}

// Bytes that decode as UTF-8 and hold more than ASCII: a file saved as UTF-8
// without the byte order mark, whose phrases read as Windows-1251 would be
// gibberish that never matches. Russian text in Windows-1251 practically
// never forms valid UTF-8.
bool looksLikeUtf8WithoutBom(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return false;
    bool nonAscii = false;
    for (const char c : bytes) {
        if (uchar(c) >= 0x80) {
            nonAscii = true;
            break;
        }
    }
    if (!nonAscii)
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError() && !text.isEmpty();
}

// Counts the lines that open a section ("[" after blanks).
qsizetype sectionHeaderCount(const QByteArray &bytes)
{
    qsizetype count = 0;
    bool lineStart = true;
    for (const char c : bytes) {
        if (c == '\n' || c == '\r') {
            lineStart = true;
        } else if (lineStart && c != ' ' && c != '\t') {
            count += c == '[' ? 1 : 0;
            lineStart = false;
        }
    }
    return count;
}

bool cannotRead(QString *error, const QString &why)
{
    if (error)
        *error = QStringLiteral("файл не удалось прочитать: %1").arg(why);
    return false;
}

// The file's bytes, when it is an ordinary file of at most MaxPageRulesFileBytes.
// Opened without waiting (a FIFO has no writer to wait for) and checked by
// what was opened: a link may lead anywhere (/dev/zero, a pipe), and the
// file may be replaced between a look at the path and the open.
bool readRulesBytes(const QString &path, QByteArray *bytes, QString *error)
{
    const QString tooLarge = QStringLiteral("файл больше %1 байт").arg(MaxPageRulesFileBytes);
    const QString notAFile = QStringLiteral("это не обычный файл");
#ifdef Q_OS_UNIX
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return cannotRead(error, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0;
    QString why = ok ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    if (ok && !S_ISREG(info.st_mode)) {
        ok = false;
        why = notAFile;
    } else if (ok && info.st_size > MaxPageRulesFileBytes) {
        ok = false;
        why = tooLarge;
    }
    // One byte more than allowed tells a file that grew since.
    QByteArray buffer(ok ? MaxPageRulesFileBytes + 1 : 0, Qt::Uninitialized);
    qsizetype size = 0;
    while (ok && size < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + size, size_t(buffer.size() - size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            why = QString::fromLocal8Bit(std::strerror(errno));
        } else if (n == 0) {
            break;
        } else {
            size += n;
        }
    }
    ::close(fd);
    if (ok && size > MaxPageRulesFileBytes) {
        ok = false;
        why = tooLarge;
    }
    if (!ok)
        return cannotRead(error, why);
    buffer.truncate(size);
    *bytes = buffer;
    return true;
#else
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return cannotRead(error, notAFile);
    if (info.size() > MaxPageRulesFileBytes)
        return cannotRead(error, tooLarge);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cannotRead(error, file.errorString());
    *bytes = file.read(MaxPageRulesFileBytes + 1);
    if (bytes->size() > MaxPageRulesFileBytes)
        return cannotRead(error, tooLarge);
    return true;
#endif
}

bool readStep(const IniFile &ini, const QString &section, PageStep *out, QString *error)
{
    const QStringList known = {KeyKey,    RunsKey, ValueLineKey, CaseKey,
                               PrefixKey, EndKey,  ConvertKey,   FieldKey};
    for (const QString &key : ini.keys(section)) {
        bool isKnown = false;
        for (const QString &k : known)
            isKnown = isKnown || key.compare(k, Qt::CaseInsensitive) == 0;
        if (!isKnown)
            return refuse(error, section, key,
                          QStringLiteral("неизвестный параметр (допустимы %1)")
                              .arg(known.join(QStringLiteral(", "))));
    }
    auto text = [&](const QString &key) { return unquoted(ini.readString(section, key, {})); };
    // A choice that is absent takes its default; one that is there must be
    // one of the names.
    auto choice = [&](const QString &key, const auto &names, auto *value) {
        if (!ini.keyExists(section, key))
            return true;
        const QString given = text(key);
        if (valueOf(names, given, value))
            return true;
        return refuse(error, section, key,
                      QStringLiteral("неизвестное значение \"%1\" (допустимы %2)")
                          .arg(shownText(given), nameList(names)));
    };

    PageStep step;
    const QString key = text(KeyKey);
    if (key.isEmpty())
        return refuse(error, section, KeyKey, QStringLiteral("у шага нет ключевой фразы"));
    step.key = lowerWindows1251(key);
    if (!ini.keyExists(section, FieldKey))
        return refuse(error, section, FieldKey, QStringLiteral("не указано поле результата"));
    const QString field = text(FieldKey);
    if (!valueOf(FieldNames, field, &step.field))
        return refuse(error, section, FieldKey,
                      QStringLiteral("неизвестное поле \"%1\" (допустимы %2)")
                          .arg(shownText(field), nameList(FieldNames)));
    step.convert = naturalConversion(step.field);
    if (!choice(RunsKey, RunsNames, &step.runs)
        || !choice(ValueLineKey, ValueLineNames, &step.valueLine)
        || !choice(CaseKey, CaseNames, &step.lineCase))
        return false;
    if (ini.keyExists(section, ConvertKey)) {
        const QString convert = text(ConvertKey);
        if (!valueOf(ConvertNames, convert, &step.convert))
            return refuse(error, section, ConvertKey,
                          QStringLiteral("неизвестное преобразование \"%1\" (допустимы %2)")
                              .arg(shownText(convert), nameList(ConvertNames)));
        if (!suits(step.convert, step.field))
            return refuse(error, section, ConvertKey,
                          QStringLiteral("преобразование %1 не подходит полю %2")
                              .arg(nameOf(ConvertNames, step.convert), pageFieldName(step.field)));
    }
    step.prefix = text(PrefixKey);
    step.end = text(EndKey);
    // The value line is lowered, so a prefix or end with capitals could
    // never be found there.
    if (step.lineCase == LineCase::Lower) {
        step.prefix = lowerWindows1251(step.prefix);
        step.end = lowerWindows1251(step.end);
    }
    *out = step;
    return true;
}

} // namespace

bool readPageRules(const QString &path, PageRules *rules, QString *error)
{
    QByteArray bytes;
    if (!readRulesBytes(path, &bytes, error))
        return false;
    if (looksLikeUtf8WithoutBom(bytes)) {
        if (error)
            *error = QStringLiteral("файл записан в UTF-8 без метки порядка байтов (BOM); "
                                    "сохраните его в Windows-1251 или в UTF-8 с BOM");
        return false;
    }

    // A section is one line at least: a file of far too many steps is refused
    // before it is parsed.
    if (sectionHeaderCount(bytes) > MaxPageSteps + 1)
        return refuse(error, StepSection + QString::number(MaxPageSteps + 1), QString(),
                      QStringLiteral("шагов может быть не больше %1").arg(MaxPageSteps));
    // The bytes checked above, not the path again: the file may have been
    // replaced meanwhile.
    const IniFile ini = IniFile::fromBytes(bytes);
    QList<int> numbers;
    for (const QString &section : ini.sections()) {
        if (section.compare(MarkerSection, Qt::CaseInsensitive) == 0)
            continue;
        const int n = stepNumber(section);
        if (n == 0)
            return refuse(error, section, QString(),
                          QStringLiteral("неизвестный раздел (допустимы Marker и Step1 … Step%1)")
                              .arg(MaxPageSteps));
        if (n > MaxPageSteps)
            return refuse(error, section, QString(),
                          QStringLiteral("шагов может быть не больше %1").arg(MaxPageSteps));
        numbers << n;
    }

    PageRules read;
    for (const QString &key : ini.keys(MarkerSection)) {
        if (key.compare(MarkerKey, Qt::CaseInsensitive) != 0)
            return refuse(error, MarkerSection, key,
                          QStringLiteral("неизвестный параметр (допустим %1)").arg(MarkerKey));
    }
    read.marker = unquoted(ini.readString(MarkerSection, MarkerKey, QString()));
    if (read.marker.isEmpty())
        return refuse(error, MarkerSection, MarkerKey,
                      QStringLiteral("нет фразы, по которой узнаётся страница баланса"));
    if (numbers.isEmpty())
        return refuse(error, StepSection + QLatin1Char('1'), QString(),
                      QStringLiteral("в файле нет ни одного шага"));
    // Steps run in number order; a gap is most likely a step lost in an edit.
    for (int n = 1; n <= int(numbers.size()); ++n) {
        if (!numbers.contains(n))
            return refuse(error, StepSection + QString::number(n), QString(),
                          QStringLiteral("шаги нумеруются подряд с 1, этого шага нет"));
    }
    bool fillsBalance = false;
    for (int n = 1; n <= int(numbers.size()); ++n) {
        PageStep step;
        if (!readStep(ini, StepSection + QString::number(n), &step, error))
            return false;
        fillsBalance = fillsBalance || step.field == PageField::Balance;
        read.steps << step;
    }
    // Without a balance every phone would fail.
    if (!fillsBalance)
        return refuse(error, StepSection + QString::number(numbers.size()), FieldKey,
                      QStringLiteral("ни один шаг не заполняет поле Balance"));
    *rules = read;
    return true;
}

QByteArray pageRulesFileText(const PageRules &rules)
{
    QString text = QStringLiteral(
        "; Правила разбора страницы баланса Zelvant (page-rules.ini).\r\n"
        "; Шаги выполняются для каждой строки страницы по порядку номеров.\r\n"
        "; Key: фраза в строке (регистр букв не важен); Runs: always или whileZero;\r\n"
        "; ValueLine: next или same; Case: page или lower; Prefix и End в кавычках;\r\n"
        "; Convert: text, float, integer или minutes; Field: поле результата.\r\n"
        "\r\n");
    text += QLatin1Char('[') + MarkerSection + QStringLiteral("]\r\n");
    text += MarkerKey + QLatin1Char('=') + quoted(rules.marker) + QStringLiteral("\r\n");
    int n = 0;
    for (const PageStep &step : rules.steps) {
        text += QStringLiteral("\r\n[%1%2]\r\n").arg(StepSection).arg(++n);
        auto line = [&text](const QString &key, const QString &value) {
            text += key + QLatin1Char('=') + value + QStringLiteral("\r\n");
        };
        line(KeyKey, quoted(step.key));
        line(RunsKey, nameOf(RunsNames, step.runs));
        line(ValueLineKey, nameOf(ValueLineNames, step.valueLine));
        line(CaseKey, nameOf(CaseNames, step.lineCase));
        line(PrefixKey, quoted(step.prefix));
        line(EndKey, quoted(step.end));
        line(ConvertKey, nameOf(ConvertNames, step.convert));
        line(FieldKey, pageFieldName(step.field));
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

PageRules loadPageRules(const QString &path, QString *refusal)
{
    if (refusal)
        refusal->clear();
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        qCDebug(lcRetrieval) << "page rules: built in";
        return PageRules::builtIn();
    }
    PageRules rules;
    QString error;
    if (readPageRules(path, &rules, &error)) {
        qCDebug(lcRetrieval).noquote()
            << "page rules: read" << path << "with" << rules.steps.size() << "steps";
        return rules;
    }
    qCInfo(lcRetrieval).noquote() << "page rules: refused" << path << "-" << error;
    if (refusal)
        *refusal = QStringLiteral("Файл правил разбора \"%1\" не принят: %2; действуют встроенные "
                                  "правила.")
                       .arg(QDir::toNativeSeparators(path), error);
    return PageRules::builtIn();
}

} // namespace zelvant
