#include "gui/ExportDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

#include "core/AppPaths.h"
#include "core/export/HistoryWorkbook.h"

namespace zelvant {

namespace {

SaveFileHandler &saveFileHandler()
{
    static SaveFileHandler handler;
    return handler;
}

QString askSaveFile(QWidget *parent, const QString &suggestedName)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("*.xlsx (*.xlsx)"));
    dialog.setDefaultSuffix(QStringLiteral("xlsx"));
    // The overwrite question is asked afterwards, with its own text.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!suggestedName.isEmpty())
        dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

void setSaveFileHandler(SaveFileHandler handler)
{
    saveFileHandler() = std::move(handler);
}

ExcelFileAnswer askExcelFile(QWidget *parent, const QString &suggestedName)
{
    const QString chosen = saveFileHandler() ? saveFileHandler()(parent, suggestedName)
                                             : askSaveFile(parent, suggestedName);
    if (chosen.isEmpty())
        return {};
    const QString path = withXlsxSuffix(chosen);
    if (!QFileInfo::exists(path))
        return {true, path};
    if (!showMessage(parent, MessageKind::Question, overwriteQuestionText(path)))
        return {};
    if (!canOverwrite(path)) {
        showMessage(parent, MessageKind::Error, cannotOverwriteText(path));
        return {};
    }
    return {true, path};
}

} // namespace zelvant
