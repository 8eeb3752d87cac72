#pragma once
// What tells a file on disk apart, both from another file that later takes
// its name and from itself before a change. The INI cache asks whether a
// file is unchanged since it was read; the history writer whether its open
// connection still points at the file under the name.

#include <QString>

namespace zelvant {

struct FileIdentity
{
    bool exists = false;
    // The file can be told from another that later takes its name: by device
    // and inode where the system has them (while a handle on the old file is
    // open its inode stays allocated, so a replacement never reuses it),
    // elsewhere by the creation time. With neither, a caller has to treat the
    // file as a different one every time it looks.
    bool known = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 birthMs = 0;
    // An atomic rewrite changes the inode, an editor saving in place the size
    // or the times.
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    // The same file, whatever its content now.
    bool sameAs(const FileIdentity &other) const
    {
        return known && other.known && device == other.device && inode == other.inode
               && birthMs == other.birthMs;
    }
    // The same file, unchanged as far as its size and times tell.
    bool operator==(const FileIdentity &) const = default;
};

// The file at path as it is now; nothing exists when nothing is there.
FileIdentity identityOf(const QString &path);

} // namespace zelvant
