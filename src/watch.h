/* watch.h - the one place where windows are watched from outside, by the
 * Windows tests and by the preview driver (src/drive/): starting a
 * program, waiting for its windows and boxes, reading and answering them,
 * photographing them once painted, and a watcher thread that answers the
 * boxes the code under test raises.  Every wait here ends on a window, a
 * process or an event, bounded by a deadline; tests never wait for time. */
#ifndef QUARNEL_WATCH_H
#define QUARNEL_WATCH_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

/* ---- Processes ---------------------------------------------------------- */

/* Starts a program (cmdLine as CreateProcessA takes it) in dir (empty: the
   test's own), with extra "NAME=value" environment entries in front of the
   test's environment.  Fills *pPi; false when it could not be started. */
bool StartProgram(const std::string &cmdLine, const std::string &dir, PROCESS_INFORMATION *pPi,
                  const std::vector<std::string> &extraEnv = std::vector<std::string>());

/* Its exit code once it ended, -1 when it did not end within dwMs (it is
   then left running). */
int WaitForExit(HANDLE hProcess, DWORD dwMs);

/* Starts a program and waits for it: its exit code, or -1 when it could not
   start or did not end within dwMs (it is then ended). */
int RunProcess(const std::string &cmdLine, const std::string &dir, DWORD dwMs);

/* ---- Finding windows ---------------------------------------------------- */

/* Which visible top-level window to find: every field given must match. */
struct WindowQuery {
    const char *pszCaption = NULL;   /* exact caption */
    DWORD dwPid = 0;                 /* owning process (0: any) */
    int nCtrlId = 0;                 /* a control it must have (tells apart equal captions) */
    bool bMessageBox = false;        /* a message box rather than a dialog */
    std::vector<HWND> skip;          /* windows already dealt with */
};

/* The first window matching q now, NULL if none. */
HWND FindShownWindow(const WindowQuery &q);

/* Waits up to dwMs for a window matching q; NULL when none came, when q's
   process ended first, or when hWake was signalled. */
HWND WaitForWindow(const WindowQuery &q, DWORD dwMs, HANDLE hWake = NULL);
HWND WaitForDialog(const char *pszCaption, DWORD dwPid, int nCtrlId, DWORD dwMs);
HWND WaitForMessageBox(DWORD dwPid, DWORD dwMs, HWND hSkip = NULL);

/* true once hWnd is destroyed, false when it still exists after dwMs. */
bool WaitForWindowGone(HWND hWnd, DWORD dwMs);

/* true once pfn(pv) is true, false when dwMs passed or hWake was signalled. */
bool WaitUntil(bool (*pfn)(void *), void *pv, DWORD dwMs, HANDLE hWake = NULL);

/* true when hWnd is a message box rather than one of the installer's
   dialogs or the directory chooser. */
bool IsMessageBox(HWND hWnd);

/* Waits until hWnd's thread has finished setting it up (it answers a sent
   message) and has painted it.  false when it did not within dwMs. */
bool WaitForSettled(HWND hWnd, DWORD dwMs);

/* ---- Reading and answering ---------------------------------------------- */

std::string WindowText(HWND hWnd);                       /* a top-level window's caption */

/* A control's text through WM_GETTEXT, so that it also reads an edit field
   of another process (GetWindowText does not ask other processes). */
std::string ReadControl(HWND hDlg, int nId);
void WriteControl(HWND hDlg, int nId, const std::string &text);

/* Texts of every child of a dialog, in template (z) order. */
std::vector<std::string> ChildTexts(HWND hDlg);

/* The window that has the keyboard focus in thread dwTid, NULL if none. */
HWND FocusOfThread(DWORD dwTid);

/* Presses a button of a dialog or message box as a click would. */
void PressButton(HWND hDlg, int nId);

/* How many pixels hCtrl's text is wider than the control's client area
   (0 or less: it fits), measured with the control's own font; hCtrl belongs
   to this process. */
int TextOverflow(HWND hCtrl);

/* How much room a text takes in a control as it draws it. */
struct TextFit {
    int cx = 0, cy = 0;     /* the text's extent in pixels */
    bool bClipped = false;  /* it does not fit the room it has */
};

/* Measures text in the font of hFontCtrl (a control of this process) the
   way a control of class pszClass with dwStyle draws it into a client area
   of cxClient by cyClient: a wrapping static is laid out with DrawText's
   word breaks, every other text as one line.  An edit field that scrolls
   its text never counts as clipped. */
