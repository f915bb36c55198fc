// CSysEnv: is the product installed, and where is the device's printer.
#include "SysEnv.h"

#include <string.h>
#include <winspool.h>

#include "CHandleHolder.h"

namespace
{
const char c_szProductKey[] = "SOFTWARE\\Veltro\\Quellbox";
const char c_szInstalledValue[] = "VersionStr";
const char c_szPrinterNameValue[] = "PRINTERNAME";
const char c_szDefaultPrinter[] = "Corvana R310/R520 Series";
const char c_szUsbPort[] = "QBXUSB1:";

// The printer opened inside GetPrinterPort and its record go on every way out.
void ClosePrinterHandle(HANDLE hPrinter)
{
    ::ClosePrinter(hPrinter);
}
void FreeRecord(HGLOBAL hRecord)
{
    ::GlobalFree(hRecord);
}
} // namespace

CSysEnv::CSysEnv()
{
}

CSysEnv::~CSysEnv()
{
}

bool CSysEnv::IsProductInstalled()
{
    BYTE data[256];
    ZeroMemory(data, sizeof(data));
    DWORD dwType = 0;
    DWORD dwSize = sizeof(data);
    SetRootKey(HKEY_LOCAL_MACHINE);
    return ReadValue(c_szProductKey, c_szInstalledValue, &dwType, data, &dwSize) == 1;
}

bool CSysEnv::IsPrinterPort(int nPortKind)
{
    char szPort[PORT_TEXT_SIZE];
    ZeroMemory(szPort, sizeof(szPort));
    if (!GetPrinterPort(szPort))
        return false;
    if (nPortKind == PORT_USB)
        return strcmp(szPort, c_szUsbPort) == 0; // byte for byte: "qbxusb1:" is another port
    return false;
}

bool CSysEnv::GetPrinterPort(char* pszPort)
{
    // The name is used only when it ends within the buffer; a value that
    // fills it without a terminator cannot be a printer name, and the
    // device's usual name is looked up instead, as for a missing value.
    char szName[MAX_PATH];
    ZeroMemory(szName, sizeof(szName));
    DWORD dwType = 0;
    DWORD dwSize = sizeof(szName);
    SetRootKey(HKEY_LOCAL_MACHINE);
    if (ReadValue(c_szProductKey, c_szPrinterNameValue, &dwType, reinterpret_cast<BYTE*>(szName), &dwSize) != 1 ||
        memchr(szName, '\0', sizeof(szName)) == NULL)
        lstrcpynA(szName, c_szDefaultPrinter, sizeof(szName));

    CHandleHolder<HANDLE, ClosePrinterHandle> printer;
    if (!::OpenPrinterA(szName, &printer.m_h, NULL))
    {
        printer.m_h = NULL;
        return false;
    }
    DWORD dwNeeded = 0;
    ::GetPrinterA(printer.m_h, 2, NULL, 0, &dwNeeded);
    if (dwNeeded == 0)
        return false;
    CHandleHolder<HGLOBAL, FreeRecord> record(::GlobalAlloc(GMEM_ZEROINIT, dwNeeded));
    if (record.m_h == NULL)
        return false;
    BYTE* pRecord = static_cast<BYTE*>(record.m_h); // GMEM_FIXED: the handle is the address
    if (!::GetPrinterA(printer.m_h, 2, pRecord, dwNeeded, &dwNeeded))
        return false;

    // A port text that does not fit the buffer cannot be a port this
    // program knows: refuse it rather than cut it.
    const char* pszPortName = reinterpret_cast<const PRINTER_INFO_2A*>(pRecord)->pPortName;
    if (pszPortName == NULL)
        pszPortName = "";
    if (lstrlenA(pszPortName) >= PORT_TEXT_SIZE)
        return false;
    lstrcpynA(pszPort, pszPortName, PORT_TEXT_SIZE);
    return true;
}
