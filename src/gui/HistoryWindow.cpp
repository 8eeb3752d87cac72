#include "gui/HistoryWindow.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "core/ErrorLog.h"
#include "core/config/AppContext.h"
#include "core/export/HistoryWorkbook.h"
#include "core/history/BalanceChartSeries.h"
#include "gui/ExportDialogs.h"
#include "gui/PhoneHistoryWindow.h"
#include "gui/TextFit.h"

namespace zelvant {

namespace {

const QString LastRequestKey = QStringLiteral("edLastRequest");
const QString LastDaysKey = QStringLiteral("edLastDays");
constexpr int FixedWidth = 275;

} // namespace

bool RangeKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const QString text = key->text();
    // Keys that type nothing (arrows, Delete, Home...) edit as usual; Esc
    // closes the window and Tab moves on. X11 gives Delete the text "\x7f",
    // so it is let through by its key, not by its text.
    if (text.isEmpty() || key->key() == Qt::Key_Delete || key->key() == Qt::Key_Escape
        || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    QString kept;
    for (const QChar c : text) {
        if (const std::optional<QChar> filtered = filterRangeKey(c))
            kept += *filtered;
    }
    if (kept == text)
        return false;
    if (!kept.isEmpty()) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched))
            edit->insert(kept);
    }
    return true;
}

