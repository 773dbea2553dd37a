/* The package builder run in-process on scripts in a scratch folder: record
 * layout, marker rules, every failure with its message box and what the
 * package file holds afterwards; and the file-open call it relies on. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filedir.h"
#include "load.h"
#include "resource.h"
#include "testsupport.h"

namespace {

const char szFailText[] = "Didn't work.  Sorry.";

std::string Le32(unsigned long u)
{
    std::string s;
    for (int i = 0; i < 4; i++)
        s += static_cast<char>((u >> (8 * i)) & 0xFF);
    return s;
}

std::string Record(const std::string &data)
{
    return Le32(static_cast<unsigned long>(data.size())) + data;
}

/* Each test works in a fresh folder that is also the current directory, so
   the relative names of a script resolve inside it. */
class Builder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(UseManifest("manifest_smoke"), nullptr);
        m_oldDir = CurrentDir();
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char &c : name)
            c = c == '/' ? '_' : c;
        m_dir = ScratchDir("builder_" + name);
        ASSERT_TRUE(SetCurrentDirectoryA(m_dir.c_str()));
        ASSERT_TRUE(WriteBytes(m_dir + "a3.bin", "abc"));
        ASSERT_TRUE(WriteBytes(m_dir + "b5.bin", "defgh"));
    }
    void TearDown() override { SetCurrentDirectoryA(m_oldDir.c_str()); }

    /* Writes the script, runs the builder and returns the boxes it showed
       (each answered with OK). */
    std::vector<SeenBox> Build(const std::string &script, int nExpect)
    {
        EXPECT_TRUE(WriteBytes(m_dir + "script.txt", script));
        return BuildFrom("script.txt", nExpect);
    }
    std::vector<SeenBox> BuildFrom(const std::string &cmdLine, int nExpect)
    {
        BoxAnswerer answerer({IDOK}, GetCurrentProcessId(), 500);
        EXPECT_EQ(PackFiles(cmdLine.c_str()), nExpect) << cmdLine;
        return answerer.Stop();
    }
    void ExpectFailure(const std::vector<SeenBox> &seen, const char *pszText = szFailText)
    {
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, "Installer");
        EXPECT_EQ(seen[0].text, pszText);
        EXPECT_EQ(seen[0].icon, "error");
        EXPECT_EQ(seen[0].buttons, std::vector<int>{IDOK});
    }
    std::string m_dir, m_oldDir;
};

} // namespace

/* ---- Layout --------------------------------------------------------------- */

TEST_F(Builder, ThreeThenFiveBytesMakeSixteen)
{
    EXPECT_TRUE(Build("*### PACKAGE# \"out.pkg\" ITEM# \"a3.bin\" ITEM# \"b5.bin\"", 1).empty());
    const std::string expected("\x03\x00\x00\x00" "abc" "\x05\x00\x00\x00" "defgh", 16);
    EXPECT_EQ(ReadBytes(m_dir + "out.pkg"), expected);
}

TEST_F(Builder, ThousandByteLengthField)
{
    std::string data;
    for (int i = 0; i < 1000; i++)
        data += static_cast<char>(i * 7);
    ASSERT_TRUE(WriteBytes(m_dir + "k.bin", data));
    EXPECT_TRUE(Build("*###\r\n; PACKAGE# \"out.pkg\"\r\n; ITEM# \"k.bin\"\r\n", 1).empty());
    const std::string pkg = ReadBytes(m_dir + "out.pkg");
    ASSERT_EQ(pkg.size(), 1004u);
    EXPECT_EQ(pkg.substr(0, 4), std::string("\xE8\x03\x00\x00", 4));
    EXPECT_EQ(pkg.substr(4), data);
}

TEST_F(Builder, EmptyListEmptiesThePackage)
{
    ASSERT_TRUE(WriteBytes(m_dir + "out.pkg", "old contents"));
    EXPECT_TRUE(Build("*### PACKAGE# \"out.pkg\" no items here", 1).empty());
    EXPECT_TRUE(FileExists(m_dir + "out.pkg"));
    EXPECT_EQ(ReadBytes(m_dir + "out.pkg"), "");
}

