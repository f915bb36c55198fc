// CSysEnv: is the product installed, and is the device's printer on the
// device's USB port. Every test runs in a private HKLM, where Wine's
// in-process spooler also finds the printers.
#include <windows.h>

#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>
#include <winspool.h>

#include <functional>
#include <string>
#include <vector>

#include "EnvTest.h"
#include "PlayWindows.h"
#include "PrivateHive.h"
#include "ProgramTexts.h"

namespace
{
// Data of the given size for the bad-registry tables: letters, with a NUL at
// the end, in the middle, or nowhere.
enum NulAt
{
    NUL_NONE,
    NUL_LAST,
    NUL_MIDDLE,
};

std::string Filled(size_t size, NulAt nul)
{
    std::string data(size, 'A');
    if (size > 0 && nul == NUL_LAST)
        data[size - 1] = '\0';
    if (size > 0 && nul == NUL_MIDDLE)
        data[size / 2] = '\0';
    return data;
}

const DWORD kAnyTypes[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD, 0x12345678};
const NulAt kNulPlaces[] = {NUL_NONE, NUL_LAST, NUL_MIDDLE};
const char* const kNulNames[] = {"no NUL", "NUL last", "NUL inside"};

class SysEnv : public ::testing::Test
{
protected:
    SysEnv() : m_env(kWinXP) {}

    // Empties the hive for the next case of a table.
    void ClearHive()
    {
        m_hive.DeleteKey("SOFTWARE");
        m_hive.DeleteKey("System");
    }

    // Stores the product's value name as every type, size and NUL place in
    // turn, and compares answer() with the row's expectation.
    // One size of the value, and the answer expected of the check with no
    // NUL in the data and with one (last or inside).
    struct SizeRow
    {
        size_t size;
        bool noNul;
        bool withNul;
    };
    void ForEachStoredValue(const char* name, const std::vector<SizeRow>& rows, const std::function<bool()>& answer)
    {
        for (DWORD type : kAnyTypes)
            for (const SizeRow& row : rows)
                for (NulAt nul : kNulPlaces)
                {
                    if (row.size == 0 && nul != NUL_NONE)
                        continue;
                    SCOPED_TRACE(testing::Message()
                                 << "type " << type << ", " << row.size << " bytes, " << kNulNames[nul]);
                    m_hive.SetExact(kProductKey, name, type, Filled(row.size, nul));
                    EXPECT_EQ(nul == NUL_NONE ? row.noNul : row.withNul, answer());
                }
    }

