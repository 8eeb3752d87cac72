#include "gui/SetupWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>

#include "core/config/AppContext.h"
#include "core/config/AutoStart.h"
#include "core/config/PasswordScramble.h"
#include "core/config/PhonePasswords.h"
#include "core/config/SettingsTable.h"
#include "core/config/SetupRules.h"
#include "gui/DialogSupport.h"
#include "gui/PhoneRowGeometry.h"
#include "gui/RegionChoiceDialog.h"

namespace zelvant {

namespace {

// The window is as wide as the phone rows (PhoneRowGeometry) plus this
// margin, 367 + 35 = 402 pixels in the design, and at least this high.
constexpr int RowsMargin = 35;
constexpr int MinimumClientHeight = 447;

// The design's password character; most styles draw a bullet instead.
class PasswordStarStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

const QColor warningCaptionColor(128, 64, 64);
const QColor warningTextColor(128, 128, 128);

// Filters typed characters of an edit field; pasted text is not touched.
class KeyFilter : public QObject
{
public:
    enum Mode { Phone, Balance, TurnOff };
    KeyFilter(Mode mode, QObject *parent)
        : QObject(parent)
        , m_mode(mode)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        // Keys without text (arrows, Home, Delete on some platforms) and
        // shortcuts only edit. Ctrl together with Alt is AltGr on some
        // keyboards and types characters, so it is filtered like any key.
        const Qt::KeyboardModifiers mods = key->modifiers();
        if (text.isEmpty() || ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier)))
            return false;
        auto *edit = qobject_cast<QLineEdit *>(watched);
        if (!edit)
            return false;
        if (m_mode == Balance) {
            QString kept = edit->text();
            if (edit->hasSelectedText())
                kept.remove(edit->selectionStart(), edit->selectedText().size());
            QString mapped;
            for (QChar c : text) {
                const QChar m = filterBalanceKey(c, kept + mapped);
                if (m.isNull())
                    return true;
                mapped += m;
            }
            if (mapped == text)
                return false;
            edit->insert(mapped);
            return true;
        }
        for (QChar c : text) {
            const bool ok = m_mode == Phone ? isPhoneKeyAccepted(c) : isTurnOffKeyAccepted(c);
            if (!ok)
                return true;
        }
        return false;
    }

private:
    Mode m_mode;
};

// Colours the warning and its group while the mouse is over the text.
class WarningHover : public QObject
{
public:
    WarningHover(QGroupBox *group, QLabel *label)
        : QObject(label)
        , m_group(group)
        , m_label(label)
    {
        setColors(false);
        label->setAttribute(Qt::WA_Hover);
        label->installEventFilter(this);
    }
    void setColors(bool hovered)
    {
        QPalette gp = m_group->palette();
        gp.setColor(QPalette::WindowText, hovered ? QColor(Qt::red) : warningCaptionColor);
        m_group->setPalette(gp);
        QPalette lp = m_label->palette();
        lp.setColor(QPalette::WindowText, hovered ? QColor(Qt::black) : warningTextColor);
        m_label->setPalette(lp);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Enter || event->type() == QEvent::HoverEnter
            || event->type() == QEvent::HoverMove)
            setColors(true);
        else if (event->type() == QEvent::Leave || event->type() == QEvent::HoverLeave)
            setColors(false);
        return false;
    }

private:
    QGroupBox *m_group;
    QLabel *m_label;
};

QPixmap trayColumnPicture()
{
    // A small screen corner with a tray icon: the column of the tray choice.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(QColor(212, 208, 200));
    p.drawRect(0, 9, 15, 6);
    p.setBrush(QColor(0, 128, 0));
    p.drawRect(9, 10, 4, 4);
    return pixmap;
}

} // namespace

struct SetupWindow::Private
{
    struct Row
    {
        QLabel *panel = nullptr;
        QCheckBox *monitor = nullptr;
        QRadioButton *tray = nullptr;
        QLineEdit *number = nullptr;
        QLineEdit *password = nullptr;
        QLineEdit *alias = nullptr;
        QPushButton *region = nullptr;
    };

    Private(SetupWindow *q, AppContext &context)
        : q(q)
        , context(context)
    {
    }

    SetupWindow *q;
    AppContext &context;

    QTabWidget *pages = nullptr;
    QWidget *hintSheet = nullptr;
    QWidget *connectionSheet = nullptr;
    QWidget *mqttSheet = nullptr;
    QWidget *phonesSheet = nullptr;
    QLineEdit *edMqttPassword = nullptr;

    // The options being edited, and the control of each setting: the one
    // whose object name is the setting's key.
    Options editedOptions;
    QList<std::pair<const Setting *, QWidget *>> controls;

