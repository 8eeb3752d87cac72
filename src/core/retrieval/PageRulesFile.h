#pragma once
// The page rules file "page-rules.ini": a user's own rules for a reworded
// operator's page, read instead of the built-in ones. A section "Marker" with
// the key "Phrase", and sections "Step1" ... "StepN" with the keys Key, Runs,
// ValueLine, Case, Prefix, End, Convert and Field. Values may stand in double
// quotes, which keeps their blanks.

#include <QByteArray>
#include <QString>

#include "core/retrieval/PageRules.h"

namespace zelvant {

// A rules file is a few kilobytes; anything much larger is no rules file.
constexpr qint64 MaxPageRulesFileBytes = 1024 * 1024;

// Reads a rules file (Windows-1251, or UTF-8 with a byte order mark). A file
// that cannot be used is refused as a whole: false, and *error names the
// section and key at fault, with the file's text quoted escaped. Only an
// ordinary file of at most MaxPageRulesFileBytes is read; a pipe, a device
// or a link to one is refused without waiting.
bool readPageRules(const QString &path, PageRules *rules, QString *error);

// The rules in the file's format, as UTF-8 with a byte order mark: what
// "--print-rules" writes, the starting point for an edit.
QByteArray pageRulesFileText(const PageRules &rules);

// The rules a request uses: those of the file at path when it exists and can
// be used, else the built-in ones. *refusal says why an existing file was not
// used (empty when it was, or when there is none).
PageRules loadPageRules(const QString &path, QString *refusal);

} // namespace zelvant
