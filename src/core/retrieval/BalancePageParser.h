#pragma once
// Turns the text of one balance page of the self-service system into a
// phone's result values. Pure text work: no files, settings or clock, never
// fails; what it cannot find stays 0 or empty.

#include <QString>

#include <array>

#include "core/PhoneResult.h"
#include "core/retrieval/PageRules.h"

namespace zelvant {

// Resets record and fills UserName, PhoneNum, Balance, Average, TurnOff,
// Recomend, SMS, Min, BalExpired and USDRate from the page by the built-in
// rules.
void parseBalancePage(const QString &page, PhoneResult &record);

// Which step set a field, for a user who has to find out why a page reads
// wrong. Lines count from 1 as an editor shows them.
struct FieldOrigin
{
    int step = 0;      // 1-based step number; 0 when no step set the field
    int line = 0;      // where the step's key phrase stood
    int valueLine = 0; // where the value was read
    QString value;     // the value text the conversion was given
    bool converted = false;
};

// The most work one page's scan does, counted in characters looked at (the
// lines each step searches, the values it cuts out) plus a fixed cost for
// every search and every value: a rules file whose phrase stands on every
// line of a huge page would otherwise hold the tray program for minutes.
// This is well under a second; a real balance page takes a hundredth of it.
constexpr qint64 MaxPageScanWork = 256 * 1024 * 1024;

struct PageReading
{
    PhoneResult record;
    int markerLine = 0; // the first line holding the marker, 0 when none does
    // False when the scan stopped at MaxPageScanWork: the values are those of
    // the lines before, and the page gives no result.
    bool complete = true;
    std::array<FieldOrigin, PageFieldCount> origins;

    bool hasMarker() const { return markerLine > 0; }
    const FieldOrigin &origin(PageField field) const { return origins[std::size_t(field)]; }
    // A page gives a result only when it carries the marker and its last
    // balance firing converted: a balance of 0 read from the page is real, a 0
    // that no step or no number gave is not.
    bool hasBalance() const
    {
        const FieldOrigin &balance = origin(PageField::Balance);
        return complete && hasMarker() && balance.step > 0 && balance.converted;
    }
};

// Reads the page by the rules: the record as parseBalancePage fills it with
// the same rules, and where each value came from.
PageReading readBalancePage(const QString &page, const PageRules &rules);

// The 1-based line of text that holds position at; lines end at CR LF, a
// lone CR or a lone LF, as in the scan.
int lineNumberAt(QStringView text, qsizetype at);

QString replaceEntities(const QString &text);
QString stripTags(const QString &line);
QString extractValue(const QString &line, const QString &prefix, const QString &endMark,
                     const QString &defaultText);
float extractFloat(const QString &line, const QString &prefix, const QString &endMark,
                   float defaultValue);
qint32 extractInt(const QString &line, const QString &prefix, const QString &endMark,
                  qint32 defaultValue);

} // namespace zelvant
