// The controller's decisions: menu states, the retry command and its beep,
// the refresh interval, what happens to cycles asked for at a bad moment.

#include <gtest/gtest.h>

#include "core/PhoneResult.h"
#include "core/config/AppContext.h"
#include "core/tray/MenuState.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::TempFolder;

namespace {

struct Expect
{
    MenuItem item;
    bool enabled;
    bool visible;
};

void expectMenu(const MenuState &logic, std::initializer_list<Expect> expected)
{
    for (const Expect &e : expected) {
        SCOPED_TRACE(int(e.item));
        EXPECT_EQ(logic.item(e.item).enabled, e.enabled);
        EXPECT_EQ(logic.item(e.item).visible, e.visible);
    }
}

// Flags a failed phone on demand and counts how often it was asked.
struct FailedPhones
{
    bool failed = true;
    int asked = 0;
    std::function<bool()> fn()
    {
        return [this] {
            ++asked;
            return failed;
        };
    }
};

} // namespace

TEST(MenuState, MenuInEveryState)
{
    FailedPhones failed;
    MenuState logic(failed.fn());

    // Starting: as created, the retry command is off without asking.
    EXPECT_EQ(logic.state(), ControllerState::Starting);
    expectMenu(logic, {{MenuItem::About, true, true},
                       {MenuItem::Site, true, true},
                       {MenuItem::Setup, true, true},
                       {MenuItem::History, true, true},
                       {MenuItem::PhonesInfo, true, true},
                       {MenuItem::QueryBad, false, true},
                       {MenuItem::StopRequest, true, false},
                       {MenuItem::QueryNow, true, true},
                       {MenuItem::Exit, true, true}});
    EXPECT_EQ(failed.asked, 0);

    // Cycle running: only home page, stop and exit are usable.
    ASSERT_EQ(logic.requestCycle(CycleSource::User, CycleMode::AllPhones, -1),
              CycleDecision::Start);
    EXPECT_EQ(logic.state(), ControllerState::CycleRunning);
    expectMenu(logic, {{MenuItem::About, false, true},
                       {MenuItem::Site, true, true},
                       {MenuItem::Setup, false, true},
                       {MenuItem::History, false, true},
                       {MenuItem::PhonesInfo, false, true},
                       {MenuItem::QueryBad, false, true},
                       {MenuItem::StopRequest, true, true},
                       {MenuItem::QueryNow, false, false},
                       {MenuItem::Exit, true, true}});

    // Idle after the cycle: the retry command is offered while a phone failed.
    EXPECT_FALSE(logic.cycleFinished());
    logic.startupFinished();
    EXPECT_EQ(logic.state(), ControllerState::Idle);
    EXPECT_EQ(failed.asked, 1);
    expectMenu(logic, {{MenuItem::QueryBad, true, true},
                       {MenuItem::QueryNow, true, true},
                       {MenuItem::StopRequest, true, false},
                       {MenuItem::Setup, true, true}});

    // Window open: the same commands off, the query command stays visible.
    logic.windowOpened();
    EXPECT_EQ(logic.state(), ControllerState::WindowOpen);
    expectMenu(logic, {{MenuItem::About, false, true},
                       {MenuItem::Site, true, true},
                       {MenuItem::Setup, false, true},
                       {MenuItem::History, false, true},
                       {MenuItem::PhonesInfo, false, true},
                       {MenuItem::QueryBad, false, true},
                       {MenuItem::StopRequest, true, false},
                       {MenuItem::QueryNow, false, true},
                       {MenuItem::Exit, true, true}});
    logic.windowClosed();
    EXPECT_EQ(logic.state(), ControllerState::Idle);

    // Ending: nothing can be started any more.
    logic.beginEnding();
    EXPECT_EQ(logic.state(), ControllerState::Ending);
    for (int i = 0; i <= int(MenuItem::Exit); ++i)
        EXPECT_FALSE(logic.item(MenuItem(i)).enabled) << i;
    EXPECT_EQ(logic.requestCycle(CycleSource::User, CycleMode::AllPhones, -1), CycleDecision::Skip);
    EXPECT_FALSE(logic.canRequestSinglePhone());
}

TEST(MenuState, RetryCommandAsksOncePerReEnableAndNeverWhenSwitchingOff)
{
    FailedPhones failed;
    MenuState logic(failed.fn());

    failed.failed = false;
    logic.requestCycle(CycleSource::User, CycleMode::AllPhones, -1);
    EXPECT_EQ(failed.asked, 0) << "switching off never asks";
    logic.cycleFinished();
    EXPECT_EQ(failed.asked, 1);
    EXPECT_FALSE(logic.item(MenuItem::QueryBad).enabled);

    // A window opened and closed with a failed phone: asked (and beeped) again.
    failed.failed = true;
    logic.windowOpened();
    EXPECT_EQ(failed.asked, 1);
    logic.windowClosed();
    EXPECT_EQ(failed.asked, 2);
    EXPECT_TRUE(logic.item(MenuItem::QueryBad).enabled);
}

