/* filedir.cpp - the installer's layer over directories and drives: directory
 * wrappers that talk OEM text to the directory layer, the split of a
 * destination into what exists and what is to be made, drive type and free
 * space, directory creation, and the item date of an installed file. */
#include "filedir.h"

#include <ctype.h>
#include <direct.h>
#include <limits.h>
#include <string.h>

#include "logic.h"
#include "scoped.h"

enum {
    PATH_CCH = 256,      /* the callers' path buffers: 255 characters kept */
    OEM_QUERY_CCH = 511  /* what the queries are told szOem holds */
};

static const char szSlash[] = "\\";

/* The one conversion buffer: OEM text on its way to or from the directory
   layer.  Meaningless between calls. */
static char szOem[512];

/* ---- Talking OEM to the directory layer -------------------------------- */

/* The directory layer is the system's file API, asked directly rather than
   through the C runtime: only the system's own calls are defined to read
   and write names in the code page the file APIs are switched to, and only
   they know the directory the system keeps for each drive.  (Windows' own
   runtime merely forwards to them; Wine 10's converts names as ANSI
   whatever the switch, and reports a drive's root for another drive's
   directory.)  Each call below switches the file APIs to OEM for its own
   duration, so the text in szOem is taken as the OEM text it is and a name
   such as "\xC4" reaches the disk unchanged.  The program has one thread,
   so the switch cannot touch another file call. */
static BOOL BeginOemFileApis(void)
{
    BOOL fAnsi = AreFileApisANSI();
    SetFileApisToOEM();
    return fAnsi;
}

static void EndOemFileApis(BOOL fAnsi)
{
    if (fAnsi)
        SetFileApisToANSI();
}

/* ---- Code pages -------------------------------------------------------- */

void GetLeadBytes(UINT uCodePage, LeadBytes *pLead)
{
    memset(pLead, 0, sizeof(*pLead));
    for (int b = 0; b <= 0xFF; b++)
        if (IsDBCSLeadByteEx(uCodePage, (BYTE)b))
            SetLeadByte(pLead, (unsigned char)b);
}

const LeadBytes *AnsiLeadBytes(void)
{
    /* The code page is the process's for its whole run. */
    static LeadBytes lead;
    static int fKnown;
    if (!fKnown) {
        GetLeadBytes(GetACP(), &lead);
        fKnown = 1;
    }
    return &lead;
}

/* The way there and the way back both convert the whole text, never byte
   by byte: a two-byte character converts only as a whole.  Every result is
   read only as far as the conversion says it wrote. */
int ConvertNameExact(UINT uFrom, UINT uTo, const char *psz, char *pszOut, size_t cchOut)
{
    enum { NAME_CCH = 512 };
    if (cchOut == 0)
        return 0;
    pszOut[0] = '\0';
    size_t cb = strlen(psz);
    if (cb == 0)
        return 1;
    if (cb >= NAME_CCH || cchOut > INT_MAX)
        return 0;
    WCHAR wsz[NAME_CCH], wszBack[NAME_CCH];
    char szBack[NAME_CCH];
    int cwch = MultiByteToWideChar(uFrom, 0, psz, (int)cb, wsz, NAME_CCH);
    int cbOut = cwch > 0 ? WideCharToMultiByte(uTo, 0, wsz, cwch, pszOut, (int)cchOut - 1, NULL, NULL)
                         : 0;
    if (cbOut <= 0) {
        pszOut[0] = '\0';
        return 0;
    }
    pszOut[cbOut] = '\0';
    int cwchBack = MultiByteToWideChar(uTo, 0, pszOut, cbOut, wszBack, NAME_CCH);
    int cbBack = cwchBack > 0 ? WideCharToMultiByte(uFrom, 0, wszBack, cwchBack, szBack,
                                                    NAME_CCH, NULL, NULL)
                              : 0;
    return cbBack == (int)cb && memcmp(szBack, psz, cb) == 0;
}

/* Puts the OEM form of pszDir into szOem.  0 when it does not fit, or when
   a character has no OEM equivalent: the best-fit substitute would name a
   different directory. */
static int ToOem(const char *pszDir)
{
    return ConvertNameExact(GetACP(), GetOEMCP(), pszDir, szOem, OEM_QUERY_CCH + 1);
}

