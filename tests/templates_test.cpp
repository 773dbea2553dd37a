/* templates_test.cpp - reads every dialog template and icon back out of the
 * built resources (a test manifest module and the sample quarnel.exe) and
 * compares them, byte field by byte field, with the layout the windows must
 * have; then shows each template once and saves a picture of it. */
#include <gtest/gtest.h>
#include "testsupport.h"

#include "fixed.h"
#include "logic.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

/* Class atoms of the predefined control classes. */
const WORD BUTTON = 0x80, EDIT = 0x81, STATIC = 0x82, LISTBOX = 0x83, COMBOBOX = 0x85;

struct Item {
    WORD wId;
    WORD wClass;
    const char *pszText;
    short x, y, cx, cy;
    DWORD dwStyle;
};

struct Template {
    const char *pszName;
    DWORD dwStyle;
    const char *pszCaption;
    short x, y, cx, cy;
    const char *pszFont;
    std::vector<Item> items;
};

const DWORD FRAME = 0x90C800C4;       /* popup, visible, caption, sysmenu, modal frame, set font, 3D */
const DWORD CHOOSER = 0x80C820C4;     /* the same without visible, with context help */
const char *const MS_SANS = "MS Sans Serif";

std::vector<Item> VerifyHead()
{
    return {
        {1, BUTTON, "OK", 164, 11, 43, 17, 0x50030001},
        {2, BUTTON, "Cancel", 164, 30, 43, 14, 0x50010000},
        {0xFFFF, STATIC, "Please verify that the following is correct:", 9, 12, 142, 14, 0x50020000},
        {0xFFFF, STATIC, "Full destination path:", 9, 37, 142, 10, 0x50020000},
    };
}

Template Verify(const char *pszName, short cy, std::vector<Item> rest)
{
    Template t = {pszName, FRAME, "Install Verification  ", 50, 70, 213, cy, MS_SANS, VerifyHead()};
    t.items.insert(t.items.end(), rest.begin(), rest.end());
    return t;
}

/* The four confirmations with one path: the full path field, then a note. */
Template Notice(const char *pszName, short cy, const char *pszNote, short cyNote)
{
    return Verify(pszName, cy, {
        {210, STATIC, "", 25, 50, 188, 14, 0x50020000},
        {0xFFFF, STATIC, pszNote, 9, 71, 188, cyNote, 0x50020000},
    });
}

