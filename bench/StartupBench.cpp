// QbxStartBench: start-up time and peak working set of the wizard against the
// minimal dialog program. A run starts the program, waits until its window is
// idle on its first page, reads its peak working set and closes it again.
//
//   QbxStartBench RUNS WIZARD.exe MINIMAL.exe
//
// Both programs are started the same way and in turns, so that a change in
// the machine's load during the runs falls on both alike.
#include <windows.h>

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "BenchUtil.h"
#include "CWinApp.h"

namespace
{
// The first page's text lives in string 300 of each program, shown in its
// control 1002.
const UINT c_nFirstPageString = 300;
const int c_nPageTextControl = 1002;
const DWORD c_dwStartTimeoutMs = 30000;
const int c_nWarmUpRuns = 2;

struct Program
{
    const char* pszPath;
    char szName[MAX_PATH]; // the instance name, by the framework's rule
    char szFirstPage[2048];
    std::vector<double> startMs;
    std::vector<double> peakKB;
};

bool LoadFirstPage(Program& program)
{
    HMODULE hModule = ::LoadLibraryExA(program.pszPath, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (hModule == NULL)
        return false;
    int nLen = ::LoadStringA(hModule, c_nFirstPageString, program.szFirstPage, sizeof(program.szFirstPage));
    ::FreeLibrary(hModule);
    return nLen > 0;
}

bool ShowsFirstPage(HWND hWnd, const char* pszExpected)
{
    HWND hText = ::GetDlgItem(hWnd, c_nPageTextControl);
    if (hText == NULL)
        return false;
    char szText[2048];
    DWORD_PTR nResult = 0;
    if (!::SendMessageTimeoutA(hText, WM_GETTEXT, sizeof(szText), reinterpret_cast<LPARAM>(szText), SMTO_ABORTIFHUNG,
                               1000, &nResult))
        return false;
    szText[sizeof(szText) - 1] = '\0';
    return lstrcmpA(szText, pszExpected) == 0;
}

// Closes the program as a user would, with Cancel. Under Xvfb, which has no
// window manager, that takes Wine two seconds unless the prefix uses its own
// desktop (scripts/bench.sh sets one up); a program that does not end is
// terminated.
void EndProgram(const PROCESS_INFORMATION& pi, HWND hWnd)
{
    if (hWnd != NULL)
        ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    if (::WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0)
    {
        ::TerminateProcess(pi.hProcess, 1);
        ::WaitForSingleObject(pi.hProcess, 10000);
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
}

// Waits until WaitForInputIdle has returned and the program's window carries
// its mark and shows the first page; hWnd is the marked window once found.
// False, with the reason, when that did not come.
bool WaitForFirstPage(const Program& program, const PROCESS_INFORMATION& pi, double t0, HWND& hWnd)
{
    const DWORD dwIdle = ::WaitForInputIdle(pi.hProcess, c_dwStartTimeoutMs);
    while (dwIdle == 0)
    {
        if (hWnd == NULL)
            hWnd = AfxFindInstanceWindow(program.szName, pi.dwProcessId);
        if (hWnd != NULL && ShowsFirstPage(hWnd, program.szFirstPage))
            return true;
        // Also the poll's pause: one millisecond, or the program ended.
        if (::WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0 || BenchNowMs() - t0 > c_dwStartTimeoutMs)
            break;
    }
    fprintf(stderr, "%s: %s\n", program.pszPath,
            dwIdle != 0 ? "WaitForInputIdle failed or timed out" : "no window with its first page appeared");
    return false;
}

// The process's peak working set so far.
bool ReadPeakKB(HANDLE hProcess, double& peakKB)
{
    PROCESS_MEMORY_COUNTERS pmc;
    ZeroMemory(&pmc, sizeof(pmc));
    pmc.cb = sizeof(pmc);
    if (!::GetProcessMemoryInfo(hProcess, &pmc, sizeof(pmc)))
    {
        fprintf(stderr, "GetProcessMemoryInfo failed: error %lu\n", ::GetLastError());
        return false;
    }
    peakKB = static_cast<double>(pmc.PeakWorkingSetSize) / 1024.0;
    return true;
}

// One start: from just before CreateProcess until the window carries its
// mark, WaitForInputIdle has returned and the first page shows.
bool RunOnce(Program& program, double& startMs, double& peakKB)
{
    char szCommand[MAX_PATH + 3];
    wsprintfA(szCommand, "\"%s\"", program.pszPath);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;

    const double t0 = BenchNowMs();
    if (!::CreateProcessA(program.pszPath, szCommand, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
    {
        fprintf(stderr, "cannot start %s: error %lu\n", program.pszPath, ::GetLastError());
        return false;
    }
    HWND hWnd = NULL;
    const bool bShown = WaitForFirstPage(program, pi, t0, hWnd);
    startMs = BenchNowMs() - t0;
    const bool bMeasured = bShown && ReadPeakKB(pi.hProcess, peakKB);
    EndProgram(pi, hWnd);
    return bMeasured;
}

// The wizard and the minimal program from their paths: their instance names
// and first pages.
bool LoadPrograms(char** ppszPaths, Program programs[2])
{
    for (int i = 0; i < 2; ++i)
    {
        programs[i].pszPath = ppszPaths[i];
        CWinApp::ExeNameFromPath(programs[i].pszPath, programs[i].szName, MAX_PATH);
        if (!LoadFirstPage(programs[i]))
        {
            fprintf(stderr, "cannot read string %u of %s\n", c_nFirstPageString, programs[i].pszPath);
            return false;
        }
    }
    return true;
}

// nRuns measured starts of each program, in turns, after the unmeasured ones.
bool RunInTurns(Program programs[2], int nRuns)
{
    for (int nRun = -c_nWarmUpRuns; nRun < nRuns; ++nRun)
    {
        for (int k = 0; k < 2; ++k)
        {
            Program& program = programs[(nRun + k + c_nWarmUpRuns) % 2];
            double startMs = 0.0;
            double peakKB = 0.0;
            if (!RunOnce(program, startMs, peakKB))
                return false;
            if (nRun >= 0)
            {
                program.startMs.push_back(startMs);
                program.peakKB.push_back(peakKB);
            }
        }
    }
    return true;
}

// A wide middle half means other work on the machine got in the way.
bool IsNoisy(const std::vector<double>& values)
{
    return BenchQuantile(values, 0.75) - BenchQuantile(values, 0.25) > 0.2 * BenchMedian(values);
}

void PrintProgram(const Program& program)
{
    printf("  %-12s start-up median %7.1f ms (min %6.1f, max %6.1f, %u runs); peak working set median %7.0f KB\n",
           program.szName, BenchMedian(program.startMs), BenchMin(program.startMs), BenchMax(program.startMs),
           static_cast<unsigned>(program.startMs.size()), BenchMedian(program.peakKB));
}
// Figures 1 and 2, after each program's times and memory.
void PrintFigures(const Program& wizard, const Program& minimal)
{
    PrintProgram(wizard);
    PrintProgram(minimal);
    if (IsNoisy(wizard.startMs) || IsNoisy(minimal.startMs))
        printf("  note: start-up times spread widely (middle half wider than 20%% of the median): the machine was "
               "busy, so figure 1 is unsure; run again when it is quiet\n");

    char szFigure[128];
    const double startRatio = BenchMedian(wizard.startMs) / BenchMedian(minimal.startMs);
    sprintf(szFigure, "%.2f (%.1f / %.1f ms)", startRatio, BenchMedian(wizard.startMs), BenchMedian(minimal.startMs));
    BenchPrintGoal("1. start-up, wizard / minimal program", szFigure, "<= 1.25", startRatio <= 1.25);
    const double memoryRatio = BenchMedian(wizard.peakKB) / BenchMedian(minimal.peakKB);
    sprintf(szFigure, "%.2f (%.0f / %.0f KB)", memoryRatio, BenchMedian(wizard.peakKB), BenchMedian(minimal.peakKB));
    BenchPrintGoal("2. peak working set, wizard / minimal", szFigure, "<= 1.20", memoryRatio <= 1.20);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || atoi(argv[1]) < 1)
    {
        fprintf(stderr, "usage: QbxStartBench RUNS WIZARD.exe MINIMAL.exe\n");
        return 2;
    }
    Program programs[2];
    if (!LoadPrograms(argv + 2, programs) || !RunInTurns(programs, atoi(argv[1])))
        return 1;
    PrintFigures(programs[0], programs[1]);
    return 0;
}
