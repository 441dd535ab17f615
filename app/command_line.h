#pragma once

// The program without its window: `--export` and `--import` on the ledger beside the program (or
// in the folder --data names), for scripts and for users who keep their bills in folders.

namespace app {

// Whether the arguments ask for a command rather than the window: any argument with two leading
// dashes, or -h, -v, -?. The window's own toolkit options (-platform, -style) take one dash.
bool wantsCommand(int argc, char** argv);

// Runs the command under a QCoreApplication, so that no display is needed. Prints one summary line
// to standard output and returns 0; on a failure prints the reason to standard error and returns
// 1 with nothing changed, on a wrong command line returns 2.
int runCommand(int argc, char** argv);

}  // namespace app
