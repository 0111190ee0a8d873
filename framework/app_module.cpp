// The one module of the process.
#include "framework/app_module.h"

AppModule appModule;

void InitAppModule(HINSTANCE instance)
{
    appModule.instance = instance;
    appModule.creationList = nullptr;
    InitializeCriticalSection(&appModule.creationLock);
}

void TermAppModule()
{
    DeleteCriticalSection(&appModule.creationLock);
    appModule.creationList = nullptr;
    appModule.instance = nullptr;
}
