// Placeholder until this mode is built; replaced by its own implementation.
#include "CommandLine.h"

#include <cstdio>

namespace zelvant {

int RunParseMode(const CliRequest &, const AppPaths &)
{
    std::fputs("Zelvant: this mode is not built yet\n", stderr);
    return 2;
}

} // namespace zelvant
