// Tests of CUsbPortCheck against a private HKLM: what the check reports for
// each stored setting, which service keys a repair writes, and how both cope
// with values of any type and size where they expect a string or a number.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ImportHook.h"
#include "PlayWindows.h"
#include "PrivateHive.h"
#include "ProgramTexts.h"
#include "UsbPortCheck.h"

namespace
{
const DWORD kOddType = 0x1234;

std::string ControlSetKey(int nSet)
{
    char key[80];
    _snprintf(key, sizeof(key), "SYSTEM\\ControlSet%03d\\Services\\VTsmfpi\\Parameters", nSet);
    key[sizeof(key) - 1] = '\0';
    return key;
}

// A registry value as a test stores it: exactly these bytes, or no value.
struct Stored
{
    bool present;
    DWORD type;
    std::string bytes;
};

Stored Missing()
{
    return Stored{false, REG_NONE, std::string()};
}
Stored Raw(DWORD type, const std::string& bytes)
{
    return Stored{true, type, bytes};
}
// A string with its terminating NUL.
Stored Text(const std::string& text, DWORD type = REG_SZ)
{
    return Raw(type, std::string(text.c_str(), text.size() + 1));
}
Stored Number(DWORD value)
{
    return Raw(REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof(value)));
}

std::string ValuePath(const std::string& key, const std::string& name)
{
    return key + "\\[" + name + "]";
}

// Stores v, read back to be sure, or nothing for a missing value.
void Store(PrivateHive& hive, const std::string& key, const std::string& name, const Stored& v)
{
    if (v.present)
        hive.SetExact(key, name, v.type, v.bytes);
}

// Wine's spooler notes a printer's status in its key when it opens it, and
// creates the printers' keys (Control\Print\Printers) when it finds none: the
// dump without what lies below Control.
HiveDump OutsidePrinters(const HiveDump& dump)
{
    static const char prefix[] = "SYSTEM\\CurrentControlSet\\Control";
    HiveDump out;
    for (HiveDump::const_iterator it = dump.begin(); it != dump.end(); ++it)
        if (_strnicmp(it->first.c_str(), prefix, sizeof(prefix) - 1) != 0)
            out.insert(*it);
    return out;
}

// A private HKLM with the service's key in the control set in use and in
// control sets 1 and 2, and a control set 3 without the service. Windows
// numbers its control sets from 1; a set 0 is here so that a write into the
// set that a number's lowest byte 0 names would show.
class ServiceHive : public PrivateHive
{
public:
    ServiceHive()
    {
        CreateKey(kServiceKey);
        SetString(ControlSetKey(0), "0", "stale 0");
        SetString(ControlSetKey(1), "0", "stale 1");
        SetString(ControlSetKey(2), "0", "stale 2");
        CreateKey("SYSTEM\\ControlSet003\\Services");
    }
};

// And the product installed with its printer on a port. The SYSTEM keys come
// before the printer's, so every path in a dump is spelt as here.
class DeviceHive : public ServiceHive
{
public:
    // port: the printer's port, or NULL for no printer at all. printer: the
    // name that PRINTERNAME gives, or NULL for no value and a printer under
    // the device's usual name.
    explicit DeviceHive(const char* port = kUsbPort, const char* printer = kTestPrinter)
    {
        SetString(kProductKey, "VersionStr", "1.0");
        if (printer != NULL)
            SetString(kProductKey, "PRINTERNAME", printer);
        if (port != NULL)
            AddPrinter(printer != NULL ? printer : kDefaultPrinter, port);
    }
};

std::string Describe(DWORD type, size_t size, const char* variant)
{
    std::ostringstream s;
    s << "type 0x" << std::hex << type << std::dec << ", " << size << " bytes, " << variant;
    return s.str();
}

const DWORD kTypes[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD, kOddType};
const size_t kSizes[] = {0, 1, 7, 8, 255, 256, 257, 4096};

enum Terminator
{
    kNoNul,       // no NUL anywhere
    kNulAtEnd,    // the last byte is NUL
    kNulAfterText // a NUL right after the first seven bytes, more bytes after it
};
const char* const kTerminatorNames[] = {"no NUL", "NUL at the end", "NUL after 7 bytes"};

// size bytes starting with lead and going on in letters, terminated as asked.
std::string Bytes(size_t size, const std::string& lead, Terminator t)
{
    std::string b(size, '\0');
    for (size_t i = 0; i < size; ++i)
        b[i] = i < lead.size() ? lead[i] : static_cast<char>('a' + i % 26);
    if (t == kNulAtEnd && size > 0)
        b[size - 1] = '\0';
    if (t == kNulAfterText && size > 7)
        b[7] = '\0';
    return b;
}

