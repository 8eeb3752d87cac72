#include "gui/RegionChoiceDialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/ProgramInfo.h"
#include "core/config/IniFile.h"
#include "core/config/PhoneList.h"
#include "core/config/Regions.h"
#include "gui/DialogSupport.h"
#include "gui/ElidedLabel.h"
#include "gui/RegionEntryDialog.h"
#include "gui/TextFit.h"

namespace zelvant {

namespace {

QToolButton *newToolButton(const QString &name, const QString &text, const QString &hint,
                           QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(hint);
    // A screen reader says the hint, not "...", "+" or "-".
    button->setAccessibleName(hint);
    button->setAutoRaise(false);
    return button;
}

template<typename Label>
Label *newBlueLabel(const QString &name, QWidget *parent)
{
    auto *label = new Label(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(p);
    return label;
}

} // namespace

RegionChoiceDialog::RegionChoiceDialog(RegionList &regions, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
    , m_regions(regions)
{
    setObjectName(QStringLiteral("frmLumoUrlChoose"));
    setWindowTitle(tr("Выбор региона для телефона"));

    m_cbLumoLongName = new QComboBox(this);
    m_cbLumoLongName->setObjectName(QStringLiteral("cbLumoLongName"));
    m_cbLumoLongName->setAccessibleName(tr("Регион"));
    m_cbLumoLongName->view()->setAccessibleName(tr("Регион"));
    m_cbLumoLongName->setMinimumWidth(260);
    // Nor does the list's width follow the region names.
    m_cbLumoLongName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_bnEdit =
        newToolButton(QStringLiteral("bnEdit"), QStringLiteral("..."), tr("Редактировать"), this);
    m_bnAdd = newToolButton(QStringLiteral("bnAdd"), QStringLiteral("+"), tr("Добавить"), this);
    m_bnRemove =
        newToolButton(QStringLiteral("bnRemove"), QStringLiteral("-"), tr("Удалить"), this);
    m_lblShortName = newBlueLabel<QLabel>(QStringLiteral("lblShortName"), this);
    m_lblLumoUrl = newBlueLabel<ElidedLabel>(QStringLiteral("lblLumoUrl"), this);

    auto *bnOK = new QPushButton(tr("Выбрать"), this);
    bnOK->setObjectName(QStringLiteral("bnOK"));
    bnOK->setDefault(true);
    auto *bnCancel = new QPushButton(tr("Отмена"), this);
    bnCancel->setObjectName(QStringLiteral("bnCancel"));
    bnCancel->setAutoDefault(false);

    connect(m_cbLumoLongName, &QComboBox::currentIndexChanged, this,
            &RegionChoiceDialog::showSelection);
    connect(m_bnAdd, &QToolButton::clicked, this, &RegionChoiceDialog::bnAddClick);
    connect(m_bnEdit, &QToolButton::clicked, this, &RegionChoiceDialog::bnEditClick);
    connect(m_bnRemove, &QToolButton::clicked, this, &RegionChoiceDialog::bnRemoveClick);
    connect(bnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(bnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *listRow = new QHBoxLayout;
    listRow->addWidget(m_cbLumoLongName, 1);
    listRow->addWidget(m_bnEdit);
    listRow->addWidget(m_bnAdd);
    listRow->addWidget(m_bnRemove);

    auto *details = new QFormLayout;
    details->addRow(tr("Коротко:"), m_lblShortName);
    details->addRow(tr("Web адрес:"), m_lblLumoUrl);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bnOK);
    buttons->addWidget(bnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(listRow);
    layout->addLayout(details);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // The size is fixed once, with room for the built-in address and a
    // regional one a fifth longer: a longer address is elided rather than
    // widening the dialog.
    fillRegionList(DefaultShortName);
    fixWindowSize(this,
                  sizeHint() + QSize(fontMetrics().horizontalAdvance(DefaultLoginUrl) / 5, 0));
}

void RegionChoiceDialog::fillRegionList(const QString &shortName)
{
    {
        const QSignalBlocker blocker(m_cbLumoLongName);
        m_cbLumoLongName->clear();
        m_cbLumoLongName->addItems(m_regions.listedNames());
        const int index = m_cbLumoLongName->findText(m_regions.preselectedName(shortName),
                                                     Qt::MatchFixedString | Qt::MatchCaseSensitive);
        m_cbLumoLongName->setCurrentIndex(index < 0 ? 0 : index);
    }
    showSelection();
}

QString RegionChoiceDialog::chosenShortName() const
{
    return m_lblShortName->text();
}

void RegionChoiceDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    centerOnScreen(this);
}

void RegionChoiceDialog::showSelection()
{
    const QString name = m_cbLumoLongName->currentText();
    const Region region = m_regions.region(name);
    m_lblShortName->setText(region.shortName);
    m_lblLumoUrl->setFullText(region.loginUrl);
    // The built-in region is part of the program, not of the region list.
    const bool builtIn = name.compare(defaultRegion().longName, Qt::CaseInsensitive) == 0;
    m_bnEdit->setEnabled(!builtIn);
    m_bnRemove->setEnabled(!builtIn);
    m_bnAdd->setEnabled(true);
}

void RegionChoiceDialog::reportError(const QString &error)
{
    showErrorBox(this, error.isEmpty() ? tr("Не удалось записать список регионов \"servers.ini\".")
                                       : error);
}

void RegionChoiceDialog::bnAddClick()
{
    RegionEntryDialog dialog(this);
    enterRegion(dialog, [this](const Region &region, QString *error) {
        return m_regions.add(region, error);
    });
}

void RegionChoiceDialog::bnEditClick()
{
    const QString oldName = m_cbLumoLongName->currentText();
    const Region stored = m_regions.region(oldName);
    RegionEntryDialog dialog(this);
    dialog.setValues(oldName, stored.shortName, stored.loginUrl);
    enterRegion(dialog, [this, oldName](const Region &region, QString *error) {
        return m_regions.edit(oldName, region, error);
    });
}

void RegionChoiceDialog::enterRegion(RegionEntryDialog &dialog,
                                     const std::function<bool(const Region &, QString *)> &store)
{
    // When the region cannot be stored the entry dialog comes back with what
    // the user typed, so nothing has to be entered twice.
    while (dialog.exec() == QDialog::Accepted) {
        const Region region{dialog.name(), dialog.shortName(),
                            normalizeLoginUrl(dialog.loginUrl())};
        QString error;
        if (store(region, &error)) {
            fillRegionList(region.shortName);
            return;
        }
        reportError(error);
    }
}

void RegionChoiceDialog::bnRemoveClick()
{
    const QString name = m_cbLumoLongName->currentText();
    if (!askYesNo(this, tr("Удалить региональную ЛУМО \"%1\" из списка?").arg(name)))
        return;
    QString error;
    if (!m_regions.remove(name, &error))
        reportError(error);
    fillRegionList(DefaultShortName);
}

} // namespace zelvant
