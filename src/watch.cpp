/* watch.cpp - window watching for the Windows tests and the preview driver.  Windows of another
 * thread or process appear, settle and paint at their own pace, so every
 * wait here looks again after a short pause on the handles that can end it
 * early (a process, a stop event) until a deadline; nothing else in the
 * tests waits. */
#include "watch.h"

#include <ddeml.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <set>

/* Every message box has its text in a static of this ID, which none of the
   installer's own dialogs gives a numbered role. */
static const int MSGBOX_TEXT_ID = 0xFFFF;

/* The pause between two looks: short against any wait a test makes. */
static const DWORD POLL_MS = 10;

/* How long a thread that was sent a message, or a window that was asked to
   paint, may take before the test gives up on it. */
static const DWORD SETTLE_MS = 5000;

/* How long a picture must stay the same to count as painted. */
static const DWORD STILL_MS = 120;

/* Pauses for one poll interval, or until one of the handles is signalled
   (true).  Messages sent to this thread's windows are handled meanwhile, so
   a thread that owns windows never stalls another that asks them
   something. */
static bool Pause(const HANDLE *phWake, DWORD nWake)
{
    DWORD r = MsgWaitForMultipleObjects(nWake, phWake, FALSE, POLL_MS, QS_SENDMESSAGE);
    MSG msg;
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    return r < WAIT_OBJECT_0 + nWake;
}

static bool WaitOn(bool (*pfn)(void *), void *pv, DWORD dwMs, const HANDLE *phWake, DWORD nWake)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        if (pfn(pv))
            return true;
        if (GetTickCount() - dwStart >= dwMs || Pause(phWake, nWake))
            return pfn(pv);
    }
}

bool WaitUntil(bool (*pfn)(void *), void *pv, DWORD dwMs, HANDLE hWake)
{
    return WaitOn(pfn, pv, dwMs, &hWake, hWake ? 1 : 0);
}

/* ---- Processes ------------------------------------------------------------ */

bool StartProgram(const std::string &cmdLine, const std::string &dir, PROCESS_INFORMATION *pPi,
                  const std::vector<std::string> &extraEnv)
{
    std::string env;
    for (const std::string &entry : extraEnv)
        env.append(entry).push_back('\0');
    if (!extraEnv.empty()) {
        LPCH pEnv = GetEnvironmentStringsA();
        for (const char *p = pEnv; *p; p += strlen(p) + 1)
            env.append(p).push_back('\0');
        FreeEnvironmentStringsA(pEnv);
        env.push_back('\0');
    }
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    std::string cmd = cmdLine;
    *pPi = PROCESS_INFORMATION();
    return CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0,
                          extraEnv.empty() ? NULL : &env[0], dir.empty() ? NULL : dir.c_str(),
                          &si, pPi) != FALSE;
}

int WaitForExit(HANDLE hProcess, DWORD dwMs)
{
    DWORD dwCode = 0;
    if (WaitForSingleObject(hProcess, dwMs) != WAIT_OBJECT_0 || !GetExitCodeProcess(hProcess, &dwCode))
        return -1;
    return static_cast<int>(dwCode);
}

int RunProcess(const std::string &cmdLine, const std::string &dir, DWORD dwMs)
{
    PROCESS_INFORMATION pi;
    if (!StartProgram(cmdLine, dir, &pi))
        return -1;
    int nCode = WaitForExit(pi.hProcess, dwMs);
    if (nCode == -1)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return nCode;
}

/* ---- Finding windows ------------------------------------------------------ */

std::string WindowText(HWND hWnd)
{
    char sz[2048];
    int n = GetWindowTextA(hWnd, sz, sizeof(sz));
    return std::string(sz, n > 0 ? n : 0);
}

/* A message box's controls are its buttons (IDs 1 to 11), its icon (20 on
   Windows, 1088 under Wine) and its text.  The installer's dialogs and the
   directory chooser have unnumbered statics too, but each also has a
   control of 200 or more. */
