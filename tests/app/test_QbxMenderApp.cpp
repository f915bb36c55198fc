// CQbxMenderApp: the program's globals as the C++ runtime builds them.
#include <gtest/gtest.h>

#include "Scratch.h"

// The application object exists before the environment service takes its
// snapshot, which asks for the Windows version once.
TEST(QbxMenderApp, BuildsTheApplicationBeforeTheEnvironment)
{
    const ProgramRun run = RunProgram(ProgramFolder() + "startorder_probe.exe");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("hooked=1 asked=1 before-the-application=0", run.output);
}
