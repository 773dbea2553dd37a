/* filedir_io.cpp - the program's file-open call and whole-count reads and
 * writes.  OpenFile keeps a full path of at most 127 characters, while the
 * installer's paths may hold 255, so longer paths are opened directly with
 * the same modes, search and error codes. */
#include "filedir.h"

#include <string.h>

/* Room for a resolved path: a 255-character name joined to a current
   directory can be longer than the name itself. */
enum { FULL_PATH_SIZE = 1024 };

/* The access and creation modes that OpenFileQ handles itself; any other
   request (OF_EXIST, OF_DELETE, OF_PARSE ...) goes to OpenFile unchanged. */
static const UINT uHandledStyles = OF_CREATE | OF_READ | OF_WRITE | OF_READWRITE | OF_SHARE_COMPAT |
                                   OF_SHARE_EXCLUSIVE | OF_SHARE_DENY_WRITE |
                                   OF_SHARE_DENY_READ | OF_SHARE_DENY_NONE;

static DWORD AccessOf(UINT uStyle)
{
    switch (uStyle & 3) {
    case OF_WRITE:
        return GENERIC_WRITE;
    case OF_READWRITE:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

/* OpenFile's compatibility mode lets other openers read and write. */
static DWORD SharingOf(UINT uStyle)
{
    switch (uStyle & 0x70) {
    case OF_SHARE_EXCLUSIVE:
        return 0;
    case OF_SHARE_DENY_WRITE:
        return FILE_SHARE_READ;
    case OF_SHARE_DENY_READ:
        return FILE_SHARE_WRITE;
    default:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    }
}

static HFILE FailOpen(OFSTRUCT *pOfs, DWORD dwErr)
{
    pOfs->nErrCode = (WORD)(dwErr ? dwErr : ERROR_FILE_NOT_FOUND);
    return HFILE_ERROR;
}

/* The full path OpenFile would use: a file to create is made relative to
   the current directory, a file to open is searched for the way OpenFile
   searches (a bare name through the program's folder, the current folder,
   the system and Windows folders and PATH). */
static int ResolvePath(const char *pszFile, UINT uStyle, char *pszFull)
{
    /* Only a bare name is searched for; a name with a drive or directory is
       taken as it stands, which is also all the search would do with it. */
    if ((uStyle & OF_CREATE) || pszFile[SpanToAny(pszFile, "\\/:", AnsiLeadBytes())] != '\0') {
        DWORD n = GetFullPathNameA(pszFile, FULL_PATH_SIZE, pszFull, NULL);
        return n != 0 && n < FULL_PATH_SIZE;
    }
    DWORD n = SearchPathA(NULL, pszFile, NULL, FULL_PATH_SIZE, pszFull, NULL);
    return n != 0 && n < FULL_PATH_SIZE;
}

HFILE OpenFileQ(const char *pszFile, OFSTRUCT *pOfs, UINT uStyle)
{
    if ((uStyle & ~uHandledStyles) != 0)
        return OpenFile(pszFile, pOfs, uStyle);

    /* What decides is the length of the full path OpenFile would build.  A
       name that cannot be resolved is opened as given, so the platform
       reports why (2 file not found, 3 path not found ...). */
    char szFull[FULL_PATH_SIZE];
    const char *pszOpen = ResolvePath(pszFile, uStyle, szFull) ? szFull : pszFile;
    if (lstrlenA(pszOpen) < OFS_MAXPATHNAME)
        return OpenFile(pszFile, pOfs, uStyle);

    ZeroMemory(pOfs, sizeof(*pOfs));
    pOfs->cBytes = sizeof(*pOfs);
    /* Too long for OpenFile.  szPathName cannot hold the path, so it is left
       empty rather than holding a cut path that names another file. */
    HANDLE hFile = CreateFileA(pszOpen, AccessOf(uStyle), SharingOf(uStyle), NULL,
                               (uStyle & OF_CREATE) ? CREATE_ALWAYS : OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FailOpen(pOfs, GetLastError());
    /* The platform's own HFILEs are handle values narrowed to an int;
       _lclose and the _l / _h calls widen them back. */
    return (HFILE)HandleToLong(hFile);
}

int ReadExact(HFILE hFile, void *pv, long cb)
{
    if (cb < 0)
        return 0;
    return _hread(hFile, pv, cb) == cb;
}

int WriteExact(HFILE hFile, const void *pv, long cb)
{
    /* A write of zero bytes would cut the file at the current position. */
    if (cb <= 0)
        return cb == 0;
    return _hwrite(hFile, static_cast<LPCCH>(pv), cb) == cb;
}
