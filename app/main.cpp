#include <windows.h>

#include "app/program.h"

// The program reads no command line: everything it needs is the hosts file.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return runProgram(instance); }
