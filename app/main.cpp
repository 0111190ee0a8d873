// Entry point of the editor. The main window arrives with the window layer; until then
// the program says so and names the card it was given.
#include <windows.h>

#include <stdio.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    char text[512];
    _snprintf(text, sizeof text, "The editor window is not built yet.\n\nCard: %s",
              commandLine[0] != '\0' ? commandLine : "<untitled>");
    text[sizeof text - 1] = '\0';
    MessageBoxA(nullptr, text, "Oskan vCard Editor", MB_OK | MB_ICONINFORMATION);
    return 0;
}
