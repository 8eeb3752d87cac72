#pragma once
// What the harnesses share: a check that crashes the run (so that the
// fuzzer keeps the input), a private folder for files, and cutting one input
// into pieces.

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Fails the run with the condition's text; the fuzzer saves the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace zelvant::fuzz {

// A folder of the run's own, in memory where the system has such a folder,
// since the harnesses that write files write one for every input.
inline QString scratchFolder()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/zelvant-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/zelvant-fuzz-XXXXXX"));
    return dir.path();
}

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The input cut at NUL bytes into at least `count` pieces (the missing ones
// empty); what follows the last cut stays in the last piece.
inline QList<QByteArray> pieces(const QByteArray &input, int count)
{
    QList<QByteArray> result;
    qsizetype from = 0;
    while (result.size() + 1 < count) {
        const qsizetype at = input.indexOf('\0', from);
        if (at < 0)
            break;
        result.append(input.mid(from, at - from));
        from = at + 1;
    }
    result.append(input.mid(from));
    while (result.size() < count)
        result.append(QByteArray());
    return result;
}

} // namespace zelvant::fuzz