    QCheckBox *cbMarkIfBalance = nullptr, *cbMarkIfTurnOff = nullptr;
    QLineEdit *edBalanceLessThen = nullptr, *edTurnOffLessThen = nullptr;
    QLabel *lblRefresh_a = nullptr, *lblRefresh_b = nullptr;
    QComboBox *cbRefreshTime = nullptr;

    PhoneRowGeometry rowGeometry;
    QProxyStyle *passwordStyle = nullptr;
    QString passwordToolTip;
    QScrollArea *scrlbxPhones = nullptr;
    QWidget *rowsArea = nullptr;
    std::array<Row, PhoneSlotCount> rows;
    QRadioButton *rbTrayNotShow = nullptr;
    QButtonGroup *trayGroup = nullptr;
    QCheckBox *cbKeyring = nullptr;
    // The list as the window opened it: which phones' passwords the keyring
    // keeps. Their passwords come in when the keyring has answered.
    PhoneList loaded;
    std::unique_ptr<PhonePasswords> passwords;
    KeyFilter *phoneKeys = nullptr;

    QCheckBox *cbRequestNow = nullptr;
    QPushButton *bnOK = nullptr;
    QPushButton *bnCancel = nullptr;

    Row &row(int a) { return rows.at(a - 1); }

    QCheckBox *newCheckBox(const QString &name, const QString &caption, QWidget *parent)
    {
        auto *box = new QCheckBox(caption, parent);
        box->setObjectName(name);
        return box;
    }

    void createHintSheet();
    void createConnectionSheet();
    void createMqttSheet();
    void createPhonesSheet();
    void createPhoneSlots();
    void applyPasswordLimit();
    void passwordsSaved(bool ok, const PhoneList &phones, const QString &error,
                        const QString &notice);
    void createPhoneSlot(int a);
    void monitorClick(int a);
    void applyMonitorStates();
    void markClick(int tag);
    void updateIntervalLabels();

    void findControls();
    void optionsToControls(const Options &o);
    Options controlsToOptions(Options o) const;
    void phonesToControls(const PhoneList &phones);
    PhoneList controlsToPhones() const;

    void bnLumoClick(int a);
    void bnOKClick();
};

void SetupWindow::Private::createHintSheet()
{
    hintSheet = new QWidget;
    hintSheet->setObjectName(QStringLiteral("HintSheet"));

    auto *show = new QGroupBox(tr("Показывать в информационном окне"), hintSheet);
    auto *showLayout = new QVBoxLayout(show);
    showLayout->setSpacing(2);
    auto add = [&](const char *name, const QString &caption) {
        QCheckBox *box = newCheckBox(QString::fromLatin1(name), caption, show);
        showLayout->addWidget(box);
        return box;
    };
    add("cbNN", tr("Порядковый номер телефона"));
    add("cbAlias", tr("Псевдоним"));
    add("cbUserName", tr("Имя пользователя"));
    add("cbPhoneNum", tr("Номер телефона"));
    // The balance column is always shown; it is no setting.
    QCheckBox *cbBalans = add("cbBalans", tr("Актуальный баланс"));
    cbBalans->setChecked(true);
    cbBalans->setEnabled(false);
    add("cbAverage", tr("Средний расход средств в день"));
    add("cbTurnOff", tr("Предположительная дата отключения"));
    add("cbRecomend", tr("Рекомендовано заплатить"));
    add("cbSMS", tr("Количество оставшихся SMS"));
    add("cbMin", tr("Количество предоплаченных минут"));
    add("cbJeansBalExpired", tr("Срок действия вашего баланса истекает..."));
    add("cbLastQueryTime", tr("Дата/время последнего запроса информации"));
    add("cbFailReason", tr("Причина неудачного запроса"));
    add("cbDailySpend", tr("Обычный расход в день (по истории баланса)"));

    auto *mark = new QGroupBox(tr("Выделять информацию если:"), hintSheet);
    auto *markLayout = new QGridLayout(mark);
    markLayout->setVerticalSpacing(2);
    cbMarkIfBalance = newCheckBox(QStringLiteral("cbMarkIfBalance"), tr("Баланс меньше ($)"), mark);
    cbMarkIfBalance->setProperty("tag", 1);
    cbMarkIfTurnOff = newCheckBox(QStringLiteral("cbMarkIfTurnOff"),
                                  tr("Отключение менее чем через (дней)"), mark);
    cbMarkIfTurnOff->setProperty("tag", 2);
    edBalanceLessThen = new QLineEdit(mark);
    edBalanceLessThen->setObjectName(QStringLiteral("edBalanceLessThen"));
    edBalanceLessThen->setFixedWidth(50);
    edBalanceLessThen->installEventFilter(new KeyFilter(KeyFilter::Balance, edBalanceLessThen));
    edTurnOffLessThen = new QLineEdit(mark);
    edTurnOffLessThen->setObjectName(QStringLiteral("edTurnOffLessThen"));
    edBalanceLessThen->setAccessibleName(tr("Баланс меньше ($)"));
    edTurnOffLessThen->setAccessibleName(tr("Отключение менее чем через (дней)"));
    edTurnOffLessThen->setFixedWidth(50);
    edTurnOffLessThen->installEventFilter(new KeyFilter(KeyFilter::TurnOff, edTurnOffLessThen));
    markLayout->addWidget(cbMarkIfBalance, 0, 0);
    markLayout->addWidget(edBalanceLessThen, 0, 1);
    markLayout->addWidget(cbMarkIfTurnOff, 1, 0);
    markLayout->addWidget(edTurnOffLessThen, 1, 1);
    markLayout->setColumnStretch(2, 1);
    for (QCheckBox *box : {cbMarkIfBalance, cbMarkIfTurnOff}) {
        QObject::connect(box, &QCheckBox::toggled, q,
                         [this, box] { markClick(box->property("tag").toInt()); });
    }

    auto *layout = new QVBoxLayout(hintSheet);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(show);
    layout->addWidget(mark);
    // The tray icon's colours, in the order of TrayIconStyle.
    auto *trayIconRow = new QHBoxLayout;
    auto *trayIconLabel = new QLabel(tr("Значок в трее:"), hintSheet);
    auto *cbTrayIcon = new QComboBox(hintSheet);
    cbTrayIcon->setObjectName(QStringLiteral("cbTrayIcon"));
    cbTrayIcon->addItems({tr("тёмный с контуром"), tr("тёмный"), tr("светлый")});
    trayIconLabel->setBuddy(cbTrayIcon);
    cbTrayIcon->view()->setAccessibleName(tr("Значок в трее"));
    trayIconRow->addWidget(trayIconLabel);
    trayIconRow->addWidget(cbTrayIcon);
    trayIconRow->addStretch(1);
    layout->addLayout(trayIconRow);
    layout->addStretch(1);
}

