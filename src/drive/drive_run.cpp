/* drive_run.cpp - the preview's scenario: three runs of the installer,
 * each watched window by window.  Run 1 installs into the default
 * destination, run 2 installs there again so that the overwrite prompts
 * and INI questions show, run 3 types a destination the installer refuses
 * and cancels.  Every wait ends on a window, the installer's end or a
 * deadline; nothing waits for time. */
#include "drive.h"

#include <algorithm>

#include "fixed.h"
#include "resource.h"
#include "watch.h"

namespace {

/* How long one window may take to come, and one run in all. */
const DWORD WINDOW_MS = 30000;
const DWORD RUN_MS = 120000;

/* The folder run 3 types: new, with a blank in its name, which the
   installer refuses to create. */
const char *const REFUSED_FOLDER = "Quarnel Preview Refused\\";

enum Kind { K_NONE, K_MAIN, K_VERIFY, K_SPACE, K_PROGRESS, K_BOX, K_CHOOSER, K_OTHER };

struct Run {
    int nRun = 0;
    PROCESS_INFORMATION pi = {};
    HWND hMain = NULL;
    bool bMainAnswered = false;   /* OK or the typed destination was given */
    bool bProgressShot = false;
    int nItemPrompts = 0, nIniPrompts = 0;
    std::string lastMessage;      /* the last message shown since OK */
    std::vector<HWND> done;       /* windows dealt with */
    bool bFailed = false;
};

Kind KindOf(HWND hWnd)
{
    std::string caption = WindowText(hWnd);
    if (IsMessageBox(hWnd))
        return K_BOX;
    if (GetDlgItem(hWnd, IDC_DESTDIR))
        return K_MAIN;
    if (GetDlgItem(hWnd, IDC_BAR) && !GetDlgItem(hWnd, IDOK) && caption == szCaptionMain)
        return K_PROGRESS;
    if (caption == szCaptionVerify)
        return K_VERIFY;
    if (caption == szCaptionSpace && GetDlgItem(hWnd, IDC_FIELD2))
        return K_SPACE;
    if (caption == TEXT_CHOOSE_DIR)
        return K_CHOOSER;
    return K_OTHER;
}

struct Look {
    Run *pRun;
    HWND hFound;
};

BOOL CALLBACK FindNew(HWND hWnd, LPARAM lParam)
{
    Look *pLook = reinterpret_cast<Look *>(lParam);
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    const std::vector<HWND> &done = pLook->pRun->done;
    if (dwPid != pLook->pRun->pi.dwProcessId || !IsWindowVisible(hWnd) ||
        std::find(done.begin(), done.end(), hWnd) != done.end())
        return TRUE;
    /* The progress dialog counts once it shows an item. */
    if (KindOf(hWnd) == K_PROGRESS &&
        (pLook->pRun->bProgressShot || ReadControl(hWnd, IDC_STATUS).find(szStatusCopying) != 0))
        return TRUE;
    pLook->hFound = hWnd;
    return FALSE;
}

/* The destination dialog back in its own loop and enabled after OK: the
   install did not happen (or the typed destination was refused). */
bool MainBack(Run &run)
{
    if (!run.bMainAnswered || !IsWindow(run.hMain) || !IsWindowEnabled(run.hMain))
        return false;
    DWORD_PTR dwRes = 0;
    return SendMessageTimeoutA(run.hMain, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &dwRes) && IsWindow(run.hMain) &&
           IsWindowEnabled(run.hMain);
}

bool SomethingToDo(void *pv)
{
    Look *pLook = static_cast<Look *>(pv);
    EndChildrenOf(pLook->pRun->pi.dwProcessId, pLook->pRun->nRun);
    pLook->hFound = NULL;
    EnumWindows(FindNew, reinterpret_cast<LPARAM>(pLook));
    return pLook->hFound || MainBack(*pLook->pRun);
}

/* The text of a button without its access-key mark: "&Yes" is "Yes". */
std::string ButtonName(HWND hBox, int nId)
{
    std::string name;
    for (char c : ReadControl(hBox, nId))
        if (c != '&')
            name.push_back(c);
    return name;
}

void Press(Run &run, HWND hWnd, int nId, const std::string &caption)
{
    RecordEvent(run.nRun, "answered", caption + ", " + ButtonName(hWnd, nId));
    PressButton(hWnd, nId);
}

/* Yes to the first and No to the second question of each kind in run 2,
   Yes otherwise: an overwrite prompt comes while the destination dialog
   still stands, an INI question after it closed. */
int PromptAnswer(Run &run)
{
    int &nCount = IsWindow(run.hMain) ? run.nItemPrompts : run.nIniPrompts;
    return ++nCount == 2 && run.nRun == 2 ? IDNO : IDYES;
}

/* Moves hBox, which stays above its owner hUnder, to where it hides none
   of it: below it, or above it when the screen ends first. */
void MoveClear(HWND hBox, HWND hUnder)
{
    RECT rcBox, rcUnder;
    if (!GetWindowRect(hBox, &rcBox) || !GetWindowRect(hUnder, &rcUnder))
        return;
    const int cy = rcBox.bottom - rcBox.top, nGap = 8;
    int y = rcUnder.bottom + nGap;
    if (y + cy > GetSystemMetrics(SM_CYSCREEN))
        y = std::max(0, static_cast<int>(rcUnder.top) - cy - nGap);
    SetWindowPos(hBox, NULL, rcUnder.left, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    /* The move reaches the screen a little later: once the box is seen
       painted in its new place, it is out of the way, and what it left
       behind is painted again. */
    CaptureWindow(hBox);
    RedrawWindow(hUnder, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void AnswerBox(Run &run, HWND hBox)
{
    SeenBox box = ReadMessageBox(hBox);
    /* While the cancel question waits, the progress dialog under it stands
       still, showing the item it is about to copy. */
    if (box.caption == szCaptionCancelAsk && !run.bProgressShot && KindOf(box.hOwner) == K_PROGRESS) {
        MoveClear(hBox, box.hOwner);
        run.done.push_back(box.hOwner);
        run.bProgressShot = CaptureScreen(box.hOwner, run.nRun) != 0;
    }
    CaptureScreen(hBox, run.nRun);
    int nAnswer = IDOK;
    if (box.caption == szCaptionPrompt)
        nAnswer = PromptAnswer(run);
    else if (box.caption == szCaptionCancelAsk)
        nAnswer = IDNO;   /* the preview's own Cancel click, taken back */
    else
        run.lastMessage = box.text;
    if (std::find(box.buttons.begin(), box.buttons.end(), nAnswer) == box.buttons.end() && !box.buttons.empty())
        nAnswer = box.buttons.front();
    Press(run, hBox, nAnswer, box.caption);
    WaitForWindowGone(hBox, WINDOW_MS);
}

void AnswerMain(Run &run, HWND hMain)
{
    run.hMain = hMain;
    CaptureScreen(hMain, run.nRun);
    if (run.nRun == 3) {
        std::string dest = ReadControl(hMain, IDC_DESTDIR);
        std::string root = dest.size() >= 2 && dest[1] == ':' ? dest.substr(0, 2) + "\\" : "C:\\";
        WriteControl(hMain, IDC_DESTDIR, root + REFUSED_FOLDER);
        RecordEvent(run.nRun, "note", "destination typed: " + root + REFUSED_FOLDER);
    }
    run.bMainAnswered = true;
    Press(run, hMain, IDOK, WindowText(hMain));
}

/* The destination dialog came back: in run 3 that is the refusal's end,
   in the others the install failed. */
void MainCameBack(Run &run)
{
    if (run.nRun != 3) {
        run.bFailed = true;
        RecordEvent(run.nRun, "failed", run.lastMessage);
    }
    Press(run, run.hMain, IDCANCEL, WindowText(run.hMain));
    run.bMainAnswered = false;
}

void Handle(Run &run, HWND hWnd)
{
    run.done.push_back(hWnd);
    switch (KindOf(hWnd)) {
    case K_MAIN:
        AnswerMain(run, hWnd);
        break;
    case K_VERIFY:
        CaptureScreen(hWnd, run.nRun);
        Press(run, hWnd, IDOK, WindowText(hWnd));
        break;
    case K_SPACE:
        CaptureScreen(hWnd, run.nRun);
        run.lastMessage = ReadControl(hWnd, IDC_FIELD0) + "\n" + ReadControl(hWnd, IDC_FIELD1) + "\n" +
                          ReadControl(hWnd, IDC_FIELD2);
        Press(run, hWnd, IDOK, WindowText(hWnd));
        break;
    case K_PROGRESS: {
        /* Its cancel question, when it stands over it, is moved aside first. */
        WindowQuery q;
        q.dwPid = run.pi.dwProcessId;
        q.bMessageBox = true;
        HWND hAsk = FindShownWindow(q);
        if (hAsk && GetWindow(hAsk, GW_OWNER) == hWnd) {
            run.done.pop_back();
            run.done.push_back(hAsk);
            AnswerBox(run, hAsk);
        } else {
            run.bProgressShot = CaptureScreen(hWnd, run.nRun) != 0;
        }
        break;
    }
    case K_BOX:
        AnswerBox(run, hWnd);
        break;
    case K_CHOOSER:
        Press(run, hWnd, IDCANCEL, WindowText(hWnd));
        break;
    default:
        CaptureScreen(hWnd, run.nRun);
        RecordEvent(run.nRun, "note", "an unexpected window was closed: " + WindowText(hWnd));
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
        break;
    }
}

bool Ended(void *pv)
{
    return WaitForSingleObject(static_cast<HANDLE>(pv), 0) == WAIT_OBJECT_0;
}

/* The hook DLL beside the driver (drive_hook.c), set on the installer's
   thread; NULL when it cannot be, and the progress dialog is then only
   looked for from outside. */
HHOOK HookInstaller(DWORD dwThreadId, int nRun)
{
    char szSelf[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, szSelf, sizeof(szSelf));
    std::string dll = n > 4 && n < sizeof(szSelf) ? std::string(szSelf, n - 4) + ".dll" : std::string();
    HMODULE hDll = dll.empty() ? NULL : LoadLibraryA(dll.c_str());
    FARPROC pfn = hDll ? GetProcAddress(hDll, "DriveCbtHook") : NULL;
    HHOOK hHook = pfn ? SetWindowsHookExA(WH_CBT, reinterpret_cast<HOOKPROC>(reinterpret_cast<void *>(pfn)), hDll,
                                          dwThreadId)
                      : NULL;
    if (!hHook)
        RecordEvent(nRun, "note", "no hook in the installer (" + dll + "): its progress may go by unseen");
    return hHook;
}

/* One run from start to end; false when the driver itself failed. */
bool DoRun(Run &run, const std::string &installer)
{
    std::string dir = installer.substr(0, installer.find_last_of('\\') + 1);
    if (!StartProgram("\"" + installer + "\"", dir, &run.pi)) {
        RecordEvent(run.nRun, "note", "the installer could not be started: " + installer);
        return false;
    }
    RecordEvent(run.nRun, "started", installer);
    HHOOK hHook = HookInstaller(run.pi.dwThreadId, run.nRun);
    DWORD dwStart = GetTickCount();
    Look look = {&run, NULL};
    while (!Ended(run.pi.hProcess)) {
        DWORD dwSpent = GetTickCount() - dwStart;
        if (dwSpent >= RUN_MS || !WaitUntil(SomethingToDo, &look, std::min(WINDOW_MS, RUN_MS - dwSpent),
                                             run.pi.hProcess)) {
            if (Ended(run.pi.hProcess))
                break;
            RecordEvent(run.nRun, "note", "the installer showed nothing more for too long and was ended");
            TerminateProcess(run.pi.hProcess, 1);
            break;
        }
        if (look.hFound)
            Handle(run, look.hFound);
        else
            MainCameBack(run);
    }
    if (hHook)
        UnhookWindowsHookEx(hHook);
    int nCode = WaitForExit(run.pi.hProcess, WINDOW_MS);
    EndChildrenOf(run.pi.dwProcessId, run.nRun);
    RecordEvent(run.nRun, "exit", std::to_string(nCode));
    CloseGroupWindows();
    CloseHandle(run.pi.hThread);
    CloseHandle(run.pi.hProcess);
    return true;
}

} // namespace

int DriveInstaller(const std::string &outDir, const std::string &installer)
{
    if (!OpenRecords(outDir))
        return 1;
    SetScreenDir(outDir);
    if (!LoadTemplates(installer)) {
        RecordEvent(0, "note", "the installer cannot be read: " + installer);
        CloseRecords();
        return 1;
    }
    int nResult = 0;
    for (int nRun = 1; nRun <= 3; nRun++) {
        Run run;
        run.nRun = nRun;
        if (!DoRun(run, installer)) {
            nResult = 1;
            break;
        }
        if (run.bFailed && nRun == 1) {
            nResult = 2;
            break;
        }
    }
    RecordShortcuts();
    FreeTemplates();
    CloseRecords();
    return nResult;
}