HistoryWindow::HistoryWindow(AppContext &context, QWidget *parent)
    : QDialog(parent)
    , m_context(context)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(tr("История баланса"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);

    // The caption is longer than the fixed width allows on one line, so it is
    // a wrapped label inside the group rather than the group's title.
    auto *period = new QGroupBox;
    auto *periodCaption = new QLabel(tr("За какой период времени показывать историю:"));
    periodCaption->setWordWrap(true);
    rbShowLastRequest = new QRadioButton(tr("Последние"));
    rbShowLastRequest->setObjectName(QStringLiteral("rbShowLastRequest"));
    rbShowLastDays = new QRadioButton(tr("Запросы за"));
    rbShowLastDays->setObjectName(QStringLiteral("rbShowLastDays"));
    rbShowAll = new QRadioButton(tr("Всю историю"));
    rbShowAll->setObjectName(QStringLiteral("rbShowAll"));
    edLastRequest = new QLineEdit;
    edLastRequest->setObjectName(LastRequestKey);
    edLastDays = new QLineEdit;
    edLastDays->setObjectName(LastDaysKey);
    edLastRequest->setAccessibleName(tr("Число последних запросов"));
    edLastDays->setAccessibleName(tr("Число дней"));
    auto *keyFilter = new RangeKeyFilter(this);
    for (QLineEdit *edit : {edLastRequest, edLastDays}) {
        edit->setFixedWidth(50);
        edit->installEventFilter(keyFilter);
    }
    auto *periodLayout = new QGridLayout(period);
    periodLayout->addWidget(periodCaption, 0, 0, 1, 4);
    periodLayout->addWidget(rbShowLastRequest, 1, 0);
    periodLayout->addWidget(edLastRequest, 1, 1);
    periodLayout->addWidget(new QLabel(tr("запросов")), 1, 2);
    periodLayout->addWidget(rbShowLastDays, 2, 0);
    periodLayout->addWidget(edLastDays, 2, 1);
    periodLayout->addWidget(new QLabel(tr("(дней)")), 2, 2);
    periodLayout->addWidget(rbShowAll, 3, 0, 1, 3);
    periodLayout->setColumnStretch(3, 1);
    rbShowLastRequest->setChecked(true);

    auto *phones = new QGroupBox(tr("Выберите телефон"));
    scrbxPhones = new QScrollArea;
    scrbxPhones->setObjectName(QStringLiteral("scrbxPhones"));
    scrbxPhones->setWidgetResizable(false);
    // Tab goes straight to the phone buttons, not to the box around them.
    scrbxPhones->setFocusPolicy(Qt::NoFocus);
    auto *phonesLayout = new QVBoxLayout(phones);
    phonesLayout->addWidget(scrbxPhones);

    bnShow = new QPushButton(tr("Показать"));
    bnShow->setObjectName(QStringLiteral("bnShow"));
    bnExcel = new QPushButton(QStringLiteral("Excel")); // no tr: a program's name
    bnExcel->setObjectName(QStringLiteral("bnExcel"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {bnShow, bnExcel}) {
        // Enter typed in a field must not start a query.
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    // Enter on a phone shows its history (the range fields swallow Enter).
    bnShow->setDefault(true);
    connect(bnShow, &QPushButton::clicked, this, &HistoryWindow::bnShowClick);
    connect(bnExcel, &QPushButton::clicked, this, &HistoryWindow::bnExcelClick);

    // Read from the top: first the phone, then the range, then the action.
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(phones, 1);
    layout->addWidget(period);
    layout->addLayout(buttons);

    const IniFile &settings = m_context.settingsFile;
    edLastRequest->setText(storedRangeText(
        settings.readString(HistoryFormSection, LastRequestKey, DefaultLastRequestText),
        DefaultLastRequestText));
    edLastDays->setText(
        storedRangeText(settings.readString(HistoryFormSection, LastDaysKey, DefaultLastDaysText),
                        DefaultLastDaysText));

    buildPhoneList();
    setTabOrderOfReading();
    // The designed width, or what the captions need in the font in use.
    m_width = std::min(std::max(FixedWidth, minimumSizeHint().width()),
                       availableScreenSize(this).width());
    setMinimumSize(m_width, 300);
    setMaximumWidth(m_width);
    resize(m_width, 381);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    loadPlacement();
}

void HistoryWindow::setTabOrderOfReading()
{
    // Within a group of radio buttons Tab stops at the chosen one only.
    QList<QWidget *> order(m_phoneButtons.cbegin(), m_phoneButtons.cend());
    order << rbShowLastRequest << edLastRequest << rbShowLastDays << edLastDays << rbShowAll
          << bnShow << bnExcel;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

HistoryWindow::~HistoryWindow()
{
    savePlacement();
}

void HistoryWindow::loadPlacement()
{
    const WindowPlacement p = readWindowPlacement(m_context.settingsFile, HistoryFormSection);
    // Each stored value applies on its own; the width is fixed.
    if (p.height != NotFoundSentinel)
        resize(m_width, p.height);
    if (windowPlacementKnown() && (p.left != NotFoundSentinel || p.top != NotFoundSentinel))
        move(p.left != NotFoundSentinel ? p.left : x(), p.top != NotFoundSentinel ? p.top : y());
    keepOnScreen(this);
}

void HistoryWindow::savePlacement()
{
    QString error;
    const bool fields = m_context.settingsFile.apply(
        {IniFile::Change::write(HistoryFormSection, LastRequestKey, edLastRequest->text()),
         IniFile::Change::write(HistoryFormSection, LastDaysKey, edLastDays->text())},
        &error);
    WindowPlacement p;
    // Under Wayland the place is unknown and the size the compositor's.
    if (windowPlacementKnown()) {
        if (!isMaximized() && !isFullScreen())
            p.height = height();
        p.left = x();
        p.top = y();
    }
    if (!fields || !writeWindowPlacement(m_context.settingsFile, HistoryFormSection, p, &error))
        writeErrorLog(error, m_context.paths.errorLogFile());
}

void HistoryWindow::buildPhoneList()
{
    auto *box = new QWidget;
    box->setObjectName(QStringLiteral("phonesBox"));
    int y = 8;
    int right = 0;
    for (int k = 1; k <= PhoneSlotCount; ++k) {
        if (!m_context.phones.isMonitored(k))
            continue;
        auto *label = new QLabel(QString::number(k), box);
        label->setObjectName(QStringLiteral("lblNN_%1").arg(k));
        // The designed 20 and 200 pixels, or what the texts need.
        const int labelWidth = std::max(20, label->sizeHint().width());
        const int buttonLeft = 25 + labelWidth - 20;
        const QString number = m_context.phones.numberOf(k).trimmed();
        const QString alias = m_context.phones.aliasOf(k).trimmed();
        QString caption = number;
        if (!alias.isEmpty())
            caption += QStringLiteral(" (") + alias + QLatin1Char(')');
        auto *button = new QRadioButton(caption, box);
        button->setObjectName(QStringLiteral("rbPhone_%1").arg(k));
        // Its row number too, and a name even for a row without a number.
        button->setAccessibleName(tr("Телефон %1: %2").arg(k).arg(caption));
        button->setProperty("slot", k);
        const int height = button->sizeHint().height();
        const int buttonWidth = std::max(200, button->sizeHint().width());
        label->setGeometry(9, y + 2, labelWidth, std::max(height - 2, label->sizeHint().height()));
        button->setGeometry(buttonLeft, y, buttonWidth, height);
        connect(button, &QRadioButton::clicked, this, [this, k] { rbPhoneClick(k); });
        button->installEventFilter(this);
        if (m_phoneButtons.isEmpty()) {
            button->setChecked(true);
            rbPhoneClick(k);
        }
        m_phoneButtons << button;
        y += height + 2;
        right = std::max(right, buttonLeft + button->sizeHint().width());
    }
    // The list is as wide as its captions, and the window wide enough for it:
    // no caption is ever hidden behind a sideways scroll bar.
    box->resize(std::max(right, 1), y);
    scrbxPhones->setWidget(box);
    scrbxPhones->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrbxPhones->setMinimumWidth(box->width() + 2 * scrbxPhones->frameWidth()
                                 + scrbxPhones->verticalScrollBar()->sizeHint().width());
}

bool HistoryWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (auto *button = qobject_cast<QRadioButton *>(watched);
            button && m_phoneButtons.contains(button)) {
            button->setChecked(true);
            rbPhoneClick(button->property("slot").toInt());
            bnShow->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void HistoryWindow::rbPhoneClick(int slot)
{
    // The number as configured: it is what the history rows were stored under.
    m_number = m_context.phones.numberOf(slot);
    m_alias = m_context.phones.aliasOf(slot);
}

HistoryRangeChoice HistoryWindow::rangeChoice() const
{
    return chooseHistoryRange(rbShowLastRequest->isChecked(), rbShowLastDays->isChecked(),
                              edLastRequest->text(), edLastDays->text());
}

void HistoryWindow::bnShowClick()
{
    if (PhoneHistoryWindow::current())
        return;
    showHistoryPhoneModal(m_context.paths.historyFile(), m_number, m_alias, rangeChoice(), this,
                          BalanceChartSeries::thresholdOf(m_context.options.values()),
                          spendLimitsOf(m_context.options.values()));
}

void HistoryWindow::bnExcelClick()
{
    const ExcelFileAnswer answer = askExcelFile(this, historyExportFileName(m_number, m_alias));
    if (!answer.confirmed)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ExportOutcome outcome =
        exportHistory(m_context.paths.historyFile(), answer.path, m_number, rangeChoice());
    QApplication::restoreOverrideCursor();
    switch (outcome.status) {
    case ExportOutcome::Written:
        showMessage(this, MessageKind::Information, outcome.message);
        break;
    case ExportOutcome::NoHistory:
    case ExportOutcome::HistoryFileMissing:
        showMessage(this, MessageKind::Warning, outcome.message);
        break;
    case ExportOutcome::Failed:
        showMessage(this, MessageKind::Error, outcome.message);
        break;
    }
}

} // namespace zelvant
