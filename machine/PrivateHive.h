// PrivateHive: an HKLM of the test's own. The process's HKEY_LOCAL_MACHINE is
// redirected to a scratch key under HKCU for the hive's lifetime, so no test
// touches the machine's real HKLM; the scratch key is deleted afterwards.
// Free of GoogleTest: what goes wrong is reported through g_hiveHooks, which
// the tests' entry point turns into failures of the running test.
#pragma once

#include <windows.h>

#include <map>
#include <string>

// One key or value of a hive dump: keys have isKey set and no data.
struct HiveEntry
{
    bool isKey;
    DWORD type;
    std::string data;
    bool operator==(const HiveEntry& o) const { return isKey == o.isKey && type == o.type && data == o.data; }
};
// Keyed by "path" for a key and "path\\[name]" for a value ("[]" for the
// unnamed one), paths relative to the hive root.
typedef std::map<std::string, HiveEntry> HiveDump;

struct HiveHooks
{
    void (*fail)(const std::string& what);
    std::string (*defaultName)(); // a hive's name when none is given
};
extern HiveHooks g_hiveHooks;

bool RegKeyExists(HKEY root, const std::string& path);
// The bytes a value below root holds (and its type), or "(none)".
std::string RegValue(HKEY root, const std::string& path, const std::string& name, DWORD* pType = NULL);

class PrivateHive
{
public:
    // name: unique among the hives of the processes that run at the same
    // time (g_hiveHooks.defaultName() when empty).
    explicit PrivateHive(const std::string& name = "");
    ~PrivateHive();

    bool CreateKey(const std::string& path);
    // Stores the bytes as RegSetValueExA does; creates the key when missing.
    bool SetValue(const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size);
    // Exactly these bytes, read back to be sure: RegSetValueExA would also
    // store a NUL that follows a string's data in memory.
    bool SetExact(const std::string& path, const std::string& name, DWORD type, const std::string& bytes);
    // A string with its terminating NUL.
    bool SetString(const std::string& path, const std::string& name, const std::string& text, DWORD type = REG_SZ);
    bool SetDword(const std::string& path, const std::string& name, DWORD value);
    void DeleteKey(const std::string& path);
    // Lets everyone read the key, and delete it so that the hive can go, but
    // nobody write it.
    bool MakeReadOnly(const std::string& path);
    // The bytes a value holds (and its type), or "(none)".
    std::string Value(const std::string& path, const std::string& name, DWORD* pType = NULL) const
    {
        return RegValue(m_hRoot, path, name, pType);
    }

    // A printer as Wine's in-process spooler reads it from HKLM.
    bool AddPrinter(const std::string& name, const std::string& port);

    HiveDump Dump() const;
    bool IsOpen() const { return m_hRoot != NULL; }
    HKEY Root() const { return m_hRoot; }
    const std::string& Path() const { return m_path; } // below HKCU

private:
    std::string m_path;
    HKEY m_hRoot;

    PrivateHive(const PrivateHive&);
    PrivateHive& operator=(const PrivateHive&);
};

// Where every private hive lives, below HKEY_CURRENT_USER.
const char kTestHiveParent[] = "Software\\QbxMenderTests\\TestHive";

// Prints a dump difference readably in a failed expectation.
std::string DescribeDifference(const HiveDump& expected, const HiveDump& actual);
