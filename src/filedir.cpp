/* filedir.cpp - placeholder until the module is written. */
#include "filedir.h"

char *GetCurDir(char *) { return NULL; }
int GetCurDrive(void) { return 0; }
char *GetCurDirOnDrive(int, char *) { return NULL; }
int ChgDir(const char *) { return -1; }
int MkDir(const char *) { return -1; }
unsigned SplitPath(char *, char *, char *) { return 0; }
int IsValidDrive(const char *) { return 0; }
long GetDriveSpaceAvail(const char *) { return 0; }
int CreatePath(const char *) { return 0; }
int GetFileDate(const char *, char *) { return 0; }
int SetFileDate(const char *, const char *) { return 0; }
