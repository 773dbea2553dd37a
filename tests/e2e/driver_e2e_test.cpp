/* driver_e2e_test.cpp - the installer driven like a user drives it: each
 * test starts a test product's quarnel.exe, works its windows from outside
 * (typing, pressing, answering boxes) and checks what it shows and what
 * ends up on disk, in INI files and in the Start Menu. */
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>

#include "e2e_session.h"
#include <dlgs.h>

#include "resource.h"

namespace {

const char *const TEXT_VERIFY = "Please verify that the following is correct:";
const char *const TEXT_FULLPATH = "Full destination path:";
const char *const TEXT_EXISTING = "This path specifies an already existing directory.";
const char *const TEXT_ROOT =
    "WARNING: This path specifies a ROOT directory.  Installing to a root directory is not "
    "recommended.";
const char *const TEXT_WINDIR =
    "WARNING: This path specifies the WINDOWS directory.  Installing to the Windows directory "
    "is not recommended.";
const char *const TEXT_SYSDIR =
    "WARNING: This path specifies the WINDOWS SYSTEM directory.  Installing to the Windows "
    "System directory is not recommended.";

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return (char)toupper((unsigned char)c); });
    return s;
}

std::string NoSlash(std::string s)
{
    if (!s.empty() && s.back() == '\\')
        s.pop_back();
    return s;
}

std::string Exe(const char *pszProduct)
{
    return ProductDir(pszProduct) + "quarnel.exe";
}

/* A product whose package holds one record per text. */
void GivePackage(const char *pszProduct, const char *pszPkg, const std::vector<std::string> &records)
{
    ASSERT_TRUE(WritePackage(ProductDir(pszProduct) + pszPkg, records));
}

bool IsChecked(HWND hDlg, int nId)
{
    return SendMessageA(GetDlgItem(hDlg, nId), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ExpectBox(const SeenBox &box, const char *pszCaption, const std::string &text, const char *pszIcon)
{
    EXPECT_TRUE(box.bFound);
    EXPECT_EQ(box.caption, pszCaption);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.icon, pszIcon);
}

/* Cancels the destination dialog and expects the installer to end with 0. */
void CancelAndExit(Installer &inst, HWND hMain)
{
    ASSERT_TRUE(inst.Answer(hMain, IDCANCEL));
    EXPECT_EQ(inst.Exit(), 0);
}

struct FileTimer {
    std::string path;
};

/* The follow-up command's marker with its whole line in it. */
bool MarkerWritten(void *pv)
{
    return ReadBytes(static_cast<FileTimer *>(pv)->path) == "done\r\n";
}

/* The chooser names its folder once it has read it. */
struct FolderShown {
    HWND hChooser;
    std::string upperWant;
};

bool ChooserShows(void *pv)
{
    FolderShown *p = static_cast<FolderShown *>(pv);
    return Upper(ReadControl(p->hChooser, stc1)) == p->upperWant;
}

bool DirThere(void *pv)
{
    return DirExists(static_cast<FileTimer *>(pv)->path);
}

const std::string README = "Read me first.\r\nThe full test product.\r\n";
const std::string NOTE = "A note shared in the Windows directory.\r\n";

/* The full product's package, built by its own quarnel.exe in builder mode
   from a script that lists the items in manifest order. */
void BuildFullPackage(std::string *pBig)
{
    const std::string dir = ProductDir("full");
    pBig->assign(24 * 1024 * 1024, '\0');
    for (size_t k = 0; k < pBig->size(); k++)
        (*pBig)[k] = static_cast<char>((k * 7 + k / 4096) & 0xFF);
    ASSERT_TRUE(WriteBytes(dir + "BIG.BIN", *pBig));
    ASSERT_TRUE(WriteBytes(dir + "NOTE.TXT", NOTE));
    ASSERT_TRUE(WriteBytes(dir + "README.TXT", README));
    ASSERT_TRUE(WriteBytes(dir + "full.qps", "Full product\r\n*###\r\nPACKAGE# \"FULL.PKG\"\r\n"
                                             "ITEM# \"BIG.BIN\"\r\nITEM# \"NOTE.TXT\"\r\n"
                                             "ITEM# \"README.TXT\"\r\n"));
    DeleteFileA((dir + "FULL.PKG").c_str());
    ASSERT_EQ(RunProcess("\"" + Exe("full") + "\" full.qps", dir, 60000), 0);
    ASSERT_EQ(ReadBytes(dir + "FULL.PKG").size(), 12 + pBig->size() + NOTE.size() + README.size());
}

} // namespace

