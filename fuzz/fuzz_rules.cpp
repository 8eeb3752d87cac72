// Page rules files: whatever the file holds, it is either refused with a
// reason that shows no control character, or read; rules that were read,
// written as "--print-rules" writes them and read again, are the same rules.
// Input: the bytes of page-rules.ini.

#include <QFile>

#include "FuzzCheck.h"
#include "core/retrieval/PageRulesFile.h"

using namespace zelvant;
using namespace zelvant::fuzz;

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = scratchFolder() + QStringLiteral("/page-rules.ini");
    write(path, bytesOf(data, size));
    PageRules rules;
    QString error;
    if (!readPageRules(path, &rules, &error)) {
        FUZZ_CHECK(!error.isEmpty());
        for (const QChar c : error)
            FUZZ_CHECK(c.category() != QChar::Other_Control);
        return 0;
    }
    FUZZ_CHECK(!rules.marker.isEmpty() && !rules.steps.isEmpty());
    FUZZ_CHECK(rules.steps.size() <= MaxPageSteps);

    write(path, pageRulesFileText(rules));
    PageRules again;
    FUZZ_CHECK(readPageRules(path, &again, &error));
    FUZZ_CHECK(again == rules);
    return 0;
}
