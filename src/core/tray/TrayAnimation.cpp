#include "core/tray/TrayAnimation.h"

#include "core/tray/BalanceIcon.h"
#include "core/tray/TrayService.h"

namespace zelvant {

TrayAnimation::TrayAnimation(TrayService &tray, int frameMs, QObject *parent)
    : QObject(parent)
    , m_tray(tray)
    , m_frames(animationFrames())
{
    m_timer.setInterval(frameMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TrayAnimation::showNextFrame);
}

void TrayAnimation::resume()
{
    if (m_timer.isActive())
        return;
    showNextFrame();
    m_timer.start();
}

void TrayAnimation::suspend()
{
    // The timer lives on this thread, so once it is stopped no queued tick
    // can bring a frame back over the icon that the caller sets next.
    m_timer.stop();
}

bool TrayAnimation::isRunning() const
{
    return m_timer.isActive();
}

void TrayAnimation::showNextFrame()
{
    if (m_index < 1 || m_index > m_frames.size())
        m_index = 1;
    if (!m_frames.isEmpty())
        m_tray.traySetIcon(m_frames.at(m_index - 1));
    m_index = m_index % int(qMax<qsizetype>(m_frames.size(), 1)) + 1;
}

} // namespace zelvant
