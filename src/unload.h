/* unload.h - manifest readers, destination-macro expansion and error boxes,
 * and the extraction of the package's records to their destinations. */
#ifndef QUARNEL_UNLOAD_H
#define QUARNEL_UNLOAD_H

#include <windows.h>

/* Readers.  LoadStr returns its 1024-character buffer (valid until the next
   LoadStr, LoadStrExpand, ErrBox or FileErrBox); LoadStrExpand and ExpandStr
   return the expansion buffer (valid until the next expansion). */
int LoadInt(UINT uId, int nDefault);
int LoadBool(UINT uId, int fDefault);
char *LoadStr(UINT uId, const char *pszDefault);
char *LoadStrExpand(UINT uId, const char *pszDefault, const char *pszPath);
char *ExpandStr(const char *pszFmt, const char *pszPath);

/* 1 when the latest LoadStrExpand / ExpandStr result was cut to fit its
   buffer (or a macro's directory was unavailable); callers treat such a
   result like a missing required entry. */
int ExpandWasCut(void);

/* Error boxes: text from the manifest by message ID, else the default;
   caption "Installer", error icon, owned by the active window. */
void ErrBox(UINT uId, const char *pszDefault);
void FileErrBox(UINT nErr);

/* Extraction.  CheckSealedLength runs before anything is created for the
   copy: 0 (reported) when the program carries its package's checksums and
   the package beside it is not of the sealed length; 1 otherwise, also
   when there is no package (the copy itself stays silent about that). */
int CheckSealedLength(void);
int ResToFiles(const char *pszPath);                /* 1 all done, 0 stopped */
int CanOvr(const char *pszFile, int nItem);         /* 6 write, 7 skip, 2 cancel */
int MakeDestFile(const char *pszFile, const char *pszDate, HFILE hPkg); /* 1 ok, 0 reported */
int ResToFile(const char *pszFile, HFILE hPkg);     /* 1 ok, 0 reported */
int UnzipFile(const char *pszZipFile);              /* archive hook: always 1 */

#endif