static BOOL CALLBACK OnlyBoxControls(HWND hChild, LPARAM lParam)
{
    int nId = GetDlgCtrlID(hChild);
    if ((nId >= 1 && nId <= 11) || nId == 20 || nId == 1088 || nId == MSGBOX_TEXT_ID)
        return TRUE;
    *reinterpret_cast<bool *>(lParam) = false;
    return FALSE;
}

bool IsMessageBox(HWND hWnd)
{
    char cls[64] = "";
    GetClassNameA(hWnd, cls, sizeof(cls));
    if (strcmp(cls, "#32770") != 0 || GetDlgItem(hWnd, MSGBOX_TEXT_ID) == NULL)
        return false;
    bool bOnly = true;
    EnumChildWindows(hWnd, OnlyBoxControls, reinterpret_cast<LPARAM>(&bOnly));
    return bOnly;
}

namespace {

struct FindCtx {
    const WindowQuery *pQuery;
    HWND hFound;
};

BOOL CALLBACK MatchProc(HWND hWnd, LPARAM lParam)
{
    FindCtx *pCtx = reinterpret_cast<FindCtx *>(lParam);
    const WindowQuery &q = *pCtx->pQuery;
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    if ((q.dwPid && dwPid != q.dwPid) || !IsWindowVisible(hWnd) ||
        std::find(q.skip.begin(), q.skip.end(), hWnd) != q.skip.end())
        return TRUE;
    if ((q.pszCaption && WindowText(hWnd) != q.pszCaption) ||
        (q.nCtrlId && !GetDlgItem(hWnd, q.nCtrlId)) || (q.bMessageBox && !IsMessageBox(hWnd)))
        return TRUE;
    pCtx->hFound = hWnd;
    return FALSE;
}

bool Found(void *pv)
{
    FindCtx *pCtx = static_cast<FindCtx *>(pv);
    pCtx->hFound = NULL;
    EnumWindows(MatchProc, reinterpret_cast<LPARAM>(pCtx));
    return pCtx->hFound != NULL;
}

bool Gone(void *pv)
{
    return !IsWindow(static_cast<HWND>(pv));
}

} // namespace

HWND FindShownWindow(const WindowQuery &q)
{
    FindCtx ctx = {&q, NULL};
    Found(&ctx);
    return ctx.hFound;
}

HWND WaitForWindow(const WindowQuery &q, DWORD dwMs, HANDLE hWake)
{
    HANDLE ah[2];
    DWORD n = 0;
    if (hWake)
        ah[n++] = hWake;
    /* A program that ended shows nothing more: stop looking at once. */
    HANDLE hProcess = NULL;
    if (q.dwPid && q.dwPid != GetCurrentProcessId())
        hProcess = OpenProcess(SYNCHRONIZE, FALSE, q.dwPid);
    if (hProcess)
        ah[n++] = hProcess;
    FindCtx ctx = {&q, NULL};
    WaitOn(Found, &ctx, dwMs, ah, n);
    if (hProcess)
        CloseHandle(hProcess);
    return ctx.hFound;
}

HWND WaitForDialog(const char *pszCaption, DWORD dwPid, int nCtrlId, DWORD dwMs)
{
    WindowQuery q;
    q.pszCaption = pszCaption;
    q.dwPid = dwPid;
    q.nCtrlId = nCtrlId;
    return WaitForWindow(q, dwMs);
}

HWND WaitForMessageBox(DWORD dwPid, DWORD dwMs, HWND hSkip)
{
    WindowQuery q;
    q.dwPid = dwPid;
    q.bMessageBox = true;
    if (hSkip)
        q.skip.push_back(hSkip);
    return WaitForWindow(q, dwMs);
}

bool WaitForWindowGone(HWND hWnd, DWORD dwMs)
{
    return WaitUntil(Gone, hWnd, dwMs);
}

