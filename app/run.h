// The program's start-up and run, as main() does them; the start-up benchmark
// runs exactly the same, with marks between the steps.
#pragma once

#include <functional>

namespace vp {

class Setup;

// Called after each step of the start-up: "platform" (the platform chosen
// and the session bus settled), "app" (QApplication built and
// named), "theme" (theme, Qt's Czech translation and the trace installed),
// "setup" (clock, boxes and the program built; `setup` is null before) and
// "shown" (the splash screen shown). Returning false ends the start-up there
// with exit status 2.
using StartupMark = std::function<bool(const char* step, Setup* setup)>;

// Chooses the platform, starts Qt (with none of the command line but the
// program's path), shows the splash screen and runs until the program ends.
// Returns the exit status.
int run(char* programPath, const StartupMark& mark = {});

} // namespace vp
