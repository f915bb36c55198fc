// The instance name the framework derives from the executable's path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CWinApp.h"
#include "Scratch.h"

TEST(CWinApp, InstanceNameFromPath)
{
    struct Case
    {
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\Tools\\Tool.exe", "Tool"},
        {"C:\\Program Files\\QbxMender\\QbxMender.exe", "QbxMender"},
        {"C:\\a.b\\QbxMender.v2.exe", "QbxMender.v2"},
        {"\\\\server\\share/dir/Prog.EXE", "Prog"},
        {"C:Prog.exe", "Prog"},
        {"Prog", "Prog"},
        {"C:\\dir.x\\Prog", "dir"}, // no extension: the cut falls in the folder name
        {"", ""},
    };
    for (const Case& c : cases)
    {
        char name[MAX_PATH];
        memset(name, 0xbd, sizeof(name));
        CWinApp::ExeNameFromPath(c.path, name, sizeof(name));
        EXPECT_STREQ(c.name, name) << c.path;
    }
}

TEST(CWinApp, InstanceNameIsCutToItsBuffer)
{
    char name[8];
    memset(name, 0xbd, sizeof(name));
    CWinApp::ExeNameFromPath("C:\\LongProgramName.exe", name, 5);
    EXPECT_STREQ("Long", name);
    EXPECT_EQ(static_cast<char>(0xbd), name[5]);
}

namespace
{
// A path as the wide file calls take it past MAX_PATH.
std::wstring LongPath(const std::string& path)
{
    return L"\\\\?\\" + std::wstring(path.begin(), path.end());
}

// Files and folders made past MAX_PATH, removed deepest first at the end:
// the scratch folder's own removal does not reach that far.
struct LongPaths
{
    std::vector<std::string> made;
    ~LongPaths()
    {
        for (size_t i = made.size(); i-- > 0;)
        {
            if (!DeleteFileW(LongPath(made[i]).c_str()))
                RemoveDirectoryW(LongPath(made[i]).c_str());
        }
    }
};
} // namespace

// The instance name comes from the module's whole path, however long, and
// is never empty: it names the single-instance mutex.
TEST(CWinApp, InstanceNameOfTheModuleFile)
{
    const struct
    {
        const char* file;
        int depth; // folders of 60 characters: 5 take the path past MAX_PATH
        const char* name;
    } cases[] = {
        {"Tool.dll", 0, "Tool"},
        {".dll", 0, "QbxMender"},
        {"Deep.dll", 5, "Deep"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.file);
        ScratchFolder scratch("module");
        LongPaths paths;
        std::string folder = scratch.Path();
        for (int i = 0; i < c.depth; ++i)
        {
            folder += "\\" + std::string(59, 'd') + std::to_string(i);
            ASSERT_TRUE(CreateDirectoryW(LongPath(folder).c_str(), NULL));
            paths.made.push_back(folder);
        }
        const std::string file = folder + "\\" + c.file;
        const std::string built = ProgramFolder() + "..\\planted.dll";
        ASSERT_TRUE(CopyFileW(std::wstring(built.begin(), built.end()).c_str(), LongPath(file).c_str(), FALSE));
        paths.made.push_back(file);
        paths.made.push_back(file + ".loaded"); // left by the library when its path fits MAX_PATH
        HMODULE hModule = LoadLibraryW(LongPath(file).c_str());
        ASSERT_TRUE(hModule != NULL);

        CWinApp app;
        app.SetCurrentHandles(hModule);
        EXPECT_STREQ(c.name, app.m_pszExeName);
        EXPECT_EQ(hModule, app.m_hInstance);
        FreeLibrary(hModule);
    }
}