static bool NothingToPaint(void *pv)
{
    return !GetUpdateRect(static_cast<HWND>(pv), NULL, FALSE);
}

bool WaitForSettled(HWND hWnd, DWORD dwMs)
{
    /* A sent message is handled only once the window's thread is back in
       its message loop, that is, done setting the window up. */
    DWORD_PTR dwRes = 0;
    if (!SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, dwMs, &dwRes))
        return false;
    RedrawWindow(hWnd, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return WaitUntil(NothingToPaint, hWnd, dwMs) &&
           SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, dwMs, &dwRes);
}

/* ---- Reading and answering ------------------------------------------------ */

static std::string SentText(HWND hWnd)
{
    char sz[2048];
    DWORD_PTR dwLen = 0;
    if (!SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(sz), reinterpret_cast<LPARAM>(sz),
                             SMTO_ABORTIFHUNG, SETTLE_MS, &dwLen))
        return std::string();
    return std::string(sz, dwLen < sizeof(sz) ? dwLen : 0);
}

std::string ReadControl(HWND hDlg, int nId)
{
    HWND hCtrl = GetDlgItem(hDlg, nId);
    return hCtrl ? SentText(hCtrl) : std::string();
}

void WriteControl(HWND hDlg, int nId, const std::string &text)
{
    HWND hCtrl = GetDlgItem(hDlg, nId);
    DWORD_PTR dwRes = 0;
    if (hCtrl)
        SendMessageTimeoutA(hCtrl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                            SMTO_ABORTIFHUNG, SETTLE_MS, &dwRes);
}

namespace {
struct ChildCtx {
    HWND hDlg;
    std::vector<std::string> texts;
};

BOOL CALLBACK CollectTextProc(HWND hChild, LPARAM lParam)
{
    ChildCtx *pCtx = reinterpret_cast<ChildCtx *>(lParam);
    if (GetParent(hChild) == pCtx->hDlg)
        pCtx->texts.push_back(SentText(hChild));
    return TRUE;
}
} // namespace

std::vector<std::string> ChildTexts(HWND hDlg)
{
    ChildCtx ctx;
    ctx.hDlg = hDlg;
    EnumChildWindows(hDlg, CollectTextProc, reinterpret_cast<LPARAM>(&ctx));
    return ctx.texts;
}

HWND FocusOfThread(DWORD dwTid)
{
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof(gti);
    return GetGUIThreadInfo(dwTid, &gti) ? gti.hwndFocus : NULL;
}

void PressButton(HWND hDlg, int nId)
{
    PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hDlg, nId)));
}

