/* The file-system helpers against a real file system: directory wrappers
 * and their character-set conversion, the split of a destination, directory
 * creation, drive checks and item dates.  Each test works in a scratch
 * folder of its own and puts the process's current directory back. */
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>

#include "filedir.h"
#include "testsupport.h"

namespace {

/* Remembers the current directory (and drive C's) and restores them. */
class FileDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_start = CurrentDir();
        m_scratch = ScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { SetCurrentDir(m_start); }

    /* The scratch folder without its trailing backslash, as the system
       reports a current directory. */
    std::string Bare(const std::string &dir) const
    {
        return dir.size() > 3 && dir.back() == '\\' ? dir.substr(0, dir.size() - 1) : dir;
    }
    void MakeDirs(const std::vector<std::string> &names)
    {
        for (const std::string &n : names)
            ASSERT_TRUE(CreateDirectoryA((m_scratch + n).c_str(), NULL)) << n;
    }
    /* Leaves drive C at C:\windows and the process in the scratch folder. */
    void ParkDriveC()
    {
        ASSERT_EQ(ChgDir("C:\\windows"), 0);
        ASSERT_EQ(ChgDir(m_scratch.c_str()), 0);
    }

    std::string m_start;
    std::string m_scratch;
};

struct Split {
    std::string root, sub, pathAfter;
};

/* Names whose last byte, the second of a double-byte character, is a
   backslash: code page 932 "\x83\x5C" (katakana so) and "\x95\x5C" (hyo,
   table); 936 "\xD5\x5C" (cheng). */
#define SO "\x83\x5C"
#define HYO "\x95\x5C"
#define CHENG "\xD5\x5C"

Split RunSplit(const std::string &path)
{
    char szPath[256], szRoot[256], szSub[256];
    memset(szRoot, 'x', sizeof(szRoot));
    memset(szSub, 'x', sizeof(szSub));
    strcpy(szPath, path.c_str());
    EXPECT_EQ(SplitPath(szPath, szRoot, szSub), 0u);
    return Split{szRoot, szSub, szPath};
}

} // namespace

/* ---- Directory wrappers -------------------------------------------------- */

TEST_F(FileDir, ChgDirAndMkDirReportZeroOrMinusOne)
{
    std::string dir = m_scratch + "NEW";
    EXPECT_EQ(MkDir(dir.c_str()), 0);
    EXPECT_TRUE(DirExists(dir));
    EXPECT_EQ(MkDir(dir.c_str()), -1) << "an existing directory is not created again";
    EXPECT_EQ(MkDir((m_scratch + "NOPARENT\\CHILD").c_str()), -1);
    EXPECT_EQ(CurrentDir(), m_start) << "MkDir moved the current directory";

    EXPECT_EQ(ChgDir(dir.c_str()), 0);
    EXPECT_EQ(CurrentDir(), dir);
    EXPECT_EQ(ChgDir((m_scratch + "MISSING").c_str()), -1);
    EXPECT_EQ(CurrentDir(), dir) << "a failed change moved the current directory";

    char sz[256];
    EXPECT_EQ(GetCurDir(sz), sz);
    EXPECT_STREQ(sz, dir.c_str());
    EXPECT_EQ(GetCurDrive(), 'Z' - 64);
}

TEST_F(FileDir, GetCurDirOnDriveKeepsEachDrivesDirectory)
{
    ParkDriveC();
    char sz[256];
    EXPECT_EQ(GetCurDirOnDrive(3, sz), sz);
    EXPECT_STREQ(sz, "C:\\windows");
    EXPECT_EQ(GetCurDirOnDrive(0, sz), sz);
    EXPECT_STREQ(sz, Bare(m_scratch).c_str());
    EXPECT_EQ(GetCurDirOnDrive(26, sz), sz) << "the current drive";
    EXPECT_STREQ(sz, Bare(m_scratch).c_str());

    char cFree = FreeDriveLetter();
    ASSERT_NE(cFree, 0);
    for (int nDrive : {cFree - 64, 27, -1, 100}) {
        memset(sz, 'x', sizeof(sz));
        EXPECT_EQ(GetCurDirOnDrive(nDrive, sz), nullptr) << "drive " << nDrive;
        EXPECT_EQ(sz[0], 'x') << "buffer touched for drive " << nDrive;
    }
}

/* A directory longer than the callers' 255 characters is refused by the
   queries, never copied past the end of their buffers. */
