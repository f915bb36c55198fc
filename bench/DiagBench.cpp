// QbxDiagBench: the wizard's diagnosis, timed inside one process. The real
// CQbxMenderDlg runs modally on this thread against a private HKLM in which
// both checks run and both find a problem; a second thread clicks "Next >"
// and waits for the report, and a third posts numbered messages to the
// wizard meanwhile, whose retrieval a WH_GETMESSAGE hook on this thread
// stamps.
//
//   QbxDiagBench [DIAGNOSES [INTERVAL_MS]]
//
// Needs Windows XP played for this program (Wine: AppDefaults Version winxp)
// and the account database stand-in in the system folder (WINEDLLOVERRIDES netapi32=n),
// which answers "administrator" when QBX_STUB_USER_PRIV is 2.
#include <windows.h>

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "BenchUtil.h"
#include "CHandleHolder.h"
#include "MachineImage.h"
#include "PrivateHive.h"
#include "QbxMenderDlg.h"
#include "SysEnv.h"
#include "UsbDriverCheck.h"
#include "UsbPortCheck.h"
#include "resource.h"

// The application object first, then the environment service, as in the
// program itself: the wizard takes its instance name and icon from the one,
// its answers about the machine from the other.
CWinApp theBenchApp;
CSysEnv theSysEnv;

namespace
{
const double c_dMandatedPauseMs = 200.0; // two pauses of 100 ms
const int c_nMaxProbes = 4096;
const DWORD c_dwTimeoutMs = 20000;

CString LoadText(UINT nID)
{
    CString text;
    text.LoadString(nID);
    return text;
}

// What the probe messages carry: their number in wParam, the round in
// lParam; the hook stamps the moment the wizard's thread takes them.
UINT g_nProbeMessage = 0;
volatile LONG g_nRoundTag = 0;
double g_postedMs[c_nMaxProbes];
volatile double g_takenMs[c_nMaxProbes];

// Where a diagnosis spends its time, from the messages the wizard's handler
// sends on its way: the button's notification, then the progress bar's
// range (the diagnosis starts) and positions 1 and 2 (each after a check and
// its pause). Zero while not seen.
struct Marks
{
    double dCommand, dCommandDone;
    double dRange;
    double dPos1, dPos1Done;
    double dPos2, dPos2Done;
};
volatile bool g_bMarking = false;
Marks g_marks;

void Mark(UINT uMsg, WPARAM wParam, bool bDone)
{
    const double t = BenchNowMs();
    if (uMsg == WM_COMMAND && LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED)
        (bDone ? g_marks.dCommandDone : g_marks.dCommand) = t;
    else if (uMsg == PBM_SETRANGE && !bDone)
        g_marks.dRange = t;
    else if (uMsg == PBM_SETPOS && wParam == 1)
        (bDone ? g_marks.dPos1Done : g_marks.dPos1) = t;
    else if (uMsg == PBM_SETPOS && wParam == 2)
        (bDone ? g_marks.dPos2Done : g_marks.dPos2) = t;
}

LRESULT CALLBACK SentHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HC_ACTION && g_bMarking)
    {
        const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
        Mark(pMsg->message, pMsg->wParam, false);
    }
    return ::CallNextHookEx(NULL, nCode, wParam, lParam);
}

LRESULT CALLBACK SentDoneHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HC_ACTION && g_bMarking)
    {
        const CWPRETSTRUCT* pMsg = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        Mark(pMsg->message, pMsg->wParam, true);
    }
    return ::CallNextHookEx(NULL, nCode, wParam, lParam);
}

LRESULT CALLBACK ProbeHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HC_ACTION && wParam == PM_REMOVE)
    {
        const MSG* pMsg = reinterpret_cast<const MSG*>(lParam);
        if (pMsg->message == g_nProbeMessage && pMsg->lParam == g_nRoundTag && pMsg->wParam < c_nMaxProbes)
            g_takenMs[pMsg->wParam] = BenchNowMs();
    }
    return ::CallNextHookEx(NULL, nCode, wParam, lParam);
}

// One round: a fresh wizard, one diagnosis clicked and timed, then Cancel.
struct Round
{
    DWORD dwUiThreadId;
    int nIntervalMs; // 0: no probe messages
    const char* pszWelcome;
    const char* pszReport;
    // results
    bool bOk;
    double dElapsedMs;
    Marks marks; // relative to the click
    double dReturnedMs;
    double dMaxDelayMs;
    int nProbes;
    int nProbesInPauses; // taken before the handler returned
};

