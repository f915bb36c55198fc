// The one call into the maker's installer library, made so that it does not
// depend on the calling convention the library was built with.
#pragma once

#include <windows.h>

// The entry point as the maker documents it.
typedef int(WINAPI* PFN_UPDATEINFDEVICEDRIVER)(const char* pszInfPath, int nArg2, int nArg3, char* pszBuffer);

// Calls pfnUpdate with the four arguments and returns its result. On i686 the
// library is not ours and nothing fixes its convention: a callee built
// __cdecl leaves its arguments on the stack, where a __stdcall caller expects
// them gone. The call goes through a few lines that keep the stack pointer
// and the registers a callee must keep, whatever it pops. x86_64 has one
// convention.
int CallUpdateInfDeviceDriver(PFN_UPDATEINFDEVICEDRIVER pfnUpdate, const char* pszInfPath, int nArg2, int nArg3,
                              char* pszBuffer);
