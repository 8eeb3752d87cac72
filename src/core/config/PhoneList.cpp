#include "core/config/PhoneList.h"

#include <QCoreApplication>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <vector>

#include "core/ErrorLog.h"
#include "core/TextCodec.h"
#include "core/config/AtomicWrite.h"
#include "core/config/IniFile.h"
#include "core/config/PasswordScramble.h"

namespace zelvant {

void PhoneList::clearSlot(int i)
{
    slot(i) = PhoneSlot();
}

void PhoneList::setTrayShown(int i)
{
    for (int n = 1; n <= PhoneSlotCount; ++n)
        slot(n).trayShown = (n == i);
}

int PhoneList::trayShownSlot() const
{
    for (int n = 1; n <= PhoneSlotCount; ++n) {
        if (slot(n).trayShown)
            return n;
    }
    return 0;
}

int PhoneList::monitoredCount() const
{
    int count = 0;
    for (const PhoneSlot &s : m_slots)
        count += s.monitored ? 1 : 0;
    return count;
}

namespace {

const QString PhonesTag = QStringLiteral("Phones");
const QString PhoneTag = QStringLiteral("Phone");

// "True"/"False" in any letter case, or a number (0 false, any other true).
// Anything else, a missing value included, is false.
bool readFlag(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    int integer = 0;
    if (parseIniInteger(t, &integer)) // "0x1" too, as in the settings file
        return integer != 0;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double number = c.toDouble(t, &ok);
    return ok && number != 0;
}

// The encoding named in the XML declaration, lower case; empty when none.
// Read by hand: a regular expression here would cost every start the pages
// of the expression engine.
QByteArray declaredEncoding(const QByteArray &bytes)
{
    if (!bytes.startsWith("<?xml"))
        return {};
    const qsizetype end = bytes.indexOf("?>");
    if (end < 0)
        return {};
    const QByteArray declaration = bytes.left(end);
    const auto isSpace = [](char c) { return QChar::isSpace(uchar(c)); };
    const auto isNameChar = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
               || c == '.' || c == '_' || c == '-';
    };
    const auto isQuote = [](char c) { return c == '"' || c == '\''; };
    // encoding = "name", blanks allowed around "=", either quote at either end.
    for (qsizetype at = declaration.indexOf("encoding"); at >= 0;
         at = declaration.indexOf("encoding", at + 1)) {
        qsizetype i = at + 8;
        while (i < declaration.size() && isSpace(declaration.at(i)))
            ++i;
        if (i >= declaration.size() || declaration.at(i) != '=')
            continue;
        ++i;
        while (i < declaration.size() && isSpace(declaration.at(i)))
            ++i;
        if (i >= declaration.size() || !isQuote(declaration.at(i)))
            continue;
        const qsizetype start = ++i;
        while (i < declaration.size() && isNameChar(declaration.at(i)))
            ++i;
        if (i > start && i < declaration.size() && isQuote(declaration.at(i)))
            return declaration.mid(start, i - start).toLower();
    }
    return {};
}

bool isWindows1251Name(const QByteArray &name)
{
    return name == "windows-1251" || name == "cp1251" || name == "x-cp1251" || name == "win-1251";
}

struct ParsedPhone
{
    QString number;
    QString password;
    bool passwordInKeyring = false;
    QString alias;
    bool monitored = false;
    bool trayShown = false;
    QString region;
};

const QString KeyringMarker = QStringLiteral("keyring");

const QByteArray Utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// Parses the whole document; false when it is not well-formed XML or has no
// root element, so that half a file never fills half a list. The "Phone"
// children of the root are the phones (any letter case): whitespace,
// comments and other elements take no slot. Only the first `limit` are
// kept; *total counts them all.
bool parsePhones(const QByteArray &bytes, int limit, std::vector<ParsedPhone> *phones, int *total)
{
    QXmlStreamReader reader;
    // A byte order mark says UTF-8, whatever the declaration claims (an
    // editor added the mark and re-encoded the file). Qt's reader may not
    // know the code page; the file's own declaration then stays the truth
    // and the text is decoded here.
    if (bytes.startsWith(Utf8Bom)) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(QByteArrayView(bytes).sliced(Utf8Bom.size()));
        if (utf8.hasError())
            return false;
        reader.addData(text);
    } else if (isWindows1251Name(declaredEncoding(bytes))) {
        reader.addData(fromWindows1251(bytes));
    } else {
        reader.addData(bytes);
    }

