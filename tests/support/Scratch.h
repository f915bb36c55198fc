// What tests that place files, load libraries or start programs share: the
// test program's own folder, a built file copied into a folder, a scratch
// folder removed with everything in it, a variable of this process's
// environment set for a scope, and a program run for its output.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

// The running test's suite and name, fit for a file name.
std::string TestName();

// The folder of the running program, with its trailing backslash.
std::string ProgramFolder();

// Copies a file the build laid out beside the test program (a path relative
// to its folder, such as "stubs\\vtinst32_stub.dll") into folder, under name
// or, when name is empty, under its own name.
::testing::AssertionResult CopyBuilt(const std::string& built, const std::string& folder,
                                     const std::string& name = std::string());

// An empty folder of the current test's own in the temporary folder, named
// after the test, tag and this process, and removed with everything in it at
// the end. Its path is the long one, as a program started from it sees it.
class ScratchFolder
{
public:
    explicit ScratchFolder(const std::string& tag);
    ~ScratchFolder();
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string m_path;
};

// A variable of this process's environment, "" when it is not set.
std::string GetEnv(const char* pszName);
// This process's PATH with folder as its first entry (PATH as it is when
// folder is empty).
std::string PathWith(const std::string& folder);

// A variable of this process's environment set (removed for NULL) for the
// object's lifetime, then put back as it was, also when an assertion ends
// the test early.
class ScopedEnv
{
public:
    ScopedEnv(const char* pszName, const char* pszValue);
    ScopedEnv(const char* pszName, const std::string& value) : ScopedEnv(pszName, value.c_str()) {}
    ~ScopedEnv();

private:
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    std::string m_name;
    std::optional<std::string> m_saved; // none: it was not set
};

// What a program printed (on its standard output and error, without the
// line breaks at the end) and its exit code.
struct ProgramRun
{
    DWORD exitCode;
    std::string output;
};
// The exit code when the program could not be started or was ended after
// 30 seconds; the output then says which.
const DWORD kNoExitCode = 0xdeadbeef;

// Runs a program with arguments, in currentDir (this process's current
// directory when empty) and with this process's environment.
ProgramRun RunProgram(const std::string& exe, const std::string& args = std::string(),
                      const std::string& currentDir = std::string());
