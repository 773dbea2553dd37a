/* bench_cases.cpp - the child process that runs and measures one case: an
 * install through ResToFiles (progress dialog on or off, sealed or not), the
 * CopyFileA loop, a build through PackFiles, the plain concatenation, or one
 * of the two diagnostics that move the same bytes through fresh blocks.  One
 * process per case, so that each case's peak working set is its own. */
#include "bench.h"

#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "filedir.h"
#include "fixed.h"
#include "load.h"
#include "logic.h"
#include "manifest.h"
#include "resource.h"
#include "scoped.h"
#include "statbar.h"
#include "unload.h"

void *LoadSetManifest(const char *pszSet, int *pnItems, std::string *pPackage)
{
    std::string path = ExeFolder() + ModuleFile(pszSet);
    HINSTANCE hModule = LoadLibraryA(path.c_str());
    if (!hModule)
        return NULL;
    char szCount[32] = "", szPackage[16] = "";
    LoadStringA(hModule, IDS_ITEM_COUNT, szCount, sizeof(szCount));
    LoadStringA(hModule, IDS_PACKAGE, szPackage, sizeof(szPackage));
    *pnItems = atoi(szCount);
    *pPackage = szPackage;
    return hModule;
}

/* ---- Message boxes --------------------------------------------------------- */

/* A message box during a run means the code under test reported a failure;
   nobody is there to answer it, so a watcher thread records and closes it
   and the run counts as failed. */
static CRITICAL_SECTION csBox;
static std::string boxSeen;
static volatile LONG lStopWatch;

static BOOL CALLBACK CloseBoxProc(HWND hWnd, LPARAM)
{
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    char szClass[16] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    /* The progress dialog is a dialog too, told apart by its bar. */
    if (dwPid != GetCurrentProcessId() || strcmp(szClass, "#32770") != 0 ||
        !GetDlgItem(hWnd, 0xFFFF) || GetDlgItem(hWnd, IDC_BAR))
        return TRUE;
    char szCaption[64] = "", szText[256] = "";
    GetWindowTextA(hWnd, szCaption, sizeof(szCaption));
    GetDlgItemTextA(hWnd, 0xFFFF, szText, sizeof(szText));
    EnterCriticalSection(&csBox);
    if (boxSeen.empty())
        boxSeen = std::string("message box \"") + szCaption + "\": " + szText;
    LeaveCriticalSection(&csBox);
    PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(hWnd, WM_COMMAND, IDNO, 0);
    return TRUE;
}

static DWORD WINAPI WatchBoxes(LPVOID)
{
    while (!lStopWatch) {
        EnumWindows(CloseBoxProc, 0);
        Sleep(100);
    }
    return 0;
}

static std::string BoxSeen()
{
    EnterCriticalSection(&csBox);
    std::string seen = boxSeen;
    LeaveCriticalSection(&csBox);
    return seen;
}

/* ---- Starting a child ---------------------------------------------------- */

static bool ReadResult(const std::string &path, CaseRun *pRun)
{
    FILE *pf = fopen(path.c_str(), "r");
    if (!pf)
        return false;
    char szLine[1024] = "", szState[8] = "";
    int nNote = 0;
    bool fRead = fgets(szLine, sizeof(szLine), pf) != NULL &&
                 sscanf(szLine, "%7s %lf %lf %lf %n", szState, &pRun->dSeconds, &pRun->dPeakMb,
                        &pRun->dBaseMb, &nNote) == 4;
    fclose(pf);
    if (!fRead)
        return false;
    pRun->fOk = strcmp(szState, "ok") == 0;
    pRun->note = szLine + nNote;
    while (!pRun->note.empty() && (pRun->note.back() == '\n' || pRun->note.back() == '\r'))
        pRun->note.pop_back();
    return true;
}

/* Starts a command line and waits for it: "" once it ended, else why not
   (a child that outlives dwTimeoutMs is ended). */
static std::string RunProcessFor(std::string cmd, unsigned long dwTimeoutMs)
{
    STARTUPINFOA si;
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return "the child process did not start (error " + std::to_string(GetLastError()) + ")";
    std::string problem;
    if (WaitForSingleObject(pi.hProcess, dwTimeoutMs) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, INFINITE);
        problem = "timed out";
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return problem;
}

