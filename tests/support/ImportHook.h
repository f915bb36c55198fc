// ImportHook: for its lifetime, one function that this program imports from a
// DLL is replaced by another in the program's import table. The program and
// the code under test are linked into one executable, so every call the code
// makes through that import reaches the replacement, which can note its
// arguments and hand over to the real function (Original). Nothing here uses
// GoogleTest, so probe programs can hook before their globals are built.
#pragma once

#include <windows.h>

class ImportHook
{
public:
    // dll: as the import table names it ("ADVAPI32.dll"), in any case.
    ImportHook(const char* dll, const char* function, const void* replacement);
    ~ImportHook();

    // False when the program does not import the function from that DLL.
    bool Installed() const { return m_pSlot != NULL; }
    // The function the import pointed at before, to forward calls to.
    template <class F> F Original() const { return reinterpret_cast<F>(m_original); }

private:
    void** m_pSlot;
    void* m_original;

    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
};
