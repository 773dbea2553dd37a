/* e2e_session.cpp - the outside view of an installer run: process start,
 * window lookup by caption, box answering, focus, screenshots, and the
 * files (packages, INI values, dates) the end-to-end tests prepare and check. */
#include "e2e_session.h"

#include <dlgs.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string.h>

#include <algorithm>

#include "resource.h"

const char *const CAPTION_MAIN = "Install";
const char *const CAPTION_VERIFY = "Install Verification  ";
const char *const CAPTION_SPACE = "Install  ";
const char *const CAPTION_BROWSE = "Choose Directory";

std::string ProductDir(const char *pszProduct)
{
    return ExeDir() + "e2e\\" + pszProduct + "\\";
}

bool WritePackage(const std::string &path, const std::vector<std::string> &records)
{
    std::string bytes;
    for (const std::string &rec : records)
        bytes += PackageRecord(rec);
    return WriteBytes(path, bytes);
}

std::string CreationDate(const std::string &path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    FILETIME ft;
    SYSTEMTIME st;
    BOOL fOk = GetFileTime(h, &ft, NULL, NULL) && FileTimeToSystemTime(&ft, &st);
    CloseHandle(h);
    if (!fOk)
        return std::string();
    char sz[16];
    wsprintfA(sz, "%04u%02u%02u", st.wYear, st.wMonth, st.wDay);
    return sz;
}

std::string IniValue(const std::string &file, const char *pszSection, const char *pszKey)
{
    char sz[256];
    GetPrivateProfileStringA(pszSection, pszKey, "<absent>", sz, sizeof(sz), file.c_str());
    return sz;
}

static std::string WithSlash(std::string dir)
{
    if (!dir.empty() && dir.back() != '\\')
        dir.push_back('\\');
    return dir;
}

std::string WindowsDir()
{
    char sz[MAX_PATH];
    UINT n = GetWindowsDirectoryA(sz, sizeof(sz));
    return WithSlash(std::string(sz, n < sizeof(sz) ? n : 0));
}

std::string SystemDir()
{
    char sz[MAX_PATH];
    UINT n = GetSystemDirectoryA(sz, sizeof(sz));
    return WithSlash(std::string(sz, n < sizeof(sz) ? n : 0));
}

