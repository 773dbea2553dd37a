/* drive_screen.cpp - one captured screen: its picture as a PNG, and every
 * control with text, measured in the control's own font.  Fonts belong to
 * their process, so the installer's dialogs are made again here, hidden,
 * from the installer's own templates, and each text is measured in the
 * twin of its control; a message box's controls use the system's message
 * font, which is the one a message box is drawn with. */
#include "drive.h"

#include <stdio.h>
#include <string.h>

#include "logic.h"
#include "watch.h"

static HMODULE hInstallerFile = NULL;
static std::vector<HWND> copies;   /* one hidden copy per dialog template */
static HFONT hMessageFont = NULL;
static HWND hTwinParent = NULL;    /* holds the twins of message box controls */
static int nScreens = 0;
static std::string screenDir;

static BOOL CALLBACK CopyTemplate(HMODULE hModule, LPCSTR, LPSTR pszName, LONG_PTR)
{
    HWND hCopy = HiddenDialogCopy(hModule, pszName);
    if (hCopy)
        copies.push_back(hCopy);
    return TRUE;
}

bool LoadTemplates(const std::string &installer)
{
    hInstallerFile = LoadLibraryExA(installer.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!hInstallerFile)
        return false;
    EnumResourceNamesA(hInstallerFile, RT_DIALOG, CopyTemplate, 0);
    NONCLIENTMETRICSA ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0))
        hMessageFont = CreateFontIndirectA(&ncm.lfMessageFont);
    hTwinParent = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    return true;
}

void FreeTemplates()
{
    for (HWND h : copies)
        DestroyWindow(h);
    copies.clear();
    if (hTwinParent)
        DestroyWindow(hTwinParent);
    if (hMessageFont)
        DeleteObject(hMessageFont);
    if (hInstallerFile)
        FreeLibrary(hInstallerFile);
    hTwinParent = NULL;
    hMessageFont = NULL;
    hInstallerFile = NULL;
}

void SetScreenDir(const std::string &outDir)
{
    screenDir = outDir;
    if (!screenDir.empty() && screenDir.back() != '\\')
        screenDir.push_back('\\');
}

namespace {

std::string ClassOf(HWND hWnd)
{
    char sz[256] = "";
    GetClassNameA(hWnd, sz, sizeof(sz));
    return sz;
}

BOOL CALLBACK CollectChild(HWND hChild, LPARAM lParam)
{
    std::vector<HWND> *pKids = reinterpret_cast<std::vector<HWND> *>(lParam);
    if (GetParent(hChild) == GetAncestor(hChild, GA_ROOT))
        pKids->push_back(hChild);
    return TRUE;
}

/* The direct children of a window, in z (template) order. */
std::vector<HWND> Children(HWND hWnd)
{
    std::vector<HWND> kids;
    EnumChildWindows(hWnd, CollectChild, reinterpret_cast<LPARAM>(&kids));
    return kids;
}

std::string SentText(HWND hCtrl)
{
    char sz[4096] = "";
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutA(hCtrl, WM_GETTEXT, sizeof(sz), reinterpret_cast<LPARAM>(sz), SMTO_ABORTIFHUNG,
                             5000, &n))
        return std::string();
    return std::string(sz, n < sizeof(sz) ? n : 0);
}

/* The copy made from the same template as hReal: same caption, the same
   controls (ID and class) in the same order, and of those the one whose
   fixed texts agree most (the five confirmations differ only in a text). */
HWND CopyOf(HWND hReal)
{
    std::vector<HWND> real = Children(hReal);
    HWND hBest = NULL;
    int nBest = -1;
    for (HWND hCopy : copies) {
        std::vector<HWND> twin = Children(hCopy);
        if (WindowText(hCopy) != WindowText(hReal) || twin.size() != real.size())
            continue;
        int nSame = 0;
        bool bAlike = true;
        for (size_t k = 0; k < real.size() && bAlike; k++) {
            bAlike = GetDlgCtrlID(real[k]) == GetDlgCtrlID(twin[k]) && ClassOf(real[k]) == ClassOf(twin[k]);
            nSame += SentText(twin[k]) == SentText(real[k]);
        }
        if (bAlike && nSame > nBest) {
            nBest = nSame;
            hBest = hCopy;
        }
    }
    return hBest;
}

/* Measures the text of hCtrl (another process's control) in the font of
   hTwin, a control of this process drawn the same way; without a twin, in
   a static or button made here with the message font. */
