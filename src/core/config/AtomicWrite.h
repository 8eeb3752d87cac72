#pragma once
// Replacing a file atomically: the new content goes to a temporary file
// beside it, which takes the file's place only when every byte reached it.

#include <QByteArray>
#include <QString>
#include <QStringList>

class QDateTime;

namespace zelvant {

class AppPaths;

// Writes bytes to path: a temporary copy beside it, synced, then renamed
// over it. On failure the old file (if any) is untouched, no temporary file
// is left and *reason holds the system's explanation ("No space left on
// device"). A replaced file keeps its permissions; a link is followed. The
// folder is synced after the rename, so the new name survives a power cut.
// A new file gets what access says.
enum class NewFileAccess {
    Umask,     // as the user's umask says (settings, workbooks)
    OwnerOnly, // 0600: files that carry the accounts (phone list, logs)
};
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *reason = nullptr,
                         NewFileAccess access = NewFileAccess::Umask);

// What the name of every temporary copy holds: ".<file name>.zelvant-tmp-"
// and six random letters or digits.
inline constexpr char TemporaryCopyMarker[] = ".zelvant-tmp-";
QString temporaryCopyName(const QString &fileName);

// Makes a rename or a removal in folder durable (a no-op where the system
// offers no such call).
void syncFolder(const QString &folder);

// A temporary copy untouched this long belongs to no running writer.
constexpr int StaleCopyAgeSeconds = 5 * 60;

// Removes from folder the temporary copies that a process killed during an
// atomic write left behind, last modified before olderThan: every name with
// TemporaryCopyMarker, and the copies earlier versions named
// "name.XXXXXX" (and ".name.XXXXXX") for the given file names and for saved
// and failed pages. Returns how many were removed.
int removeStaleTemporaryCopies(const QString &folder, const QStringList &fileNames,
                               const QDateTime &olderThan);

// The same for every folder the program writes into: the configuration, the
// history's, and the state folder with the saved pages and failed-pages.
int removeStaleTemporaryCopies(const AppPaths &paths, const QDateTime &olderThan);

} // namespace zelvant
