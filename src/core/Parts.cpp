#include "core/Parts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QMutex>

#include <map>
#include <memory>

namespace zelvant {

namespace {

QString programFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Without an application object (a command-line mode, a test) the
    // kernel still knows where the program is.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

} // namespace

QStringList partFolders()
{
    const QString here = programFolder();
    QStringList folders{here + QStringLiteral("/zelvant-parts"),
                        QDir::cleanPath(here + QStringLiteral("/../zelvant-parts"))};
#ifdef ZELVANT_INSTALL_PARTSDIR
    folders << QStringLiteral(ZELVANT_INSTALL_PARTSDIR);
#endif
    return folders;
}

QFunctionPointer resolvePart(const QString &name, const char *symbol, QString *error)
{
    static QMutex mutex;
    // Never unloaded: their objects live on. The handles are owned here so
    // that they go at exit; a loaded library stays mapped until then.
    static std::map<QString, std::unique_ptr<QLibrary>> loaded;
    const QMutexLocker lock(&mutex);
    auto found = loaded.find(name);
    QLibrary *library = found != loaded.end() ? found->second.get() : nullptr;
    if (!library) {
        const QString file = QStringLiteral("zelvant-%1.so").arg(name);
        QString path;
        const QStringList folders = partFolders();
        for (const QString &folder : folders) {
            if (QFileInfo::exists(folder + QLatin1Char('/') + file)) {
                path = folder + QLatin1Char('/') + file;
                break;
            }
        }
        if (path.isEmpty()) {
            if (error)
                *error = QCoreApplication::translate("zelvant::Parts", "нет файла %1 в %2")
                             .arg(file, folders.join(QStringLiteral(", ")));
            return nullptr;
        }
        auto candidate = std::make_unique<QLibrary>(path);
        if (!candidate->load()) {
            if (error)
                *error = candidate->errorString();
            return nullptr;
        }
        library = candidate.get();
        loaded.emplace(name, std::move(candidate));
    }
    const QFunctionPointer entry = library->resolve(symbol);
    if (!entry && error) {
        // QLibrary does not always say why (dlsym's reason is dropped).
        *error = QCoreApplication::translate("zelvant::Parts", "в %1 нет %2")
                     .arg(library->fileName(), QString::fromLatin1(symbol));
    }
    return entry;
}

} // namespace zelvant
