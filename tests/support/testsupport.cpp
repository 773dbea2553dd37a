/* testsupport.cpp - files, manifests and window watching for the Windows
 * tests.  Message boxes are found by their text control (ID 0xFFFF), which
 * every message box has and no dialog of the installer uses. */
#include "testsupport.h"

#include "manifest.h"

#include <ddeml.h>
#include <stdio.h>

#include <algorithm>

static const int MSGBOX_TEXT_ID = 0xFFFF;

std::string ExeDir()
{
    char sz[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, sz, sizeof(sz));
    std::string s(sz, n);
    size_t pos = s.find_last_of("\\/");
    return pos == std::string::npos ? std::string() : s.substr(0, pos + 1);
}

void RemoveTree(const std::string &path)
{
    std::string dir = path;
    if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/'))
        dir.pop_back();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

std::string ScratchDir(const std::string &name)
{
    std::string root = ExeDir() + "scratch";
    CreateDirectoryA(root.c_str(), NULL);
    std::string dir = root + "\\" + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), NULL);
    return dir + "\\";
}

bool WriteBytes(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

std::string ReadBytes(const std::string &path)
{
    std::string s;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return s;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        s.append(buf, n);
    fclose(f);
    return s;
}

bool FileExists(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string CurrentDir()
{
    char sz[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof(sz), sz);
    return std::string(sz, n < sizeof(sz) ? n : 0);
}

bool SetCurrentDir(const std::string &path)
{
    return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

bool RunningUnderWine()
{
    HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
    return hNtdll != NULL && GetProcAddress(hNtdll, "wine_get_version") != NULL;
}

char FreeDriveLetter()
{
    for (char c = 'Q'; c <= 'Y'; c++) {
        char szRoot[4] = {c, ':', '\\', '\0'};
        if (GetDriveTypeA(szRoot) <= DRIVE_NO_ROOT_DIR)
            return c;
    }
    return 0;
}

std::string LengthField(long lLength)
{
    unsigned long u = static_cast<unsigned long>(lLength);
    std::string s;
    for (int i = 0; i < 4; i++)
        s += static_cast<char>((u >> (8 * i)) & 0xFF);
    return s;
}

std::string PackageRecord(const std::string &data)
{
    return LengthField(static_cast<long>(data.size())) + data;
}

std::string WinPathOfUnix(const std::string &unixPath)
{
    std::string s = "Z:" + unixPath;
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

std::string PathOfLength(const std::string &dir, size_t nLength)
{
    if (nLength <= dir.size())
        return dir;
    return dir + std::string(nLength - dir.size() - 1, 'f') + "x";
}

HINSTANCE UseManifest(const char *pszName)
{
    std::string path = ExeDir() + pszName + ".dll";
    HINSTANCE h = LoadLibraryA(path.c_str());
    if (h)
        SetAppInstance(h);
    return h;
}

std::string WindowText(HWND hWnd)
{
    char sz[2048];
    int n = GetWindowTextA(hWnd, sz, sizeof(sz));
    return std::string(sz, n > 0 ? n : 0);
}

std::string ControlText(HWND hDlg, int nId)
{
    HWND h = GetDlgItem(hDlg, nId);
    return h ? WindowText(h) : std::string();
}

namespace {

struct FindCtx {
    const char *pszCaption;
    DWORD dwPid;
    HWND hSkip;
    bool bBox;
    HWND hFound;
};

/* A message box's controls are its buttons (IDs 1 to 11), its icon (20 on
   Windows, 1088 under Wine) and its text (0xFFFF).  The installer's own
   dialogs also have 0xFFFF statics, but every one of them has a numbered
   field or control of 200 or more besides. */
static BOOL CALLBACK OnlyBoxControls(HWND hChild, LPARAM lParam)
{
    int nId = GetDlgCtrlID(hChild);
    if ((nId >= 1 && nId <= 11) || nId == 20 || nId == 1088 || nId == MSGBOX_TEXT_ID)
        return TRUE;
    *reinterpret_cast<bool *>(lParam) = false;
    return FALSE;
}

} // namespace

bool IsMessageBox(HWND hWnd)
{
    char cls[64];
    GetClassNameA(hWnd, cls, sizeof(cls));
    if (strcmp(cls, "#32770") != 0 || GetDlgItem(hWnd, MSGBOX_TEXT_ID) == NULL)
        return false;
    bool bOnly = true;
    EnumChildWindows(hWnd, OnlyBoxControls, reinterpret_cast<LPARAM>(&bOnly));
    return bOnly;
}

namespace {

static BOOL CALLBACK FindProc(HWND hWnd, LPARAM lParam)
{
    FindCtx *pCtx = reinterpret_cast<FindCtx *>(lParam);
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    if (pCtx->dwPid && dwPid != pCtx->dwPid)
        return TRUE;
    if (hWnd == pCtx->hSkip || !IsWindowVisible(hWnd))
        return TRUE;
    if (pCtx->bBox ? IsMessageBox(hWnd) : WindowText(hWnd) == pCtx->pszCaption) {
        pCtx->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

static HWND WaitFor(FindCtx ctx, DWORD dwMs)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        ctx.hFound = NULL;
        EnumWindows(FindProc, reinterpret_cast<LPARAM>(&ctx));
        if (ctx.hFound)
            return ctx.hFound;
        if (GetTickCount() - dwStart >= dwMs)
            return NULL;
        Sleep(20);
    }
}

struct IconCtx {
    std::string icon;
    std::vector<int> buttons;
};

static BOOL CALLBACK ChildProc(HWND hChild, LPARAM lParam)
{
    IconCtx *pCtx = reinterpret_cast<IconCtx *>(lParam);
    char cls[64];
    GetClassNameA(hChild, cls, sizeof(cls));
    LONG lStyle = GetWindowLongA(hChild, GWL_STYLE);
    if (_stricmp(cls, "Static") == 0 && (lStyle & SS_TYPEMASK) == SS_ICON) {
        HICON hIcon = reinterpret_cast<HICON>(SendMessageA(hChild, STM_GETICON, 0, 0));
        if (hIcon == LoadIcon(NULL, IDI_HAND))
            pCtx->icon = "error";
        else if (hIcon == LoadIcon(NULL, IDI_QUESTION))
            pCtx->icon = "question";
        else if (hIcon == LoadIcon(NULL, IDI_ASTERISK))
            pCtx->icon = "information";
        else if (hIcon == LoadIcon(NULL, IDI_EXCLAMATION))
            pCtx->icon = "warning";
        else if (IsWindowVisible(hChild) && hIcon)
            pCtx->icon = IconName(hChild, hIcon);
    } else if (_stricmp(cls, "Button") == 0 && IsWindowVisible(hChild)) {
        pCtx->buttons.push_back(GetDlgCtrlID(hChild));
    }
    return TRUE;
}

} // namespace

/* The pixels of a device context's bitmap as 32-bit rows. */
static std::string Bits(HDC hdc, HBITMAP hBmp, int cx, int cy)
{
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = cx;
    bih.biHeight = cy;
    bih.biPlanes = 1;
    bih.biBitCount = 32;
    bih.biCompression = BI_RGB;
    std::string bits(static_cast<size_t>(cx) * cy * 4, '\0');
    GetDIBits(hdc, hBmp, 0, cy, &bits[0], reinterpret_cast<BITMAPINFO *>(&bih), DIB_RGB_COLORS);
    return bits;
}

/* The picture of a control as the screen shows it (pszIcon NULL), or the
   standard icon pszIcon drawn on the control's background colour. */
static std::string ControlPicture(HWND hControl, LPCSTR pszIcon)
{
    RECT rc;
    GetWindowRect(hControl, &rc);
    int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return std::string();
    HDC hScreen = GetDC(NULL);
    HDC hMem = CreateCompatibleDC(hScreen);
    HBITMAP hBmp = CreateCompatibleBitmap(hScreen, cx, cy);
    HGDIOBJ hOld = SelectObject(hMem, hBmp);
    if (pszIcon == NULL) {
        BitBlt(hMem, 0, 0, cx, cy, hScreen, rc.left, rc.top, SRCCOPY);
    } else {
        /* The standard icons leave their corners clear, so the control's
           top-left pixel is its background. */
        HBRUSH hBrush = CreateSolidBrush(GetPixel(hScreen, rc.left, rc.top));
        RECT rcAll = {0, 0, cx, cy};
        FillRect(hMem, &rcAll, hBrush);
        DeleteObject(hBrush);
        DrawIconEx(hMem, 0, 0, LoadIconA(NULL, pszIcon), 0, 0, 0, NULL, DI_NORMAL | DI_DEFAULTSIZE);
    }
    SelectObject(hMem, hOld);
    std::string bits = Bits(hMem, hBmp, cx, cy);
    DeleteObject(hBmp);
    DeleteDC(hMem);
    ReleaseDC(NULL, hScreen);
    return bits;
}

static const struct { LPCSTR pszId; const char *pszName; } aStdIcons[] = {
    {IDI_HAND, "error"}, {IDI_QUESTION, "question"},
    {IDI_ASTERISK, "information"}, {IDI_EXCLAMATION, "warning"},
};

std::string IconName(HWND hControl, HICON hIcon)
{
    for (const auto &icon : aStdIcons)
        if (hIcon == LoadIconA(NULL, icon.pszId))
            return icon.pszName;
    /* Icon handles belong to their process: another program's box is
       recognised by what its icon control shows on the screen. */
    std::string shown = ControlPicture(hControl, NULL);
    for (const auto &icon : aStdIcons)
        if (!shown.empty() && shown == ControlPicture(hControl, icon.pszId))
            return icon.pszName;
    return "other";
}

HWND WaitForWindow(const char *pszCaption, DWORD dwPid, DWORD dwMs)
{
    FindCtx ctx = {pszCaption, dwPid, NULL, false, NULL};
    return WaitFor(ctx, dwMs);
}

HWND WaitForMessageBox(DWORD dwPid, DWORD dwMs, HWND hSkip)
{
    FindCtx ctx = {"", dwPid, hSkip, true, NULL};
    return WaitFor(ctx, dwMs);
}

SeenBox ReadMessageBox(HWND hBox)
{
    SeenBox box;
    if (!hBox || !IsWindow(hBox))
        return box;
    box.bFound = true;
    box.hWnd = hBox;
    box.caption = WindowText(hBox);
    box.text = ControlText(hBox, MSGBOX_TEXT_ID);
    box.hOwner = GetWindow(hBox, GW_OWNER);
    IconCtx ctx;
    ctx.icon = "none";
    EnumChildWindows(hBox, ChildProc, reinterpret_cast<LPARAM>(&ctx));
    box.icon = ctx.icon;
    box.buttons = ctx.buttons;
    return box;
}

void PressButton(HWND hDlg, int nId)
{
    PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hDlg, nId)));
}

BoxAnswerer::BoxAnswerer(std::vector<int> answers, DWORD dwPid, DWORD dwStrayMs)
    : m_answers(std::move(answers)), m_dwPid(dwPid), m_dwStrayMs(dwStrayMs), m_hThread(NULL),
      m_lStop(0)
{
    InitializeCriticalSection(&m_cs);
    m_hThread = CreateThread(NULL, 0, ThreadProc, this, 0, NULL);
}

BoxAnswerer::~BoxAnswerer()
{
    Stop();
    DeleteCriticalSection(&m_cs);
}

DWORD WINAPI BoxAnswerer::ThreadProc(LPVOID pv)
{
    static_cast<BoxAnswerer *>(pv)->Run();
    return 0;
}

void BoxAnswerer::Run()
{
    size_t next = 0;
    HWND hLast = NULL;
    DWORD dwStraySince = 0;
    while (!m_lStop) {
        HWND hBox = WaitForMessageBox(m_dwPid, 50, NULL);
        if (!hBox || hBox == hLast) {
            dwStraySince = 0;
            continue;
        }
        /* Let the box finish initialising before its controls are read. */
        Sleep(100);
        if (next < m_answers.size()) {
            SeenBox box = ReadMessageBox(hBox);
            EnterCriticalSection(&m_cs);
            m_seen.push_back(box);
            LeaveCriticalSection(&m_cs);
            PressButton(hBox, m_answers[next++]);
            hLast = hBox;
            continue;
        }
        if (!dwStraySince)
            dwStraySince = GetTickCount();
        if (GetTickCount() - dwStraySince >= m_dwStrayMs) {
            SeenBox box = ReadMessageBox(hBox);
            EnterCriticalSection(&m_cs);
            m_seen.push_back(box);
            LeaveCriticalSection(&m_cs);
            bool bHasCancel = std::find(box.buttons.begin(), box.buttons.end(), IDCANCEL) !=
                              box.buttons.end();
            PressButton(hBox, bHasCancel ? IDCANCEL : IDOK);
            hLast = hBox;
            dwStraySince = 0;
        }
    }
}

std::vector<SeenBox> BoxAnswerer::Stop()
{
    if (m_hThread) {
        InterlockedExchange(&m_lStop, 1);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        m_hThread = NULL;
    }
    EnterCriticalSection(&m_cs);
    std::vector<SeenBox> seen = m_seen;
    LeaveCriticalSection(&m_cs);
    return seen;
}

bool SaveWindowBmp(HWND hWnd, const std::string &path)
{
    RECT rc;
    if (!GetWindowRect(hWnd, &rc))
        return false;
    std::string pixels = ControlPicture(hWnd, NULL);
    if (pixels.empty())
        return false;
    /* The screen leaves the fourth byte 0, which viewers read as clear. */
    for (size_t i = 3; i < pixels.size(); i += 4)
        pixels[i] = '\xff';
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = rc.right - rc.left;
    bih.biHeight = rc.bottom - rc.top;
    bih.biPlanes = 1;
    bih.biBitCount = 32;
    bih.biCompression = BI_RGB;

    BITMAPFILEHEADER bfh = {};
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof(bfh) + sizeof(bih);
    bfh.bfSize = static_cast<DWORD>(bfh.bfOffBits + pixels.size());
    std::string file(reinterpret_cast<const char *>(&bfh), sizeof(bfh));
    file.append(reinterpret_cast<const char *>(&bih), sizeof(bih));
    file += pixels;
    return WriteBytes(path, file);
}

std::string ScreenshotPath(const std::string &name)
{
    std::string dir = ExeDir() + "..\\screenshots\\";
    CreateDirectoryA(dir.c_str(), NULL);
    return dir + name + ".bmp";
}

bool StartProcess(const std::string &cmdLine, const std::string &dir, PROCESS_INFORMATION *pPi)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    std::string cmd = cmdLine;
    return CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL,
                          dir.empty() ? NULL : dir.c_str(), &si, pPi) != 0;
}

