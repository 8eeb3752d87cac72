#include "core/tray/TrayIconFolder.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/Logging.h"
#include "core/config/AtomicWrite.h"

namespace zelvant {

namespace {

const QString NamePrefix = QStringLiteral("zelvant-tray-");

QString sizeFolder(const QString &root, int size)
{
    return QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
}

QString defaultFolder()
{
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) {
        // Not the shared temporary folder itself: a folder of the user's own.
        runtime = QDir::tempPath() + QStringLiteral("/zelvant-")
                  + qEnvironmentVariable("USER", QStringLiteral("user"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Someone else's folder of that name is no place for our pictures.
        if (QFileInfo(runtime).ownerId() != QFileInfo(QDir::homePath()).ownerId())
            return QString();
    }
    return runtime + QStringLiteral("/zelvant-tray");
}

bool processRuns(qint64 pid)
{
#ifdef Q_OS_LINUX
    return QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
#else
    Q_UNUSED(pid);
    return true;
#endif
}

// Pictures of runs that were killed: their names carry their process id.
void removeDeadRunsPictures(const QString &root)
{
    const QString hicolor = root + QStringLiteral("/hicolor");
    const QStringList sizes = QDir(hicolor).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &size : sizes) {
        QDir apps(QStringLiteral("%1/%2/apps").arg(hicolor, size));
        for (const QString &file :
             apps.entryList({NamePrefix + QStringLiteral("*")}, QDir::Files)) {
            const qint64 pid =
                file.mid(NamePrefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong();
            if (pid > 0 && pid != QCoreApplication::applicationPid() && !processRuns(pid))
                apps.remove(file);
        }
    }
}

} // namespace

TrayIconFolder::TrayIconFolder(const QString &folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : folder)
{
    if (!m_folder.isEmpty())
        removeDeadRunsPictures(m_folder);
}

TrayIconFolder::~TrayIconFolder()
{
    removePicture(m_name, m_sizes);
}

QString TrayIconFolder::store(const QList<QImage> &icons)
{
    if (m_folder.isEmpty())
        return QString();
    const QString name = QStringLiteral("%1%2-%3")
                             .arg(NamePrefix)
                             .arg(QCoreApplication::applicationPid())
                             .arg(++m_count);
    QList<int> sizes;
    for (const QImage &icon : icons) {
        const QString dir = sizeFolder(m_folder, icon.width());
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QString reason;
        if (!QDir().mkpath(dir) || !icon.save(&buffer, "PNG")
            || !writeFileAtomically(QStringLiteral("%1/%2.png").arg(dir, name), png, &reason)) {
            qCInfo(lcTray) << "cannot write the tray picture to" << dir << reason;
            removePicture(name, sizes);
            return QString();
        }
        sizes.append(icon.width());
    }
    if (sizes != m_sizes && !writeThemeIndex(sizes))
        qCInfo(lcTray) << "cannot write the tray pictures' theme index to" << m_folder;
    // Only once the new picture is complete: a host that reads the old name
    // meanwhile still finds it.
    removePicture(m_name, m_sizes);
    m_name = name;
    m_sizes = sizes;
    return m_name;
}

bool TrayIconFolder::writeThemeIndex(const QList<int> &sizes) const
{
    // GTK hosts (the Xfce panel, waybar) look a name up in a theme of the
    // path alone: without an index there is no theme, and a size the index
    // does not list is never taken.
    QStringList folders;
    QString sections;
    for (const int size : sizes) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        folders << folder;
        sections += QStringLiteral("\n[%1]\nSize=%2\nContext=Applications\nType=Fixed\n")
                        .arg(folder)
                        .arg(size);
    }
    const QString index =
        QStringLiteral("[Icon Theme]\nName=Hicolor\nComment=%1 tray pictures\n"
                       "Directories=%2\n")
            .arg(QCoreApplication::applicationName(), folders.join(QLatin1Char(',')))
        + sections;
    return writeFileAtomically(m_folder + QStringLiteral("/hicolor/index.theme"), index.toUtf8());
}

void TrayIconFolder::removePicture(const QString &name, const QList<int> &sizes)
{
    if (name.isEmpty())
        return;
    for (const int size : sizes)
        QFile::remove(QStringLiteral("%1/%2.png").arg(sizeFolder(m_folder, size), name));
}

} // namespace zelvant
