/* quarnel.cpp - the installer driver: program start, the install sequence in
 * its fixed order, the copy step, the destination dialog with its path
 * verification, and the INI changes. */
#include "quarnel.h"

#include "load.h"
#include "logic.h"
#include "makeicon.h"
#include "resource.h"
#include "unload.h"

static HINSTANCE hApp;
static char szDestPath[256], szRootPath[256], szSubPath[256];
static int fIcons;
HINSTANCE GetAppInstance(void) { return hApp; }
void SetAppInstance(HINSTANCE hInstance) { hApp = hInstance; }

static const char szAppTitle[] = "Installer";

/* Steps after a successful copy, in their fixed order. */
static void FinishInstall(void)
{
    ChgINIs(szDestPath);

    if (fIcons) {
        int r = AddToProgMan(szDestPath);
        if (r != 0)
            ErrBox((UINT)r, "Attempt to make icons failed.");
    }

    if (LoadBool(IDS_SHOW_DONE, 0))
        MessageBoxA(NULL, LoadStr(IDS_DONE_TEXT, "Installation complete."), szAppTitle,
                    MB_OK | MB_ICONINFORMATION);

    /* A follow-up command that did not fit its buffer would start something
       else than the author wrote: it is reported, never run cut. */
    const char *pszCmd = LoadStrExpand(IDS_FOLLOWUP, "", szDestPath);
    if (ExpandWasCut())
        ErrBox(MSG_MISSING, "The cargo manifest is missing required entries.");
    else if (pszCmd[0] != '\0')
        WinExec(pszCmd, SW_SHOWNORMAL);
}

int QuarnelMain(HINSTANCE hInstance, const char *lpszCmdLine)
{
    hApp = hInstance;
    if (lpszCmdLine[0] != '\0') {
        PackFiles(lpszCmdLine);
        return 0;
    }

    fIcons = LoadInt(IDS_DDE_COUNT, 0);
    CopySz(szDestPath, sizeof(szDestPath), LoadStr(IDS_DEFAULT_DEST, ""));

    if (DialogBoxParamA(hApp, DLG_PARVEX_ASKED, NULL, MainWndProc, 0) != 1)
        return 0;
    FinishInstall();
    return 0;
}
int Unload(HWND) { return 0; }
int CreatePaths(const char *) { return 0; }
char *GetDestPath(void) { return szDestPath; }
char *GetRootPath(void) { return szRootPath; }
char *GetSubPath(void) { return szSubPath; }
int GetIconsFlag(void) { return fIcons; }
void SetIconsFlag(int f) { fIcons = f; }
INT_PTR CALLBACK MainWndProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
int VerifyPath(HWND, char *) { return 0; }
int GetPathType(HWND, const char *) { return 0; }
INT_PTR CALLBACK NotifyDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
int CenterWindow(HWND) { return 1; }
int Browse(HWND, char *, int) { return 0; }
