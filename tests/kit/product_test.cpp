/* product_test.cpp - the product file, by the author's tasks: start one
 * with init, turn it into the classic files (and those into a package and
 * an installer), and meet each class of mistake, with a near miss that
 * must load. */
#include <gtest/gtest.h>

#include <string.h>
#include <time.h>

#include <memory>
#include <utime.h>

#include "kit_pe.h"
#include "kit_product.h"
#include "kit_testutil.h"

namespace {

std::string Joined(const std::vector<std::string> &v)
{
    std::string str;
    for (const std::string &s : v)
        str += "\n    " + s;
    return str;
}

bool HasError(const std::vector<std::string> &v)
{
    for (const std::string &s : v)
        if (s.find(": error: ") != std::string::npos)
            return true;
    return false;
}

void SetModified(const std::string &strPath, int nYear, int nMonth, int nDay, int nHour)
{
    struct tm tm = {};
    tm.tm_year = nYear - 1900;
    tm.tm_mon = nMonth - 1;
    tm.tm_mday = nDay;
    tm.tm_hour = nHour;
    struct utimbuf times;
    times.actime = times.modtime = timegm(&tm);
    ASSERT_EQ(utime(strPath.c_str(), &times), 0) << strPath;
}

/* ---- init, then the classic files --------------------------------------- */

TEST(ProductInit, FolderBecomesAProductThatBuilds)
{
    ScratchCwd cwd;
    WriteText("in/b.txt", "b");
    WriteText("in/A.TXT", "upper");
    WriteText("in/DOCS/EXTRA/DATA.BIN", "data");
    WriteText("in/DOCS-OLD/X.TXT", "x");
    /* Late on 9 September in UTC is already the 10th east of it: the date
       must not depend on the zone the author works in. */
    SetModified("in/b.txt", 1998, 9, 9, 23);
    SetModified("in/A.TXT", 2107, 12, 31, 0);
    ToolRun init = RunTool("init in -o out/product.toml");
    ASSERT_EQ(init.nExit, 1) << "the product file's folder does not exist yet: " << init.strOut;
    std::filesystem::create_directory("out");
    init = RunTool("init in -o out/product.toml");
    ASSERT_EQ(init.nExit, 0) << init.strOut;
    ASSERT_EQ(RunTool("init in > stdout.toml").nExit, 0);
    /* Run again with the product file inside the folder: not an item. */
    ASSERT_EQ(RunTool("init in -o in/again.toml").nExit, 0);
    ASSERT_EQ(RunTool("init in -o in/again.toml --force").nExit, 0);
    Bytes vAgain = ReadAll("in/again.toml");
    EXPECT_EQ(std::string(vAgain.begin(), vAgain.end()).find("again.toml"), std::string::npos);
    std::filesystem::remove("in/again.toml");

    Product p;
    std::vector<std::string> v;
    ASSERT_TRUE(LoadProduct("out/product.toml", &p, &v)) << Joined(v);
    EXPECT_TRUE(v.empty()) << Joined(v);
    const Manifest &m = p.manifest;
    EXPECT_EQ(m.at(98), "PRODUCT.PKG") << "named after the product file";
    EXPECT_EQ(m.at(499), "3");
    EXPECT_EQ(m.at(500), "DOCS");
    EXPECT_EQ(m.at(501), "DOCS-OLD") << "byte order: '-' before '/', a parent still before its children";
    EXPECT_EQ(m.at(502), "DOCS\\EXTRA");
    ASSERT_EQ(m.at(999), "4");
    const char *apszDest[] = {"%DA.TXT", "%DDOCS-OLD\\X.TXT", "%DDOCS\\EXTRA\\DATA.BIN", "%Db.txt"};
    for (unsigned i = 0; i < 4; i++) {
        EXPECT_EQ(m.at(1000 + i), apszDest[i]) << "byte order of the paths";
        EXPECT_EQ(m.at(2200 + i), "A");
    }
    EXPECT_EQ(m.at(1400), "A.TXT");
    EXPECT_EQ(m.at(1800), "21071231");
    EXPECT_EQ(m.at(1803), "19980909");
    EXPECT_EQ(p.vItemSources.size(), 4u);

    /* The classic files: the script's names resolve from its own folder. */
    ASSERT_EQ(RunTool("manifest out/product.toml -o out/manifest.rc").nExit, 0);
    ASSERT_EQ(RunTool("script out/product.toml -o gen/package.qps").nExit, 1) << "no folder gen";
    EXPECT_FALSE(Exists("gen"));
    ASSERT_EQ(RunTool("script out/product.toml -o out/package.qps").nExit, 0);
    std::string strRc((const char *)ReadAll("out/manifest.rc").data(), ReadAll("out/manifest.rc").size());
    EXPECT_NE(strRc.find("    1002, \"%DDOCS\\\\EXTRA\\\\DATA.BIN\"\n"), std::string::npos) << strRc;
    std::filesystem::current_path("out");
    ToolRun pack = RunTool("pack package.qps");
    std::filesystem::current_path("..");
    ASSERT_EQ(pack.nExit, 0) << pack.strOut;
    EXPECT_EQ(ReadAll("out/PRODUCT.PKG").size(), 4u * 4 + 5 + 1 + 4 + 1);
}

TEST(ProductInit, DateIsTheUtcDayInAnyZone)
{
    ScratchCwd cwd;
    WriteText("in/A.TXT", "a");
    SetModified("in/A.TXT", 1998, 9, 9, 23);
    ToolRun run = RunTool("init in | grep date; TZ=Pacific/Kiritimati " + std::string(KIT_TOOL) + " init in | grep date");
    EXPECT_EQ(run.strOut, "date = 1998-09-09\ndate = 1998-09-09\n");
}

struct InitStop {
    const char *pszWhat;
    void (*pfnMake)(bool fNearMiss);
    const char *pszNamed; /* the path the message names */
};

void MakeFiles(int n)
{
    for (int i = 0; i < n; i++)
        WriteText("in/F" + std::to_string(i), "x");
}

const InitStop aInitStops[] = {
    {"an empty file", [](bool f) { WriteText("in/EMPTY.TXT", f ? "x" : ""); }, "in/EMPTY.TXT"},
    {"a file of 2 GiB",
     [](bool f) {
         WriteText("in/HUGE.BIN", "x");
         std::filesystem::resize_file("in/HUGE.BIN", f ? 0x7fffffffu : 0x80000000u);
     },
     "in/HUGE.BIN"},
    {"more than 400 files", [](bool f) { MakeFiles(f ? 399 : 400); }, "in: 401 files"},
    {"a folder name with a blank", [](bool f) { WriteText(f ? "in/MY-DIR/A" : "in/MY DIR/A", "a"); }, "in/MY DIR"},
    {"a folder name with two dots", [](bool f) { WriteText(f ? "in/V1.2/A" : "in/V1.2.3/A", "a"); }, "in/V1.2.3"},
    {"names that differ only in letter case", [](bool f) { WriteText(f ? "in/Good.txt2" : "in/Good.txt", "a"); },
     "in/Good.txt"},
    {"a name the installer would expand", [](bool f) { WriteText(f ? "in/50%discount.txt" : "in/50%Discount.txt", "a"); },
     "in/50%Discount.txt: \"50%Discount.txt\" holds %D, %S or %W"},
    {"a folder name the installer would expand", [](bool f) { WriteText(f ? "in/X%s/A" : "in/X%S/A", "a"); },
     "in/X%S: \"X%S\" holds %D"},
    {"a device name with an extension", [](bool f) { WriteText(f ? "in/NULL.TXT" : "in/NUL.TXT", "a"); },
     "in/NUL.TXT: \"NUL.TXT\" is a device name"},
    {"a device name as a folder", [](bool f) { WriteText(f ? "in/COM10/A" : "in/com9/A", "a"); }, "in/com9: \"com9\""},
    {"a name ending in a dot", [](bool f) { WriteText(f ? "in/README" : "in/README.", "a"); }, "in/README.: "},
    {"a name ending in a blank", [](bool f) { WriteText(f ? "in/A B" : "in/A B ", "a"); }, "in/A B : "},
    {"names that are one file in code page 1252",
     [](bool f) {
         WriteText("in/\xC3\x84.txt", "a");
         WriteText(f ? "in/\xC3\xA4x.txt" : "in/\xC3\xA4.txt", "a");
     },
     "in/\xC3\xA4.txt: differs only in letter case from in/\xC3\x84.txt"},
    {"a link to nothing", [](bool f) { std::filesystem::create_symlink(f ? "GOOD.TXT" : "MISSING.TXT", "in/LINK.TXT"); },
     "in/LINK.TXT: a link to MISSING.TXT, which does not exist"},
    {"a link to a folder it lies in",
     [](bool f) {
         WriteText("other/B.TXT", "b");
         WriteText("in/SUB/C.TXT", "c");
         std::filesystem::create_symlink(f ? "../../other" : "..", "in/SUB/UP");
     },
     "in/SUB/UP: a link to "},
    {"a date before 1980",
     [](bool f) {
         WriteText("in/OLD.TXT", "a");
         SetModified("in/OLD.TXT", f ? 1980 : 1979, f ? 1 : 12, f ? 1 : 31, 12);
     },
     "in/OLD.TXT"},
    {"a date after 2107",
     [](bool f) {
         WriteText("in/NEW.TXT", "a");
         SetModified("in/NEW.TXT", f ? 2107 : 2108, f ? 12 : 1, f ? 31 : 1, 12);
     },
     "in/NEW.TXT"},
};

TEST(ProductInit, StopsNamingWhatTheInstallerCannotTake)
{
    for (const InitStop &stop : aInitStops) {
        for (bool fNearMiss : {false, true}) {
            ScratchCwd cwd;
            WriteText("in/GOOD.TXT", "good");
            stop.pfnMake(fNearMiss);
            ToolRun run = RunTool("init in -o product.toml");
            if (fNearMiss) {
                EXPECT_EQ(run.nExit, 0) << stop.pszWhat << " (near miss): " << run.strOut;
                continue;
            }
            EXPECT_EQ(run.nExit, 1) << stop.pszWhat;
            EXPECT_NE(run.strOut.find(std::string("error: ") + stop.pszNamed), std::string::npos)
                << stop.pszWhat << ": " << run.strOut;
            EXPECT_FALSE(Exists("product.toml")) << stop.pszWhat;
        }
    }
}

/* A link is followed: the files it leads to are items like any other. */
TEST(ProductInit, LinksAreFollowed)
{
    ScratchCwd cwd;
    WriteText("elsewhere/X.TXT", "x");
    WriteText("in/A.TXT", "a");
    std::filesystem::create_symlink("../elsewhere", "in/EXT");
    std::filesystem::create_symlink("A.TXT", "in/B.TXT");
    ToolRun run = RunTool("init in -o product.toml");
    ASSERT_EQ(run.nExit, 0) << run.strOut;
    Product p;
    std::vector<std::string> v;
    ASSERT_TRUE(LoadProduct("product.toml", &p, &v)) << Joined(v);
    EXPECT_EQ(p.manifest.at(500), "EXT");
    EXPECT_EQ(p.manifest.at(999), "3");
    EXPECT_EQ(p.manifest.at(1001), "%DB.TXT");
    EXPECT_EQ(p.manifest.at(1002), "%DEXT\\X.TXT") << "the linked folder's file is an item";
    ASSERT_EQ(p.vItemSources.size(), 3u);
    EXPECT_EQ(ReadAll(p.vItemSources[2]).size(), 1u) << p.vItemSources[2];
}

/* An existing product file is the author's work; hidden names are taken
   only when asked; sources are right from the folder the product file
   really lies in. */
TEST(ProductInit, KeepsTheAuthorsWork)
{
    ScratchCwd cwd;
    WriteText("in/A.TXT", "a");
    WriteText("in/.env", "secret");
    WriteText("in/.cache/C.TXT", "c");
    WriteText("product.toml", "# edited by hand\n");
    ToolRun run = RunTool("init in -o product.toml");
    EXPECT_EQ(run.nExit, 1) << run.strOut;
    EXPECT_NE(run.strOut.find("product.toml: exists already; pass --force"), std::string::npos) << run.strOut;
    Bytes vKept = ReadAll("product.toml");
    EXPECT_EQ(std::string(vKept.begin(), vKept.end()), "# edited by hand\n");

    run = RunTool("init in -o product.toml --force");
    ASSERT_EQ(run.nExit, 0) << run.strOut;
    EXPECT_NE(run.strOut.find("left out 2 hidden"), std::string::npos) << run.strOut;
    Bytes vNew = ReadAll("product.toml");
    std::string strNew(vNew.begin(), vNew.end());
    EXPECT_EQ(strNew.find(".env"), std::string::npos) << strNew;
    EXPECT_EQ(strNew.find(".cache"), std::string::npos) << strNew;

    run = RunTool("init in --hidden -o hidden.toml");
    EXPECT_EQ(run.nExit, 1) << "a folder name with a leading dot breaks the new-folder rule: " << run.strOut;
    EXPECT_NE(run.strOut.find("in/.cache: a folder name that breaks the installer's new-folder rule"), std::string::npos)
        << run.strOut;
    std::filesystem::remove_all("in/.cache");
    ASSERT_EQ(RunTool("init in --hidden -o hidden.toml").nExit, 0);
    Product p;
    std::vector<std::string> v;
    ASSERT_TRUE(LoadProduct("hidden.toml", &p, &v)) << Joined(v);
    EXPECT_EQ(p.manifest.at(1000), "%D.env");

    /* The product file's folder reached through a link: its sources are
       read from where the folder really is. */
    std::filesystem::create_directories("deep/down");
    std::filesystem::create_symlink("deep/down", "out");
    ASSERT_EQ(RunTool("init in -o out/product.toml").nExit, 0);
    ASSERT_TRUE(LoadProduct("out/product.toml", &p, &v)) << Joined(v);

    run = RunTool("init in 2>/dev/null");
    EXPECT_NE(run.strOut.find("# It went to standard output, so the source paths start from the folder\n"
                              "# init ran in"), std::string::npos) << run.strOut;
    EXPECT_NE(run.strOut.find("source = 'in/A.TXT'"), std::string::npos) << run.strOut;
}

/* ---- every key on its entry -------------------------------------------- */

TEST(ProductFile, EveryNamedKeyLandsOnItsEntry)
{
    ScratchCwd cwd;
    WriteText("A.TXT", "a");
    WriteText("product.toml",
              "[product]\nname = \"N\"\nversion = \"4.3.2.1\"\npublisher = \"P \u00A9\"\ndescription = \"D\"\n"
              "[install]\npackage = \"A.PKG\"\ndestination = 'C:\\A'\nspace_kb = 64\nrun_after = '%DS\\A.TXT'\n"
              "show_progress = false\nshow_completion = true\ncompletion_message = \"C\"\n"
              "cancel_question = \"Q\"\nwarn_root = false\nwarn_windows_dir = true\nwarn_system_dir = false\n"
              "subdirectories = [\"S\"]\n"
              "[program_group]\nname = \"G, 1\"\ndde_service = \"SVC\"\ncommands = [\"[X]\"]\n"
              "[[program_group.icon]]\ntitle = \"T\"\ncommand = '%DS\\A.TXT'\nreplace = true\n"
              "[[item]]\nsource = \"A.TXT\"\ndestination = '%DS\\A.TXT'\ndate = 2000-02-29\noverwrite = \"N\"\n"
              "[[ini]]\nfile = '%DA.INI'\nsection = \"Sec\"\nkey = \"K\"\nvalue = \"V\"\noverwrite = \"N\"\n"
              "[messages]\n0 = \"M0\"\n408 = \"M408\"\n"
              "[entries]\n97 = 7\n");
    Product p;
    std::vector<std::string> v;
    ASSERT_TRUE(LoadProduct("product.toml", &p, &v)) << Joined(v);
    EXPECT_EQ(p.strPackageName, "A.PKG");
    EXPECT_EQ(p.vItemSources, std::vector<std::string>{"A.TXT"});
    EXPECT_EQ(p.version.strName, "N");
    EXPECT_EQ(p.version.strPublisher, "P \xA9");
    EXPECT_EQ(p.version.strVersion, "4.3.2.1");
    const Manifest want = {
        {0, "M0"}, {97, "7"}, {98, "A.PKG"}, {99, "D"}, {100, "C:\\A"}, {101, "64"}, {102, "%DS\\A.TXT"},
        {105, "FALSE"}, {106, "TRUE"}, {107, "FALSE"}, {108, "TRUE"}, {109, "FALSE"}, {112, "Q"}, {150, "C"},
        {408, "M408"}, {499, "1"}, {500, "S"}, {698, "SVC"}, {699, "4"},
        {700, "[CreateGroup(\"G, 1\")][ShowGroup(\"G, 1\",1)]"}, {701, "[X]"},
        {702, "[ReplaceItem(T)]"}, {703, "[AddItem(\"%DS\\A.TXT\",T)]"}, {999, "1"}, {1000, "%DS\\A.TXT"},
        {1400, "A.TXT"}, /* no name: the installed file's */
        {1800, "20000229"}, {2200, "N"}, {2999, "1"}, {3000, "%DA.INI"}, {3200, "N"}, {3400, "Sec"},
        {3600, "K"}, {3800, "V"}};
    EXPECT_EQ(p.manifest, want);
    /* The one finding: entry 97 is read by nobody. */
    ASSERT_EQ(v.size(), 1u) << Joined(v);
    EXPECT_NE(v[0].find("product.toml:42:1: warning: entries.97: not an entry the installer reads"), std::string::npos)
        << v[0];
}

/* A path may be written with / or \; the kit writes \, which is all the
   installer's own checks know.  A command line is left as written: a / may
   start an option there. */
TEST(ProductFile, PathsAreWrittenWithBackslashes)
{
    ScratchCwd cwd;
    WriteText("A.TXT", "a");
    WriteText("product.toml",
              "[product]\nname = \"T\"\nversion = \"1.0\"\n"
              "[install]\npackage = \"A.PKG\"\ndestination = 'C:/APPS/TOOL'\nrun_after = '%DDOCS/EXTRA/A.TXT /x'\n"
              "subdirectories = [\"DOCS\", \"DOCS/EXTRA\"]\n"
              "[[item]]\nsource = \"A.TXT\"\ndestination = '%DDOCS/EXTRA/A.TXT'\n"
              "[[ini]]\nfile = '%DDOCS/A.INI'\nsection = \"S\"\nkey = \"K\"\n");
    Product p;
    std::vector<std::string> v;
    ASSERT_TRUE(LoadProduct("product.toml", &p, &v)) << Joined(v);
    const std::pair<unsigned, const char *> aWant[] = {
        {100, "C:\\APPS\\TOOL"}, {102, "%DDOCS/EXTRA/A.TXT /x"}, {501, "DOCS\\EXTRA"},
        {1000, "%DDOCS\\EXTRA\\A.TXT"}, {3000, "%DDOCS\\A.INI"}};
    for (const auto &want : aWant)
        EXPECT_EQ(p.manifest.at(want.first), want.second) << "entry " << want.first;
}

/* ---- mistakes in a product file ----------------------------------------- */

/* A small product; a case adds one line to [install] (line 7; a package
   or destination line there replaces the product's own, and the comment
   NO_PRODUCT leaves out the product table), one to the item (line 12) and
   text at the end (from line 13). */
const char *const pszNoProduct = "# without a product table";

std::string ProductText(const std::string &strInstall, const std::string &strItem, const std::string &strTail)
{
    bool fNoProduct = strInstall == pszNoProduct;
    return std::string(fNoProduct ? "" : "product = { name = \"App\", version = \"1.0\" }") + "\n"
           "# line 2\n"
           "[install]\n" +
           std::string(strInstall.compare(0, 11, "destination") == 0 ? "" : "destination = 'C:\\APP'") + "\n" +
           std::string(strInstall.compare(0, 7, "package") == 0 ? "" : "package = \"APP.PKG\"") + "\n"
           "subdirectories = [\"DOCS\"]\n" +
           strInstall + "\n"
           "[[item]]\n"
           "source = \"A.TXT\"\n"
           "destination = '%DDOCS\\A.TXT'\n"
           "date = 1998-09-09\n" +
           strItem + "\n" + strTail + "\n";
}

struct Mistake {
    const char *pszWhat;
    const char *pszInstall, *pszItem, *pszTail; /* the mistake */
    const char *pszExpect;                       /* in the messages */
    const char *pszNearInstall, *pszNearItem, *pszNearTail;
};

const std::string str256(256, 'n');
const std::string strName255 = "name = \"" + std::string(253, 'n') + "\xC3\xA9\xC3\xA9\""; /* é counts once */

/* Text kept for the table below, which holds pointers. */
const char *Kept(const std::string &str)
{
    static std::vector<std::unique_ptr<std::string>> v;
    v.push_back(std::make_unique<std::string>(str));
    return v.back()->c_str();
}

/* A program group with one icon, its title on line 16 and command on 17. */
const char *IconTail(const std::string &strTitle, const std::string &strCommand)
{
    return Kept("[program_group]\nname = \"App\"\n[[program_group.icon]]\n" + strTitle + "\n" + strCommand);
}

/* An INI change whose field strKey (line 17) is 256 characters long, and
   255 in its near miss: the installer keeps 255 of each. */
Mistake IniMistake(const std::string &strKey, const std::string &strStart, char c)
{
    std::string strOthers = "[[ini]]\nfile = 'C:\\A.INI'\nsection = \"S\"\nkey = \"K\"\n";
    size_t n = strOthers.find(strKey + " = ");
    if (n != std::string::npos)
        strOthers.erase(n, strOthers.find('\n', n) + 1 - n);
    auto tail = [&](size_t cch) {
        return Kept(strOthers + strKey + " = '" + strStart + std::string(cch - strStart.size(), c) + "'");
    };
    std::string strWhere = strKey == "file" || strKey == "section" || strKey == "key" ? "16" : "17";
    return Mistake{Kept("INI " + strKey + " of 256 characters"), "", "", tail(256),
                   Kept(strWhere + ":1: error: ini[0]." + strKey + ": has 256 characters; the installer reads only "
                        "the first 255"),
                   "", "", tail(255)};
}

const std::vector<Mistake> &Mistakes()
{
    static const std::string strLongName = "name = \"" + str256 + "\"";
    /* 255 characters once %D is C:\APP\: the near miss */
    static const std::string strLongDest = "[[item]]\nsource = \"A.TXT\"\ndestination = '%DDOCS\\" + std::string(249, 'D') + "'";
    static const std::string strFitDest = "[[item]]\nsource = \"A.TXT\"\ndestination = '%DDOCS\\" + std::string(243, 'D') + "'";
    static const std::string strIni = "[[ini]]\nfile = '%DA.INI'\nsection = \"S\"\nkey = \"K\"\n";
    static const std::string strBadIniRule = strIni + "overwrite = \"O19980909\"";
    static const std::string strIniRule = strIni + "overwrite = \"PReplace %s with %s?\"";
    static const std::vector<Mistake> v = {
        {"wrong type", "space_kb = \"64\"", "", "", "product.toml:7:1: error: install.space_kb: expects a whole number",
         "space_kb = 64", "", ""},
        {"unknown key", "show_progess = true", "", "", "7:1: error: install.show_progess: unknown key; did you mean \"show_progress\"?",
         "show_progress = true", "", ""},
        {"unknown key in an item", "", "overwrites = \"N\"", "", "12:1: error: item[0].overwrites: unknown key; did you mean \"overwrite\"?",
         "", "overwrite = \"N\"", ""},
        {"unknown table", "", "", "[instal]", "13:2: error: instal: unknown key; did you mean \"install\"?", "", "", "[entries]"},
        {"display name too long", "", strLongName.c_str(), "", "12:1: error: item[0].name: has 256 characters; the installer reads only the first 255",
         "", strName255.c_str(), ""},
        {"rule the installer reads otherwise", "", "overwrite = \"O2001061PA newer %s exists\"", "",
         "12:1: error: item[0].overwrite: rule \"O2001061PA newer %s exists\": O must be followed by eight digits",
         "", "overwrite = \"O20010615PA newer %s exists\"", ""},
        {"one ID by name and by number", "completion_message = \"Done.\"", "", "[messages]\n150 = \"Ready.\"",
         "14:1: error: messages.150: defines entry 150, which install.completion_message at line 7 defines already",
         "completion_message = \"Done.\"", "", "[messages]\n303 = \"No folder.\""},
        {"one ID twice by number", "", "", "[entries]\n999 = \"2\"",
         "14:1: error: entries.999: defines entry 999, which item at line 8 defines already", "", "", "[entries]\n998 = \"2\""},
        {"not a message ID", "", "", "[messages]\n301 = \"x\"", "14:1: error: messages.301: 301 is not a message ID", "", "",
         "[messages]\n300 = \"x\""},
        {"missing source file", "", "", "[[item]]\nsource = \"B.TXT\"\ndestination = '%DB.TXT'",
         "14:1: error: item[1].source: B.TXT does not exist", "", "",
         "[[item]]\nsource = \"a.txt\"\ndestination = '%DB.TXT'"},
        {"source file of 2 GiB", "", "", "[[item]]\nsource = \"BIG.BIN\"\ndestination = '%DB.BIN'",
         "14:1: error: item[1].source: BIG.BIN is larger than a record can hold", "", "",
         "[[item]]\nsource = \"NEAR.BIN\"\ndestination = '%DB.BIN'"},
        {"destination too long", "", "", strLongDest.c_str(), "15:1: error: item[1].destination: has 256 characters", "", "",
         strFitDest.c_str()},
        {"item without destination", "", "", "[[item]]\nsource = \"A.TXT\"", "13:1: error: item[1]: has no \"destination\" key",
         "", "", "[[item]]\nsource = \"A.TXT\"\ndestination = '%DC.TXT'"},
        {"package name with a folder", "package = 'SUB\\APP.PKG'", "", "", "error: install.package: \"SUB\\APP.PKG\" is not a plain file name",
         "package = 'SUB-APP.PKG'", "", ""},
        {"package name of a device", "package = \"CON.PKG\"", "", "", "error: install.package: \"CON.PKG\" names no file",
         "package = \"CONS.PKG\"", "", ""},
        {"package name of 16 characters", "package = \"SIXTEENCHARS.PKG\"", "", "",
         "7:1: error: install.package: package name \"SIXTEENCHARS.PKG\" has 16 characters", "package = \"FIFTEENCHR1.PKG\"", "", ""},
        {"a lint finding at the line of its key", "", "", "[[item]]\nsource = \"A.TXT\"\ndestination = '%DMISC\\B.TXT'",
         "15:1: error: item[1].destination: its directory \"MISC\" is not among the subdirectories", "", "",
         "[[item]]\nsource = \"A.TXT\"\ndestination = '%Ddocs\\B.TXT'"},
        {"a character outside code page 1252", "completion_message = \"\xE2\x98\x83\"", "", "",
         "7:1: warning: install.completion_message: \xE2\x98\x83 not in code page 1252",
         "completion_message = \"\xE2\x82\xAC\"", "", ""},
        {"package name beyond ASCII", "package = \"PAK\xC3\x89.PKG\"", "", "",
         "7:1: error: install.package: package name \"PAK\xC3\x89.PKG\" is not plain ASCII", "package = \"PAKE.PKG\"",
         "", ""},
        {"a double quote in the group's name", "", "", "[program_group]\nname = 'The \"App\"'",
         "14:1: error: program_group.name: holds a double quote", "", "",
         "[program_group]\nname = 'The (App), 2'"},
        {"a double quote in an icon's title", "", "", IconTail("title = 'Say \"Hi\"'", "command = '%DDOCS\\A.TXT'"),
         "16:1: error: program_group.icon[0].title: holds a double quote", "", "",
         IconTail("title = 'Say Hi, (2)'", "command = '%DDOCS\\A.TXT'")},
        {"a double quote in an icon's command", "", "", IconTail("title = 'A'", "command = '\"%DDOCS\\A.TXT\"'"),
         "17:1: error: program_group.icon[0].command: holds a double quote", "", "",
         IconTail("title = 'A'", "command = '%DDOCS\\A.TXT'")},
        {"a macro in an icon's title", "", "", IconTail("title = '%DA'", "command = '%DDOCS\\A.TXT'"),
         "16:1: warning: program_group.icon[0].title: holds %D, %S or %W, which the installer expands", "", "",
         IconTail("title = '%dA'", "command = '%DDOCS\\A.TXT'")},
        {"a macro in the group's name", "", "", "[program_group]\nname = 'App %W'",
         "14:1: warning: program_group.name: holds %D, %S or %W", "", "", "[program_group]\nname = 'App %w'"},
        {"a raw command with a macro out of quotes", "", "",
         "[program_group]\ncommands = ['[AddItem(%DDOCS\\A.TXT,A)]']",
         "14:13: warning: program_group.commands[0]: a macro in a parameter out of double quotes: write "
         "\"%DDOCS\\A.TXT\" with its quotes", "", "",
         "[program_group]\ncommands = ['[AddItem(\"%DDOCS\\A.TXT\",A)]']"},
        IniMistake("file", "C:\\", 'f'),
        IniMistake("section", "", 's'),
        IniMistake("key", "", 'k'),
        IniMistake("value", "", 'v'),
        IniMistake("overwrite", "P", 'q'),
        {"a Windows path in double quotes", "destination = \"C:\\tools\\rWidget Studio\"", "", "",
         "7:1: error: install.destination: \"C:\\tools\\rWidget Studio\" holds the control character \"\\t\" at "
         "character 3, which Windows takes in no name; in double quotes TOML reads \\t as that character: write "
         "paths in single quotes",
         "destination = 'C:\\tools\\rWidget'", "", ""},
        {"the product's own folder with a blank", "destination = 'C:\\Program Files\\Widget Studio'", "", "",
         "7:1: error: install.destination: the product's own folder \"Widget Studio\" breaks the installer's "
         "new-folder rule", "destination = 'C:\\Program Files\\WidgetStudio'", "", ""},
        {"a destination below a folder the installer cannot create", "destination = 'C:\\Program Files\\Widget'", "", "",
         "7:1: warning: install.destination: \"Program Files\" breaks the installer's new-folder rule",
         "destination = 'C:\\Programs\\Widget'", "", ""},
        {"an item name Windows refuses", "", "", "[[item]]\nsource = \"A.TXT\"\ndestination = '%DRead*Me?.txt'",
         "15:1: error: item[1].destination: \"Read*Me?.txt\" holds \"*\", which Windows refuses", "", "",
         "[[item]]\nsource = \"A.TXT\"\ndestination = '%DRead-Me.txt'"},
        {"an item of a device name", "", "", "[[item]]\nsource = \"A.TXT\"\ndestination = '%DCON'",
         "15:1: error: item[1].destination: \"CON\" is a device name", "", "",
         "[[item]]\nsource = \"A.TXT\"\ndestination = '%DCONS'"},
        {"an item outside the destination", "", "", "[[item]]\nsource = \"A.TXT\"\ndestination = '%D../../evil.txt'",
         "15:1: error: item[1].destination: \"..\" is no name", "", "",
         "[[item]]\nsource = \"A.TXT\"\ndestination = '%Devil.txt'"},
        {"an item name ending in a dot", "", "", "[[item]]\nsource = \"A.TXT\"\ndestination = '%DREADME.'",
         "15:1: error: item[1].destination: \"README.\" ends in a dot or a blank", "", "",
         "[[item]]\nsource = \"A.TXT\"\ndestination = '%DREADME'"},
        {"an item in a folder not created, written with a slash", "", "",
         "[[item]]\nsource = \"A.TXT\"\ndestination = '%Dnotlisted/X.TXT'",
         "15:1: error: item[1].destination: its directory \"notlisted\" is not among the subdirectories", "", "",
         "[[item]]\nsource = \"A.TXT\"\ndestination = '%Ddocs/X.TXT'"},
        {"two items with one destination in another letter case", "", "",
         "[[item]]\nsource = \"A.TXT\"\ndestination = '%Ddocs\\a.txt'",
         "15:1: error: item[1].destination: writes the same file as item 0", "", "",
         "[[item]]\nsource = \"A.TXT\"\ndestination = '%Ddocs\\b.txt'"},
        {"an INI file name Windows refuses", "", "", "[[ini]]\nfile = '%DA|B.INI'\nsection = \"S\"\nkey = \"K\"",
         "14:1: error: ini[0].file: \"A|B.INI\" holds \"|\"", "", "",
         "[[ini]]\nfile = '%DA-B.INI'\nsection = \"S\"\nkey = \"K\""},
        {"a program name Windows refuses", "run_after = '%DTOOL?.EXE'", "", "",
         "7:1: error: install.run_after: \"TOOL?.EXE\" holds \"?\"", "run_after = '%DTOOL.EXE /x'", "", ""},
        {"an icon for a device name", "", "",
         "[program_group]\nname = \"G\"\n[[program_group.icon]]\ntitle = \"T\"\ncommand = '%DNUL.TXT'",
         "17:1: error: program_group.icon[0].command: \"NUL.TXT\" is a device name", "", "",
         "[program_group]\nname = \"G\"\n[[program_group.icon]]\ntitle = \"T\"\ncommand = '%DNULL.TXT'"},
        {"a NUL in a message", "completion_message = \"Done\\u0000.\"", "", "",
         "7:1: error: install.completion_message: \"Done\\x00.\" holds the control character \"\\x00\" at character 5: "
         "the installer reads the text only up to it", "completion_message = \"Done\\n.\"", "", ""},
        {"a control character in a display name", "", "name = \"A\\u0001B\"", "",
         "12:1: error: item[0].name: \"A\\x01B\" holds the control character", "", "name = \"A B\"", ""},
        {"a control character in a numbered message", "", "", "[messages]\n303 = \"No\\u0007folder\"",
         "14:1: error: messages.303: \"No\\x07folder\" holds the control character", "", "",
         "[messages]\n303 = \"No\\tfolder\""},
        {"a control character in a raw entry", "", "", "[entries]\n698 = \"PROG\\tMAN\"",
         "14:1: error: entries.698: \"PROG\\tMAN\" holds the control character", "", "", "[entries]\n698 = \"PROGMAN\""},
        {"package name of a device", "package = \"COM9.PKG\"", "", "", "error: install.package: \"COM9.PKG\" names no file",
         "package = \"COM0.PKG\"", "", ""},
        /* Rules by meaning: words read as their first letter. */
        {"rule \"Ask\" always overwrites", "", "overwrite = \"Ask\"", "",
         "12:1: error: item[0].overwrite: rule \"Ask\": a word, not a rule: the installer reads it as \"A\"", "",
         "overwrite = \"PReplace %s?\"", ""},
        {"rule \"Newer\" never overwrites", "", "overwrite = \"Newer\"", "",
         "12:1: error: item[0].overwrite: rule \"Newer\": a word, not a rule: the installer reads it as \"N\"", "",
         "overwrite = \"O19980909\"", ""},
        {"rule \"Prompt\" asks \"rompt\"", "", "overwrite = \"Prompt\"", "",
         "12:1: error: item[0].overwrite: rule \"Prompt\": a word, not a rule: the installer reads it as \"P\" and "
         "asks the question \"rompt\"", "", "overwrite = \"PReplace %s?\"", ""},
        {"rule after its first letter", "", "overwrite = \"A always\"", "",
         "12:1: error: item[0].overwrite: rule \"A always\": only its first letter counts", "", "overwrite = \"A\"", ""},
        {"rule in lower case", "", "overwrite = \"n\"", "",
         "12:1: error: item[0].overwrite: rule \"n\": its first letter is none of the rule letters", "",
         "overwrite = \"N\"", ""},
        {"rule with text after its date", "", "overwrite = \"O19980909 ask\"", "",
         "12:1: error: item[0].overwrite: rule \"O19980909 ask\": the installer ignores \" ask\" after the date", "",
         "overwrite = \"O19980909PAsk?\"", ""},
        {"rule with a date that is none", "", "overwrite = \"O19981340\"", "",
         "12:1: error: item[0].overwrite: rule \"O19981340\": its date \"19981340\" is not a real date", "",
         "overwrite = \"O19981130\"", ""},
        {"rule P without a question", "", "overwrite = \"P\"", "",
         "12:1: error: item[0].overwrite: rule \"P\": P needs the question to ask", "", "overwrite = \"P?\"", ""},
        {"INI rule with an item's date", "", "", strBadIniRule.c_str(),
         "17:1: error: ini[0].overwrite: rule \"O19980909\": O and a date is for items only", "", "",
         strIniRule.c_str()},
        /* Mistakes of meaning. */
        {"completion message never shown", "completion_message = \"Done.\"", "", "",
         "7:1: warning: install.completion_message: the completion message shows only with show_completion = true",
         "show_completion = true\ncompletion_message = \"Done.\"", "", ""},
        {"icons without a group", "", "", "[program_group]\n[[program_group.icon]]\ntitle = \"T\"\ncommand = '%DDOCS\\A.TXT'",
         "14:1: warning: program_group.icon[0]: icons without a group", "", "",
         "[program_group]\nname = \"G\"\n[[program_group.icon]]\ntitle = \"T\"\ncommand = '%DDOCS\\A.TXT'"},
        {"run_after naming a file no item installs", "run_after = '%WNOTEPAD.EXE %DREADME.TXT'", "", "",
         "7:1: warning: install.run_after: names \"%DREADME.TXT\", which no item installs",
         "run_after = '%WNOTEPAD.EXE %Ddocs/a.txt'", "", ""},
        {"icon command naming a file no item installs", "", "",
         "[program_group]\nname = \"G\"\n[[program_group.icon]]\ntitle = \"T\"\ncommand = '%DDOCS\\B.TXT'",
         "17:1: warning: program_group.icon[0].command: names \"%DDOCS\\B.TXT\", which no item installs", "", "",
         "[program_group]\nname = \"G\"\n[[program_group.icon]]\ntitle = \"T\"\ncommand = '%DDOCS\\A.TXT'"},
        {"no destination", "destination = ''", "", "",
         "7:1: error: install.destination: no destination: the installer would offer an empty folder field",
         "destination = 'C:\\OTHER'", "", ""},
        {"no product table", pszNoProduct, "", "", "product.toml: error: the product file has no [product] table",
         "# with the product table", "", ""},
    };
    return v;
}

struct Loaded {
    int fOk;
    Product product;
    std::vector<std::string> vMessages;
};

Loaded LoadText(const std::string &strText)
{
    WriteText("A.TXT", "a");
    WriteText("product.toml", strText);
    Loaded l;
    l.fOk = LoadProduct("product.toml", &l.product, &l.vMessages);
    return l;
}

TEST(ProductFile, EachMistakeIsNamedAtItsLineAndANearMissLoads)
{
    ScratchCwd cwd;
    WriteText("BIG.BIN", "x");
    std::filesystem::resize_file("BIG.BIN", 0x80000000u);
    WriteText("NEAR.BIN", "x");
    std::filesystem::resize_file("NEAR.BIN", 0x7fffffffu);
    for (const Mistake &c : Mistakes()) {
        Loaded bad = LoadText(ProductText(c.pszInstall, c.pszItem, c.pszTail));
        std::string strAll = Joined(bad.vMessages);
        EXPECT_NE(strAll.find(c.pszExpect), std::string::npos) << c.pszWhat << ":" << strAll;
        EXPECT_EQ(bad.fOk, !HasError(bad.vMessages)) << c.pszWhat;
        Loaded near = LoadText(ProductText(c.pszNearInstall, c.pszNearItem, c.pszNearTail));
        EXPECT_TRUE(near.fOk) << c.pszWhat << " (near miss):" << Joined(near.vMessages);
        EXPECT_FALSE(HasError(near.vMessages)) << c.pszWhat << " (near miss)";
        EXPECT_EQ(Joined(near.vMessages).find(c.pszExpect), std::string::npos) << c.pszWhat << " (near miss)";
    }
}

/* The group's name, an icon's title and its command become Program Manager
   parameters, quoted by what they hold and by what the installer's
   expansion makes of them. */
TEST(ProductFile, CommandParametersAreQuotedByWhatTheyBecome)
{
    ScratchCwd cwd;
    const struct {
        const char *pszText; /* name, title and command alike */
        const char *pszParam;
    } aCases[] = {
        {"PLAIN.EXE", "PLAIN.EXE"},
        {"Read Me", "\"Read Me\""},
        {"A,B", "\"A,B\""},
        {"A(1)", "\"A(1)\""},
        {"A)", "\"A)\""},
        {"[A]", "\"[A]\""},
        {"%DREADME.TXT", "\"%DREADME.TXT\""},
        {"%SSYS.EXE", "\"%SSYS.EXE\""},
        {"X%WNOTEPAD.EXE", "\"X%WNOTEPAD.EXE\""},
        {"100%%D", "\"100%%D\""},
        {"%dREADME.TXT", "%dREADME.TXT"}, /* no macro: stays as it is */
        {"50%x", "50%x"},
        {"END%", "END%"},
    };
    for (const auto &c : aCases) {
        Loaded l = LoadText(ProductText("", "", "[program_group]\nname = '" + std::string(c.pszText) +
                                                    "'\n[[program_group.icon]]\ntitle = '" + c.pszText +
                                                    "'\ncommand = '" + c.pszText + "'"));
        ASSERT_TRUE(l.fOk) << c.pszText << Joined(l.vMessages);
        std::string strParam = c.pszParam;
        EXPECT_EQ(l.product.manifest[700], "[CreateGroup(" + strParam + ")][ShowGroup(" + strParam + ",1)]");
        EXPECT_EQ(l.product.manifest[701], "[AddItem(" + strParam + "," + strParam + ")]");
    }
}

TEST(ProductFile, DatesAndVersions)
{
    ScratchCwd cwd;
    struct Case {
        const char *pszLine; /* in the item, or in [product] when it starts with "version" */
        const char *pszExpect; /* an error, or the entry / version numbers it gives */
    } aCases[] = {
        {"date = \"19980931\"", "error: item[0].date: item date \"19980931\" is not a real date"},
        {"date = \"19980930\"", "19980930"},
        {"date = 1979-12-31", "error: item[0].date: item date \"19791231\" lies outside 1980-01-01 to 2107-12-31"},
        {"date = 1980-01-01", "19800101"},
        {"date = 1998-09-09T10:00:00", "error: item[0].date: expects a date such as 1998-09-09, not a date and time"},
        {"date = 19980909", "error: item[0].date: expects a date such as 1998-09-09, not an integer"},
        {"version = \"1.2.3.4.5\"", "error: product.version: \"1.2.3.4.5\" is not a version"},
        {"version = \"1.65536\"", "error: product.version: \"1.65536\" is not a version"},
        {"version = \"1..2\"", "error: product.version: \"1..2\" is not a version"},
        {"version = \"2.65535.0.7\"", "2 65535 0 7"},
        {"version = \"3\"", "3 0 0 0"},
        {"version = 1.0", "error: product.version: write the version as a string, such as version = \"1.0\""},
    };
    for (const Case &c : aCases) {
        std::string strLine = c.pszLine;
        bool fVersion = strLine.compare(0, 7, "version") == 0;
        std::string strText = ProductText("", fVersion ? "" : strLine, "");
        if (fVersion) {
            strText.replace(strText.find("version = \"1.0\""), 15, strLine);
        } else {
            size_t n = strText.find("date = 1998-09-09\n");
            strText.erase(n, 18);
        }
        Loaded l = LoadText(strText);
        std::string strAll = Joined(l.vMessages);
        if (strncmp(c.pszExpect, "error", 5) == 0) {
            EXPECT_FALSE(l.fOk) << c.pszLine;
            EXPECT_NE(strAll.find(c.pszExpect), std::string::npos) << c.pszLine << ":" << strAll;
            continue;
        }
        ASSERT_TRUE(l.fOk) << c.pszLine << ":" << strAll;
        const unsigned short *aw = l.product.version.awNumbers;
        std::string strGot = fVersion ? std::to_string(aw[0]) + " " + std::to_string(aw[1]) + " " +
                                            std::to_string(aw[2]) + " " + std::to_string(aw[3])
                                      : l.product.manifest.at(1800);
        EXPECT_EQ(strGot, c.pszExpect) << c.pszLine;
    }
}

TEST(ProductFile, NotUtf8OrNotTomlIsNamedAndNothingIsWritten)
{
    ScratchCwd cwd;
    struct Case {
        std::string strText;
        const char *pszExpect;
    } aCases[] = {
        {ProductText("completion_message = \"Caf\xE9\"", "", ""), "product.toml:7:26: error: the product file is not UTF-8 (byte 0xE9)"},
        {ProductText("completion_message = ", "", ""), "product.toml:7:"},
        {ProductText("", "", "[install]"), "product.toml:13:"},
    };
    for (const Case &c : aCases) {
        WriteText("A.TXT", "a");
        WriteText("product.toml", c.strText);
        for (const char *pszCommand : {"manifest", "script"}) {
            ToolRun run = RunTool(std::string(pszCommand) + " product.toml -o out.txt");
            EXPECT_EQ(run.nExit, 1) << run.strOut;
            EXPECT_NE(run.strOut.find(c.pszExpect), std::string::npos) << run.strOut;
            EXPECT_NE(run.strOut.find("nothing written"), std::string::npos) << run.strOut;
            EXPECT_FALSE(Exists("out.txt"));
        }
    }
    EXPECT_EQ(RunTool("manifest").nExit, 2);
    EXPECT_EQ(RunTool("init").nExit, 2);
    /* A folder where a file belongs is named, not a crash. */
    for (const char *pszCommand : {"manifest", "script", "pack", "lint"}) {
        ToolRun run = RunTool(std::string(pszCommand) + " .");
        EXPECT_EQ(run.nExit, 1) << pszCommand << ": " << run.strOut;
        EXPECT_NE(run.strOut.find("not a file"), std::string::npos) << pszCommand << ": " << run.strOut;
    }
}

/* ---- the examples, and the manifest through the resource compiler ------- */

TEST(ProductFile, ExamplesLoadWithoutFindings)
{
    for (const char *pszExample : {"sample/sample.toml", "full/full.toml"}) {
        Product p;
        std::vector<std::string> v;
        std::string strFile = std::string(KIT_SOURCE_DIR) + "/examples/" + pszExample;
        EXPECT_TRUE(LoadProduct(strFile, &p, &v)) << strFile << Joined(v);
        EXPECT_TRUE(v.empty()) << strFile << Joined(v);
    }
}

/* The examples' manifests went through `manifest` and windres into both
   installers: every entry must read back as the product file gives it, the
   (c) and the line break of the full example's completion message included. */
TEST(ProductFile, InstallerReadsTheProductsTextsByteForByte)
{
    const struct {
        const char *pszProduct;
        const char *pszExe;
    } aBuilt[] = {
        {"sample/sample.toml", KIT_WIN32_EXE},
        {"sample/sample.toml", KIT_WIN64_EXE},
        {"full/full.toml", KIT_WIN32_FULL_EXE},
        {"full/full.toml", KIT_WIN64_FULL_EXE},
    };
    for (const auto &built : aBuilt) {
        Product p;
        std::vector<std::string> v;
        ASSERT_TRUE(LoadProduct(std::string(KIT_SOURCE_DIR) + "/examples/" + built.pszProduct, &p, &v)) << Joined(v);
        if (strstr(built.pszProduct, "full")) {
            ASSERT_NE(p.manifest.at(150).find("\n\xA9 2000"), std::string::npos) << "the example lost its test text";
        }
        Bytes vImage = ReadAll(built.pszExe);
        ASSERT_GT(vImage.size(), 1024u) << built.pszExe << " is missing: build the Windows trees first";
        StringTable table;
        std::string strError;
        ASSERT_TRUE(ReadPeStringTable(vImage, &table, &strError)) << strError;
        EXPECT_EQ(table.mapEntries, p.manifest) << built.pszExe;
    }
}

} // namespace