int TextOverflow(HWND hCtrl)
{
    std::string text = SentText(hCtrl);
    HDC hdc = GetDC(hCtrl);
    HGDIOBJ hOld = SelectObject(hdc, reinterpret_cast<HGDIOBJ>(SendMessageA(hCtrl, WM_GETFONT, 0, 0)));
    SIZE size = {};
    BOOL fOk = GetTextExtentPoint32A(hdc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(hdc, hOld);
    ReleaseDC(hCtrl, hdc);
    RECT rc = {};
    GetClientRect(hCtrl, &rc);
    /* Unmeasurable text counts as not fitting, so the check cannot pass
       by failing. */
    return fOk ? size.cx - (rc.right - rc.left) : 1 << 20;
}

static bool IsClass(const char *pszClass, const char *pszWant)
{
    return _stricmp(pszClass, pszWant) == 0;
}

/* The prefix marks of a control's text taken out as the control drops
   them: "&&" shows one ampersand, a single one underlines the next letter. */
static std::string WithoutPrefix(const std::string &text)
{
    std::string shown;
    for (size_t k = 0; k < text.size(); k++) {
        if (text[k] == '&' && k + 1 < text.size())
            k++;
        shown.push_back(text[k]);
    }
    return shown;
}

TextFit MeasureText(HWND hFontCtrl, const char *pszClass, DWORD dwStyle, int cxClient, int cyClient,
                    const std::string &text)
{
    TextFit fit;
    const bool bStatic = IsClass(pszClass, "Static"), bButton = IsClass(pszClass, "Button");
    const DWORD dwType = dwStyle & SS_TYPEMASK;
    const bool bWraps = bStatic && (dwType == SS_LEFT || dwType == SS_CENTER || dwType == SS_RIGHT);
    const bool bPrefix = (bStatic && !(dwStyle & SS_NOPREFIX)) || bButton;
    /* A check box or radio button draws its mark in front of the text. */
    const DWORD dwButton = dwStyle & BS_TYPEMASK;
    if (bButton && dwButton != BS_PUSHBUTTON && dwButton != BS_DEFPUSHBUTTON)
        cxClient -= GetSystemMetrics(SM_CXMENUCHECK) + 4;

    HDC hdc = GetDC(hFontCtrl);
    HGDIOBJ hOld = SelectObject(hdc, reinterpret_cast<HGDIOBJ>(SendMessageA(hFontCtrl, WM_GETFONT, 0, 0)));
    if (bWraps) {
        RECT rc = {0, 0, cxClient, 0};
        UINT uFlags = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | (bPrefix ? 0 : DT_NOPREFIX);
        DrawTextA(hdc, text.c_str(), static_cast<int>(text.size()), &rc, uFlags);
        fit.cx = rc.right - rc.left;
        fit.cy = rc.bottom - rc.top;
    } else {
        std::string shown = bPrefix ? WithoutPrefix(text) : text;
        SIZE size = {};
        GetTextExtentPoint32A(hdc, shown.c_str(), static_cast<int>(shown.size()), &size);
        fit.cx = size.cx;
        fit.cy = size.cy;
    }
    SelectObject(hdc, hOld);
    ReleaseDC(hFontCtrl, hdc);
    const bool bScrolls = IsClass(pszClass, "Edit") && (dwStyle & (ES_AUTOHSCROLL | ES_MULTILINE));
    fit.bClipped = !text.empty() && !bScrolls && (fit.cx > cxClient || fit.cy > cyClient);
    return fit;
}

static INT_PTR CALLBACK InertDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

HWND HiddenDialogCopy(HMODULE hModule, LPCSTR pszTemplate)
{
    HRSRC hRes = FindResourceA(hModule, pszTemplate, RT_DIALOG);
    HGLOBAL hData = hRes ? LoadResource(hModule, hRes) : NULL;
    DWORD cb = hRes ? SizeofResource(hModule, hRes) : 0;
    /* A dialog template is a few hundred bytes; anything else is not one. */
    if (!hData || cb < 16 || cb > 65536)
        return NULL;
    std::vector<DWORD> copy((cb + 3) / 4);
    memcpy(copy.data(), LockResource(hData), cb);
    /* A DIALOGEX template starts with version 1 and 0xFFFF; its style
       follows two further DWORDs. */
    const WORD *pw = reinterpret_cast<const WORD *>(copy.data());
    DWORD &dwStyle = (pw[0] == 1 && pw[1] == 0xFFFF) ? copy[3] : copy[0];
    dwStyle &= ~static_cast<DWORD>(WS_VISIBLE);
    return CreateDialogIndirectParamA(hModule, reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()), NULL,
                                      InertDialog, 0);
}

/* ---- Pictures ------------------------------------------------------------- */

