#pragma once
// The program's parts: shared libraries of what the start does not need (the
// workbook writer, the balance chart), opened at their first use so that
// their libraries are not loaded, bound and relocated at every start.
//
// A part "name" is the file "zelvant-name.so", looked for in the folder
// "zelvant-parts" beside the program (the portable and the build folder;
// tests and benchmarks run one folder deeper), then in the installed
// program's library folder.

#include <QFunctionPointer>
#include <QString>
#include <QStringList>

namespace zelvant {

// The folders looked in, in order.
QStringList partFolders();

// The entry point `symbol` of part `name`, loaded once and kept for the rest
// of the run; null with *error saying why when it cannot be had.
QFunctionPointer resolvePart(const QString &name, const char *symbol, QString *error);

} // namespace zelvant