TEST(Install, FullProductEndToEnd)
{
    std::string big;
    BuildFullPackage(&big);
    ASSERT_FALSE(HasFatalFailure());

    const std::string base = ScratchDir("full");
    const std::string dest = base + "APP\\SUB\\";
    const std::string note = WindowsDir() + "qe2e_full.txt";
    const std::string ini = WindowsDir() + "qe2e_full.ini";
    ASSERT_TRUE(WriteBytes(note, "old note"));
    ASSERT_TRUE(WriteBytes(ini, "[Main]\r\nKeyA=old-a\r\nKeyNEmpty=\r\nKeyNKeep=kept\r\n"
                                "KeyPYes=p-yes-old\r\nKeyPNo=p-no-old\r\nKeyLower=lower-old\r\n"));
    const std::string group = ProgramsDir() + "Quarnel E2E Full\\";
    RemoveTree(group);
    ASSERT_TRUE(WaitForProgramManager(30000));

    Installer inst(Exe("full"));
    ASSERT_TRUE(inst.Started());
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    EXPECT_EQ(ReadControl(hMain, IDC_DESTDIR), "C:\\QFULL");
    EXPECT_EQ(ReadControl(hMain, IDC_DESCRIPTION), "Quarnel Full Test 2.5");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hMain, IDC_STARTMENU)));
    EXPECT_TRUE(IsChecked(hMain, IDC_STARTMENU));
    EXPECT_EQ(inst.FocusId(), IDC_DESTDIR);
    Shot(hMain, "e2e-destination");

    /* Typed without its trailing backslash: OK adds it. */
    inst.TypeAndOk(hMain, base + "APP\\SUB");
    HWND hVerify = inst.Confirmation();
    ASSERT_TRUE(hVerify != NULL);
    std::vector<std::string> expected = {"OK", "Cancel", TEXT_VERIFY, TEXT_FULLPATH, dest,
                                         "Portion to create:", "APP\\SUB\\"};
    EXPECT_EQ(ChildTexts(hVerify), expected);
    EXPECT_EQ(inst.FocusId(), IDOK);
    EXPECT_EQ(inst.FocusCaption(), CAPTION_VERIFY);
    Shot(hVerify, "e2e-verify");
    ASSERT_TRUE(inst.Answer(hVerify, IDOK));

    /* The big first item keeps the progress window up long enough to look. */
    HWND hProgress = inst.Progress();
    ASSERT_TRUE(hProgress != NULL);
    EXPECT_EQ(inst.FocusId(), IDCANCEL);
    EXPECT_EQ(inst.FocusCaption(), CAPTION_MAIN);
    EXPECT_FALSE(IsWindowEnabled(hMain));
    Shot(hProgress, "e2e-progress");

    SeenBox ovr = inst.NextBox();
    ExpectBox(ovr, "Parvex", "Replace " + note + "?", "question");
    EXPECT_EQ(ovr.buttons, (std::vector<int>{IDYES, IDNO, IDCANCEL}));
    EXPECT_EQ(ReadControl(hProgress, IDC_STATUS), "Copying  Big Data");
    Shot(ovr.hWnd, "e2e-overwrite");
    ASSERT_TRUE(inst.Answer(ovr.hWnd, IDYES));

    SeenBox ask1 = inst.NextBox();
    ExpectBox(ask1, "Parvex", "Change p-yes-old to p-yes-new?", "question");
    Shot(ask1.hWnd, "e2e-ini-prompt");
    ASSERT_TRUE(inst.Answer(ask1.hWnd, IDYES));
    SeenBox ask2 = inst.NextBox();
    ExpectBox(ask2, "Parvex", "Change p-no-old to p-no-new?", "question");
    ASSERT_TRUE(inst.Answer(ask2.hWnd, IDNO));

    SeenBox done = inst.NextBox(30000);
    ExpectBox(done, "Installer", "Full product is installed.", "information");
    /* The shell opened a folder window for the new group; it may stand over
       the box, so it is closed before the box is photographed. */
    CloseWindowsTitled("Quarnel E2E Full", 4000);
    Shot(done.hWnd, "e2e-complete");
    ASSERT_TRUE(inst.Answer(done.hWnd, IDOK));
    EXPECT_EQ(inst.Exit(), 0);

    /* Items, with their dates, and the subdirectories. */
    EXPECT_TRUE(DirExists(dest + "DATA\\DEEP"));
    EXPECT_EQ(ReadBytes(dest + "README.TXT"), README);
    EXPECT_TRUE(ReadBytes(dest + "DATA\\DEEP\\BIG.BIN") == big);
    EXPECT_EQ(ReadBytes(note), NOTE);
    EXPECT_EQ(CreationDate(dest + "README.TXT"), "19980909");
    EXPECT_EQ(CreationDate(dest + "DATA\\DEEP\\BIG.BIN"), "20010615");

    /* INI changes under each rule. */
    EXPECT_EQ(IniValue(ini, "Main", "KeyA"), "alpha");
    EXPECT_EQ(IniValue(ini, "Main", "KeyNAbsent"), "n-absent");
    EXPECT_EQ(IniValue(ini, "Main", "KeyNEmpty"), "n-empty");
    EXPECT_EQ(IniValue(ini, "Main", "KeyNKeep"), "kept");
    EXPECT_EQ(IniValue(ini, "Main", "KeyPYes"), "p-yes-new");
    EXPECT_EQ(IniValue(ini, "Main", "KeyPNo"), "p-no-old");
    EXPECT_EQ(IniValue(ini, "Main", "KeyLower"), "lower-new");
    EXPECT_EQ(IniValue(dest + "APP.INI", "Install", "Path"), dest);

    /* The program group, its item pointing into the destination. */
    EXPECT_TRUE(DirExists(group)) << group;
    EXPECT_EQ(Upper(LinkTarget(group + "Full Read Me.lnk")), Upper(dest + "README.TXT"));

    /* The follow-up command ran in the destination's terms. */
    FileTimer marker = {dest + "marker.txt"};
    EXPECT_TRUE(WaitUntil(MarkerWritten, &marker, 15000));
    EXPECT_EQ(ReadBytes(marker.path), "done\r\n");

    DeleteFileA(note.c_str());
    DeleteFileA(ini.c_str());
}

