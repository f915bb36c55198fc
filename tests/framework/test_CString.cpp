// CString: texts from the string table, formatting and joining.
#include <gtest/gtest.h>

#include "CString.h"
#include "resource.h"

TEST(CString, LoadsTextsVerbatimWithLineBreaksAndLeadingSpaces)
{
    static const char kWelcome[] = "                +++++About QBX Mender Software+++++\r\n\r\nThis software is the "
                                   "self-diagnosis program for QX-R310/\r\nQX-R520Series.\r\n\r\nClick <Next>, to "
                                   "start the program.";
    CString s;
    ASSERT_TRUE(s.LoadString(IDS_WELCOME));
    EXPECT_STREQ(kWelcome, static_cast<const char*>(s));
    EXPECT_EQ(static_cast<int>(sizeof(kWelcome) - 1), s.GetLength());
}

TEST(CString, MissingEntryLeavesAnEmptyText)
{
    CString s("kept?");
    EXPECT_FALSE(s.LoadString(4242));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ("", static_cast<const char*>(s));
}

TEST(CString, JoinsWithNothingBetween)
{
    CString s;
    s += "a\r\n";
    s += CString("b");
    s += static_cast<const char*>(NULL);
    s += "";
    EXPECT_STREQ("a\r\nb", static_cast<const char*>(s));
    s += s; // joining a text to itself
    EXPECT_STREQ("a\r\nba\r\nb", static_cast<const char*>(s));
}

TEST(CString, GrowsPastAnyFixedBuffer)
{
    CString s;
    std::string expected;
    for (int i = 0; i < 5000; ++i)
    {
        s += "0123456789";
        expected += "0123456789";
    }
    EXPECT_EQ(expected, std::string(s));
    CString copy(s);
    s.Empty();
    EXPECT_EQ(expected, std::string(copy));
    EXPECT_EQ(0, s.GetLength());
}

TEST(CString, FormatsKeysAndLongTexts)
{
    CString s;
    s.Format("SYSTEM\\ControlSet%03d\\%s", 1, "Services\\VTsmfpi\\Parameters");
    EXPECT_STREQ("SYSTEM\\ControlSet001\\Services\\VTsmfpi\\Parameters", static_cast<const char*>(s));
    s.Format("%03d", 255);
    EXPECT_STREQ("255", static_cast<const char*>(s));

    // Longer than the first attempt's buffer, and exactly its size.
    std::string longText(3000, 'x');
    s.Format("%s\\inf\\VTMfcusb.inf", longText.c_str());
    EXPECT_EQ(longText + "\\inf\\VTMfcusb.inf", std::string(s));
    std::string exact(255, 'y');
    s.Format("%s", exact.c_str());
    EXPECT_EQ(exact, std::string(s));
}
