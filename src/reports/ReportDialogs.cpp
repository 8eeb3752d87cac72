#include "ReportDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/common.h"
#include "reports/ConvertToExcel.h"

namespace zelvant {

namespace {

ReportMessageHandler &messageHandler()
{
    static ReportMessageHandler handler;
    return handler;
}

SaveFileHandler &saveFileHandler()
{
    static SaveFileHandler handler;
    return handler;
}

bool showBox(QWidget *parent, ReportMessageKind kind, const QString &text)
{
    switch (kind) {
    case ReportMessageKind::Information:
        QMessageBox::information(parent, ProgramName, text);
        return true;
    case ReportMessageKind::Warning:
        QMessageBox::warning(parent, ProgramName, text);
        return true;
    case ReportMessageKind::Error:
        QMessageBox::critical(parent, ProgramName, text);
        return true;
    case ReportMessageKind::Question:
        return QMessageBox::question(parent, ProgramName, text,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    }
    return true;
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

void SetReportMessageHandler(ReportMessageHandler handler)
{
    messageHandler() = std::move(handler);
}

void SetSaveFileHandler(SaveFileHandler handler)
{
    saveFileHandler() = std::move(handler);
}

bool ShowReportMessage(QWidget *parent, ReportMessageKind kind, const QString &text)
{
    if (messageHandler())
        return messageHandler()(parent, kind, text);
    return showBox(parent, kind, text);
}

ExcelFileAnswer AskExcelFile(QWidget *parent, const QString &suggestedName)
{
    const QString chosen = saveFileHandler() ? saveFileHandler()(parent, suggestedName)
                                             : askSaveFile(parent, suggestedName);
    if (chosen.isEmpty())
        return {};
    const QString path = WithXlsxSuffix(chosen);
    if (!QFileInfo::exists(path))
        return {true, path};
    if (!ShowReportMessage(parent, ReportMessageKind::Question, OverwriteQuestionText(path)))
        return {};
    if (!CanOverwrite(path)) {
        ShowReportMessage(parent, ReportMessageKind::Error, CannotOverwriteText(path));
        return {};
    }
    return {true, path};
}

} // namespace zelvant