bool Applies(Terminator t, size_t size)
{
    return t == kNoNul || (t == kNulAtEnd && size > 0) || (t == kNulAfterText && size > 8);
}

// The values this program asks RegSetValueExA to store while the spy lives:
// what a registry that keeps only the bytes it is given would hold. (Wine, as
// Windows NT, also stores a NUL that follows a string's data in memory, so
// the hive alone does not show the count.)
class SetValueSpy
{
public:
    SetValueSpy() : m_hook("advapi32.dll", "RegSetValueExA", reinterpret_cast<const void*>(&Record))
    {
        EXPECT_TRUE(m_hook.Installed());
        s_pSpy = this;
    }
    ~SetValueSpy() { s_pSpy = NULL; }

    std::vector<Stored> m_calls;

private:
    static LONG WINAPI Record(HKEY hKey, LPCSTR pszName, DWORD dwReserved, DWORD dwType, const BYTE* pData,
                              DWORD dwSize)
    {
        EXPECT_STREQ("0", pszName);
        s_pSpy->m_calls.push_back(Raw(dwType, std::string(reinterpret_cast<const char*>(pData), dwSize)));
        return s_pSpy->m_hook.Original<decltype(&RegSetValueExA)>()(hKey, pszName, dwReserved, dwType, pData, dwSize);
    }
    static SetValueSpy* s_pSpy;
    ImportHook m_hook;
};
SetValueSpy* SetValueSpy::s_pSpy = NULL;
} // namespace

// Check reports a problem only for a REG_SZ that reads as something else than
// "VTvUsb0", on Windows 2000 and XP, with the device's printer on "QBXUSB1:".
TEST(UsbPortCheck, CheckFindsAWrongSettingOnlyWhereItApplies)
{
    struct Case
    {
        const char* what;
        WindowsVersion windows;
        Stored value; // "0" of the service key in the control set in use
        const char* port;
        const char* printer;
        bool problem;
    };
    const Case cases[] = {
        {"expected text on XP", kWinXP, Text("VTvUsb0"), kUsbPort, kTestPrinter, false},
        {"expected text on 2000", kWin2000, Text("VTvUsb0"), kUsbPort, kTestPrinter, false},
        {"lower case on XP", kWinXP, Text("vtvusb0"), kUsbPort, kTestPrinter, true},
        {"lower case on 2000", kWin2000, Text("vtvusb0"), kUsbPort, kTestPrinter, true},
        {"one character more", kWinXP, Text("VTvUsb0x"), kUsbPort, kTestPrinter, true},
        {"one character less", kWinXP, Text("VTvUsb"), kUsbPort, kTestPrinter, true},
        {"empty text", kWinXP, Text(""), kUsbPort, kTestPrinter, true},
        {"no terminator", kWinXP, Raw(REG_SZ, kUsbSetting), kUsbPort, kTestPrinter, false},
        {"printer by its usual name", kWinXP, Text("vtvusb0"), kUsbPort, NULL, true},
        {"value missing", kWinXP, Missing(), kUsbPort, kTestPrinter, false},
        {"REG_EXPAND_SZ, expected text", kWinXP, Text("VTvUsb0", REG_EXPAND_SZ), kUsbPort, kTestPrinter, false},
        {"REG_EXPAND_SZ, wrong text", kWinXP, Text("wrong", REG_EXPAND_SZ), kUsbPort, kTestPrinter, false},
        {"REG_BINARY", kWinXP, Raw(REG_BINARY, "wrong"), kUsbPort, kTestPrinter, false},
        {"REG_DWORD", kWinXP, Number(1), kUsbPort, kTestPrinter, false},
        {"longer than 256 bytes", kWinXP, Text(std::string(300, 'x')), kUsbPort, kTestPrinter, false},
        {"printer on LPT1:", kWinXP, Text("wrong"), "LPT1:", kTestPrinter, false},
        {"no printer", kWinXP, Text("wrong"), NULL, kTestPrinter, false},
        {"Windows NT 4", kNT4, Text("wrong"), kUsbPort, kTestPrinter, false},
        {"Windows 98", kWin98, Text("wrong"), kUsbPort, kTestPrinter, false},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        DeviceHive hive(c.port, c.printer);
        Store(hive, kServiceKey, "0", c.value);
        PlayWindows windows(c.windows);
        const HiveDump before = hive.Dump();

        CUsbPortCheck check;
        EXPECT_EQ(c.problem, check.Check());
        EXPECT_EQ(c.problem, check.ProblemFound());

        // Check writes nothing. Outside 2000 and XP it reads nothing either:
        // the printer is not looked up, and no root was ever chosen.
        const bool checked = c.windows.major == 5 && c.windows.platformId == VER_PLATFORM_WIN32_NT;
        const HiveDump after = hive.Dump();
        if (checked)
            EXPECT_TRUE(OutsidePrinters(before) == OutsidePrinters(after)) << DescribeDifference(before, after);
        else
            EXPECT_TRUE(before == after) << DescribeDifference(before, after);
        EXPECT_EQ(checked, RootKeyOf(theSysEnv) != NULL);
    }
}

