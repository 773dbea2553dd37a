/* The manifest readers against real string tables, the macro expansion with
 * the Wine prefix's own Windows folders, and the error boxes. */
#include <gtest/gtest.h>

#include <string>

#include "resource.h"
#include "testsupport.h"
#include "manifest.h"

namespace {

enum {
    E_MINUS5 = IDS_INI_VALUE + 0,
    E_7X = IDS_INI_VALUE + 1,
    E_X = IDS_INI_VALUE + 2,
    E_TRUE_MIXED = IDS_INI_VALUE + 3,
    E_FALSE = IDS_INI_VALUE + 4,
    E_TRUE_BLANK = IDS_INI_VALUE + 5,
    E_EMPTY = IDS_INI_VALUE + 6,
    E_INT_32 = IDS_INI_VALUE + 7,      /* 29 blanks and 123: one character too long */
    E_TRUE_LONG = IDS_INI_VALUE + 8,   /* TRUE and 40 x */
    E_20000KB = IDS_INI_VALUE + 9,
    E_HUGE = IDS_INI_VALUE + 10,
    E_INT_31 = IDS_INI_VALUE + 11,     /* 28 blanks and 123: just fits */
    E_TEXT_1100 = IDS_INI_VALUE + 12,
    E_TEXT_1023 = IDS_INI_VALUE + 13,
    E_PRESENT = IDS_INI_VALUE + 14,
    E_OTHER = IDS_INI_VALUE + 15,
    E_EXPAND_LONG = IDS_INI_VALUE + 16, /* 1000 y and %D */
    E_ABSENT = IDS_INI_VALUE + 100,
};

class Readers : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(UseManifest("manifest_readers"), nullptr); }
};

std::string Alphabet(char cFirst, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; i++)
        s += static_cast<char>(cFirst + i % 26);
    return s;
}

std::string SystemDir()
{
    char sz[MAX_PATH];
    UINT n = GetSystemDirectoryA(sz, sizeof(sz));
    return std::string(sz, n);
}

std::string WindowsDir()
{
    char sz[MAX_PATH];
    UINT n = GetWindowsDirectoryA(sz, sizeof(sz));
    return std::string(sz, n);
}

} // namespace

TEST_F(Readers, LoadInt)
{
    EXPECT_EQ(LoadInt(E_MINUS5, 99), -5);
    EXPECT_EQ(LoadInt(E_7X, 99), 7);
    EXPECT_EQ(LoadInt(E_X, 99), 0);
    EXPECT_EQ(LoadInt(E_20000KB, 99), 20000);
    EXPECT_EQ(LoadInt(E_HUGE, 99), 2147483647);
    EXPECT_EQ(LoadInt(E_ABSENT, 99), 99);
    EXPECT_EQ(LoadInt(E_ABSENT, -3), -3);
    EXPECT_EQ(LoadInt(E_EMPTY, 42), 42);
    EXPECT_EQ(LoadInt(E_INT_31, 99), 123);
    EXPECT_EQ(LoadInt(E_INT_32, 99), 12) << "the read keeps 31 characters";
}

TEST_F(Readers, LoadBool)
{
    EXPECT_EQ(LoadBool(E_TRUE_MIXED, 0), 1);
    EXPECT_EQ(LoadBool(E_FALSE, 1), 0);
    EXPECT_EQ(LoadBool(E_TRUE_BLANK, 1), 0);
    EXPECT_EQ(LoadBool(E_TRUE_LONG, 1), 0);
    EXPECT_EQ(LoadBool(E_7X, 1), 0);
    EXPECT_EQ(LoadBool(E_ABSENT, 1), 1);
    EXPECT_EQ(LoadBool(E_ABSENT, 0), 0);
    EXPECT_EQ(LoadBool(E_ABSENT, 5), 5) << "the default comes back as passed";
    EXPECT_EQ(LoadBool(E_EMPTY, 7), 7);
}

TEST_F(Readers, LoadStrPresentAbsentEmpty)
{
    EXPECT_STREQ(LoadStr(E_PRESENT, "dflt"), "Present text");
    EXPECT_STREQ(LoadStr(E_ABSENT, "dflt"), "dflt");
    EXPECT_STREQ(LoadStr(E_EMPTY, "dflt"), "dflt");
    EXPECT_STREQ(LoadStr(E_ABSENT, ""), "");
}

TEST_F(Readers, LoadStrCutsAt1023)
{
    EXPECT_EQ(std::string(LoadStr(E_TEXT_1100, "")), Alphabet('a', 1023));
    EXPECT_EQ(std::string(LoadStr(E_TEXT_1023, "")), Alphabet('A', 1023));
}

