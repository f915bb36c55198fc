// placeholder
#include <gtest/gtest.h>
#include "XpNoticeDlg.h"
#include "WindowDriver.h"
TEST(XpNoticeDlg, Shows) {
    CXpNoticeDlg dlg; ModalScript s; s.When("Information for Windows XP users", [](HWND h){ PumpFor(100); PostKey(h, VK_ESCAPE); });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
}