// The flag is the answer of the last Check alone: a check that finds nothing,
// for whatever reason, clears what an earlier one found.
TEST(UsbPortCheck, EachCheckStartsFromNoProblem)
{
    enum Change
    {
        kRightSetting,
        kOtherType,
        kPrinterMoved,
        kOlderWindows
    };
    const char* const names[] = {"setting repaired", "setting of another type", "printer moved", "Windows NT 4"};
    for (int change = kRightSetting; change <= kOlderWindows; ++change)
    {
        SCOPED_TRACE(names[change]);
        DeviceHive hive;
        hive.SetString(kServiceKey, "0", "wrong");
        PlayWindows xp(kWinXP);
        CUsbPortCheck check;
        ASSERT_TRUE(check.Check());

        std::unique_ptr<PlayWindows> nt4;
        if (change == kRightSetting)
            hive.SetString(kServiceKey, "0", kUsbSetting);
        else if (change == kOtherType)
            hive.SetString(kServiceKey, "0", "wrong", REG_EXPAND_SZ);
        else if (change == kPrinterMoved)
            hive.SetString(std::string("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\") + kTestPrinter, "Port",
                           "LPT1:");
        else
            nt4.reset(new PlayWindows(kNT4));
        EXPECT_FALSE(check.Check());
        EXPECT_FALSE(check.ProblemFound());
    }
}

// Repair writes "VTvUsb0" into the control set in use and into the sets that
// SYSTEM\Select names, and nowhere else; the whole hive is compared, and
// each write passes the seven letters alone.
TEST(UsbPortCheck, RepairWritesTheSettingExactlyWhereItBelongs)
{
    enum Before
    {
        kProblemOnXP,   // a Check on XP found the wrong setting
        kNothingFound,  // a Check on XP found nothing (the value is not a REG_SZ)
        kNoCheck,       // no Check ran
        kProblemThenNT4 // a Check on XP found it, the repair runs on NT 4
    };
    enum Written
    {
        kInUse = 1, // SYSTEM\CurrentControlSet
        kSet1 = 2,  // SYSTEM\ControlSet001
        kSet2 = 4   // SYSTEM\ControlSet002
    };
    struct Case
    {
        const char* what;
        Stored current, deflt; // "Current" and "Default" of SYSTEM\Select
        bool keyRemoved;       // the service's key in the control set in use went after the Check
        Before before;
        int result;
        int written;
        int readOnly = 0; // the service keys that refuse writes (Written bits)
    };
    const Case cases[] = {
        {"current 1, default 1", Number(1), Number(1), false, kProblemOnXP, 0, kInUse | kSet1},
        {"current 1, default 2", Number(1), Number(2), false, kProblemOnXP, 0, kInUse | kSet1 | kSet2},
        {"current 2, default 1", Number(2), Number(1), false, kProblemOnXP, 0, kInUse | kSet1 | kSet2},
        {"current 257 is set 1", Number(0x101), Missing(), false, kProblemOnXP, 0, kInUse | kSet1},
        {"default 0x302 is set 2", Number(1), Number(0x302), false, kProblemOnXP, 0, kInUse | kSet1 | kSet2},
        {"no SYSTEM\\Select", Missing(), Missing(), false, kProblemOnXP, 0, kInUse},
        {"current missing, default 1", Missing(), Number(1), false, kProblemOnXP, 0, kInUse | kSet1},
        {"selection as REG_SZ", Text("1"), Text("2"), false, kProblemOnXP, 0, kInUse},
        {"selection as REG_BINARY", Raw(REG_BINARY, std::string("\x01\0\0\0", 4)),
         Raw(REG_BINARY, std::string("\x02\0\0\0", 4)), false, kProblemOnXP, 0, kInUse},
        {"default names a set without the service", Number(1), Number(3), false, kProblemOnXP, 0, kInUse | kSet1},
        {"current names a set without the service", Number(3), Number(2), false, kProblemOnXP, 0, kInUse | kSet2},
        {"service key missing", Number(1), Number(2), true, kProblemOnXP, -1, 0},
        // A set that holds the service but refuses the write would boot with
        // the wrong setting: a failure, after every other set was written.
        {"set in use refuses the write", Number(1), Number(2), false, kProblemOnXP, -1, 0, kInUse},
        {"current set refuses the write", Number(1), Number(2), false, kProblemOnXP, -1, kInUse | kSet2, kSet1},
        {"default set refuses the write", Number(1), Number(2), false, kProblemOnXP, -1, kInUse | kSet1, kSet2},
        {"Check found nothing", Number(1), Number(2), false, kNothingFound, 0, 0},
        {"no Check", Number(1), Number(2), false, kNoCheck, 0, 0},
        {"repair on NT 4", Number(1), Number(2), false, kProblemThenNT4, 0, 0},
    };
    // Repair passes the seven letters with a count of 7; RegSetValueExA, as
    // on Windows NT, also stores the NUL that follows them.
    const HiveEntry repaired = {false, REG_SZ, std::string(kUsbSetting, sizeof(kUsbSetting))};

    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        DeviceHive hive;
        hive.SetString(kServiceKey, "0", "wrong", c.before == kNothingFound ? REG_EXPAND_SZ : REG_SZ);
        Store(hive, kSelectKey, "Current", c.current);
        Store(hive, kSelectKey, "Default", c.deflt);

        PlayWindows xp(kWinXP);
        CUsbPortCheck check;
        const bool found = c.before == kProblemOnXP || c.before == kProblemThenNT4;
        if (c.before != kNoCheck)
        {
            ASSERT_EQ(found, check.Check());
        }
        if (c.keyRemoved)
            hive.DeleteKey(kServiceKey);
        const std::pair<int, std::string> lockable[] = {
            {kInUse, kServiceKey}, {kSet1, ControlSetKey(1)}, {kSet2, ControlSetKey(2)}};
        for (const auto& key : lockable)
        {
            if (c.readOnly & key.first)
            {
                ASSERT_NO_FATAL_FAILURE(hive.MakeReadOnly(key.second));
            }
        }
        std::unique_ptr<PlayWindows> nt4(c.before == kProblemThenNT4 ? new PlayWindows(kNT4) : NULL);

        HiveDump expected = hive.Dump();
        SetValueSpy spy;
        EXPECT_EQ(c.result, check.Repair());
        EXPECT_EQ(found, check.ProblemFound());
        const size_t nWritten =
            (c.written & kInUse ? 1 : 0) + (c.written & kSet1 ? 1 : 0) + (c.written & kSet2 ? 1 : 0);
        EXPECT_EQ(nWritten, spy.m_calls.size());
        for (const Stored& call : spy.m_calls)
        {
            EXPECT_EQ(REG_SZ, call.type);
            EXPECT_EQ(std::string(kUsbSetting), call.bytes) << "a count of " << call.bytes.size();
        }
        if (c.written & kInUse)
            expected[ValuePath(kServiceKey, "0")] = repaired;
        if (c.written & kSet1)
            expected[ValuePath(ControlSetKey(1), "0")] = repaired;
        if (c.written & kSet2)
            expected[ValuePath(ControlSetKey(2), "0")] = repaired;
        const HiveDump after = hive.Dump();
        EXPECT_TRUE(expected == after) << DescribeDifference(expected, after);
        if (nt4)
        {
            EXPECT_TRUE(RootKeyOf(theSysEnv) == NULL) << "the registry was opened on NT 4";
        }

        // A repaired setting reads back as right; one left alone is still wrong.
        nt4.reset();
        const bool stillWrong = !c.keyRemoved && c.before != kNothingFound && !(c.written & kInUse);
        EXPECT_EQ(stillWrong, check.Check());
    }
}