void SetupWindow::Private::createConnectionSheet()
{
    connectionSheet = new QWidget;
    connectionSheet->setObjectName(QStringLiteral("ConnectionSheet"));

    auto *warning = new QGroupBox(tr("Внимание!"), connectionSheet);
    warning->setObjectName(QStringLiteral("grbWarning"));
    auto *lblWarning =
        new QLabel(tr("Программа использует в своей работе сетевые настройки Вашего компьютера "
                      "и все заданные в системе параметры соединения (Proxy Server и проч.). "
                      "За один запрос информации по каждому телефону из интернета скачивается "
                      "около 30 кб."),
                   warning);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    lblWarning->setWordWrap(true);
    new WarningHover(warning, lblWarning);
    auto *warningLayout = new QVBoxLayout(warning);
    warningLayout->addWidget(lblWarning);

    auto *refresh = new QGroupBox(tr("Обновление информации"), connectionSheet);
    lblRefresh_a = new QLabel(refresh);
    lblRefresh_a->setObjectName(QStringLiteral("lblRefresh_a"));
    cbRefreshTime = new QComboBox(refresh);
    cbRefreshTime->setObjectName(QStringLiteral("cbRefreshTime"));
    cbRefreshTime->setAccessibleName(tr("Интервал обновления, часов"));
    cbRefreshTime->view()->setAccessibleName(cbRefreshTime->accessibleName());
    for (int hours : RefreshHours)
        cbRefreshTime->addItem(QString::number(hours));
    lblRefresh_b = new QLabel(refresh);
    lblRefresh_b->setObjectName(QStringLiteral("lblRefresh_b"));
    QObject::connect(cbRefreshTime, &QComboBox::currentIndexChanged, q,
                     [this] { updateIntervalLabels(); });
    auto *intervalLayout = new QHBoxLayout;
    intervalLayout->addWidget(lblRefresh_a);
    intervalLayout->addWidget(cbRefreshTime);
    intervalLayout->addWidget(lblRefresh_b);
    intervalLayout->addStretch(1);
    auto *refreshLayout = new QVBoxLayout(refresh);
    refreshLayout->setSpacing(2);
    refreshLayout->addLayout(intervalLayout);
    refreshLayout->addWidget(newCheckBox(QStringLiteral("cbRetryFailed"),
                                         tr("Повторять неудачные запросы автоматически"), refresh));

    auto *start = new QGroupBox(tr("Запуск программы и история баланса"), connectionSheet);
    auto *startLayout = new QVBoxLayout(start);
    startLayout->setSpacing(2);
    startLayout->addWidget(newCheckBox(QStringLiteral("cbAutoStart"), autoStartCaption(), start));
    startLayout->addWidget(newCheckBox(QStringLiteral("cbExecAfterRun"),
                                       tr("Запрашивать баланс сразу после запуска"), start));
    startLayout->addWidget(
        newCheckBox(QStringLiteral("cbHistory"), tr("Вести историю баланса в базе данных"), start));
    startLayout->addWidget(newCheckBox(QStringLiteral("cbLoadHistory"),
                                       tr("Загружать при запуске информацию из истории баланса"),
                                       start));

    auto *notify = new QGroupBox(tr("Оповещения"), connectionSheet);
    auto *notifyLayout = new QVBoxLayout(notify);
    notifyLayout->setSpacing(2);
    notifyLayout->addWidget(newCheckBox(QStringLiteral("cbNotifyLowBalance"),
                                        tr("Оповещать о низком балансе"), notify));
    notifyLayout->addWidget(
        newCheckBox(QStringLiteral("cbNotifyFailures"), tr("Оповещать о сбоях запросов"), notify));
    QCheckBox *cbNotifyUnusualSpend = newCheckBox(QStringLiteral("cbNotifyUnusualSpend"),
                                                  tr("Оповещать о необычных списаниях"), notify);
    notifyLayout->addWidget(cbNotifyUnusualSpend);
    // Unusual: a spend per day at least this many times the usual daily
    // spend and at least this much.
    auto *spendLayout = new QGridLayout;
    spendLayout->setContentsMargins(20, 0, 0, 0);
    spendLayout->setVerticalSpacing(2);
    const std::pair<const char *, QString> spendFields[] = {
        {"edSpendFactor", tr("Во сколько раз больше обычного расхода в день:")},
        {"edSpendFloor", tr("Но не меньше (у.е. в день):")},
    };
    int spendRow = 0;
    for (const auto &[key, caption] : spendFields) {
        auto *edit = new QLineEdit(notify);
        edit->setObjectName(QString::fromLatin1(key));
        edit->setFixedWidth(50);
        edit->installEventFilter(new KeyFilter(KeyFilter::Balance, edit));
        auto *label = new QLabel(caption, notify);
        label->setBuddy(edit);
        edit->setEnabled(cbNotifyUnusualSpend->isChecked());
        QObject::connect(cbNotifyUnusualSpend, &QCheckBox::toggled, edit, &QWidget::setEnabled);
        spendLayout->addWidget(label, spendRow, 0);
        spendLayout->addWidget(edit, spendRow, 1);
        ++spendRow;
    }
    spendLayout->setColumnStretch(2, 1);
    notifyLayout->addLayout(spendLayout);

    auto *layout = new QVBoxLayout(connectionSheet);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(warning);
    layout->addWidget(refresh);
    layout->addWidget(start);
    layout->addWidget(notify);
    layout->addStretch(1);
}

