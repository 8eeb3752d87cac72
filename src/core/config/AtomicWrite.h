#pragma once
// Replacing a file atomically: the new content goes to a temporary file
// beside it, which takes the file's place only when every byte reached it.

#include <QByteArray>
#include <QString>

namespace zelvant {

// Writes bytes to path through QSaveFile. On failure the old file (if any)
// is untouched, no temporary file is left and *reason holds the system's
// explanation.
//
// QSaveFile::commit() of Qt 6.4 renames the temporary file into place even
// when the final flush of its write buffer failed (a full disk, a file size
// limit), which replaces a good file by a truncated one and reports
// success; the buffer is therefore flushed and checked before committing.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *reason = nullptr);

} // namespace zelvant
