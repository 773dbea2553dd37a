/* load.h - the package builder: reads a package script and writes the
 * package file, one length-prefixed record per item file, in script order. */
#ifndef QUARNEL_LOAD_H
#define QUARNEL_LOAD_H

#include <windows.h>

/* Builds the package named by the script pszCmdLine; reports its own
   failure.  1 when the package was written completely, 0 otherwise. */
int PackFiles(const char *pszCmdLine);

/* Appends one record holding the whole file pszFile.  1 ok, 0 failed. */
int PackFile(HFILE hPackage, const char *pszFile);

/* Reads a whole file into a locked, movable, zero-initialised block of
   exactly its size.  Returns the bytes or NULL.  *plSize is set once the
   size was measured, also when the call then fails; *phMem is set when the
   block was handed over, and set to NULL when the allocation or the read
   failed (nothing is left to free).  A file that cannot be read whole fails. */
void *ReadFile2(const char *pszFile, HGLOBAL *phMem, long *plSize);

/* Size of an open file; the position is put back to the start.  -1 when the
   size cannot be found or does not fit a signed 32-bit length. */
long GetFileSize2(HFILE hFile);

#endif
