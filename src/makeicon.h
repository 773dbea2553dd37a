/* makeicon.h - the Program Manager conversation that creates the product's
 * program group from the manifest's DDE execute commands. */
#ifndef QUARNEL_MAKEICON_H
#define QUARNEL_MAKEICON_H

#include <windows.h>
#include <ddeml.h>

/* 0 every command sent; 300 an empty command; 304 no conversation; 305 the
   DDE library could not be initialised.  The code doubles as message ID. */
int AddToProgMan(const char *pszDest);

HDDEDATA CALLBACK DdeCallback(UINT uType, UINT uFmt, HCONV hConv, HSZ hSz1, HSZ hSz2,
                              HDDEDATA hData, ULONG_PTR dwData1, ULONG_PTR dwData2);

#endif
