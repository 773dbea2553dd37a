/* pack_test.cpp - quarnel-kit pack: the bytes it writes for a script, the
 * script's marker rules, name resolution on the build machine, and the
 * failures, each of which must name the item and leave no package behind. */
#include <gtest/gtest.h>

#include "kit_package.h"
#include "kit_testutil.h"

namespace {

/* Packs strScript (written to pack.qps) and returns success. */
int Pack(const std::string &strScript, std::string *pstrError = nullptr, const std::string &strOut = "")
{
    WriteText("pack.qps", strScript);
    ScriptInfo info;
    std::string strError;
    int fOk = ReadScript("pack.qps", &info, &strError) && PackScript(info, strOut, nullptr, &strError);
    if (pstrError)
        *pstrError = strError;
    return fOk;
}

TEST(Pack, TwoItemsGiveSixteenBytes)
{
    ScratchCwd cwd;
    WriteText("a.bin", "abc");
    WriteText("b.bin", "hello");
    ASSERT_TRUE(Pack("*###\nPACKAGE# \"OUT.PKG\"\nITEM# \"a.bin\"\nITEM# \"b.bin\"\n"));
    Bytes vExpected = {3, 0, 0, 0, 'a', 'b', 'c', 5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(ReadAll("OUT.PKG"), vExpected);
}

TEST(Pack, LengthFieldIsLittleEndian)
{
    ScratchCwd cwd;
    WriteText("k.bin", std::string(1000, 'x'));
    WriteText("big.bin", std::string(70000, 'y'));
    ASSERT_TRUE(Pack("*### PACKAGE# \"P\" ITEM# \"k.bin\" ITEM# \"big.bin\""));
    Bytes v = ReadAll("P");
    ASSERT_EQ(v.size(), 4u + 1000 + 4 + 70000);
    EXPECT_EQ(Bytes(v.begin(), v.begin() + 4), (Bytes{0xE8, 0x03, 0x00, 0x00}));
    EXPECT_EQ(Bytes(v.begin() + 1004, v.begin() + 1008), (Bytes{0x70, 0x11, 0x01, 0x00}));
}

TEST(Pack, NoItemsEmptiesAnExistingPackage)
{
    ScratchCwd cwd;
    WriteText("OLD.PKG", "previous contents");
    ASSERT_TRUE(Pack("*###\nPACKAGE# \"OLD.PKG\"\n"));
    EXPECT_TRUE(Exists("OLD.PKG"));
    EXPECT_TRUE(ReadAll("OLD.PKG").empty());
}

const char achNulInside[] = "*### PACKAGE# \"X.PKG\" ITEM# \"a.bin\"\0 ITEM# \"b.bin\"";

TEST(Pack, MarkerRules)
{
    struct Case {
        const char *pszName;
        std::string strScript;
        Bytes vExpected;
    } cases[] = {
        {"list inside comments, markers mid-line",
         "; setup notes *### here\n; PACKAGE# \"X.PKG\" and ITEM# \"a.bin\" follow\n", {1, 0, 0, 0, 'A'}},
        {"items before the package name are not items",
         "*### ITEM# \"b.bin\" PACKAGE# \"X.PKG\" ITEM# \"a.bin\"", {1, 0, 0, 0, 'A'}},
        {"a package marker before the start marker is ignored",
         "PACKAGE# \"Y.PKG\" *### PACKAGE# \"X.PKG\" ITEM# \"a.bin\"", {1, 0, 0, 0, 'A'}},
        {"a second package marker is ordinary text",
         "*### PACKAGE# \"X.PKG\" PACKAGE# \"Y.PKG\" ITEM# \"a.bin\"", {1, 0, 0, 0, 'A'}},
        {"markers in another case or spacing are not markers",
         "*### PACKAGE# \"X.PKG\" item# \"b.bin\" ITEM#  \"b.bin\" ITEM#\t\"b.bin\" ITEM# \"a.bin\"",
         {1, 0, 0, 0, 'A'}},
        {"an item listed twice is stored twice",
         "*### PACKAGE# \"X.PKG\" ITEM# \"a.bin\" ITEM# \"a.bin\"", {1, 0, 0, 0, 'A', 1, 0, 0, 0, 'A'}},
        {"a name runs across line ends",
         "*### PACKAGE# \"X.PKG\" ITEM# \"two\nlines.bin\"", {3, 0, 0, 0, 'T', 'W', 'O'}},
        {"a zero byte ends the text", std::string(achNulInside, sizeof achNulInside - 1), {1, 0, 0, 0, 'A'}},
        {"a backslash is a directory separator",
         "*### PACKAGE# \"X.PKG\" ITEM# \"sub\\dir\\c.bin\"", {2, 0, 0, 0, 'C', 'C'}},
        {"names ignore letter case, as on Windows",
         "*### PACKAGE# \"X.PKG\" ITEM# \"SUB\\Dir\\C.BIN\" ITEM# \"A.bin\"", {2, 0, 0, 0, 'C', 'C', 1, 0, 0, 0, 'A'}},
    };
    for (const Case &c : cases) {
        ScratchCwd cwd;
        WriteText("a.bin", "A");
        WriteText("b.bin", "BB");
        WriteText("two\nlines.bin", "TWO");
        WriteText("sub/dir/c.bin", "CC");
        std::string strError;
        EXPECT_TRUE(Pack(c.strScript, &strError)) << c.pszName << ": " << strError;
        EXPECT_EQ(ReadAll("X.PKG"), c.vExpected) << c.pszName;
    }
}

TEST(Pack, OutputOptionWritesElsewhere)
{
    ScratchCwd cwd;
    WriteText("a.bin", "A");
    std::filesystem::create_directory("out");
    ASSERT_TRUE(Pack("*### PACKAGE# \"X.PKG\" ITEM# \"a.bin\"", nullptr, "out/Y.PKG"));
    EXPECT_FALSE(Exists("X.PKG"));
    EXPECT_EQ(ReadAll("out/Y.PKG"), (Bytes{1, 0, 0, 0, 'A'}));
}

TEST(Pack, FailuresNameTheCauseAndLeaveNoPackage)
{
    const std::string strLong(256, 'L');
    struct Case {
        std::string strScript;
        const char *pszMessagePart;
    } cases[] = {
        {"PACKAGE# \"X.PKG\" ITEM# \"a.bin\"", "no start marker"},
        {"*### package# \"X.PKG\" ITEM# \"a.bin\"", "PACKAGE#"},
        {"*### PACKAGE# \"X.PKG", "PACKAGE#"},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"a.bin\" ITEM# \"b.bin", "after item 0 has no closing quote"},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"a.bin\"\nITEM# \"missing.bin\"", "pack.qps:2: item 1 \"missing.bin\""},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"empty.bin\"", "empty"},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"dir\"", "not a regular file"},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"a.bin \"", "\"a.bin \""},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"C:\\a.bin\"", "drive C:"},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"\\\\server\\a.bin\"", "network name"},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"\"", "empty"},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"X.PKG\"", "package file itself"},
        {"*### PACKAGE# \"nodir/X.PKG\" ITEM# \"a.bin\"", "cannot create"},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"a.bin\"\nITEM# \"" + strLong + "\"", "pack.qps:2: item 1 \"LLL"},
        {"*### PACKAGE# \"X.PKG\" ITEM# \"a.bin\"\nITEM# \"" + strLong + "\"", "256 characters"},
        {"*###\n\nPACKAGE# \"dir/" + strLong.substr(4) + "\" ITEM# \"a.bin\"", "pack.qps:3: package name"},
    };
    for (const Case &c : cases) {
        ScratchCwd cwd;
        WriteText("a.bin", "A");
        WriteText("empty.bin", "");
        std::filesystem::create_directory("dir");
        std::string strError;
        EXPECT_FALSE(Pack(c.strScript, &strError)) << c.strScript;
        EXPECT_NE(strError.find(c.pszMessagePart), std::string::npos)
            << c.strScript << "\n  message: " << strError;
        EXPECT_FALSE(Exists("X.PKG")) << c.strScript;
        EXPECT_TRUE(std::filesystem::is_empty("dir")) << c.strScript;
    }
}