CaseRun RunCaseChild(const std::string &exe, int nCase, const std::string &setName,
                     const std::string &data, unsigned long dwTimeoutMs)
{
    CaseRun run;
    std::string result = data + "\\result.txt";
    DeleteFileA(result.c_str());
    std::string cmd = "\"" + exe + "\" --child " + CaseKey(nCase) + " " + setName + " \"" + data +
                      "\" \"" + result + "\"";
    run.note = RunProcessFor(cmd, dwTimeoutMs);
    if (run.note.empty() && !ReadResult(result, &run))
        run.note = "the child process left no result";
    return run;
}

static std::string ReadTextFile(const std::string &path)
{
    std::string text;
    FILE *pf = fopen(path.c_str(), "r");
    if (!pf)
        return text;
    char szBuf[512];
    size_t cb;
    while ((cb = fread(szBuf, 1, sizeof(szBuf), pf)) > 0)
        text.append(szBuf, cb);
    fclose(pf);
    return text;
}

/* ---- The cases ----------------------------------------------------------- */

struct ChildCase {
    int nCase = -1;
    int nItems = 0;
    std::string data;                   /* the set's folder, ends in "\" */
    std::string dest;                   /* install and copy target, ends in "\" */
    std::string package;                /* entry 98 */
    std::vector<std::string> aFrom, aTo;
    HWND hOwner = NULL;
};

/* ResToFiles alone is timed; with progress on, the dialog was opened
   before and is closed after.  (Closing it under Wine on a display without
   a window manager waits two seconds for the window's withdrawal, a cost of
   the test display, not of the copy.) */
static std::string InstallItems(const ChildCase &cc)
{
    return ResToFiles(cc.dest.c_str()) ? "" : "ResToFiles reported failure";
}

static std::string CopyItems(const ChildCase &cc)
{
    for (size_t i = 0; i < cc.aFrom.size(); i++)
        if (!CopyFileA(cc.aFrom[i].c_str(), cc.aTo[i].c_str(), FALSE))
            return "CopyFileA failed on " + cc.aFrom[i];
    return "";
}

/* Room for one item's bytes: a buffer kept and grown, the least any copy
   has to do, or (fFresh) a new zero-initialised movable block per item, as
   the builder and the extraction allocate theirs. */
class ItemBuffer {
public:
    explicit ItemBuffer(bool fFresh) : m_fFresh(fFresh), m_cbKept(0) {}
    char *Get(long cb)
    {
        if (m_fFresh)
            return static_cast<char *>(m_block.Alloc((SIZE_T)cb));
        if (cb > m_cbKept) {
            m_pKept.reset(new char[cb]);
            m_cbKept = cb;
        }
        return m_pKept.get();
    }
    void Done() { m_block.Free(); }
private:
    bool m_fFresh;
    GlobalOwner m_block;
    std::unique_ptr<char[]> m_pKept;
    long m_cbKept;
};

/* The builder's I/O calls without the builder: each file is opened, sized
   with _llseek, read whole with one _hread and written with one _hwrite. */
static std::string ConcatItems(const ChildCase &cc, bool fFreshBlocks)
{
    OFSTRUCT ofs;
    FileOwner out(OpenFile("out\\concat.bin", &ofs, OF_CREATE | OF_WRITE));
    if (!out.IsOpen())
        return "the output could not be created";
    ItemBuffer buffer(fFreshBlocks);
    for (const std::string &from : cc.aFrom) {
        FileOwner in(OpenFile(from.c_str(), &ofs, OF_READ));
        if (!in.IsOpen())
            return "cannot open " + from;
        long cb = _llseek(in.Get(), 0, FILE_END);
        _llseek(in.Get(), 0, FILE_BEGIN);
        char *pb = cb > 0 ? buffer.Get(cb) : NULL;
        if (!pb || _hread(in.Get(), pb, cb) != cb || _hwrite(out.Get(), pb, cb) != cb)
            return "short read or write on " + from;
        buffer.Done();
    }
    return "";
}

/* What the package format itself asks of an install: each record's length
   and bytes read into a fresh block and written to a new file; no manifest,
   no progress, no dates. */
