// CSysEnv: the environment service of this program, with the questions about
// the device's software and printer, and theSysEnv, its one instance.
#pragma once

#include "SysInfo.h"

// Port kinds for IsPrinterPort.
const int PORT_USB = 1; // the device's USB port, "QBXUSB1:"

class CSysEnv : public CSysInfo
{
public:
    CSysEnv();
    virtual ~CSysEnv();

    // True when the product's installation record ("VersionStr") can be read.
    bool IsProductInstalled();
    // True when the device's printer is attached to the port of nPortKind.
    bool IsPrinterPort(int nPortKind);
    // Copies the device printer's port text into pszPort (256 bytes); false
    // when the printer or its record cannot be read, or the text does not fit.
    bool GetPrinterPort(char* pszPort);

protected:
    CSysEnv(const OSVERSIONINFOA& osvi, const char* pszWindowsDir) : CSysInfo(osvi, pszWindowsDir) {}
};

// Sizes of the texts the service hands over.
const int PORT_TEXT_SIZE = 256;

// The program's environment service. It is defined next to the application
// object, which must be constructed first.
extern CSysEnv theSysEnv;