    PrivateHive m_hive;
    CPlayedSysEnv m_env;
};

TEST_F(SysEnv, ProductInstalledWhenItsMarkerCanBeRead)
{
    EXPECT_FALSE(m_env.IsProductInstalled());
    m_hive.SetString(kProductKey, "Version", "2.01");
    m_hive.SetString("SOFTWARE\\Veltro", "VersionStr", "2.01");
    EXPECT_FALSE(m_env.IsProductInstalled()) << "the key without the marker";

    // A marker of any type and content counts when it fits 256 bytes.
    const std::vector<SizeRow> rows = {{0, true, true},   {1, true, true},   {7, true, true},     {8, true, true},
                                       {255, true, true}, {256, true, true}, {257, false, false}, {4096, false, false}};
    ForEachStoredValue("VersionStr", rows, [&] { return m_env.IsProductInstalled(); });
}

TEST_F(SysEnv, PrinterOnTheUsbPort)
{
    struct Case
    {
        const char* what;
        const char* defaultPort; // NULL: no printer of the default name
        const char* otherPort;   // NULL: no printer named kTestPrinter
        bool hasName;            // a PRINTERNAME value
        DWORD nameType;
        std::string name;
        bool onUsb;
    } cases[] = {
        {"default printer on the port", kUsbPort, NULL, false, 0, "", true},
        {"port in other letter case", "qbxusb1:", NULL, false, 0, "", false},
        {"port list that holds it", "QBXUSB1:,LPT1:", NULL, false, 0, "", false},
        {"port without its colon", "QBXUSB1", NULL, false, 0, "", false},
        {"another port", "LPT1:", NULL, false, 0, "", false},
        {"no printer", NULL, NULL, false, 0, "", false},
        {"the named printer is used", "LPT1:", kUsbPort, true, REG_SZ, std::string(kTestPrinter) + '\0', true},
        {"not the default one", kUsbPort, "LPT1:", true, REG_SZ, std::string(kTestPrinter) + '\0', false},
        {"no fallback to the default", kUsbPort, NULL, true, REG_SZ, std::string(kTestPrinter) + '\0', false},
        {"name of any type", "LPT1:", kUsbPort, true, REG_BINARY, std::string(kTestPrinter) + '\0', true},
        {"empty name", kUsbPort, NULL, true, REG_SZ, "", false},
        // A name filling the 260-byte buffer is used when it ends inside it.
        {"name ending inside the buffer", "LPT1:", kUsbPort, true, REG_SZ,
         std::string(kTestPrinter) + '\0' + std::string(260 - strlen(kTestPrinter) - 1, 'B'), true},
        {"no end inside the buffer: default", kUsbPort, NULL, true, REG_SZ, std::string(260, 'A'), true},
        {"larger than the buffer: default", kUsbPort, "LPT1:", true, REG_SZ,
         std::string(kTestPrinter) + '\0' + std::string(300, 'B'), true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ClearHive();
        if (c.defaultPort != NULL)
            m_hive.AddPrinter(kDefaultPrinter, c.defaultPort);
        if (c.otherPort != NULL)
            m_hive.AddPrinter(kTestPrinter, c.otherPort);
        if (c.hasName)
            m_hive.SetExact(kProductKey, "PRINTERNAME", c.nameType, c.name);
        EXPECT_EQ(c.onUsb, m_env.IsPrinterPort(PORT_USB));
    }
}

TEST_F(SysEnv, OnlyTheUsbPortKindIsKnown)
{
    m_hive.AddPrinter(kDefaultPrinter, kUsbPort);
    const int kinds[] = {0, 2, 3, -1, 100, INT_MIN, INT_MAX};
    for (int kind : kinds)
        EXPECT_FALSE(m_env.IsPrinterPort(kind)) << "kind " << kind;
    EXPECT_TRUE(m_env.IsPrinterPort(PORT_USB));
}

// The default name is used when the value cannot be read into the 260-byte
// buffer or holds no NUL there; a name that is used names no printer here,
// while the default printer is on the USB port.
TEST_F(SysEnv, PrinterNameOfAnyTypeAndSize)
{
    m_hive.AddPrinter(kDefaultPrinter, kUsbPort);
    // true: the default printer was used.
    const std::vector<SizeRow> rows = {{0, false, false},   {1, false, false},   {7, false, false},
                                       {8, false, false},   {255, false, false}, {256, false, false},
                                       {257, false, false}, {259, false, false}, {260, true, false},
                                       {261, true, true},   {4096, true, true}};
    ForEachStoredValue("PRINTERNAME", rows, [&] { return m_env.IsPrinterPort(PORT_USB); });
}

TEST_F(SysEnv, PortTextMustFitItsBuffer)
{
    // Wine's spooler hands out a port of any length, so each one reaches the
    // service.
    struct Case
    {
        std::string port;
        bool fits;
    } cases[] = {
        {kUsbPort, true},
        {"QBXUSB1:,LPT1:", true},
        {std::string(PORT_TEXT_SIZE - 1, 'P'), true},
        {std::string(PORT_TEXT_SIZE, 'P'), false},
        {std::string(kUsbPort) + std::string(PORT_TEXT_SIZE, ' '), false},
        {std::string(1000, 'P'), false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "port of " << c.port.size() << " characters");
        ClearHive();
        m_hive.AddPrinter(kDefaultPrinter, c.port);
        char port[PORT_TEXT_SIZE * 2];
        memset(port, kPoison, sizeof(port));
        ASSERT_EQ(c.fits, m_env.GetPrinterPort(port));
        if (c.fits)
        {
            EXPECT_EQ(c.port, port);
        }
        for (size_t i = PORT_TEXT_SIZE; i < sizeof(port); ++i)
            ASSERT_EQ(kPoison, static_cast<BYTE>(port[i])) << "written at " << i;
        EXPECT_EQ(c.port == kUsbPort, m_env.IsPrinterPort(PORT_USB));
    }
}

TEST_F(SysEnv, QueriesLeaveTheRootAtTheMachineHive)
{
    // The queries choose their root themselves: a marker and a printer name
    // below another root are not theirs.
    const std::string elsewhere = std::string("Elsewhere\\") + kProductKey;
    m_hive.SetString(elsewhere, "VersionStr", "2.01");
    m_hive.SetString(elsewhere, "PRINTERNAME", kTestPrinter);
    m_hive.AddPrinter(kDefaultPrinter, kUsbPort);
    m_hive.AddPrinter(kTestPrinter, "LPT1:");
    HKEY hElsewhere;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(m_hive.Root(), "Elsewhere", 0, KEY_READ, &hElsewhere));

    m_env.SetRootKey(hElsewhere);
    EXPECT_FALSE(m_env.IsProductInstalled());
    EXPECT_TRUE(RootKeyOf(m_env) == HKEY_LOCAL_MACHINE);

    m_env.SetRootKey(hElsewhere);
    EXPECT_TRUE(m_env.IsPrinterPort(PORT_USB));
    EXPECT_TRUE(RootKeyOf(m_env) == HKEY_LOCAL_MACHINE);

    // Also when the printer cannot be found, and for an unknown port kind.
    ClearHive();
    m_env.SetRootKey(NULL);
    EXPECT_FALSE(m_env.IsPrinterPort(PORT_USB));
    EXPECT_TRUE(RootKeyOf(m_env) == HKEY_LOCAL_MACHINE);
    m_env.SetRootKey(NULL);
    EXPECT_FALSE(m_env.IsPrinterPort(2));
    EXPECT_TRUE(RootKeyOf(m_env) == HKEY_LOCAL_MACHINE);
    RegCloseKey(hElsewhere);
}

// Bytes in use in the process heap, where GlobalAlloc takes its blocks.
size_t HeapBytesInUse()
{
    size_t bytes = 0;
    PROCESS_HEAP_ENTRY entry;
    entry.lpData = NULL;
    HeapLock(GetProcessHeap());
    while (HeapWalk(GetProcessHeap(), &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            bytes += entry.cbData;
    HeapUnlock(GetProcessHeap());
    return bytes;
}

// Wine's spooler hands out the lowest free printer handle, so a printer
// that a query left open moves the handle of the next one opened.
HANDLE NextPrinterHandle()
{
    HANDLE hPrinter = NULL;
    if (OpenPrinterA(const_cast<char*>(kTestPrinter), &hPrinter, NULL))
        ClosePrinter(hPrinter);
    return hPrinter;
}

TEST_F(SysEnv, QueriesKeepNothing)
{
    m_hive.SetString(kProductKey, "VersionStr", "2.01");
    m_hive.SetString(kProductKey, "PRINTERNAME", kTestPrinter);
    m_hive.AddPrinter(kTestPrinter, kUsbPort);
    // The first use of the spooler sets it up for the process.
    ASSERT_TRUE(m_env.IsPrinterPort(PORT_USB));
    const HANDLE hNext = NextHandle();
    const HANDLE hPrinter = NextPrinterHandle();
    ASSERT_TRUE(hPrinter != NULL);
    const size_t heapBytes = HeapBytesInUse();
    const int kCalls = 16;
    for (int i = 0; i < kCalls; ++i)
    {
        ASSERT_TRUE(m_env.IsProductInstalled());
        ASSERT_TRUE(m_env.IsPrinterPort(PORT_USB));
    }
    EXPECT_EQ(hNext, NextHandle()) << "a handle was left open";
    EXPECT_EQ(hPrinter, NextPrinterHandle()) << "a printer was left open";
    // Each printer record is larger than this.
    EXPECT_LT(HeapBytesInUse(), heapBytes + kCalls * sizeof(PRINTER_INFO_2A)) << "a printer record was not freed";
}
} // namespace
