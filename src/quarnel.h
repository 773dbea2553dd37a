/* quarnel.h - the installer driver: program start, the install sequence, the
 * destination dialog with path verification, and the INI changes.  Holds the
 * driver's destination strings. */
#ifndef QUARNEL_QUARNEL_H
#define QUARNEL_QUARNEL_H

#include <windows.h>

/* The whole program after WinMain: builder mode for a non-empty command
   tail, else the interactive install.  Returns the exit code (always 0). */
int QuarnelMain(HINSTANCE hInstance, const char *lpszCmdLine);

/* Copy step run by the destination dialog on a confirmed destination.
   1 when every item was installed, 0 otherwise. */
int Unload(HWND hWnd);

/* Creates the destination and the manifest's subdirectories.
   1 on success, 0 after an error message. */
int CreatePaths(const char *pszPath);

/* The destination (a buffer of 256 characters). */
char *GetDestPath(void);

/* Destination dialog and its helpers. */
INT_PTR CALLBACK MainWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
int VerifyPath(HWND hWnd, char *pszPath);           /* 1 confirmed, 0 not */
int GetPathType(HWND hWnd, const char *pszPath);    /* 0 ordinary, 1 root, 2 Windows, 3 system */
INT_PTR CALLBACK NotifyDlgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
int CenterWindow(HWND hWnd);                        /* always 1 */
int Browse(HWND hWnd, char *pszDir, int nDirBufSize); /* 1 chosen, 0 cancelled */

/* Parameter record of every notice dialog: string k goes into field 210 + k. */
typedef struct DLGPARAMS {
    int nParamCount;
    const char *ppszParams[10];
} DLGPARAMS;

/* INI changes. */
int ChgINIs(const char *pszPath);                   /* 1 processed to its end, 0 stopped */
int CanOvrINI(const char *pszFile, const char *pszOvr, const char *pszSec,
              const char *pszKey, const char *pszVal); /* 6 write, 7 skip, 2 cancel */

#endif