TEST_F(Readers, LoadStrReturnsItsOneBuffer)
{
    char *pszDefault = LoadStr(E_ABSENT, "the default");
    EXPECT_STREQ(pszDefault, "the default");
    char *pszNext = LoadStr(E_PRESENT, "x");
    EXPECT_EQ(pszNext, pszDefault);
    EXPECT_STREQ(pszDefault, "Present text") << "the next read reuses the buffer";
    /* A default that is the buffer's own text survives the read. */
    EXPECT_STREQ(LoadStr(E_ABSENT, pszNext), "Present text");
}

TEST_F(Readers, ExpandedResultSurvivesPlainReadsAndBoxes)
{
    char *pszExpanded = LoadStrExpand(IDS_ITEM_DEST + 0, "", "C:\\APP\\");
    EXPECT_STREQ(pszExpanded, "C:\\APP\\bin\\tool.exe");
    char *pszPlain = LoadStr(E_OTHER, "");
    EXPECT_NE(pszPlain, pszExpanded);
    LoadInt(E_MINUS5, 0);
    LoadBool(E_TRUE_MIXED, 0);
    BoxAnswerer answerer({IDOK, IDOK});
    ErrBox(E_PRESENT, "x");
    FileErrBox(5);
    EXPECT_EQ(answerer.Stop().size(), 2u);
    EXPECT_STREQ(pszExpanded, "C:\\APP\\bin\\tool.exe");
    EXPECT_STREQ(LoadStrExpand(E_ABSENT, "%Dx", "D:\\"), "D:\\x");
    EXPECT_EQ(LoadStrExpand(E_ABSENT, "", "D:\\"), pszExpanded) << "one expansion buffer";
}

TEST_F(Readers, ExpansionTableWithThePrefixFolders)
{
    const std::string sys = SystemDir(), win = WindowsDir();
    ASSERT_FALSE(sys.empty());
    ASSERT_FALSE(win.empty());
    ASSERT_NE(win.back(), '\\');
    ASSERT_NE(sys.back(), '\\');
    struct Row { UINT uId; std::string result; } rows[] = {
        {IDS_ITEM_DEST + 0, "C:\\APP\\bin\\tool.exe"},
        {IDS_ITEM_DEST + 1, "help C:\\APP\\read.hlp"},
        {IDS_ITEM_DEST + 2, win + "\\win.ini"},
        {IDS_ITEM_DEST + 3, sys + "\\driver.dll"},
        {IDS_ITEM_DEST + 4, "aC:\\APP\\b" + win + "\\c"},
        {IDS_ITEM_DEST + 5, "100%x"},
        {IDS_ITEM_DEST + 6, "50%%"},
        {IDS_ITEM_DEST + 7, "%C:\\APP\\"},
        {IDS_ITEM_DEST + 8, "%d"},
        {IDS_ITEM_DEST + 9, "end%"},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(std::string(LoadStrExpand(row.uId, "", "C:\\APP\\")), row.result)
            << "entry " << row.uId;
        EXPECT_EQ(ExpandWasCut(), 0);
    }
}

TEST_F(Readers, ExpandStrAcceptsTheReadBuffer)
{
    char *pszFmt = LoadStr(IDS_ITEM_DEST + 4, "");
    EXPECT_STREQ(ExpandStr(pszFmt, "P\\"), ("aP\\b" + WindowsDir() + "\\c").c_str());
}

TEST_F(Readers, OverlongExpansionIsCutAndFlagged)
{
    const std::string path(100, 'p');
    char *psz = LoadStrExpand(E_EXPAND_LONG, "", path.c_str());
    EXPECT_EQ(ExpandWasCut(), 1);
    EXPECT_EQ(std::string(psz), std::string(1000, 'y') + std::string(23, 'p'));
    EXPECT_STREQ(LoadStrExpand(IDS_ITEM_DEST + 1, "", "C:\\"), "help C:\\read.hlp");
    EXPECT_EQ(ExpandWasCut(), 0) << "the flag describes the latest expansion";
    /* A default is expanded like an entry; 1023 characters still fit. */
    const std::string dflt = std::string(1020, 'd') + "%Dz";
    EXPECT_EQ(std::string(LoadStrExpand(E_ABSENT, dflt.c_str(), "ab")),
              std::string(1020, 'd') + "abz");
    EXPECT_EQ(ExpandWasCut(), 0);
    EXPECT_EQ(std::string(LoadStrExpand(E_ABSENT, dflt.c_str(), "abc")),
              std::string(1020, 'd') + "abc");
    EXPECT_EQ(ExpandWasCut(), 1);
}