void SetupWindow::Private::createMqttSheet()
{
    mqttSheet = new QWidget;
    mqttSheet->setObjectName(QStringLiteral("MqttSheet"));
    QCheckBox *enabled = newCheckBox(
        QStringLiteral("cbMqttEnabled"),
        tr("Публиковать балансы на MQTT-брокере (Home Assistant, Node-RED)"), mqttSheet);
    auto *broker = new QGroupBox(tr("Брокер"), mqttSheet);
    auto *grid = new QGridLayout(broker);
    grid->setVerticalSpacing(4);
    int row = 0;
    auto addField = [&](const char *key, const QString &caption) {
        auto *edit = new QLineEdit(broker);
        edit->setObjectName(QString::fromLatin1(key));
        auto *label = new QLabel(caption, broker);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
        return edit;
    };
    addField("edMqttHost", tr("Адрес брокера:"));
    addField("edMqttPort", tr("Порт:"))
        ->installEventFilter(new KeyFilter(KeyFilter::TurnOff, broker));
    grid->addWidget(
        newCheckBox(QStringLiteral("cbMqttTls"), tr("Шифровать соединение (TLS)"), broker), row++,
        0, 1, 2);
    QLineEdit *caFile = addField("edMqttCaFile", tr("Файл сертификата центра (TLS):"));
    caFile->setPlaceholderText(tr("пусто: сертификаты системы"));
    addField("edMqttUser", tr("Пользователь:"));
    edMqttPassword = addField("edMqttPassword", tr("Пароль:"));
    edMqttPassword->setEchoMode(QLineEdit::Password);
    addField("edMqttPrefix", tr("Префикс топиков:"));
    grid->addWidget(newCheckBox(QStringLiteral("cbMqttDiscovery"),
                                tr("Обнаружение в Home Assistant (устройство на каждый телефон)"),
                                broker),
                    row++, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    broker->setEnabled(enabled->isChecked());
    QObject::connect(enabled, &QCheckBox::toggled, broker, &QWidget::setEnabled);

    auto *layout = new QVBoxLayout(mqttSheet);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(enabled);
    layout->addWidget(broker);
    layout->addStretch(1);
}

void SetupWindow::Private::createPhonesSheet()
{
    phonesSheet = new QWidget;
    phonesSheet->setObjectName(QStringLiteral("PhonesSheet"));

    auto *grbPhones = new QGroupBox(tr("Телефоны для мониторинга"), phonesSheet);
    grbPhones->setObjectName(QStringLiteral("grbPhones"));

    scrlbxPhones = new QScrollArea(grbPhones);
    scrlbxPhones->setObjectName(QStringLiteral("scrlbxPhones"));
    scrlbxPhones->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrlbxPhones->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scrlbxPhones->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    rowsArea = new QWidget;
    rowsArea->setObjectName(QStringLiteral("plPhoneRows"));

    // Column titles, each over the left edge of its column in the rows.
    rowGeometry = PhoneRowGeometry::fittedTo(q);
    const PhoneRowGeometry &g = rowGeometry;
    auto *header = new QWidget(grbPhones);
    const int shift = scrlbxPhones->frameWidth();
    int headerHeight = 18;
    auto title = [&](const char *name, const QString &text, int left) {
        auto *label = new QLabel(text, header);
        label->setObjectName(QString::fromLatin1(name));
        label->move(left + shift, 0);
        if (text.isEmpty())
            label->setPixmap(trayColumnPicture());
        label->resize(label->sizeHint());
        headerHeight = std::max(headerHeight, label->height());
    };
    title("lblTurnOnOff", tr("вкл"), g.monitorLeft);
    title("imgTrayShow", QString(), g.trayLeft);
    title("lblNumber", tr("Телефон"), g.numberLeft);
    title("lblPassword", tr("Пароль"), g.passwordLeft);
    title("lblAlias", tr("Псевдоним"), g.aliasLeft);
    title("lblLumo", tr("Регион"), g.regionLeft);
    header->setFixedHeight(headerHeight);

    createPhoneSlots();
    scrlbxPhones->setWidget(rowsArea);
    scrlbxPhones->setFixedWidth(rowsArea->width() + 2 * shift
                                + scrlbxPhones->verticalScrollBar()->sizeHint().width());

    auto *groupLayout = new QVBoxLayout(grbPhones);
    groupLayout->setContentsMargins(4, 4, 4, 4);
    groupLayout->setSpacing(0);
    groupLayout->addWidget(header);
    groupLayout->addWidget(scrlbxPhones, 1);

    auto *layout = new QVBoxLayout(phonesSheet);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(grbPhones);
    cbKeyring = newCheckBox(QStringLiteral("cbKeyring"),
                            SetupWindow::tr("Хранить пароли в связке ключей"), phonesSheet);
    QObject::connect(cbKeyring, &QCheckBox::toggled, q, [this] { applyPasswordLimit(); });
    layout->addWidget(cbKeyring);
}

void SetupWindow::Private::applyPasswordLimit()
{
    // The keyring takes a password of any length; the file's scramble holds
    // MaxPasswordLength characters. A longer one typed for the keyring is not
    // cut when the box is unticked: the save refuses it and says why.
    const bool keyring = cbKeyring->isChecked();
    for (Row &r : rows) {
        if (keyring)
            r.password->setMaxLength(32767);
        else if (r.password->text().size() <= MaxPasswordLength)
            r.password->setMaxLength(MaxPasswordLength);
        r.password->setToolTip(
            keyring ? SetupWindow::tr("Пароль хранится в связке ключей: длина не ограничена")
                    : passwordToolTip);
    }
}

void SetupWindow::Private::createPhoneSlots()
{
    // Built while the area is hidden so no row is laid out or painted before
    // all of them exist. Creation order gives the keyboard order: row by
    // row, and Monitor, tray, number, password, alias, region within a row.
    rowsArea->hide();
    trayGroup = new QButtonGroup(q);
    trayGroup->setExclusive(true);
    phoneKeys = new KeyFilter(KeyFilter::Phone, q);
    passwordToolTip =
        tr("Не более %1 символов: столько хранит файл телефонов").arg(MaxPasswordLength);
    passwordStyle = new PasswordStarStyle;
    passwordStyle->setParent(q);
    for (int a = 1; a <= PhoneSlotCount; ++a)
        createPhoneSlot(a);

    rbTrayNotShow = new QRadioButton(tr("  Не показывать значение баланса в трее"), rowsArea);
    rbTrayNotShow->setObjectName(QStringLiteral("rbTrayNotShow"));
    const PhoneRowGeometry &g = rowGeometry;
    const int lastBottom = g.topOf(PhoneSlotCount) + g.height;
    rbTrayNotShow->move(g.monitorLeft, lastBottom + 3);
    rbTrayNotShow->resize(rbTrayNotShow->sizeHint().width(),
                          std::max(g.height, rbTrayNotShow->sizeHint().height()));
    rbTrayNotShow->setChecked(true);
    trayGroup->addButton(rbTrayNotShow, 0);

    rowsArea->resize(std::max(g.right(), rbTrayNotShow->geometry().right() + 1),
                     rbTrayNotShow->geometry().bottom() + 6);
    rowsArea->show();
}

void SetupWindow::Private::createPhoneSlot(int a)
{
    Row &r = row(a);
    const QString n = QString::number(a);
    const PhoneRowGeometry &g = rowGeometry;
    const int top = g.topOf(a);

    r.panel = new QLabel(n, rowsArea);
    r.panel->setObjectName(QStringLiteral("plNN__") + n);
    r.panel->setAlignment(Qt::AlignCenter);
    r.panel->setGeometry(g.panelLeft, top, g.panelWidth, g.height);

    r.monitor = new QCheckBox(rowsArea);
    r.monitor->setObjectName(QStringLiteral("cbMonitor_") + n);
    r.monitor->setProperty("tag", a);
    r.monitor->setGeometry(g.monitorLeft, top, g.monitorWidth, g.height);
    // The rows have column titles only: each control says its row to a
    // screen reader.
    r.monitor->setAccessibleName(tr("Отслеживать телефон %1").arg(a));
    QObject::connect(r.monitor, &QCheckBox::toggled, q, [this, a] { monitorClick(a); });

    r.tray = new QRadioButton(rowsArea);
    r.tray->setObjectName(QStringLiteral("rbTrayShow_") + n);
    r.tray->setGeometry(g.trayLeft, top, g.trayWidth, g.height);
    r.tray->setAccessibleName(tr("Телефон в трее %1").arg(a));
    trayGroup->addButton(r.tray, a);

    r.number = new QLineEdit(rowsArea);
    r.number->setObjectName(QStringLiteral("edNumber_") + n);
    r.number->setGeometry(g.numberLeft, top, g.numberWidth, g.height);
    r.number->setAccessibleName(tr("Номер телефона %1").arg(a));
    r.number->installEventFilter(phoneKeys);

    r.password = new QLineEdit(rowsArea);
    r.password->setObjectName(QStringLiteral("edPassword_") + n);
    r.password->setGeometry(g.passwordLeft, top, g.passwordWidth, g.height);
    r.password->setAccessibleName(tr("Пароль телефона %1").arg(a));
    r.password->setEchoMode(QLineEdit::Password);
    r.password->setStyle(passwordStyle);
    // The phone list stores no more; a longer password would be cut there.
    r.password->setMaxLength(MaxPasswordLength);
    r.password->setToolTip(passwordToolTip);
    r.password->installEventFilter(phoneKeys);

    r.alias = new QLineEdit(rowsArea);
    r.alias->setObjectName(QStringLiteral("edAlias_") + n);
    r.alias->setGeometry(g.aliasLeft, top, g.aliasWidth, g.height);
    r.alias->setAccessibleName(tr("Псевдоним телефона %1").arg(a));

    r.region = new QPushButton(DefaultShortName, rowsArea);
    r.region->setObjectName(QStringLiteral("bnLumo_") + n);
    r.region->setGeometry(g.regionLeft, top, g.regionWidth, g.height);
    r.region->setAccessibleName(tr("Регион телефона %1").arg(a));
    r.region->setAutoDefault(false);
    // Blue while the row is monitored; a greyed row greys its caption too.
    QPalette p = r.region->palette();
    p.setColor(QPalette::Active, QPalette::ButtonText, Qt::blue);
    p.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::blue);
    r.region->setPalette(p);
    QObject::connect(r.region, &QPushButton::clicked, q, [this, a] { bnLumoClick(a); });

    monitorClick(a);
}

