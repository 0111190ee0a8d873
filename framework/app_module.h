// The program's module: its instance handle and the list of dialog objects that wait
// for their window's first message.
#pragma once

#include <windows.h>

class DialogBinding;

// One dialog object waiting for its window. It lives inside the object and is on the
// list only from registration until the dialog's first message (or a failed creation).
struct CreationRecord {
    DialogBinding* object;
    DWORD threadId;
    CreationRecord* next;
};

struct AppModule {
    // The module that holds every resource: dialogs, menus, strings and images.
    HINSTANCE instance;
    // Waiting records, newest first; guarded by creationLock.
    CreationRecord* creationList;
    CRITICAL_SECTION creationLock;
};

extern AppModule appModule;

// Call once before the first window object is registered.
void InitAppModule(HINSTANCE instance);
// Call after the last window object has been destroyed.
void TermAppModule();
