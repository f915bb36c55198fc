// The machine with the device, written key by key.
#include "MachineImage.h"

#include <stdio.h>

#include "ProgramTexts.h"

namespace
{
std::string ParamsOfSet(DWORD set)
{
    char key[80];
    snprintf(key, sizeof(key), "SYSTEM\\ControlSet%03lu\\Services\\VTsmfpi\\Parameters",
             static_cast<unsigned long>(set));
    return key;
}

bool WritePortSetting(const MachineImage& machine, RegistrySink& sink)
{
    bool ok = sink.SetString(kServiceKey, "0", machine.portSetting);
    const DWORD sets[] = {machine.currentSet, machine.defaultSet};
    for (DWORD set : sets)
        ok = ok && (set == 0 || sink.SetString(ParamsOfSet(set), "0", machine.portSetting));
    if (machine.currentSet != 0 || machine.defaultSet != 0)
        ok = ok && sink.SetDword(kSelectKey, "Current", machine.currentSet) &&
             sink.SetDword(kSelectKey, "Default", machine.defaultSet);
    return ok;
}
} // namespace

bool KeySink::SetValue(const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size)
{
    HKEY hKey;
    const REGSAM view = _strnicmp(path.c_str(), "SOFTWARE\\", 9) == 0 ? m_softwareView : 0;
    if (RegCreateKeyExA(m_root, path.c_str(), 0, NULL, 0, KEY_SET_VALUE | view, NULL, &hKey, NULL) != ERROR_SUCCESS)
        return false;
    const LONG rc = data != NULL ? RegSetValueExA(hKey, name.c_str(), 0, type, static_cast<const BYTE*>(data), size)
                                 : ERROR_SUCCESS;
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

bool KeySink::SetString(const std::string& path, const std::string& name, const std::string& text)
{
    return SetValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool KeySink::SetDword(const std::string& path, const std::string& name, DWORD value)
{
    return SetValue(path, name, REG_DWORD, &value, sizeof(value));
}

bool KeySink::CreateKey(const std::string& path)
{
    return SetValue(path, "", REG_NONE, NULL, 0);
}

bool WritePrinter(RegistrySink& sink, const std::string& name, const std::string& port)
{
    const std::string key = "System\\CurrentControlSet\\Control\\Print\\Printers\\" + name;
    return sink.SetString(key, "Name", name) && sink.SetString(key, "Port", port) &&
           sink.SetString(key, "Printer Driver", "Generic / Text Only") &&
           sink.SetString(key, "Print Processor", "winprint") && sink.SetString(key, "Datatype", "RAW");
}

bool WriteMachine(const MachineImage& machine, RegistrySink& sink)
{
    const bool product = !machine.productInstalled || (sink.SetString(kProductKey, "VersionStr", "2.10") &&
                                                       sink.SetString(kProductKey, "PRINTERNAME", kDefaultPrinter));
    return product && WritePrinter(sink, kDefaultPrinter, kUsbPort) && WritePortSetting(machine, sink) &&
           sink.SetString(kUsbInstanceKey, "DeviceDesc", "Corvana QX-R520") &&
           sink.SetString(kUsbInstanceKey, "Service", "VTMfcusb") &&
           (machine.driverActive ? sink.SetString(kUsbControlKey, "ActiveService", "usbprint")
                                 : sink.CreateKey(kUsbControlKey));
}