// Value "0" of any type and size: Check reads at most 256 bytes and finds a
// problem only in a REG_SZ that fits, when it reads, up to its first NUL, as
// something else than "VTvUsb0". The data start with "VTvUsb0".
TEST(UsbPortCheck, CheckCopesWithAnyStoredSetting)
{
    struct Row
    {
        size_t size;
        Terminator term;
        bool problemAsString; // as a REG_SZ; as any other type, never a problem
    };
    const Row rows[] = {
        {0, kNoNul, true},
        {1, kNoNul, true},
        {1, kNulAtEnd, true},
        {7, kNoNul, false},
        {7, kNulAtEnd, true},
        {8, kNoNul, true},
        {8, kNulAtEnd, false},
        {255, kNoNul, true},
        {255, kNulAtEnd, true},
        {255, kNulAfterText, false},
        {256, kNoNul, true},
        {256, kNulAtEnd, true},
        {256, kNulAfterText, false},
        {257, kNoNul, false},
        {257, kNulAtEnd, false},
        {257, kNulAfterText, false},
        {4096, kNoNul, false},
        {4096, kNulAtEnd, false},
        {4096, kNulAfterText, false},
    };
    PlayWindows xp(kWinXP);
    for (DWORD type : kTypes)
    {
        DeviceHive hive; // each row replaces the value
        for (const Row& row : rows)
        {
            const std::string bytes = Bytes(row.size, kUsbSetting, row.term);
            SCOPED_TRACE(Describe(type, bytes.size(), kTerminatorNames[row.term]));
            Store(hive, kServiceKey, "0", Raw(type, bytes));
            CUsbPortCheck check;
            EXPECT_EQ(type == REG_SZ && row.problemAsString, check.Check());
        }
    }
}

