#pragma once
// The save-file question of the report windows, behind a small indirection
// so that tests can answer it.

#include <QString>

#include <functional>

#include "gui/MessageBoxes.h"

class QWidget;

namespace zelvant {

// Asks for a file to save; an empty result means Cancel.
using SaveFileHandler = std::function<QString(QWidget *parent, const QString &suggestedName)>;

// Replaces the real save dialog (tests); an empty handler restores it.
void setSaveFileHandler(SaveFileHandler handler);

struct ExcelFileAnswer
{
    bool confirmed = false;
    QString path;
};

// The target file of an export: the save dialog (".xlsx" added when
// missing), then, for an existing file, the overwrite question and the
// check that it can be replaced. The old file is not removed here: a
// finished export replaces it, a failed one leaves it as it was.
ExcelFileAnswer askExcelFile(QWidget *parent, const QString &suggestedName);

} // namespace zelvant
