/* testsupport.h - what the Windows tests share: files and folders of the
 * test run, manifests loaded from resource-only modules, and a watcher that
 * finds the program's message boxes and dialogs, records what they show and
 * answers them, so that no test ever waits for a person. */
#ifndef QUARNEL_TESTSUPPORT_H
#define QUARNEL_TESTSUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

/* ---- Files and folders -------------------------------------------------- */

std::string ExeDir();                                 /* test program's folder, ends in "\" */
std::string ScratchDir(const std::string &name);      /* fresh empty folder under ExeDir()scratch\, ends in "\" */
void RemoveTree(const std::string &path);             /* deletes a folder and everything in it */
bool WriteBytes(const std::string &path, const std::string &bytes);
std::string ReadBytes(const std::string &path);       /* empty when the file cannot be read */
bool FileExists(const std::string &path);
bool DirExists(const std::string &path);
std::string CurrentDir();                             /* as GetCurrentDirectoryA reports it */
bool SetCurrentDir(const std::string &path);          /* SetCurrentDirectoryA; true on success */

/* ---- Platform ----------------------------------------------------------- */

bool RunningUnderWine();                              /* ntdll exports wine_get_version */
char FreeDriveLetter();                               /* a letter from Q on with no drive, or 0 */

/* Package bytes: a record is its length (4 bytes, little-endian, signed)
   followed by the data.  LengthField gives the length bytes alone, so that
   damaged records can be written too. */
std::string LengthField(long lLength);
std::string PackageRecord(const std::string &data);

/* The Wine (Windows) path of a Linux path: drive Z: with backslashes. */
std::string WinPathOfUnix(const std::string &unixPath);

/* dir followed by a file name of 'f's (and a final 'x') so that the whole
   path has exactly nLength characters; dir must be shorter than that and the
   name at most 255 characters. */
std::string PathOfLength(const std::string &dir, size_t nLength);

/* ---- Manifests ---------------------------------------------------------- */

/* Loads ExeDir() + name + ".dll" (a module carrying a test manifest and the
   fixed resources) and makes it the program's resource module. */
HINSTANCE UseManifest(const char *pszName);

/* ---- Windows and message boxes ------------------------------------------ */

struct SeenBox {
    bool bFound = false;
    HWND hWnd = NULL;
    std::string caption;
    std::string text;
    std::string icon;            /* "error", "question", "information", "warning", "none" */
    std::vector<int> buttons;    /* IDs of the visible push buttons, in z order */
    HWND hOwner = NULL;
};

/* Top-level window of process dwPid (0: any) with exactly this caption,
   waited for up to dwMs.  NULL when none appeared. */
HWND WaitForWindow(const char *pszCaption, DWORD dwPid, DWORD dwMs);

/* A message box (dialog with the text control 0xFFFF) of process dwPid,
   other than hSkip, waited for up to dwMs.  NULL when none appeared. */
HWND WaitForMessageBox(DWORD dwPid, DWORD dwMs, HWND hSkip = NULL);

/* 1 when hWnd is a message box rather than one of the installer's dialogs. */
bool IsMessageBox(HWND hWnd);

/* What a message box shows. */
SeenBox ReadMessageBox(HWND hBox);

/* Which standard icon the icon control hControl shows ("error", "question",
   "information", "warning"; "other" when none): by its handle hIcon, or, for
   another process's box, by the picture on the screen. */
std::string IconName(HWND hControl, HICON hIcon);

/* Presses a button of a dialog or message box as a click would. */
void PressButton(HWND hDlg, int nId);

std::string WindowText(HWND hWnd);
std::string ControlText(HWND hDlg, int nId);

/* Answers the message boxes that the code under test raises on this
   thread: a background thread waits for each box in turn, records it and
   presses the next answer.  Boxes beyond the answers given are recorded and
   closed (with IDCANCEL, else IDOK) after dwStrayMs so a test cannot hang;
   Stop() returns everything seen. */
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::vector<int> answers, DWORD dwPid = GetCurrentProcessId(),
                         DWORD dwStrayMs = 3000);
    ~BoxAnswerer();
    std::vector<SeenBox> Stop();
private:
    static DWORD WINAPI ThreadProc(LPVOID pv);
    void Run();
    std::vector<int> m_answers;
    std::vector<SeenBox> m_seen;
    DWORD m_dwPid;
    DWORD m_dwStrayMs;
    HANDLE m_hThread;
    volatile LONG m_lStop;
    CRITICAL_SECTION m_cs;
};

/* Saves a window's picture as a 24-bit BMP file.  true on success. */
bool SaveWindowBmp(HWND hWnd, const std::string &path);

