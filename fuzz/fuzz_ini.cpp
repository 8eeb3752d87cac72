// INI files: whatever the file holds, every key listed can be read, and a
// value written is read back (through the same object and from the disk)
// while every other key keeps its value; a refused write leaves the file
// as it was. Input: file bytes, NUL, section, NUL, key, NUL, value (UTF-8).

#include <QFile>

#include "FuzzCheck.h"
#include "core/config/IniFile.h"

using namespace zelvant;
using namespace zelvant::fuzz;

namespace {

using Entries = QList<std::pair<std::pair<QString, QString>, QString>>;

Entries entries(const IniFile &file)
{
    Entries all;
    const QStringList sections = file.sections();
    for (const QString &section : sections) {
        FUZZ_CHECK(file.sectionExists(section));
        const QStringList keys = file.keys(section);
        for (const QString &key : keys) {
            FUZZ_CHECK(file.keyExists(section, key));
            all.append({{section, key}, file.readString(section, key, QString())});
        }
    }
    return all;
}

bool sameName(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> input = pieces(bytesOf(data, size), 4);
    const QString path = scratchFolder() + QStringLiteral("/test.ini");
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(input[0]) == input[0].size());
    }
    IniFile file(path);
    const Entries before = entries(file);

    const QString section = QString::fromUtf8(input[1]);
    const QString key = QString::fromUtf8(input[2]);
    const QString value = QString::fromUtf8(input[3]);
    QString error;
    if (!file.writeString(section, key, value, &error)) {
        FUZZ_CHECK(!error.isEmpty());
        QFile written(path);
        FUZZ_CHECK(written.open(QIODevice::ReadOnly));
        FUZZ_CHECK(written.readAll() == input[0]);
        return 0;
    }
    FUZZ_CHECK(file.readString(section, key, QString()) == value.trimmed());
    IniFile reread(path);
    FUZZ_CHECK(reread.readString(section, key, QString()) == value.trimmed());
    // Sections of another name keep every key and value. (Names are compared
    // loosely here; the file folds Cyrillic letters too.)
    const Entries after = entries(reread);
    for (const auto &entry : before) {
        if (sameName(entry.first.first, section))
            continue;
        FUZZ_CHECK(reread.readString(entry.first.first, entry.first.second, QString())
                   == entry.second);
    }
    FUZZ_CHECK(after.size() >= before.size());
    FUZZ_CHECK(reread.eraseKey(section, key, &error));
    FUZZ_CHECK(!IniFile(path).keyExists(section, key));
    return 0;
}
