/* e2e_session.cpp - the outside view of an installer run: process start,
 * window lookup by caption, box answering, focus, screenshots, and the
 * files (packages, INI values, dates) the end-to-end tests prepare and check. */
#include "e2e_session.h"

#include <dlgs.h>

#include <string.h>

#include <gtest/gtest.h>

#include "fixed.h"
#include "resource.h"

const char *const CAPTION_MAIN = szCaptionMain;
const char *const CAPTION_VERIFY = szCaptionVerify;
const char *const CAPTION_SPACE = szCaptionSpace;
const char *const CAPTION_BROWSE = TEXT_CHOOSE_DIR;

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
    EXPECT_TRUE(SaveWindowBmp(hWnd, ShotPath(name))) << name << ": no picture, or a blank one";
}

Installer::Installer(const std::string &exe, const std::vector<std::string> &extraEnv)
    : m_exe(exe)
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

SeenBox Installer::NextBox(DWORD dwMs)
{
    WindowQuery q;
    q.dwPid = Pid();
    q.bMessageBox = true;
    q.skip = m_answered;
    return ReadMessageBox(WaitForWindow(q, dwMs));
}

bool Installer::Answer(HWND hWnd, int nId, DWORD dwMs)
{
    if (!hWnd)
        return false;
    m_answered.push_back(hWnd);
    PressButton(hWnd, nId);
    return WaitForWindowGone(hWnd, dwMs);
}

int Installer::DescriptionOverflow(HWND hMain) const
{
    /* A font belongs to its process: the text the installer shows is
       measured in a copy of its dialog made here from its own template. */
    HMODULE hExe = LoadLibraryExA(m_exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HWND hCopy = hExe ? HiddenDialogCopy(hExe, DLG_PARVEX) : NULL;
    int nOver = 1 << 20;
    if (hCopy) {
        WriteControl(hCopy, IDC_DESCRIPTION, ReadControl(hMain, IDC_DESCRIPTION));
        nOver = TextOverflow(GetDlgItem(hCopy, IDC_DESCRIPTION));
        DestroyWindow(hCopy);
    }
    if (hExe)
        FreeLibrary(hExe);
    return nOver;
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
