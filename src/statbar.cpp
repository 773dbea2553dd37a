/* statbar.cpp - placeholder until the module is written. */
#include "statbar.h"

int StatDlgStart(HWND) { return 0; }
int StatDlgMsg(const char *, const char *, int) { return 1; }
int StatDlgIsOk(void) { return 1; }
int StatDlgEnd(void) { return 1; }
INT_PTR CALLBACK StatDlgProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
void PaintBar(void) {}
HWND GetStatDlg(void) { return NULL; }
