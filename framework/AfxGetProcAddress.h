// AfxGetProcAddress: a function that not every Windows (or library) has,
// looked up by name with the type the caller gives it; NULL when the module
// or the function is missing.
#pragma once

#include <windows.h>

template <typename PFN> PFN AfxGetProcAddress(HMODULE hModule, LPCSTR pszName)
{
    if (hModule == NULL)
        return NULL;
    // Through a plain function pointer type, the one cast that does not
    // pretend FARPROC had the function's signature.
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(::GetProcAddress(hModule, pszName)));
}