std::vector<Template> Expected()
{
    std::vector<Template> v;
    v.push_back({"PARVEXDLG", FRAME, "Install", 0, 0, 219, 141, MS_SANS, {
        {201, EDIT, "", 8, 74, 144, 12, 0x50810080},
        {200, BUTTON, "Browse...", 167, 73, 45, 14, 0x50010000},
        {0xFFFF, STATIC, "Destination directory:", 8, 63, 112, 9, 0x50020000},
        {0xFFFF, STATIC, "Any subdirectories that do not exist will be created automatically.", 8, 93, 144, 19, 0x50020000},
        {202, BUTTON, "Install into Start Menu", 8, 120, 142, 11, 0x50010003},
        {0xFFFF, STATIC, "This program will install the following software into a directory of your choice:", 8, 10, 144, 19, 0x50020000},
        {1, BUTTON, "OK", 167, 11, 45, 17, 0x50030001},
        {2, BUTTON, "Cancel", 167, 30, 45, 14, 0x50010000},
        {0xFFFF, STATIC, "CARGO", 17, 34, 18, 20, 0x50000003},
        {203, STATIC, "", 43, 41, 117, 12, 0x50020000},
    }});
    v.push_back({"BROWSEDLG", CHOOSER, "Choose Directory", 36, 24, 205, 134, "Helv", {
        {1090, STATIC, "File &name:", 600, 6, 76, 9, 0x50020000},
        {1152, EDIT, "", 600, 16, 90, 12, 0x58800480},
        {1120, LISTBOX, "", 600, 32, 90, 68, 0x58A01053},
        {0xFFFF, STATIC, "&Directory:", 6, 6, 96, 9, 0x50020000},
        {1088, STATIC, "", 6, 18, 130, 9, 0x50020080},
        {1121, LISTBOX, "", 6, 32, 125, 68, 0x50A11053},
        {1089, STATIC, "List files of &type:", 600, 104, 90, 9, 0x50020000},
        {1136, COMBOBOX, "", 600, 114, 90, 36, 0x58A00043},
        {1091, STATIC, "Dri&ves:", 6, 104, 92, 9, 0x50020000},
        {1137, COMBOBOX, "", 6, 114, 125, 68, 0x50A10353},
        {1, BUTTON, "OK", 150, 6, 49, 17, 0x50030001},
        {2, BUTTON, "Cancel", 150, 26, 49, 14, 0x50030000},
        {1038, BUTTON, "&Help", 150, 46, 49, 14, 0x50030000},
        {1040, BUTTON, "&Read only", 150, 68, 49, 12, 0x50030002},
        {1037, BUTTON, "Net&work...", 808, 114, 50, 14, 0x58020000},
    }});
    v.push_back(Verify("VERIFYDLG", 106, {
        {210, STATIC, "", 25, 50, 188, 12, 0x50020000},
        {0xFFFF, STATIC, "Portion to create:", 9, 71, 142, 10, 0x50020000},
        {211, STATIC, "", 25, 84, 188, 14, 0x50020000},
    }));
    v.push_back(Notice("VERIFYDLGNOSUB", 93, "This path specifies an already existing directory.", 10));
    v.push_back(Notice("VERIFYDLGROOTDIR", 100, "WARNING: This path specifies a ROOT directory.  "
                       "Installing to a root directory is not recommended.", 21));
    v.push_back(Notice("VERIFYDLGWINDIR", 101, "WARNING: This path specifies the WINDOWS directory.  "
                       "Installing to the Windows directory is not recommended.", 25));
    v.push_back(Notice("VERIFYDLGSYSDIR", 107, "WARNING: This path specifies the WINDOWS SYSTEM directory.  "
                       "Installing to the Windows System directory is not recommended.", 28));
    v.push_back({"DISKSPACEDLG", FRAME, "Install  ", 50, 70, 185, 102, MS_SANS, {
        {1, BUTTON, "OK", 134, 13, 43, 17, 0x50030001},
        {0xFFFF, STATIC, "There is insufficient space on the drive you have specified.", 9, 12, 116, 20, 0x50020000},
        {210, STATIC, "AAAAA", 9, 41, 161, 14, 0x50020000},
        {211, STATIC, "AAAAA", 9, 60, 161, 14, 0x50020000},
        {212, STATIC, "AAAAA", 9, 79, 161, 14, 0x50020000},
    }});
    v.push_back({"WAITDLG", FRAME, "Install", 90, 70, 153, 79, MS_SANS, {
        {2, BUTTON, "Cancel", 54, 52, 45, 17, 0x50010001},
        {210, STATIC, "", 2, 14, 149, 9, 0x50020001},
        {211, STATIC, "", 9, 29, 134, 10, 0x50800000},
    }});
    return v;
}

/* ---- Reading a classic DLGTEMPLATE ---------------------------------------- */

/* A cursor over the resource bytes that refuses to read past the end. */
struct Reader {
    const BYTE *p;
    size_t cb;
    size_t pos;
    bool bBad;

