// The instance name the framework derives from the executable's path.
#include <gtest/gtest.h>

#include "CWinApp.h"

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
