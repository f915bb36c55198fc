// PrivateHive: scratch HKLM per test through RegOverridePredefKey.
#include "PrivateHive.h"

#include <sddl.h>
#include <stdio.h>

#include <sstream>

#include "MachineImage.h"

namespace
{
void PrintFailure(const std::string& what)
{
    fprintf(stderr, "%s\n", what.c_str());
}

std::string ProcessHiveName()
{
    return "hive";
}

// Deletes a key with everything below it (RegDeleteTree is Vista's).
void DeleteTree(HKEY hParent, const std::string& path)
{
    HKEY hKey;
    if (RegOpenKeyExA(hParent, path.c_str(), 0, KEY_READ, &hKey) == ERROR_SUCCESS)
    {
        char name[1024]; // test keys have names longer than the documented 255
        DWORD nameLen = sizeof(name);
        // A subkey that cannot go ends the loop: it comes first again.
        std::string last;
        while (RegEnumKeyExA(hKey, 0, name, &nameLen, NULL, NULL, NULL, NULL) == ERROR_SUCCESS && last != name)
        {
            last = name;
            DeleteTree(hKey, name);
            nameLen = sizeof(name);
        }
        RegCloseKey(hKey);
    }
    RegDeleteKeyA(hParent, path.c_str());
}

bool Check(bool ok, const std::string& what)
{
    if (!ok)
        g_hiveHooks.fail(what);
    return ok;
}

void DumpKey(HKEY hKey, const std::string& path, HiveDump& out)
{
    if (!path.empty())
        out[path] = HiveEntry{true, 0, std::string()};
    for (DWORD i = 0;; ++i)
    {
        char name[16384];
        DWORD nameLen = sizeof(name);
        std::string data(65536, '\0');
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG rc = RegEnumValueA(hKey, i, name, &nameLen, NULL, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (!Check(rc == ERROR_SUCCESS, "enumerating values of " + path))
            break;
        data.resize(size);
        out[(path.empty() ? "" : path + "\\") + "[" + name + "]"] = HiveEntry{false, type, data};
    }
    for (DWORD i = 0;; ++i)
    {
        char name[1024];
        DWORD nameLen = sizeof(name);
        LONG rc = RegEnumKeyExA(hKey, i, name, &nameLen, NULL, NULL, NULL, NULL);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (!Check(rc == ERROR_SUCCESS, "enumerating keys of " + path))
            break;
        HKEY hSub;
        if (RegOpenKeyExA(hKey, name, 0, KEY_READ, &hSub) == ERROR_SUCCESS)
        {
            DumpKey(hSub, path.empty() ? name : path + "\\" + name, out);
            RegCloseKey(hSub);
        }
    }
}

std::string Printable(const HiveEntry& e)
{
    if (e.isKey)
        return "(key)";
    std::ostringstream s;
    s << "type " << e.type << " \"";
    for (size_t i = 0; i < e.data.size(); ++i)
    {
        unsigned char c = static_cast<unsigned char>(e.data[i]);
        if (c >= 32 && c < 127)
            s << c;
        else
            s << "\\x" << std::hex << static_cast<int>(c) << std::dec;
    }
    s << "\"";
    return s.str();
}
} // namespace

HiveHooks g_hiveHooks = {PrintFailure, ProcessHiveName};

PrivateHive::PrivateHive(const std::string& name) : m_hRoot(NULL)
{
    m_path = std::string(kTestHiveParent) + "\\" + (name.empty() ? g_hiveHooks.defaultName() : name) + "." +
             std::to_string(GetCurrentProcessId());
    DeleteTree(HKEY_CURRENT_USER, m_path);
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_hRoot, NULL);
    if (!Check(rc == ERROR_SUCCESS, "cannot create the private hive " + m_path + ": " + std::to_string(rc)))
    {
        m_hRoot = NULL;
        return;
    }
    if (!Check(RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_hRoot) == ERROR_SUCCESS, "RegOverridePredefKey failed"))
    {
        RegCloseKey(m_hRoot);
        m_hRoot = NULL;
    }
}