/* ---- Confirmations ------------------------------------------------------- */

namespace {

struct ConfirmCase {
    const char *pszName;
    const char *pszProduct;
    std::string typed;
    std::string shown;        /* field 210 */
    std::vector<std::string> tail;  /* the template's texts after the path */
    bool bIgnoreCase;         /* the system spells its own folders */
    std::vector<std::string> env;
};

const char *const TEXT_PORTION = "Portion to create:";

/* Folders on drive C for destinations typed with slashes (C:/qe2e-fwd/APP),
   and below DECOY the same names again: what a reading relative to drive
   C's current directory, which the cases set to DECOY, would find. */
const std::string FWD_TOP = "C:\\qe2e-fwd\\";
const std::string FWD_DECOY = FWD_TOP + "DECOY";

void MakeForwardSlashFolders()
{
    RemoveTree(FWD_TOP);
    for (const std::string &d : {FWD_TOP + "APP", FWD_DECOY + "\\qe2e-fwd\\APP\\NEW",
                                 FWD_DECOY + "\\qe2e-fwd\\NEW"})
        ASSERT_EQ(SHCreateDirectoryExA(NULL, d.c_str(), NULL), ERROR_SUCCESS) << d;
}

/* Names whose last byte, the second of a double-byte character in code
   page 932, is a backslash: "\x95\x5C" (hyo, table), "\x83\x5C" (so). */
#define HYO "\x95\x5C"
#define SO "\x83\x5C"

/* The cases that run in a process of a Japanese locale (the test list runs
   them there); elsewhere they cannot type their names. */
bool InJapaneseRun()
{
    return getenv("QUARNEL_EXPECT_ACP") != NULL;
}

std::vector<ConfirmCase> ConfirmCases()
{
    const std::string existing = ScratchDir("existing");
    const std::string win = WindowsDir(), sys = SystemDir();
    MakeForwardSlashFolders();
    const std::vector<std::string> fwdEnv = {"=C:=" + FWD_DECOY};
    return {
        {"existing", "basic", existing, existing, {TEXT_EXISTING}, false, {}},
        {"root", "basic", "C:\\", "C:\\", {TEXT_ROOT}, false, {}},
        {"windows", "basic", Upper(NoSlash(win)), win, {TEXT_WINDIR}, true, {}},
        {"system", "basic", NoSlash(sys), sys, {TEXT_SYSDIR}, true, {}},
        {"root-unwarned", "partial", "C:\\", "C:\\", {TEXT_EXISTING}, false, {}},
        /* "C:" keeps no backslash: it means the current directory of C:. */
        {"drive-only", "basic", "C:", win, {TEXT_WINDIR}, true, {"=C:=" + NoSlash(win)}},
        /* Slashes after the drive are read as the platform reads them:
           from the drive's root, not from its current directory. */
        {"slashes", "basic", "C:/qe2e-fwd/APP", FWD_TOP + "APP\\", {TEXT_EXISTING}, false, fwdEnv},
        {"slashes-new", "basic", "C:/qe2e-fwd/APP\\NEW", FWD_TOP + "APP\\NEW\\",
         {TEXT_PORTION, "NEW\\"}, false, fwdEnv},
    };
}

std::vector<ConfirmCase> JapaneseCases()
{
    const std::string base = ScratchDir("japanese");
    if (InJapaneseRun()) {
        EXPECT_TRUE(CreateDirectoryA((base + HYO).c_str(), NULL));
    }
    return {
        {"japanese", "basic", base + HYO, base + HYO "\\", {TEXT_EXISTING}, false, {}},
        {"japanese-new", "basic", base + HYO "\\" SO, base + HYO "\\" SO "\\",
         {TEXT_PORTION, SO "\\"}, false, {}},
    };
}

void CheckConfirmation(const ConfirmCase &c)
{
    SCOPED_TRACE(c.pszName);
    Installer inst(Exe(c.pszProduct), c.env);
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    inst.TypeAndOk(hMain, c.typed);

    HWND hVerify = inst.Confirmation();
    ASSERT_TRUE(hVerify != NULL);
    std::vector<std::string> texts = ChildTexts(hVerify);
    ASSERT_EQ(texts.size(), 5u + c.tail.size());
    EXPECT_EQ(texts[0], "OK");
    EXPECT_EQ(texts[1], "Cancel");
    EXPECT_EQ(texts[2], TEXT_VERIFY);
    EXPECT_EQ(texts[3], TEXT_FULLPATH);
    EXPECT_EQ(c.bIgnoreCase ? Upper(texts[4]) : texts[4], c.bIgnoreCase ? Upper(c.shown) : c.shown);
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 5, texts.end()), c.tail);
    EXPECT_EQ(inst.FocusId(), IDOK);
    Shot(hVerify, std::string("e2e-confirm-") + c.pszName);

    ASSERT_TRUE(inst.Answer(hVerify, IDCANCEL));
    EXPECT_TRUE(IsWindowEnabled(hMain));
    EXPECT_EQ(ReadControl(hMain, IDC_DESTDIR), c.typed);
    CancelAndExit(inst, hMain);
}

} // namespace