int RunProcess(const std::string &cmdLine, const std::string &dir, DWORD dwMs)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::string cmd = cmdLine;
    if (!CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL,
                        dir.empty() ? NULL : dir.c_str(), &si, &pi))
        return -1;
    DWORD dwCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, dwMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &dwCode);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(dwCode);
}

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

namespace {
struct DialogCtx {
    const char *pszCaption;
    DWORD dwPid;
    int nCtrlId;
    HWND hFound;
};

BOOL CALLBACK FindDialogProc(HWND hWnd, LPARAM lParam)
{
    DialogCtx *pCtx = reinterpret_cast<DialogCtx *>(lParam);
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    if ((pCtx->dwPid && dwPid != pCtx->dwPid) || !IsWindowVisible(hWnd))
        return TRUE;
    if (WindowText(hWnd) != pCtx->pszCaption || !GetDlgItem(hWnd, pCtx->nCtrlId))
        return TRUE;
    pCtx->hFound = hWnd;
    return FALSE;
}

std::string SentText(HWND hWnd)
{
    char sz[1024];
    DWORD_PTR dwLen = 0;
    if (!SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(sz), reinterpret_cast<LPARAM>(sz),
                             SMTO_ABORTIFHUNG, 5000, &dwLen))
        return std::string();
    return std::string(sz, dwLen < sizeof(sz) ? dwLen : 0);
}

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