    WORD Word()
    {
        if (pos + 2 > cb) { bBad = true; return 0; }
        WORD w = static_cast<WORD>(p[pos] | (p[pos + 1] << 8));
        pos += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD lo = Word();
        return lo | (static_cast<DWORD>(Word()) << 16);
    }
    short Short() { return static_cast<short>(Word()); }
    void AlignDword() { pos = (pos + 3) & ~static_cast<size_t>(3); }
    /* A NUL-terminated UTF-16 string; the tests only hold ASCII. */
    std::string String()
    {
        std::string s;
        for (WORD w = Word(); w && !bBad; w = Word())
            s += w < 0x80 ? static_cast<char>(w) : '?';
        return s;
    }
    /* Either a string or 0xFFFF and an ordinal, given as "#<number>". */
    std::string NameOrOrdinal()
    {
        if (pos + 2 <= cb && p[pos] == 0xFF && p[pos + 1] == 0xFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        return String();
    }
};

struct ParsedItem {
    DWORD dwStyle, dwExStyle;
    short x, y, cx, cy;
    WORD wId;
    std::string cls, text;
    WORD wExtra;
};

struct Parsed {
    DWORD dwStyle, dwExStyle;
    WORD wCount;
    short x, y, cx, cy;
    std::string menu, cls, caption, font;
    WORD wPoints;
    std::vector<ParsedItem> items;
    bool bTruncated;
};

Parsed ParseTemplate(const BYTE *p, size_t cb)
{
    Reader r = {p, cb, 0, false};
    Parsed d = {};
    d.dwStyle = r.Dword();
    d.dwExStyle = r.Dword();
    d.wCount = r.Word();
    d.x = r.Short(); d.y = r.Short(); d.cx = r.Short(); d.cy = r.Short();
    d.menu = r.NameOrOrdinal();
    d.cls = r.NameOrOrdinal();
    d.caption = r.String();
    if (d.dwStyle & DS_SETFONT) {
        d.wPoints = r.Word();
        d.font = r.String();
    }
    for (WORD i = 0; i < d.wCount && !r.bBad; ++i) {
        r.AlignDword();
        ParsedItem it = {};
        it.dwStyle = r.Dword();
        it.dwExStyle = r.Dword();
        it.x = r.Short(); it.y = r.Short(); it.cx = r.Short(); it.cy = r.Short();
        it.wId = r.Word();
        it.cls = r.NameOrOrdinal();
        it.text = r.NameOrOrdinal();
        it.wExtra = r.Word();
        r.pos += it.wExtra;
        d.items.push_back(it);
    }
    d.bTruncated = r.bBad;
    return d;
}

/* The bytes of one resource of the module, empty when it is missing. */
std::string ResourceBytes(HMODULE hMod, LPCSTR pszType, LPCSTR pszName)
{
    HRSRC hRes = FindResourceA(hMod, pszName, pszType);
    if (!hRes)
        return std::string();
    HGLOBAL hData = LoadResource(hMod, hRes);
    const void *pv = hData ? LockResource(hData) : NULL;
    if (!pv)
        return std::string();
    return std::string(static_cast<const char *>(pv), SizeofResource(hMod, hRes));
}

BOOL CALLBACK CollectLang(HMODULE, LPCSTR, LPCSTR, WORD wLang, LONG_PTR lParam)
{
    reinterpret_cast<std::vector<WORD> *>(lParam)->push_back(wLang);
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR pszName, LONG_PTR lParam)
{
    std::string name = IS_INTRESOURCE(pszName) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(pszName))
                                               : std::string(pszName);
    reinterpret_cast<std::set<std::string> *>(lParam)->insert(name);
    return TRUE;
}

std::vector<WORD> Languages(HMODULE hMod, LPCSTR pszType, LPCSTR pszName)
{
    std::vector<WORD> langs;
    EnumResourceLanguagesA(hMod, pszType, pszName, CollectLang, reinterpret_cast<LONG_PTR>(&langs));
    return langs;
}

std::string ClassName(WORD wAtom)
{
    return "#" + std::to_string(wAtom);
}

void CheckTemplate(HMODULE hMod, const Template &want)
{
    SCOPED_TRACE(want.pszName);
    std::string bytes = ResourceBytes(hMod, RT_DIALOG, want.pszName);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(Languages(hMod, RT_DIALOG, want.pszName), std::vector<WORD>{1033});

    /* Extended templates start with version 1 and signature 0xFFFF. */
    ASSERT_GE(bytes.size(), 4u);
    ASSERT_FALSE(bytes[2] == '\xFF' && bytes[3] == '\xFF') << "extended template";

    Parsed got = ParseTemplate(reinterpret_cast<const BYTE *>(bytes.data()), bytes.size());
    ASSERT_FALSE(got.bTruncated);
    EXPECT_EQ(got.dwStyle, want.dwStyle) << std::hex << got.dwStyle;
    EXPECT_EQ(got.dwExStyle, 0u);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
    EXPECT_EQ(got.menu, "");
    EXPECT_EQ(got.cls, "");
    EXPECT_EQ(got.caption, want.pszCaption);
    EXPECT_EQ(got.wPoints, 8);
    EXPECT_EQ(got.font, want.pszFont);
    ASSERT_EQ(got.wCount, want.items.size());
    for (size_t i = 0; i < want.items.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const Item &w = want.items[i];
        const ParsedItem &g = got.items[i];
        EXPECT_EQ(g.dwStyle, w.dwStyle) << std::hex << g.dwStyle;
        EXPECT_EQ(g.dwExStyle, 0u);
        EXPECT_EQ(g.x, w.x);
        EXPECT_EQ(g.y, w.y);
        EXPECT_EQ(g.cx, w.cx);
        EXPECT_EQ(g.cy, w.cy);
        EXPECT_EQ(g.wId, w.wId);
        EXPECT_EQ(g.cls, ClassName(w.wClass));
        EXPECT_EQ(g.text, w.pszText);
        EXPECT_EQ(g.wExtra, 0);
    }
}

