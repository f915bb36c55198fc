// CSystemLibrary: a system DLL loaded by name for the length of one
// operation, so that the spooler and the account database are in the
// process only while a diagnosis asks them something.
#pragma once

#include <windows.h>

class CSystemLibrary
{
public:
    explicit CSystemLibrary(const char* pszName) : m_hModule(::LoadLibraryA(pszName)) {}
    ~CSystemLibrary()
    {
        if (m_hModule != NULL)
            ::FreeLibrary(m_hModule);
    }

    // True, with pfn set, when the library is loaded and exports pszProc.
    template <class PFN> bool GetProc(const char* pszProc, PFN& pfn) const
    {
        // Through a plain function pointer type, the one cast that does not
        // pretend FARPROC had this signature.
        pfn = m_hModule != NULL
                  ? reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(::GetProcAddress(m_hModule, pszProc)))
                  : NULL;
        return pfn != NULL;
    }

private:
    HMODULE m_hModule;

    CSystemLibrary(const CSystemLibrary&);
    CSystemLibrary& operator=(const CSystemLibrary&);
};