TEST_F(FileDir, OverlongCurrentDirectoryIsRefused)
{
    std::string dir = Bare(m_scratch);
    ASSERT_LT(dir.size(), 200u);
    while (dir.size() < 257) {
        dir += "\\" + std::string(std::min<size_t>(150, 257 - dir.size() - 1), 'L');
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), NULL)) << dir.size();
    }
    ASSERT_EQ(dir.size(), 257u);
    if (!SetCurrentDir(dir))
        GTEST_SKIP() << "the system refuses a current directory of 257 characters";
    char sz[300];
    memset(sz, 'x', sizeof(sz));
    EXPECT_EQ(GetCurDir(sz), nullptr);
    EXPECT_EQ(GetCurDirOnDrive(0, sz), nullptr);
    EXPECT_EQ(sz[0], 'x');
    EXPECT_EQ(sz[256], 'x');

    /* The split then has no root to give: empty, which the drive check refuses. */
    Split s = RunSplit("");
    EXPECT_EQ(s.root, "");
    EXPECT_EQ(IsValidDrive(s.root.c_str()), 0);
}

/* The directory layer gets OEM text and gives it back; a name with an
   accented letter reaches the disk unchanged and reads back the same. */
TEST_F(FileDir, AccentedNameSurvivesTheRoundTrip)
{
    char szAnsi[2] = "";
    BOOL fDefault = FALSE;
    WideCharToMultiByte(CP_ACP, 0, L"\u00C4", 1, szAnsi, 1, NULL, &fDefault);
    if (fDefault)
        GTEST_SKIP() << "the ANSI code page has no A with diaeresis";
    char szOem[2] = "";
    CharToOemBuffA(szAnsi, szOem, 1);
    EXPECT_NE(szOem[0], szAnsi[0]) << "ANSI and OEM agree here, the conversion is not exercised";

    std::string dir = m_scratch + szAnsi + "rger";
    ASSERT_EQ(MkDir(dir.c_str()), 0);
    std::wstring wide(MAX_PATH, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, m_scratch.c_str(), -1, &wide[0], MAX_PATH) - 1);
    wide += L"\u00C4rger";
    EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES) << "name changed on disk";

    ASSERT_EQ(ChgDir(dir.c_str()), 0);
    char sz[256];
    ASSERT_EQ(GetCurDir(sz), sz);
    EXPECT_EQ(std::string(sz), dir);
    EXPECT_EQ(CreatePath((dir + "\\" + szAnsi + "\\").c_str()), 1);
    EXPECT_TRUE(DirExists(dir + "\\" + szAnsi));
}

/* An ANSI letter with no OEM equivalent would be created under its
   best-fit stand-in, a different name: refused instead. */
TEST_F(FileDir, NameWithoutOemEquivalentIsRefused)
{
    char c = 0, cFit = 0;
    for (int n = 0x80; n <= 0xFF && c == 0; n++) {
        char a = (char)n, o, back;
        CharToOemBuffA(&a, &o, 1);
        OemToCharBuffA(&o, &back, 1);
        if (back != a && back > ' ' && back != '?') {
            c = a;
            cFit = back;
        }
    }
    if (c == 0)
        GTEST_SKIP() << "every ANSI letter has an OEM equivalent here";
    std::string name = std::string("N") + c;
    EXPECT_EQ(MkDir((m_scratch + name).c_str()), -1);
    EXPECT_FALSE(DirExists(m_scratch + "N" + cFit)) << "created under the stand-in name";
    EXPECT_EQ(ChgDir((m_scratch + name).c_str()), -1);
}

/* Names are converted whole, through the platform's conversion between the
   code pages given, and compared after the way back; the scans step over
   double-byte characters with the platform's lead bytes of the code page. */
