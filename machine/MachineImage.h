// The machine with the device, as the program finds it in HKLM: its software,
// its printer on the USB port, the service's USB setting in the control sets
// and its first USB instance. One description, written by one function into
// whatever stands for HKLM: a test's private hive, the end-to-end prefix,
// the bench's hive, the demo's prefix. Free of GoogleTest.
#pragma once

#include <windows.h>

#include <string>

// The device's first USB instance, below kUsbDeviceKey.
const char kUsbInstanceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10\\5&2a3c1e0b&0&1";
const char kUsbControlKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10\\5&2a3c1e0b&0&1\\Control";
// A USB setting of the service that is not the USB port's.
const char kWrongSetting[] = "VTvPar0";

struct MachineImage
{
    bool productInstalled = true; // the product key holds VersionStr
    // The service's setting in the control set in use and in the numbered
    // sets below.
    const char* portSetting = kWrongSetting;
    bool driverActive = false; // the USB instance has an active driver service
    // The numbered control sets Windows names as current and default in
    // SYSTEM\Select; 0: no Select key, only the set in use.
    DWORD currentSet = 0;
    DWORD defaultSet = 0;
};

// Where a machine is written. Paths are below HKLM.
class RegistrySink
{
public:
    virtual bool SetString(const std::string& path, const std::string& name, const std::string& text) = 0;
    virtual bool SetDword(const std::string& path, const std::string& name, DWORD value) = 0;
    virtual bool CreateKey(const std::string& path) = 0;

protected:
    ~RegistrySink() {}
};

// Writes straight below root, keys under SOFTWARE through the registry view
// softwareView names (KEY_WOW64_32KEY: the one a 32-bit program reads on
// 64-bit Windows; 0: the caller's own).
class KeySink : public RegistrySink
{
public:
    explicit KeySink(HKEY root, REGSAM softwareView = 0) : m_root(root), m_softwareView(softwareView) {}
    bool SetString(const std::string& path, const std::string& name, const std::string& text) override;
    bool SetDword(const std::string& path, const std::string& name, DWORD value) override;
    bool CreateKey(const std::string& path) override;
    // Creates the key when missing; stores nothing when data is NULL.
    bool SetValue(const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size);

private:
    HKEY m_root;
    REGSAM m_softwareView;
};

// A printer as Wine's in-process spooler reads it from HKLM.
bool WritePrinter(RegistrySink& sink, const std::string& name, const std::string& port);
// Every key and value of the machine; false at the first write that failed.
bool WriteMachine(const MachineImage& machine, RegistrySink& sink);