struct Poster
{
    HWND hWnd;
    int nIntervalMs;
    HANDLE hGo;
    volatile LONG bStop;
    int nPosted;
};

// nIntervalMs > 0: a message every nIntervalMs, whether or not the last one
// was taken (a flood). nIntervalMs < 0: one message at a time, the next posted
// 1 to -nIntervalMs ms after the last was taken, so that the posting moments
// fall at every phase of the wizard's 10 ms steps.
DWORD WINAPI PostProbes(LPVOID pParam)
{
    Poster* pPoster = static_cast<Poster*>(pParam);
    ::WaitForSingleObject(pPoster->hGo, INFINITE);
    while (!pPoster->bStop && pPoster->nPosted < c_nMaxProbes)
    {
        const int n = pPoster->nPosted;
        g_takenMs[n] = 0.0;
        g_postedMs[n] = BenchNowMs();
        ::PostMessageA(pPoster->hWnd, g_nProbeMessage, static_cast<WPARAM>(n), g_nRoundTag);
        pPoster->nPosted = n + 1;
        if (pPoster->nIntervalMs > 0)
        {
            ::Sleep(pPoster->nIntervalMs);
            continue;
        }
        while (!pPoster->bStop && g_takenMs[n] == 0.0)
            ::Sleep(0);
        ::Sleep(1 + n % -pPoster->nIntervalMs);
    }
    return 0;
}