TextFit Measure(HWND hCtrl, HWND hTwin, const std::string &cls, const std::string &text)
{
    RECT rc = {};
    GetClientRect(hCtrl, &rc);
    DWORD dwStyle = static_cast<DWORD>(GetWindowLongA(hCtrl, GWL_STYLE));
    HWND hMade = NULL;
    if (!hTwin) {
        hMade = CreateWindowExA(0, cls.c_str(), "", (dwStyle & ~WS_VISIBLE) | WS_CHILD, 0, 0, rc.right, rc.bottom,
                                hTwinParent, NULL, NULL, NULL);
        if (hMade && hMessageFont)
            SendMessageA(hMade, WM_SETFONT, reinterpret_cast<WPARAM>(hMessageFont), FALSE);
        hTwin = hMade;
    }
    TextFit fit;
    if (hTwin)
        fit = MeasureText(hTwin, cls.c_str(), dwStyle, rc.right, rc.bottom, text);
    else
        fit.bClipped = true;   /* unmeasured counts as not fitting */
    if (hMade)
        DestroyWindow(hMade);
    return fit;
}

void RecordControls(int nScreen, HWND hWnd)
{
    RECT rcWnd = {};
    GetWindowRect(hWnd, &rcWnd);
    HWND hCopy = CopyOf(hWnd);
    std::vector<HWND> twins = hCopy ? Children(hCopy) : std::vector<HWND>();
    std::vector<HWND> kids = Children(hWnd);
    for (size_t k = 0; k < kids.size(); k++) {
        HWND hCtrl = kids[k];
        std::string cls = ClassOf(hCtrl), text = SentText(hCtrl);
        DWORD dwType = static_cast<DWORD>(GetWindowLongA(hCtrl, GWL_STYLE)) & SS_TYPEMASK;
        /* An icon or picture static's "text" names its picture. */
        bool bText = (_stricmp(cls.c_str(), "Static") == 0 && dwType <= SS_RIGHT) ||
                     (_stricmp(cls.c_str(), "Static") == 0 && (dwType == SS_SIMPLE || dwType == SS_LEFTNOWORDWRAP)) ||
                     _stricmp(cls.c_str(), "Button") == 0 || _stricmp(cls.c_str(), "Edit") == 0;
        if (!bText || text.empty() || !IsWindowVisible(hCtrl))
            continue;
        RECT rc = {};
        GetWindowRect(hCtrl, &rc);
        TextFit fit = Measure(hCtrl, k < twins.size() ? twins[k] : NULL, cls, text);
        WriteRecord("control", {std::to_string(nScreen), std::to_string(GetDlgCtrlID(hCtrl)), cls,
                                std::to_string(rc.left - rcWnd.left), std::to_string(rc.top - rcWnd.top),
                                std::to_string(rc.right - rc.left), std::to_string(rc.bottom - rc.top),
                                std::to_string(fit.cx), std::to_string(fit.cy), fit.bClipped ? "1" : "0", text});
    }
}

bool WritePng(const Picture &pic, const std::string &path)
{
    std::vector<uint32_t> px(pic.pixels.begin(), pic.pixels.end());
    size_t cb = EncodePng(pic.cx, pic.cy, px.data(), NULL, 0);
    std::vector<unsigned char> bytes(cb);
    if (cb == 0 || EncodePng(pic.cx, pic.cy, px.data(), bytes.data(), cb) != cb)
        return false;
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool bOk = fwrite(bytes.data(), 1, cb, f) == cb;
    return fclose(f) == 0 && bOk;
}

} // namespace

int CaptureScreen(HWND hWnd, int nRun)
{
    /* A window the shell opens meanwhile (a program group's folder) must
       not stand over the one being photographed. */
    SetWindowPos(hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Picture pic = CaptureWindow(hWnd);
    /* A window gone meanwhile left a picture of what was behind it. */
    if (pic.pixels.empty() || !IsWindow(hWnd) || !IsWindowVisible(hWnd))
        return 0;
    char szName[32];
    snprintf(szName, sizeof(szName), "%02d.png", nScreens + 1);
    if (!WritePng(pic, screenDir + szName))
        return 0;
    int nScreen = ++nScreens;
    WriteRecord("screen", {std::to_string(nScreen), std::to_string(nRun), szName, ClassOf(hWnd),
                           WindowText(hWnd), std::to_string(pic.cx), std::to_string(pic.cy)});
    RecordControls(nScreen, hWnd);
    return nScreen;
}
