/* quarnel.cpp - the installer driver: program start, the install sequence in
 * its fixed order, the copy step, the destination dialog with its path
 * verification, and the INI changes. */
#include "quarnel.h"

#include <commdlg.h>
#include <string.h>

#include "filedir.h"
#include "fixed.h"
#include "load.h"
#include "logic.h"
#include "makeicon.h"
#include "manifest.h"
#include "resource.h"
#include "statbar.h"
#include "unload.h"

static char szDestPath[PATH_BUF], szRootPath[PATH_BUF], szSubPath[PATH_BUF];
static int fIcons;

/* Steps after a successful copy, in their fixed order. */
static void FinishInstall(void)
{
    ChgINIs(szDestPath);

    if (fIcons) {
        int r = AddToProgMan(szDestPath);
        if (r != 0)
            ErrBox((UINT)r, szTextIcons);
    }

    if (LoadBool(IDS_SHOW_DONE, 0))
        MessageBoxA(NULL, LoadStr(IDS_DONE_TEXT, szTextDone), szCaptionInstaller,
                    MB_OK | MB_ICONINFORMATION);

    /* A follow-up command that did not fit its buffer would start something
       else than the author wrote: it is reported, never run cut. */
    const char *pszCmd = LoadStrExpand(IDS_FOLLOWUP, "", szDestPath);
    if (ExpandWasCut())
        ErrBox(MSG_MISSING, szTextMissing);
    else if (pszCmd[0] != '\0')
        WinExec(pszCmd, SW_SHOWNORMAL);
}

int QuarnelMain(HINSTANCE hInstance, const char *lpszCmdLine)
{
    SetAppInstance(hInstance);
    if (lpszCmdLine[0] != '\0') {
        PackFiles(lpszCmdLine);
        return 0;
    }

    fIcons = LoadInt(IDS_DDE_COUNT, 0);
    CopySz(szDestPath, sizeof(szDestPath), LoadStr(IDS_DEFAULT_DEST, ""));

    if (DialogBoxParamA(GetAppInstance(), DLG_PARVEX_ASKED, NULL, MainWndProc, 0) != 1)
        return 0;
    FinishInstall();
    return 0;
}

/* ---- Copy step ----------------------------------------------------------- */

/* The hourglass shown while directories are made and items copied. */
typedef struct WAITCURSOR {
    HCURSOR hPrev;
    int fHeld;
} WAITCURSOR;

static void BeginWait(WAITCURSOR *pWait)
{
    pWait->hPrev = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    pWait->fHeld = 1;
}

static void EndWait(WAITCURSOR *pWait)
{
    if (pWait->fHeld)
        SetCursor(pWait->hPrev);
    pWait->fHeld = 0;
}

int Unload(HWND hWnd)
{
    WAITCURSOR wait;
    BeginWait(&wait);

    /* A cut or padded sealed package is refused before any directory of
       the destination is made. */
    int fOk = CheckSealedLength() && CreatePaths(szDestPath);
    if (fOk) {
        if (LoadBool(IDS_SHOW_PROGRESS, 1))
            fOk = StatDlgStart(hWnd);
        else
            EndWait(&wait); /* no progress window: the user gets the cursor back at once */
    }
    if (fOk)
        fOk = ResToFiles(szDestPath);

    /* The previous cursor comes back exactly once: before the progress
       window closes after a full copy, after it when the copy stopped. */
    if (fOk)
        EndWait(&wait);
    StatDlgEnd();
    EndWait(&wait);
    return fOk ? 1 : 0;
}

static int SubdirFailed(void)
{
    ErrBox(MSG_SUBDIR, szTextSubdir);
    return 0;
}

int CreatePaths(const char *pszPath)
{
    if (!CreatePath(pszPath))
        return SubdirFailed();

    int nCount = LoadInt(IDS_SUBDIR_COUNT, 0);
    for (int i = 0; i < nCount; i++) {
        /* The destination keeps 20 characters of room for the subdirectory.
           A destination beyond its 235 or a joined path beyond 255 would
           name another directory once cut: such a path is refused. */
        char szSub[PATH_BUF];
        size_t nDest = CopySzMax(szSub, sizeof(szSub), pszPath, SUBDIR_DEST_KEPT);
        if (pszPath[nDest] != '\0' ||
            !AppendSz(szSub, sizeof(szSub), LoadStr((UINT)(IDS_SUBDIR + i), "")))
            return SubdirFailed();
        if (ChgDir(szSub) != 0 && MkDir(szSub) != 0)
            return SubdirFailed();
    }
    return 1;
}

/* ---- Destination dialog -------------------------------------------------- */

static void InitMainDlg(HWND hWnd)
{
    CenterWindow(hWnd);
    SendDlgItemMessageA(hWnd, IDC_DESTDIR, EM_LIMITTEXT, DEST_FIELD_LIMIT, 0);
    SetDlgItemTextA(hWnd, IDC_DESTDIR, szDestPath);
    if (fIcons)
        CheckDlgButton(hWnd, IDC_STARTMENU, BST_CHECKED);
    else
        EnableWindow(GetDlgItem(hWnd, IDC_STARTMENU), FALSE);
    SetDlgItemTextA(hWnd, IDC_DESCRIPTION, LoadStr(IDS_DESCRIPTION, ""));
}

