// Entry point of the editor: start, run the message loop, tear down; the exit code is 0.
#include "app/program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    if (StartProgram(instance, commandLine)) RunMessageLoop();
    EndProgram();
    return 0;
}
