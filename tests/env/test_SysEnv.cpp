#include <gtest/gtest.h>
#include "PrivateHive.h"
#include "PlayWindows.h"
TEST(SysEnv, Smoke)
{
    PrivateHive hive;
    hive.SetString("SOFTWARE\\Veltro\\Quellbox", "VersionStr", "1.0");
    EXPECT_TRUE(theSysEnv.IsProductInstalled());
}
