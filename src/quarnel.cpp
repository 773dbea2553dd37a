/* quarnel.cpp - placeholder until the module is written. */
#include "quarnel.h"

static HINSTANCE hApp;
static char szDestPath[256], szRootPath[256], szSubPath[256];
static int fIcons;
HINSTANCE GetAppInstance(void) { return hApp; }
void SetAppInstance(HINSTANCE hInstance) { hApp = hInstance; }
int QuarnelMain(HINSTANCE hInstance, const char *lpszCmdLine) { hApp = hInstance; (void)lpszCmdLine; return 0; }
int Unload(HWND) { return 0; }
int CreatePaths(const char *) { return 0; }
char *GetDestPath(void) { return szDestPath; }
char *GetRootPath(void) { return szRootPath; }
char *GetSubPath(void) { return szSubPath; }
int GetIconsFlag(void) { return fIcons; }
void SetIconsFlag(int f) { fIcons = f; }
INT_PTR CALLBACK MainWndProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
int VerifyPath(HWND, char *) { return 0; }
int GetPathType(HWND, const char *) { return 0; }
INT_PTR CALLBACK NotifyDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
int CenterWindow(HWND) { return 1; }
int Browse(HWND, char *, int) { return 0; }
int ChgINIs(const char *) { return 0; }
int CanOvrINI(const char *, const char *, const char *, const char *, const char *) { return 6; }
