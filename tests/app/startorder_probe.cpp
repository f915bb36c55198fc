// startorder_probe: the program's own two globals (app/QbxMenderApp.cpp),
// built by the C++ runtime as in the program. A hook on GetVersionExA, in
// place before any global of this program is built, notes each time the
// version is asked for whether the application object was already there;
// main prints what it saw.
#include <windows.h>

#include <stdio.h>

#include "ImportHook.h"
#include "QbxMenderApp.h"

namespace
{
int g_nCalls = 0;
int g_nCallsBeforeApp = 0;
ImportHook* g_pHook = NULL;

BOOL WINAPI RecordGetVersionEx(LPOSVERSIONINFOA pVersion)
{
    ++g_nCalls;
    if (AfxGetApp() != &theApp)
        ++g_nCallsBeforeApp;
    return g_pHook->Original<decltype(&GetVersionExA)>()(pVersion);
}

// Priority 101 runs before every global of the default priority.
__attribute__((constructor(101))) void HookBeforeTheGlobals()
{
    static ImportHook hook("kernel32.dll", "GetVersionExA", reinterpret_cast<const void*>(&RecordGetVersionEx));
    g_pHook = &hook;
}
} // namespace

int main()
{
    printf("hooked=%d asked=%d before-the-application=%d\n", g_pHook != NULL && g_pHook->Installed() ? 1 : 0, g_nCalls,
           g_nCallsBeforeApp);
    return 0;
}
