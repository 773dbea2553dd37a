/* makeicon.cpp - placeholder until the module is written. */
#include "makeicon.h"

int AddToProgMan(const char *) { return 305; }
HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return NULL; }
