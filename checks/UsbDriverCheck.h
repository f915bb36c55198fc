// CUsbDriverCheck: the driver of the device's USB connection on Windows XP.
// The device's first USB instance must have an active driver service; the
// repair shows the driver-install notice and has the maker's installer
// library reinstall the driver from its setup information file.
#pragma once

#include <windows.h>

class CUsbDriverCheck
{
public:
    CUsbDriverCheck() : m_bProblem(false) {}
    virtual ~CUsbDriverCheck() {}

    // Runs the check; the answer is kept for ProblemFound.
    bool Check();
    // The answer of the last Check; a repair does not change it.
    bool ProblemFound() const { return m_bProblem; }
    // 0 when the installer library reported success, -1 otherwise.
    int Repair();

    // Loads the installer library from the places Windows would look,
    // except the current directory: the program's folder, the system
    // folder, the Windows folder, then PATH. NULL when it is not found.
    static HMODULE LoadInstallerLibrary();

protected:
    // True means a problem: the device's first USB instance has no active
    // driver service (no readable "ActiveService" value). False when it has
    // one, or when the device has no USB instance at all.
    bool CheckActiveService();

private:
    bool m_bProblem;
};