void SetupWindow::Private::monitorClick(int a)
{
    // A row that is not monitored keeps its contents (they are still saved);
    // it only looks and behaves greyed.
    Row &r = row(a);
    const bool on = r.monitor->isChecked();
    for (QWidget *w :
         std::initializer_list<QWidget *>{r.tray, r.number, r.password, r.alias, r.region})
        w->setEnabled(on);
}

void SetupWindow::Private::applyMonitorStates()
{
    for (int a = 1; a <= PhoneSlotCount; ++a)
        monitorClick(a);
}

void SetupWindow::Private::markClick(int tag)
{
    if (tag == 1)
        edBalanceLessThen->setEnabled(cbMarkIfBalance->isChecked());
    else if (tag == 2)
        edTurnOffLessThen->setEnabled(cbMarkIfTurnOff->isChecked());
}

void SetupWindow::Private::updateIntervalLabels()
{
    const RefreshLabels labels = refreshIntervalLabels(cbRefreshTime->currentText());
    lblRefresh_a->setText(labels.before);
    lblRefresh_b->setText(labels.after);
}

void SetupWindow::Private::findControls()
{
    for (const Setting &setting : settingsTable()) {
        if (auto *control = q->findChild<QWidget *>(setting.keyName()))
            controls.append({&setting, control});
    }
}