class Confirmations : public ::testing::TestWithParam<int> {};

TEST_P(Confirmations, ShowTheirTextsAndCancelBack)
{
    CheckConfirmation(ConfirmCases()[GetParam()]);
    RemoveTree(FWD_TOP);
}

INSTANTIATE_TEST_SUITE_P(Five, Confirmations, ::testing::Range(0, 8));

/* An existing folder with a double-byte name ending in the byte of a
   backslash is found as existing, and a new part below it is offered
   alone, in a process of a Japanese locale. */
class JapaneseConfirmations : public ::testing::TestWithParam<int> {};

TEST_P(JapaneseConfirmations, FindDoubleByteNamesWhole)
{
    if (!InJapaneseRun())
        GTEST_SKIP() << "run from the test list in a Japanese locale";
    ASSERT_EQ(GetACP(), (UINT)atoi(getenv("QUARNEL_EXPECT_ACP"))) << "the locale did not reach the test";
    CheckConfirmation(JapaneseCases()[GetParam()]);
}

INSTANTIATE_TEST_SUITE_P(CodePage932, JapaneseConfirmations, ::testing::Range(0, 2));

/* ---- Refused destinations -------------------------------------------------- */

TEST(Refused, InvalidDriveAndInvalidNameAreReported)
{
    const char cFree = FreeDriveLetter();
    ASSERT_NE(cFree, 0) << "the test needs a drive letter that names no drive";
    const std::string base = ScratchDir("refused");
    struct {
        std::string typed;
        const char *pszText;
    } cases[] = {
        {std::string(1, cFree) + ":\\NEW", "The selected drive is invalid."},
        {base + "BAD NAME", "The entered path is invalid."},
        {base + "OK\\.HIDDEN", "The entered path is invalid."},
        {base + "A.B.C", "The entered path is invalid."},
        /* Candidates end at a backslash only: the slash stays in the part
           to create, though drive C's current directory holds qe2e-fwd\NEW. */
        {"C:/qe2e-fwd/NEW", "The entered path is invalid."},
    };
    MakeForwardSlashFolders();
    Installer inst(Exe("basic"), {"=C:=" + FWD_DECOY});
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        inst.TypeAndOk(hMain, c.typed);
        SeenBox box = inst.NextBox();
        ExpectBox(box, "Installer", c.pszText, "error");
        EXPECT_EQ(box.hOwner, hMain);
        ASSERT_TRUE(inst.Answer(box.hWnd, IDOK));
        EXPECT_TRUE(IsWindowEnabled(hMain));
    }
    EXPECT_FALSE(DirExists(base + "BAD NAME"));
    EXPECT_FALSE(DirExists(base + "OK"));
    EXPECT_FALSE(DirExists(FWD_TOP + "NEW"));
    CancelAndExit(inst, hMain);
    RemoveTree(FWD_TOP);
}