/* A destination always ends in a separator, so a relative item path can
   follow it directly; "C:" keeps meaning the drive's current directory.
   The last character is judged whole: the second byte of a double-byte
   character may look like a backslash. */
static void AddTrailingSlash(char *pszPath, size_t cchPath, int fColonEnds)
{
    const LeadBytes *pLead = AnsiLeadBytes();
    if (pszPath[0] == '\0' || EndsWithChar(pszPath, '\\', pLead) ||
        (fColonEnds && EndsWithChar(pszPath, ':', pLead)))
        return;
    AppendSz(pszPath, cchPath, "\\");
}

static void OnMainOk(HWND hWnd)
{
    GetDlgItemTextA(hWnd, IDC_DESTDIR, szDestPath, DEST_READ_BUF);
    AddTrailingSlash(szDestPath, sizeof(szDestPath), 1);
    fIcons = IsDlgButtonChecked(hWnd, IDC_STARTMENU) == BST_CHECKED ? 1 : 0;
    if (!VerifyPath(hWnd, szDestPath))
        return;

    EnableWindow(hWnd, FALSE);
    if (Unload(hWnd))
        EndDialog(hWnd, 1);
    EnableWindow(hWnd, TRUE);
    SetFocus(hWnd);
}

static void OnMainBrowse(HWND hWnd)
{
    char szDir[PATH_BUF];
    GetDlgItemTextA(hWnd, IDC_DESTDIR, szDir, BROWSE_READ_BUF);
    if (Browse(hWnd, szDir, sizeof(szDir)))
        SetDlgItemTextA(hWnd, IDC_DESTDIR, szDir);
}

INT_PTR CALLBACK MainWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    if (uMsg == WM_INITDIALOG) {
        InitMainDlg(hWnd);
        return TRUE;
    }
    if (uMsg != WM_COMMAND || HIWORD(wParam) != 0)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnMainOk(hWnd);
        return TRUE;
    case IDCANCEL:
        EndDialog(hWnd, 0);
        return TRUE;
    case IDC_BROWSE:
        OnMainBrowse(hWnd);
        return TRUE;
    }
    return FALSE;
}

/* ---- Path verification ----------------------------------------------------- */

static int RefusePath(HWND hWnd, UINT uId, const char *pszDefault)
{
    MessageBoxA(hWnd, LoadStr(uId, pszDefault), szCaptionInstaller, MB_OK | MB_ICONSTOP);
    return 0;
}

/* Rebuilds pszPath (256 characters) as root + "\" + part to create.  The
   root is the system's spelling of the existing part and may be longer than
   what was typed; a result beyond 255 characters is refused, never cut. */
static int RebuildPath(char *pszPath)
{
    char szJoined[PATH_BUF];
    AddTrailingSlash(szRootPath, sizeof(szRootPath), 0);
    if (!EndsWithChar(szRootPath, '\\', AnsiLeadBytes()))
        return 0;
    CopySz(szJoined, sizeof(szJoined), szRootPath);
    if (!AppendSz(szJoined, sizeof(szJoined), szSubPath))
        return 0;
    CopySz(pszPath, PATH_BUF, szJoined);
    return 1;
}

static void ShowDiskSpace(HWND hWnd, char cDrive, int nNeed, long lFree)
{
    char szDrive[16], szNeed[48], szFree[48];
    wsprintfA(szDrive, "DRIVE %c:", cDrive);
    wsprintfA(szNeed, "Space Required: %i KB", nNeed);
    wsprintfA(szFree, "Space Available: %li KB", lFree);
    DLGPARAMS params = {3, {szDrive, szNeed, szFree}};
    DialogBoxParamA(GetAppInstance(), DLG_DISKSPACE, hWnd, NotifyDlgProc, (LPARAM)&params);
}

static const char *ConfirmTemplate(HWND hWnd, const char *pszPath)
{
    switch (GetPathType(hWnd, pszPath)) {
    case 1:
        return DLG_VERIFY_ROOT;
    case 2:
        return DLG_VERIFY_WIN;
    case 3:
        return DLG_VERIFY_SYS;
    }
    return DLG_VERIFY_NOSUB;
}

int VerifyPath(HWND hWnd, char *pszPath)
{
    SplitPath(pszPath, szRootPath, szSubPath);
    if (!IsValidDrive(szRootPath))
        return RefusePath(hWnd, MSG_BAD_DRIVE, szTextBadDrive);
    if (!IsSubOk(szSubPath, AnsiLeadBytes()) || !RebuildPath(pszPath))
        return RefusePath(hWnd, MSG_BAD_PATH, szTextBadPath);

    int nNeed = LoadInt(IDS_SPACE_KB, 0);
    if (nNeed != 0) {
        long lFree = GetDriveSpaceAvail(pszPath);
        if (lFree < nNeed) {
            ShowDiskSpace(hWnd, pszPath[0], nNeed, lFree);
            return 0;
        }
    }

    DLGPARAMS params = {1, {pszPath}};
    const char *pszTemplate;
    if (szSubPath[0] != '\0') {
        params.nParamCount = 2;
        params.ppszParams[1] = szSubPath;
        pszTemplate = DLG_VERIFY;
    } else {
        pszTemplate = ConfirmTemplate(hWnd, pszPath);
    }
    return DialogBoxParamA(GetAppInstance(), pszTemplate, hWnd, NotifyDlgProc, (LPARAM)&params) == 1 ? 1 : 0;
}

