// What the environment service's tests share: the poison values for untouched
// output and a look at the handles this process holds.
#pragma once

#include <windows.h>

const BYTE kPoison = 0xbd;
const DWORD kUntouched = 0xdeadbeef;

// The value of the next handle this process opens. The system hands out the
// lowest free handle, so a handle left open by a call moves it.
inline HANDLE NextHandle()
{
    const HANDLE hEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    CloseHandle(hEvent);
    return hEvent;
}