TEST_F(Builder, ScriptAndNamesInOtherFolders)
{
    CreateDirectoryA((m_dir + "sub dir").c_str(), NULL);
    ASSERT_TRUE(WriteBytes(m_dir + "sub dir\\my item.txt", "12"));
    ASSERT_TRUE(WriteBytes(m_dir + "sub dir\\s.qps",
                           "rem *### PACKAGE# \"" + m_dir + "sub dir\\p.pkg\"\nrem ITEM# \"sub dir\\my item.txt\"\n"));
    EXPECT_TRUE(BuildFrom(m_dir + "sub dir\\s.qps", 1).empty());
    EXPECT_EQ(ReadBytes(m_dir + "sub dir\\p.pkg"), Record("12"));
}

/* ---- Marker rules ----------------------------------------------------------- */

TEST_F(Builder, MarkerRules)
{
    struct Case { const char *script; std::string package; } cases[] = {
        /* only exact markers count */
        {"*### PACKAGE# \"out.pkg\" item# \"a3.bin\" ITEM#  \"a3.bin\" ITEM#\t\"a3.bin\" ITEM# \"b5.bin\"",
         Record("defgh")},
        /* a package marker before the start marker is ignored */
        {"PACKAGE# \"early.pkg\" *### PACKAGE# \"out.pkg\" ITEM# \"a3.bin\"", Record("abc")},
        /* item markers before the package name are not items */
        {"*### ITEM# \"b5.bin\" PACKAGE# \"out.pkg\" ITEM# \"a3.bin\"", Record("abc")},
        /* a second package marker is ordinary text */
        {"*### PACKAGE# \"out.pkg\" PACKAGE# \"second.pkg\" ITEM# \"b5.bin\"", Record("defgh")},
        /* an item listed twice is stored twice */
        {"*### PACKAGE# \"out.pkg\" ITEM# \"a3.bin\" ITEM# \"a3.bin\"", Record("abc") + Record("abc")},
        /* markers inside words and comments */
        {"/*###*/ xPACKAGE# \"out.pkg\"yITEM# \"b5.bin\"zITEM# \"a3.bin\"", Record("defgh") + Record("abc")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.script);
        DeleteFileA((m_dir + "out.pkg").c_str());
        EXPECT_TRUE(Build(c.script, 1).empty());
        EXPECT_EQ(ReadBytes(m_dir + "out.pkg"), c.package);
        EXPECT_FALSE(FileExists(m_dir + "early.pkg"));
        EXPECT_FALSE(FileExists(m_dir + "second.pkg"));
    }
}

TEST_F(Builder, ZeroByteEndsTheScript)
{
    std::string script("*### PACKAGE# \"out.pkg\" ITEM# \"a3.bin\"", 38);
    script += std::string(1, '\0') + " ITEM# \"b5.bin\"";
    EXPECT_TRUE(Build(script, 1).empty());
    EXPECT_EQ(ReadBytes(m_dir + "out.pkg"), Record("abc"));
}

TEST_F(Builder, NamesKeepTheirBlanks)
{
    ASSERT_TRUE(WriteBytes(m_dir + "with blank.bin", "wb"));
    EXPECT_TRUE(Build("*### PACKAGE# \"my package.pkg\" ITEM# \"with blank.bin\"", 1).empty());
    EXPECT_EQ(ReadBytes(m_dir + "my package.pkg"), Record("wb"));
    /* " with blank.bin" is another name: no such file. */
    ExpectFailure(Build("*### PACKAGE# \"out.pkg\" ITEM# \"a3.bin\" ITEM# \" with blank.bin\"", 0));
    EXPECT_EQ(ReadBytes(m_dir + "out.pkg"), Record("abc"));
}

/* ---- Failures ---------------------------------------------------------------- */

TEST_F(Builder, FailuresBeforeThePackageLeaveItAlone)
{
    const char *scripts[] = {
        "PACKAGE# \"out.pkg\" ITEM# \"a3.bin\"",                 /* no start marker */
        "*### package# \"out.pkg\" ITEM# \"a3.bin\"",            /* no package marker */
        "*### PACKAGE#  \"out.pkg\" ITEM# \"a3.bin\"",           /* two blanks */
        "PACKAGE# \"out.pkg\" *### ITEM# \"a3.bin\"",            /* package marker before start */
        "*### PACKAGE# \"out.pkg",                               /* no closing quote */
        "*#", "",                                                /* short and empty scripts */
    };
    for (const char *script : scripts) {
        SCOPED_TRACE(script);
        ASSERT_TRUE(WriteBytes(m_dir + "out.pkg", "untouched"));
        ExpectFailure(Build(script, 0));
        EXPECT_EQ(ReadBytes(m_dir + "out.pkg"), "untouched");
    }
}