// "Current" and "Default" of any type and size: a numbered control set is
// written only for a REG_DWORD that fits 8 bytes, and then the one its lowest
// byte names; "Default" only when that byte differs from what "Current" left.
// The data start with the byte 2.
TEST(UsbPortCheck, RepairCopesWithAnyStoredSelection)
{
    struct Round
    {
        const char* name; // the value under test
        Stored other;     // the other value of SYSTEM\Select
    };
    const Round rounds[] = {{"Current", Missing()}, {"Default", Missing()}, {"Default", Number(1)}};
    struct Row // a REG_DWORD of up to 8 bytes, and the numbered sets written in each round
    {
        size_t size;
        Terminator term;
        std::set<int> written[3];
    };
    const Row dwords[] = {
        {0, kNoNul, {{0}, {}, {1}}},        {1, kNoNul, {{2}, {2}, {1, 2}}},    {1, kNulAtEnd, {{0}, {}, {0, 1}}},
        {7, kNoNul, {{2}, {2}, {1, 2}}},    {7, kNulAtEnd, {{2}, {2}, {1, 2}}}, {8, kNoNul, {{2}, {2}, {1, 2}}},
        {8, kNulAtEnd, {{2}, {2}, {1, 2}}},
    };
    const std::set<int> otherwise[3] = {{}, {}, {1}}; // any other type, or a longer REG_DWORD
    const std::string repaired(kUsbSetting, sizeof(kUsbSetting));
    PlayWindows xp(kWinXP);
    // Repair acts on the answer of the last Check and does not look at the
    // printer again, so one Check serves every hive below.
    CUsbPortCheck check;
    {
        DeviceHive device;
        device.SetString(kServiceKey, "0", "wrong");
        ASSERT_TRUE(check.Check());
    }
    for (size_t r = 0; r < 3; ++r)
        for (DWORD type : kTypes)
            for (size_t size : kSizes)
                for (int n = kNoNul; n <= kNulAtEnd; ++n)
                {
                    const Terminator term = static_cast<Terminator>(n);
                    if (!Applies(term, size))
                        continue;
                    const Round& round = rounds[r];
                    const bool testingCurrent = round.name[0] == 'C';
                    const std::string bytes = Bytes(size, "\x02", term);
                    SCOPED_TRACE(std::string(round.name) + (round.other.present ? " (Current 1): " : ": ") +
                                 Describe(type, bytes.size(), kTerminatorNames[n]));
                    const std::set<int>* sets = &otherwise[r];
                    for (const Row& row : dwords)
                        if (type == REG_DWORD && row.size == size && row.term == term)
                            sets = &row.written[r];

                    ServiceHive hive;
                    hive.SetString(kServiceKey, "0", "wrong");
                    Store(hive, kSelectKey, round.name, Raw(type, bytes));
                    Store(hive, kSelectKey, testingCurrent ? "Default" : "Current", round.other);

                    HiveDump expected = hive.Dump();
                    expected[ValuePath(kServiceKey, "0")] = HiveEntry{false, REG_SZ, repaired};
                    for (int set : *sets)
                        expected[ValuePath(ControlSetKey(set), "0")] = HiveEntry{false, REG_SZ, repaired};
                    EXPECT_EQ(0, check.Repair());
                    const HiveDump after = hive.Dump();
                    EXPECT_TRUE(expected == after) << DescribeDifference(expected, after);
                }
}