/* 1 when pszPath names the directory that pfnGetDir reports (with its
   trailing separator), compared without regard to case. */
static int IsSystemFolder(UINT(WINAPI *pfnGetDir)(LPSTR, UINT), const char *pszPath)
{
    char szDir[PATH_BUF];
    UINT n = pfnGetDir(szDir, sizeof(szDir));
    if (n == 0 || n >= sizeof(szDir))
        return 0;
    AddTrailingSlash(szDir, sizeof(szDir), 0);
    return EqualNoCase(szDir, pszPath);
}

int GetPathType(HWND hWnd, const char *pszPath)
{
    (void)hWnd;
    if (IsBareDriveRoot(pszPath) && LoadBool(IDS_WARN_ROOT, 1))
        return 1;
    if (IsSystemFolder(GetWindowsDirectoryA, pszPath) && LoadBool(IDS_WARN_WINDIR, 1))
        return 2;
    if (IsSystemFolder(GetSystemDirectoryA, pszPath) && LoadBool(IDS_WARN_SYSDIR, 1))
        return 3;
    return 0;
}

INT_PTR CALLBACK NotifyDlgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG) {
        const DLGPARAMS *pParams = (const DLGPARAMS *)lParam;
        if (pParams) {
            int nCount = pParams->nParamCount;
            for (int k = 0; k < nCount && k < 10; k++)
                SetDlgItemTextA(hWnd, IDC_FIELD0 + k, pParams->ppszParams[k]);
        }
        return TRUE;
    }
    if (uMsg == WM_COMMAND && HIWORD(wParam) == 0) {
        if (LOWORD(wParam) == IDCANCEL)
            EndDialog(hWnd, 0);
        else if (LOWORD(wParam) == IDOK)
            EndDialog(hWnd, 1);
    }
    return FALSE;
}

int CenterWindow(HWND hWnd)
{
    RECT rc;
    GetWindowRect(hWnd, &rc);
    int cx = rc.right - rc.left;
    int cy = rc.bottom - rc.top;
    MoveWindow(hWnd, (GetSystemMetrics(SM_CXSCREEN) - cx) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - cy) / 2, cx, cy, FALSE);
    return 1;
}

/* ---- Directory chooser ------------------------------------------------------ */

typedef BOOL(WINAPI *GETOPENFILENAMEA)(LPOPENFILENAMEA pOfn);

/* The common dialogs are loaded only when the user browses: imported, they
   and the DLLs they pull in would be looked for beside the program before
   WinMain could restrict the search to the system directory. */
static BOOL ShowOpenDialog(OPENFILENAMEA *pOfn)
{
    HMODULE hDlgs = LoadLibraryA("comdlg32.dll");
    FARPROC pfn = hDlgs ? GetProcAddress(hDlgs, "GetOpenFileNameA") : NULL;
    if (pfn == NULL)
        return FALSE;
    return reinterpret_cast<GETOPENFILENAMEA>(reinterpret_cast<void *>(pfn))(pOfn);
}

/* The classic open-file dialog with a template that hides the file list:
   the dummy name "x" makes OK always acceptable, and the part of the
   result before the file name is the directory the user ended up in. */
int Browse(HWND hWnd, char *pszDir, int nDirBufSize)
{
    char szInitDir[PATH_BUF];
    CopySz(szInitDir, sizeof(szInitDir), pszDir);
    int nName = GetFileNameOfPath(NULL, 0, szInitDir, AnsiLeadBytes());
    szInitDir[nName > 0 ? nName - 1 : 0] = '\0';
    CopySz(pszDir, (size_t)nDirBufSize, "x");

    OPENFILENAMEA ofn;
    ZeroMemory(&ofn, sizeof(ofn));
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hWnd;
    ofn.hInstance = GetAppInstance();
    ofn.lpstrFilter = "All\0*.*\0";
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = pszDir;
    ofn.nMaxFile = (DWORD)nDirBufSize;
    ofn.lpstrInitialDir = szInitDir[0] != '\0' ? szInitDir : NULL;
    ofn.lpstrTitle = TEXT_CHOOSE_DIR;
    ofn.lpTemplateName = DLG_BROWSE;
    ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLETEMPLATE | OFN_NOREADONLYRETURN;
    if (!ShowOpenDialog(&ofn))
        return 0;
    if (ofn.nFileOffset < nDirBufSize)
        pszDir[ofn.nFileOffset] = '\0';
    return 1;
}

char *GetDestPath(void)
{
    return szDestPath;
}
