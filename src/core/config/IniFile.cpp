#include "core/config/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <limits>
#include <optional>
#include <utility>

#include "core/DigitValue.h"
#include "core/FileIdentity.h"
#include "core/TextCodec.h"
#include "core/config/AtomicWrite.h"

namespace zelvant {

namespace {

QString fold(const QString &name)
{
    return lowerWindows1251(name);
}

const QByteArray Utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

struct IniFile::Content
{
    struct Line
    {
        enum Kind { Other, Header, Entry };
        QByteArray raw; // the bytes of the line, without its line break
        bool hasEol = true;
        Kind kind = Other;
        QString name;   // section name or key, blanks trimmed
        QString folded; // name as compared
        QString value;  // value of an entry, blanks trimmed
    };

    // Where each section and key is, built once per read of the file so
    // that a look-up costs the same in a file of thousands of sections.
    // Only the first section of a name counts, and in it the first entry of
    // a key, as the linear search finds them.
    struct Index
    {
        QHash<QString, int> sections;                // folded name -> header line
        QHash<std::pair<int, QString>, int> entries; // (header line, folded key) -> line
        QStringList sectionNames;                    // first spelling of each, in file order
    };

    FileIdentity stamp;      // the file as read: the content stands while it is unchanged
    bool unreadable = false; // exists, but could not be read
    // A file that starts with a UTF-8 byte order mark is UTF-8 (an editor
    // saved it so) and is written back the same way.
    bool utf8 = false;
    QByteArray eol = "\r\n";
    QList<Line> lines;
    // Built for what is read; a change to the lines drops it.
    std::optional<Index> index;

    QString decode(const QByteArray &bytes) const
    {
        return utf8 ? QString::fromUtf8(bytes) : fromWindows1251(bytes);
    }

    // False when the file's encoding has no bytes for the text.
    bool encode(const QString &text, QByteArray *bytes) const
    {
        if (!utf8)
            return toWindows1251Exact(text, bytes);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                return false;
        }
        *bytes = text.toUtf8();
        return true;
    }

    Line parseLine(const QByteArray &raw) const
    {
        Line line;
        line.raw = raw;
        const QString text = decode(raw).trimmed();
        if (text.startsWith(QLatin1Char('['))) {
            const qsizetype close = text.indexOf(QLatin1Char(']'));
            if (close > 0) {
                line.kind = Line::Header;
                line.name = text.mid(1, close - 1).trimmed();
            }
        } else if (!text.startsWith(QLatin1Char(';'))) {
            const qsizetype eq = text.indexOf(QLatin1Char('='));
            if (eq > 0) {
                line.kind = Line::Entry;
                line.name = text.left(eq).trimmed();
                line.value = text.mid(eq + 1).trimmed();
            }
        }
        if (line.kind != Line::Other)
            line.folded = fold(line.name);
        return line;
    }

    void parse(const QByteArray &bytes)
    {
        lines.clear();
        index.reset();
        utf8 = bytes.startsWith(Utf8Bom);
        qsizetype start = utf8 ? Utf8Bom.size() : 0;
        bool eolChosen = false;
        while (start < bytes.size()) {
            qsizetype nl = bytes.indexOf('\n', start);
            const bool hasEol = nl >= 0;
            if (!hasEol)
                nl = bytes.size();
            QByteArray raw = bytes.mid(start, nl - start);
            if (hasEol && !eolChosen) {
                eol = raw.endsWith('\r') ? QByteArray("\r\n") : QByteArray("\n");
                eolChosen = true;
            }
            if (raw.endsWith('\r'))
                raw.chop(1);
            Line line = parseLine(raw);
            line.hasEol = hasEol;
            lines.append(line);
            start = nl + 1;
        }
    }

    QByteArray serialize() const
    {
        QByteArray out = utf8 ? Utf8Bom : QByteArray();
        for (const Line &line : lines) {
            out += line.raw;
            if (line.hasEol)
                out += eol;
        }
        return out;
    }

    void buildIndex()
    {
        Index built;
        built.sections.reserve(lines.size() / 4 + 1);
        built.entries.reserve(lines.size());
        int header = -1; // of a section that is searched
        for (int i = 0; i < lines.size(); ++i) {
            const Line &line = lines[i];
            if (line.kind == Line::Header) {
                // A repeated section is never searched: its keys are not indexed.
                header = -1;
                if (!built.sections.contains(line.folded)) {
                    built.sections.insert(line.folded, i);
                    built.sectionNames.append(line.name);
                    header = i;
                }
            } else if (line.kind == Line::Entry && header >= 0) {
                const std::pair<int, QString> key(header, line.folded);
                if (!built.entries.contains(key))
                    built.entries.insert(key, i);
            }
        }
        index = std::move(built);
    }