TEST(FileDirCodePages, NamesConvertWholeAndScanByCharacter)
{
    struct Case { UINT from, to; const char *name, *out; } cases[] = {
        {932, 932, SO, SO}, {932, 932, HYO, HYO}, {936, 936, CHENG, CHENG},
        {932, 936, HYO, "\xB1\xED"}, {932, 936, SO, "\xA5\xBD"}, {936, 932, CHENG, "\x90\xBD"},
        {1252, 437, "\xC4rger", "\x8Erger"},
        /* no equivalent on the other side, or no character at all: refused,
           and nothing read that the conversion did not write */
        {936, 932, "\xD5\xE2", NULL}, {1252, 437, "\x80", NULL}, {932, 932, "A\x83", NULL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " from " + std::to_string(c.from) + " to " + std::to_string(c.to));
        char sz[16];
        memset(sz, 'x', sizeof(sz));
        EXPECT_EQ(ConvertNameExact(c.from, c.to, c.name, sz, sizeof(sz)), c.out != NULL ? 1 : 0);
        if (c.out != NULL) {
            EXPECT_STREQ(sz, c.out);
        }
        EXPECT_NE(memchr(sz, '\0', sizeof(sz)), nullptr) << "output not terminated";
    }
    char sz[2];
    EXPECT_EQ(ConvertNameExact(932, 932, HYO, sz, sizeof(sz)), 0) << "a name that does not fit";
    EXPECT_STREQ(sz, "");

    struct Scan { UINT cp; const char *name; } scans[] = {{932, SO}, {932, HYO}, {936, CHENG}};
    for (const Scan &c : scans) {
        SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(c.cp));
        LeadBytes lead;
        GetLeadBytes(c.cp, &lead);
        std::string sub = std::string(c.name) + "\\" + c.name + "\\";
        EXPECT_EQ(IsSubOk(sub.c_str(), &lead), 1);
        EXPECT_EQ(EndsWithChar(c.name, '\\', &lead), 0);
        EXPECT_EQ(GetFileNameOfPath(NULL, 0, ("C:\\D\\" + std::string(c.name)).c_str(), &lead), 5);
    }
    LeadBytes single;
    GetLeadBytes(1252, &single);
    EXPECT_EQ(IsSubOk(SO "\\" HYO "\\", &single), 0) << "a single-byte code page reads byte by byte";
}

/* In a process whose ANSI code page is double-byte (the test list runs this
   in a Japanese locale): a name ending in the byte of a backslash is made,
   entered, read back, split and created as one name. */
TEST_F(FileDir, DoubleByteNamesInTheCodePageInForce)
{
    const char *pszCp = getenv("QUARNEL_EXPECT_ACP");
    if (pszCp == NULL)
        GTEST_SKIP() << "run from the test list in a Japanese locale";
    ASSERT_EQ(GetACP(), (UINT)atoi(pszCp)) << "the locale did not reach the program";
    ASSERT_EQ(GetOEMCP(), (UINT)atoi(pszCp));
    std::string dir = m_scratch + HYO;
    ASSERT_EQ(MkDir(dir.c_str()), 0);
    ASSERT_EQ(ChgDir(dir.c_str()), 0);
    char sz[256];
    ASSERT_EQ(GetCurDir(sz), sz);
    EXPECT_EQ(std::string(sz), dir);
    ASSERT_TRUE(SetCurrentDir(m_start));

    Split s = RunSplit(dir + "\\" SO "\\");
    EXPECT_EQ(s.root, dir);
    EXPECT_EQ(s.sub, SO "\\");
    s = RunSplit(dir);
    EXPECT_EQ(s.root, dir);
    EXPECT_EQ(s.sub, "");
    EXPECT_EQ(CreatePath((dir + "\\" SO "\\" HYO "\\").c_str()), 1);
    EXPECT_TRUE(DirExists(dir + "\\" SO "\\" HYO));
}

/* ---- SplitPath ----------------------------------------------------------- */

TEST_F(FileDir, SplitEmptyPathGivesCurrentDirectory)
{
    ASSERT_TRUE(SetCurrentDir(m_scratch));
    Split s = RunSplit("");
    EXPECT_EQ(s.root, Bare(m_scratch));
    EXPECT_EQ(s.sub, "");
    EXPECT_EQ(CurrentDir(), Bare(m_scratch));
}

TEST_F(FileDir, SplitBareDriveRootKeepsTheTypedText)
{
    ASSERT_TRUE(SetCurrentDir(m_scratch));
    char cFree = FreeDriveLetter();
    ASSERT_NE(cFree, 0);
    std::string missing = std::string(1, (char)(cFree + 32)) + ":\\";
    struct Case { std::string path, root; } cases[] = {
        {"c:\\", "c:\\"}, {"Z:\\", "Z:\\"}, {missing, missing},
    };
    for (const Case &c : cases) {
        Split s = RunSplit(c.path);
        EXPECT_EQ(s.root, c.root);
        EXPECT_EQ(s.sub, "");
        EXPECT_EQ(CurrentDir(), Bare(m_scratch)) << c.path;
    }
}