TEST_F(Builder, ScriptThatCannotBeOpened)
{
    ExpectFailure(BuildFrom("missing.txt", 0));
    ASSERT_TRUE(WriteBytes(m_dir + "script.txt", "*### PACKAGE# \"out.pkg\""));
    ExpectFailure(BuildFrom("\"script.txt\"", 0));
    ExpectFailure(BuildFrom(m_dir, 0));
    EXPECT_FALSE(FileExists(m_dir + "out.pkg"));
}

TEST_F(Builder, PackageThatCannotBeCreated)
{
    ExpectFailure(Build("*### PACKAGE# \"\" ITEM# \"a3.bin\"", 0));
    ExpectFailure(Build("*### PACKAGE# \"no such dir\\out.pkg\" ITEM# \"a3.bin\"", 0));
    EXPECT_FALSE(DirExists(m_dir + "no such dir"));
    ExpectFailure(Build("*### PACKAGE# \"" + std::string(300, 'n') + "\" ITEM# \"a3.bin\"", 0));
}

TEST_F(Builder, ItemFailuresKeepEarlierRecords)
{
    ASSERT_TRUE(WriteBytes(m_dir + "zero.bin", ""));
    CreateDirectoryA((m_dir + "folder").c_str(), NULL);
    struct Case { std::string bad; } cases[] = {
        {"ITEM# \"missing.bin\""},
        {"ITEM# \"zero.bin\""},
        {"ITEM# \"folder\""},
        {"ITEM# \"\""},
        {"ITEM# \"b5.bin"},
        {"ITEM# \"" + std::string(300, 'n') + "\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bad);
        ASSERT_TRUE(WriteBytes(m_dir + "out.pkg", "previous build"));
        ExpectFailure(Build("*### PACKAGE# \"out.pkg\" ITEM# \"a3.bin\" ITEM# \"b5.bin\" " + c.bad +
                                " ITEM# \"a3.bin\"",
                            0));
        EXPECT_EQ(ReadBytes(m_dir + "out.pkg"), Record("abc") + Record("defgh"));
    }
}

TEST_F(Builder, ManifestEntryZeroReplacesTheText)
{
    ASSERT_NE(UseManifest("manifest_readers_override"), nullptr);
    ExpectFailure(Build("no markers", 0), "The package could not be built.");
}

/* Sizes a signed 32-bit length cannot carry fail the build instead of
   writing a wrong record.  The files are sparse, so they take no room. */
TEST_F(Builder, ItemsOfTwoGigabytesOrMoreFail)
{
    const LONGLONG sizes[] = {0x80000000LL, 0xFFFFFFFFLL, 0x100000003LL};
    for (LONGLONG llSize : sizes) {
        SCOPED_TRACE(llSize);
        HANDLE h = CreateFileA((m_dir + "big.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        LARGE_INTEGER li;
        li.QuadPart = llSize;
        ASSERT_TRUE(SetFilePointerEx(h, li, NULL, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(h));
        CloseHandle(h);
        ExpectFailure(Build("*### PACKAGE# \"out.pkg\" ITEM# \"a3.bin\" ITEM# \"big.bin\"", 0));
        EXPECT_EQ(ReadBytes(m_dir + "out.pkg"), Record("abc"));
    }
    DeleteFileA((m_dir + "big.bin").c_str());
}

/* The failure box comes after the package file was closed: while it is
   shown, another program can open the package exclusively. */
TEST_F(Builder, PackageIsClosedBeforeTheBox)
{
    ASSERT_TRUE(WriteBytes(m_dir + "script.txt", "*### PACKAGE# \"out.pkg\" ITEM# \"missing\""));
    const std::string pkg = m_dir + "out.pkg";
    bool bOpened = false;
    /* While the box is up, before it is answered. */
    BoxAnswerer answerer({IDOK}, GetCurrentProcessId(), 3000, [&](size_t nIndex, const SeenBox &) {
        if (nIndex != 0)
            return;
        HANDLE h = CreateFileA(pkg.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        bOpened = h != INVALID_HANDLE_VALUE;
        if (bOpened)
            CloseHandle(h);
    });
    EXPECT_EQ(PackFiles("script.txt"), 0);
    EXPECT_EQ(answerer.Stop().size(), 1u);
    EXPECT_TRUE(bOpened);
}

/* ---- The reading and sizing helpers ------------------------------------------ */

TEST_F(Builder, ReadFile2GivesALockedBlockOfExactSize)
{
    HGLOBAL hMem = NULL;
    long lSize = -7;
    void *pv = ReadFile2("b5.bin", &hMem, &lSize);
    ASSERT_NE(pv, nullptr);
    EXPECT_EQ(lSize, 5);
    ASSERT_NE(hMem, (HGLOBAL)NULL);
    EXPECT_EQ(GlobalSize(hMem), 5u);
    EXPECT_EQ(GlobalFlags(hMem) & GMEM_LOCKCOUNT, 1u);
    EXPECT_EQ(std::string(static_cast<char *>(pv), 5), "defgh");
    GlobalUnlock(hMem);
    EXPECT_EQ(GlobalFree(hMem), (HGLOBAL)NULL);
}

TEST_F(Builder, ReadFile2Failures)
{
    HGLOBAL hMem = (HGLOBAL)1;
    long lSize = -7;
    EXPECT_EQ(ReadFile2("missing.bin", &hMem, &lSize), nullptr);
    EXPECT_EQ(lSize, -7) << "no size before the file was opened";
    EXPECT_EQ(hMem, (HGLOBAL)1);
    ASSERT_TRUE(WriteBytes(m_dir + "zero.bin", ""));
    EXPECT_EQ(ReadFile2("zero.bin", &hMem, &lSize), nullptr);
    EXPECT_EQ(lSize, 0);
    EXPECT_EQ(hMem, (HGLOBAL)1) << "no allocation for an empty file";
}

TEST_F(Builder, GetFileSize2RewindsTheFile)
{
    OFSTRUCT ofs;
    HFILE h = OpenFileQ("b5.bin", &ofs, OF_READ);
    ASSERT_NE(h, HFILE_ERROR);
    char c = 0;
    ASSERT_EQ(_lread(h, &c, 1), 1u);
    EXPECT_EQ(GetFileSize2(h), 5);
    ASSERT_EQ(_lread(h, &c, 1), 1u);
    EXPECT_EQ(c, 'd');
    _lclose(h);
}

/* ---- Whole-count reads and writes ---------------------------------------------- */

TEST_F(Builder, ReadExactAndWriteExact)
{
    OFSTRUCT ofs;
    HFILE h = OpenFileQ("b5.bin", &ofs, OF_READ);
    ASSERT_NE(h, HFILE_ERROR);
    char sz[8] = {};
    EXPECT_EQ(ReadExact(h, sz, 3), 1);
    EXPECT_EQ(std::string(sz, 3), "def");
    EXPECT_EQ(ReadExact(h, sz, 3), 0) << "only two bytes were left";
    EXPECT_EQ(WriteExact(h, "xy", 2), 0) << "the file is open for reading";
    _lclose(h);
    EXPECT_EQ(ReadBytes(m_dir + "b5.bin"), "defgh");

    h = OpenFileQ("b5.bin", &ofs, OF_READWRITE);
    ASSERT_NE(h, HFILE_ERROR);
    _llseek(h, 2, FILE_BEGIN);
    EXPECT_EQ(WriteExact(h, "", 0), 1);
    EXPECT_EQ(WriteExact(h, "XY", 2), 1);
    _lclose(h);
    EXPECT_EQ(ReadBytes(m_dir + "b5.bin"), "deXYh") << "a write of nothing must not cut the file";
}

/* ---- Opening files by paths of every length -------------------------------------- */

class OpenLength : public Builder, public ::testing::WithParamInterface<size_t> {};

TEST_P(OpenLength, CreateReadAndErrors)
{
    const size_t nLength = GetParam();
    const std::string path = PathOfLength(m_dir, nLength);
    ASSERT_EQ(path.size(), nLength);

    OFSTRUCT ofs;
    HFILE h = OpenFileQ(path.c_str(), &ofs, OF_READ);
    EXPECT_EQ(h, HFILE_ERROR);
    EXPECT_EQ(ofs.nErrCode, 2) << "file not found";

    ASSERT_TRUE(WriteBytes(path, "old contents"));
    h = OpenFileQ(path.c_str(), &ofs, OF_CREATE | OF_WRITE);
    ASSERT_NE(h, HFILE_ERROR);
    EXPECT_EQ(WriteExact(h, "hello", 5), 1);
    _lclose(h);
    EXPECT_EQ(ReadBytes(path), "hello") << "created anew, emptied first";

    h = OpenFileQ(path.c_str(), &ofs, OF_READ);
    ASSERT_NE(h, HFILE_ERROR);
    EXPECT_EQ(GetFileSize2(h), 5);
    char sz[5];
    EXPECT_EQ(ReadExact(h, sz, 5), 1);
    EXPECT_EQ(std::string(sz, 5), "hello");
    _lclose(h);

    h = OpenFileQ(path.c_str(), &ofs, OF_READWRITE);
    ASSERT_NE(h, HFILE_ERROR);
    EXPECT_EQ(WriteExact(h, "J", 1), 1);
    _lclose(h);
    EXPECT_EQ(ReadBytes(path), "Jello");

    /* A missing folder in the path. */
    std::string noDir = m_dir + "nodir\\" + path.substr(m_dir.size() + 6);
    ASSERT_EQ(noDir.size(), nLength);
    h = OpenFileQ(noDir.c_str(), &ofs, OF_CREATE | OF_WRITE);
    EXPECT_EQ(h, HFILE_ERROR);
    EXPECT_EQ(ofs.nErrCode, 3) << "path not found";
    EXPECT_FALSE(DirExists(m_dir + "nodir"));

    /* Opened twice at once, as the installer's compatibility mode allows. */
    HFILE h1 = OpenFileQ(path.c_str(), &ofs, OF_READ);
    HFILE h2 = OpenFileQ(path.c_str(), &ofs, OF_READ);
    EXPECT_NE(h1, HFILE_ERROR);
    EXPECT_NE(h2, HFILE_ERROR);
    _lclose(h1);
    _lclose(h2);
    DeleteFileA(path.c_str());
}

/* The lengths around OpenFile's own limit and the longest path kept. */
INSTANTIATE_TEST_SUITE_P(Lengths, OpenLength, ::testing::Values(127, 128, 141, 142, 255));

TEST_F(Builder, BareNamesAreSearchedWhenReading)
{
    /* In the current folder, with a full path beyond OpenFile's limit. */
    std::string deep = PathOfLength(m_dir, 200);
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), NULL));
    ASSERT_TRUE(WriteBytes(deep + "\\bare.txt", "here"));
    ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
    OFSTRUCT ofs;
    HGLOBAL hMem = NULL;
    long lSize = 0;
    void *pv = ReadFile2("bare.txt", &hMem, &lSize);
    ASSERT_NE(pv, nullptr);
    EXPECT_EQ(std::string(static_cast<char *>(pv), lSize), "here");
    GlobalUnlock(hMem);
    GlobalFree(hMem);

    /* In the program's folder, not the current one. */
    const std::string name = std::string(150, 'q') + ".txt";
    ASSERT_TRUE(WriteBytes(ExeDir() + name, "exe folder"));
    HFILE h = OpenFileQ(name.c_str(), &ofs, OF_READ);
    EXPECT_NE(h, HFILE_ERROR);
    char sz[10];
    EXPECT_EQ(ReadExact(h, sz, 10), 1);
    EXPECT_EQ(std::string(sz, 10), "exe folder");
    _lclose(h);
    DeleteFileA((ExeDir() + name).c_str());

    /* Creating never searches: the file is made in the current folder. */
    h = OpenFileQ("bare.txt", &ofs, OF_CREATE | OF_WRITE);
    ASSERT_NE(h, HFILE_ERROR);
    _lclose(h);
    EXPECT_EQ(ReadBytes(deep + "\\bare.txt"), "");
}