static std::string ExtractRecords(const ChildCase &cc)
{
    OFSTRUCT ofs;
    FileOwner package(OpenFile((ExeFolder() + cc.package).c_str(), &ofs, OF_READ));
    if (!package.IsOpen())
        return "no package beside the program";
    ItemBuffer buffer(true);
    for (const std::string &to : cc.aTo) {
        unsigned char abHead[RECORD_HEADER_SIZE];
        if (_hread(package.Get(), abHead, sizeof(abHead)) != (long)sizeof(abHead))
            return "the package ends early";
        long cb = DecodeRecordLength(abHead);
        char *pb = cb > 0 ? buffer.Get(cb) : NULL;
        if (!pb || _hread(package.Get(), pb, cb) != cb)
            return "a record cannot be read";
        FileOwner out(OpenFile(to.c_str(), &ofs, OF_CREATE | OF_WRITE));
        if (!out.IsOpen() || _hwrite(out.Get(), pb, cb) != cb)
            return "cannot write " + to;
        buffer.Done();
    }
    return "";
}

static std::string RunTimedCase(const ChildCase &cc)
{
    switch (cc.nCase) {
    case CASE_INSTALL_SHOWN:
    case CASE_INSTALL_SEALED:
    case CASE_INSTALL_QUIET:
        return InstallItems(cc);
    case CASE_COPY:
        return CopyItems(cc);
    case CASE_BUILD:
        return PackFiles("pkg.qps") ? "" : "PackFiles reported failure";
    case CASE_EXTRACT_BLOCKS:
        return ExtractRecords(cc);
    case CASE_CONCAT_BLOCKS:
        return ConcatItems(cc, true);
    case CASE_CONCAT:
        return ConcatItems(cc, false);
    }
    return "unknown case";
}

/* ---- The peer ------------------------------------------------------------ */

std::string NsisInstaller(const std::string &setName)
{
    return ExeFolder() + "nsis_" + setName + ".exe";
}

/* One whole installer process into target: its time from start to end and
   its peak working set.  "" or what went wrong. */
static std::string RunInstaller(const std::string &exe, bool fSilent, const std::string &target,
                                double *pdSeconds, double *pdPeakMb)
{
    /* /D= must come last and unquoted: the rest of the line is the folder. */
    std::string cmd = "\"" + exe + "\"" + (fSilent ? " /S" : "") + " /D=" + target;
    STARTUPINFOA si;
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    LARGE_INTEGER liStart, liEnd;
    QueryPerformanceCounter(&liStart);
    if (!CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return "the installer did not start (error " + std::to_string(GetLastError()) + ")";
    std::string problem;
    if (WaitForSingleObject(pi.hProcess, 600000) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, INFINITE);
        problem = "the installer timed out";
    }
    QueryPerformanceCounter(&liEnd);
    DWORD dwCode = 1;
    if (problem.empty() && (!GetExitCodeProcess(pi.hProcess, &dwCode) || dwCode != 0))
        problem = "the installer ended with code " + std::to_string(dwCode);
    PROCESS_MEMORY_COUNTERS pmc;
    memset(&pmc, 0, sizeof(pmc));
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof(pmc));
    *pdPeakMb = (double)pmc.PeakWorkingSetSize / MB;
    LARGE_INTEGER liFreq;
    QueryPerformanceFrequency(&liFreq);
    *pdSeconds = (double)(liEnd.QuadPart - liStart.QuadPart) / (double)liFreq.QuadPart;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return problem;
}

/* The peer is timed as whole processes, so its start-up and end are taken
   off: the same installer made with no files runs first, the same way,
   and its time is subtracted.  The peak is the full installer's own. */
static void MeasurePeer(const ChildCase &cc, const char *pszSet, CaseRun *pRun)
{
    bool fSilent = cc.nCase == CASE_NSIS_SILENT;
    std::string empty = cc.data + "empty";
    double dEmpty = 0, dFull = 0, dPeak = 0;
    pRun->note = RunInstaller(NsisInstaller("empty"), fSilent, empty, &dEmpty, &dPeak);
    RemoveFolder(empty);
    if (pRun->note.empty())
        pRun->note = RunInstaller(NsisInstaller(pszSet), fSilent, cc.dest.substr(0, cc.dest.size() - 1),
                                  &dFull, &pRun->dPeakMb);
    pRun->dSeconds = dFull - dEmpty;
}

/* ---- Preparation (not timed) --------------------------------------------- */

