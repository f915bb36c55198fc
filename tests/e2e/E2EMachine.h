// The end-to-end tests' machine: each test writes a machine state into the
// prefix's own HKLM, lets Wine play a Windows version for the program alone,
// starts a copy from a folder of its own and walks the wizard page by page.
#pragma once

#include "PrivateHive.h"
#include "ProgramDriver.h"
#include "ProgramTexts.h"
#include "Scratch.h"
#include "ScratchRegistry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Where the program looks, as a real machine with the device holds it.
const char kSet1Params[] = "SYSTEM\\ControlSet001\\Services\\VTsmfpi\\Parameters";
const char kSet2Params[] = "SYSTEM\\ControlSet002\\Services\\VTsmfpi\\Parameters";
const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\QbxMender.exe";
const char* const kBadValue = kWrongSetting;

// One machine: the Windows it plays and what is installed and broken on it.
struct MachineSetup
{
    const char* windows = "winxp"; // the program's Windows version under Wine
    bool productInstalled = true;
    bool installerLibrary = true;       // VtInst32.dll beside the program
    const char* userPriv = "2";         // the account's privilege; NULL: no such account
    const char* installerResult = NULL; // what the library returns; NULL: it installs the driver
};

// Each test starts the program from a scratch folder of its own. The keys no
// run may leave behind in the prefix are cleared first, in case an
// interrupted run left them.
class E2E : public ::testing::Test
{
protected:
    E2E()
        : m_hklm(HKEY_LOCAL_MACHINE, Is32BitProgram(ProgramFolder() + "payload\\QbxMender.exe")),
          m_hkcu(HKEY_CURRENT_USER), m_folder("e2e")
    {
    }

    void SetUp() override
    {
        for (const char* key : kProgramKeys)
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
        RegDeleteTreeA(HKEY_CURRENT_USER, kAppDefaults);
    }

    void TearDown() override
    {
        m_process.Kill();
        m_hklm.Undo();
        m_hkcu.Undo();
        for (const char* key : kProgramKeys)
            EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, key)) << key;
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kAppDefaults));
    }

    // The device's machine with both of its USB problems: the service's USB
    // value is wrong in every control set, and the device's USB instance has
    // no active driver. Windows names control set 1 as current and 2 as
    // default. (Wine's CurrentControlSet is a key of its own, not a link to
    // a numbered set, so each write of the repair shows on its own.)
    void PlayMachine(const MachineSetup& machine)
    {
        // Wine settings for this program alone: the Windows it plays, and the
        // stand-in account library, in the prefix's system folder, instead of
        // Wine's own.
        ASSERT_TRUE(m_hkcu.SetString(kAppDefaults, "Version", machine.windows));
        ASSERT_TRUE(m_hkcu.SetString(std::string(kAppDefaults) + "\\DllOverrides", "netapi32", "native"));
        MachineImage image;
        image.productInstalled = machine.productInstalled;
        image.currentSet = 1;
        image.defaultSet = 2;
        ASSERT_TRUE(WriteMachine(image, m_hklm));

        ASSERT_TRUE(Install("QbxMender.exe"));
        if (machine.installerLibrary)
        {
            // QBX_E2E_INSTALLER: another build of it in the payload.
            const std::string installer = GetEnv("QBX_E2E_INSTALLER");
            ASSERT_TRUE(Install(installer.empty() ? "VtInst32.dll" : installer.c_str(), "VtInst32.dll"));
        }
        m_machine = machine;
    }

    // Starts the program and waits for its welcome page.
    void StartProgram()
    {
        const ScopedEnv priv("QBX_STUB_USER_PRIV", m_machine.userPriv);
        const ScopedEnv installer("QBX_STUB_VTINST_RESULT", m_machine.installerResult);
        ASSERT_TRUE(m_process.Start(m_folder.File("QbxMender.exe"), m_currentDir));
        m_wizard.reset(new WizardDriver(m_process.Id(), "QbxMender"));
        ASSERT_TRUE(m_wizard->Attach()) << "no wizard came up";
        ASSERT_EQ(kWelcomePage, m_wizard->Page());
        ASSERT_EQ(kNext, m_wizard->Button());
    }

    DWORD Pid() const { return m_process.Id(); }
    void Cancel() { EXPECT_TRUE(m_wizard->Cancel(m_process)) << "Cancel did not end the program"; }
    // False once the program has ended within a second, as after a crash.
    bool KeepsRunning()
    {
        return !WaitFor([this] { return !m_process.Running(); }, 1000);
    }

    // A diagnosis that ends the run: "Finish" leads back to the welcome page.
    void ExpectFinalReport(const std::string& report)
    {
        EXPECT_EQ(report, m_wizard->Next());
        EXPECT_EQ(kFinish, m_wizard->Button());
        EXPECT_EQ(kWelcomePage, m_wizard->Next());
        EXPECT_EQ(kNext, m_wizard->Button());
    }

    // The service's setting, a REG_SZ, in the control set in use and in the
    // current and the default set.
    static void ExpectServiceValue(const char* value)
    {
        for (const char* key : {kServiceKey, kSet1Params, kSet2Params})
        {
            DWORD type = REG_NONE;
            const std::string stored = RegValue(HKEY_LOCAL_MACHINE, key, "0", &type);
            EXPECT_EQ(value, stored.substr(0, stored.find('\0'))) << key;
            EXPECT_EQ(static_cast<DWORD>(REG_SZ), type) << key;
        }
    }

    // The notice as its user meets it: "OK" waits for the tick.
    static void ReadAndAcceptNotice(HWND hNotice, int* shown)
    {
        ++*shown;
        char caption[128] = "";
        GetWindowTextA(hNotice, caption, sizeof(caption));
        EXPECT_STREQ(kNoticeCaption, caption);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hNotice, IDOK))) << "OK before the box is ticked";
        EXPECT_TRUE(AcceptNotice(hNotice));
    }

    std::unique_ptr<WizardDriver> m_wizard;
    // The device's software goes where the installed program reads it: a
    // 32-bit build of the program reads it through Wow6432Node.
    ScratchRegistry m_hklm;
    ScratchRegistry m_hkcu;

    // A file of the payload in the program's folder, under name or its own.
    ::testing::AssertionResult Install(const char* file, const std::string& name = std::string())
    {
        return CopyBuilt(std::string("payload\\") + file, m_folder.Path(), name);
    }
    const std::string& ProgramFolderPath() const { return m_folder.Path(); }

    std::string m_currentDir; // the program's current directory; empty: its own folder

private:
    ScratchFolder m_folder; // before m_process: removed once the program has ended
    MachineSetup m_machine;
    ProgramProcess m_process;
};