TEST(Refused, TooLittleSpaceShowsTheNoticeAndReturns)
{
    RemoveTree("C:\\QSPACE");
    Installer inst(Exe("space"));
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    inst.TypeAndOk(hMain, "C:\\QSPACE");

    HWND hSpace = inst.SpaceNotice();
    ASSERT_TRUE(hSpace != NULL);
    ULARGE_INTEGER free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &free, NULL, NULL));
    std::vector<std::string> texts = ChildTexts(hSpace);
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], "OK");
    EXPECT_EQ(texts[1], "There is insufficient space on the drive you have specified.");
    EXPECT_EQ(texts[2], "DRIVE C:");
    EXPECT_EQ(texts[3], "Space Required: 2100000000 KB");
    const std::string avail = texts[4];
    ASSERT_EQ(avail.compare(0, 17, "Space Available: "), 0) << avail;
    ASSERT_EQ(avail.substr(avail.size() - 3), " KB");
    double shown = atof(avail.c_str() + 17), real = (double)(free.QuadPart / 1024);
    EXPECT_NEAR(shown, real, real * 0.01 + 1024);
    EXPECT_EQ(inst.FocusId(), IDOK);
    EXPECT_EQ(inst.FocusCaption(), CAPTION_SPACE);
    Shot(hSpace, "e2e-diskspace");

    ASSERT_TRUE(inst.Answer(hSpace, IDOK));
    EXPECT_TRUE(inst.Confirmation(1000) == NULL);
    EXPECT_TRUE(IsWindowEnabled(hMain));
    EXPECT_FALSE(DirExists("C:\\QSPACE"));
    CancelAndExit(inst, hMain);
}

/* ---- Start Menu ---------------------------------------------------------- */

TEST(StartMenu, NoCommandsMeansNoBoxAndNoGroup)
{
    GivePackage("basic", "BASIC.PKG", {"basic text"});
    const std::string dest = ScratchDir("basic") + "INTO\\";
    RemoveTree(ProgramsDir() + "Quarnel E2E Basic");
    Installer inst(Exe("basic"));
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hMain, IDC_STARTMENU)));
    EXPECT_FALSE(IsChecked(hMain, IDC_STARTMENU));
    inst.TypeAndOk(hMain, dest);
    ASSERT_TRUE(inst.Answer(inst.Confirmation(), IDOK));
    EXPECT_EQ(inst.Exit(), 0);
    EXPECT_EQ(ReadBytes(dest + "BASIC.TXT"), "basic text");
    EXPECT_FALSE(DirExists(ProgramsDir() + "Quarnel E2E Basic"));
}

