#pragma once
// What a phone's history says about its spending, as the alerts, the phones
// window and the command line show it. Worked out from the history by
// core/history/SpendAnalysis; kept here, below every layer that shows it.

#include <QDateTime>

#include <array>
#include <optional>

#include "core/ProgramInfo.h"

namespace zelvant {

// A spend far above the usual one, ending at the phone's newest reading.
struct UnusualSpend
{
    QDateTime since;   // the reading the spend is counted from
    double spent = 0;  // у.е. spent since then (top-ups spend nothing)
    double perDay = 0; // spent per day of the time since then, a day at least
    bool operator==(const UnusualSpend &) const = default;
};

struct SpendState
{
    // The median daily spend; none while the history is too short to say.
    std::optional<double> usualDaily;
    std::optional<UnusualSpend> unusual;
    bool operator==(const SpendState &) const = default;
};

// Indexed by slot - 1, as PhoneResults.
using SpendStates = std::array<SpendState, PhoneSlotCount>;

} // namespace zelvant