/* Converts the query result in szOem back into pszDir.  A directory longer
   than the callers' 255 characters, or one without an ANSI spelling that
   names it, is refused (NULL, pszDir untouched) rather than copied past the
   end of their buffers or handed back as another name. */
static char *FromOem(char *pszDir)
{
    char szAnsi[sizeof(szOem)];
    if (!ConvertNameExact(GetOEMCP(), GetACP(), szOem, szAnsi, sizeof(szAnsi)))
        return NULL;
    /* The system reports a drive's kept directory with a backslash at the
       end; only a drive root keeps one. */
    size_t cch = strlen(szAnsi);
    if (cch > 3 && EndsWithChar(szAnsi, szSlash[0], AnsiLeadBytes()))
        szAnsi[--cch] = '\0';
    if (cch >= PATH_CCH)
        return NULL;
    CopySz(pszDir, PATH_CCH, szAnsi);
    return pszDir;
}

/* Reads the directory of drive nDrive (0 = the process's current one) into
   szOem and converts it into pszDir.  A drive letter alone is the system's
   way to ask for the directory it keeps for that drive (the process's own
   when it is the current drive, the root when none is kept). */
static char *QueryDir(int nDrive, char *pszDir)
{
    char szDrive[3] = "A:";
    szDrive[0] = (char)('A' + nDrive - 1);
    BOOL fAnsi = BeginOemFileApis();
    DWORD cch = nDrive == 0 ? GetCurrentDirectoryA(OEM_QUERY_CCH, szOem)
                            : GetFullPathNameA(szDrive, OEM_QUERY_CCH, szOem, NULL);
    EndOemFileApis(fAnsi);
    /* a result that did not fit reports the size it needs */
    return cch != 0 && cch < OEM_QUERY_CCH ? FromOem(pszDir) : NULL;
}

/* Changes into (fMake 0) or creates (fMake 1) the directory pszDir: 0 ok,
   -1 failed. */
static int RunDirCall(const char *pszDir, int fMake)
{
    if (!ToOem(pszDir))
        return -1;
    BOOL fAnsi = BeginOemFileApis();
    BOOL fOk = fMake ? CreateDirectoryA(szOem, NULL) : SetCurrentDirectoryA(szOem);
    EndOemFileApis(fAnsi);
    return fOk ? 0 : -1;
}

/* ---- Directory wrappers ------------------------------------------------ */

char *GetCurDir(char *pszDir)
{
    return QueryDir(0, pszDir);
}

int GetCurDrive(void)
{
    return _getdrive();
}

/* 1 when drive nDrive (1 = A) is there: the system knows a root for it. */
static int DriveExists(int nDrive)
{
    char szRoot[4] = "A:\\";
    szRoot[0] = (char)('A' + nDrive - 1);
    UINT uType = GetDriveTypeA(szRoot);
    return uType != DRIVE_UNKNOWN && uType != DRIVE_NO_ROOT_DIR;
}

char *GetCurDirOnDrive(int nDrive, char *pszDir)
{
    if (nDrive < 0 || nDrive > 26 || (nDrive != 0 && !DriveExists(nDrive)))
        return NULL;
    return QueryDir(nDrive, pszDir);
}

/* A process has one current directory; what each drive was last left at
   lives in the environment ("=C:" and so on), where the drive-relative
   forms (C:NAME) and the per-drive query look it up.  The system's change
   of directory does not record it (runtimes that do, do it themselves), so
   ChgDir does, and a drive left for another is found again where it was. */
static void RememberDriveDir(void)
{
    char szDir[PATH_CCH];
    if (GetCurDir(szDir) != NULL && szDir[0] != '\0' && szDir[1] == ':') {
        char szVar[4] = "=A:";
        szVar[1] = (char)toupper((unsigned char)szDir[0]);
        SetEnvironmentVariableA(szVar, szDir);
    }
}

int ChgDir(const char *pszDir)
{
    int nRet = RunDirCall(pszDir, 0);
    if (nRet == 0)
        RememberDriveDir();
    return nRet;
}

int MkDir(const char *pszDir)
{
    return RunDirCall(pszDir, 1);
}

/* ---- Path analysis ----------------------------------------------------- */

/* 1 for a character that the platform reads as a separator where a path
   begins.  Only the form of a path's start is read this way, the way the
   platform reads it (C:/A and /A are absolute there); the program's own
   separator is the backslash: candidates end at one, and a slash in a name
   to create is refused. */