namespace {

/* Top-down 32-bit layout of a cx by cy picture. */
BITMAPINFO Layout32(int cx, int cy)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

/* The pixels of a memory bitmap, without the byte the screen leaves 0. */
std::vector<DWORD> Pixels(HDC hdc, HBITMAP hBmp, int cx, int cy)
{
    BITMAPINFO bi = Layout32(cx, cy);
    std::vector<DWORD> px(static_cast<size_t>(cx) * cy);
    GetDIBits(hdc, hBmp, 0, cy, px.data(), &bi, DIB_RGB_COLORS);
    for (DWORD &p : px)
        p &= 0x00FFFFFF;
    return px;
}

/* A memory picture of cx by cy pixels, compatible with the screen. */
struct Canvas {
    HDC hScreen, hdc;
    HBITMAP hBmp;
    HGDIOBJ hOld;
    int cx, cy;
    Canvas(int nCx, int nCy) : cx(nCx), cy(nCy)
    {
        hScreen = GetDC(NULL);
        hdc = CreateCompatibleDC(hScreen);
        hBmp = CreateCompatibleBitmap(hScreen, cx, cy);
        hOld = SelectObject(hdc, hBmp);
    }
    ~Canvas()
    {
        SelectObject(hdc, hOld);
        DeleteObject(hBmp);
        DeleteDC(hdc);
        ReleaseDC(NULL, hScreen);
    }
    std::vector<DWORD> Take()
    {
        GdiFlush();
        return Pixels(hdc, hBmp, cx, cy);
    }
};

std::vector<DWORD> ScreenPixels(const RECT &rc)
{
    Canvas c(rc.right - rc.left, rc.bottom - rc.top);
    BitBlt(c.hdc, 0, 0, c.cx, c.cy, c.hScreen, rc.left, rc.top, SRCCOPY);
    return c.Take();
}

} // namespace

Picture CaptureWindow(HWND hWnd, DWORD dwMs)
{
    Picture pic;
    RECT rc, rcClient;
    if (!GetWindowRect(hWnd, &rc) || rc.right <= rc.left || rc.bottom <= rc.top)
        return pic;
    GetClientRect(hWnd, &rcClient);
    MapWindowPoints(hWnd, NULL, reinterpret_cast<POINT *>(&rcClient), 2);
    OffsetRect(&rcClient, -rc.left, -rc.top);
    pic.cx = rc.right - rc.left;
    pic.cy = rc.bottom - rc.top;
    pic.client = rcClient;
    WaitForSettled(hWnd, dwMs);
    /* What was painted reaches the screen a little after the paint (Wine
       copies a window's picture out at most every 50 ms): the picture is
       taken once it shows something and has stayed the same for longer
       than that, or at the deadline as it then is. */
    DWORD dwStart = GetTickCount(), dwSince = dwStart;
    pic.pixels = ScreenPixels(rc);
    for (;;) {
        Pause(NULL, 0);
        std::vector<DWORD> again = ScreenPixels(rc);
        DWORD dwNow = GetTickCount();
        if (again != pic.pixels) {
            pic.pixels.swap(again);
            dwSince = dwNow;
        }
        if ((dwNow - dwSince >= STILL_MS && ClientColours(pic) > 1) || dwNow - dwStart >= dwMs)
            return pic;
    }
}

size_t ClientColours(const Picture &pic)
{
    std::set<DWORD> colours;
    for (int y = std::max(0L, pic.client.top); y < pic.client.bottom && y < pic.cy; y++)
        for (int x = std::max(0L, pic.client.left); x < pic.client.right && x < pic.cx; x++)
            colours.insert(pic.pixels[static_cast<size_t>(y) * pic.cx + x]);
    return colours.size();
}

static bool SaveBmp(const Picture &pic, const std::string &path)
{
    BITMAPINFOHEADER bih = Layout32(pic.cx, pic.cy).bmiHeader;
    bih.biHeight = pic.cy;   /* bottom-up, as every viewer reads it */
    std::string rows;
    for (int y = pic.cy - 1; y >= 0; y--)
        for (int x = 0; x < pic.cx; x++) {
            DWORD p = pic.pixels[static_cast<size_t>(y) * pic.cx + x] | 0xFF000000;
            rows.append(reinterpret_cast<const char *>(&p), 4);
        }
    BITMAPFILEHEADER bfh = {};
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof(bfh) + sizeof(bih);
    bfh.bfSize = static_cast<DWORD>(bfh.bfOffBits + rows.size());
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool bOk = fwrite(&bfh, sizeof(bfh), 1, f) == 1 && fwrite(&bih, sizeof(bih), 1, f) == 1 &&
               fwrite(rows.data(), 1, rows.size(), f) == rows.size();
    return fclose(f) == 0 && bOk;
}