TEST(Pack, NamesOf255CharactersPack)
{
    ScratchCwd cwd;
    std::string strItem = "dir/" + std::string(251, 'i'), strPackage = "out/" + std::string(251, 'p');
    WriteText(strItem, "A");
    std::filesystem::create_directory("out");
    std::string strError;
    EXPECT_TRUE(Pack("*### PACKAGE# \"" + strPackage + "\" ITEM# \"" + strItem + "\"", &strError)) << strError;
    EXPECT_EQ(ReadAll(strPackage), (Bytes{1, 0, 0, 0, 'A'}));
}

TEST(Pack, FailureRemovesAStalePackage)
{
    ScratchCwd cwd;
    WriteText("X.PKG", "an old package");
    EXPECT_FALSE(Pack("*### PACKAGE# \"X.PKG\" ITEM# \"gone.bin\""));
    EXPECT_FALSE(Exists("X.PKG"));
}

TEST(Pack, EmptyOrMissingScriptFails)
{
    ScratchCwd cwd;
    WriteText("empty.qps", "");
    ScriptInfo info;
    std::string strError;
    EXPECT_FALSE(ReadScript("empty.qps", &info, &strError));
    EXPECT_NE(strError.find("empty"), std::string::npos) << strError;
    EXPECT_FALSE(ReadScript("nothere.qps", &info, &strError));
    EXPECT_NE(strError.find("nothere.qps"), std::string::npos) << strError;
}

/* Names on the build machine; off Windows a name not found as written is
   matched part by part without regard to case, as the builder's Windows does. */
