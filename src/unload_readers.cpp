/* unload_readers.cpp - the program's own module, the manifest readers,
 * destination-macro expansion and the boxes that show manifest texts.  Every
 * manifest string the program uses passes through here, so the buffers'
 * lifetimes below are what the callers rely on. */
#include "manifest.h"

#include "filedir.h"
#include "fixed.h"
#include "logic.h"

/* The module every resource is loaded from; WinMain's instance. */
static HINSTANCE hApp;

/* szBuf holds the latest plain read (LoadStr, and the text of an error box);
   szBuf2 the latest expansion, which survives plain reads and error boxes. */
static char szBuf[STRING_BUF];
static char szBuf2[STRING_BUF];
static int fExpandCut;

/* The overwrite answers are the message box's own, so an answer passes
   through unchanged. */
static_assert(OVR_WRITE == IDYES && OVR_SKIP == IDNO && OVR_CANCEL == IDCANCEL,
              "overwrite answers are the Yes/No/Cancel box's answers");

HINSTANCE GetAppInstance(void)
{
    return hApp;
}

void SetAppInstance(HINSTANCE hInstance)
{
    hApp = hInstance;
}

void LoadEntry(UINT uId, char *psz, int cch)
{
    psz[0] = '\0';
    if (LoadStringA(hApp, uId, psz, cch) <= 0)
        psz[0] = '\0';
}

static int IsInside(const char *p, const char *pBuf, size_t cb)
{
    return p >= pBuf && p < pBuf + cb;
}

int LoadInt(UINT uId, int nDefault)
{
    char sz[INT_BUF];
    LoadEntry(uId, sz, sizeof(sz));
    return sz[0] == '\0' ? nDefault : ParseIntText(sz);
}

int LoadBool(UINT uId, int fDefault)
{
    char sz[INT_BUF];
    LoadEntry(uId, sz, sizeof(sz));
    return sz[0] == '\0' ? fDefault : IsTrueText(sz);
}

char *LoadStr(UINT uId, const char *pszDefault)
{
    /* A default taken from an earlier LoadStr result would be wiped by the
       read, so it is set aside first. */
    char szSaved[sizeof(szBuf)];
    if (pszDefault == NULL)
        pszDefault = "";
    if (IsInside(pszDefault, szBuf, sizeof(szBuf))) {
        CopySz(szSaved, sizeof(szSaved), pszDefault);
        pszDefault = szSaved;
    }
    LoadEntry(uId, szBuf, sizeof(szBuf));
    if (szBuf[0] == '\0')
        CopySz(szBuf, sizeof(szBuf), pszDefault);
    return szBuf;
}

char *LoadStrExpand(UINT uId, const char *pszDefault, const char *pszPath)
{
    return ExpandStr(LoadStr(uId, pszDefault), pszPath);
}

/* A Windows directory as the platform reports it, or NULL when it cannot
   (or the answer would not fit szTmp). */
static const char *FetchDir(UINT (WINAPI *pfnGetDir)(LPSTR, UINT), char *szTmp, UINT cchTmp)
{
    UINT n = pfnGetDir(szTmp, cchTmp);
    return (n == 0 || n >= cchTmp) ? NULL : szTmp;
}

char *ExpandStr(const char *pszFmt, const char *pszPath)
{
    /* Expanding into a buffer of its own keeps a text or path that happens
       to lie in szBuf2 intact while the new result is built. */
    char szOut[sizeof(szBuf2)];
    char szSys[PATH_BUF], szWin[PATH_BUF];
    const char *pszSys = FetchDir(GetSystemDirectoryA, szSys, sizeof(szSys));
    const char *pszWin = FetchDir(GetWindowsDirectoryA, szWin, sizeof(szWin));
    fExpandCut =
        !ExpandText(pszFmt, pszPath, pszSys, pszWin, szOut, sizeof(szOut), AnsiLeadBytes());
    ZeroMemory(szBuf2, sizeof(szBuf2));
    CopySz(szBuf2, sizeof(szBuf2), szOut);
    return szBuf2;
}

int ExpandWasCut(void)
{
    return fExpandCut;
}

void ErrBox(UINT uId, const char *pszDefault)
{
    const char *pszText = LoadStr(uId, pszDefault);
    MessageBoxA(GetActiveWindow(), pszText, szCaptionInstaller, MB_OK | MB_ICONSTOP);
}

void FileErrBox(UINT nErr)
{
    const char *pszDefault;
    UINT uId = FileErrMessage(nErr, &pszDefault);
    ErrBox(uId, pszDefault);
}

int AskOverwrite(const char *pszText)
{
    int nAnswer = MessageBoxA(GetActiveWindow(), pszText, szCaptionPrompt,
                              MB_YESNOCANCEL | MB_ICONQUESTION);
    /* Yes, No and Cancel are the only answers such a box gives; anything
       else (0, or -1 where the box's window could not be made) means it
       was never shown, and an unasked question is no consent. */
    if (nAnswer == OVR_WRITE || nAnswer == OVR_CANCEL)
        return nAnswer;
    return OVR_SKIP;
}