TEST(StartMenu, BoxSwitchedOffMeansNoGroup)
{
    GivePackage("partial", "PARTIAL.PKG", {"partial text"});
    const std::string dest = ScratchDir("partial-off");
    const std::string group = ProgramsDir() + "Quarnel E2E Partial";
    RemoveTree(group);
    Installer inst(Exe("partial"));
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    ASSERT_TRUE(IsChecked(hMain, IDC_STARTMENU));
    SendMessageA(GetDlgItem(hMain, IDC_STARTMENU), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsChecked(hMain, IDC_STARTMENU));
    inst.TypeAndOk(hMain, dest);
    ASSERT_TRUE(inst.Answer(inst.Confirmation(), IDOK));
    EXPECT_EQ(inst.Exit(), 0);
    EXPECT_EQ(ReadBytes(dest + "PARTIAL.TXT"), "partial text");
    EXPECT_FALSE(DirExists(group));
}

TEST(StartMenu, EmptyCommandIsReportedAfterTheEarlierOnes)
{
    GivePackage("partial", "PARTIAL.PKG", {"partial text"});
    const std::string dest = ScratchDir("partial-on");
    const std::string group = ProgramsDir() + "Quarnel E2E Partial";
    RemoveTree(group);
    ASSERT_TRUE(WaitForProgramManager(30000));
    Installer inst(Exe("partial"));
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    inst.TypeAndOk(hMain, dest);
    ASSERT_TRUE(inst.Answer(inst.Confirmation(), IDOK));
    SeenBox box = inst.NextBox();
    ExpectBox(box, "Installer", "Attempt to make icons failed.", "error");
    ASSERT_TRUE(inst.Answer(box.hWnd, IDOK));
    EXPECT_EQ(inst.Exit(), 0);
    EXPECT_TRUE(DirExists(group));
    CloseWindowsTitled("Quarnel E2E Partial", 4000);
    RemoveTree(group);
}

TEST(StartMenu, ServiceNobodyServesIsReportedAndInstallCompletes)
{
    GivePackage("nobody", "NOBODY.PKG", {"nobody text"});
    const std::string dest = ScratchDir("nobody");
    Installer inst(Exe("nobody"));
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    EXPECT_EQ(ReadControl(hMain, IDC_DESCRIPTION), "");
    inst.TypeAndOk(hMain, dest);
    ASSERT_TRUE(inst.Answer(inst.Confirmation(), IDOK));
    SeenBox box = inst.NextBox();
    ExpectBox(box, "Installer", "Nobody keeps the program groups here.", "error");
    ASSERT_TRUE(inst.Answer(box.hWnd, IDOK));
    SeenBox done = inst.NextBox();
    ExpectBox(done, "Installer", "Installation complete.", "information");
    ASSERT_TRUE(inst.Answer(done.hWnd, IDOK));
    EXPECT_EQ(inst.Exit(), 0);
    EXPECT_EQ(ReadBytes(dest + "NOBODY.TXT"), "nobody text");
}

/* ---- Browse, Cancel, retry ------------------------------------------------- */