bool SaveWindowBmp(HWND hWnd, const std::string &path)
{
    Picture pic = CaptureWindow(hWnd);
    /* A blank picture is saved too, to show what went wrong. */
    return !pic.pixels.empty() && SaveBmp(pic, path) && ClientColours(pic) > 1;
}

/* ---- Message boxes -------------------------------------------------------- */

namespace {

const struct { LPCSTR pszId; const char *pszName; } aStdIcons[] = {
    {IDI_HAND, "error"}, {IDI_QUESTION, "question"},
    {IDI_ASTERISK, "information"}, {IDI_EXCLAMATION, "warning"},
};

BOOL CALLBACK FindIconCtrlProc(HWND hChild, LPARAM lParam)
{
    char cls[16] = "";
    GetClassNameA(hChild, cls, sizeof(cls));
    if (_stricmp(cls, "Static") == 0 && IsWindowVisible(hChild) &&
        (GetWindowLongA(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HWND *>(lParam) = hChild;
        return FALSE;
    }
    return TRUE;
}

/* Pixels that differ by more than a blending step in some colour. */
size_t CountChanged(const std::vector<DWORD> &a, const std::vector<DWORD> &b)
{
    size_t n = 0;
    for (size_t k = 0; k < a.size() && k < b.size(); k++)
        for (int nShift = 0; nShift < 24; nShift += 8) {
            int d = static_cast<int>((a[k] >> nShift) & 0xFF) - static_cast<int>((b[k] >> nShift) & 0xFF);
            if (d > 48 || d < -48) {
                n++;
                break;
            }
        }
    return n;
}

/* The system's icon drawn as an icon control draws it: stretched over the
   control (cx by cy) on the background colour, or at its own size. */
std::vector<DWORD> DrawnIcon(LPCSTR pszId, int cx, int cy, COLORREF crBack, bool bOwnSize)
{
    Canvas c(cx, cy);
    HBRUSH hBrush = CreateSolidBrush(crBack);
    RECT rc = {0, 0, cx, cy};
    FillRect(c.hdc, &rc, hBrush);
    DeleteObject(hBrush);
    HICON hIcon = LoadIconA(NULL, pszId);
    if (bOwnSize)
        DrawIconEx(c.hdc, 0, 0, hIcon, 0, 0, 0, NULL, DI_NORMAL | DI_DEFAULTSIZE);
    else
        DrawIconEx(c.hdc, 0, 0, hIcon, cx, cy, 0, NULL, DI_NORMAL);
    return c.Take();
}

/* Recognised by the picture: the box is photographed once painted, and the
   icon control's part of it compared with each of the system's icons drawn
   here on the box's own background.  The icons are the ones this process
   (in the same Wine) loads, so no fixed picture has to match a version. */
std::string IconByPicture(HWND hBox, HWND hCtrl)
{
    Picture pic = CaptureWindow(hBox);
    RECT rcBox, rcCtrl;
    GetWindowRect(hBox, &rcBox);
    GetWindowRect(hCtrl, &rcCtrl);
    OffsetRect(&rcCtrl, -rcBox.left, -rcBox.top);
    const int cx = rcCtrl.right - rcCtrl.left, cy = rcCtrl.bottom - rcCtrl.top;
    if (pic.pixels.empty() || cx <= 0 || cy <= 0 || rcCtrl.left < 1 || rcCtrl.right > pic.cx ||
        rcCtrl.top < 0 || rcCtrl.bottom > pic.cy)
        return "other";
    std::vector<DWORD> shown;
    for (int y = rcCtrl.top; y < rcCtrl.bottom; y++)
        for (int x = rcCtrl.left; x < rcCtrl.right; x++)
            shown.push_back(pic.pixels[static_cast<size_t>(y) * pic.cx + x]);
    /* The box's background just left of the control, as COLORREF. */
    DWORD rgb = pic.pixels[static_cast<size_t>(rcCtrl.top) * pic.cx + rcCtrl.left - 1];
    COLORREF crBack = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);

    std::string best = "other";
    size_t nBest = shown.size(), nSecond = shown.size();
    for (const auto &icon : aStdIcons) {
        size_t nDiff = std::min(CountChanged(shown, DrawnIcon(icon.pszId, cx, cy, crBack, false)),
                                CountChanged(shown, DrawnIcon(icon.pszId, cx, cy, crBack, true)));
        if (nDiff < nBest) {
            nSecond = nBest;
            nBest = nDiff;
            best = icon.pszName;
        } else if (nDiff < nSecond) {
            nSecond = nDiff;
        }
    }
    /* The match must be near (a few edge pixels) and clearly the nearest. */
    return nBest * 10 <= shown.size() && nBest * 2 < nSecond ? best : "other";
}

} // namespace

std::string IconOf(HWND hBox, bool bByPicture)
{
    HWND hCtrl = NULL;
    EnumChildWindows(hBox, FindIconCtrlProc, reinterpret_cast<LPARAM>(&hCtrl));
    if (!hCtrl)
        return "none";
    /* Wine keeps the icon control, empty, in a box without an icon. */
    DWORD_PTR dwIcon = 0;
    SendMessageTimeoutA(hCtrl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, SETTLE_MS, &dwIcon);
    HICON hIcon = reinterpret_cast<HICON>(dwIcon);
    if (!hIcon)
        return "none";
    /* Other icon handles mean something only in their own process. */
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hBox, &dwPid);
    if (!bByPicture && dwPid == GetCurrentProcessId()) {
        for (const auto &icon : aStdIcons)
            if (hIcon == LoadIconA(NULL, icon.pszId))
                return icon.pszName;
    }
    return IconByPicture(hBox, hCtrl);
}

