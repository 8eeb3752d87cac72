#pragma once
// Replacing a file atomically: the new content goes to a temporary file
// beside it, which takes the file's place only when every byte reached it.

#include <QByteArray>
#include <QString>
#include <QStringList>

class QDateTime;

namespace zelvant {

// Writes bytes to path through QSaveFile. On failure the old file (if any)
// is untouched, no temporary file is left and *reason holds the system's
// explanation.
//
// QSaveFile::commit() of Qt 6.4 renames the temporary file into place even
// when the final flush of its write buffer failed (a full disk, a file size
// limit), which replaces a good file by a truncated one and reports
// success; the buffer is therefore flushed and checked before committing.
// The folder is synced after the rename, so the new name survives a power cut.
// A file that exists keeps its permissions; a new one follows access.
enum class NewFileAccess {
    Umask,     // as the user's umask says (settings, workbooks)
    OwnerOnly, // 0600: files that carry the accounts (phone list, logs)
};
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *reason = nullptr,
                         NewFileAccess access = NewFileAccess::Umask);

// Makes a rename or a removal in folder durable (a no-op where the system
// offers no such call).
void syncFolder(const QString &folder);

// A temporary copy untouched this long belongs to no running writer.
constexpr int StaleCopyAgeSeconds = 5 * 60;

// Removes from folder the temporary copies that a process killed during an
// atomic write left behind: "name.XXXXXX" (and ".name.XXXXXX") for each
// given file name and for saved pages, last modified before olderThan.
// Returns how many were removed.
int removeStaleTemporaryCopies(const QString &folder, const QStringList &fileNames,
                               const QDateTime &olderThan);

} // namespace zelvant