    int depth = 0;
    bool sawRoot = false;
    *total = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1) {
                sawRoot = true;
            } else if (depth == 2 && reader.name().compare(PhoneTag, Qt::CaseInsensitive) == 0
                       && ++*total <= limit) {
                const QXmlStreamAttributes attributes = reader.attributes();
                ParsedPhone p;
                p.number = attributes.value(QLatin1String("Number")).toString();
                p.password = decodePassword(attributes.value(QLatin1String("Password")).toString());
                p.passwordInKeyring =
                    attributes.value(QLatin1String("PasswordIn")).compare(KeyringMarker) == 0;
                if (p.passwordInKeyring) // a stale scramble beside the marker is no password
                    p.password.clear();
                p.alias = attributes.value(QLatin1String("Alias")).toString();
                p.monitored = readFlag(attributes.value(QLatin1String("Monitor")).toString());
                p.trayShown = readFlag(attributes.value(QLatin1String("TrayShow")).toString());
                p.region = attributes.value(QLatin1String("Region")).toString();
                phones->push_back(p);
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return !reader.hasError() && sawRoot;
}

// Reads the file; false when it exists but cannot be read or parsed.
// A missing or empty file is an empty list and not an error. *total is the
// number of phones the file holds, of which the first `limit` are read.
bool readPhonesFile(const QString &path, int limit, std::vector<ParsedPhone> *phones, int *total)
{
    phones->clear();
    *total = 0;
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.trimmed().isEmpty() || bytes == Utf8Bom)
        return true;
    if (!parsePhones(bytes, limit, phones, total)) {
        phones->clear();
        *total = 0;
        return false;
    }
    return true;
}

bool isValidXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF)
           || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// True when XML 1.0 can carry the text at all (no control characters other
// than tab and line breaks, no unpaired surrogate halves).
bool xmlCanHold(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size()
            && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            c = QChar::surrogateToUcs4(text.at(i).unicode(), text.at(i + 1).unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            return false;
        }
        if (!isValidXmlChar(c))
            return false;
    }
    return true;
}

// An attribute value, escaped, in Windows-1251; characters the code page has
// no byte for become character references. Tabs and line breaks are written
// as references too, or a reader would turn them into blanks.
QByteArray attributeValue(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            escaped += QLatin1String("&amp;");
            break;
        case '<':
            escaped += QLatin1String("&lt;");
            break;
        case '>':
            escaped += QLatin1String("&gt;");
            break;
        case '"':
            escaped += QLatin1String("&quot;");
            break;
        case '\t':
            escaped += QLatin1String("&#9;");
            break;
        case '\n':
            escaped += QLatin1String("&#10;");
            break;
        case '\r':
            escaped += QLatin1String("&#13;");
            break;
        default:
            escaped += c;
        }
    }
    return toWindows1251WithCharRefs(escaped);
}

QByteArray flag(bool on)
{
    return on ? QByteArrayLiteral("True") : QByteArrayLiteral("False");
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

QString controlCharactersMessage(int slot, const QString &number)
{
    return QCoreApplication::translate("zelvant::PhoneList",
                                       "Телефон %1 (%2) содержит управляющие символы, "
                                       "которые нельзя сохранить в файле.")
        .arg(slot)
        .arg(number.trimmed());
}

} // namespace

void loadPhones(PhoneList &phones, const QString &path, bool *unreadable, int *leftOut)
{
    std::vector<ParsedPhone> parsed;
    int total = 0;
    const bool ok = readPhonesFile(path, PhoneSlotCount, &parsed, &total);
    if (unreadable)
        *unreadable = !ok;
    if (leftOut)
        *leftOut = total - int(parsed.size());
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        phones.clearSlot(i);
        if (i > int(parsed.size()))
            continue;
        const ParsedPhone &p = parsed[size_t(i - 1)];
        PhoneSlot &s = phones.slot(i);
        s.number = p.number;
        s.password = p.password;
        s.passwordInKeyring = p.passwordInKeyring;
        s.alias = p.alias;
        s.monitored = p.monitored;
        s.region = p.region;
        // The tray shows one phone: a later one in the file wins.
        if (p.trayShown)
            phones.setTrayShown(i);
    }
}

QString phonesLeftOutMessage(const QString &path, int leftOut)
{
    return QStringLiteral("В файле \"%1\" телефонов больше, чем %2: ещё %3 не загружены.")
        .arg(QDir::toNativeSeparators(path))
        .arg(PhoneSlotCount)
        .arg(leftOut);
}

