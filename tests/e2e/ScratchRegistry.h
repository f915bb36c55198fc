// Registry writes that take themselves back: every key it had to create is
// deleted again, and every value it overwrote in a key that was there before
// gets its old data back (or goes, if it had none).
#pragma once

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "MachineImage.h"

class ScratchRegistry
{
public:
    ScratchRegistry() {}
    ~ScratchRegistry() { Undo(); }

    bool SetString(HKEY root, const std::string& path, const std::string& name, const std::string& value);
    bool SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
    // Creates the key (with whatever is missing above it) without values.
    bool CreateKey(HKEY root, const std::string& path);
    void Undo();

private:
    ScratchRegistry(const ScratchRegistry&);
    ScratchRegistry& operator=(const ScratchRegistry&);

    struct Key
    {
        HKEY root;
        std::string path;
    };
    struct SavedValue
    {
        HKEY root;
        std::string path;
        std::string name;
        bool existed;
        DWORD type;
        std::vector<BYTE> data;
    };

    bool Set(HKEY root, const std::string& path, const std::string& name, DWORD type, const BYTE* data, DWORD size);
    bool InCreatedKey(HKEY root, const std::string& path) const;

    std::vector<Key> m_created;
    std::vector<SavedValue> m_saved;
};

// A machine written into HKLM through a scratch registry, to be undone with
// it.
class ScratchSink : public RegistrySink
{
public:
    // wow64Software: keys under SOFTWARE go where a 32-bit program on 64-bit
    // Windows reads them, below SOFTWARE\Wow6432Node (an explicit path, so
    // that the journal undoes it as any other key).
    explicit ScratchSink(ScratchRegistry& registry, bool wow64Software = false)
        : m_registry(registry), m_bWow64Software(wow64Software)
    {
    }
    bool SetString(const std::string& path, const std::string& name, const std::string& text) override
    {
        return m_registry.SetString(HKEY_LOCAL_MACHINE, Where(path), name, text);
    }
    bool SetDword(const std::string& path, const std::string& name, DWORD value) override
    {
        return m_registry.SetDword(HKEY_LOCAL_MACHINE, Where(path), name, value);
    }
    bool CreateKey(const std::string& path) override { return m_registry.CreateKey(HKEY_LOCAL_MACHINE, Where(path)); }

private:
    std::string Where(const std::string& path) const
    {
        const std::string software = "SOFTWARE\\";
        if (!m_bWow64Software || _strnicmp(path.c_str(), software.c_str(), software.size()) != 0)
            return path;
        return software + "Wow6432Node\\" + path.substr(software.size());
    }

    ScratchRegistry& m_registry;
    bool m_bWow64Software;
};

// Whether the key exists.
bool RegKeyExists(HKEY root, const std::string& path);
// A REG_SZ value, or "(missing)" / "(type N)" when it is not one.
std::string RegReadString(HKEY root, const std::string& path, const std::string& name);
