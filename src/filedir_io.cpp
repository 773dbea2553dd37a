/* filedir_io.cpp - placeholder until the module is written. */
#include "filedir.h"

HFILE OpenFileQ(const char *f, OFSTRUCT *o, UINT s) { return OpenFile(f, o, s); }
int ReadExact(HFILE, void *, long) { return 0; }
int WriteExact(HFILE, const void *, long) { return 0; }