static BOOL CALLBACK CollectButtonProc(HWND hChild, LPARAM lParam)
{
    char cls[16] = "";
    GetClassNameA(hChild, cls, sizeof(cls));
    if (_stricmp(cls, "Button") == 0 && IsWindowVisible(hChild))
        reinterpret_cast<std::vector<int> *>(lParam)->push_back(GetDlgCtrlID(hChild));
    return TRUE;
}

SeenBox ReadMessageBox(HWND hBox)
{
    SeenBox box;
    if (!hBox || !IsWindow(hBox))
        return box;
    WaitForSettled(hBox, SETTLE_MS);
    box.bFound = true;
    box.hWnd = hBox;
    box.caption = WindowText(hBox);
    box.text = ReadControl(hBox, MSGBOX_TEXT_ID);
    box.hOwner = GetWindow(hBox, GW_OWNER);
    EnumChildWindows(hBox, CollectButtonProc, reinterpret_cast<LPARAM>(&box.buttons));
    box.icon = IconOf(hBox);
    return box;
}

/* ---- The watcher ---------------------------------------------------------- */

BoxAnswerer::BoxAnswerer(std::vector<int> answers, DWORD dwPid, DWORD dwStrayMs, BoxHook hook)
    : m_answers(std::move(answers)), m_dwPid(dwPid), m_dwStrayMs(dwStrayMs), m_hook(std::move(hook))
{
    InitializeCriticalSection(&m_cs);
    m_hStop = CreateEventA(NULL, TRUE, FALSE, NULL);
    m_hThread = CreateThread(NULL, 0, ThreadProc, this, 0, NULL);
}

BoxAnswerer::~BoxAnswerer()
{
    Stop();
    CloseHandle(m_hStop);
    DeleteCriticalSection(&m_cs);
}

