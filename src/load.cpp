/* load.cpp - placeholder until the module is written. */
#include "load.h"

int PackFiles(const char *) { return 0; }
int PackFile(HFILE, const char *) { return 0; }
void *ReadFile2(const char *, HGLOBAL *, long *) { return NULL; }
long GetFileSize2(HFILE) { return -1; }
