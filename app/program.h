// The life of the process: start-up in order, the message loop, and the teardown in the
// reverse order. The program's entry point and the scenario tests both run it.
#pragma once

#include "card/platform.h"

// Starts everything and creates the main window with the command-line tail; false when
// the program should end at once (after its teardown).
bool StartProgram(HINSTANCE instance, const char* commandLine);
// Runs until the main window is gone.
void RunMessageLoop();
// Releases what StartProgram made, in reverse order. Safe after a failed start.
void EndProgram();
// One message from the queue, handled as the loop does; false when there is none.
bool DispatchOneMessage(MSG* message);