static int IsReadAsSeparator(char c)
{
    return c == szSlash[0] || c == '/';
}

/* 1 when a path starts at a drive root or a separator, or is a drive alone. */
static int IsRootedPath(const char *psz)
{
    return IsReadAsSeparator(psz[0]) ||
           (psz[0] != '\0' && psz[1] == ':' && (IsReadAsSeparator(psz[2]) || psz[2] == '\0'));
}

/* Fills pszRoot and pszSub by the form of the path before anything is
   probed; returns where probing starts.  When the drive's directory cannot
   be read, the root is left empty, which the drive check refuses. */
static size_t StartSplit(const char *pszPath, int nDrive, char *pszRoot, char *pszSub)
{
    size_t i;
    if (pszPath[1] == ':' && IsReadAsSeparator(pszPath[2])) {
        /* The drive as typed (case kept), its root spelt the program's way. */
        CopySzMax(pszRoot, PATH_CCH, pszPath, 2);
        AppendSz(pszRoot, PATH_CCH, szSlash);
        i = 3;
    } else {
        i = pszPath[1] == ':' ? 2 : (IsReadAsSeparator(pszPath[0]) ? 1 : 0);
        if (GetCurDirOnDrive(nDrive, pszRoot) == NULL)
            pszRoot[0] = '\0';
        else if (i == 1 && strlen(pszRoot) > 3)
            pszRoot[3] = '\0';                           /* the drive's root */
    }
    CopySz(pszSub, PATH_CCH, pszPath + i);
    return i;
}

/* Changes into each leading part of the path from position i on, keeping in
   pszRoot the deepest directory entered and in pszSub the text after it.
   A path from a drive root or a separator names its leading parts itself,
   as the platform reads them (C:/A/B and /A/B are absolute).
   A relative one (A\B, C:A\B) is read from the directory where probing
   began, which the initial split left in pszRoot: every candidate is that
   directory joined with the leading part, so neither the probes' own moves
   nor a name such as D:X or /X inside the path can lead it elsewhere. */
static void ProbeParts(const char *pszPath, size_t i, int nDrive, char *pszRoot, char *pszSub)
{
    char szBase[PATH_CCH] = "";
    size_t nFrom = 0;
    if (!IsRootedPath(pszPath)) {
        if (pszRoot[0] == '\0')
            return;
        CopySz(szBase, sizeof(szBase), pszRoot);
        if (!EndsWithChar(szBase, szSlash[0], AnsiLeadBytes()))
            AppendSz(szBase, sizeof(szBase), szSlash);
        nFrom = i;
    }
    size_t nLen = strlen(pszPath);
    do {
        i += SpanToAny(pszPath + i, szSlash, AnsiLeadBytes());
        char szCand[PATH_CCH];
        CopySz(szCand, sizeof(szCand), szBase);
        size_t nBase = strlen(szCand);
        /* A candidate too long to name ends the walk like a missing one, and
           so does a directory entered but too long to report: the outputs
           stay those of the last step, still a consistent split. */
        if (nBase + (i - nFrom) >= sizeof(szCand))
            return;
        CopySzMax(szCand + nBase, sizeof(szCand) - nBase, pszPath + nFrom, i - nFrom);
        if (ChgDir(szCand) != 0 || GetCurDirOnDrive(nDrive, pszRoot) == NULL)
            return;
        CopySz(pszSub, PATH_CCH, pszPath[i] == '\0' ? "" : pszPath + i + 1);
        i++;
    } while (i < nLen);
}

unsigned SplitPath(char *pszPath, char *pszRoot, char *pszSub)
{
    if (pszPath[0] == '\0') {
        if (GetCurDir(pszRoot) == NULL)
            pszRoot[0] = '\0';
        pszSub[0] = '\0';
        return 0;
    }
    int nDrive = pszPath[1] == ':' ? toupper((unsigned char)pszPath[0]) - 64 : GetCurDrive();
    char szPrevDir[PATH_CCH];
    int fSaved = GetCurDirOnDrive(nDrive, szPrevDir) != NULL;
    size_t i = StartSplit(pszPath, nDrive, pszRoot, pszSub);
    if (pszPath[i] == '\0')
        return 0;
    ProbeParts(pszPath, i, nDrive, pszRoot, pszSub);
    if (fSaved)
        ChgDir(szPrevDir);
    return 0;
}

