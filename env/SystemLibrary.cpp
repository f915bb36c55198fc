// The delay-load helper's hooks and the system-folder load they use.
#include "SystemLibrary.h"

#include <delayimp.h>
#include <lm.h>
#include <string.h>
#include <winspool.h>

namespace
{
// What each delay-imported function answers when its library cannot be
// loaded: the failure the function itself gives for an unusable system.
NET_API_STATUS WINAPI FailNetUserGetInfo(LPCWSTR, LPCWSTR, DWORD, LPBYTE* bufptr)
{
    if (bufptr != NULL)
        *bufptr = NULL;
    return ERROR_MOD_NOT_FOUND;
}

NET_API_STATUS WINAPI FailNetApiBufferFree(LPVOID)
{
    return ERROR_MOD_NOT_FOUND;
}

BOOL WINAPI FailOpenPrinterA(LPSTR, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA)
{
    if (phPrinter != NULL)
        *phPrinter = NULL;
    return FALSE;
}

BOOL WINAPI FailGetPrinterA(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD pcbNeeded)
{
    if (pcbNeeded != NULL)
        *pcbNeeded = 0;
    return FALSE;
}

BOOL WINAPI FailClosePrinter(HANDLE)
{
    return FALSE;
}

// One entry per function of cmake/delayimp/*.def.
struct FailingImport
{
    const char* pszLibrary;
    const char* pszFunction;
    FARPROC pfn;
};

template <typename F> FARPROC AsFarProc(F pfn)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(pfn));
}

const FailingImport c_failingImports[] = {
    {"netapi32.dll", "NetUserGetInfo", AsFarProc(FailNetUserGetInfo)},
    {"netapi32.dll", "NetApiBufferFree", AsFarProc(FailNetApiBufferFree)},
    {"winspool.drv", "OpenPrinterA", AsFarProc(FailOpenPrinterA)},
    {"winspool.drv", "GetPrinterA", AsFarProc(FailGetPrinterA)},
    {"winspool.drv", "ClosePrinter", AsFarProc(FailClosePrinter)},
};

FARPROC FindFailingImport(const DelayLoadInfo* pdli)
{
    if (!pdli->dlp.fImportByName || pdli->szDll == NULL || pdli->dlp.szProcName == NULL)
        return NULL;
    for (size_t i = 0; i < sizeof(c_failingImports) / sizeof(c_failingImports[0]); ++i)
    {
        const FailingImport& imp = c_failingImports[i];
        // The names are the .def files' own, spelt as there.
        if (strcmp(pdli->szDll, imp.pszLibrary) == 0 && strcmp(pdli->dlp.szProcName, imp.pszFunction) == 0)
            return imp.pfn;
    }
    return NULL;
}

// The library loaded at the start of a call of the helper, handed to it
// when it is about to load the library itself. The program calls these
// libraries from its one user-interface thread.
HMODULE s_hPending = NULL;

// Ends the process as the helper would, but without its search by name: a
// delay import without a failing stand-in is a fault of the program.
FARPROC Fail(PDelayLoadInfo pdli, DWORD dwError)
{
    ULONG_PTR args[1] = {reinterpret_cast<ULONG_PTR>(pdli)};
    ::RaiseException(VcppException(ERROR_SEVERITY_ERROR, dwError), 0, 1, args);
    return NULL;
}

FARPROC WINAPI NotifyHook(unsigned dliNotify, PDelayLoadInfo pdli)
{
    switch (dliNotify)
    {
    case dliStartProcessing:
    {
        // The helper loads a library it has not loaded yet by its bare name
        // unless it is given one: load it here, from the system folder, or
        // answer the call with its failure.
        HMODULE hLoaded = LoadSystemLibrary(pdli->szDll);
        if (hLoaded == NULL)
        {
            FARPROC pfnFail = FindFailingImport(pdli);
            return pfnFail != NULL ? pfnFail : Fail(pdli, ERROR_MOD_NOT_FOUND);
        }
        if (s_hPending != NULL)
            ::FreeLibrary(s_hPending);
        s_hPending = hLoaded;
        return NULL;
    }
    case dliNotePreLoadLibrary:
    {
        HMODULE hModule = s_hPending;
        s_hPending = NULL;
        return reinterpret_cast<FARPROC>(hModule);
    }
    case dliNotePreGetProcAddress:
        // The helper had the library already: the extra reference goes.
        if (s_hPending != NULL)
        {
            ::FreeLibrary(s_hPending);
            s_hPending = NULL;
        }
        return NULL;
    }
    return NULL;
}

FARPROC WINAPI FailureHook(unsigned dliNotify, PDelayLoadInfo pdli)
{
    // A system library without the function (an older Windows): the call
    // fails as the function would.
    if (dliNotify == dliFailGetProc)
        return FindFailingImport(pdli);
    return NULL;
}
} // namespace

HMODULE LoadSystemLibrary(const char* pszName)
{
    char szPath[MAX_PATH];
    const UINT nDir = ::GetSystemDirectoryA(szPath, MAX_PATH);
    const int nName = pszName != NULL ? lstrlenA(pszName) : 0;
    if (nDir == 0 || nName == 0 || nDir + 1 + nName >= MAX_PATH)
        return NULL;
    szPath[nDir] = '\\';
    lstrcpynA(szPath + nDir + 1, pszName, MAX_PATH - nDir - 1);
    // The library's own imports are looked for beside it first.
    return ::LoadLibraryExA(szPath, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

#ifdef _MSC_VER
// The Visual C++ helper takes its hooks as constants.
extern "C" const PfnDliHook __pfnDliNotifyHook2 = NotifyHook;
extern "C" const PfnDliHook __pfnDliFailureHook2 = FailureHook;

void InstallDelayLoadHooks()
{
}
#else
void InstallDelayLoadHooks()
{
    __pfnDliNotifyHook2 = NotifyHook;
    __pfnDliFailureHook2 = FailureHook;
}
#endif