std::string ShotPath(const std::string &name)
{
    char sz[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("QUARNEL_DEMO_SHOTS", sz, sizeof(sz));
    if (n == 0 || n >= sizeof(sz))
        return ScreenshotPath(name);
    std::string dir = WithSlash(sz);
    CreateDirectoryA(dir.c_str(), NULL);
    return dir + name + ".bmp";
}

void Shot(HWND hWnd, const std::string &name)
{
    /* Let the window finish painting before it is copied off the screen. */
    Sleep(300);
    SaveWindowBmp(hWnd, ShotPath(name));
}

Installer::Installer(const std::string &exe, const std::vector<std::string> &extraEnv)
{
    std::string dir = exe.substr(0, exe.find_last_of('\\') + 1);
    if (!StartProgram("\"" + exe + "\"", dir, &m_pi, extraEnv))
        m_pi = PROCESS_INFORMATION();
}

Installer::~Installer()
{
    if (!m_pi.hProcess)
        return;
    /* A test that failed half-way must not leave its installer behind. */
    if (WaitForSingleObject(m_pi.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(m_pi.hProcess, 99);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
    CloseHandle(m_pi.hThread);
    CloseHandle(m_pi.hProcess);
}

HWND Installer::MainDialog(DWORD dwMs)
{
    return WaitForDialog(CAPTION_MAIN, Pid(), IDC_DESTDIR, dwMs);
}

HWND Installer::Confirmation(DWORD dwMs)
{
    return WaitForDialog(CAPTION_VERIFY, Pid(), IDC_FIELD0, dwMs);
}

HWND Installer::SpaceNotice(DWORD dwMs)
{
    return WaitForDialog(CAPTION_SPACE, Pid(), IDC_FIELD2, dwMs);
}

HWND Installer::Progress(DWORD dwMs)
{
    return WaitForDialog(CAPTION_MAIN, Pid(), IDC_BAR, dwMs);
}

HWND Installer::Chooser(DWORD dwMs)
{
    return WaitForDialog(CAPTION_BROWSE, Pid(), stc1, dwMs);
}

namespace {
struct BoxCtx {
    DWORD dwPid;
    const std::vector<HWND> *pAnswered;
    HWND hFound;
};

/* The installer's own dialogs and the directory chooser carry unnumbered
   statics too, which look like a message box's text; only message boxes have
   none of the numbered fields and no directory list. */
BOOL CALLBACK FindBoxProc(HWND hWnd, LPARAM lParam)
{
    BoxCtx *pCtx = reinterpret_cast<BoxCtx *>(lParam);
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    if (dwPid != pCtx->dwPid || !IsWindowVisible(hWnd) || !IsMessageBox(hWnd) ||
        std::find(pCtx->pAnswered->begin(), pCtx->pAnswered->end(), hWnd) != pCtx->pAnswered->end())
        return TRUE;
    pCtx->hFound = hWnd;
    return FALSE;
}

bool BoxThere(void *pv)
{
    BoxCtx *pCtx = static_cast<BoxCtx *>(pv);
    pCtx->hFound = NULL;
    EnumWindows(FindBoxProc, reinterpret_cast<LPARAM>(pCtx));
    return pCtx->hFound != NULL;
}
} // namespace

SeenBox Installer::NextBox(DWORD dwMs)
{
    BoxCtx ctx = {Pid(), &m_answered, NULL};
    if (!WaitUntil(BoxThere, &ctx, dwMs))
        return SeenBox();
    Sleep(150); /* let it finish laying out and painting */
    SeenBox box = ReadMessageBox(ctx.hFound);
    /* Icons of another process are other handles: recognise the picture. */
    box.icon = IconOnScreen(ctx.hFound);
    return box;
}

static bool WindowGone(void *pv)
{
    return !IsWindow(static_cast<HWND>(pv));
}

bool Installer::Answer(HWND hWnd, int nId, DWORD dwMs)
{
    if (!hWnd)
        return false;
    m_answered.push_back(hWnd);
    PressButton(hWnd, nId);
    return WaitUntil(WindowGone, hWnd, dwMs);
}

int Installer::FocusId() const
{
    HWND h = FocusOfThread(m_pi.dwThreadId);
    return h ? GetDlgCtrlID(h) : 0;
}

std::string Installer::FocusCaption() const
{
    HWND h = FocusOfThread(m_pi.dwThreadId);
    return h ? WindowText(GetAncestor(h, GA_ROOT)) : std::string();
}

void Installer::TypeAndOk(HWND hMain, const std::string &dest)
{
    WriteControl(hMain, IDC_DESTDIR, dest);
    PressButton(hMain, IDOK);
}

int Installer::Exit(DWORD dwMs)
{
    return m_pi.hProcess ? WaitForExit(m_pi.hProcess, dwMs) : -1;
}

namespace {
struct TitleCtx {
    const char *pszTitle;
};

BOOL CALLBACK CloseTitledProc(HWND hWnd, LPARAM lParam)
{
    TitleCtx *pCtx = reinterpret_cast<TitleCtx *>(lParam);
    if (IsWindowVisible(hWnd) && WindowText(hWnd) == pCtx->pszTitle)
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
    return TRUE;
}
} // namespace

void CloseGroupWindows(const char *pszGroup, DWORD dwMs)
{
    DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < dwMs) {
        TitleCtx ctx = {pszGroup};
        EnumWindows(CloseTitledProc, reinterpret_cast<LPARAM>(&ctx));
        Sleep(100);
    }
}

std::string ProgramsDir()
{
    char sz[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_PROGRAMS, NULL, 0, sz);
    return std::string(sz) + "\\";
}

std::string LinkTarget(const std::string &link)
{
    std::string target;
    CoInitialize(NULL);
    IShellLinkA *pLink = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void **>(&pLink)))) {
        IPersistFile *pFile = NULL;
        if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&pFile)))) {
            WCHAR wsz[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wsz, MAX_PATH);
            char sz[MAX_PATH];
            if (SUCCEEDED(pFile->Load(wsz, STGM_READ)) &&
                SUCCEEDED(pLink->GetPath(sz, MAX_PATH, NULL, 0)))
                target = sz;
            pFile->Release();
        }
        pLink->Release();
    }
    CoUninitialize();
    return target;
}
