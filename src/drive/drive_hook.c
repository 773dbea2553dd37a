/* drive_hook.c - quarnel-drive.dll, which the driver hooks into the
 * installer's thread so that the progress dialog can be photographed while
 * it shows an item: a small product copies its items in a few
 * milliseconds, faster than any outside look.  When the progress dialog is
 * made, a click on its Cancel is queued behind it, as a person's would be;
 * the installer then asks its cancel question before the first item is
 * copied, and waits, with the dialog showing that item, until the driver
 * has taken its picture and answered No. */
#include <windows.h>

#include <string.h>

/* The progress dialog's caption, as quarnel.rc has it (fixed.h, which
   also names it, is C++). */
static const char szProgressCaption[] = "Install";

static LONG nQueued = 0;

/* The progress dialog is the one owned window captioned "Install" that is
   made before any cancel question (whose message box has that caption
   too, and must not be clicked). */
static int IsProgressDialog(const CREATESTRUCTA *pcs)
{
    return pcs->hwndParent && !(pcs->style & WS_CHILD) && pcs->lpszName && !IS_INTRESOURCE(pcs->lpszName) &&
           strcmp(pcs->lpszName, szProgressCaption) == 0;
}

__declspec(dllexport) LRESULT CALLBACK DriveCbtHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND && IsProgressDialog(((CBT_CREATEWNDA *)lParam)->lpcs) &&
        InterlockedExchange(&nQueued, 1) == 0)
        PostMessageA((HWND)wParam, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}