TEST_F(FileDir, SplitDriveAndColonGivesThatDrivesDirectory)
{
    ParkDriveC();
    Split s = RunSplit("C:");
    EXPECT_EQ(s.root, "C:\\windows");
    EXPECT_EQ(s.sub, "");
    EXPECT_EQ(CurrentDir(), Bare(m_scratch)) << "nothing is probed for a drive alone";

    /* Relative to drive C's directory; each later name from the one before. */
    s = RunSplit("C:system32\\NEWQ\\");
    EXPECT_EQ(s.root, "C:\\windows\\system32");
    EXPECT_EQ(s.sub, "NEWQ\\");
    EXPECT_EQ(CurrentDir(), "C:\\windows") << "drive C's directory becomes current";
}

TEST_F(FileDir, SplitSingleBackslashGivesRootOfCurrentDrive)
{
    ASSERT_TRUE(SetCurrentDir(m_scratch));
    Split s = RunSplit("\\");
    EXPECT_EQ(s.root, "Z:\\");
    EXPECT_EQ(s.sub, "");
    EXPECT_EQ(CurrentDir(), Bare(m_scratch));
}

TEST_F(FileDir, SplitTwoLeadingBackslashes)
{
    ASSERT_TRUE(SetCurrentDir(m_scratch));
    Split s = RunSplit("\\\\qsrv-none\\share\\");
    EXPECT_EQ(s.root, "Z:\\");
    EXPECT_EQ(s.sub, "qsrv-none\\share\\");
    EXPECT_EQ(s.pathAfter, "\\\\qsrv-none\\share\\");
    EXPECT_EQ(CurrentDir(), Bare(m_scratch));
}

TEST_F(FileDir, SplitRelativePathFromWhereProbingBegan)
{
    /* A\B does not exist, but A\A\B does: a path read again from the
       directory the first step entered would land there. */
    MakeDirs({"A", "A\\A", "A\\A\\B"});
    ASSERT_TRUE(SetCurrentDir(m_scratch));
    Split s = RunSplit("A\\B\\C\\");
    EXPECT_EQ(s.root, m_scratch + "A");
    EXPECT_EQ(s.sub, "B\\C\\");
    EXPECT_EQ(CurrentDir(), Bare(m_scratch));

    s = RunSplit("A\\A\\B");
    EXPECT_EQ(s.root, m_scratch + "A\\A\\B");
    EXPECT_EQ(s.sub, "");
}

TEST_F(FileDir, SplitPartlyExistingPath)
{
    MakeDirs({"A"});
    ASSERT_TRUE(SetCurrentDir(m_start));
    std::string path = m_scratch + "A\\B\\C\\";
    Split s = RunSplit(path);
    EXPECT_EQ(s.root, m_scratch + "A");
    EXPECT_EQ(s.sub, "B\\C\\");
    EXPECT_EQ(s.pathAfter, path) << "the caller's text must come back unchanged";
    EXPECT_EQ(CurrentDir(), m_start);
}

TEST_F(FileDir, SplitFullyExistingPathWithAndWithoutBackslash)
{
    MakeDirs({"A", "A\\B"});
    for (const std::string &path : {m_scratch + "A\\B\\", m_scratch + "A\\B"}) {
        Split s = RunSplit(path);
        EXPECT_EQ(s.root, m_scratch + "A\\B") << path;
        EXPECT_EQ(s.sub, "") << path;
        EXPECT_EQ(s.pathAfter, path);
        EXPECT_EQ(CurrentDir(), m_start);
    }
    /* A file where a directory is expected ends the walk. */
    ASSERT_TRUE(WriteBytes(m_scratch + "A\\F", "x"));
    Split s = RunSplit(m_scratch + "A\\F\\G\\");
    EXPECT_EQ(s.root, m_scratch + "A");
    EXPECT_EQ(s.sub, "F\\G\\");
}

TEST_F(FileDir, SplitStopsAtANameThatIsItselfAPath)
{
    /* "C:" alone would enter drive C's directory and succeed; as part of a
       path it names nothing, so the split stops before it. */
    MakeDirs({"A"});
    ASSERT_TRUE(SetCurrentDir(m_scratch));
    for (const std::string &path : {m_scratch + "A\\C:\\", std::string("A\\C:\\")}) {
        Split s = RunSplit(path);
        EXPECT_EQ(s.root, m_scratch + "A") << path;
        EXPECT_EQ(s.sub, "C:\\") << path;
        EXPECT_EQ(CurrentDir(), Bare(m_scratch)) << path;
    }
}

