/* statbar.h - the modeless progress dialog: status line, bar, Cancel, and the
 * message drain that keeps the windows alive during the copy.  Every call is
 * harmless when no dialog is open. */
#ifndef QUARNEL_STATBAR_H
#define QUARNEL_STATBAR_H

#include <windows.h>

int StatDlgStart(HWND hWnd);                    /* 1 created, 0 not */
int StatDlgMsg(const char *lpszMsg, const char *lpszItem, int nPercent); /* 1 go on, 0 cancelled */
int StatDlgIsOk(void);                          /* 1 go on, 0 cancelled */
int StatDlgEnd(void);                           /* always 1 */
INT_PTR CALLBACK StatDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
void PaintBar(void);

/* The open progress dialog, NULL when none (for tests and the driver). */
HWND GetStatDlg(void);
/* The percentage the bar shows now (0 whenever no dialog is open). */
int GetStatPerc(void);

#endif
