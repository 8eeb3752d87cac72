#include "gui/TrayPresenter.h"

#include <QTimer>

#include "core/Logging.h"
#include "core/ProgramInfo.h"
#include "core/config/AppContext.h"
#include "core/history/ResultStore.h"
#include "core/retrieval/RequestCycle.h"
#include "core/tray/BalanceIcon.h"
#include "core/tray/PhonesTable.h"
#include "core/tray/TrayAnimation.h"
#include "core/tray/TrayService.h"
#include "gui/PhonesWindow.h"

namespace zelvant {

TrayPresenter::TrayPresenter(const AppContext &context, const ResultStore &store, TrayService &tray,
                             PhonesWindow &phones, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_store(store)
    , m_tray(tray)
    , m_phones(phones)
    , m_animation(std::make_unique<TrayAnimation>(tray))
{
    connect(&store, &ResultStore::resultChanged, this, &TrayPresenter::resultChanged);
}

TrayPresenter::~TrayPresenter()
{
    m_animation->suspend();
}

void TrayPresenter::follow(const RequestCycle &cycle)
{
    connect(&cycle, &RequestCycle::progress, this, [this](int, int count, int total) {
        if (m_stopped)
            return;
        m_tray.traySetTip(ProgramTitle + QStringLiteral("\r\n")
                          + tr("Телефон %1/%2. Запрос...").arg(count).arg(total));
    });
    connect(&cycle, &RequestCycle::phoneStarted, this, [this] {
        if (m_stopped)
            return;
        m_shownIcon = QImage();
        m_animation->resume();
    });
    connect(&cycle, &RequestCycle::phoneFinished, this, [this] {
        m_animation->suspend();
        setIcon(standardTrayIcon());
        showResults();
    });
    connect(&cycle, &RequestCycle::cycleFinished, this, [this] {
        m_animation->suspend();
        showResults();
        showBalance();
    });
}

void TrayPresenter::setAnimationFrameMs(int milliseconds)
{
    m_animation->suspend();
    m_animation = std::make_unique<TrayAnimation>(m_tray, milliseconds);
}

void TrayPresenter::resultChanged()
{
    // A cycle's start changes up to every slot at once: one refresh for all.
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QTimer::singleShot(0, this, [this] {
        if (m_refreshQueued)
            showResults();
    });
}

void TrayPresenter::showResults()
{
    m_refreshQueued = false;
    if (m_stopped)
        return;
    QString tip = m_phones.fillGrid();
    if (m_brokerUnreachable) {
        // First, so that the balances are what the length limit cuts.
        QStringList lines{tr("MQTT-брокер недоступен")};
        if (!tip.isNull())
            lines += tip.split(QStringLiteral("\r\n"));
        tip = composeTrayTip(lines, TrayTipMaxLength);
    }
    if (!tip.isNull())
        m_tray.traySetTip(tip);
}

void TrayPresenter::setBrokerUnreachable(bool unreachable)
{
    if (unreachable == m_brokerUnreachable)
        return;
    m_brokerUnreachable = unreachable;
    showResults();
}

void TrayPresenter::showBalance()
{
    setIcon(trayBalanceIcon(m_context.phones, m_store.results()));
}

void TrayPresenter::stopShowing()
{
    m_animation->suspend();
    m_stopped = true;
}

void TrayPresenter::setIcon(const QImage &icon)
{
    if (m_stopped || (!m_shownIcon.isNull() && icon == m_shownIcon))
        return;
    qCDebug(lcTray) << "tray icon drawn anew";
    m_shownIcon = icon;
    m_tray.traySetIcon(icon);
}

} // namespace zelvant
