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

/* What a message box shows. */
SeenBox ReadMessageBox(HWND hBox);

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

/* Runs a program and waits for it; returns its exit code, or -1. */
int RunProcess(const std::string &cmdLine, const std::string &dir, DWORD dwMs);

#endif
