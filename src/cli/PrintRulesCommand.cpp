// Zelvant --print-rules: the built-in page rules in the format of
// "page-rules.ini", the starting point for a user's own.
#include "cli/CommandLine.h"

#include "core/retrieval/PageRulesFile.h"

namespace zelvant {

int runPrintRulesMode(const CliRequest &, const AppPaths &)
{
    // UTF-8 with its byte order mark whatever the terminal uses: output sent
    // into a file is a rules file the program reads as it is.
    writeTo(stdout, pageRulesFileText(PageRules::builtIn()));
    return 0;
}

} // namespace zelvant