bool DialogThere(void *pv)
{
    DialogCtx *pCtx = static_cast<DialogCtx *>(pv);
    pCtx->hFound = NULL;
    EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(pCtx));
    return pCtx->hFound != NULL;
}
} // namespace

bool WaitUntil(bool (*pfn)(void *), void *pv, DWORD dwMs)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        if (pfn(pv))
            return true;
        if (GetTickCount() - dwStart >= dwMs)
            return false;
        Sleep(5);
    }
}

HWND WaitForDialog(const char *pszCaption, DWORD dwPid, int nCtrlId, DWORD dwMs)
{
    DialogCtx ctx = {pszCaption, dwPid, nCtrlId, NULL};
    return WaitUntil(DialogThere, &ctx, dwMs) ? ctx.hFound : NULL;
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
                            SMTO_ABORTIFHUNG, 5000, &dwRes);
}

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

namespace {
struct IconCtrlCtx {
    HWND hFound;
};

BOOL CALLBACK FindIconCtrlProc(HWND hChild, LPARAM lParam)
{
    char cls[16];
    GetClassNameA(hChild, cls, sizeof(cls));
    if (_stricmp(cls, "Static") == 0 && IsWindowVisible(hChild) &&
        (GetWindowLongA(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        reinterpret_cast<IconCtrlCtx *>(lParam)->hFound = hChild;
        return FALSE;
    }
    return TRUE;
}

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

/* 32-bit pixels of a memory bitmap. */
std::vector<DWORD> Pixels(HDC hDc, HBITMAP hBmp, int cx, int cy)
{
    BITMAPINFO bi = Layout32(cx, cy);
    std::vector<DWORD> px(static_cast<size_t>(cx) * cy);
    GetDIBits(hDc, hBmp, 0, cy, px.data(), &bi, DIB_RGB_COLORS);
    return px;
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
} // namespace

std::string IconOnScreen(HWND hBox)
{
    IconCtrlCtx ctx = {NULL};
    EnumChildWindows(hBox, FindIconCtrlProc, reinterpret_cast<LPARAM>(&ctx));
    if (!ctx.hFound)
        return "none";
    RECT rc;
    GetWindowRect(ctx.hFound, &rc);
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    HDC hScreen = GetDC(NULL);
    HDC hMem = CreateCompatibleDC(hScreen);
    HBITMAP hBmp = CreateCompatibleBitmap(hScreen, cx, cy);
    HGDIOBJ hOld = SelectObject(hMem, hBmp);
    BitBlt(hMem, 0, 0, cx, cy, hScreen, rc.left, rc.top, SRCCOPY);
    SelectObject(hMem, hOld);
    const std::vector<DWORD> shown = Pixels(hMem, hBmp, cx, cy);

    /* Drawing the right icon over its own picture changes little (only the
       soft edges blend twice); any other icon changes much more. */
    static const struct {
        LPCSTR pszIcon;
        const char *pszName;
    } icons[] = {{IDI_HAND, "error"}, {IDI_QUESTION, "question"},
                 {IDI_ASTERISK, "information"}, {IDI_EXCLAMATION, "warning"}};
    std::string best = "other";
    size_t nBest = static_cast<size_t>(-1), nSecond = static_cast<size_t>(-1);
    for (const auto &icon : icons) {
        BITMAPINFO bi = Layout32(cx, cy);
        SetDIBits(hMem, hBmp, 0, cy, shown.data(), &bi, DIB_RGB_COLORS);
        hOld = SelectObject(hMem, hBmp);
        DrawIconEx(hMem, 0, 0, LoadIconA(NULL, icon.pszIcon), cx, cy, 0, NULL, DI_NORMAL);
        SelectObject(hMem, hOld);
        size_t nDiff = CountChanged(shown, Pixels(hMem, hBmp, cx, cy));
        if (nDiff < nBest) {
            nSecond = nBest;
            nBest = nDiff;
            best = icon.pszName;
        } else if (nDiff < nSecond) {
            nSecond = nDiff;
        }
    }
    if (nBest * 2 >= nSecond)
        best = "other";
    DeleteObject(hBmp);
    DeleteDC(hMem);
    ReleaseDC(NULL, hScreen);
    return best;
}

static HDDEDATA CALLBACK IgnoreDde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

bool WaitForProgramManager(DWORD dwMs)
{
    DWORD dwInst = 0;
    if (DdeInitializeA(&dwInst, IgnoreDde, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return false;
    HSZ hsz = DdeCreateStringHandleA(dwInst, "PROGMAN", CP_WINANSI);
    HCONV hConv = NULL;
    DWORD dwStart = GetTickCount();
    while (!(hConv = DdeConnect(dwInst, hsz, hsz, NULL)) && GetTickCount() - dwStart < dwMs)
        Sleep(100);
    if (hConv)
        DdeDisconnect(hConv);
    DdeUninitialize(dwInst);
    return hConv != NULL;
}
