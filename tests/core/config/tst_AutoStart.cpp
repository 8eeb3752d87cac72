// The XDG autostart entry: where it goes, what it says (checked by
// desktop-file-validate when the machine has it), switching on and off.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "core/config/AutoStart.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::TempFolder;

namespace {

// This process's environment with XDG_CONFIG_HOME set to value.
QProcessEnvironment configHome(const QString &value)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), value);
    return environment;
}

// Runs desktop-file-validate; empty when the entry is valid or the tool is
// not installed (scripts/install-deps.sh installs it).
QString validate(const QString &path)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (tool.isEmpty())
        return QString();
    QProcess p;
    p.start(tool, {path});
    p.waitForFinished(30000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || !out.trimmed().isEmpty())
        return out.isEmpty() ? QStringLiteral("exit code %1").arg(p.exitCode()) : out;
    return QString();
}

} // namespace

TEST(XdgAutoStart, OnWritesAValidEntryAndOffRemovesIt)
{
    TempFolder dir;
    const QProcessEnvironment home = configHome(dir.file(QStringLiteral("config")));
    const QString exe = dir.file(QStringLiteral("bin dir/Zelvant"));
    auto autoStart = std::make_unique<XdgAutoStart>(exe, home);
    const QString entry = dir.file(QStringLiteral("config/autostart/Zelvant.desktop"));
    EXPECT_EQ(XdgAutoStart::desktopFilePath(home), entry);
#ifndef Q_OS_WIN
    EXPECT_TRUE(dynamic_cast<XdgAutoStart *>(createPlatformAutoStart(exe).get()));
#endif
    EXPECT_FALSE(autoStart->isRegistered());

    // The autostart folder does not exist yet: it is created.
    QString error;
    ASSERT_TRUE(autoStart->setAutoStart(true, &error)) << error.toStdString();
    EXPECT_TRUE(autoStart->isRegistered());
    const QByteArray text = dir.read(QStringLiteral("config/autostart/Zelvant.desktop"));
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    EXPECT_TRUE(text.contains("\nName=Zelvant\n"));
    EXPECT_TRUE(text.contains("\nExec=\"" + QFile::encodeName(exe) + "\"\n"));
    EXPECT_EQ(validate(entry), QString());
    // Rewritten on every save without complaint.
    ASSERT_TRUE(autoStart->setAutoStart(true));
    EXPECT_EQ(dir.read(QStringLiteral("config/autostart/Zelvant.desktop")), text);

    ASSERT_TRUE(autoStart->setAutoStart(false, &error));
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(autoStart->isRegistered());
    // Switching off what is not there is no error.
    EXPECT_TRUE(autoStart->setAutoStart(false, &error));
}

TEST(XdgAutoStart, PathsWithSpecialCharactersAreQuotedForExec)
{
    TempFolder dir;
    const QProcessEnvironment home = configHome(dir.path());
    const QString exe = QStringLiteral("/opt/Зел 100%/a\"b`c$d\\e/Zelvant");
    QByteArray entry;
    ASSERT_TRUE(XdgAutoStart::desktopEntry(exe, &entry));
    EXPECT_TRUE(entry.contains(
        QStringLiteral("\nExec=\"/opt/Зел 100%%/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e/Zelvant\"\n")
            .toUtf8()))
        << entry.constData();
    XdgAutoStart autoStart(exe, home);
    ASSERT_TRUE(autoStart.setAutoStart(true));
    const QString path = XdgAutoStart::desktopFilePath(home);
    EXPECT_EQ(validate(path), QString());

    // A line break in the path cannot go into an entry: refused, nothing written.
    QFile::remove(path);
    XdgAutoStart broken(QStringLiteral("/opt/a\nb/Zelvant"), home);
    QString error;
    EXPECT_FALSE(broken.setAutoStart(true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(path));
}

TEST(XdgAutoStart, FoldersFollowTheEnvironmentAndFailuresAreReported)
{
    TempFolder dir;
    // The configuration folder is a regular file: the entry cannot be made.
    dir.write(QStringLiteral("file"), "x");
    XdgAutoStart autoStart(QStringLiteral("/opt/Zelvant"),
                           configHome(dir.file(QStringLiteral("file"))));
    QString error;
    EXPECT_FALSE(autoStart.setAutoStart(true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(autoStart.isRegistered());

    // A folder in place of the entry cannot be removed as an entry.
    XdgAutoStart blocked(QStringLiteral("/opt/Zelvant"),
                         configHome(dir.file(QStringLiteral("c2"))));
    QDir(dir.path()).mkpath(QStringLiteral("c2/autostart/Zelvant.desktop"));
    error.clear();
    EXPECT_FALSE(blocked.setAutoStart(false, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(blocked.setAutoStart(true, &error));
    EXPECT_TRUE(QFileInfo(dir.file(QStringLiteral("c2/autostart/Zelvant.desktop"))).isDir());
}
