/* unload_readers.cpp - the manifest readers, destination-macro expansion and
 * the error boxes.  Every manifest string the program uses passes through
 * here, so the buffers' lifetimes below are what the callers rely on. */
#include "unload.h"

#include "filedir.h"
#include "logic.h"
#include "quarnel.h"

/* szBuf holds the latest plain read (LoadStr, and the text of an error box);
   szBuf2 the latest expansion, which survives plain reads and error boxes. */
static char szBuf[1024];
static char szBuf2[1024];
static int fExpandCut;

static const char szErrCaption[] = "Installer";

/* A manifest entry into psz (cch characters, cut to fit); empty when the
   entry is absent. */
static void ReadEntry(UINT uId, char *psz, int cch)
{
    psz[0] = '\0';
    if (LoadStringA(GetAppInstance(), uId, psz, cch) <= 0)
        psz[0] = '\0';
}

static int IsInside(const char *p, const char *pBuf, size_t cb)
{
    return p >= pBuf && p < pBuf + cb;
}

int LoadInt(UINT uId, int nDefault)
{
    char sz[32];
    ReadEntry(uId, sz, sizeof(sz));
    return sz[0] == '\0' ? nDefault : ParseIntText(sz);
}

int LoadBool(UINT uId, int fDefault)
{
    char sz[32];
    ReadEntry(uId, sz, sizeof(sz));
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
    ReadEntry(uId, szBuf, sizeof(szBuf));
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
    char szSys[256], szWin[256];
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
    MessageBoxA(GetActiveWindow(), pszText, szErrCaption, MB_OK | MB_ICONSTOP);
}

void FileErrBox(UINT nErr)
{
    const char *pszDefault;
    UINT uId = FileErrMessage(nErr, &pszDefault);
    ErrBox(uId, pszDefault);
}
