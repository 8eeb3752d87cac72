#pragma once
// What the tray program needs of the report windows and exports.

class QWidget;

namespace zelvant {

class AppContext;
class PhoneResults;

// The history window (modal; the caller enables/disables its menu around it).
void showHistoryWindowModal(AppContext &context, QWidget *parent = nullptr);
// One phone's history grid with its last 50 rows (from the phones window).
void showPhoneHistory(AppContext &context, int slot, QWidget *parent = nullptr);
// The all-phones export with its file question and messages.
void exportAllPhonesInteractive(AppContext &context, const PhoneResults &results,
                                QWidget *parent = nullptr);

} // namespace zelvant
