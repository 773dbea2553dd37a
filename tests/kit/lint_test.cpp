/* lint_test.cpp - every lint rule with a manifest that breaks it and a near
 * miss that must pass, on top of a small clean manifest; then the checks
 * against a package script. */
#include <gtest/gtest.h>

#include <filesystem>

#include <optional>

#include "kit_lint.h"
#include "kit_testutil.h"

namespace {

/* A small product that uses most features and lints clean. */
Manifest CleanManifest()
{
    return Manifest{
        {98, "APP.PKG"},
        {100, "C:\\APP"},
        {101, "64"},
        {102, "%DAPP.EXE /first"},
        {105, "TRUE"},
        {106, "false"},
        {150, "Done."},
        {499, "2"},
        {500, "DOCS"},
        {501, "DOCS\\EXTRA"},
        {699, "1"},
        {700, "[CreateGroup(App)][AddItem(\"%DAPP.EXE\",App)]"},
        {999, "2"},
        {1000, "%DAPP.EXE"},
        {1001, "%DDOCS\\EXTRA\\DATA.BIN"},
        {1400, "App"},
        {1800, "19980909"},
        {2200, "O19980909PReplace %s?"},
        {2201, "N"},
        {2999, "1"},
        {3000, "%WAPP.INI"},
        {3200, "PReplace %s with %s?"},
        {3400, "Setup"},
        {3600, "Path"},
        {3800, "%D"},
    };
}

/* Changes to the clean manifest: a null text removes the entry. */
typedef std::vector<std::pair<unsigned, std::optional<std::string>>> Changes;

std::vector<Finding> Lint(const Changes &changes, const ScriptInfo *pScript = nullptr)
{
    Manifest m = CleanManifest();
    for (const auto &change : changes) {
        if (change.second)
            m[change.first] = *change.second;
        else
            m.erase(change.first);
    }
    std::vector<Finding> v;
    LintManifest(m, pScript, &v);
    return v;
}

std::string Describe(const std::vector<Finding> &v)
{
    std::string str;
    for (const Finding &f : v)
        str += "\n    " + FormatFinding(f);
    return str;
}

bool HasFinding(const std::vector<Finding> &v, unsigned uId, Severity sev)
{
    for (const Finding &f : v)
        if (f.uId == uId && f.severity == sev)
            return true;
    return false;
}

TEST(Lint, CleanManifestHasNoFindings)
{
    std::vector<Finding> v = Lint({});
    EXPECT_TRUE(v.empty()) << Describe(v);
}

struct Rule {
    const char *pszRule;
    unsigned uId;
    Severity sev;
    Changes bad;
    Changes nearMiss;
};

const std::string strLongDest = "C:\\" + std::string(250, 'A');
const std::string strFitDest = "C:\\" + std::string(244, 'A');

const std::vector<Rule> &Rules()
{
    static const std::vector<Rule> v = {
        {"item count beyond the ID plan", 999, SEV_ERROR, {{999, "401"}}, {{999, "400"}}},
        {"subdirectory count beyond the ID plan", 499, SEV_ERROR, {{499, "199"}}, {{499, "198"}}},
        {"DDE count beyond the ID plan", 699, SEV_ERROR, {{699, "300"}}, {{699, "299"}}},
        {"INI count beyond the ID plan", 2999, SEV_ERROR, {{2999, "201"}}, {{2999, "200"}}},
        {"item destination missing", 1001, SEV_ERROR, {{1001, std::nullopt}}, {{1401, std::nullopt}}},
        {"DDE command missing", 700, SEV_ERROR, {{700, std::nullopt}}, {{699, "0"}, {700, std::nullopt}}},
        {"INI file missing", 3000, SEV_ERROR, {{3000, std::nullopt}}, {{3400, std::nullopt}}},
        {"item date not a real day", 1800, SEV_ERROR, {{1800, "19980931"}}, {{1800, "19980930"}}},
        {"item date not a leap day", 1800, SEV_ERROR, {{1800, "21000229"}}, {{1800, "20000229"}}},
        {"item date before 1980", 1800, SEV_ERROR, {{1800, "19791231"}}, {{1800, "19800101"}}},
        {"item date after 2107", 1800, SEV_ERROR, {{1800, "21080101"}}, {{1800, "21071231"}}},
        {"item date not eight digits", 1800, SEV_ERROR, {{1800, "1998099"}}, {{1800, std::nullopt}}},
        {"item date with a separator", 1800, SEV_ERROR, {{1800, "1998-9-9"}}, {{1800, "19980909"}}},
        {"O rule without eight digits", 2200, SEV_ERROR, {{2200, "O1998"}}, {{2200, "O19980101"}}},
        {"O rule with a letter in the date", 2200, SEV_ERROR, {{2200, "O1998O909"}}, {{2200, "O19980909"}}},
        {"item prompt with two %s", 2200, SEV_ERROR, {{2200, "O19980909P%s or %s?"}},
         {{2200, "O19980909P100%% sure about %s?"}}},
        {"item prompt with %d", 2200, SEV_ERROR, {{2200, "PFile %d?"}}, {{2200, "PFile %s?"}}},
        {"item prompt with a wide string", 2200, SEV_ERROR, {{2200, "P%ls?"}}, {{2200, "P%-20.40hs?"}}},
        {"INI prompt with three padded strings", 3200, SEV_ERROR, {{3200, "P%5s %.9s %-s"}},
         {{3200, "P%5s -> %.9s"}}},
        {"item prompt with %D (not expanded there)", 2200, SEV_ERROR, {{2200, "P%D"}}, {{2200, "P%%D"}}},
        {"item prompt ending in a lone %", 2200, SEV_ERROR, {{2200, "PReplace 100%"}}, {{2200, "PReplace 100%%"}}},
        {"INI prompt with three %s", 3200, SEV_ERROR, {{3200, "P%s %s %s"}}, {{3200, "P%s -> %s"}}},
        {"INI prompt with %x", 3200, SEV_ERROR, {{3200, "PValue %x"}}, {{3200, "PValue in %W"}}},
        {"INI prompt with %%D: the second % opens the macro", 3200, SEV_ERROR, {{3200, "P%%D"}},
         {{3200, "P%%%D"}}},
        {"INI prompt with %%W after a pair", 3200, SEV_ERROR, {{3200, "P%s 100%%%%W"}}, {{3200, "P%s 100%% %W"}}},
        {"package name missing", 98, SEV_ERROR, {{98, std::nullopt}}, {{98, "A.PKG"}}},
        {"package name of 16 characters", 98, SEV_ERROR, {{98, "SIXTEENCHARS.PKG"}}, {{98, "FIFTEENCHR1.PKG"}}},
        {"boolean neither TRUE nor FALSE", 105, SEV_WARNING, {{105, "Yes"}}, {{105, "tRuE"}}},
        {"boolean with a trailing blank", 107, SEV_WARNING, {{107, "TRUE "}}, {{107, "False"}}},
        {"integer with trailing text", 101, SEV_WARNING, {{101, "64 KB"}}, {{101, " +64"}}},
        {"integer without digits", 101, SEV_WARNING, {{101, "none"}}, {{101, "0"}}},
        {"count with trailing text", 999, SEV_WARNING, {{999, "2 items"}}, {{999, "2"}}},
        {"literal % in a destination", 1000, SEV_WARNING, {{1000, "%DAPP%.EXE"}}, {{1000, "%DAPP.EXE"}}},
        {"lower-case macro", 102, SEV_WARNING, {{102, "%dAPP.EXE"}}, {{102, "%DAPP.EXE"}}},
        {"literal % at the end of an INI value", 3800, SEV_WARNING, {{3800, "100%"}}, {{3800, "%S"}}},
        {"%s outside a prompt", 700, SEV_WARNING, {{700, "[AddItem(%s)]"}}, {{700, "[AddItem(\"%W\")]"}}},
        {"macro in a DDE parameter out of quotes", 700, SEV_WARNING, {{700, "[CreateGroup(App)][AddItem(%DAPP.EXE,App)]"}},
         {{700, "[CreateGroup(App)][AddItem( \"%DAPP.EXE\" ,App)]"}}},
        {"macro in a second DDE parameter out of quotes", 700, SEV_WARNING, {{700, "[AddItem(\"%DA.EXE\", %WApp )]"}},
         {{700, "[AddItem(\"%DA.EXE\",\"%WApp\")]"}}},
        {"macro in a group name out of quotes", 700, SEV_WARNING, {{700, "[CreateGroup(App %S)]"}},
         {{700, "[CreateGroup(\"App %S\")]"}}},
        {"macro out of quotes after a quoted comma and parenthesis", 700, SEV_WARNING,
         {{700, "[AddItem(\"A, (B)\",%DAPP.EXE)]"}}, {{700, "[AddItem(\"A, (B)\",\"%DAPP.EXE\")]"}}},
        {"package name beyond ASCII", 98, SEV_ERROR, {{98, "PAK\xC9.PKG"}}, {{98, "PAKE.PKG"}}},
        {"INI section over 255 once expanded", 3400, SEV_ERROR, {{3400, "%D" + std::string(250, 'S')}},
         {{3400, "%D" + std::string(240, 'S')}}},
        {"INI value over 255 once expanded", 3800, SEV_ERROR, {{3800, "%W" + std::string(250, 'V')}},
         {{3800, "%W" + std::string(240, 'V')}}},
        {"subdirectory before its parent", 500, SEV_ERROR, {{500, "DOCS\\EXTRA"}, {501, "DOCS"}},
         {{500, "DOCS"}, {501, "DOCS\\EXTRA\\"}}},
        {"subdirectory whose parent is never created", 501, SEV_ERROR, {{501, "MISC\\EXTRA"}},
         {{501, "docs\\EXTRA"}}},
        {"subdirectory with a blank", 500, SEV_ERROR, {{500, "MY DOCS"}}, {{500, "MY_DOCS"}}},
        {"subdirectory with two dots", 500, SEV_ERROR, {{500, "A.B.C"}}, {{500, "A.BC"}}},
        {"subdirectory starting with a dot", 500, SEV_ERROR, {{500, ".DOCS"}}, {{500, "DOCS."}}},
        {"destination over 255 once expanded", 1000, SEV_ERROR, {{100, strLongDest}},
         {{100, strFitDest}}},
        {"INI file over 255 once expanded", 3000, SEV_ERROR, {{3000, "%D" + std::string(250, 'I')}},
         {{3000, "%D" + std::string(240, 'I')}}},
        {"item directory not created", 1001, SEV_ERROR, {{1001, "%DDATA\\X.BIN"}}, {{1001, "%Ddocs\\X.BIN"}}},
        {"item directory not created, after . and ..", 1001, SEV_ERROR, {{1001, "%DDOCS\\.\\X\\..\\Y\\X.BIN"}},
         {{1001, "%D.\\DOCS\\EXTRA\\..\\.\\X.BIN"}}},
        {"item in the destination's parent: no missing directory", 1001, SEV_ERROR, {{1001, "%DNEW\\X.BIN"}},
         {{1001, "%D..\\X.BIN"}}},
        {"item that leaves the destination", 1001, SEV_WARNING, {{1001, "%DDOCS\\..\\..\\X.BIN"}},
         {{1001, "%DDOCS\\..\\X.BIN"}}},
        {"item destination ending in a backslash", 1001, SEV_ERROR, {{1001, "%DDOCS\\"}},
         {{1001, "%DDOCS\\X"}}},
        {"item destination of the bare destination", 1000, SEV_ERROR, {{1000, "%D"}}, {{1000, "%DA"}}},
        {"entry beyond the item count", 1402, SEV_WARNING, {{1402, "Extra"}}, {{1401, "Data"}}},
        {"entry beyond the subdirectory count", 502, SEV_WARNING, {{502, "MORE"}}, {{499, "3"}, {502, "MORE"}}},
        {"entry beyond a zero DDE count", 700, SEV_WARNING, {{699, "0"}}, {{699, "1"}}},
        {"rule in lower case", 2201, SEV_WARNING, {{2201, "n"}}, {{2201, "A"}}},
        {"text after an O rule's date", 2200, SEV_WARNING, {{2200, "O19980909X"}}, {{2200, "O19980909"}}},
        {"entry the installer never reads", 103, SEV_WARNING, {{103, "x"}}, {{112, "Really cancel?"}}},
        {"display name cut at 255", 1400, SEV_WARNING, {{1400, std::string(256, 'n')}},
         {{1400, std::string(255, 'n')}}},
        {"two items with one destination", 1001, SEV_ERROR, {{1001, "%Dapp.exe"}}, {{1001, "%DAPP.EX"}}},
        {"description wider than its field", 99, SEV_WARNING, {{99, std::string(17, 'W')}},
         {{99, std::string(16, 'W')}}},
        {"description with a line break", 99, SEV_WARNING, {{99, "Quarnel\nSample"}}, {{99, "Quarnel Sample"}}},
        {"description with a control character of another kind", 99, SEV_ERROR, {{99, "Quarnel\x01"}},
         {{99, "Quarnel\tSample"}}},
        {"item name with a character Windows refuses", 1001, SEV_ERROR, {{1001, "%DDOCS\\EXTRA\\A?.BIN"}},
         {{1001, "%DDOCS\\EXTRA\\A_.BIN"}}},
        {"INI file of a device name", 3000, SEV_ERROR, {{3000, "%WCOM1.INI"}}, {{3000, "%WCOM10.INI"}}},
        {"INI file with a control character", 3000, SEV_ERROR, {{3000, "%W\tAPP.INI"}}, {{3000, "%W_APP.INI"}}},
        {"run_after with a name Windows refuses", 102, SEV_ERROR, {{102, "%DAPP|.EXE"}},
         {{102, "\"%DMY APP.EXE\" /x"}}},
        {"subdirectory of a device name", 501, SEV_ERROR, {{501, "DOCS\\AUX"}}, {{501, "DOCS\\AUXX"}}},
        {"item directory written with a slash and not created", 1001, SEV_ERROR, {{1001, "%DDATA/X.BIN"}},
         {{1001, "%DDOCS/EXTRA/X.BIN"}}},
        {"two items with one destination in accented letters", 1001, SEV_ERROR,
         {{1000, "%D\xC4PP.EXE"}, {1001, "%D\xE4pp.exe"}}, {{1000, "%D\xC4PP.EXE"}, {1001, "%D\xC3pp.exe"}}},
        {"default destination with a character Windows refuses (a macro there stays text)", 100, SEV_ERROR,
         {{100, "C:\\APP?"}}, {{100, "C:\\50%DAPP"}}},
        {"default destination's own folder with a blank", 100, SEV_ERROR, {{100, "C:\\MY APP"}},
         {{100, "C:\\MY_APP"}}},
        {"default destination below a folder the installer cannot create", 100, SEV_WARNING,
         {{100, "C:\\Program Files\\APP"}}, {{100, "C:\\Programs\\APP"}}},
        {"display name with a control character", 1400, SEV_ERROR, {{1400, "App\x01"}}, {{1400, "App 1"}}},
        {"message with a NUL", 150, SEV_ERROR, {{150, std::string("Do\0ne", 5)}}, {{150, "Do\nne"}}},
        {"INI value with a line break", 3800, SEV_ERROR, {{3800, "%D\n"}}, {{3800, "%D "}}},
    };
    return v;
}

TEST(Lint, EachRuleTriggersAndItsNearMissDoesNot)
{
    for (const Rule &r : Rules()) {
        std::vector<Finding> vBad = Lint(r.bad);
        EXPECT_TRUE(HasFinding(vBad, r.uId, r.sev)) << r.pszRule << ": expected at " << r.uId << Describe(vBad);
        std::vector<Finding> vNear = Lint(r.nearMiss);
        EXPECT_FALSE(HasFinding(vNear, r.uId, r.sev)) << r.pszRule << " (near miss)" << Describe(vNear);
    }
}

TEST(Lint, FindingsReadAsIdSeverityMessage)
{
    std::vector<Finding> v = Lint({{105, "Yes"}, {1800, "19980931"}});
    SortFindings(&v);
    ASSERT_EQ(v.size(), 2u) << Describe(v);
    EXPECT_EQ(FormatFinding(v[0]), "105: warning: \"Yes\" is neither TRUE nor FALSE: it reads as false");
    EXPECT_EQ(FormatFinding(v[1]), "1800: error: item date \"19980931\" is not a real date");
}

/* The one form of every printed finding, and manifest texts (code page
   1252) quoted in UTF-8: the euro, a Latin letter and a byte the code
   page leaves undefined. */
TEST(Lint, PrintedFindingsHaveOneFormAndQuoteInUtf8)
{
    std::vector<Finding> v = Lint({{105, "\x80\xE9\x81"}});
    ASSERT_EQ(v.size(), 1u) << Describe(v);
    FindingPlace place;
    place.strFile = "dist/quarnel.exe";
    place.strKey = "entry 105";
    EXPECT_EQ(FormatFindingAt(place, v[0].severity, v[0].strMessage),
              "dist/quarnel.exe: warning: entry 105: \"\xE2\x82\xAC\xC3\xA9\xC2\x81\" is neither TRUE nor FALSE: "
              "it reads as false");
    place.nLine = 7;
    place.nColumn = 3;
    place.strKey.clear();
    EXPECT_EQ(FormatFindingAt(place, SEV_ERROR, "x"), "dist/quarnel.exe:7:3: error: x");
}

TEST(Lint, PercentPairBeforeAMacroSaysWhatTheBoxShows)
{
    std::vector<Finding> v = Lint({{3200, "PKeep %%S?"}});
    ASSERT_EQ(v.size(), 1u) << Describe(v);
    EXPECT_EQ(FormatFinding(v[0]), "3200: error: the prompt has \"%%S\": the rule is expanded first, which keeps "
                                   "the first \"%\" and expands %S, so the box shows \"%C:\\WINDOWS\\SYSTEM32\\\" "
                                   "(with the default directories)");
}

TEST(Lint, WideDescriptionSaysWhatTheDialogShows)
{
    std::vector<Finding> v = Lint({{99, "Quarnel Sample 1.0, a small demonstration product."}});
    ASSERT_EQ(v.size(), 1u) << Describe(v);
    EXPECT_EQ(FormatFinding(v[0]), "99: warning: is 242 pixels wide in the destination dialog's font, its field "
                                   "(control 203) 176: the dialog shows only \"Quarnel Sample 1.0, a small\"");
}

/* The product files of CleanManifest, with a script listing them. */
struct Product {
    ScratchCwd cwd;
    ScriptInfo script;
    Product(const std::string &strItems = "ITEM# \"bin\\APP.EXE\"\nITEM# \"data\\DATA.BIN\"\n",
            const std::string &strPackage = "APP.PKG")
    {
        WriteText("bin/APP.EXE", "MZ");
        WriteText("data/DATA.BIN", "1234");
        WriteText("data/EMPTY.BIN", "");
        /* Sparse: sizes on each side of what the 32-bit installer can hold. */
        WriteText("data/GIB.BIN", "");
        std::filesystem::resize_file("data/GIB.BIN", 1073741824);
        WriteText("data/OVER.BIN", "");
        std::filesystem::resize_file("data/OVER.BIN", 1073741825);
        WriteText("app.qps", "*###\nPACKAGE# \"" + strPackage + "\"\n" + strItems);
        std::string strError;
        EXPECT_TRUE(ReadScript("app.qps", &script, &strError)) << strError;
    }
};

TEST(LintScript, MatchingScriptIsClean)
{
    Product p;
    std::vector<Finding> v = Lint({}, &p.script);
    EXPECT_TRUE(v.empty()) << Describe(v);
}

struct ScriptCase {
    const char *pszCase;
    std::string strItems;
    std::string strPackage;
    Changes changes;
    std::vector<std::pair<unsigned, Severity>> vWant;    /* must be found */
    std::vector<std::pair<unsigned, Severity>> vAbsent;  /* must not be */
};

TEST(LintScript, AgainstTheManifest)
{
    const std::string strBoth = "ITEM# \"bin\\APP.EXE\"\nITEM# \"data\\DATA.BIN\"\n";
    const ScriptCase cases[] = {
        {"package in a folder, other case", strBoth, "out\\app.pkg", {}, {}, {{98, SEV_ERROR}}},
        {"another package name", strBoth, "APP2.PKG", {}, {{98, SEV_ERROR}}, {}},
        {"one item too few", "ITEM# \"bin\\APP.EXE\"\n", "APP.PKG", {}, {{999, SEV_ERROR}}, {}},
        {"missing item file", "ITEM# \"bin\\APP.EXE\"\nITEM# \"data\\NONE.BIN\"\n", "APP.PKG", {},
         {{1001, SEV_ERROR}}, {{1000, SEV_ERROR}}},
        {"empty item file", "ITEM# \"data\\EMPTY.BIN\"\nITEM# \"data\\DATA.BIN\"\n", "APP.PKG",
         {{1000, "%DEMPTY.BIN"}}, {{1000, SEV_ERROR}}, {{1001, SEV_ERROR}}},
        {"swapped order", "ITEM# \"data\\DATA.BIN\"\nITEM# \"bin\\APP.EXE\"\n", "APP.PKG", {},
         {{1000, SEV_WARNING}, {1001, SEV_WARNING}}, {}},
        {"drive letter", "ITEM# \"C:\\bin\\APP.EXE\"\nITEM# \"data\\DATA.BIN\"\n", "APP.PKG", {},
         {{1000, SEV_ERROR}}, {{1001, SEV_ERROR}}},
        {"item of exactly 1 GiB", "ITEM# \"data\\GIB.BIN\"\nITEM# \"data\\DATA.BIN\"\n", "APP.PKG",
         {{1000, "%DGIB.BIN"}}, {}, {{1000, SEV_WARNING}, {1000, SEV_ERROR}}},
        {"item over 1 GiB", "ITEM# \"bin\\APP.EXE\"\nITEM# \"data\\OVER.BIN\"\n", "APP.PKG",
         {{1001, "%DOVER.BIN"}}, {{1001, SEV_WARNING}}, {{1001, SEV_ERROR}, {1000, SEV_WARNING}}},
    };
    for (const ScriptCase &c : cases) {
        Product p(c.strItems, c.strPackage);
        std::vector<Finding> v = Lint(c.changes, &p.script);
        for (const auto &want : c.vWant)
            EXPECT_TRUE(HasFinding(v, want.first, want.second)) << c.pszCase << ": at " << want.first << Describe(v);
        for (const auto &absent : c.vAbsent)
            EXPECT_FALSE(HasFinding(v, absent.first, absent.second)) << c.pszCase << ": at " << absent.first << Describe(v);
    }
}

} // namespace
