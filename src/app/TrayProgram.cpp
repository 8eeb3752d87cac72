// Placeholder until the tray program is built; replaced by its own implementation.
#include "TrayProgram.h"

#include <cstdio>

namespace zelvant {

int RunTrayProgram(int, char *[])
{
    std::fputs("Zelvant: the tray program is not built yet; see --help\n", stderr);
    return 2;
}

} // namespace zelvant