/* Where a test's picture of a window goes: <build>\screenshots\<name>.bmp,
   beside the tests' folder (created when missing). */
std::string ScreenshotPath(const std::string &name);

/* Starts a program without waiting: the caller watches it through
   pPi->dwProcessId and closes both handles.  false when it could not start. */
bool StartProcess(const std::string &cmdLine, const std::string &dir, PROCESS_INFORMATION *pPi);

/* Waits up to dwMs until the shell answers Program Manager DDE (service
   and topic PROGMAN); the shell starts with the session's desktop, so a
   test that talks to it calls this first.  true when it answered. */
bool WaitForProgramManager(DWORD dwMs);

/* Runs a program and waits for it; returns its exit code, or -1. */
int RunProcess(const std::string &cmdLine, const std::string &dir, DWORD dwMs);

/* The standard icon a message box shows, recognised by its picture on the
   screen ("error", "question", "information", "warning", "none"), for boxes
   of another process whose icon handles mean nothing here. */
std::string IconOnScreen(HWND hBox);

/* ---- Driving another program -------------------------------------------- */

/* Starts a program (cmdLine as CreateProcessA takes it) in dir (empty: the
   test's own), with extra "NAME=value" environment entries in front of the
   test's environment.  Fills *pPi; false when it could not be started. */
bool StartProgram(const std::string &cmdLine, const std::string &dir, PROCESS_INFORMATION *pPi,
                  const std::vector<std::string> &extraEnv = std::vector<std::string>());

/* Waits for a process started by the test; its exit code, or -1 when it
   did not end within dwMs (it is then left running). */
int WaitForExit(HANDLE hProcess, DWORD dwMs);

/* A visible top-level window of process dwPid with exactly this caption
   that has a control nCtrlId (which tells apart dialogs of equal caption),
   waited for up to dwMs.  NULL when none appeared. */
HWND WaitForDialog(const char *pszCaption, DWORD dwPid, int nCtrlId, DWORD dwMs);

/* Text of a control through WM_GETTEXT, so that it also works for an edit
   field of another process (GetWindowText does not ask other processes). */
std::string ReadControl(HWND hDlg, int nId);
void WriteControl(HWND hDlg, int nId, const std::string &text);

/* Texts of every child of a dialog, in template (z) order. */
std::vector<std::string> ChildTexts(HWND hDlg);

/* The window that has the keyboard focus in thread dwTid, NULL if none. */
HWND FocusOfThread(DWORD dwTid);

/* Repeats pfn(pv) every few milliseconds until it is true or dwMs passed. */
bool WaitUntil(bool (*pfn)(void *), void *pv, DWORD dwMs);

/* ---- Extraction --------------------------------------------------------- */

struct ExtractOutcome {
    int nResult = -1;
    std::vector<SeenBox> boxes;
    bool bDialogLeftOpen = false;   /* progress dialog still open on return */
    std::string status;             /* its status line on return */
};

/* Runs ResToFiles(dest) as the copy step does (after StatDlgStart when
   bProgress), answering the message boxes in order; closes the progress
   dialog afterwards. */
ExtractOutcome RunExtraction(const std::string &dest, std::vector<int> answers, bool bProgress = false);

/* The boxes' captions and texts on one line, for failure messages. */
std::string BoxTexts(const std::vector<SeenBox> &boxes);

/* GoogleTest checks: an error box ("Installer", error icon) with this text;
   an extraction that stopped with exactly that one box, the progress
   dialog closed before it. */
void ExpectErrorBox(const SeenBox &box, const char *pszText);
void ExpectStoppedWith(const ExtractOutcome &out, const char *pszText);

/* ---- Boxes that cannot be shown ----------------------------------------- */

/* While it lives, the calling thread can create no window (a CBT hook
   refuses each one), so a message box raised there cannot be shown and
   MessageBoxA fails the way it does when the system cannot make its box. */
class WindowsRefused {
public:
    WindowsRefused() : m_hHook(SetWindowsHookExA(WH_CBT, Refuse, NULL, GetCurrentThreadId())) {}
    ~WindowsRefused()
    {
        if (m_hHook)
            UnhookWindowsHookEx(m_hHook);
    }
    bool IsActive() const { return m_hHook != NULL; }   /* the hook is in place */
private:
    static LRESULT CALLBACK Refuse(int nCode, WPARAM wParam, LPARAM lParam)
    {
        return nCode == HCBT_CREATEWND ? 1 : CallNextHookEx(NULL, nCode, wParam, lParam);
    }
    WindowsRefused(const WindowsRefused &);
    WindowsRefused &operator=(const WindowsRefused &);
    HHOOK m_hHook;
};

#endif
