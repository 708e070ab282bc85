#pragma once

#include <windows.h>

// The program's life on its one thread: prepares the thread, creates the
// blocked-site list, loads the main window (or reports "载入启动窗口失败"),
// runs the message loop until the window is closed, and shuts down. Returns
// the exit code the quit request carried (0). Fatal errors end the process
// from inside with exit code -1.
int runProgram(HINSTANCE instance);
