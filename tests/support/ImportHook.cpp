// ImportHook: finds the import's slot through the PE import descriptors of
// the program's own image and swaps the address it holds.
#include "ImportHook.h"

namespace
{
// The import address table slot that dll's function is called through, or NULL.
void** FindSlot(const char* dll, const char* function)
{
    BYTE* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(NULL));
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return NULL;
    for (const IMAGE_IMPORT_DESCRIPTOR* desc =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name != 0; ++desc)
    {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + desc->Name), dll) != 0 || desc->OriginalFirstThunk == 0)
            continue;
        const IMAGE_THUNK_DATA* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots)
        {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return NULL;
}

// Writes one slot of the import table, which the loader may have left read-only.
bool WriteSlot(void** pSlot, void* value)
{
    DWORD dwOld = 0;
    if (!::VirtualProtect(pSlot, sizeof(*pSlot), PAGE_READWRITE, &dwOld))
        return false;
    *pSlot = value;
    ::VirtualProtect(pSlot, sizeof(*pSlot), dwOld, &dwOld);
    ::FlushInstructionCache(::GetCurrentProcess(), pSlot, sizeof(*pSlot));
    return true;
}
} // namespace

ImportHook::ImportHook(const char* dll, const char* function, const void* replacement)
    : m_pSlot(FindSlot(dll, function)), m_original(NULL)
{
    if (m_pSlot == NULL)
        return;
    m_original = *m_pSlot;
    if (!WriteSlot(m_pSlot, const_cast<void*>(replacement)))
        m_pSlot = NULL;
}

ImportHook::~ImportHook()
{
    if (m_pSlot != NULL)
        WriteSlot(m_pSlot, m_original);
}