static void DrainMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

/* The installer copies while its destination dialog is on the screen: a
   window stands in for it as the progress dialog's owner, and the progress
   dialog is opened on it before the clock starts, as the copy step does. */
static std::string OpenProgress(ChildCase &cc)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = "QuarnelBenchOwner";
    RegisterClassA(&wc);
    cc.hOwner = CreateWindowA(wc.lpszClassName, "Quarnel benchmark", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              0, 0, 640, 480, NULL, NULL, wc.hInstance, NULL);
    if (!cc.hOwner)
        return "the owner window was not created";
    DrainMessages();
    if (!StatDlgStart(cc.hOwner))
        return "the progress dialog was not created";
    DrainMessages();
    return "";
}

static std::string PrepareCase(ChildCase &cc)
{
    if (!SetCurrentDirectoryA(cc.data.c_str()))
        return "the data folder is missing";
    if (CaseIsInstall(cc.nCase) && !CaseIsPeer(cc.nCase) && !CreateDirectoryA(cc.dest.c_str(), NULL))
        return "the destination could not be made fresh";
    for (int i = 0; i < cc.nItems; i++) {
        std::string name = ItemFileName(i);
        cc.aFrom.push_back(cc.nCase == CASE_COPY ? cc.data + "src\\" + name : "src\\" + name);
        cc.aTo.push_back(cc.dest + name);
    }
    bool fShown = cc.nCase == CASE_INSTALL_SHOWN || cc.nCase == CASE_INSTALL_SEALED;
    return fShown ? OpenProgress(cc) : "";
}

/* ---- Measuring ----------------------------------------------------------- */

static void ReadMemory(double *pdWsMb, double *pdPeakMb)
{
    PROCESS_MEMORY_COUNTERS pmc;
    memset(&pmc, 0, sizeof(pmc));
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    *pdWsMb = (double)pmc.WorkingSetSize / MB;
    *pdPeakMb = (double)pmc.PeakWorkingSetSize / MB;
}

static double Seconds(const LARGE_INTEGER &liFrom, const LARGE_INTEGER &liTo)
{
    LARGE_INTEGER liFreq;
    QueryPerformanceFrequency(&liFreq);
    return (double)(liTo.QuadPart - liFrom.QuadPart) / (double)liFreq.QuadPart;
}

static void MeasureCase(const ChildCase &cc, CaseRun *pRun)
{
    double dPeakBefore = 0, dWsAfter = 0, dPeakAfter = 0;
    ReadMemory(&pRun->dBaseMb, &dPeakBefore);
    LARGE_INTEGER liStart, liEnd;
    QueryPerformanceCounter(&liStart);
    pRun->note = RunTimedCase(cc);
    QueryPerformanceCounter(&liEnd);
    ReadMemory(&dWsAfter, &dPeakAfter);
    pRun->dSeconds = Seconds(liStart, liEnd);
    pRun->dPeakMb = dPeakAfter - pRun->dBaseMb;
}

static bool WriteResult(const char *pszResult, const CaseRun &run)
{
    char szLine[128];
    snprintf(szLine, sizeof(szLine), "%s %.6f %.3f %.3f ", run.fOk ? "ok" : "fail", run.dSeconds,
             run.dPeakMb, run.dBaseMb);
    return WriteTextFile(pszResult, szLine + run.note + "\n");
}

