#pragma once
// The message boxes and the save-file question of the report windows, behind
// a small indirection so that tests can answer them.

#include <QString>

#include <functional>

class QWidget;

namespace zelvant {

enum class ReportMessageKind { Information, Warning, Error, Question };

// Shows text; for a Question, true means Yes. Anything else returns true.
using ReportMessageHandler =
    std::function<bool(QWidget *parent, ReportMessageKind kind, const QString &text)>;
// Asks for a file to save; an empty result means Cancel.
using SaveFileHandler = std::function<QString(QWidget *parent, const QString &suggestedName)>;

// Replace the real boxes and dialog (tests); an empty handler restores them.
void SetReportMessageHandler(ReportMessageHandler handler);
void SetSaveFileHandler(SaveFileHandler handler);

bool ShowReportMessage(QWidget *parent, ReportMessageKind kind, const QString &text);

struct ExcelFileAnswer
{
    bool confirmed = false;
    QString path;
};

// The target file of an export: the save dialog (".xlsx" added when
// missing), then, for an existing file, the overwrite question and the
// check that it can be replaced. The old file is not removed here: a
// finished export replaces it, a failed one leaves it as it was.
ExcelFileAnswer AskExcelFile(QWidget *parent, const QString &suggestedName);

} // namespace zelvant