TEST(Browse, StartsOneUpAndReturnsTheChosenDirectory)
{
    const std::string base = ScratchDir("browse");
    ASSERT_TRUE(CreateDirectoryA((base + "A").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((base + "A\\B").c_str(), NULL));
    Installer inst(Exe("basic"));
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    WriteControl(hMain, IDC_DESTDIR, base + "A\\B");
    PressButton(hMain, IDC_BROWSE);

    HWND hChooser = inst.Chooser();
    ASSERT_TRUE(hChooser != NULL);
    FolderShown shown = {hChooser, Upper(base + "A")};
    WaitUntil(ChooserShows, &shown, 5000);
    EXPECT_EQ(Upper(ReadControl(hChooser, stc1)), Upper(base + "A"));
    Shot(hChooser, "e2e-browse");
    ASSERT_TRUE(inst.Answer(hChooser, IDOK));
    EXPECT_EQ(Upper(ReadControl(hMain, IDC_DESTDIR)), Upper(base + "A\\"));

    /* Cancel leaves the field as it was. */
    WriteControl(hMain, IDC_DESTDIR, base + "A\\B");
    PressButton(hMain, IDC_BROWSE);
    hChooser = inst.Chooser();
    ASSERT_TRUE(hChooser != NULL);
    ASSERT_TRUE(inst.Answer(hChooser, IDCANCEL));
    EXPECT_EQ(ReadControl(hMain, IDC_DESTDIR), base + "A\\B");
    CancelAndExit(inst, hMain);
}

TEST(Browse, FromADriveRootStartsInThatDrivesCurrentDirectory)
{
    const std::string win = WindowsDir();
    Installer inst(Exe("basic"), {"=C:=" + NoSlash(win)});
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    WriteControl(hMain, IDC_DESTDIR, "C:\\");
    PressButton(hMain, IDC_BROWSE);
    HWND hChooser = inst.Chooser();
    ASSERT_TRUE(hChooser != NULL);
    FolderShown shown = {hChooser, Upper(NoSlash(win))};
    WaitUntil(ChooserShows, &shown, 5000);
    EXPECT_EQ(Upper(ReadControl(hChooser, stc1)), Upper(NoSlash(win)));
    ASSERT_TRUE(inst.Answer(hChooser, IDOK));
    EXPECT_EQ(Upper(ReadControl(hMain, IDC_DESTDIR)), Upper(win));
    CancelAndExit(inst, hMain);
}

TEST(Cancel, DestinationDialogCancelCreatesNothing)
{
    RemoveTree("C:\\QBASIC");
    Installer inst(Exe("basic"));
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    EXPECT_EQ(ReadControl(hMain, IDC_DESTDIR), "C:\\QBASIC");
    EXPECT_EQ(ReadControl(hMain, IDC_DESCRIPTION), "Basic Test Product");
    EXPECT_LE(inst.DescriptionOverflow(hMain), 0);
    CancelAndExit(inst, hMain);
    EXPECT_FALSE(DirExists("C:\\QBASIC"));
}

static bool DialogEnabled(void *pv)
{
    return IsWindowEnabled(static_cast<HWND>(pv)) != FALSE;
}

TEST(Retry, FailedCopyReturnsToTheDialogAndCanBeRetried)
{
    DeleteFileA((ProductDir("twoitems") + "TWO.PKG").c_str());
    const std::string dest = ScratchDir("retry") + "TWO\\";
    Installer inst(Exe("twoitems"));
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);

    /* No package at all: the copy ends without a word, the dialog comes back.
       The destination appears only once the dialog has disabled itself, so
       from then on "enabled" means enabled again. */
    inst.TypeAndOk(hMain, dest);
    ASSERT_TRUE(inst.Answer(inst.Confirmation(), IDOK));
    FileTimer created = {dest};
    ASSERT_TRUE(WaitUntil(DirThere, &created, 10000));
    EXPECT_TRUE(WaitUntil(DialogEnabled, hMain, 10000));
    EXPECT_FALSE(inst.NextBox(500).bFound);
    EXPECT_TRUE(DirExists(dest));
    EXPECT_FALSE(FileExists(dest + "FIRST.TXT"));

    /* A package one record short: reported, the first item stays. */
    GivePackage("twoitems", "TWO.PKG", {"first"});
    PressButton(hMain, IDOK);
    ASSERT_TRUE(inst.Answer(inst.Confirmation(), IDOK));
    SeenBox box = inst.NextBox();
    ExpectBox(box, "Installer", "The install package file is invalid.", "error");
    ASSERT_TRUE(inst.Answer(box.hWnd, IDOK));
    EXPECT_TRUE(WaitUntil(DialogEnabled, hMain, 10000));
    EXPECT_EQ(inst.FocusCaption(), CAPTION_MAIN);
    EXPECT_EQ(ReadBytes(dest + "FIRST.TXT"), "first");
    EXPECT_FALSE(FileExists(dest + "SECOND.TXT"));

    /* The whole package: the same destination, now existing, succeeds. */
    GivePackage("twoitems", "TWO.PKG", {"first again", "second"});
    PressButton(hMain, IDOK);
    HWND hVerify = inst.Confirmation();
    ASSERT_TRUE(hVerify != NULL);
    EXPECT_EQ(ReadControl(hVerify, IDC_FIELD0), dest);
    EXPECT_EQ(ChildTexts(hVerify).back(), TEXT_EXISTING);
    ASSERT_TRUE(inst.Answer(hVerify, IDOK));
    EXPECT_EQ(inst.Exit(), 0);
    EXPECT_EQ(ReadBytes(dest + "FIRST.TXT"), "first again");
    EXPECT_EQ(ReadBytes(dest + "SECOND.TXT"), "second");
}