PrivateHive::~PrivateHive()
{
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, NULL);
    if (m_hRoot != NULL)
        RegCloseKey(m_hRoot);
    DeleteTree(HKEY_CURRENT_USER, m_path);
}

bool PrivateHive::CreateKey(const std::string& path)
{
    return Check(KeySink(m_hRoot).CreateKey(path), "creating " + path);
}

bool PrivateHive::SetValue(const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size)
{
    return Check(KeySink(m_hRoot).SetValue(path, name, type, data, size), "setting " + path + "\\" + name);
}

bool PrivateHive::SetExact(const std::string& path, const std::string& name, DWORD type, const std::string& bytes)
{
    const std::string buffer = bytes + '\x7f';
    if (!SetValue(path, name, type, buffer.data(), static_cast<DWORD>(bytes.size())))
        return false;
    DWORD stored = 0xdeadbeef;
    return Check(Value(path, name, &stored) == bytes && stored == type,
                 path + "\\" + name + " holds other bytes, or another type");
}

bool PrivateHive::SetString(const std::string& path, const std::string& name, const std::string& text, DWORD type)
{
    return SetValue(path, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool PrivateHive::SetDword(const std::string& path, const std::string& name, DWORD value)
{
    return SetValue(path, name, REG_DWORD, &value, sizeof(value));
}

void PrivateHive::DeleteKey(const std::string& path)
{
    DeleteTree(m_hRoot, path);
}

bool PrivateHive::MakeReadOnly(const std::string& path)
{
    PSECURITY_DESCRIPTOR sd = NULL;
    if (!Check(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)(A;;SD;;;WD)", SDDL_REVISION_1, &sd,
                                                                    NULL) != FALSE,
               "no security descriptor"))
        return false;
    HKEY hKey;
    LONG rc = RegOpenKeyExA(m_hRoot, path.c_str(), 0, KEY_ALL_ACCESS, &hKey);
    if (rc == ERROR_SUCCESS)
    {
        rc = RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, sd);
        RegCloseKey(hKey);
    }
    LocalFree(sd);
    if (!Check(rc == ERROR_SUCCESS, "locking " + path))
        return false;
    rc = RegOpenKeyExA(m_hRoot, path.c_str(), 0, KEY_ALL_ACCESS, &hKey);
    if (rc == ERROR_SUCCESS)
        RegCloseKey(hKey);
    return Check(rc == ERROR_ACCESS_DENIED, path + " still takes writes");
}

bool RegKeyExists(HKEY root, const std::string& path)
{
    HKEY hKey;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

std::string RegValue(HKEY root, const std::string& path, const std::string& name, DWORD* pType)
{
    HKEY hKey;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "(none)";
    std::string data(65536, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    const LONG rc = RegQueryValueExA(hKey, name.c_str(), NULL, pType, reinterpret_cast<BYTE*>(&data[0]), &size);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS ? data.substr(0, size) : "(none)";
}

bool PrivateHive::AddPrinter(const std::string& name, const std::string& port)
{
    KeySink sink(m_hRoot);
    return Check(WritePrinter(sink, name, port), "adding the printer " + name);
}

HiveDump PrivateHive::Dump() const
{
    HiveDump out;
    DumpKey(m_hRoot, "", out);
    return out;
}

std::string DescribeDifference(const HiveDump& expected, const HiveDump& actual)
{
    std::ostringstream s;
    for (HiveDump::const_iterator it = expected.begin(); it != expected.end(); ++it)
    {
        HiveDump::const_iterator other = actual.find(it->first);
        if (other == actual.end())
            s << "  missing: " << it->first << " " << Printable(it->second) << "\n";
        else if (!(other->second == it->second))
            s << "  changed: " << it->first << " expected " << Printable(it->second) << ", found "
              << Printable(other->second) << "\n";
    }
    for (HiveDump::const_iterator it = actual.begin(); it != actual.end(); ++it)
        if (expected.find(it->first) == expected.end())
            s << "  unexpected: " << it->first << " " << Printable(it->second) << "\n";
    return s.str();
}
