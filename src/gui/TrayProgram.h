#pragma once

namespace zelvant {

// Runs the tray program: single-instance check, windows, tray icon, event
// loop. Returns the process exit status.
int runTrayProgram(int argc, char *argv[]);

} // namespace zelvant
