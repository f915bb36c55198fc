// CUsbDriverCheck: looks for the USB instance's driver service and has the
// installer library reinstall the driver.
#include "UsbDriverCheck.h"

#include "AfxGetProcAddress.h"
#include "CHandleHolder.h"
#include "CString.h"
#include "InstallerCall.h"
#include "SysEnv.h"
#include "XpNoticeDlg.h"

namespace
{
const char c_szUsbEnumKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10";
const char c_szInstallerLibrary[] = "VtInst32.dll";
const char c_szInstallerEntry[] = "Inst_UpdateInfDeviceDriver";

// Releases the installer library on every way out of Repair.
void FreeInstallerLibrary(HMODULE hModule)
{
    ::FreeLibrary(hModule);
}

// Appends one folder to a SearchPath list: only absolute ones, since a
// relative or empty entry would mean the current directory again.
void AppendFolder(CString& list, const char* pszFolder, int nLen)
{
    bool bDrive = nLen >= 3 && pszFolder[1] == ':' && (pszFolder[2] == '\\' || pszFolder[2] == '/');
    bool bShare = nLen >= 3 && pszFolder[0] == '\\' && pszFolder[1] == '\\';
    if (!bDrive && !bShare)
        return;
    CString folder;
    folder.Format("%s%.*s", list.IsEmpty() ? "" : ";", nLen, pszFolder);
    list += folder;
}

// The folders in which Windows looks for a library, in its order, without
// the current directory: the program's folder, the system folder, the
// Windows folder, then the absolute entries of PATH.
CString GetLibraryFolders()
{
    CString list;
    char szFolder[MAX_PATH];
    DWORD nLen = ::GetModuleFileNameA(NULL, szFolder, MAX_PATH);
    if (nLen != 0 && nLen < MAX_PATH)
    {
        int nFolder = 0;
        for (const char* p = szFolder; *p != '\0'; p = ::CharNextA(p))
            if (*p == '\\' || *p == '/')
                nFolder = static_cast<int>(p - szFolder);
        AppendFolder(list, szFolder, nFolder + 1); // keeps the separator: a drive root stays a folder
    }
    nLen = ::GetSystemDirectoryA(szFolder, MAX_PATH);
    if (nLen != 0 && nLen < MAX_PATH)
        AppendFolder(list, szFolder, static_cast<int>(nLen));
    nLen = ::GetWindowsDirectoryA(szFolder, MAX_PATH);
    if (nLen != 0 && nLen < MAX_PATH)
        AppendFolder(list, szFolder, static_cast<int>(nLen));

    DWORD nPath = ::GetEnvironmentVariableA("PATH", NULL, 0);
    char* pszPath = nPath != 0 ? static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, nPath)) : NULL;
    if (pszPath != NULL)
    {
        DWORD nGot = ::GetEnvironmentVariableA("PATH", pszPath, nPath);
        for (const char* pszEntry = pszPath; nGot != 0 && nGot < nPath;)
        {
            const char* pszEnd = pszEntry;
            while (*pszEnd != '\0' && *pszEnd != ';')
                pszEnd = ::CharNextA(pszEnd);
            AppendFolder(list, pszEntry, static_cast<int>(pszEnd - pszEntry));
            if (*pszEnd == '\0')
                break;
            pszEntry = pszEnd + 1;
        }
        ::HeapFree(::GetProcessHeap(), 0, pszPath);
    }
    return list;
}
} // namespace

HMODULE CUsbDriverCheck::LoadInstallerLibrary()
{
    // A bare LoadLibrary would also look in the current directory, where
    // anyone could plant a library that then runs with this program's
    // administrator rights. So the library is looked up in the other places
    // Windows would look, and loaded by its full path.
    CString folders = GetLibraryFolders();
    if (folders.IsEmpty())
        return NULL;
    char szPath[MAX_PATH];
    char* pszFilePart = NULL;
    DWORD nLen = ::SearchPathA(folders, c_szInstallerLibrary, NULL, MAX_PATH, szPath, &pszFilePart);
    if (nLen == 0 || nLen >= MAX_PATH)
        return NULL;
    return ::LoadLibraryExA(szPath, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool CUsbDriverCheck::Check()
{
    m_bProblem = false;
    if (!theSysEnv.IsOsKind(OSK_WINXP))
        return false;
    if (!theSysEnv.IsPrinterPort(PORT_USB))
        return false;
    m_bProblem = CheckActiveService();
    return m_bProblem;
}

bool CUsbDriverCheck::CheckActiveService()
{
    char szName[256];
    DWORD dwNameLen = sizeof(szName);
    char szClass[256];
    DWORD dwClassLen = sizeof(szClass);
    FILETIME ftLastWrite;

    theSysEnv.SetRootKey(HKEY_LOCAL_MACHINE);
    // Only the first instance in enumeration order is looked at; without
    // one the device was never attached by USB, which is no driver problem.
    if (!theSysEnv.EnumSubKey(c_szUsbEnumKey, 0, szName, &dwNameLen, szClass, &dwClassLen, &ftLastWrite))
        return false;

    CString controlKey;
    controlKey.Format("%s\\%s\\%s", c_szUsbEnumKey, szName, "Control");
    theSysEnv.SetRootKey(HKEY_LOCAL_MACHINE);
    DWORD dwType = REG_SZ;
    DWORD dwSize = sizeof(szClass);
    // Any readable value means a driver is active; its content does not matter.
    return !theSysEnv.ReadValue(controlKey, "ActiveService", &dwType, reinterpret_cast<BYTE*>(szClass), &dwSize);
}

int CUsbDriverCheck::Repair()
{
    int nResult = -1;
    {
        // Whether the user leaves the notice with OK or Escape, the repair
        // goes on.
        CXpNoticeDlg dlgNotice;
        dlgNotice.DoModal();
    }

    CString infPath;
    infPath.Format("%s\\inf\\VTMfcusb.inf", theSysEnv.m_szWindowsDir);

    CHandleHolder<HMODULE, FreeInstallerLibrary> library(LoadInstallerLibrary());
    if (library.m_h == NULL)
        return -1;
    PFN_UPDATEINFDEVICEDRIVER pfnUpdate = AfxGetProcAddress<PFN_UPDATEINFDEVICEDRIVER>(library.m_h, c_szInstallerEntry);
    if (pfnUpdate == NULL)
        return -1;

    char szBuffer[MAX_PATH];
    szBuffer[0] = '\0';
    if (CallUpdateInfDeviceDriver(pfnUpdate, infPath, 1, 1, szBuffer) != 0)
        nResult = 0;
    return nResult;
}