QByteArray phonesDocument(const PhoneList &phones)
{
    QByteArray body;
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        const PhoneSlot &s = phones.slot(i);
        if (s.number.trimmed().isEmpty())
            continue;
        body += "<Phone Number=\"" + attributeValue(s.number) + "\" Password=\""
                + (s.passwordInKeyring ? QByteArray("\" PasswordIn=\"keyring")
                                       : attributeValue(encodePassword(s.password)))
                + "\" Alias=\"" + attributeValue(s.alias) + "\" Monitor=\"" + flag(s.monitored)
                + "\" TrayShow=\"" + flag(s.trayShown) + "\" Region=\"" + attributeValue(s.region)
                + "\"/>";
    }
    QByteArray doc = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n";
    if (body.isEmpty())
        doc += "<Phones/>";
    else
        doc += "<Phones>" + body + "</Phones>";
    doc += "\r\n";
    return doc;
}

bool savePhones(const PhoneList &phones, const QString &path, const QString &errorLogFile,
                QString *error, QString *notice)
{
    // Refuse, before touching anything, what the file could not give back.
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        const PhoneSlot &s = phones.slot(i);
        if (s.number.trimmed().isEmpty())
            continue;
        if (s.passwordInKeyring) {
            if (!xmlCanHold(s.number) || !xmlCanHold(s.alias) || !xmlCanHold(s.region))
                return fail(error, controlCharactersMessage(i, s.number));
            continue;
        }
        // Cut on the way into the file, it would differ from the one the
        // running program goes on with.
        if (s.password.size() > MaxPasswordLength)
            return fail(error,
                        QCoreApplication::translate("zelvant::PhoneList",
                                                    "Пароль телефона %1 (%2) длиннее %3 символов: "
                                                    "файл телефонов хранит не более %3.")
                            .arg(i)
                            .arg(s.number.trimmed())
                            .arg(MaxPasswordLength));
        if (!passwordFitsScramble(s.password))
            return fail(error, QCoreApplication::translate(
                                   "zelvant::PhoneList",
                                   "Пароль телефона %1 (%2) содержит символы, которые "
                                   "нельзя сохранить: допустимы только символы "
                                   "кодировки Windows-1251.")
                                   .arg(i)
                                   .arg(s.number.trimmed()));
        if (!xmlCanHold(s.number) || !xmlCanHold(s.alias) || !xmlCanHold(s.region))
            return fail(error, controlCharactersMessage(i, s.number));
    }

    const QString shownPath = QDir::toNativeSeparators(path);
    const QString shownBackup = QDir::toNativeSeparators(path + QStringLiteral(".bak"));
    const QFileInfo info(path);
    if (info.exists() && !info.isDir()) {
        std::vector<ParsedPhone> parsed;
        int total = 0;
        const bool readable = readPhonesFile(path, 0, &parsed, &total);
        // Keep what the user had before replacing it with the slots: a file
        // that could not be read, or one with more phones than the slots
        // hold (those beyond were never loaded and would be gone).
        if (!readable || total > PhoneSlotCount) {
            QFile old(path);
            if (!old.open(QIODevice::ReadOnly))
                return fail(error, QCoreApplication::translate(
                                       "zelvant::PhoneList",
                                       "Не удалось прочитать файл \"%1\" (%2); чтобы "
                                       "не потерять его, список телефонов не сохранён.")
                                       .arg(shownPath, old.errorString()));
            const QByteArray oldBytes = old.readAll();
            old.close();
            QString reason;
            if (!writeFileAtomically(path + QStringLiteral(".bak"), oldBytes, &reason))
                return fail(error,
                            QCoreApplication::translate("zelvant::PhoneList",
                                                        "Не удалось сохранить копию \"%1\" (%2); "
                                                        "список телефонов не сохранён.")
                                .arg(shownBackup, reason));
            if (!readable) {
                writeErrorLog(QStringLiteral("Файл \"%1\" не удалось прочитать; он сохранён как "
                                             "\"%2\" перед записью нового списка телефонов.")
                                  .arg(shownPath, shownBackup),
                              errorLogFile);
            } else if (notice) {
                *notice =
                    QCoreApplication::translate(
                        "zelvant::PhoneList", "В файле \"%1\" было телефонов: %2, а программа "
                                              "хранит не более %3; остальные %4 в новый список не "
                                              "вошли. Прежний файл сохранён как \"%5\".")
                        .arg(shownPath)
                        .arg(total)
                        .arg(PhoneSlotCount)
                        .arg(total - PhoneSlotCount)
                        .arg(shownBackup);
            }
        }
    }

    QString reason;
    if (!writeFileAtomically(path, phonesDocument(phones), &reason, NewFileAccess::OwnerOnly))
        return fail(error, QCoreApplication::translate("zelvant::PhoneList",
                                                       "Не удалось записать файл \"%1\": %2")
                               .arg(shownPath, reason));
    return true;
}

} // namespace zelvant