    // Index of the first header of that section, or -1.
    int findSection(const QString &folded) const
    {
        if (index)
            return index->sections.value(folded, -1);
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].kind == Line::Header && lines[i].folded == folded)
                return i;
        }
        return -1;
    }

    int sectionEnd(int header) const
    {
        int i = header + 1;
        while (i < lines.size() && lines[i].kind != Line::Header)
            ++i;
        return i;
    }

    int findKey(int header, const QString &foldedKey) const
    {
        if (index)
            return index->entries.value({header, foldedKey}, -1);
        const int end = sectionEnd(header);
        for (int i = header + 1; i < end; ++i) {
            if (lines[i].kind == Line::Entry && lines[i].folded == foldedKey)
                return i;
        }
        return -1;
    }

    const Line *entry(const QString &section, const QString &key) const
    {
        const int h = findSection(fold(section.trimmed()));
        if (h < 0)
            return nullptr;
        const int k = findKey(h, fold(key.trimmed()));
        return k < 0 ? nullptr : &lines[k];
    }

    Line makeLine(const QByteArray &raw) const
    {
        Line line = parseLine(raw);
        line.hasEol = true;
        return line;
    }

    void ensureLastLineEnds()
    {
        if (!lines.isEmpty())
            lines.last().hasEol = true;
    }

    // Returns true when the content changed.
    bool write(const QString &section, const QString &key, const QByteArray &sectionBytes,
               const QByteArray &keyBytes, const QByteArray &valueBytes)
    {
        index.reset();
        const int h = findSection(fold(section));
        if (h < 0) {
            ensureLastLineEnds();
            if (!lines.isEmpty() && !decode(lines.last().raw).trimmed().isEmpty())
                lines.append(makeLine(QByteArray()));
            lines.append(makeLine('[' + sectionBytes + ']'));
            lines.append(makeLine(keyBytes + '=' + valueBytes));
            return true;
        }
        const int k = findKey(h, fold(key));
        if (k >= 0) {
            // Keep the key as the user spelled it.
            QByteArray keyAsStored;
            encode(lines[k].name, &keyAsStored);
            const QByteArray raw = keyAsStored + '=' + valueBytes;
            if (raw == lines[k].raw)
                return false;
            const bool hadEol = lines[k].hasEol;
            lines[k] = makeLine(raw);
            lines[k].hasEol = hadEol;
            return true;
        }
        // A new key goes after the last entry of its section, so comments
        // and blank lines that close the section stay where they are.
        const int end = sectionEnd(h);
        int at = h + 1;
        for (int i = h + 1; i < end; ++i) {
            if (lines[i].kind == Line::Entry)
                at = i + 1;
        }
        if (at == lines.size())
            ensureLastLineEnds();
        lines.insert(at, makeLine(keyBytes + '=' + valueBytes));
        return true;
    }

    bool eraseKey(const QString &section, const QString &key)
    {
        index.reset();
        const int h = findSection(fold(section));
        if (h < 0)
            return false;
        const QString foldedKey = fold(key);
        bool changed = false;
        for (int i = sectionEnd(h) - 1; i > h; --i) {
            if (lines[i].kind == Line::Entry && lines[i].folded == foldedKey) {
                lines.removeAt(i);
                changed = true;
            }
        }
        return changed;
    }

    // Erases every section of that name, so that a duplicate further down
    // does not surface in its place.
    bool eraseSection(const QString &section)
    {
        index.reset();
        const QString folded = fold(section);
        bool changed = false;
        for (int h = findSection(folded); h >= 0; h = findSection(folded)) {
            lines.remove(h, sectionEnd(h) - h);
            changed = true;
        }
        return changed;
    }
};

bool parseIniInteger(const QString &text, int *value)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i + 1 < t.size() && t[i] == QLatin1Char('0')
        && (t[i + 1] == QLatin1Char('x') || t[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= t.size())
        return false;
    qint64 result = 0;
    for (; i < t.size(); ++i) {
        const int digit = digitValue(t[i], base);
        if (digit < 0)
            return false;
        result = result * base + digit;
        if (result > qint64(1) << 32)
            return false;
    }
    if (negative)
        result = -result;
    if (result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max())
        return false;
    if (value)
        *value = int(result);
    return true;
}

IniFile::IniFile(const QString &path)
    : m_path(path)
{
}

IniFile IniFile::fromBytes(const QByteArray &bytes)
{
    IniFile ini;
    auto content = std::make_shared<Content>();
    content->parse(bytes);
    content->buildIndex();
    ini.m_cache = std::move(content);
    return ini;
}

std::shared_ptr<const IniFile::Content> IniFile::load() const
{
    if (m_path.isEmpty() && m_cache)
        return m_cache;
    const FileIdentity stamp = identityOf(m_path);
    if (m_cache && m_cache->stamp == stamp)
        return m_cache;
    auto content = std::make_shared<Content>();
    content->stamp = stamp;
    if (stamp.exists) {
        QFile file(m_path);
        if (QFileInfo(m_path).isDir() || !file.open(QIODevice::ReadOnly))
            content->unreadable = true;
        else
            content->parse(file.readAll());
    }
    content->buildIndex();
    m_cache = content;
    ++m_revision;
    return m_cache;
}

quint64 IniFile::revision() const
{
    load();
    return m_revision;
}

