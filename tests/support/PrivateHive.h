// PrivateHive: an HKLM of the test's own. The process's HKEY_LOCAL_MACHINE is
// redirected to a scratch key under HKCU for the hive's lifetime, so no test
// touches the machine's real HKLM; the scratch key is deleted afterwards.
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

class PrivateHive
{
public:
    // name: unique among the tests that run at the same time (the current
    // test's name is used when empty).
    explicit PrivateHive(const std::string& name = "");
    ~PrivateHive();

    void CreateKey(const std::string& path);
    // Stores the bytes as RegSetValueExA does; creates the key when missing.
    void SetValue(const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size);
    // Exactly these bytes, read back to be sure: RegSetValueExA would also
    // store a NUL that follows a string's data in memory.
    void SetExact(const std::string& path, const std::string& name, DWORD type, const std::string& bytes);
    // A string with its terminating NUL.
    void SetString(const std::string& path, const std::string& name, const std::string& text, DWORD type = REG_SZ);
    void SetDword(const std::string& path, const std::string& name, DWORD value);
    void DeleteKey(const std::string& path);
    // Lets everyone read the key, and delete it so that the hive can go, but
    // nobody write it.
    void MakeReadOnly(const std::string& path);
    // The bytes a value holds (and its type), or "(none)".
    std::string Value(const std::string& path, const std::string& name, DWORD* pType = NULL) const;

    // A printer as Wine's in-process spooler reads it from HKLM.
    void AddPrinter(const std::string& name, const std::string& port);

    HiveDump Dump() const;
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
