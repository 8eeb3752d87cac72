#include "gui/RegionEntryDialog.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/AppPaths.h"
#include "core/config/Regions.h"
#include "gui/DialogSupport.h"
#include "gui/TextFit.h"

namespace zelvant {

namespace {

constexpr int ShortNameMaxLength = 3;

void setTextColor(QWidget *w, const QColor &color)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Text, color);
    p.setColor(QPalette::WindowText, color);
    w->setPalette(p);
}

// A label standing beside a field names it to a screen reader.
QLabel *newLabel(const QString &text, QWidget *parent, QWidget *buddy = nullptr)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setBuddy(buddy);
    return label;
}

} // namespace

RegionEntryDialog::RegionEntryDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmAddLumoUrl"));
    setWindowTitle(tr("Добавить региональную ЛУМО"));

    m_edName = new QLineEdit(this);
    m_edName->setObjectName(QStringLiteral("edName"));

    // The built-in address as a pattern the user can copy from.
    m_edSample = new QLineEdit(defaultRegion().loginUrl, this);
    m_edSample->setObjectName(QStringLiteral("edSample"));
    m_edSample->setReadOnly(true);
    m_edSample->setAccessibleName(tr("Пример адреса для входа"));
    m_edSample->setFrame(false);
    m_edSample->setFocusPolicy(Qt::ClickFocus);
    m_edSample->setCursorPosition(0);
    QPalette samplePalette = m_edSample->palette();
    samplePalette.setColor(QPalette::Base, samplePalette.color(QPalette::Window));
    samplePalette.setColor(QPalette::Text, Qt::blue);
    m_edSample->setPalette(samplePalette);
    // Wide enough to show the whole example: the dialog takes its size from
    // its contents, and the wrapped labels alone would make it narrow.
    m_edSample->setMinimumWidth(
        qMax(400, m_edSample->fontMetrics().horizontalAdvance(m_edSample->text()) + 12));

    m_edLoginUrl = new QLineEdit(this);
    m_edLoginUrl->setObjectName(QStringLiteral("edLoginUrl"));
    setTextColor(m_edLoginUrl, Qt::blue);

    m_edShortName = new QLineEdit(this);
    m_edShortName->setObjectName(QStringLiteral("edShortName"));
    m_edShortName->setMaxLength(ShortNameMaxLength);
    m_edShortName->setFixedWidth(
        m_edShortName->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")) + 12);

    auto *bnOk = new QPushButton(tr("ОК"), this);
    bnOk->setObjectName(QStringLiteral("bnOk"));
    bnOk->setDefault(true);
    auto *bnCancel = new QPushButton(tr("Отмена"), this);
    bnCancel->setObjectName(QStringLiteral("bnCancel"));
    bnCancel->setAutoDefault(false);
    connect(bnOk, &QPushButton::clicked, this, &RegionEntryDialog::bnOkClick);
    connect(bnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *note = new QFrame(this);
    note->setObjectName(QStringLiteral("plNote"));
    note->setFrameShape(QFrame::StyledPanel);
    auto *noteTitle = newLabel(tr("Уважаемые пользователи!"), note);
    setTextColor(noteTitle, QColor(128, 0, 128));
    QFont titleFont = noteTitle->font();
    titleFont.setBold(true);
    noteTitle->setFont(titleFont);
    auto *noteText =
        newLabel(tr("Убедительная просьба: присылайте успешные настройки Вашего региона на E-Mail, "
                    "что бы их можно было включить в дистрибутив."),
                 note);
    auto *edEmail = new QLineEdit(SupportEmail, note);
    edEmail->setObjectName(QStringLiteral("edEmail"));
    edEmail->setReadOnly(true);
    edEmail->setAccessibleName(tr("E-Mail для настроек региона"));
    auto *noteLayout = new QVBoxLayout(note);
    noteLayout->addWidget(noteTitle);
    noteLayout->addWidget(noteText);
    noteLayout->addWidget(edEmail);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(newLabel(tr("Название региона:"), this, m_edName));
    layout->addWidget(m_edName);
    layout->addWidget(newLabel(tr("URL адрес для входа в ЛУМО. К примеру, для Москвы такой:"), this,
                               m_edLoginUrl));
    layout->addWidget(m_edSample);
    layout->addWidget(m_edLoginUrl);
    auto *shortRow = new QHBoxLayout;
    shortRow->addWidget(newLabel(tr("Краткое название (до 3-х букв)"), this, m_edShortName), 1);
    shortRow->addWidget(m_edShortName);
    layout->addLayout(shortRow);
    layout->addWidget(note);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bnOk);
    buttons->addWidget(bnCancel);
    layout->addLayout(buttons);

    fixWindowSize(this);
}

void RegionEntryDialog::setValues(const QString &name, const QString &shortName,
                                  const QString &loginUrl)
{
    m_edName->setText(name);
    // Three letters is a limit on typing only: a longer short name from a
    // file edited by hand must come back whole, or a mere change of the
    // address would cut it and the phones of that region would lose it.
    m_edShortName->setMaxLength(qMax(ShortNameMaxLength, int(shortName.size())));
    m_edShortName->setText(shortName);
    m_edLoginUrl->setText(loginUrl);
}

QString RegionEntryDialog::name() const
{
    return m_edName->text();
}

QString RegionEntryDialog::shortName() const
{
    return m_edShortName->text();
}

QString RegionEntryDialog::loginUrl() const
{
    return m_edLoginUrl->text();
}

void RegionEntryDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    centerOnScreen(this);
}

void RegionEntryDialog::bnOkClick()
{
    if (m_edName->text().trimmed().isEmpty() || m_edLoginUrl->text().trimmed().isEmpty()
        || m_edShortName->text().trimmed().isEmpty()) {
        showErrorBox(this, tr("Все поля должны быть заполнены !"));
        return;
    }
    accept();
}

} // namespace zelvant
