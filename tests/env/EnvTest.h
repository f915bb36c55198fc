// What the environment service's tests share: the names the service reads,
// the poison values for untouched output, exact registry values, and a look
// at the handles this process holds.
#pragma once

#include <windows.h>

#include <string>

#include "PrivateHive.h"

const char kProductKey[] = "SOFTWARE\\Veltro\\Quellbox";
const char kDefaultPrinter[] = "Corvana R310/R520 Series";
const char kOtherPrinter[] = "QbxTest Printer";
const char kUsbPort[] = "QBXUSB1:";

const BYTE kPoison = 0xbd;
const DWORD kUntouched = 0xdeadbeef;

// Stores exactly these bytes. RegSetValueExA counts a NUL that follows a
// string's data in memory as part of it, so the bytes are followed by one
// that is not a NUL.
inline void SetExactValue(PrivateHive& hive, const std::string& path, const std::string& name, DWORD type,
                          const std::string& bytes)
{
    const std::string buffer = bytes + 'Z';
    hive.SetValue(path, name, type, buffer.data(), static_cast<DWORD>(bytes.size()));
}

// The value of the next handle this process opens. The system hands out the
// lowest free handle, so a handle left open by a call moves it.
inline HANDLE NextHandle()
{
    const HANDLE hEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    CloseHandle(hEvent);
    return hEvent;
}
