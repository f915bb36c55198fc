// Libraries planted where a search by name would find them first, beside the
// program and in its current directory, with the current directory searched
// before the system folder or after it, and Wine told to prefer a library it
// finds on disk to its own: the program loads none of them, and the walk
// (diagnose, repair, diagnose again) gives the pages it gives without them.
#include "E2EMachine.h"

#include <tlhelp32.h>

#include <algorithm>

namespace
{
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// The modules a process has loaded, by full path.
std::vector<std::string> LoadedModules(DWORD pid)
{
    std::vector<std::string> modules;
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
    if (hSnap == INVALID_HANDLE_VALUE)
        return modules;
    MODULEENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32First(hSnap, &entry); more; more = Module32Next(hSnap, &entry))
        modules.push_back(entry.szExePath);
    CloseHandle(hSnap);
    return modules;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return static_cast<char>(tolower(c)); });
    return text;
}

bool InFolder(const std::string& path, const std::string& folder)
{
    return Lower(path).rfind(Lower(folder) + "\\", 0) == 0;
}

enum Where
{
    BesideTheProgram,
    InTheCurrentDirectory,
};

struct Planting
{
    const char* name;
    Where where;
    const char* library;
    DWORD safeSearch; // SafeDllSearchMode: 0 puts the current directory before the system folder
};

class DllPlanting : public E2E, public ::testing::WithParamInterface<Planting>
{
protected:
    DllPlanting() : m_currentFolder("cwd") {}

    // The program's modules that do not come from where they should: the
    // program itself and its installer library from its folder, everything
    // else from elsewhere, and nothing from the current directory. Wine
    // lists no modules of a 32-bit program to this 64-bit one: there the
    // planted library's own record of being loaded has to do.
    void ExpectModulesFromTheirPlaces(const char* when)
    {
        const std::vector<std::string> modules = LoadedModules(Pid());
        if (modules.empty() && Is32BitProgram(ProgramFolder() + "payload\\QbxMender.exe"))
            return;
        EXPECT_FALSE(modules.empty()) << when;
        for (const std::string& module : modules)
        {
            const std::string name = Lower(module.substr(module.find_last_of('\\') + 1));
            if (!GetEnv("QBX_PRINT_MODULES").empty())
                printf("%s: %s\n", when, module.c_str());
            EXPECT_FALSE(InFolder(module, m_currentFolder.Path())) << when << ": " << module;
            if (name != "qbxmender.exe" && name != "vtinst32.dll")
            {
                EXPECT_FALSE(InFolder(module, ProgramFolderPath())) << when << ": " << module;
            }
        }
    }

    ScratchFolder m_currentFolder;
};

TEST_P(DllPlanting, NoneIsLoaded)
{
    const Planting& p = GetParam();
    PlayMachine(MachineSetup());
    // Wine's load order for this program: a library found on disk first,
    // as Windows takes the first one its search finds.
    const std::string overrides = std::string(kAppDefaults) + "\\DllOverrides";
    std::string overrideName = p.library;
    if (Lower(overrideName).size() > 4 && Lower(overrideName).substr(overrideName.size() - 4) == ".dll")
        overrideName.resize(overrideName.size() - 4);
    ASSERT_TRUE(m_hkcu.SetString(overrides, overrideName, "native,builtin"));
    ASSERT_TRUE(m_hklm.SetDword(kSessionManager, "SafeDllSearchMode", p.safeSearch));

    std::string planted;
    if (p.where == BesideTheProgram)
    {
        ASSERT_TRUE(Install("planted.dll", p.library));
        planted = ProgramFolderPath() + "\\" + p.library;
    }
    else
    {
        ASSERT_TRUE(CopyBuilt("payload\\planted.dll", m_currentFolder.Path(), p.library));
        planted = m_currentFolder.File(p.library);
        m_currentDir = m_currentFolder.Path();
    }
    StartProgram();

    EXPECT_EQ(std::string(kPortLine) + kDriverLines + kClearLines, m_wizard->Next());
    int notices = 0;
    EXPECT_EQ(std::string(kPortRepaired) + kDriverRepaired, m_wizard->Next(
                                                                [&](HWND hNotice)
                                                                {
                                                                    ExpectModulesFromTheirPlaces("diagnosis");
                                                                    ReadAndAcceptNotice(hNotice, &notices);
                                                                }));
    EXPECT_EQ(1, notices);
    EXPECT_EQ(kWelcomePage, m_wizard->Next());
    EXPECT_EQ(kNoProblemPage, m_wizard->Next());
    ExpectModulesFromTheirPlaces("repair");
    Cancel();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((planted + ".loaded").c_str())) << planted << " was loaded";
}

INSTANTIATE_TEST_SUITE_P(
    , DllPlanting,
    ::testing::Values(Planting{"AccountsBesideProgram", BesideTheProgram, "netapi32.dll", 1},
                      Planting{"AccountsBesideProgramUnsafeSearch", BesideTheProgram, "netapi32.dll", 0},
                      Planting{"AccountsInCurrentDirectory", InTheCurrentDirectory, "netapi32.dll", 1},
                      Planting{"AccountsInCurrentDirectoryUnsafeSearch", InTheCurrentDirectory, "netapi32.dll", 0},
                      Planting{"SpoolerBesideProgram", BesideTheProgram, "winspool.drv", 1},
                      Planting{"SpoolerBesideProgramUnsafeSearch", BesideTheProgram, "winspool.drv", 0},
                      Planting{"SpoolerInCurrentDirectory", InTheCurrentDirectory, "winspool.drv", 1},
                      Planting{"SpoolerInCurrentDirectoryUnsafeSearch", InTheCurrentDirectory, "winspool.drv", 0},
                      // Wine's spooler loads its print provider by name once
                      // the program asks for a printer.
                      Planting{"PrintProviderBesideProgram", BesideTheProgram, "localspl.dll", 0},
                      Planting{"PrintProviderInCurrentDirectory", InTheCurrentDirectory, "localspl.dll", 0},
                      // Imported at start; the manifest's Common Controls 6
                      // comes from the side-by-side store.
                      Planting{"CommonControlsBesideProgram", BesideTheProgram, "comctl32.dll", 0}),
    [](const ::testing::TestParamInfo<Planting>& info) { return info.param.name; });
} // namespace

namespace
{
// A system library the program cannot load (Wine told to load none): its
// calls fail as the functions themselves fail, and the program goes on.
struct MissingLibrary
{
    const char* name;
    const char* overrideName; // Wine's name for it in DllOverrides
    std::string report;
};

class SystemLibraryMissing : public E2E, public ::testing::WithParamInterface<MissingLibrary>
{
};

TEST_P(SystemLibraryMissing, ItsCallsFail)
{
    PlayMachine(MachineSetup());
    ASSERT_TRUE(m_hkcu.SetString(std::string(kAppDefaults) + "\\DllOverrides", GetParam().overrideName, ""));
    StartProgram();
    EXPECT_EQ(GetParam().report, m_wizard->Next());
    EXPECT_TRUE(KeepsRunning());
    Cancel();
}

// Without the spooler the printer is on no port, so neither check applies.
// Without the account database the lookup fails, and Wine's token holds
// the Administrators group.
INSTANTIATE_TEST_SUITE_P(, SystemLibraryMissing,
                         ::testing::Values(MissingLibrary{"Spooler", "winspool.drv", kNoProblemPage},
                                           MissingLibrary{"Accounts", "netapi32",
                                                          std::string(kPortLine) + kDriverLines + kClearLines}),
                         [](const ::testing::TestParamInfo<MissingLibrary>& info) { return info.param.name; });
} // namespace
