// The tests' entry point: the common controls the program's dialogs use,
// private hives that report to the running test and are named after it,
// then GoogleTest. A run in a prefix of the DPI matrix names the DPI it was
// set up with (QBX_EXPECT_DPI) and stops at once if the screen has another.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include "PrivateHive.h"
#include "Scratch.h"
#include "WindowKit.h"

namespace
{
void FailTheTest(const std::string& what)
{
    ADD_FAILURE() << what;
}
} // namespace

int main(int argc, char** argv)
{
    char expected[16] = "";
    if (GetEnvironmentVariableA("QBX_EXPECT_DPI", expected, sizeof(expected)) > 0 && atoi(expected) != ScreenDpi())
    {
        fprintf(stderr, "the screen has %d DPI, not the %s this run was set up for\n", ScreenDpi(), expected);
        return 1;
    }
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    g_hiveHooks.fail = FailTheTest;
    g_hiveHooks.defaultName = TestName;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