int RunChild(const char *pszCase, const char *pszSet, const char *pszData, const char *pszResult)
{
    CaseRun run;
    ChildCase cc;
    cc.nCase = FindCase(pszCase);
    cc.data = std::string(pszData) + "\\";
    cc.dest = cc.data + "dest\\";
    /* The sealed install reads its checksums where a product's installer
       does: in the module that carries the manifest. */
    bool fSealed = cc.nCase == CASE_INSTALL_SEALED;
    std::string module = fSealed ? SealedModuleName(pszSet) : pszSet;
    HINSTANCE hManifest = (HINSTANCE)LoadSetManifest(module.c_str(), &cc.nItems, &cc.package);
    if (cc.nCase < 0 || !hManifest) {
        run.note = "unknown case or no manifest module";
        return WriteResult(pszResult, run) ? 0 : 1;
    }
    if (fSealed && !FindResourceA(hManifest, RES_PACKAGE_SUMS, RT_RCDATA)) {
        run.note = "the sealed manifest module carries no checksums";
        return WriteResult(pszResult, run) ? 0 : 1;
    }
    SetAppInstance(hManifest);

    InitializeCriticalSection(&csBox);
    HANDLE hWatch = CreateThread(NULL, 0, WatchBoxes, NULL, 0, NULL);
    run.note = PrepareCase(cc);
    if (run.note.empty() && CaseIsPeer(cc.nCase))
        MeasurePeer(cc, pszSet, &run);
    else if (run.note.empty())
        MeasureCase(cc, &run);
    StatDlgEnd();
    std::string box = BoxSeen();
    if (!box.empty())
        run.note = box + (run.note.empty() ? "" : "; " + run.note);
    run.fOk = run.note.empty();
    InterlockedExchange(&lStopWatch, 1);
    if (hWatch) {
        WaitForSingleObject(hWatch, INFINITE);
        CloseHandle(hWatch);
    }
    return WriteResult(pszResult, run) ? 0 : 1;
}

/* ---- One item, step by step ---------------------------------------------- */

/* Sums the time spent in each named step over all items. */
class StepClock {
public:
    StepClock() { QueryPerformanceFrequency(&m_liFreq); }
    void Start() { QueryPerformanceCounter(&m_liStart); }
    void Stop(const char *pszStep)
    {
        LARGE_INTEGER liEnd;
        QueryPerformanceCounter(&liEnd);
        double dSeconds = (double)(liEnd.QuadPart - m_liStart.QuadPart) / (double)m_liFreq.QuadPart;
        for (BreakdownStep &step : m_aSteps)
            if (step.name == pszStep) {
                step.dMicros += dSeconds * 1e6;
                return;
            }
        BreakdownStep step;
        step.name = pszStep;
        step.dMicros = dSeconds * 1e6;
        m_aSteps.push_back(step);
    }
    std::string Lines(int nItems) const
    {
        std::string text;
        double dSum = 0;
        for (const BreakdownStep &step : m_aSteps) {
            char szLine[160];
            snprintf(szLine, sizeof(szLine), "%s %.2f\n", step.name.c_str(), step.dMicros / nItems);
            text += szLine;
            if (step.name.compare(0, 3, "of ") != 0)
                dSum += step.dMicros / nItems;
        }
        char szSum[64];
        snprintf(szSum, sizeof(szSum), "sum of the steps %.2f\n", dSum);
        return text + szSum;
    }
private:
    LARGE_INTEGER m_liFreq, m_liStart;
    std::vector<BreakdownStep> m_aSteps;
};

/* The steps ResToFiles takes for an item that is written, each with the
   clock around it: the same library calls in the same order. */
static std::string TimeItemSteps(const ChildCase &cc, HFILE hPkg, int i, StepClock &clock)
{
    clock.Start();
    char szDest[PATH_BUF], szName[ITEM_NAME_BUF], szDate[ITEM_DATE_BUF];
    CopySz(szDest, sizeof(szDest), LoadStrExpand(IDS_ITEM_DEST + i, "", cc.dest.c_str()));
    LoadEntry(IDS_ITEM_NAME + i, szName, sizeof(szName));
    LoadEntry(IDS_ITEM_DATE + i, szDate, sizeof(szDate));
    clock.Stop("manifest reads and expansion");
    clock.Start();
    int nAnswer = CanOvr(szDest, i);
    clock.Stop("overwrite check");
    if (nAnswer != OVR_WRITE)
        return "an item was not to be written";
    clock.Start();
    int fGoOn = StatDlgMsg(szStatusCopying, szName, (int)((long long)i * 100 / cc.nItems));
    clock.Stop("progress (StatDlgMsg)");
    if (!fGoOn)
        return "the progress dialog said cancel";
    clock.Start();
    unsigned char abHead[RECORD_HEADER_SIZE];
    GlobalOwner block;
    long cb = ReadExact(hPkg, abHead, sizeof(abHead)) ? DecodeRecordLength(abHead) : -1;
    bool fRead = cb > 0 && block.Alloc((SIZE_T)cb) && ReadExact(hPkg, block.Get(), cb);
    clock.Stop("record read: length, block, bytes");
    if (!fRead)
        return "a record could not be read";
    clock.Start();
    OFSTRUCT ofs = {};
    FileOwner file(OpenFileQ(szDest, &ofs, OF_CREATE | OF_WRITE));
    clock.Stop("create");
    clock.Start();
    bool fWritten = file.IsOpen() && WriteExact(file.Get(), block.Get(), cb);
    clock.Stop("write");
    clock.Start();
    if (fWritten)
        StampFileDate(file.Get(), szDest, szDate);
    clock.Stop("date stamping");
    clock.Start();
    file.Close();
    clock.Stop("close");
    return fWritten ? "" : "an item could not be written";
}