QString IniFile::readString(const QString &section, const QString &key,
                            const QString &defaultValue) const
{
    const auto content = load();
    const Content::Line *line = content->entry(section, key);
    return line ? line->value : defaultValue;
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const auto content = load();
    const Content::Line *line = content->entry(section, key);
    int value = defaultValue;
    if (line && parseIniInteger(line->value, &value))
        return value;
    return defaultValue;
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    const auto content = load();
    const Content::Line *line = content->entry(section, key);
    int value = 0;
    if (line && parseIniInteger(line->value, &value))
        return value != 0;
    return defaultValue;
}

QStringList IniFile::sections() const
{
    return load()->index->sectionNames;
}

bool IniFile::sectionExists(const QString &section) const
{
    return load()->findSection(fold(section.trimmed())) >= 0;
}

QStringList IniFile::keys(const QString &section) const
{
    const auto content = load();
    QStringList names;
    const int h = content->findSection(fold(section.trimmed()));
    if (h < 0)
        return names;
    const int end = content->sectionEnd(h);
    for (int i = h + 1; i < end; ++i) {
        const Content::Line &line = content->lines[i];
        // The first entry of each key is the one the index points at.
        if (line.kind == Content::Line::Entry && content->findKey(h, line.folded) == i)
            names.append(line.name);
    }
    return names;
}

bool IniFile::keyExists(const QString &section, const QString &key) const
{
    return load()->entry(section, key) != nullptr;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value,
                          QString *error)
{
    return apply({Change::write(section, key, value)}, error);
}

bool IniFile::writeInteger(const QString &section, const QString &key, int value, QString *error)
{
    return apply({Change::write(section, key, value)}, error);
}

bool IniFile::writeBool(const QString &section, const QString &key, bool value, QString *error)
{
    return apply({Change::writeBool(section, key, value)}, error);
}

bool IniFile::eraseSection(const QString &section, QString *error)
{
    return apply({Change::eraseSection(section)}, error);
}

bool IniFile::eraseKey(const QString &section, const QString &key, QString *error)
{
    return apply({Change::eraseKey(section, key)}, error);
}

namespace {

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// Encodes one name or value, refusing what the file could not hold.
bool encodeItem(const IniFile::Content &content, const QString &text, QByteArray *bytes,
                const QString &path, QString *error)
{
    if (content.encode(text, bytes))
        return true;
    return fail(error, QStringLiteral("Текст \"%1\" содержит символы, которых нет в кодировке "
                                      "Windows-1251; файл \"%2\" не изменён.")
                           .arg(text, nativePath(path)));
}

} // namespace

bool IniFile::apply(const QList<Change> &changes, QString *error)
{
    const auto current = load();
    if (current->unreadable) {
        return fail(error, QStringLiteral("Не удалось прочитать файл \"%1\"; чтобы не потерять "
                                          "его содержимое, изменения не записаны.")
                               .arg(nativePath(m_path)));
    }
    Content next = *current;
    bool changed = false;
    for (const Change &change : changes) {
        const QString section = change.section.trimmed();
        if (section.isEmpty() || section.contains(QLatin1Char(']')) || hasLineBreak(section))
            return fail(error, QStringLiteral("Недопустимое имя раздела \"%1\"; файл \"%2\" не "
                                              "изменён.")
                                   .arg(change.section, nativePath(m_path)));
        QByteArray sectionBytes;
        if (!encodeItem(next, section, &sectionBytes, m_path, error))
            return false;
        if (change.kind == Change::EraseSection) {
            changed |= next.eraseSection(section);
            continue;
        }
        const QString key = change.key.trimmed();
        if (key.isEmpty() || key.contains(QLatin1Char('=')) || key.startsWith(QLatin1Char('['))
            || key.startsWith(QLatin1Char(';')) || hasLineBreak(key))
            return fail(error, QStringLiteral("Недопустимое имя параметра \"%1\"; файл \"%2\" не "
                                              "изменён.")
                                   .arg(change.key, nativePath(m_path)));
        QByteArray keyBytes;
        if (!encodeItem(next, key, &keyBytes, m_path, error))
            return false;
        if (change.kind == Change::EraseKey) {
            changed |= next.eraseKey(section, key);
            continue;
        }
        if (hasLineBreak(change.value))
            return fail(error, QStringLiteral("Значение параметра \"%1\" не может содержать "
                                              "перевод строки; файл \"%2\" не изменён.")
                                   .arg(key, nativePath(m_path)));
        QByteArray valueBytes;
        if (!encodeItem(next, change.value, &valueBytes, m_path, error))
            return false;
        changed |= next.write(section, key, sectionBytes, keyBytes, valueBytes);
    }
    if (!changed)
        return true;

    QString reason;
    if (!writeFileAtomically(m_path, next.serialize(), &reason))
        return fail(
            error,
            QStringLiteral("Не удалось записать файл \"%1\": %2").arg(nativePath(m_path), reason));
    next.stamp = identityOf(m_path);
    next.buildIndex();
    m_cache = std::make_shared<const Content>(std::move(next));
    ++m_revision;
    return true;
}

} // namespace zelvant
