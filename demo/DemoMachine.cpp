// Puts the demo machine into the prefix's HKLM: the device's software is
// installed and its printer is on the USB port, but the service has the
// wrong USB setting and the USB instance has no active driver. Control set
// 1, which Windows names as current and default, has a copy of the setting
// of its own: Wine keeps the control set in use apart from the numbered ones.
// What the last run repaired is cleared first, so that the demo repeats.
#include <windows.h>

#include <stdio.h>

#include "MachineImage.h"
#include "ProgramTexts.h"

int main()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUsbDeviceKey);
    MachineImage machine;
    machine.currentSet = 1;
    machine.defaultSet = 1;
    KeySink sink(HKEY_LOCAL_MACHINE);
    if (!WriteMachine(machine, sink))
    {
        fprintf(stderr, "cannot write the demo machine into HKLM\n");
        return 1;
    }
    return 0;
}
