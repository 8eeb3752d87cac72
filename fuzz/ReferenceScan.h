#pragma once
// A plain reading of the balance page scan: whole page lowered, every line
// searched for every phrase, tags stripped by deleting "<...>" from the
// front again and again. Slow and obvious, so that the real parser, which
// takes shortcuts, can be checked against it.

#include <QString>

namespace zelvant::fuzz {

// The fields the scan fills, under the names of PhoneResult.
struct ScanResult
{
    QString userName;
    QString phoneNumber;
    float usdRate = 0;
    float balance = 0;
    float averagePerDay = 0;
    qint32 turnOffDays = 0;
    float recommendedPayment = 0;
    qint32 smsLeft = 0;
    qint32 minutesLeft = 0;
    qint32 balanceExpiresDays = 0;
};

ScanResult referenceScan(const QString &page);

} // namespace zelvant::fuzz
