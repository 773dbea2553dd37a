/* unload.cpp - placeholder until the module is written. */
#include "unload.h"

int ResToFiles(const char *) { return 0; }
int CanOvr(const char *, int) { return 6; }
int MakeDestFile(const char *, const char *, HFILE) { return 0; }
int ResToFile(const char *, HFILE) { return 0; }
int UnzipFile(const char *) { return 1; }
