// ScratchRegistry: a journal of the keys created and the values overwritten.
#include "ScratchRegistry.h"

#include <stdio.h>
#include <string.h>

bool RegKeyExists(HKEY root, const std::string& path)
{
    HKEY hKey;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

std::string RegReadString(HKEY root, const std::string& path, const std::string& name)
{
    HKEY hKey;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "(missing)";
    char data[512] = "";
    DWORD size = sizeof(data) - 1;
    DWORD type = REG_NONE;
    const LONG rc = RegQueryValueExA(hKey, name.c_str(), NULL, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS)
        return "(missing)";
    if (type != REG_SZ)
    {
        char text[32];
        _snprintf(text, sizeof(text), "(type %lu)", static_cast<unsigned long>(type));
        text[sizeof(text) - 1] = '\0';
        return text;
    }
    return std::string(data, strnlen(data, size));
}

bool ScratchRegistry::InCreatedKey(HKEY root, const std::string& path) const
{
    for (size_t i = 0; i < m_created.size(); ++i)
    {
        const std::string& created = m_created[i].path;
        if (m_created[i].root == root && path.size() >= created.size() &&
            _strnicmp(path.c_str(), created.c_str(), created.size()) == 0 &&
            (path.size() == created.size() || path[created.size()] == '\\'))
            return true;
    }
    return false;
}

bool ScratchRegistry::CreateKey(HKEY root, const std::string& path)
{
    // The first missing key on the way down is the one to delete later.
    size_t end = 0;
    while (end != std::string::npos)
    {
        end = path.find('\\', end + 1);
        const std::string part = path.substr(0, end);
        if (!RegKeyExists(root, part))
        {
            if (!InCreatedKey(root, part))
            {
                Key key = {root, part};
                m_created.push_back(key);
            }
            break;
        }
    }
    HKEY hKey;
    if (RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

bool ScratchRegistry::Set(HKEY root, const std::string& path, const std::string& name, DWORD type, const BYTE* data,
                          DWORD size)
{
    if (!CreateKey(root, path))
        return false;
    HKEY hKey;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return false;
    if (!InCreatedKey(root, path))
    {
        bool known = false;
        for (size_t i = 0; i < m_saved.size() && !known; ++i)
            known = m_saved[i].root == root && _stricmp(m_saved[i].path.c_str(), path.c_str()) == 0 &&
                    _stricmp(m_saved[i].name.c_str(), name.c_str()) == 0;
        if (!known)
        {
            SavedValue saved = {root, path, name, false, REG_NONE, std::vector<BYTE>(4096)};
            DWORD savedSize = static_cast<DWORD>(saved.data.size());
            saved.existed =
                RegQueryValueExA(hKey, name.c_str(), NULL, &saved.type, &saved.data[0], &savedSize) == ERROR_SUCCESS;
            saved.data.resize(saved.existed ? savedSize : 0);
            m_saved.push_back(saved);
        }
    }
    const LONG rc = RegSetValueExA(hKey, name.c_str(), 0, type, data, size);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

bool ScratchRegistry::SetString(HKEY root, const std::string& path, const std::string& name, const std::string& value)
{
    return Set(root, path, name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
               static_cast<DWORD>(value.size() + 1));
}

bool ScratchRegistry::SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value)
{
    return Set(root, path, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void ScratchRegistry::Undo()
{
    for (size_t i = m_saved.size(); i-- > 0;)
    {
        const SavedValue& saved = m_saved[i];
        HKEY hKey;
        if (RegOpenKeyExA(saved.root, saved.path.c_str(), 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
            continue;
        if (saved.existed)
            RegSetValueExA(hKey, saved.name.c_str(), 0, saved.type, saved.data.empty() ? NULL : &saved.data[0],
                           static_cast<DWORD>(saved.data.size()));
        else
            RegDeleteValueA(hKey, saved.name.c_str());
        RegCloseKey(hKey);
    }
    m_saved.clear();
    for (size_t i = m_created.size(); i-- > 0;)
        RegDeleteTreeA(m_created[i].root, m_created[i].path.c_str());
    m_created.clear();
}
