#include "core/tray/MenuState.h"

#include "core/PhoneResult.h"
#include "core/config/PhoneList.h"

namespace zelvant {

bool hasFailedPhones(const PhoneList &phones, const PhoneResults &results,
                     const std::function<void()> &beeper)
{
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        if (isFailedSlot(phones.isMonitored(slot), results[slot])) {
            if (beeper)
                beeper();
            return true;
        }
    }
    return false;
}

MenuState::MenuState(std::function<bool()> failedPhones)
    : m_failedPhones(std::move(failedPhones))
{
}

ControllerState MenuState::state() const
{
    if (m_ending)
        return ControllerState::Ending;
    if (m_cycleRunning)
        return ControllerState::CycleRunning;
    if (m_openWindows > 0)
        return ControllerState::WindowOpen;
    if (m_starting)
        return ControllerState::Starting;
    return ControllerState::Idle;
}

MenuItemState MenuState::item(MenuItem item) const
{
    if (m_ending)
        return {false, item != MenuItem::StopRequest};
    switch (item) {
    case MenuItem::About:
    case MenuItem::Setup:
    case MenuItem::History:
    case MenuItem::PhonesInfo:
        return {m_menuEnabled, true};
    case MenuItem::QueryNow:
        return {m_menuEnabled, !m_cycleRunning};
    case MenuItem::QueryBad:
        return {m_menuEnabled && m_queryBadEnabled, true};
    case MenuItem::StopRequest:
        return {true, m_cycleRunning};
    case MenuItem::Site:
    case MenuItem::Exit:
        return {true, true};
    }
    return {};
}

void MenuState::startupFinished()
{
    m_starting = false;
}

CycleDecision MenuState::requestCycle(CycleSource source, CycleMode mode, int slot)
{
    if (m_ending)
        return CycleDecision::Skip;
    // The automatic retry never runs beside another cycle or a modal window;
    // it asks again when they are over.
    if (source == CycleSource::Retry && (m_cycleRunning || m_openWindows > 0))
        return CycleDecision::Skip;
    if (!m_cycleRunning) {
        m_cycleRunning = true;
        m_runningSource = source;
        update();
        return CycleDecision::Start;
    }
    switch (source) {
    case CycleSource::Timer:
        // A retry of a few phones must not cost the schedule a whole cycle.
        if (m_runningSource == CycleSource::Retry)
            return queue(source, mode, slot);
        return CycleDecision::Skip;
    case CycleSource::SinglePhone:
    case CycleSource::Retry:
        // The running cycle already brings fresh values; a second one on top
        // of it would only double the load on the operator's site.
        return CycleDecision::Skip;
    case CycleSource::Startup:
    case CycleSource::User:
        // The user stopped the running cycle and asked for a new one: it
        // starts as soon as the stopped one has wound down.
        return queue(source, mode, slot);
    }
    return CycleDecision::Skip;
}

CycleDecision MenuState::queue(CycleSource source, CycleMode mode, int slot)
{
    m_hasPending = true;
    m_pendingSource = source;
    m_pendingMode = mode;
    m_pendingSlot = slot;
    return CycleDecision::Queue;
}

bool MenuState::cycleFinished()
{
    m_cycleRunning = false;
    if (m_hasPending && !m_ending) {
        m_hasPending = false;
        m_cycleRunning = true;
        m_runningSource = m_pendingSource;
        return true;
    }
    m_hasPending = false;
    update();
    return false;
}

void MenuState::windowOpened()
{
    ++m_openWindows;
    update();
}

void MenuState::windowClosed()
{
    if (m_openWindows > 0)
        --m_openWindows;
    update();
}

bool MenuState::canRequestSinglePhone() const
{
    return !m_ending && !m_cycleRunning && m_openWindows == 0;
}

void MenuState::beginEnding()
{
    m_ending = true;
    m_hasPending = false;
    update();
}

void MenuState::enableMenu(bool on)
{
    m_menuEnabled = on;
    // The retry command is only offered (with its beep) when the menu comes
    // back on; switching off never asks.
    m_queryBadEnabled = on && m_failedPhones && m_failedPhones();
}

void MenuState::update()
{
    const bool wanted = !m_ending && !m_cycleRunning && m_openWindows == 0;
    if (wanted != m_menuEnabled)
        enableMenu(wanted);
}

} // namespace zelvant