/* ---- Error boxes ---------------------------------------------------------- */

namespace {

/* One box to raise: FileErrBox(nErr) when nErr >= 0, else ErrBox(uId, pszDefault). */
struct BoxCase {
    int nErr;
    UINT uId;
    const char *pszDefault;
    const char *pszText;    /* what the box must show */
};

/* Raises every box in turn, answers each with OK and checks what it showed. */
std::vector<SeenBox> ShowAndCheck(const std::vector<BoxCase> &cases)
{
    BoxAnswerer answerer(std::vector<int>(cases.size(), IDOK));
    for (const BoxCase &c : cases) {
        if (c.nErr >= 0)
            FileErrBox(static_cast<UINT>(c.nErr));
        else
            ErrBox(c.uId, c.pszDefault);
    }
    std::vector<SeenBox> seen = answerer.Stop();
    EXPECT_EQ(seen.size(), cases.size());
    for (size_t i = 0; i < seen.size() && i < cases.size(); i++) {
        SCOPED_TRACE("box " + std::to_string(i) + ", code " + std::to_string(cases[i].nErr) +
                     ", id " + std::to_string(cases[i].uId));
        EXPECT_TRUE(seen[i].bFound);
        EXPECT_EQ(seen[i].caption, "Installer");
        EXPECT_EQ(seen[i].text, cases[i].pszText);
        EXPECT_EQ(seen[i].icon, "error");
        EXPECT_EQ(seen[i].buttons, std::vector<int>{IDOK});
    }
    return seen;
}

} // namespace

TEST_F(Readers, ErrBoxShowsEntryOrDefault)
{
    std::vector<SeenBox> seen = ShowAndCheck({
        {-1, E_PRESENT, "unused default", "Present text"},
        {-1, E_ABSENT, "Attempt to make icons failed.", "Attempt to make icons failed."},
        {-1, E_EMPTY, "Didn't work.  Sorry.", "Didn't work.  Sorry."},
    });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].hOwner, (HWND)NULL) << "no active window, no owner";
}

TEST_F(Readers, FileErrBoxEveryCode)
{
    ShowAndCheck({
        {0, 0, NULL, "An unusual file creation error occured."},
        {2, 0, NULL, "An unusual file creation error occured."},
        {3, 0, NULL, "Path invalid."},
        {4, 0, NULL, "There are too many open files."},
        {5, 0, NULL, "Access denied."},
        {15, 0, NULL, "Invalid drive."},
        {19, 0, NULL, "A write protect error occured."},
        {32, 0, NULL, "A sharing violation occured."},
        {33, 0, NULL, "A locking violation occured."},
        {53, 0, NULL, "A network error occured."},
        {54, 0, NULL, "A network error occured."},
        {58, 0, NULL, "A network error occured."},
        {59, 0, NULL, "A network error occured."},
        {65, 0, NULL, "A network error occured."},
        {80, 0, NULL, "An unusual file creation error occured."},
    });
}

TEST(ErrBoxOverride, ManifestTextServesEveryUseOfAnId)
{
    ASSERT_NE(UseManifest("manifest_readers_override"), nullptr);
    ShowAndCheck({
        {3, 0, NULL, "Manifest text for 303."},
        {-1, MSG_SUBDIR, "Subdirectory creation failed.", "Manifest text for 303."},
        {58, 0, NULL, "Manifest network text."},
        {5, 0, NULL, "Access denied."},
        {-1, MSG_BUILD_FAILED, "Didn't work.  Sorry.", "The package could not be built."},
    });
}

TEST(ErrBoxOwner, OwnedByTheActiveWindow)
{
    ASSERT_NE(UseManifest("manifest_readers"), nullptr);
    HWND hWnd = CreateWindowExA(0, "STATIC", "Owner test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                10, 200, 100, NULL, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(hWnd, (HWND)NULL);
    SetActiveWindow(hWnd);
    if (GetActiveWindow() != hWnd) {
        DestroyWindow(hWnd);
        GTEST_SKIP() << "the display did not activate the window";
    }
    BoxAnswerer answerer({IDOK});
    ErrBox(E_PRESENT, "");
    std::vector<SeenBox> seen = answerer.Stop();
    DestroyWindow(hWnd);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].hOwner, hWnd);
}