TEST(ResolveScriptName, Table)
{
    ScratchCwd cwd;
    WriteText("Files/ReadMe.txt", "R");
    WriteText("dup/a.bin", "1");
    WriteText("dup/A.BIN", "2");
    struct Case {
        const char *pszName;
        int fOk;
        const char *pszPathOrMessage;
    } cases[] = {
        {"files\\README.TXT", 1, "Files/ReadMe.txt"},
        {"plain.bin", 1, "plain.bin"},
        {" blank.bin ", 1, " blank.bin "},
        {"\\abs\\x", 1, "/abs/x"},
        {"c:x.bin", 0, "drive c:"},
        {"Z:\\x.bin", 0, "drive Z:"},
        {"\\\\host\\share\\x", 0, "network name"},
        {"", 0, "empty"},
        {"1:x", 1, "1:x"},
        {"Files\\ReadMe.txt", 1, "Files/ReadMe.txt"},
        {"FILES\\.\\..\\files\\readme.txt", 1, "Files/./../Files/ReadMe.txt"},
        {"FILES\\new.txt", 1, "Files/new.txt"},
        {"none\\x.bin", 1, "none/x.bin"},
        {"dup\\a.bin", 1, "dup/a.bin"},
        {"DUP\\a.Bin", 0, "\"a.Bin\" matches both \"A.BIN\" and \"a.bin\""},
    };
    for (const Case &c : cases) {
        std::string strPath, strError;
        EXPECT_EQ(ResolveScriptName(c.pszName, &strPath, &strError), c.fOk) << c.pszName;
        if (c.fOk)
            EXPECT_EQ(strPath, c.pszPathOrMessage) << c.pszName;
        else
            EXPECT_NE(strError.find(c.pszPathOrMessage), std::string::npos) << c.pszName << ": " << strError;
    }
}

TEST(PackTool, ExitCodesAndMessages)
{
    ScratchCwd cwd;
    WriteText("a.bin", "A");
    WriteText("good.qps", "*### PACKAGE# \"G.PKG\" ITEM# \"a.bin\"");
    WriteText("bad.qps", "*### PACKAGE# \"B.PKG\" ITEM# \"a.bin\"\n\nITEM# \"lost.bin\"");
    ToolRun good = RunTool("pack good.qps");
    EXPECT_EQ(good.nExit, 0) << good.strOut;
    EXPECT_EQ(ReadAll("G.PKG"), (Bytes{1, 0, 0, 0, 'A'}));
    ToolRun bad = RunTool("pack bad.qps");
    EXPECT_EQ(bad.nExit, 1);
    EXPECT_NE(bad.strOut.find("bad.qps:3: item 1 \"lost.bin\""), std::string::npos) << bad.strOut;
    EXPECT_FALSE(Exists("B.PKG"));
    ToolRun dry = RunTool("pack --dry-run good.qps");
    EXPECT_EQ(dry.nExit, 0);
    EXPECT_EQ(dry.strOut, "G.PKG\na.bin\n");
    EXPECT_FALSE(Exists("X.PKG"));
}

/* A package name the builder cannot use fails every kind of pack, so
   that a configure step reading the dry run gets no empty package path. */
TEST(PackTool, UnusablePackageNameFailsEveryMode)
{
    ScratchCwd cwd;
    WriteText("a.bin", "A");
    WriteText("drive.qps", "*###\nPACKAGE# \"C:\\OUT\\X.PKG\"\nITEM# \"a.bin\"");
    WriteText("long.qps", "*###\nPACKAGE# \"" + std::string(300, 'P') + "\"\nITEM# \"a.bin\"");
    struct Case {
        const char *pszArgs;
        const char *pszMessagePart;
    } cases[] = {
        {"pack drive.qps", "drive.qps:2: package name: \"C:\\OUT\\X.PKG\" names drive C:"},
        {"pack drive.qps -o out.pkg", "drive.qps:2: package name: \"C:\\OUT\\X.PKG\" names drive C:"},
        {"pack --dry-run drive.qps", "drive.qps:2: package name: \"C:\\OUT\\X.PKG\" names drive C:"},
        {"pack --dry-run -o out.pkg drive.qps", "names drive C:"},
        {"pack long.qps -o out.pkg", "long.qps:2: package name: the name has 300 characters"},
    };
    for (const Case &c : cases) {
        ToolRun run = RunTool(c.pszArgs);
        EXPECT_EQ(run.nExit, 1) << c.pszArgs << "\n" << run.strOut;
        EXPECT_EQ(run.strOut.find("quarnel-kit: error: "), 0u) << c.pszArgs << "\n" << run.strOut;
        EXPECT_NE(run.strOut.find(c.pszMessagePart), std::string::npos) << c.pszArgs << "\n" << run.strOut;
        EXPECT_FALSE(Exists("out.pkg")) << c.pszArgs;
    }
}

TEST(PackTool, HelpHasExamplesForEverySubcommand)
{
    for (const char *pszSub : {"", "pack ", "seal ", "list ", "lint ", "verify "}) {
        ToolRun run = RunTool(std::string(pszSub) + "--help");
        EXPECT_EQ(run.nExit, 0) << pszSub;
        EXPECT_NE(run.strOut.find("Examples:"), std::string::npos) << pszSub;
    }
    EXPECT_EQ(RunTool("").nExit, 2);
    EXPECT_EQ(RunTool("frobnicate").nExit, 2);
}

} // namespace