/* The first three characters of a path: its drive root, such as C:\. */
static void GetDriveRoot(const char *pszPath, char szDir[4])
{
    CopySzMax(szDir, 4, pszPath, 3);
}

int IsValidDrive(const char *pszPath)
{
    /* An empty text would be read by the system as the current drive. */
    if (pszPath[0] == '\0')
        return 0;
    char szDir[4];
    GetDriveRoot(pszPath, szDir);
    UINT uType = GetDriveTypeA(szDir);
    return uType == DRIVE_REMOVABLE || uType == DRIVE_FIXED || uType == DRIVE_REMOTE;
}

long GetDriveSpaceAvail(const char *pszPath)
{
    char szDir[4];
    GetDriveRoot(pszPath, szDir);
    DWORD dwSectorsPerCluster, dwBytesPerSector, dwFreeClusters, dwTotalClusters;
    if (!GetDiskFreeSpaceA(szDir, &dwSectorsPerCluster, &dwBytesPerSector, &dwFreeClusters,
                           &dwTotalClusters))
        return 0;
    /* More than 2,147,483,647 KB free does not fit the result: it reports
       that largest value, which passes every space check that fits. */
    return FreeKilobytes(dwSectorsPerCluster, dwBytesPerSector, dwFreeClusters);
}

/* ---- Directory creation ------------------------------------------------ */

/* Makes a relative path (A\B, C:A\B) full, from the current directory, so
   that every leading part below names the directory it named when the call
   began, however far the walk has moved.  0 when it would not fit. */
static int MakeFullPath(char *pszBuf)
{
    char szFull[PATH_CCH];
    DWORD cch = GetFullPathNameA(pszBuf, sizeof(szFull), szFull, NULL);
    if (cch == 0 || cch >= sizeof(szFull))
        return 0;
    CopySz(pszBuf, PATH_CCH, szFull);
    return 1;
}

int CreatePath(const char *pszPath)
{
    char szBuf[PATH_CCH];
    CopySzMax(szBuf, sizeof(szBuf), pszPath, PATH_CCH - 1);
    if (szBuf[0] != '\0' && !IsRootedPath(szBuf) && !MakeFullPath(szBuf))
        return 0;
    size_t i = 0;
    if (szBuf[0] != '\0' && szBuf[1] == ':') {
        if (szBuf[2] == '\0')
            return 1;
        i = 3;                      /* rooted, so the third is a separator */
    }
    if (szBuf[0] == szSlash[0])
        i = 1;
    if (szBuf[i] == '\0')
        return 1;
    size_t nLen = strlen(szBuf);
    do {
        i += SpanToAny(szBuf + i, szSlash, AnsiLeadBytes());
        char cTmp = szBuf[i];
        szBuf[i] = '\0';
        /* An existing part is entered, a missing one made (and not entered). */
        if (ChgDir(szBuf) != 0 && MkDir(szBuf) != 0)
            return 0;
        szBuf[i] = cTmp;
        i++;
    } while (i < nLen);
    return 1;
}

/* ---- Item dates -------------------------------------------------------- */

/* Which time stamp carries the item date.  The date belongs in the creation
   time, and Windows keeps a settable one.  Wine on a Linux file system
   accepts a new creation time but keeps none (it reads back unchanged), so
   there the last-write time carries the date, in both directions.  Decided
   once per process by stamping a scratch file in the temp directory, or in
   the dated file's own directory when no temp directory is usable; when no
   scratch file can be made at all, the creation time is used for that call
   and the question is asked again next time. */
enum { CARRIER_UNKNOWN, CARRIER_CREATION, CARRIER_LAST_WRITE };
static int nDateCarrier = CARRIER_UNKNOWN;

/* 1998-09-09 as a DOS date word: 18 << 9 | 9 << 5 | 9. */
static const WORD PROBE_DOS_DATE = 9513;

static HANDLE HandleOf(HFILE hFile)
{
    return (HANDLE)(INT_PTR)hFile;
}

