#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace zelvant::test {

TempFolder::TempFolder()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

void TempFolder::write(const QString &name, const QByteArray &bytes) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

QByteArray TempFolder::read(const QString &name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString TempFolder::copyProgram(const QString &program) const
{
    const QString copy = file(QFileInfo(program).fileName());
    const QDir parts(QFileInfo(program).absolutePath() + QStringLiteral("/zelvant-parts"));
    if (!QFile::copy(program, copy) || !QDir(path()).mkpath(QStringLiteral("zelvant-parts")))
        return QString();
    for (const QString &part : parts.entryList(QDir::Files)) {
        if (!QFile::copy(parts.filePath(part), file(QStringLiteral("zelvant-parts/") + part)))
            return QString();
    }
    return copy;
}

} // namespace zelvant::test