void SetupWindow::Private::optionsToControls(const Options &o)
{
    for (const auto &[setting, control] : controls) {
        const QString text = setting->text(o);
        if (auto *box = qobject_cast<QCheckBox *>(control))
            box->setChecked(text != QLatin1String("0"));
        else if (auto *list = qobject_cast<QComboBox *>(control))
            list->setCurrentIndex(text.toInt());
        else if (auto *edit = qobject_cast<QLineEdit *>(control))
            edit->setText(text);
    }
    markClick(1);
    markClick(2);
    updateIntervalLabels();
}

Options SetupWindow::Private::controlsToOptions(Options o) const
{
    // A threshold left empty takes its default, as it would from the file.
    for (const auto &[setting, control] : controls) {
        if (auto *box = qobject_cast<QCheckBox *>(control))
            setting->setText(o, box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
        else if (auto *list = qobject_cast<QComboBox *>(control))
            setting->setText(o, QString::number(list->currentIndex()));
        else if (auto *edit = qobject_cast<QLineEdit *>(control))
            setting->setText(o, edit->text());
    }
    return o;
}

void SetupWindow::Private::phonesToControls(const PhoneList &phones)
{
    QAbstractButton *trayChoice = rbTrayNotShow;
    for (int a = 1; a <= PhoneSlotCount; ++a) {
        const PhoneSlot &s = phones.slot(a);
        Row &r = row(a);
        r.number->setText(s.number);
        r.password->setText(s.password);
        r.alias->setText(s.alias);
        r.region->setText(s.region);
        {
            // MonitorClick runs once for every row below, changed or not.
            const QSignalBlocker blocker(r.monitor);
            r.monitor->setChecked(s.monitored);
        }
        if (s.trayShown && trayChoice == rbTrayNotShow)
            trayChoice = r.tray;
    }
    trayChoice->setChecked(true);
    applyMonitorStates();
}

PhoneList SetupWindow::Private::controlsToPhones() const
{
    PhoneList phones;
    for (int a = 1; a <= PhoneSlotCount; ++a) {
        const Row &r = rows.at(a - 1);
        PhoneSlot &s = phones.slot(a);
        s.number = r.number->text();
        s.password = r.password->text();
        s.alias = r.alias->text();
        s.monitored = r.monitor->isChecked();
        s.trayShown = r.tray->isChecked();
        s.region = r.region->text();
        // A keyring password that did not come stays in the keyring.
        const PhoneSlot &before = loaded.slot(a);
        s.passwordInKeyring =
            before.passwordInKeyring && before.number == s.number && s.password.isEmpty();
    }
    return phones;
}

void SetupWindow::Private::bnLumoClick(int a)
{
    QPushButton *button = row(a).region;
    RegionChoiceDialog dialog(context.regions, q);
    dialog.fillRegionList(button->text());
    if (dialog.exec() == QDialog::Accepted)
        button->setText(dialog.chosenShortName());
}

void SetupWindow::Private::bnOKClick()
{
    const PhoneList edited = controlsToPhones();
    if (const PhoneProblem problem = checkPhones(edited)) {
        Row &r = row(problem.slot);
        QLineEdit *field = problem.field == PhoneProblem::Number ? r.number : r.password;
        pages->setCurrentWidget(phonesSheet);
        scrlbxPhones->ensureWidgetVisible(field);
        field->setFocus(Qt::OtherFocusReason);
        showErrorBox(q, problem.message);
        return;
    }

    // Answered by passwordsSaved, at once where the keyring has no part; the
    // window waits for the keyring's answer (which may wait for its unlock).
    passwords->save(edited, cbKeyring->isChecked() ? PasswordPlace::Keyring : PasswordPlace::File);
    if (passwords->isBusy())
        q->setEnabled(false);
}

void SetupWindow::Private::passwordsSaved(bool ok, const PhoneList &phones, const QString &error,
                                          const QString &notice)
{
    q->setEnabled(true);
    if (!ok) {
        showErrorBox(q, error.isEmpty()
                            ? tr("Не удалось записать файл \"%1\".")
                                  .arg(QDir::toNativeSeparators(context.paths.phonesFile()))
                            : error);
        return;
    }
    if (!notice.isEmpty())
        showMessage(q, MessageKind::Warning, notice);
    context.phonesFileUnreadable = false;
    context.phones = phones;
    dropKeyringPasswords(context.phones);
    editedOptions = controlsToOptions(editedOptions);
    q->accept();
}

SetupWindow::SetupWindow(AppContext &context, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
    , d(new Private(this, context))
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(tr("Настройка программы Zelvant"));

    d->createHintSheet();
    d->createConnectionSheet();
    d->createMqttSheet();
    d->createPhonesSheet();

    d->pages = new QTabWidget(this);
    d->pages->setObjectName(QStringLiteral("SetupPages"));
    d->pages->setAccessibleName(tr("Разделы настройки"));
    d->pages->addTab(d->hintSheet, tr("Информационное окно"));
    d->pages->addTab(d->connectionSheet, tr("Соединение"));
    d->pages->addTab(d->phonesSheet, tr("Телефоны"));
    d->pages->addTab(d->mqttSheet, QStringLiteral("MQTT")); // no tr: the protocol's name
    // The first time the window opens on the connection page; later on the
    // page the user left it on.
    d->pages->setCurrentWidget(d->connectionSheet);

    d->bnOK = new QPushButton(tr("Сохранить"), this);
    d->bnOK->setObjectName(QStringLiteral("bnOK"));
    d->bnOK->setDefault(true);
    d->bnCancel = new QPushButton(tr("Отмена"), this);
    d->bnCancel->setObjectName(QStringLiteral("bnCancel"));
    d->bnCancel->setAutoDefault(false);
    d->cbRequestNow = new QCheckBox(tr("Сохранить и запросить баланс"), this);
    d->cbRequestNow->setObjectName(QStringLiteral("cbRequestNow"));
    connect(d->bnOK, &QPushButton::clicked, this, [this] { d->bnOKClick(); });
    connect(d->bnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(d->cbRequestNow);
    bottom->addStretch(1);
    bottom->addWidget(d->bnOK);
    bottom->addWidget(d->bnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->addWidget(d->pages, 1);
    layout->addLayout(bottom);

    d->passwords = std::make_unique<PhonePasswords>(context.paths);
    connect(d->passwords.get(), &PhonePasswords::saved, this,
            [this](bool ok, const PhoneList &phones, const QString &error, const QString &notice) {
                d->passwordsSaved(ok, phones, error, notice);
            });
    connect(d->passwords.get(), &PhonePasswords::filled, this,
            [this](const PhoneList &phones, const QString &problem) {
                if (!isVisible())
                    return; // closed meanwhile: nothing of it is kept
                for (int a = 1; a <= PhoneSlotCount; ++a) {
                    QLineEdit *field = d->row(a).password;
                    if (d->loaded.slot(a).passwordInKeyring && field->text().isEmpty()
                        && phones.slot(a).number == d->row(a).number->text())
                        field->setText(phones.slot(a).password);
                }
                if (!problem.isEmpty())
                    showMessage(this, MessageKind::Warning, problem);
            });

    d->findControls();
    d->optionsToControls(context.options.values());
    d->phonesToControls(context.phones);

    // As narrow as the rows allow (the texts wrap), as tall as the tallest page.
    const int width = qMax(d->rowGeometry.right() + RowsMargin, minimumSizeHint().width());
    const int height =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : sizeHint().height();
    setFixedSize(width, qMax(MinimumClientHeight, height));
}

SetupWindow::~SetupWindow() = default;

int SetupWindow::exec()
{
    d->editedOptions = d->context.options.values();
    d->optionsToControls(d->editedOptions);
    d->cbRequestNow->setChecked(false);
    d->loaded = PhoneList();
    loadPhones(d->loaded, d->context.paths.phonesFile(), &d->context.phonesFileUnreadable);
    d->phonesToControls(d->loaded);
    d->applyPasswordLimit();
    if (passwordPlaceOf(d->loaded) == PasswordPlace::Keyring)
        d->passwords->fill(d->loaded);
    const int result = QDialog::exec();
    // The passwords typed or read from the keyring are not kept in the
    // window once it has closed.
    for (Private::Row &r : d->rows)
        r.password->clear();
    d->loaded = PhoneList();
    return result;
}

const Options &SetupWindow::options() const
{
    return d->editedOptions;
}

void SetupWindow::setBrokerPassword(const QString &password)
{
    d->edMqttPassword->setText(password);
}

QString SetupWindow::brokerPassword() const
{
    return d->edMqttPassword->text();
}

bool SetupWindow::requestNow() const
{
    // Read however the window was closed: a ticked box asks for a full
    // request even when the edits were cancelled.
    return d->cbRequestNow->isChecked();
}

void SetupWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    centerOnScreen(this);
}

} // namespace zelvant
