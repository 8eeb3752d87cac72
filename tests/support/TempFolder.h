#pragma once
// A temporary folder for one test, removed afterwards; tests never write
// anywhere else.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace zelvant::test {

class TempFolder
{
public:
    TempFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    // Writes raw bytes (for files in Windows-1251 written "by hand").
    void write(const QString &name, const QByteArray &bytes) const;
    QByteArray read(const QString &name) const;
    // A portable copy of the program in this folder, with its parts (the
    // workbook writer, the network); its path, or empty when it failed.
    QString copyProgram(const QString &program) const;

private:
    QTemporaryDir m_dir;
};

} // namespace zelvant::test