BOOL CALLBACK FindAnyWindow(HWND hWnd, LPARAM lParam)
{
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

CString PageText(HWND hWnd)
{
    char szText[2048];
    szText[0] = '\0';
    ::GetDlgItemTextA(hWnd, IDC_PAGETEXT, szText, sizeof(szText));
    return CString(szText);
}

bool WaitForWelcome(Round& round, HWND& hWnd)
{
    const double t0 = BenchNowMs();
    while (BenchNowMs() - t0 < c_dwTimeoutMs)
    {
        if (hWnd == NULL)
            hWnd = AfxFindInstanceWindow(theBenchApp.m_pszExeName, ::GetCurrentProcessId());
        if (hWnd != NULL && ::IsWindowVisible(hWnd) && lstrcmpA(PageText(hWnd), round.pszWelcome) == 0)
            return true;
        ::Sleep(1);
    }
    return false;
}

// Cancel ends whatever window the modal loop shows, so that the benchmark
// stops instead of waiting for ever.
void CancelAnyWindow(const Round& round, HWND hWnd)
{
    if (hWnd == NULL)
        ::EnumThreadWindows(round.dwUiThreadId, FindAnyWindow, reinterpret_cast<LPARAM>(&hWnd));
    if (hWnd != NULL)
        ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

// The click on "Next >", from t0 to t1: the button handles it and notifies
// the wizard, whose handler runs the whole diagnosis before the call
// returns. The round's probes are posted meanwhile; returns how many.
int TimeClick(HWND hWnd, const Round& round, double& t0, double& t1)
{
    Poster poster;
    poster.hWnd = hWnd;
    poster.nIntervalMs = round.nIntervalMs;
    poster.hGo = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    poster.bStop = FALSE;
    poster.nPosted = 0;
    HANDLE hPoster = round.nIntervalMs != 0 ? ::CreateThread(NULL, 0, PostProbes, &poster, 0, NULL) : NULL;

    ZeroMemory(&g_marks, sizeof(g_marks));
    g_bMarking = true;
    t0 = BenchNowMs();
    ::SetEvent(poster.hGo);
    ::SendMessageA(::GetDlgItem(hWnd, IDOK), BM_CLICK, 0, 0);
    t1 = BenchNowMs();
    g_bMarking = false;
    ::InterlockedExchange(&poster.bStop, TRUE);
    if (hPoster != NULL)
    {
        ::WaitForSingleObject(hPoster, INFINITE);
        ::CloseHandle(hPoster);
    }
    ::CloseHandle(poster.hGo);
    return poster.nPosted;
}

// The diagnosis's report and marks, the marks made relative to the click;
// the round fails unless the report shows both problems and every mark came.
void TakeDiagnosis(HWND hWnd, Round& round, double t0, double t1)
{
    const CString report = PageText(hWnd);
    round.bOk = lstrcmpA(report, round.pszReport) == 0;
    if (!round.bOk)
        fprintf(stderr, "the diagnosis did not report both problems; the page reads:\n%s\n",
                static_cast<const char*>(report));
    round.dElapsedMs = t1 - t0;
    round.marks = g_marks;
    double* pMarks[] = {&round.marks.dCommand,  &round.marks.dCommandDone, &round.marks.dRange,   &round.marks.dPos1,
                        &round.marks.dPos1Done, &round.marks.dPos2,        &round.marks.dPos2Done};
    for (size_t i = 0; i < sizeof(pMarks) / sizeof(pMarks[0]); ++i)
    {
        if (*pMarks[i] == 0.0)
        {
            fprintf(stderr, "the diagnosis did not send the messages it should (mark %u missing)\n",
                    static_cast<unsigned>(i));
            round.bOk = false;
        }
        *pMarks[i] -= t0;
    }
    round.dReturnedMs = t1 - t0;
}

// Every probe posted during the diagnosis is taken by the modal loop at the
// latest once the handler has returned: the longest delay, and how many were
// taken inside the pauses.
void TakeProbes(Round& round, int nPosted, double t0, double t1)
{
    round.dMaxDelayMs = 0.0;
    round.nProbes = 0;
    round.nProbesInPauses = 0;
    for (int n = 0; n < nPosted && round.bOk; ++n)
    {
        if (g_postedMs[n] > t1)
            break;
        const double tWait = BenchNowMs();
        while (g_takenMs[n] == 0.0 && BenchNowMs() - tWait < 2000.0)
            ::Sleep(1);
        if (g_takenMs[n] == 0.0)
        {
            fprintf(stderr, "probe message %d was never taken\n", n);
            round.bOk = false;
            break;
        }
        const double dDelay = g_takenMs[n] - g_postedMs[n];
        if (dDelay > round.dMaxDelayMs)
            round.dMaxDelayMs = dDelay;
        ++round.nProbes;
        if (g_takenMs[n] < t0 + round.marks.dCommandDone)
            ++round.nProbesInPauses;
    }
}

DWORD WINAPI DriveRound(LPVOID pParam)
{
    Round& round = *static_cast<Round*>(pParam);
    HWND hWnd = NULL;
    if (!WaitForWelcome(round, hWnd))
    {
        fprintf(stderr, "the wizard did not show its welcome page\n");
        CancelAnyWindow(round, hWnd);
        return 1;
    }
    ::Sleep(50); // let the first painting settle
    double t0 = 0.0;
    double t1 = 0.0;
    const int nPosted = TimeClick(hWnd, round, t0, t1);
    TakeDiagnosis(hWnd, round, t0, t1);
    TakeProbes(round, nPosted, t0, t1);
    ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 0;
}

bool RunRound(Round& round)
{
    round.bOk = false;
    ::InterlockedIncrement(&g_nRoundTag);
    HANDLE hDriver = ::CreateThread(NULL, 0, DriveRound, &round, 0, NULL);
    if (hDriver == NULL)
        return false;
    {
        CQbxMenderDlg dlg;
        theBenchApp.m_pMainWnd = &dlg;
        if (dlg.DoModal() == -1)
            fprintf(stderr, "the wizard could not be shown (no display?)\n");
        theBenchApp.m_pMainWnd = NULL;
    }
    ::WaitForSingleObject(hDriver, INFINITE);
    ::CloseHandle(hDriver);
    return round.bOk;
}

struct Series
{
    std::vector<double> elapsedMs;
    std::vector<double> maxDelayMs;
    // the parts of each diagnosis, by the marks
    std::vector<double> toHandlerMs, beforeMs, checksAndPausesMs, updatesMs, backMs;
    int nProbes;
    int nProbesInPauses;
};

bool RunSeries(int nDiagnoses, int nIntervalMs, const CString& welcome, const CString& report, Series& series)
{
    series.nProbes = 0;
    series.nProbesInPauses = 0;
    for (int i = 0; i < nDiagnoses; ++i)
    {
        Round round;
        round.dwUiThreadId = ::GetCurrentThreadId();
        round.nIntervalMs = nIntervalMs;
        round.pszWelcome = welcome;
        round.pszReport = report;
        if (!RunRound(round))
            return false;
        series.elapsedMs.push_back(round.dElapsedMs);
        series.maxDelayMs.push_back(round.dMaxDelayMs);
        series.nProbes += round.nProbes;
        series.nProbesInPauses += round.nProbesInPauses;
        const Marks& m = round.marks;
        series.toHandlerMs.push_back(m.dCommand);
        series.beforeMs.push_back(m.dRange - m.dCommand);
        series.checksAndPausesMs.push_back((m.dPos1 - m.dRange) + (m.dPos2 - m.dPos1Done));
        series.updatesMs.push_back((m.dPos1Done - m.dPos1) + (m.dCommandDone - m.dPos2));
        series.backMs.push_back(round.dReturnedMs - m.dCommandDone);
    }
    return true;
}

// Each part of the diagnosis alone, to tell where time beyond the pauses
// goes: median of several calls, in milliseconds.
template <typename F> double TimeEach(F f)
{
    std::vector<double> times;
    for (int i = 0; i < 15; ++i)
    {
        const double t0 = BenchNowMs();
        f();
        times.push_back(BenchNowMs() - t0);
    }
    return BenchMedian(times);
}

void ProductInstalled()
{
    theSysEnv.IsProductInstalled();
}
void Administrator()
{
    theSysEnv.IsAdministrator();
}
void PortCheck()
{
    CUsbPortCheck check;
    check.Check();
}
void DriverCheck()
{
    CUsbDriverCheck check;
    check.Check();
}
void Pause()
{
    theSysEnv.WaitWithMessages(100);
}

// What was measured: each part of the diagnosis alone, and the series.
struct Results
{
    double dInstalled, dAdmin, dPort, dDriver, dPause;
    Series plain, probed, flood;
};

// The one-message-at-a-time series posts each probe 1 to 7 ms after the
// last was taken.
const int c_nOneAtATimeGapMs = -7;

// The machine of the measured diagnosis: both checks run to their end and
// both find their problem. False, with the reason, when the diagnosis would
// not get past both preconditions and into both checks.
bool SetUpMachine(PrivateHive& hive)
{
    KeySink sink(hive.Root());
    if (!hive.IsOpen() || !WriteMachine(MachineImage(), sink))
    {
        fprintf(stderr, "cannot set up the private HKLM\n");
        return false;
    }
    if (!theSysEnv.IsOsKind(OSK_WINXP))
    {
        fprintf(stderr, "not Windows XP: set HKCU\\Software\\Wine\\AppDefaults\\QbxDiagBench.exe Version=winxp\n");
        return false;
    }
    if (!theSysEnv.IsProductInstalled() || !theSysEnv.IsPrinterPort(PORT_USB))
    {
        fprintf(stderr, "the private HKLM does not show the product or its printer on QBXUSB1:\n");
        return false;
    }
    if (!theSysEnv.IsAdministrator())
    {
        fprintf(stderr, "not an administrator: the account database stand-in (netapi32.dll in the system folder, "
                        "WINEDLLOVERRIDES netapi32=n) did not answer\n");
        return false;
    }
    return true;
}

// The series, after one diagnosis to warm up: plain diagnoses for the time,
// one probe at a time for the delays, a flood for comparison.
bool RunAllSeries(int nDiagnoses, int nIntervalMs, Results& results)
{
    const CString welcome = LoadText(IDS_WELCOME);
    CString report = LoadText(IDS_PORT_PROBLEM);
    report += LoadText(IDS_DRIVER_PROBLEM);
    report += LoadText(IDS_CLEAR_PROBLEM);
    Series warmUp;
    return RunSeries(1, 0, welcome, report, warmUp) && RunSeries(nDiagnoses, 0, welcome, report, results.plain) &&
           RunSeries(nDiagnoses, c_nOneAtATimeGapMs, welcome, report, results.probed) &&
           RunSeries(nDiagnoses, nIntervalMs, welcome, report, results.flood);
}

void Unhook(HHOOK hHook)
{
    ::UnhookWindowsHookEx(hHook);
}
typedef CHandleHolder<HHOOK, Unhook> CHookHolder;

// Everything measured, with the hooks that stamp the probes and mark the
// diagnosis's messages in place on this thread.
bool Measure(int nDiagnoses, int nIntervalMs, Results& results)
{
    g_nProbeMessage = ::RegisterWindowMessageA("QbxDiagBench.Probe");
    const DWORD dwThreadId = ::GetCurrentThreadId();
    CHookHolder probeHook(::SetWindowsHookExA(WH_GETMESSAGE, ProbeHook, NULL, dwThreadId));
    CHookHolder sentHook(::SetWindowsHookExA(WH_CALLWNDPROC, SentHook, NULL, dwThreadId));
    CHookHolder sentDoneHook(::SetWindowsHookExA(WH_CALLWNDPROCRET, SentDoneHook, NULL, dwThreadId));
    if (probeHook.m_h == NULL || sentHook.m_h == NULL || sentDoneHook.m_h == NULL)
    {
        fprintf(stderr, "SetWindowsHookEx failed: error %lu\n", ::GetLastError());
        return false;
    }
    results.dInstalled = TimeEach(ProductInstalled);
    results.dAdmin = TimeEach(Administrator);
    results.dPort = TimeEach(PortCheck);
    results.dDriver = TimeEach(DriverCheck);
    results.dPause = TimeEach(Pause);
    return RunAllSeries(nDiagnoses, nIntervalMs, results);
}

// Figure 3, and where the time of a diagnosis goes.
void PrintDiagnosis(const Results& results, int nDiagnoses)
{
    const Series& plain = results.plain;
    const double dElapsed = BenchMedian(plain.elapsedMs);
    const double dExcess = dElapsed - c_dMandatedPauseMs;
    printf("  diagnosis, click on \"Next >\" to report (both checks, both problems found): median %.1f ms "
           "(min %.1f, max %.1f, %d diagnoses)\n",
           dElapsed, BenchMin(plain.elapsedMs), BenchMax(plain.elapsedMs), nDiagnoses);
    printf("    where it goes, median ms: click to handler %.2f; page text and button disabled %.2f; checks and pauses "
           "%.2f; progress, report and button enabled %.2f; back to the clicker %.2f\n",
           BenchMedian(plain.toHandlerMs), BenchMedian(plain.beforeMs), BenchMedian(plain.checksAndPausesMs),
           BenchMedian(plain.updatesMs), BenchMedian(plain.backMs));
    printf("    each part alone, median ms: IsProductInstalled %.2f, IsAdministrator %.2f, port Check %.2f, "
           "driver Check %.2f, WaitWithMessages(100) %.2f\n",
           results.dInstalled, results.dAdmin, results.dPort, results.dDriver, results.dPause);
    char szFigure[128];
    sprintf(szFigure, "%.1f ms (%.1f ms in all)", dExcess, dElapsed);
    BenchPrintGoal("3. diagnosis beyond its 200 ms of pauses", szFigure, "< 5 ms", dExcess < 5.0);
}

// Figure 4, and the flood for comparison.
void PrintDelays(const Results& results, int nIntervalMs)
{
    const Series& probed = results.probed;
    const Series& flood = results.flood;
    const double dDelay = BenchMedian(probed.maxDelayMs);
    printf("  one message at a time during a diagnosis, each posted 1 to %d ms after the last was taken: %d in all; "
           "longest delay per diagnosis median %.1f ms (min %.1f, worst %.1f)\n",
           -c_nOneAtATimeGapMs, probed.nProbes, dDelay, BenchMin(probed.maxDelayMs), BenchMax(probed.maxDelayMs));
    printf("  for comparison, a flood of one message every %d ms: %d, of which %d taken inside the pauses (one per "
           "10 ms step at most) and the rest after the handler returned; longest delay median %.1f ms\n",
           nIntervalMs, flood.nProbes, flood.nProbesInPauses, BenchMedian(flood.maxDelayMs));
    char szFigure[128];
    sprintf(szFigure, "%.1f ms (worst %.1f ms)", dDelay, BenchMax(probed.maxDelayMs));
    BenchPrintGoal("4. longest delay of a posted message", szFigure, "< 20 ms", dDelay < 20.0);
}
} // namespace

int main(int argc, char** argv)
{
    const int nDiagnoses = argc > 1 ? atoi(argv[1]) : 10;
    const int nIntervalMs = argc > 2 ? atoi(argv[2]) : 5;
    if (nDiagnoses < 1 || nIntervalMs < 1)
    {
        fprintf(stderr, "usage: QbxDiagBench [DIAGNOSES [INTERVAL_MS]]\n");
        return 2;
    }

    theBenchApp.SetCurrentHandles(::GetModuleHandleA(NULL));
    AfxInitCommonControls();
    ::SetEnvironmentVariableA("QBX_STUB_USER_PRIV", "2");
    PrivateHive hive("DiagBench");
    Results results;
    if (!SetUpMachine(hive) || !Measure(nDiagnoses, nIntervalMs, results))
        return 1;
    PrintDiagnosis(results, nDiagnoses);
    PrintDelays(results, nIntervalMs);
    return 0;
}
