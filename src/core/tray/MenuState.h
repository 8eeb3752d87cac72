#pragma once
// The tray controller's decisions, kept apart from the widgets so that they
// can be checked without a tray: which menu commands are usable in which
// state, when the retry command comes back (with its beep), the refresh
// interval, and whether a requested cycle starts, waits or is dropped.

#include <QString>

#include <functional>

#include "core/CycleMode.h"

namespace zelvant {

class PhoneList;
class PhoneResults;
struct Options;

enum class MenuItem {
    About,       // ppmAbout
    Site,        // ppmSite
    Setup,       // ppmSetup
    History,     // ppmHistory
    PhonesInfo,  // ppmPhonesInfo
    QueryBad,    // ppmQueryBad
    StopRequest, // ppmStopRequest
    QueryNow,    // ppmQueryNow
    Exit         // ppmExit
};

struct MenuItemState
{
    bool enabled = true;
    bool visible = true;
    bool operator==(const MenuItemState &) const = default;
};

enum class ControllerState { Starting, Idle, CycleRunning, WindowOpen, Ending };

// Who asks for a request cycle.
enum class CycleSource {
    Startup,     // first cycle after start ("cbExecAfterRun")
    Timer,       // refresh timer tick
    User,        // tray menu, setup window's "save and request"
    SinglePhone, // phones window, one slot
    Retry        // the automatic retry of network failures
};

enum class CycleDecision {
    Start, // start it now
    Queue, // start it when the running cycle has ended
    Skip   // drop it
};

// A slot is failed when it is monitored and has no fresh result. At the first
// one the beeper sounds once and true is returned; none: false, silently.
bool hasFailedPhones(const PhoneList &phones, const PhoneResults &results,
                     const std::function<void()> &beeper);

class MenuState
{
public:
    // failedPhones is asked (and may beep) each time the menu comes back on.
    explicit MenuState(std::function<bool()> failedPhones);

    ControllerState state() const;
    MenuItemState item(MenuItem item) const;
    bool menuEnabled() const { return m_menuEnabled; }
    bool cycleRunning() const { return m_cycleRunning; }
    int openWindows() const { return m_openWindows; }
    bool isEnding() const { return m_ending; }

    // The start-up sequence is over (the first cycle, if any, has ended).
    void startupFinished();

    // What to do with a request for a cycle. Start marks the cycle running;
    // Queue keeps the request (the latest wins) for takePending().
    CycleDecision requestCycle(CycleSource source, CycleMode mode, int slot);
    // The cycle ended: returns true when the caller should then start the
    // queued request (see pendingMode/pendingSlot), which is now running.
    bool cycleFinished();
    CycleMode pendingMode() const { return m_pendingMode; }
    int pendingSlot() const { return m_pendingSlot; }
    // Who asked for the running (or last) cycle.
    CycleSource runningSource() const { return m_runningSource; }

    // A modal window (setup, about, history) opens or closes. While any is
    // open the commands stay off, also when a cycle ends meanwhile.
    void windowOpened();
    void windowClosed();

    // The single-phone command of the phones window.
    bool canRequestSinglePhone() const;

    void beginEnding();

private:
    // Remembers the request to start once the running cycle has ended.
    CycleDecision queue(CycleSource source, CycleMode mode, int slot);
    void enableMenu(bool on);
    void update();

    std::function<bool()> m_failedPhones;
    bool m_starting = true;
    bool m_cycleRunning = false;
    int m_openWindows = 0;
    bool m_ending = false;
    bool m_menuEnabled = true;
    bool m_queryBadEnabled = false;
    bool m_hasPending = false;
    CycleMode m_pendingMode = CycleMode::AllPhones;
    int m_pendingSlot = -1;
    CycleSource m_pendingSource = CycleSource::User;
    CycleSource m_runningSource = CycleSource::User;
};

} // namespace zelvant