HMODULE LoadExeAsData()
{
    std::string path = ExeDir() + "..\\quarnel.exe";
    return LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
}

void CheckAllTemplates(HMODULE hMod)
{
    std::set<std::string> names, wantNames;
    EnumResourceNamesA(hMod, RT_DIALOG, CollectName, reinterpret_cast<LONG_PTR>(&names));
    for (const Template &t : Expected()) {
        CheckTemplate(hMod, t);
        wantNames.insert(t.pszName);
    }
    /* Stored names are upper case and there are no others. */
    EXPECT_EQ(names, wantNames);
}

TEST(Templates, ManifestModuleCarriesEveryTemplateExactly)
{
    HMODULE hMod = UseManifest("manifest_ui");
    ASSERT_NE(hMod, nullptr);
    CheckAllTemplates(hMod);
}

TEST(Templates, InstallerCarriesEveryTemplateExactly)
{
    HMODULE hMod = LoadExeAsData();
    ASSERT_NE(hMod, nullptr);
    CheckAllTemplates(hMod);
    FreeLibrary(hMod);
}

TEST(Templates, DestinationDialogIsFoundUnderItsMixedCaseName)
{
    HMODULE hMod = UseManifest("manifest_ui");
    ASSERT_NE(hMod, nullptr);
    EXPECT_NE(FindResourceA(hMod, "ParvexDlg", RT_DIALOG), nullptr);
    EXPECT_NE(FindResourceExA(hMod, RT_DIALOG, "ParvexDlg", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
              nullptr);
}

/* ---- Icons ---------------------------------------------------------------- */

#pragma pack(push, 2)
struct GroupEntry {
    BYTE bWidth, bHeight, bColorCount, bReserved;
    WORD wPlanes, wBitCount;
    DWORD dwBytesInRes;
    WORD nId;
};
#pragma pack(pop)

void CheckIcon(HMODULE hMod, const char *pszName)
{
    SCOPED_TRACE(pszName);
    std::string group = ResourceBytes(hMod, RT_GROUP_ICON, pszName);
    ASSERT_EQ(group.size(), 6 + sizeof(GroupEntry));
    EXPECT_EQ(Languages(hMod, RT_GROUP_ICON, pszName), std::vector<WORD>{1033});
    const BYTE *pb = reinterpret_cast<const BYTE *>(group.data());
    EXPECT_EQ(pb[2] | (pb[3] << 8), 1);   /* type: icon */
    EXPECT_EQ(pb[4] | (pb[5] << 8), 1);   /* one image */
    GroupEntry e;
    memcpy(&e, pb + 6, sizeof(e));
    EXPECT_EQ(e.bWidth, 32);
    EXPECT_EQ(e.bHeight, 32);
    EXPECT_EQ(e.bColorCount, 16);
    EXPECT_EQ(e.wBitCount, 4);

    /* The image itself: 32 x 64 (colour over mask), 4 bpp, 16-entry palette,
       32 rows of 16 bytes of colour and 32 rows of 4 bytes of mask. */
    std::string image = ResourceBytes(hMod, RT_ICON, MAKEINTRESOURCEA(e.nId));
    ASSERT_EQ(image.size(), 40u + 16 * 4 + 32 * 16 + 32 * 4);
    BITMAPINFOHEADER bih;
    memcpy(&bih, image.data(), sizeof(bih));
    EXPECT_EQ(bih.biWidth, 32);
    EXPECT_EQ(bih.biHeight, 64);
    EXPECT_EQ(bih.biBitCount, 4);
    EXPECT_EQ(bih.biCompression, static_cast<DWORD>(BI_RGB));

    /* Something is drawn: several colours and both opaque and clear pixels. */
    std::set<int> colours;
    for (size_t i = 40 + 64; i < 40 + 64 + 512; ++i) {
        colours.insert(static_cast<BYTE>(image[i]) >> 4);
        colours.insert(static_cast<BYTE>(image[i]) & 15);
    }
    EXPECT_GE(colours.size(), 3u);
    std::string mask = image.substr(40 + 64 + 512);
    EXPECT_NE(mask, std::string(128, '\0'));
    EXPECT_NE(mask, std::string(128, '\xFF'));

    HICON hIcon = static_cast<HICON>(LoadImageA(hMod, pszName, IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(hIcon, nullptr);
    if (hIcon)
        DestroyIcon(hIcon);
}

TEST(Icons, BothGroupsHoldOne32By32SixteenColourImage)
{
    HMODULE hMod = UseManifest("manifest_ui");
    ASSERT_NE(hMod, nullptr);
    CheckIcon(hMod, "CARGO");
    CheckIcon(hMod, "QUARNEL");
    HMODULE hExe = LoadExeAsData();
    ASSERT_NE(hExe, nullptr);
    CheckIcon(hExe, "CARGO");
    CheckIcon(hExe, "QUARNEL");
    FreeLibrary(hExe);
}

/* ---- Showing the templates -------------------------------------------------- */

struct Shown {
    const char *pszName;   /* template shown; names the picture */
    int nFocusId;          /* control that had the focus once the dialog was up */
    bool bIconShown;       /* an SS_ICON control holds an icon */
    bool bSaved;
};

/* Posted when the dialog is shown (at once for a template that asks to be
   visible, else when the modal loop first has nothing to do), it arrives
   once the focus is set and the dialog is up. */
const UINT WM_SHOOT = WM_APP + 1;

BOOL CALLBACK FindIconControl(HWND hChild, LPARAM lParam)
{
    if ((GetWindowLongA(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        SendMessageA(hChild, STM_GETICON, 0, 0))
        *reinterpret_cast<bool *>(lParam) = true;
    return TRUE;
}

/* Lets the dialog manager set the focus, records what is up, saves a
   picture once painted and closes. */
INT_PTR CALLBACK ShowProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(hDlg, DWLP_USER, lParam);
        return TRUE;
    case WM_SHOWWINDOW:
        if (wParam)
            PostMessageA(hDlg, WM_SHOOT, 0, 0);
        return FALSE;
    case WM_SHOOT: {
        Shown *pShown = reinterpret_cast<Shown *>(GetWindowLongPtrA(hDlg, DWLP_USER));
        HWND hFocus = GetFocus();
        pShown->nFocusId = hFocus ? GetDlgCtrlID(hFocus) : 0;
        EnumChildWindows(hDlg, FindIconControl, reinterpret_cast<LPARAM>(&pShown->bIconShown));
        pShown->bSaved = SaveWindowBmp(hDlg, ScreenshotPath(pShown->pszName));
        EndDialog(hDlg, 1);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

Shown ShowTemplate(HMODULE hMod, const char *pszName)
{
    Shown shown = {pszName, 0, false, false};
    INT_PTR r = DialogBoxParamA(hMod, pszName, NULL, ShowProc, reinterpret_cast<LPARAM>(&shown));
    EXPECT_EQ(r, 1) << pszName;
    return shown;
}

/* Which control each window opens with the focus on: the first one that
   takes the keyboard, in template order. */
TEST(Templates, EachWindowOpensWithTheFocusWhereTheUserStarts)
{
    HMODULE hMod = UseManifest("manifest_ui");
    ASSERT_NE(hMod, nullptr);
    const struct { const char *pszName; int nFocusId; } cases[] = {
        {"PARVEXDLG", 201},
        {"VERIFYDLG", 1},
        {"VERIFYDLGNOSUB", 1},
        {"VERIFYDLGROOTDIR", 1},
        {"VERIFYDLGWINDIR", 1},
        {"VERIFYDLGSYSDIR", 1},
        {"DISKSPACEDLG", 1},
        {"BROWSEDLG", 1121},
    };
    for (const auto &c : cases) {
        Shown shown = ShowTemplate(hMod, c.pszName);
        EXPECT_EQ(shown.nFocusId, c.nFocusId) << c.pszName;
        EXPECT_TRUE(shown.bSaved) << c.pszName;
        EXPECT_EQ(shown.bIconShown, std::string(c.pszName) == "PARVEXDLG") << c.pszName;
    }
}


/* ---- The description field ---------------------------------------------- */

INT_PTR CALLBACK QuietProc(HWND, UINT uMsg, WPARAM, LPARAM)
{
    return uMsg == WM_INITDIALOG;
}

/* What the kit reckons of a description (the figures in fixed.h) against
   what the dialog measures on the display: the field's width, each
   character's width in the field's own font, and whether a text stays on
   the field's one line.  On a mismatch the measured table is printed in
   the form fixed.h keeps it.  The dialog asks for MS Sans Serif, which every
   Windows has and the test prefix carries (Wine's copy, with the metrics of
   Windows'); measured in a substitute face the figures would mean nothing. */
TEST(Templates, DescriptionFieldMeasuresAsTheKitReckons)
{
    HMODULE hMod = UseManifest("manifest_ui");
    ASSERT_NE(hMod, nullptr);
    HWND hDlg = CreateDialogParamA(hMod, "PARVEXDLG", NULL, QuietProc, 0);
    ASSERT_NE(hDlg, nullptr);
    HWND hField = GetDlgItem(hDlg, 203);
    RECT rcField;
    GetClientRect(hField, &rcField);
    EXPECT_EQ(rcField.right, DESCRIPTION_FIELD_PX);

    HDC hdc = GetDC(hField);
    HGDIOBJ hOld = SelectObject(hdc, reinterpret_cast<HGDIOBJ>(SendMessageA(hField, WM_GETFONT, 0, 0)));
    std::string table;
    bool bSame = true;
    for (int c = 32; c < 256; c++) {
        char ch = static_cast<char>(c);
        SIZE size = {0, 0};
        GetTextExtentPoint32A(hdc, &ch, 1, &size);
        bSame = bSame && size.cx == abDescriptionCharPx[c - 32];
        table += std::to_string(size.cx) + (c % 16 == 15 ? ",\n" : ", ");
    }
    TEXTMETRICA tm;
    GetTextMetricsA(hdc, &tm);
    char szFace[LF_FACESIZE] = "";
    GetTextFaceA(hdc, sizeof(szFace), szFace);
    EXPECT_STREQ(szFace, "MS Sans Serif");
    EXPECT_TRUE(bSame) << "field " << rcField.right << " x " << rcField.bottom << " px, font " << szFace
                       << " " << tm.tmHeight << " px high; characters 32 to 255:\n" << table;
    const char *const apszTexts[] = {
        "Quarnel Sample 1.0, a small demonstration product.",
        "Quarnel Sample 1.0, a demonstration",
        "Quarnel Sample 1.0",
        "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW",
        "iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii \xC4\xD6\xDC\xE9\xFF",
    };
    for (const char *psz : apszTexts) {
        SCOPED_TRACE(psz);
        SIZE size = {0, 0};
        GetTextExtentPoint32A(hdc, psz, lstrlenA(psz), &size);
        EXPECT_EQ(DescriptionWidthPx(psz), size.cx);
        /* The field wraps as DrawText does: one line exactly when it fits. */
        RECT rc = rcField;
        DrawTextA(hdc, psz, -1, &rc, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
        bool bOneLine = rc.bottom == tm.tmHeight && rc.right <= rcField.right;
        EXPECT_EQ(bOneLine, DescriptionWidthPx(psz) <= DESCRIPTION_FIELD_PX);
    }
    SelectObject(hdc, hOld);
    ReleaseDC(hField, hdc);
    DestroyWindow(hDlg);
}

}  // namespace