TextFit MeasureText(HWND hFontCtrl, const char *pszClass, DWORD dwStyle, int cxClient, int cyClient,
                    const std::string &text);

/* A dialog of another program's file made again in this process, hidden
   (its template with WS_VISIBLE taken off), so that its controls' fonts
   can be used here: a font belongs to its process.  NULL when hModule has
   no such dialog template. */
HWND HiddenDialogCopy(HMODULE hModule, LPCSTR pszTemplate);

struct SeenBox {
    bool bFound = false;
    HWND hWnd = NULL;
    std::string caption;
    std::string text;
    std::string icon;            /* "error", "question", "information", "warning", "none", "other" */
    std::vector<int> buttons;    /* IDs of the visible push buttons, in z order */
    HWND hOwner = NULL;
};

/* Which standard icon a message box shows: by its handle when the box is
   ours, else (or with bByPicture) by the picture it shows, compared with the
   system's own icons drawn here the same way. */
std::string IconOf(HWND hBox, bool bByPicture = false);

/* What a message box shows, once it has settled. */
SeenBox ReadMessageBox(HWND hBox);

/* ---- Pictures ----------------------------------------------------------- */

struct Picture {
    int cx = 0, cy = 0;
    std::vector<DWORD> pixels;   /* top-down rows of 0x00RRGGBB */
    RECT client = {};            /* the client area within the picture */
};

/* The window as the screen shows it once it has painted: its thread has
   settled and two successive copies agree (bounded by dwMs). */
Picture CaptureWindow(HWND hWnd, DWORD dwMs = 5000);

/* Distinct colours in the picture's client area (a blank window has one). */
size_t ClientColours(const Picture &pic);

/* Saves a window's painted picture as a BMP file: false when it could not
   be taken or saved, or its client area is a single colour. */
bool SaveWindowBmp(HWND hWnd, const std::string &path);

/* ---- The watcher -------------------------------------------------------- */

/* Called on the watcher's thread for each box before it is answered: its
   place in the order and what it shows. */
typedef std::function<void(size_t nIndex, const SeenBox &box)> BoxHook;

/* Answers the message boxes that the code under test raises: a background
   thread waits for each box in turn, records it and presses the next
   answer.  Boxes beyond the answers given are recorded and closed (with
   IDCANCEL, else IDOK) after dwStrayMs so a test cannot hang; Stop()
   returns everything seen. */
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::vector<int> answers, DWORD dwPid = GetCurrentProcessId(),
                         DWORD dwStrayMs = 3000, BoxHook hook = BoxHook());
    ~BoxAnswerer();
    std::vector<SeenBox> Stop();
private:
    BoxAnswerer(const BoxAnswerer &);
    BoxAnswerer &operator=(const BoxAnswerer &);
    static DWORD WINAPI ThreadProc(LPVOID pv);
    void Run();
    void Answer(HWND hBox, int nAnswer);
    std::vector<int> m_answers;
    std::vector<SeenBox> m_seen;
    DWORD m_dwPid;
    DWORD m_dwStrayMs;
    BoxHook m_hook;
    HANDLE m_hStop;
    HANDLE m_hThread;
    CRITICAL_SECTION m_cs;
};

/* While it lives, the calling thread can create no window (a CBT hook
   refuses each one), so a message box raised there cannot be shown and
   MessageBoxA fails the way it does when the system cannot make its box. */
class WindowsRefused {
public:
    WindowsRefused();
    ~WindowsRefused();
    bool IsActive() const { return m_hHook != NULL; }   /* the hook is in place */
private:
    WindowsRefused(const WindowsRefused &);
    WindowsRefused &operator=(const WindowsRefused &);
    HHOOK m_hHook;
};

/* ---- The shell ---------------------------------------------------------- */

/* Waits up to dwMs until the shell answers Program Manager DDE (service
   and topic PROGMAN); the shell starts with the session's desktop, so a
   test that talks to it calls this first.  true when it answered. */
bool WaitForProgramManager(DWORD dwMs);

/* Closes every window titled pszTitle that is shown within dwMs (the shell
   opens a folder window for each program group it makes or shows). */
void CloseWindowsTitled(const char *pszTitle, DWORD dwMs);

#endif
