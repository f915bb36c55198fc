// Registry writes that take themselves back: every key it had to create is
// deleted again, and every value it overwrote in a key that was there before
// gets its old data back (or goes, if it had none).
#pragma once

#include <windows.h>

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
    explicit ScratchSink(ScratchRegistry& registry) : m_registry(registry) {}
    bool SetString(const std::string& path, const std::string& name, const std::string& text) override
    {
        return m_registry.SetString(HKEY_LOCAL_MACHINE, path, name, text);
    }
    bool SetDword(const std::string& path, const std::string& name, DWORD value) override
    {
        return m_registry.SetDword(HKEY_LOCAL_MACHINE, path, name, value);
    }
    bool CreateKey(const std::string& path) override { return m_registry.CreateKey(HKEY_LOCAL_MACHINE, path); }

private:
    ScratchRegistry& m_registry;
};

// Whether the key exists.
bool RegKeyExists(HKEY root, const std::string& path);
// A REG_SZ value, or "(missing)" / "(type N)" when it is not one.
std::string RegReadString(HKEY root, const std::string& path, const std::string& name);
