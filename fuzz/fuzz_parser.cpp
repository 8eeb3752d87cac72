// The balance page parser against a plain reading of the same scan (see
// ReferenceScan.h): every field must agree, to the bit for the numbers.
// Input: a page in Windows-1251, or, when the first byte is odd, UTF-16
// after that byte (characters the code page has not).

#include <cstring>

#include "FuzzCheck.h"
#include "ReferenceScan.h"
#include "core/PhoneResult.h"
#include "core/TextCodec.h"
#include "core/retrieval/BalancePageParser.h"

using namespace zelvant;
using namespace zelvant::fuzz;

namespace {

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString page = size > 0 && (data[0] & 1)
                             ? QString::fromUtf16(reinterpret_cast<const char16_t *>(data + 1),
                                                  qsizetype((size - 1) / 2))
                             : fromWindows1251(bytesOf(data, size));
    PhoneResult parsed;
    parseBalancePage(page, parsed);
    const ScanResult expected = referenceScan(page);
    const bool same =
        parsed.userName == expected.userName && parsed.phoneNumber == expected.phoneNumber
        && sameBits(parsed.usdRate, expected.usdRate) && sameBits(parsed.balance, expected.balance)
        && sameBits(parsed.averagePerDay, expected.averagePerDay)
        && parsed.turnOffDays == expected.turnOffDays
        && sameBits(parsed.recommendedPayment, expected.recommendedPayment)
        && parsed.smsLeft == expected.smsLeft && parsed.minutesLeft == expected.minutesLeft
        && parsed.balanceExpiresDays == expected.balanceExpiresDays;
    if (!same) {
        std::fprintf(stderr,
                     "parser: [%s] [%s] %g %g %g %d %g %d %d %d\n"
                     "plain:  [%s] [%s] %g %g %g %d %g %d %d %d\n",
                     qPrintable(parsed.userName), qPrintable(parsed.phoneNumber), parsed.usdRate,
                     parsed.balance, parsed.averagePerDay, parsed.turnOffDays,
                     parsed.recommendedPayment, parsed.smsLeft, parsed.minutesLeft,
                     parsed.balanceExpiresDays, qPrintable(expected.userName),
                     qPrintable(expected.phoneNumber), expected.usdRate, expected.balance,
                     expected.averagePerDay, expected.turnOffDays, expected.recommendedPayment,
                     expected.smsLeft, expected.minutesLeft, expected.balanceExpiresDays);
    }
    FUZZ_CHECK(same);
    return 0;
}
