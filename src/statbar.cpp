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

static const COLORREF CLR_BAR_DONE = RGB(255, 0, 0);

HWND GetStatDlg(void)
{
    return hStatDlg;
}

int GetStatPerc(void)
{
    return nPerc;
}

/* Back to an empty bar with no cancel pending. */
static void ResetState(void)
{
    bCancel = 0;
    nPerc = 0;
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

void PaintBar(void)
{
    HWND hBar = hStatDlg ? GetDlgItem(hStatDlg, IDC_BAR) : NULL;
    if (!hBar)
        return;
    GdiOwner brDone(CreateSolidBrush(CLR_BAR_DONE));
    if (!brDone.Get())
        return;
    DcOwner dc(hBar);
    RECT rcDone;
    GetClientRect(hBar, &rcDone);
    RECT rcRest = rcDone;
    int nSplit = BarSplit(rcDone.right, nPerc);
    if (nSplit < 0)
        nSplit = 0;
    if (nSplit > rcDone.right)
        nSplit = rcDone.right;
    rcDone.right = nSplit;
    rcRest.left = nSplit;
    FillRect(dc.Get(), &rcDone, static_cast<HBRUSH>(brDone.Get()));
    FillRect(dc.Get(), &rcRest, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
}
