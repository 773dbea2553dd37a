/* statbar.cpp - the modeless progress window shown while the items are
 * copied: a status line, a red bar that grows with the work done, and a
 * Cancel button whose question is answered inside the copy's message drain. */
#include "statbar.h"

#include "fixed.h"
#include "logic.h"
#include "manifest.h"
#include "resource.h"
#include "scoped.h"

static HWND hStatDlg;   /* the open progress dialog, NULL when none */
static int nPerc;       /* percentage the bar shows */
static int bCancel;     /* 1 once the user has confirmed Cancel */

/* What the bar area last received, so that an update which moves no pixel
   of the split is not drawn again (a repaint of the area, after anything
   covered it, always draws), and the red brush, kept while the dialog is
   open rather than made for every paint. */
static int nDrawnSplit = -1;
static HBRUSH hbrDone;

static const COLORREF CLR_BAR_DONE = RGB(255, 0, 0);

HWND GetStatDlg(void)
{
    return hStatDlg;
}

int GetStatPerc(void)
{
    return nPerc;
}

/* Back to an empty bar with no cancel pending; a new dialog's bar has not
   been drawn. */
static void ResetState(void)
{
    bCancel = 0;
    nPerc = 0;
    nDrawnSplit = -1;
    if (hbrDone)
        DeleteObject(hbrDone);
    hbrDone = NULL;
}

/* A second start while a dialog is open closes the first one, so there is
   never more than one progress window and the state always belongs to the
   window on screen (the program itself never starts twice). */
int StatDlgStart(HWND hWnd)
{
    StatDlgEnd();
    hStatDlg = CreateDialogParamA(GetAppInstance(), DLG_WAIT, hWnd, StatDlgProc, 0);
    ResetState();
    return hStatDlg != NULL;
}

static int SplitOf(HWND hBar, RECT *pRc);

/* Percentages are stored as given (the copy step only passes 0..100);
   PaintBar keeps the painted split inside the bar whatever they are. */
int StatDlgMsg(const char *lpszMsg, const char *lpszItem, int nPercent)
{
    if (!hStatDlg)
        return 1;
    nPerc = nPercent;

    /* Message, one blank, item; cut at the buffer's end rather than overrun
       it should a caller ever pass more than fits. */
    char szBuf[STATUS_BUF];
    size_t cch = CopySz(szBuf, sizeof(szBuf), lpszMsg ? lpszMsg : "");
    if (lpszItem && lpszItem[0]) {
        cch += CopySz(szBuf + cch, sizeof(szBuf) - cch, " ");
        CopySz(szBuf + cch, sizeof(szBuf) - cch, lpszItem);
    }
    SetDlgItemTextA(hStatDlg, IDC_STATUS, szBuf);
    if (SplitOf(GetDlgItem(hStatDlg, IDC_BAR), NULL) != nDrawnSplit)
        PaintBar();
    return StatDlgIsOk();
}

/* Lets every window of the thread handle what is waiting, without waiting
   for more; the Cancel question runs nested in here. */
int StatDlgIsOk(void)
{
    if (!hStatDlg)
        return 1;
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return bCancel == 0;
}

int StatDlgEnd(void)
{
    if (!hStatDlg)
        return 1;
    HWND hDlg = hStatDlg;
    hStatDlg = NULL;
    ResetState();
    DestroyWindow(hDlg);
    return 1;
}

/* Asks whether to stop; Yes marks the install as cancelled for good. */
static void AskCancel(HWND hDlg)
{
    const char *pszAsk = LoadStr(IDS_CANCEL_ASK, szTextCancelAsk);
    if (MessageBoxA(hDlg, pszAsk, szCaptionCancelAsk, MB_YESNO | MB_ICONQUESTION) == IDYES)
        bCancel = 1;
}

INT_PTR CALLBACK StatDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        SetFocus(GetDlgItem(hDlg, IDCANCEL));
        return 1;
    case WM_COMMAND:
        /* Only the button's plain click (or the system menu's close, which
           arrives as the same command) asks the question. */
        if (wParam == IDCANCEL)
            AskCancel(hDlg);
        return 1;
    case WM_CTLCOLORSTATIC:
        /* The bar area asks for its colours before it paints: paint the bar
           now and hand back a brush that paints nothing over it. */
        if (reinterpret_cast<HWND>(lParam) != GetDlgItem(hDlg, IDC_BAR))
            return 0;
        PaintBar();
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    default:
        return 0;
    }
}

/* Where the bar area hBar turns from red to grey for nPerc, kept inside the
   area; *pRc (when given) receives the area. */
static int SplitOf(HWND hBar, RECT *pRc)
{
    RECT rc = {0, 0, 0, 0};
    if (hBar)
        GetClientRect(hBar, &rc);
    if (pRc)
        *pRc = rc;
    int nSplit = BarSplit(rc.right, nPerc);
    if (nSplit < 0)
        nSplit = 0;
    if (nSplit > rc.right)
        nSplit = rc.right;
    return nSplit;
}

void PaintBar(void)
{
    HWND hBar = hStatDlg ? GetDlgItem(hStatDlg, IDC_BAR) : NULL;
    if (!hBar)
        return;
    if (!hbrDone)
        hbrDone = CreateSolidBrush(CLR_BAR_DONE);
    if (!hbrDone)
        return;
    DcOwner dc(hBar);
    RECT rcDone;
    int nSplit = SplitOf(hBar, &rcDone);
    RECT rcRest = rcDone;
    rcDone.right = nSplit;
    rcRest.left = nSplit;
    FillRect(dc.Get(), &rcDone, hbrDone);
    FillRect(dc.Get(), &rcRest, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    if (dc.Get())
        nDrawnSplit = nSplit;
}