/* Sets the creation time of a new scratch file in pszDir and reads it back. */
static int ProbeCarrierIn(const char *pszDir)
{
    char szFile[MAX_PATH];
    if (!GetTempFileNameA(pszDir, "qdt", 0, szFile))
        return CARRIER_UNKNOWN;
    int nCarrier = CARRIER_UNKNOWN;
    {
        OFSTRUCT ofs;
        FileOwner file(OpenFileQ(szFile, &ofs, OF_READWRITE));
        FILETIME ftSet, ftGot;
        if (file.IsOpen() && DosDateTimeToFileTime(PROBE_DOS_DATE, 0, &ftSet) &&
            SetFileTime(HandleOf(file.Get()), &ftSet, NULL, NULL) &&
            GetFileTime(HandleOf(file.Get()), &ftGot, NULL, NULL))
            nCarrier = CompareFileTime(&ftSet, &ftGot) == 0 ? CARRIER_CREATION : CARRIER_LAST_WRITE;
    }
    DeleteFileA(szFile);
    return nCarrier;
}

static int DateCarrier(const char *pszFile)
{
    char szDir[MAX_PATH];
    if (nDateCarrier == CARRIER_UNKNOWN) {
        DWORD cch = GetTempPathA(sizeof(szDir), szDir);
        if (cch > 0 && cch < sizeof(szDir))
            nDateCarrier = ProbeCarrierIn(szDir);
    }
    if (nDateCarrier == CARRIER_UNKNOWN) {
        CopySz(szDir, sizeof(szDir), pszFile);
        int nName = GetFileNameOfPath(NULL, 0, szDir, AnsiLeadBytes());
        CopySz(szDir + nName, sizeof(szDir) - (size_t)nName, nName == 0 ? "." : "");
        nDateCarrier = ProbeCarrierIn(szDir);
    }
    return nDateCarrier == CARRIER_LAST_WRITE ? CARRIER_LAST_WRITE : CARRIER_CREATION;
}

static BOOL ReadDateStamp(const char *pszFile, HFILE hFile, FILETIME *pFt)
{
    if (DateCarrier(pszFile) == CARRIER_LAST_WRITE)
        return GetFileTime(HandleOf(hFile), NULL, NULL, pFt);
    return GetFileTime(HandleOf(hFile), pFt, NULL, NULL);
}

static void WriteDateStamp(const char *pszFile, HFILE hFile, const FILETIME *pFt)
{
    if (DateCarrier(pszFile) == CARRIER_LAST_WRITE)
        SetFileTime(HandleOf(hFile), NULL, NULL, pFt);
    else
        SetFileTime(HandleOf(hFile), pFt, NULL, NULL);
}

/* The item date of a file time.  Outside the DOS range (before 1980,
   after 2107) the calendar date itself is written, still eight digits, so
   that comparing item dates as text keeps such files in order. */
static void FormatFileDate(const FILETIME *pFt, char *pszDate)
{
    WORD uDate, uTime;
    SYSTEMTIME st;
    if (FileTimeToDosDateTime(pFt, &uDate, &uTime))
        FormatItemDate(uDate, pszDate);
    else if (FileTimeToSystemTime(pFt, &st))
        FormatCalendarDate(st.wYear, st.wMonth, st.wDay, pszDate);
    else
        FormatCalendarDate(~0u, 0, 0, pszDate);     /* beyond any calendar: the latest */
}

int GetFileDate(const char *pszFile, char *pszDate)
{
    OFSTRUCT Ofs;
    FileOwner hFile(OpenFileQ(pszFile, &Ofs, OF_READ));
    FILETIME FT;
    if (!hFile.IsOpen() || !ReadDateStamp(pszFile, hFile.Get(), &FT))
        return 0;
    FormatFileDate(&FT, pszDate);
    return 1;
}

int SetFileDate(const char *pszFile, const char *pszDate)
{
    OFSTRUCT Ofs;
    FileOwner hFile(OpenFileQ(pszFile, &Ofs, OF_READWRITE));
    if (!hFile.IsOpen())
        return 0;
    StampFileDate(hFile.Get(), pszFile, pszDate);
    return 1;
}

void StampFileDate(HFILE hFile, const char *pszFile, const char *pszDate)
{
    /* No local-time step either way: the DOS words map straight to the
       file time, so a date reads back the same in every time zone. */
    WORD uDate = PackItemDate(pszDate);
    FILETIME FT;
    if (IsValidDosDate(uDate) && DosDateTimeToFileTime(uDate, 0, &FT))
        WriteDateStamp(pszFile, hFile, &FT);
}
