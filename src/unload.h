/* unload.h - the extraction of the package's records to their destinations,
 * each under its overwrite rule.  (The manifest readers this module also
 * holds are declared in manifest.h.) */
#ifndef QUARNEL_UNLOAD_H
#define QUARNEL_UNLOAD_H

#include <windows.h>

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
