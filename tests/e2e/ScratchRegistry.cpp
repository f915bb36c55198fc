// ScratchRegistry: a journal of the keys created and the values overwritten.
#include "ScratchRegistry.h"

#include <string.h>

#include "PrivateHive.h"

std::string ScratchRegistry::Where(const std::string& path) const
{
    const std::string software = "SOFTWARE\\";
    if (!m_bWow64Software || _strnicmp(path.c_str(), software.c_str(), software.size()) != 0)
        return path;
    return software + "Wow6432Node\\" + path.substr(software.size());
}

bool ScratchRegistry::InCreatedKey(const std::string& path) const
{
    for (const std::string& created : m_created)
    {
        if (path.size() >= created.size() && _strnicmp(path.c_str(), created.c_str(), created.size()) == 0 &&
            (path.size() == created.size() || path[created.size()] == '\\'))
            return true;
    }
    return false;
}

std::string ScratchRegistry::Note(const std::string& where, const std::string* pName)
{
    const std::string path = Where(where);
    // The first missing key on the way down is the one to delete later.
    for (size_t end = 0; end != std::string::npos;)
    {
        end = path.find('\\', end + 1);
        const std::string part = path.substr(0, end);
        if (!RegKeyExists(m_root, part))
        {
            if (!InCreatedKey(part))
                m_created.push_back(part);
            break;
        }
    }
    bool known = pName == NULL || InCreatedKey(path);
    for (const SavedValue& saved : m_saved)
        known = known ||
                (_stricmp(saved.path.c_str(), path.c_str()) == 0 && _stricmp(saved.name.c_str(), pName->c_str()) == 0);
    if (!known)
    {
        DWORD type = REG_NONE;
        const std::string data = RegValue(m_root, path, *pName, &type);
        m_saved.push_back(SavedValue{path, *pName, data != "(none)", type, data});
    }
    return path;
}

bool ScratchRegistry::SetString(const std::string& path, const std::string& name, const std::string& text)
{
    return KeySink(m_root).SetString(Note(path, &name), name, text);
}

bool ScratchRegistry::SetDword(const std::string& path, const std::string& name, DWORD value)
{
    return KeySink(m_root).SetDword(Note(path, &name), name, value);
}

bool ScratchRegistry::CreateKey(const std::string& path)
{
    return KeySink(m_root).CreateKey(Note(path, NULL));
}

void ScratchRegistry::Undo()
{
    for (size_t i = m_saved.size(); i-- > 0;)
    {
        const SavedValue& saved = m_saved[i];
        HKEY hKey;
        if (RegOpenKeyExA(m_root, saved.path.c_str(), 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
            continue;
        if (saved.existed)
            RegSetValueExA(hKey, saved.name.c_str(), 0, saved.type, reinterpret_cast<const BYTE*>(saved.data.data()),
                           static_cast<DWORD>(saved.data.size()));
        else
            RegDeleteValueA(hKey, saved.name.c_str());
        RegCloseKey(hKey);
    }
    m_saved.clear();
    for (size_t i = m_created.size(); i-- > 0;)
        RegDeleteTreeA(m_root, m_created[i].c_str());
    m_created.clear();
}