DWORD WINAPI BoxAnswerer::ThreadProc(LPVOID pv)
{
    static_cast<BoxAnswerer *>(pv)->Run();
    return 0;
}

void BoxAnswerer::Answer(HWND hBox, int nAnswer)
{
    SeenBox box = ReadMessageBox(hBox);
    EnterCriticalSection(&m_cs);
    size_t nIndex = m_seen.size();
    m_seen.push_back(box);
    LeaveCriticalSection(&m_cs);
    if (m_hook)
        m_hook(nIndex, box);
    if (!nAnswer)
        nAnswer = std::find(box.buttons.begin(), box.buttons.end(), IDCANCEL) != box.buttons.end()
                      ? IDCANCEL : IDOK;
    PressButton(hBox, nAnswer);
}

void BoxAnswerer::Run()
{
    WindowQuery q;
    q.dwPid = m_dwPid;
    q.bMessageBox = true;
    size_t next = 0;
    for (;;) {
        HWND hBox = WaitForWindow(q, INFINITE, m_hStop);
        if (!hBox)
            return;
        q.skip.push_back(hBox);
        if (next < m_answers.size()) {
            Answer(hBox, m_answers[next++]);
            continue;
        }
        /* A box nobody expected: given its time to be closed by others,
           then recorded and closed. */
        HANDLE ah[1] = {m_hStop};
        if (!WaitOn(Gone, hBox, m_dwStrayMs, ah, 1) && WaitForSingleObject(m_hStop, 0) != WAIT_OBJECT_0)
            Answer(hBox, 0);
    }
}

std::vector<SeenBox> BoxAnswerer::Stop()
{
    if (m_hThread) {
        SetEvent(m_hStop);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        m_hThread = NULL;
    }
    EnterCriticalSection(&m_cs);
    std::vector<SeenBox> seen = m_seen;
    LeaveCriticalSection(&m_cs);
    return seen;
}

/* ---- Windows refused ----------------------------------------------------- */

static LRESULT CALLBACK RefuseCreation(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND)
        return 1;
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

WindowsRefused::WindowsRefused()
    : m_hHook(SetWindowsHookExA(WH_CBT, RefuseCreation, NULL, GetCurrentThreadId()))
{
}

WindowsRefused::~WindowsRefused()
{
    if (m_hHook)
        UnhookWindowsHookEx(m_hHook);
}

/* ---- The shell ------------------------------------------------------------ */

static HDDEDATA CALLBACK IgnoreDde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

namespace {
struct DdeProbe {
    DWORD dwInst;
    HSZ hsz;
};

bool ProgramManagerAnswers(void *pv)
{
    DdeProbe *p = static_cast<DdeProbe *>(pv);
    HCONV hConv = DdeConnect(p->dwInst, p->hsz, p->hsz, NULL);
    if (hConv)
        DdeDisconnect(hConv);
    return hConv != NULL;
}
} // namespace

bool WaitForProgramManager(DWORD dwMs)
{
    DdeProbe probe = {0, NULL};
    if (DdeInitializeA(&probe.dwInst, IgnoreDde, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return false;
    probe.hsz = DdeCreateStringHandleA(probe.dwInst, "PROGMAN", CP_WINANSI);
    bool bOk = WaitUntil(ProgramManagerAnswers, &probe, dwMs);
    DdeFreeStringHandle(probe.dwInst, probe.hsz);
    DdeUninitialize(probe.dwInst);
    return bOk;
}

void CloseWindowsTitled(const char *pszTitle, DWORD dwMs)
{
    WindowQuery q;
    q.pszCaption = pszTitle;
    DWORD dwStart = GetTickCount();
    for (;;) {
        DWORD dwSpent = GetTickCount() - dwStart;
        HWND hWnd = dwSpent < dwMs ? WaitForWindow(q, dwMs - dwSpent) : NULL;
        if (!hWnd)
            return;
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
        q.skip.push_back(hWnd);
    }
}
