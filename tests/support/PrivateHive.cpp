// PrivateHive: scratch HKLM per test through RegOverridePredefKey.
#include "PrivateHive.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <sstream>

namespace
{
std::string CurrentTestName()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != NULL ? std::string(info->test_suite_name()) + "." + info->name() : "hive";
    for (size_t i = 0; i < name.size(); ++i)
        if (name[i] == '/' || name[i] == '\\')
            name[i] = '_';
    return name;
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
        EXPECT_EQ(ERROR_SUCCESS, rc) << "enumerating values of " << path;
        if (rc != ERROR_SUCCESS)
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
        EXPECT_EQ(ERROR_SUCCESS, rc) << "enumerating keys of " << path;
        if (rc != ERROR_SUCCESS)
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

PrivateHive::PrivateHive(const std::string& name) : m_hRoot(NULL)
{
    m_path = std::string(kTestHiveParent) + "\\" + (name.empty() ? CurrentTestName() : name) + "." +
             std::to_string(GetCurrentProcessId());
    RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_hRoot, NULL);
    if (rc != ERROR_SUCCESS)
    {
        ADD_FAILURE() << "cannot create the private hive " << m_path << ": " << rc;
        return;
    }
    rc = RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_hRoot);
    EXPECT_EQ(ERROR_SUCCESS, rc) << "RegOverridePredefKey";
}

PrivateHive::~PrivateHive()
{
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, NULL);
    if (m_hRoot != NULL)
        RegCloseKey(m_hRoot);
    RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
}

void PrivateHive::CreateKey(const std::string& path)
{
    HKEY hKey;
    LONG rc = RegCreateKeyExA(m_hRoot, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL);
    ASSERT_EQ(ERROR_SUCCESS, rc) << "creating " << path;
    RegCloseKey(hKey);
}

void PrivateHive::SetValue(const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size)
{
    HKEY hKey;
    LONG rc = RegCreateKeyExA(m_hRoot, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL);
    ASSERT_EQ(ERROR_SUCCESS, rc) << "creating " << path;
    rc = RegSetValueExA(hKey, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(hKey);
    ASSERT_EQ(ERROR_SUCCESS, rc) << "setting " << path << "\\" << name;
}

void PrivateHive::SetExact(const std::string& path, const std::string& name, DWORD type, const std::string& bytes)
{
    const std::string buffer = bytes + '\x7f';
    SetValue(path, name, type, buffer.data(), static_cast<DWORD>(bytes.size()));
    DWORD stored = 0xdeadbeef;
    ASSERT_EQ(bytes, Value(path, name, &stored)) << path << "\\" << name << " holds other bytes";
    ASSERT_EQ(type, stored) << path << "\\" << name;
}

void PrivateHive::SetString(const std::string& path, const std::string& name, const std::string& text, DWORD type)
{
    SetValue(path, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void PrivateHive::SetDword(const std::string& path, const std::string& name, DWORD value)
{
    SetValue(path, name, REG_DWORD, &value, sizeof(value));
}

void PrivateHive::DeleteKey(const std::string& path)
{
    RegDeleteTreeA(m_hRoot, path.c_str());
    RegDeleteKeyA(m_hRoot, path.c_str());
}

void PrivateHive::MakeReadOnly(const std::string& path)
{
    PSECURITY_DESCRIPTOR sd = NULL;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)(A;;SD;;;WD)", SDDL_REVISION_1,
                                                                     &sd, NULL));
    HKEY hKey;
    LONG rc = RegOpenKeyExA(m_hRoot, path.c_str(), 0, KEY_ALL_ACCESS, &hKey);
    if (rc == ERROR_SUCCESS)
    {
        rc = RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, sd);
        RegCloseKey(hKey);
    }
    LocalFree(sd);
    ASSERT_EQ(ERROR_SUCCESS, rc) << "locking " << path;
    rc = RegOpenKeyExA(m_hRoot, path.c_str(), 0, KEY_ALL_ACCESS, &hKey);
    if (rc == ERROR_SUCCESS)
        RegCloseKey(hKey);
    ASSERT_EQ(ERROR_ACCESS_DENIED, rc) << path << " still takes writes";
}

std::string PrivateHive::Value(const std::string& path, const std::string& name, DWORD* pType) const
{
    HKEY hKey;
    if (RegOpenKeyExA(m_hRoot, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "(none)";
    std::string data(65536, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    const LONG rc = RegQueryValueExA(hKey, name.c_str(), NULL, pType, reinterpret_cast<BYTE*>(&data[0]), &size);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS ? data.substr(0, size) : "(none)";
}

void PrivateHive::AddPrinter(const std::string& name, const std::string& port)
{
    const std::string key = "System\\CurrentControlSet\\Control\\Print\\Printers\\" + name;
    SetString(key, "Name", name);
    SetString(key, "Port", port);
    SetString(key, "Printer Driver", "Generic / Text Only");
    SetString(key, "Print Processor", "winprint");
    SetString(key, "Datatype", "RAW");
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