TEST(MenuState, CycleEndingWhileAWindowIsOpenKeepsTheMenuOff)
{
    FailedPhones failed;
    MenuState logic(failed.fn());
    logic.requestCycle(CycleSource::Timer, CycleMode::AllPhones, -1);
    logic.windowOpened(); // e.g. the setup window, which stops the cycle
    EXPECT_FALSE(logic.cycleFinished());
    EXPECT_EQ(logic.state(), ControllerState::WindowOpen);
    EXPECT_FALSE(logic.menuEnabled());
    EXPECT_FALSE(logic.item(MenuItem::Setup).enabled);
    EXPECT_FALSE(logic.item(MenuItem::QueryNow).enabled);
    EXPECT_TRUE(logic.item(MenuItem::QueryNow).visible);
    EXPECT_FALSE(logic.item(MenuItem::StopRequest).visible);
    EXPECT_EQ(failed.asked, 0) << "no beep while the window is still open";

    // Two windows (about on top of nothing else can't happen from the menu,
    // but the history window's own dialogs can): the menu waits for both.
    logic.windowOpened();
    logic.windowClosed();
    EXPECT_FALSE(logic.menuEnabled());
    logic.windowClosed();
    EXPECT_TRUE(logic.menuEnabled());
    EXPECT_EQ(failed.asked, 1);
    logic.windowClosed(); // an unbalanced close does no harm
    EXPECT_EQ(logic.openWindows(), 0);
}

TEST(MenuState, RequestsDuringACycle)
{
    FailedPhones failed;
    MenuState logic(failed.fn());
    EXPECT_TRUE(logic.canRequestSinglePhone());
    ASSERT_EQ(logic.requestCycle(CycleSource::Startup, CycleMode::AllPhones, -1),
              CycleDecision::Start);

    // The refresh tick and the single-phone command are dropped.
    EXPECT_FALSE(logic.canRequestSinglePhone());
    EXPECT_EQ(logic.requestCycle(CycleSource::Timer, CycleMode::AllPhones, -1),
              CycleDecision::Skip);
    EXPECT_EQ(logic.requestCycle(CycleSource::SinglePhone, CycleMode::OnePhone, 7),
              CycleDecision::Skip);

    // A user's request waits for the stopped cycle; the latest one wins.
    EXPECT_EQ(logic.requestCycle(CycleSource::User, CycleMode::AllPhones, -1),
              CycleDecision::Queue);
    EXPECT_EQ(logic.requestCycle(CycleSource::User, CycleMode::FailedPhones, -1),
              CycleDecision::Queue);
    ASSERT_TRUE(logic.cycleFinished());
    EXPECT_EQ(logic.pendingMode(), CycleMode::FailedPhones);
    EXPECT_EQ(logic.pendingSlot(), -1);
    EXPECT_TRUE(logic.cycleRunning());
    EXPECT_FALSE(logic.menuEnabled()) << "no flicker between the two cycles";
    EXPECT_EQ(failed.asked, 0);
    EXPECT_FALSE(logic.cycleFinished()) << "the queue is used once";
    EXPECT_TRUE(logic.menuEnabled());

    // Nothing queued survives leaving the program.
    logic.requestCycle(CycleSource::User, CycleMode::AllPhones, -1);
    logic.requestCycle(CycleSource::User, CycleMode::AllPhones, -1);
    logic.beginEnding();
    EXPECT_FALSE(logic.cycleFinished());

    // While a modal window is open the single-phone command is off too.
    MenuState other(failed.fn());
    other.windowOpened();
    EXPECT_FALSE(other.canRequestSinglePhone());
    other.windowClosed();
    EXPECT_TRUE(other.canRequestSinglePhone());
}

TEST(MenuState, AutomaticRetryNeverBesideAnotherCycleAndKeepsTheSchedule)
{
    FailedPhones failed;
    MenuState logic(failed.fn());
    logic.startupFinished();
    // Not beside a modal window, nor beside another cycle.
    logic.windowOpened();
    EXPECT_EQ(logic.requestCycle(CycleSource::Retry, CycleMode::FailedPhones, -1),
              CycleDecision::Skip);
    logic.windowClosed();
    ASSERT_EQ(logic.requestCycle(CycleSource::User, CycleMode::AllPhones, -1),
              CycleDecision::Start);
    EXPECT_EQ(logic.requestCycle(CycleSource::Retry, CycleMode::FailedPhones, -1),
              CycleDecision::Skip);
    EXPECT_FALSE(logic.cycleFinished());

    // A refresh tick during a retry waits for it instead of being lost.
    ASSERT_EQ(logic.requestCycle(CycleSource::Retry, CycleMode::FailedPhones, -1),
              CycleDecision::Start);
    EXPECT_EQ(logic.runningSource(), CycleSource::Retry);
    EXPECT_EQ(logic.requestCycle(CycleSource::Timer, CycleMode::AllPhones, -1),
              CycleDecision::Queue);
    ASSERT_TRUE(logic.cycleFinished());
    EXPECT_EQ(logic.runningSource(), CycleSource::Timer);
    EXPECT_EQ(logic.pendingMode(), CycleMode::AllPhones);
}

TEST(HasFailedPhones, MonitoredPhonesWithoutFreshResultBeepOnce)
{
    struct
    {
        PhoneList phones;
        PhoneResults results;
    } context;
    int beeps = 0;
    const auto beep = [&beeps] { ++beeps; };

    // No monitored slot: silent, whatever the records say.
    context.results[5].queryOk = false;
    EXPECT_FALSE(hasFailedPhones(context.phones, context.results, beep));
    EXPECT_EQ(beeps, 0);

    context.phones.slot(5).monitored = true;
    context.phones.slot(9).monitored = true;
    EXPECT_TRUE(hasFailedPhones(context.phones, context.results, beep));
    EXPECT_EQ(beeps, 1) << "one beep for any number of failed phones";

    context.results[5].queryOk = true;
    EXPECT_TRUE(hasFailedPhones(context.phones, context.results, beep));
    EXPECT_EQ(beeps, 2);

    context.results[9].queryOk = true;
    context.results[50].queryOk = false; // not monitored
    EXPECT_FALSE(hasFailedPhones(context.phones, context.results, beep));
    EXPECT_EQ(beeps, 2);
    EXPECT_FALSE(hasFailedPhones(context.phones, context.results, nullptr));
}
