// System libraries by full path: the spooler and account libraries that the
// program calls directly come through the delay-load helper, whose hooks
// here load them from the system folder only, never by a search that could
// find a planted copy, and turn a library that cannot be loaded into calls
// that fail instead of an exception that ends the process.
#pragma once

#include <windows.h>

// Loads pszName (a file name such as "netapi32.dll") from the system folder;
// NULL when it cannot be.
HMODULE LoadSystemLibrary(const char* pszName);

// Puts the hooks in place; the environment service does so before any
// delay-loaded call can happen.
void InstallDelayLoadHooks();
