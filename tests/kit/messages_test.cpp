/* messages_test.cpp - how quarnel-kit speaks, command by command: each
 * finding once, on stderr, in one form, its texts in UTF-8; one line for
 * a command that succeeded; --strict named when it is the reason; and the
 * mistakes of the command line itself named with their remedy. */
#include <gtest/gtest.h>

#include <filesystem>

#include "kit_product.h"
#include "kit_testutil.h"

namespace {

/* A product with one warning, about a text with a character outside
   ASCII: the description is wider than its field, and the warning quotes
   the words the dialog shows. */
std::string WarningProduct()
{
    std::string strWords;
    for (int i = 0; i < 12; i++)
        strWords += "Caf\xC3\xA9 ";
    return "[product]\nname = \"App\"\nversion = \"1.0\"\ndescription = \"" + strWords + "\"\n"
           "[install]\npackage = \"APP.PKG\"\ndestination = 'C:\\APP'\n"
           "[[item]]\nsource = \"A.TXT\"\ndestination = '%DA.TXT'\n";
}

struct Said {
    const char *pszArgs;
    int nExit;
    std::vector<const char *> vSays;
    int nWarnings;   /* how often " warning: " occurs; -1: not counted */
    const char *pszNever; /* must not occur; null: nothing */
};

TEST(KitMessages, EachFindingOnceInOneFormAndEachCommandSaysHowItEnded)
{
    ScratchCwd cwd;
    WriteText("A.TXT", "a");
    WriteText("warn.toml", WarningProduct());
    WriteText("pw.txt", "secret");
    std::string strAsk = WarningProduct();
    strAsk.replace(strAsk.find("description"), 11, "publisher");
    WriteText("ask.toml", strAsk + "overwrite = \"Ask\"\n");
    const Said aCases[] = {
        {"check warn.toml", 0,
         {"warn.toml:4:1: warning: product.description: is ", "shows only \"Caf\xC3\xA9 Caf\xC3\xA9",
          "quarnel-kit: warn.toml: checked (0 errors, 1 warning)"}, 1, nullptr},
        {"check warn.toml --strict", 1, {"quarnel-kit: warn.toml: failed because of --strict: 1 warning"}, 1, nullptr},
        {"check ask.toml", 1, {"ask.toml:11:1: error: item[0].overwrite: rule \"Ask\"", "ask.toml: 1 error, 0 warnings"}, 0,
         nullptr},
        {"build warn.toml -o out --strict", 1, {"failed because of --strict: 1 warning; nothing written"}, 1, nullptr},
        {"manifest warn.toml -o m.rc --strict", 1, {"failed because of --strict: 1 warning; nothing written"}, 1,
         nullptr},
        {"manifest warn.toml -o m2.rc", 0, {"quarnel-kit: wrote m2.rc"}, 1, nullptr},
        {"build warn.toml -o out", 0, {"quarnel-kit: wrote out/quarnel.exe and out/APP.PKG (1 warning)"}, 1, nullptr},
        {"verify out/quarnel.exe", 0,
         {"out/quarnel.exe: warning: entry 99: is ", "out/quarnel.exe, out/APP.PKG: verified (0 errors, 1 warning)"}, 1,
         nullptr},
        {"verify out/quarnel.exe --from-product warn.toml", 0,
         {"out/quarnel.exe, out/APP.PKG: verified (0 errors, 0 warnings)"}, 0, nullptr},
        {"lint out/quarnel.exe --strict", 1, {"out/quarnel.exe: failed because of --strict: 1 warning"}, 1, nullptr},
        {"lint out/quarnel.exe 2>/dev/null", 0, {}, 0, "entry"},
        {"list out/quarnel.exe", 0, {"%DA.TXT", "out/APP.PKG: 1 records"}, 0, nullptr},
        {"pack --dry-run nosuch.qps", 1, {"nosuch.qps"}, 0, nullptr},
        {"biuld warn.toml", 2, {"quarnel-kit: error: biuld is not a command; did you mean build?"}, 0, nullptr},
        {"--version", 0, {"quarnel-kit 1."}, 0, nullptr},
        {"build warn.toml -o out2 --sign-password-file pw.txt", 2, {"no --sign-pkcs12 names the certificate"}, -1,
         nullptr},
        {"build warn.toml -o out3 --sign-pkcs12 none.p12", 1, {"nothing written"}, -1, ".part"},
    };
    for (const Said &c : aCases) {
        ToolRun run = RunTool(c.pszArgs);
        EXPECT_EQ(run.nExit, c.nExit) << c.pszArgs << "\n" << run.strOut;
        for (const char *psz : c.vSays)
            EXPECT_NE(run.strOut.find(psz), std::string::npos) << c.pszArgs << ": " << psz << "\n" << run.strOut;
        if (c.nWarnings >= 0) {
            EXPECT_EQ(CountOccurrences(run.strOut, " warning: "), (size_t)c.nWarnings) << c.pszArgs << "\n" << run.strOut;
        }
        if (c.pszNever) {
            EXPECT_EQ(run.strOut.find(c.pszNever), std::string::npos) << c.pszArgs << "\n" << run.strOut;
        }
        EXPECT_TRUE(IsUtf8Text(run.strOut)) << c.pszArgs << ": not UTF-8\n" << run.strOut;
    }
    EXPECT_FALSE(Exists("m.rc"));
    EXPECT_FALSE(Exists("out2"));
    EXPECT_FALSE(Exists("out3"));
}

/* A kit copied away from its stubs says where it looked and how to name
   one. */
TEST(KitMessages, KitWithoutItsStubsSaysWhereItLooked)
{
    ScratchCwd cwd;
    WriteText("A.TXT", "a");
    WriteText("warn.toml", WarningProduct());
    std::filesystem::create_directory("alone");
    std::filesystem::copy_file(KIT_TOOL, "alone/quarnel-kit");
    std::string strLooked = std::filesystem::canonical("alone").string() + "/quarnel-stub-win32.exe";
    ToolRun run = RunCommand("alone/quarnel-kit build warn.toml -o out");
    EXPECT_EQ(run.nExit, 1) << run.strOut;
    EXPECT_NE(run.strOut.find("looked for " + strLooked), std::string::npos) << run.strOut;
    EXPECT_NE(run.strOut.find("--stub FILE"), std::string::npos) << run.strOut;
    EXPECT_FALSE(Exists("out"));
}

} // namespace
