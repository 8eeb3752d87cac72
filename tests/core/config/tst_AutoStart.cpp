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

// Points XDG_CONFIG_HOME at a folder for the test's lifetime.
class ConfigHome
{
public:
    explicit ConfigHome(const QByteArray &value)
        : m_had(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
        , m_old(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", value);
    }
    ~ConfigHome()
    {
        if (m_had)
            qputenv("XDG_CONFIG_HOME", m_old);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

private:
    bool m_had;
    QByteArray m_old;
};

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
    const ConfigHome home(QFile::encodeName(dir.file(QStringLiteral("config"))));
    const QString exe = dir.file(QStringLiteral("bin dir/Zelvant"));
#ifdef Q_OS_WIN
    auto autoStart = std::make_unique<XdgAutoStart>(exe);
#else
    auto autoStart = createPlatformAutoStart(exe);
#endif
    const QString entry = dir.file(QStringLiteral("config/autostart/Zelvant.desktop"));
    EXPECT_EQ(XdgAutoStart::desktopFilePath(), entry);
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
    const ConfigHome home(QFile::encodeName(dir.path()));
    const QString exe = QStringLiteral("/opt/Зел 100%/a\"b`c$d\\e/Zelvant");
    QByteArray entry;
    ASSERT_TRUE(XdgAutoStart::desktopEntry(exe, &entry));
    EXPECT_TRUE(entry.contains(
        QStringLiteral("\nExec=\"/opt/Зел 100%%/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e/Zelvant\"\n")
            .toUtf8()))
        << entry.constData();
    XdgAutoStart autoStart(exe);
    ASSERT_TRUE(autoStart.setAutoStart(true));
    EXPECT_EQ(validate(XdgAutoStart::desktopFilePath()), QString());

    // A line break in the path cannot go into an entry: refused, nothing written.
    QFile::remove(XdgAutoStart::desktopFilePath());
    XdgAutoStart broken(QStringLiteral("/opt/a\nb/Zelvant"));
    QString error;
    EXPECT_FALSE(broken.setAutoStart(true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(XdgAutoStart::desktopFilePath()));
}

TEST(XdgAutoStart, FoldersFollowTheEnvironmentAndFailuresAreReported)
{
    TempFolder dir;
    {
        // A relative XDG_CONFIG_HOME is ignored.
        const ConfigHome home("relative/config");
        EXPECT_EQ(XdgAutoStart::desktopFilePath(),
                  QDir::homePath() + QStringLiteral("/.config/autostart/Zelvant.desktop"));
    }
    // The configuration folder is a regular file: the entry cannot be made.
    dir.write(QStringLiteral("file"), "x");
    const ConfigHome home(QFile::encodeName(dir.file(QStringLiteral("file"))));
    XdgAutoStart autoStart(QStringLiteral("/opt/Zelvant"));
    QString error;
    EXPECT_FALSE(autoStart.setAutoStart(true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(autoStart.isRegistered());

    // A folder in place of the entry cannot be removed as an entry.
    const ConfigHome home2(QFile::encodeName(dir.file(QStringLiteral("c2"))));
    QDir(dir.path()).mkpath(QStringLiteral("c2/autostart/Zelvant.desktop"));
    error.clear();
    EXPECT_FALSE(autoStart.setAutoStart(false, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(autoStart.setAutoStart(true, &error));
    EXPECT_TRUE(QFileInfo(dir.file(QStringLiteral("c2/autostart/Zelvant.desktop"))).isDir());
}