/* The platform reads C:/A/B and /A/B as absolute paths; they are probed as
   it reads them, from a current directory (and a drive C directory) under
   which a relative reading would find the same names.  Candidates still end
   at a backslash only, so a slash stays in the part to create. */
TEST_F(FileDir, SplitForwardSlashesAsThePlatformReadsThem)
{
    const std::string top = "C:\\qfwd" + std::to_string(GetCurrentProcessId());
    const std::string decoyC = top + "\\DECOY", decoyZ = m_scratch + "DECOY";
    /* The same folders typed with slashes and without their drive. */
    std::string cf = top.substr(2), zf = Bare(m_scratch).substr(2);
    std::replace(cf.begin(), cf.end(), '\\', '/');
    std::replace(zf.begin(), zf.end(), '\\', '/');
    for (const std::string &d : {top, top + "\\A", top + "\\A\\B"})
        ASSERT_TRUE(CreateDirectoryA(d.c_str(), NULL)) << d;
    MakeDirs({"A", "A\\B", "DECOY"});
    /* What a reading relative to the current directories would find. */
    ASSERT_EQ(CreatePath((decoyC + top.substr(2) + "\\A\\B\\NEW\\").c_str()), 1);
    ASSERT_EQ(CreatePath((decoyZ + Bare(m_scratch).substr(2) + "\\A\\B\\NEW\\").c_str()), 1);
    ASSERT_EQ(ChgDir(decoyC.c_str()), 0);

    /* after: the current directory once the drive's own is restored. */
    struct Case { std::string path, root, sub; int subOk; std::string after; } cases[] = {
        {"C:" + cf + "/A/B\\", top + "\\A\\B", "", 1, decoyC},
        {"C:" + cf + "/A/B", top + "\\A\\B", "", 1, decoyC},
        {"C:" + cf + "/A\\B\\NEW\\", top + "\\A\\B", "NEW\\", 1, decoyC},
        {"C:" + cf + "/A/B/NEW\\", "C:\\", cf.substr(1) + "/A/B/NEW\\", 0, decoyC},
        {zf + "/A/B\\", m_scratch + "A\\B", "", 1, decoyZ},
        {zf + "/A\\B\\NEW\\", m_scratch + "A\\B", "NEW\\", 1, decoyZ},
        {zf + "/A/B/NEW\\", "Z:\\", zf.substr(1) + "/A/B/NEW\\", 0, decoyZ},
    };
    for (const Case &k : cases) {
        ASSERT_TRUE(SetCurrentDir(decoyZ));
        Split s = RunSplit(k.path);
        EXPECT_EQ(s.root, k.root) << k.path;
        EXPECT_EQ(s.sub, k.sub) << k.path;
        EXPECT_EQ(IsSubOk(s.sub.c_str(), AnsiLeadBytes()), k.subOk) << k.path;
        EXPECT_EQ(s.pathAfter, k.path);
        EXPECT_EQ(CurrentDir(), k.after) << k.path;
    }
    SetCurrentDir(m_start);
    RemoveTree(top);
}

TEST_F(FileDir, SplitOnMissingDrive)
{
    char cFree = FreeDriveLetter();
    ASSERT_NE(cFree, 0);
    std::string path = std::string(1, cFree) + ":\\A\\";
    Split s = RunSplit(path);
    EXPECT_EQ(s.root, std::string(1, cFree) + ":\\");
    EXPECT_EQ(s.sub, "A\\");
    EXPECT_EQ(IsValidDrive(s.root.c_str()), 0);
    EXPECT_EQ(CurrentDir(), m_start);

    /* Drive and colon alone: no directory to give, and the drive check fails. */
    s = RunSplit(std::string(1, cFree) + ":A\\");
    EXPECT_EQ(IsValidDrive(s.root.c_str()), 0) << "root: " << s.root;
    EXPECT_EQ(s.sub, "A\\");
}

TEST_F(FileDir, SplitOnOtherDriveLeavesThatDriveCurrent)
{
    ParkDriveC();
    Split s = RunSplit("C:\\QNEWDIR\\");
    EXPECT_EQ(s.root, "C:\\");
    EXPECT_EQ(s.sub, "QNEWDIR\\");
    EXPECT_EQ(CurrentDir(), "C:\\windows");

    ParkDriveC();
    s = RunSplit("C:\\windows\\system32\\QNEW\\");
    EXPECT_EQ(s.root, "C:\\windows\\system32");
    EXPECT_EQ(s.sub, "QNEW\\");
    EXPECT_EQ(CurrentDir(), "C:\\windows");
}

