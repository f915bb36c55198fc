// CUsbPortCheck: reads and repairs the service's USB setting.
#include "UsbPortCheck.h"

#include <string.h>

#include "CString.h"
#include "SysEnv.h"

namespace
{
const char c_szParametersKey[] = "SYSTEM\\CurrentControlSet\\Services\\VTsmfpi\\Parameters";
const char c_szServiceParameters[] = "Services\\VTsmfpi\\Parameters";
const char c_szValueName[] = "0"; // the value named by the digit zero, not the default value
const char c_szUsbSetting[] = "VTvUsb0";
const char c_szSelectKey[] = "SYSTEM\\Select";

bool IsWin2000OrXP()
{
    return theSysEnv.IsOsKind(OSK_WIN2000) || theSysEnv.IsOsKind(OSK_WINXP);
}

// Writes the USB setting, without its terminator, into one service key.
int WriteUsbSetting(const char* pszKey, LONG* plError = NULL)
{
    return theSysEnv.WriteValue(pszKey, c_szValueName, REG_SZ, reinterpret_cast<const BYTE*>(c_szUsbSetting),
                                sizeof(c_szUsbSetting) - 1, plError);
}

// The service key in numbered control set nSet (SYSTEM\ControlSet001\...).
// A control set without the service is passed over; one whose service key
// is there but refuses the write would boot with the wrong setting: false.
bool WriteUsbSettingInControlSet(int nSet)
{
    CString key;
    key.Format("SYSTEM\\ControlSet%03d\\%s", nSet, c_szServiceParameters);
    LONG lError = ERROR_SUCCESS;
    return WriteUsbSetting(key, &lError) == 1 || lError == ERROR_FILE_NOT_FOUND;
}
} // namespace

bool CUsbPortCheck::Check()
{
    m_bProblem = false;
    if (!IsWin2000OrXP())
        return false;
    if (!theSysEnv.IsPrinterPort(PORT_USB))
        return false;

    theSysEnv.SetRootKey(HKEY_LOCAL_MACHINE);
    // One byte more than is read, so that the text always ends in the buffer.
    BYTE data[257];
    ZeroMemory(data, sizeof(data));
    DWORD dwType = REG_SZ;
    DWORD dwSize = 256;
    if (!theSysEnv.ReadValue(c_szParametersKey, c_szValueName, &dwType, data, &dwSize))
        return false;
    if (dwType != REG_SZ)
        return false;
    m_bProblem = strcmp(reinterpret_cast<const char*>(data), c_szUsbSetting) != 0;
    return m_bProblem;
}

int CUsbPortCheck::Repair()
{
    if (!m_bProblem)
        return 0;
    if (!IsWin2000OrXP())
        return 0;

    theSysEnv.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!WriteUsbSetting(c_szParametersKey))
        return -1;

    // The control sets Windows names as current and default. Only the lowest
    // byte of each number counts; "Default" is written only when it names
    // another set than "Current". Both are written before the result counts.
    bool bWritten = true;
    BYTE select[8];
    ZeroMemory(select, sizeof(select));
    DWORD dwType = REG_DWORD;
    DWORD dwSize = sizeof(select);
    if (theSysEnv.ReadValue(c_szSelectKey, "Current", &dwType, select, &dwSize) && dwType == REG_DWORD)
        bWritten = WriteUsbSettingInControlSet(select[0]);
    const BYTE nCurrent = select[0];

    dwType = REG_DWORD;
    dwSize = sizeof(select);
    if (theSysEnv.ReadValue(c_szSelectKey, "Default", &dwType, select, &dwSize) && dwType == REG_DWORD &&
        select[0] != nCurrent && !WriteUsbSettingInControlSet(select[0]))
        bWritten = false;
    return bWritten ? 0 : -1;
}
