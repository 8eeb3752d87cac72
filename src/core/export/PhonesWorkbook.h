#pragma once
// The all-phones export: the current values of every monitored phone, one
// row each, into an .xlsx workbook.

#include <QString>

#include "core/PhoneResult.h"
#include "core/config/PhoneList.h"
#include "core/export/HistoryWorkbook.h"

namespace zelvant {

inline const QString AllPhonesExportDoneText =
    QStringLiteral("Текущие данные по всем телефонам успешно записаны в Excel");

// Writes the monitored slots' records in slot order into path.
bool writeAllPhonesWorkbook(const QString &path, const PhoneList &phones,
                            const PhoneResults &results, QString *error);

// The export with its outcome text (Written or Failed).
ExportOutcome exportAllPhones(const QString &path, const PhoneList &phones,
                              const PhoneResults &results);

} // namespace zelvant
