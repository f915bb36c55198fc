// Registry writes below one root that take themselves back: every key it had
// to create is deleted again, and every value it overwrote in a key that was
// there before gets its old data back (or goes, if it had none).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "MachineImage.h"

class ScratchRegistry : public RegistrySink
{
public:
    // wow64Software: keys under SOFTWARE go where a 32-bit program on 64-bit
    // Windows reads them, below SOFTWARE\Wow6432Node (an explicit path, so
    // that the journal undoes it as any other key).
    explicit ScratchRegistry(HKEY root, bool wow64Software = false) : m_root(root), m_bWow64Software(wow64Software) {}
    ~ScratchRegistry() { Undo(); }

    bool SetString(const std::string& path, const std::string& name, const std::string& text) override;
    bool SetDword(const std::string& path, const std::string& name, DWORD value) override;
    // Creates the key (with whatever is missing above it) without values.
    bool CreateKey(const std::string& path) override;
    void Undo();

private:
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    struct SavedValue
    {
        std::string path;
        std::string name;
        bool existed;
        DWORD type;
        std::string data;
    };

    std::string Where(const std::string& path) const;
    // Notes what a write to the key (and the value pName names) will change,
    // to be undone; returns where the write goes.
    std::string Note(const std::string& path, const std::string* pName);
    bool InCreatedKey(const std::string& path) const;

    HKEY m_root;
    bool m_bWow64Software;
    std::vector<std::string> m_created;
    std::vector<SavedValue> m_saved;
};
