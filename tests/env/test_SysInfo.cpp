#include <gtest/gtest.h>
#include "PlayWindows.h"
TEST(SysInfo, Smoke)
{
    CFakeSysEnv e(kWinXP);
    EXPECT_TRUE(e.IsOsKind(OSK_WINXP));
}
