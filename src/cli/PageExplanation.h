#pragma once
// What "--parse --explain" adds: whether the page carries the marker, and for
// every field the step and line that set it, or that none did. Lines count
// from firstLine, the number of the page's first line in its file.

#include <QJsonObject>
#include <QString>

#include "core/retrieval/BalancePageParser.h"
#include "core/retrieval/PageRules.h"

namespace zelvant {

// The "Field: value" lines of a page, each followed by where the value came
// from, under a first line about the marker.
QString pageExplanationText(const PageReading &reading, const PageRules &rules, int firstLine);

// The same as a JSON object: {"Marker": {...}, "Fields": {"Balance": {...} or null, ...}}.
QJsonObject pageExplanationJson(const PageReading &reading, const PageRules &rules, int firstLine);

} // namespace zelvant