/* What StatDlgMsg is made of, each part timed on its own (a second pass,
   so the first pass times StatDlgMsg as the install calls it). */
static void TimeProgressParts(const ChildCase &cc, StepClock &clock)
{
    HWND hDlg = GetStatDlg();
    for (int i = 0; i < cc.nItems; i++) {
        std::string line = std::string(szStatusCopying) + " " + ItemFileName(i);
        clock.Start();
        SetDlgItemTextA(hDlg, IDC_STATUS, line.c_str());
        clock.Stop("of which status text (SetDlgItemTextA)");
        clock.Start();
        PaintBar();
        clock.Stop("of which bar (PaintBar)");
        clock.Start();
        UpdateWindow(hDlg);
        clock.Stop("of which painting (UpdateWindow)");
        clock.Start();
        StatDlgIsOk();
        clock.Stop("of which queue drain (StatDlgIsOk)");
    }
}

static std::string TimeSteps(const ChildCase &cc, StepClock &clock)
{
    OFSTRUCT ofs;
    FileOwner package(OpenFile((ExeFolder() + cc.package).c_str(), &ofs, OF_READ));
    if (!package.IsOpen())
        return "no package beside the program";
    for (int i = 0; i < cc.nItems; i++) {
        std::string problem = TimeItemSteps(cc, package.Get(), i, clock);
        if (!problem.empty())
            return problem;
    }
    TimeProgressParts(cc, clock);
    StatDlgMsg(szStatusDone, "", 100);
    return "";
}

int RunBreakdown(const char *pszSet, const char *pszData, const char *pszResult)
{
    ChildCase cc;
    cc.nCase = CASE_INSTALL_SHOWN;
    cc.data = std::string(pszData) + "\\";
    cc.dest = cc.data + "dest\\";
    HINSTANCE hManifest = (HINSTANCE)LoadSetManifest(pszSet, &cc.nItems, &cc.package);
    if (!hManifest || cc.nItems <= 0)
        return WriteTextFile(pszResult, "fail no manifest module\n") ? 0 : 1;
    SetAppInstance(hManifest);
    InitializeCriticalSection(&csBox);
    HANDLE hWatch = CreateThread(NULL, 0, WatchBoxes, NULL, 0, NULL);
    StepClock clock;
    std::string problem = PrepareCase(cc);
    if (problem.empty())
        problem = TimeSteps(cc, clock);
    StatDlgEnd();
    InterlockedExchange(&lStopWatch, 1);
    if (hWatch) {
        WaitForSingleObject(hWatch, INFINITE);
        CloseHandle(hWatch);
    }
    std::string box = BoxSeen();
    if (problem.empty() && !box.empty())
        problem = box;
    std::string text = problem.empty() ? clock.Lines(cc.nItems) : "fail " + problem + "\n";
    return WriteTextFile(pszResult, text) ? 0 : 1;
}

std::vector<BreakdownStep> RunBreakdownChild(const std::string &exe, const std::string &setName,
                                             const std::string &data, unsigned long dwTimeoutMs)
{
    std::string result = data + "\\steps.txt";
    DeleteFileA(result.c_str());
    std::string cmd = "\"" + exe + "\" --breakdown " + setName + " \"" + data + "\" \"" + result + "\"";
    std::vector<BreakdownStep> aSteps;
    std::string problem = RunProcessFor(cmd, dwTimeoutMs);
    std::string text = problem.empty() ? ReadTextFile(result) : "fail " + problem + "\n";
    if (text.compare(0, 5, "fail ") == 0) {
        printf("  breakdown failed: %s", text.c_str() + 5);
    } else {
        aSteps = ParseBreakdown(text);
    }
    DeleteFileA(result.c_str());
    return aSteps;
}
