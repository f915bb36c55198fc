// CUsbPortCheck: the USB setting of the device's kernel service. On Windows
// 2000 and XP, with the device's printer on its USB port, the value "0" of
// the service's Parameters key must read "VTvUsb0"; the repair writes it into
// the control set in use and into the ones named current and default.
#pragma once

class CUsbPortCheck
{
public:
    CUsbPortCheck() : m_bProblem(false) {}
    virtual ~CUsbPortCheck() {}

    // Runs the check; the answer is kept for ProblemFound and Repair.
    bool Check();
    // The answer of the last Check; a repair does not change it.
    bool ProblemFound() const { return m_bProblem; }
    // 0 when the value was written (or nothing needed writing), -1 when the
    // control set in use, or a current or default control set that holds
    // the service, could not be written. A set without the service is
    // passed over.
    int Repair();

private:
    bool m_bProblem;
};
