/* filedir.h - the file-system helpers: directory wrappers with the ANSI/OEM
 * conversion, path splitting and validation, drive type and free space,
 * directory creation, item dates, and the program's file-open call. */
#ifndef QUARNEL_FILEDIR_H
#define QUARNEL_FILEDIR_H

#include <windows.h>

#include "logic.h"

/* The lead bytes of code page uCodePage (CP_ACP and CP_OEMCP included). */
void GetLeadBytes(UINT uCodePage, LeadBytes *pLead);
/* Those of the ANSI code page in force, for every scan of the program's
   own path text. */
const LeadBytes *AnsiLeadBytes(void);

/* Converts the whole name psz from code page uFrom into uTo (pszOut holds
   cchOut bytes with the terminator), and back again: 1 only when the way
   back gives psz unchanged, so that no character reaches the directory
   layer as a stand-in for another.  pszOut is always terminated. */
int ConvertNameExact(UINT uFrom, UINT uTo, const char *psz, char *pszOut, size_t cchOut);

/* Directory wrappers (ANSI in and out, OEM towards the directory layer). */
char *GetCurDir(char *pszDir);                  /* pszDir, or NULL (untouched) */
int GetCurDrive(void);                          /* 1 = A ..., 0 no lettered drive */
char *GetCurDirOnDrive(int nDrive, char *pszDir); /* pszDir, or NULL (untouched) */
int ChgDir(const char *pszDir);                 /* 0 ok, -1 failed */
int MkDir(const char *pszDir);                  /* 0 ok, -1 failed */

/* Path analysis; pszPath must be writable, the outputs hold 256. */
unsigned SplitPath(char *pszPath, char *pszRoot, char *pszSub); /* always 0 */
int IsValidDrive(const char *pszPath);          /* 1 removable, fixed or network */
long GetDriveSpaceAvail(const char *pszPath);   /* free KB, 0 when unknown */

/* Directory creation and item dates. */
int CreatePath(const char *pszPath);            /* 1 every directory exists */
int GetFileDate(const char *pszFile, char *pszDate); /* 1 with YYYYMMDD in pszDate */
int SetFileDate(const char *pszFile, const char *pszDate); /* 1 file opened */
/* The same date on a file already open for writing (pszFile is its name);
   a time set through the handle stands when the handle is closed. */
void StampFileDate(HFILE hFile, const char *pszFile, const char *pszDate);

/* OpenFile's contract (OF_READ, OF_CREATE | OF_WRITE, OF_READWRITE; bare
   names searched when reading; error code in pOfs->nErrCode) for paths of
   up to 255 characters, beyond OpenFile's own 127. */
HFILE OpenFileQ(const char *pszFile, OFSTRUCT *pOfs, UINT uStyle);

/* Whole-count I/O: 1 only when all cb bytes moved. */
int ReadExact(HFILE hFile, void *pv, long cb);
int WriteExact(HFILE hFile, const void *pv, long cb);

#endif
