// The program's start-up routine: creates the operator, registers the end routine that
// destroys it, loads MainWindow and runs the message loop until the window is closed.
// Reads no command line, environment or settings of its own.
#pragma once

namespace quillo::app {

// Runs the program on the calling (GUI) thread and returns the exit code, 0.
int StartUp();

}  // namespace quillo::app
