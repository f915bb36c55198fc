// Scratch folders, built files copied into them, scoped environment variables
// and programs run for their output.
#include "Scratch.h"

#include <string.h>

namespace
{
const DWORD kRunTimeoutMs = 30000;

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + "\\" + name);
            else
                DeleteFileA((folder + "\\" + name).c_str());
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    RemoveDirectoryA(folder.c_str());
}

// The variable's value, or none when it is not set.
std::optional<std::string> ReadEnv(const char* pszName)
{
    std::string value(256, '\0');
    for (;;)
    {
        SetLastError(ERROR_SUCCESS);
        const DWORD nLen = GetEnvironmentVariableA(pszName, &value[0], static_cast<DWORD>(value.size()));
        if (nLen == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
            return std::nullopt;
        if (nLen < value.size())
        {
            value.resize(nLen);
            return value;
        }
        value.resize(nLen); // too small: nLen is the size it needs
    }
}
} // namespace

std::string TestName()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != NULL ? std::string(info->test_suite_name()) + "." + info->name() : "outside-a-test";
    for (char& c : name)
        if (strchr("\\/:*?\"<>|", c) != NULL)
            c = '_';
    return name;
}

std::string ProgramFolder()
{
    char szPath[MAX_PATH];
    const DWORD nLen = GetModuleFileNameA(NULL, szPath, MAX_PATH);
    const std::string path(szPath, nLen);
    return path.substr(0, path.find_last_of('\\') + 1);
}

::testing::AssertionResult CopyBuilt(const std::string& built, const std::string& folder, const std::string& name)
{
    const std::string from = ProgramFolder() + built;
    const std::string to = folder + "\\" + (name.empty() ? built.substr(built.find_last_of('\\') + 1) : name);
    if (CopyFileA(from.c_str(), to.c_str(), FALSE))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cannot copy " << from << " to " << to << ": error " << GetLastError();
}

ScratchFolder::ScratchFolder(const std::string& tag)
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string path =
        std::string(szTemp) + "qbx-" + TestName() + "-" + tag + "-" + std::to_string(GetCurrentProcessId());
    RemoveTree(path);
    EXPECT_TRUE(CreateDirectoryA(path.c_str(), NULL)) << path;
    char szLong[MAX_PATH];
    const DWORD nLen = GetLongPathNameA(path.c_str(), szLong, MAX_PATH);
    m_path = nLen != 0 && nLen < MAX_PATH ? std::string(szLong, nLen) : path;
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(m_path);
}

std::string GetEnv(const char* pszName)
{
    return ReadEnv(pszName).value_or(std::string());
}

std::string PathWith(const std::string& folder)
{
    const std::string path = GetEnv("PATH");
    return folder.empty() ? path : folder + ";" + path;
}

ScopedEnv::ScopedEnv(const char* pszName, const char* pszValue) : m_name(pszName), m_saved(ReadEnv(pszName))
{
    SetEnvironmentVariableA(pszName, pszValue);
}

ScopedEnv::~ScopedEnv()
{
    SetEnvironmentVariableA(m_name.c_str(), m_saved ? m_saved->c_str() : NULL);
}

ProgramRun RunProgram(const std::string& exe, const std::string& args, const std::string& currentDir)
{
    ProgramRun run = {kNoExitCode, std::string()};
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE hRead, hWrite;
    if (!CreatePipe(&hRead, &hWrite, &sa, 1 << 16))
    {
        run.output = "(no pipe: error " + std::to_string(GetLastError()) + ")";
        return run;
    }
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hWrite;
    si.hStdError = hWrite;
    std::string cmdLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    PROCESS_INFORMATION pi;
    const BOOL bStarted = CreateProcessA(exe.c_str(), &cmdLine[0], NULL, NULL, TRUE, 0, NULL,
                                         currentDir.empty() ? NULL : currentDir.c_str(), &si, &pi);
    const DWORD dwError = GetLastError();
    CloseHandle(hWrite);
    if (!bStarted)
    {
        CloseHandle(hRead);
        run.output = "(cannot start " + exe + ": error " + std::to_string(dwError) + ")";
        return run;
    }

    // Read while it runs, so that a program that fills the pipe goes on; once
    // it has ended, what is left up to the end of the pipe.
    char buf[1024];
    DWORD nRead, nAvail;
    const DWORD dwStart = GetTickCount();
    bool bEnded = false;
    while (WaitForSingleObject(pi.hProcess, 10) == WAIT_TIMEOUT)
    {
        while (PeekNamedPipe(hRead, NULL, 0, NULL, &nAvail, NULL) && nAvail != 0 &&
               ReadFile(hRead, buf, sizeof(buf), &nRead, NULL) && nRead != 0)
            run.output.append(buf, nRead);
        if (GetTickCount() - dwStart > kRunTimeoutMs)
        {
            TerminateProcess(pi.hProcess, kNoExitCode);
            WaitForSingleObject(pi.hProcess, 5000);
            bEnded = true;
        }
    }
    while (ReadFile(hRead, buf, sizeof(buf), &nRead, NULL) && nRead != 0)
        run.output.append(buf, nRead);
    GetExitCodeProcess(pi.hProcess, &run.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(hRead);
    run.output.erase(run.output.find_last_not_of("\r\n") + 1);
    if (bEnded)
        run.output += " (still running after 30 s: ended)";
    return run;
}