/* ---- CreatePath ---------------------------------------------------------- */

TEST_F(FileDir, CreatePathWithNothingToCreate)
{
    ASSERT_TRUE(SetCurrentDir(m_scratch));
    for (const char *psz : {"C:", "C:\\", "", "\\"}) {
        EXPECT_EQ(CreatePath(psz), 1) << psz;
        EXPECT_EQ(CurrentDir(), Bare(m_scratch)) << psz;
    }
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((m_scratch + "*").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int nEntries = 0;
    do
        nEntries++;
    while (FindNextFileA(h, &fd));
    FindClose(h);
    EXPECT_EQ(nEntries, 2) << "only . and .. expected";
}

TEST_F(FileDir, CreatePathMakesEveryLevelFromTheDriveRoot)
{
    /* Only the drive root exists: the current directory stays. */
    std::string top = "C:\\qcreate" + std::to_string(GetCurrentProcessId());
    ASSERT_FALSE(DirExists(top));
    EXPECT_EQ(CreatePath((top + "\\A\\B\\").c_str()), 1);
    EXPECT_TRUE(DirExists(top + "\\A\\B"));
    EXPECT_EQ(CurrentDir(), m_start);
    RemoveTree(top);

    /* Below existing folders: the deepest existing one becomes current. */
    EXPECT_EQ(CreatePath((m_scratch + "A\\B\\C\\").c_str()), 1);
    EXPECT_TRUE(DirExists(m_scratch + "A"));
    EXPECT_TRUE(DirExists(m_scratch + "A\\B"));
    EXPECT_TRUE(DirExists(m_scratch + "A\\B\\C"));
    EXPECT_EQ(CurrentDir(), Bare(m_scratch));
}

TEST_F(FileDir, CreatePathOfExistingPathEntersIt)
{
    MakeDirs({"A", "A\\B"});
    EXPECT_EQ(CreatePath((m_scratch + "A\\B\\").c_str()), 1);
    EXPECT_EQ(CurrentDir(), m_scratch + "A\\B");
}

TEST_F(FileDir, CreatePathStopsAtAFileAndKeepsWhatItMade)
{
    MakeDirs({"A"});
    ASSERT_TRUE(WriteBytes(m_scratch + "A\\F", "x"));
    EXPECT_EQ(CreatePath((m_scratch + "A\\F\\G\\").c_str()), 0);
    EXPECT_TRUE(DirExists(m_scratch + "A"));
    EXPECT_EQ(ReadBytes(m_scratch + "A\\F"), "x");

    EXPECT_EQ(CreatePath((m_scratch + "NEW\\BAD*NAME\\").c_str()), 0);
    EXPECT_TRUE(DirExists(m_scratch + "NEW")) << "a directory made before the failure stays";
}

TEST_F(FileDir, CreatePathUsesTheFirst255Characters)
{
    std::string head = m_scratch + "D\\";
    std::string name(260 - head.size(), 'N');
    std::string path = head + name;
    ASSERT_GT(path.size(), 255u);
    EXPECT_EQ(CreatePath(path.c_str()), 1);
    EXPECT_TRUE(DirExists(path.substr(0, 255)));
    EXPECT_FALSE(DirExists(path));
}

TEST_F(FileDir, CreatePathResolvesRelativePartsFromTheStart)
{
    MakeDirs({"A", "A\\A"});
    ASSERT_TRUE(SetCurrentDir(m_scratch));
    EXPECT_EQ(CreatePath("A\\B\\"), 1);
    EXPECT_TRUE(DirExists(m_scratch + "A\\B"));
    EXPECT_FALSE(DirExists(m_scratch + "A\\A\\B"));
}

/* ---- Drives -------------------------------------------------------------- */

TEST_F(FileDir, IsValidDriveOnDrivesOfThisPrefix)
{
    EXPECT_EQ(IsValidDrive("C:\\"), 1);
    EXPECT_EQ(IsValidDrive("c:\\some\\path"), 1);
    EXPECT_EQ(IsValidDrive(m_scratch.c_str()), 1);
    char cFree = FreeDriveLetter();
    ASSERT_NE(cFree, 0);
    EXPECT_EQ(IsValidDrive((std::string(1, cFree) + ":\\A").c_str()), 0);
    EXPECT_EQ(IsValidDrive(""), 0);
}

TEST_F(FileDir, DriveSpaceMatchesTheSystemsCount)
{
    for (int nTry = 0; nTry < 5; nTry++) {
        ULARGE_INTEGER avail, total, free;
        ASSERT_TRUE(GetDiskFreeSpaceExA("Z:\\", &avail, &total, &free));
        long lKb = GetDriveSpaceAvail(m_scratch.c_str());
        unsigned long long qwWant = avail.QuadPart / 1024;
        if (qwWant > 2147483647ull)
            qwWant = 2147483647ull;
        /* Others write to the same disk: allow what can change in between. */
        long long llDiff = (long long)lKb - (long long)qwWant;
        if (llDiff > -4096 && llDiff < 4096) {
            EXPECT_GT(lKb, 0);
            return;
        }
    }
    ADD_FAILURE() << "free space never agreed with GetDiskFreeSpaceExA";
}

TEST_F(FileDir, DriveSpaceOfMissingDriveIsZero)
{
    char cFree = FreeDriveLetter();
    ASSERT_NE(cFree, 0);
    EXPECT_EQ(GetDriveSpaceAvail((std::string(1, cFree) + ":\\").c_str()), 0);
}

/* ---- Item dates ---------------------------------------------------------- */

namespace {

FILETIME UtcMidnight(WORD wYear, WORD wMonth, WORD wDay)
{
    SYSTEMTIME st = {};
    st.wYear = wYear;
    st.wMonth = wMonth;
    st.wDay = wDay;
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

struct Stamps {
    FILETIME created, accessed, written;
};

Stamps ReadStamps(const std::string &path)
{
    Stamps s = {};
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
    if (h != INVALID_HANDLE_VALUE) {
        GetFileTime(h, &s.created, &s.accessed, &s.written);
        CloseHandle(h);
    }
    return s;
}

bool SameTime(const FILETIME &a, const FILETIME &b)
{
    return CompareFileTime(&a, &b) == 0;
}

std::string DateOf(const std::string &path)
{
    char sz[16];
    memset(sz, 'x', sizeof(sz));
    if (!GetFileDate(path.c_str(), sz))
        return "(failed)";
    EXPECT_EQ(sz[9], 'x') << "wrote past the date";
    return sz;
}

} // namespace

TEST_F(FileDir, DateRoundTripLandsOnTheCarrierAtUtcMidnight)
{
    std::string file = m_scratch + "ITEM.DAT";
    ASSERT_TRUE(WriteBytes(file, "data"));
    Stamps before = ReadStamps(file);
    EXPECT_EQ(SetFileDate(file.c_str(), "19980909"), 1);
    EXPECT_EQ(DateOf(file), "19980909");

    Stamps after = ReadStamps(file);
    FILETIME ftWant = UtcMidnight(1998, 9, 9);
    if (RunningUnderWine()) {
        EXPECT_TRUE(SameTime(after.written, ftWant)) << "last-write time carries the date here";
    } else {
        EXPECT_TRUE(SameTime(after.created, ftWant)) << "creation time carries the date";
        EXPECT_TRUE(SameTime(after.written, before.written)) << "last-write time changed";
    }
    EXPECT_EQ(ReadBytes(file), "data") << "the file's content changed";
}

/* The extraction dates an item through the handle it wrote with, before
   closing it: the close must not take the date away. */
TEST_F(FileDir, DateStampedWhileWritingSurvivesTheClose)
{
    std::string file = m_scratch + "WRITTEN.DAT";
    for (const char *psz : {"19980909", "20010203"}) {
        OFSTRUCT ofs;
        HFILE hFile = OpenFileQ(file.c_str(), &ofs, OF_CREATE | OF_WRITE);
        ASSERT_NE(hFile, HFILE_ERROR);
        ASSERT_EQ(WriteExact(hFile, "data", 4), 1);
        StampFileDate(hFile, file.c_str(), psz);
        ASSERT_EQ(_lclose(hFile), 0);
        EXPECT_EQ(DateOf(file), psz);
        EXPECT_EQ(ReadBytes(file), "data");
    }
}

TEST_F(FileDir, DateTextIsReadFromItsFirstEightCharacters)
{
    std::string file = m_scratch + "ITEM.DAT";
    ASSERT_TRUE(WriteBytes(file, ""));
    struct Case { const char *set, *got; } cases[] = {
        {"199809091", "19980909"}, {"19800105", "19800105"}, {"21071231", "21071231"},
        {"20000229", "20000229"}, {"19790101", "21070101"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(SetFileDate(file.c_str(), c.set), 1) << c.set;
        EXPECT_EQ(DateOf(file), c.got) << c.set;
    }
}

TEST_F(FileDir, InvalidDateLeavesEveryStamp)
{
    std::string file = m_scratch + "ITEM.DAT";
    ASSERT_TRUE(WriteBytes(file, "x"));
    ASSERT_EQ(SetFileDate(file.c_str(), "19980909"), 1);
    Stamps before = ReadStamps(file);
    for (const char *psz : {"19980231", "19980009", "19981309", "19980900", "21000229", "", "abc"}) {
        EXPECT_EQ(SetFileDate(file.c_str(), psz), 1) << psz;
        Stamps after = ReadStamps(file);
        EXPECT_TRUE(SameTime(after.created, before.created)) << psz;
        EXPECT_TRUE(SameTime(after.written, before.written)) << psz;
        EXPECT_EQ(DateOf(file), "19980909") << psz;
    }
}

TEST_F(FileDir, DatesOfMissingFile)
{
    std::string file = m_scratch + "NONE.DAT";
    char sz[16];
    memset(sz, 'x', sizeof(sz));
    EXPECT_EQ(GetFileDate(file.c_str(), sz), 0);
    EXPECT_EQ(sz[0], 'x') << "buffer touched";
    EXPECT_EQ(SetFileDate(file.c_str(), "19980909"), 0);
    EXPECT_FALSE(FileExists(file)) << "SetFileDate created the file";
}

TEST_F(FileDir, DateOutsideTheDosRangeIsStillEightDigits)
{
    std::string file = m_scratch + "OLD.DAT";
    ASSERT_TRUE(WriteBytes(file, ""));
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME ft = UtcMidnight(1975, 6, 7);
    ASSERT_TRUE(SetFileTime(h, &ft, NULL, &ft));
    CloseHandle(h);
    EXPECT_EQ(DateOf(file), "19750607");
}

/* The same round trip in whatever time zone the run was given: the test
   list runs this once more with a zone far from universal time. */
TEST_F(FileDir, DateRoundTripIgnoresTheTimeZone)
{
    const char *pszZone = getenv("QUARNEL_EXPECT_ZONE");
    if (pszZone != NULL) {
        TIME_ZONE_INFORMATION tzi;
        GetTimeZoneInformation(&tzi);
        ASSERT_NE(tzi.Bias, 0) << "the zone " << pszZone << " did not reach the program";
    }
    std::string file = m_scratch + "ZONE.DAT";
    ASSERT_TRUE(WriteBytes(file, ""));
    for (const char *psz : {"19980909", "20240101", "19991231"}) {
        ASSERT_EQ(SetFileDate(file.c_str(), psz), 1);
        EXPECT_EQ(DateOf(file), psz);
    }
}

/* Stamps the file that the test list names, so that the Linux side can
   check its modification time from outside the program. */
TEST(FileDirOutside, StampForTheHost)
{
    const char *pszFile = getenv("QUARNEL_STAMP_FILE");
    if (pszFile == NULL)
        GTEST_SKIP() << "run from the test list only";
    ASSERT_EQ(SetFileDate(pszFile, "19980909"), 1);
}

/* Drive types of letters mapped in a prefix of this test's own, given as
   triples of letter, type as GetDriveTypeA reports it, and 1 when the
   installer accepts the drive, 0 when not: such as R50S21. */
TEST(FileDirDrives, MappedDriveTypes)
{
    const char *pszMap = getenv("QUARNEL_DRIVE_TYPES");
    if (pszMap == NULL)
        GTEST_SKIP() << "run from the test list only";
    ASSERT_EQ(strlen(pszMap) % 3, 0u) << pszMap;
    for (const char *p = pszMap; *p != '\0'; p += 3) {
        std::string root = std::string(1, p[0]) + ":\\";
        ASSERT_EQ(GetDriveTypeA(root.c_str()), (UINT)(p[1] - '0')) << root << " is not mapped as expected";
        EXPECT_EQ(IsValidDrive((root + "SETUP\\").c_str()), p[2] - '0') << root;
    }
}
