/* unload_readers.cpp - placeholder until the module is written. */
#include "unload.h"

static char szBuf[1024], szBuf2[1024];
int LoadInt(UINT, int n) { return n; }
int LoadBool(UINT, int f) { return f; }
char *LoadStr(UINT, const char *) { return szBuf; }
char *LoadStrExpand(UINT, const char *, const char *) { return szBuf2; }
char *ExpandStr(const char *, const char *) { return szBuf2; }
int ExpandWasCut(void) { return 0; }
void ErrBox(UINT, const char *) {}
void FileErrBox(UINT) {}
