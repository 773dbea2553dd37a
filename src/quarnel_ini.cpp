/* quarnel_ini.cpp - placeholder until the module is written. */
#include "quarnel.h"

int ChgINIs(const char *) { return 0; }
int CanOvrINI(const char *, const char *, const char *, const char *, const char *) { return 6; }
