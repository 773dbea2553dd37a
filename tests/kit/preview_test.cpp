/* preview_test.cpp - the preview's reading of the driver's record and of a
 * Wine prefix, and its findings: a prefix is laid out here by hand as the
 * installer would leave it, then spoilt one way at a time. */
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "kit_preview.h"
#include "kit_testutil.h"
#include "resource.h"

namespace {

TEST(DriveLog, FieldsLoseTheirEscapes)
{
    const struct {
        const char *pszIn, *pszOut;
    } a[] = {
        {"plain", "plain"},
        {"C:\\\\QSAMPLE\\\\", "C:\\QSAMPLE\\"},
        {"a\\tb\\r\\nc", "a\tb\r\nc"},
        {"ends in \\", "ends in \\"},
    };
    for (const auto &t : a)
        EXPECT_EQ(UnescapeDriveField(t.pszIn), t.pszOut) << t.pszIn;
}

const char *const pszLog = "screen\t1\t1\t01.png\t#32770\tInstaller\t400\t300\n"
                           "control\t1\t203\tStatic\t10\t20\t200\t26\t310\t26\t1\tA long\\ndescription\n"
                           "control\t1\t1\tButton\t10\t250\t75\t23\t20\t13\t0\tOK\n"
                           "event\t1\tanswered\tParvex\\tYes\n"
                           "screen\t2\t2\t02.png\t#32770\tParvex\t300\t120\n"
                           "event\t1\tfollowup\tC:\\\\windows\\\\notepad.exe C:\\\\Q\\\\README.TXT\r\n"
                           "shortcut\tQ\\\\Read Me.lnk\tC:\\\\Q\\\\README.TXT\t\tC:\\\\Q\n"
                           "later\tkind\tof\trecord\n";

TEST(DriveLog, ReadsEveryKindOfRecord)
{
    DriveLog log;
    std::string strError;
    ASSERT_TRUE(ParseDriveLog(pszLog, &log, &strError)) << strError;
    ASSERT_EQ(log.vScreens.size(), 2u);
    EXPECT_EQ(log.vScreens[0].strCaption, "Installer");
    EXPECT_EQ(log.vScreens[1].nRun, 2);
    ASSERT_EQ(log.vScreens[0].vControls.size(), 2u);
    const DriveControl &c = log.vScreens[0].vControls[0];
    EXPECT_EQ(c.nId, 203);
    EXPECT_TRUE(c.fClipped);
    EXPECT_EQ(c.nTextW, 310);
    EXPECT_EQ(c.strText, "A long\ndescription");
    EXPECT_FALSE(log.vScreens[0].vControls[1].fClipped);
    ASSERT_EQ(log.vEvents.size(), 2u);
    EXPECT_EQ(log.vEvents[0].strText, "Parvex\tYes");
    EXPECT_EQ(log.vEvents[1].strText, "C:\\windows\\notepad.exe C:\\Q\\README.TXT");
    ASSERT_EQ(log.vShortcuts.size(), 1u);
    EXPECT_EQ(log.vShortcuts[0].strPath, "Q\\Read Me.lnk");
    EXPECT_EQ(log.vShortcuts[0].strWorkDir, "C:\\Q");
}

TEST(DriveLog, RefusesBrokenRecordsNamingTheLine)
{
    const struct {
        const char *pszText, *pszLine;
    } a[] = {
        {"screen\t1\t1\ta.png\t#32770\tX\t10\n", "drive.tsv:1:"},
        {"screen\tone\t1\ta.png\t#32770\tX\t10\t10\n", "drive.tsv:1:"},
        {"screen\t1\t1\ta.png\t#32770\tX\t10\t10\ncontrol\t2\t1\tButton\t0\t0\t1\t1\t1\t1\t0\tOK\n", "drive.tsv:2:"},
        {"\n\nevent\t1\tnote\n", "drive.tsv:3:"},
        {"shortcut\ta.lnk\tb\n", "drive.tsv:1:"},
    };
    for (const auto &t : a) {
        DriveLog log;
        std::string strError;
        EXPECT_FALSE(ParseDriveLog(t.pszText, &log, &strError)) << t.pszText;
        EXPECT_EQ(strError.rfind(t.pszLine, 0), 0u) << strError;
    }
}

TEST(ExpectedShortcuts, FollowProgramManagersCommands)
{
    const struct {
        std::vector<std::string> vCommands;
        std::vector<std::string> vPaths;
    } a[] = {
        {{"[CreateGroup(S)][ShowGroup(S,1)]", "[AddItem(C:\\S\\README.TXT,Read Me)]", "[AddItem(C:\\S\\A.EXE)]"},
         {"S\\Read Me.lnk", "S\\A.lnk"}},
        {{"[CreateGroup(S)]", "[AddItem(C:\\S\\A.EXE,A)]", "[ReplaceItem(A)][AddItem(C:\\S\\B.EXE,A)]"}, {"S\\A.lnk"}},
        {{"[CreateGroup(S)]", "[AddItem(\"C:\\S\\A,B.EXE\",\"One, two\")]"}, {"S\\One, two.lnk"}},
        {{"[CreateGroup(S)][AddItem(C:\\S\\A.EXE,A)]", "[DeleteGroup(S)][CreateGroup(T)][AddItem(C:\\B.EXE,B)]"},
         {"T\\B.lnk"}},
        {{"[CreateGroup(S)][AddItem(C:\\S\\A.EXE,A)][DeleteItem(A)]"}, {}},
    };
    for (const auto &t : a) {
        std::vector<std::string> vGot;
        for (const ShortcutState &s : ExpectedShortcuts(t.vCommands))
            vGot.push_back(s.strPath);
        EXPECT_EQ(vGot, t.vPaths) << t.vCommands.back();
    }
    EXPECT_EQ(ExpectedShortcuts({"[CreateGroup(S)]", "[ReplaceItem(A)][AddItem(C:\\S\\B.EXE,A)]"})[0].strCommand,
              "C:\\S\\B.EXE");
}

TEST(FindIniValue, ReadsAsTheProfileCallsDo)
{
    const char *pszIni = "; comment\r\n[Other]\r\nPath=wrong\r\n[ Install ]\r\n  path = C:\\Q\\ \r\n"
                         "Quoted=\"a b\"\r\nEmpty=\r\n";
    const struct {
        const char *pszSection, *pszKey;
        bool fFound;
        const char *pszValue;
    } a[] = {
        {"Install", "Path", true, "C:\\Q\\"}, {"install", "PATH", true, "C:\\Q\\"}, {"Install", "Quoted", true, "a b"},
        {"Install", "Empty", true, ""},        {"Other", "Path", true, "wrong"},     {"Install", "Missing", false, ""},
        {"Missing", "Path", false, ""},
    };
    for (const auto &t : a) {
        std::string strValue;
        EXPECT_EQ(FindIniValue(pszIni, t.pszSection, t.pszKey, &strValue) != 0, t.fFound) << t.pszKey;
        if (t.fFound) {
            EXPECT_EQ(strValue, t.pszValue) << t.pszKey;
        }
    }
}

/* ---- a prefix as the sample-like product below leaves it ----------------- */

const char *const pszReadMe = "read me\r\n";
const char *const pszGuide = "the guide\r\n";

Manifest ProductManifest()
{
    return {
        {IDS_PACKAGE, "T.PKG"},
        {IDS_DEFAULT_DEST, "C:\\Q"},
        {IDS_ITEM_COUNT, "2"},
        {IDS_ITEM_DEST + 0, "%DREADME.TXT"},
        {IDS_ITEM_NAME + 0, "Read Me"},
        {IDS_ITEM_DATE + 0, "19980909"},
        {IDS_ITEM_DEST + 1, "%DDOCS\\GUIDE.TXT"},
        {IDS_ITEM_NAME + 1, "Guide"},
        {IDS_ITEM_DATE + 1, "20010615"},
        {IDS_INI_COUNT, "2"},
        {IDS_INI_FILE + 0, "%DT.INI"},
        {IDS_INI_SECTION + 0, "Install"},
        {IDS_INI_KEY + 0, "Path"},
        {IDS_INI_VALUE + 0, "%D"},
        {IDS_INI_FILE + 1, "%WWIN.INI"},
        {IDS_INI_SECTION + 1, "T"},
        {IDS_INI_KEY + 1, "Viewer"},
        {IDS_INI_VALUE + 1, "%DREADME.TXT"},
        {IDS_INI_RULE + 1, "N"},
        {IDS_DDE_COUNT, "2"},
        {IDS_DDE_CMD + 0, "[CreateGroup(T)][ShowGroup(T,1)]"},
        {IDS_DDE_CMD + 1, "[AddItem(%DREADME.TXT,Read Me)]"},
        {IDS_FOLLOWUP, "%WNOTEPAD.EXE %DREADME.TXT"},
    };
}

void PutFile(const std::string &strPath, const std::string &strText, time_t tModified)
{
    WriteText(strPath, strText);
    struct utimbuf u = {tModified, tModified};
    utime(strPath.c_str(), &u);
}

const time_t T19980909 = 905299200, T20010615 = 992563200; /* midnight UTC */

std::string Record(const std::string &str)
{
    uint32_t u = (uint32_t)str.size();
    return std::string((const char *)&u, 4) + str;
}

/* A spoiling of the installed result and what it must be found as. */
struct Spoil {
    const char *pszName;
    void (*pfnSpoil)(const std::string &strDrive, std::string *pstrLog);
    std::vector<PreviewFindingKind> vKinds;
    const char *pszMessage; /* a part of the one finding */
};

const std::string strGoodLog = "screen\t1\t1\t01.png\t#32770\tInstaller\t400\t300\n"
                               "control\t1\t203\tStatic\t10\t20\t200\t26\t180\t13\t0\tT 1.0\n"
                               "event\t1\tfollowup\tC:\\\\windows\\\\NOTEPAD.EXE C:\\\\Q\\\\README.TXT\n"
                               "shortcut\tT\\\\Read Me.lnk\tC:\\\\Q\\\\README.TXT\t\tC:\\\\Q\n";

const Spoil aSpoils[] = {
    {"nothing", [](const std::string &, std::string *) {}, {}, ""},
    {"item missing", [](const std::string &d, std::string *) { remove((d + "/Q/DOCS/GUIDE.TXT").c_str()); },
     {PF_ITEM}, "item 1 (Guide, C:\\Q\\DOCS\\GUIDE.TXT): not installed"},
    {"item bytes", [](const std::string &d, std::string *) { PutFile(d + "/Q/README.TXT", "read you\r\n", T19980909); },
     {PF_ITEM}, "holds 10 bytes"},
    {"item date", [](const std::string &d, std::string *) { PutFile(d + "/Q/README.TXT", pszReadMe, T20010615); },
     {PF_ITEM}, "dated 20010615, the product stamps 19980909"},
    {"ini changed", [](const std::string &d, std::string *) { WriteText(d + "/Q/T.INI", "[Install]\r\nPath=C:\\R\\\r\n"); },
     {PF_INI}, "C:\\Q\\T.INI [Install] Path = \"C:\\R\\\", the product writes \"C:\\Q\\\""},
    {"ini missing", [](const std::string &d, std::string *) { remove((d + "/Q/T.INI").c_str()); }, {PF_INI},
     "Path: not written"},
    {"shortcut missing", [](const std::string &, std::string *pLog) { pLog->erase(pLog->find("shortcut")); },
     {PF_SHORTCUT}, "shortcut T\\Read Me.lnk: missing"},
    {"shortcut elsewhere",
     [](const std::string &, std::string *pLog) { pLog->replace(pLog->find("Q\\\\README.TXT\t\t"), 1, "R"); },
     {PF_SHORTCUT}, "starts C:\\R\\README.TXT"},
    {"clipped twice, found once",
     [](const std::string &, std::string *pLog) {
         std::string str = "control\t1\t203\tStatic\t10\t20\t200\t26\t180\t13\t0\tT 1.0\n";
         std::string strClipped = "control\t1\t203\tStatic\t10\t20\t200\t26\t380\t13\t1\tT 1.0\n";
         pLog->replace(pLog->find(str), str.size(), strClipped);
         *pLog += "screen\t2\t2\t02.png\t#32770\tInstaller\t400\t300\n" + strClipped.replace(8, 1, "2");
     },
     {PF_CLIPPED}, "control 203 (Static): the text needs 380x13 pixels, the control has 200x26"},
    {"shortcut in other case",
     [](const std::string &, std::string *pLog) {
         pLog->replace(pLog->find("T\\\\Read Me.lnk\tC:\\\\Q"), 20, "t\\\\READ ME.LNK\tc:\\\\q");
     },
     {}, ""},
};

class InstalledResult : public ::testing::TestWithParam<Spoil> {};

TEST_P(InstalledResult, IsFoundAsSpoilt)
{
    ScratchCwd cwd;
    std::string strPrefix = cwd.Path("prefix"), strDrive = strPrefix + "/drive_c";
    std::filesystem::create_directories(strPrefix + "/dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", strPrefix + "/dosdevices/c:");
    /* Wine keeps the case a folder was made with; the manifest's differs. */
    PutFile(strDrive + "/windows/win.ini", "[T]\r\nViewer=C:\\OLD\\VIEW.EXE\r\n", T19980909);
    WriteText(cwd.Path("T.PKG"), Record(pszReadMe) + Record(pszGuide));
    PreviewPlace place{strPrefix, "C:\\Q\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32"};
    Manifest manifest = ProductManifest();
    PreviewResult result;
    ReadIniBefore(manifest, place, &result.vIni);
    ASSERT_EQ(result.vIni.size(), 2u);
    EXPECT_TRUE(result.vIni[1].fHadBefore);

    PutFile(strDrive + "/Q/README.TXT", pszReadMe, T19980909);
    PutFile(strDrive + "/Q/DOCS/GUIDE.TXT", pszGuide, T20010615);
    WriteText(strDrive + "/Q/T.INI", "[Install]\r\nPath=C:\\Q\\\r\n");
    std::string strLog = strGoodLog;
    GetParam().pfnSpoil(strDrive, &strLog);
    std::string strError;
    ASSERT_TRUE(ParseDriveLog(strLog, &result.log, &strError)) << strError;
    CheckInstalled(manifest, cwd.Path("T.PKG"), place, &result);

    std::vector<PreviewFindingKind> vKinds;
    for (const PreviewFinding &f : result.vFindings)
        vKinds.push_back(f.kind);
    ASSERT_EQ(vKinds, GetParam().vKinds) << (result.vFindings.empty() ? "" : result.vFindings[0].strMessage);
    if (!vKinds.empty()) {
        EXPECT_NE(result.vFindings[0].strMessage.find(GetParam().pszMessage), std::string::npos)
            << result.vFindings[0].strMessage;
    }
    ASSERT_EQ(result.vItems.size(), 2u);
    EXPECT_EQ(result.vItems[0].strWantDate, "19980909");
    /* The N rule kept the value from before the install: not a finding. */
    EXPECT_EQ(result.vIni[1].strGot, "C:\\OLD\\VIEW.EXE");
}

INSTANTIATE_TEST_SUITE_P(Spoilt, InstalledResult, ::testing::ValuesIn(aSpoils),
                         [](const ::testing::TestParamInfo<Spoil> &info) {
                             std::string str = info.param.pszName;
                             for (char &c : str)
                                 if (!isalnum((unsigned char)c))
                                     c = '_';
                             return str;
                         });

TEST(CheckInstalled, AFailedInstallIsNotComparedWithTheProduct)
{
    ScratchCwd cwd;
    PreviewResult result;
    std::string strError;
    ASSERT_TRUE(ParseDriveLog("event\t1\tfailed\tThe install package file is invalid.\n", &result.log, &strError));
    PreviewPlace place{cwd.Path("prefix"), "C:\\Q\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32"};
    CheckInstalled(ProductManifest(), cwd.Path("none.pkg"), place, &result);
    EXPECT_TRUE(result.fFailed);
    EXPECT_EQ(result.strFailure, "The install package file is invalid.");
    EXPECT_TRUE(result.vFindings.empty());

    PreviewResult silent;
    ASSERT_TRUE(ParseDriveLog("event\t1\tfailed\t\n", &silent.log, &strError));
    CheckInstalled(ProductManifest(), cwd.Path("none.pkg"), place, &silent);
    EXPECT_TRUE(silent.fFailed);
    EXPECT_NE(silent.strFailure.find("the installer showed no message"), std::string::npos) << silent.strFailure;
}

TEST(PreviewPage, MarksTheClippedControlOnItsPictureAndEscapesTexts)
{
    PreviewResult result;
    std::string strError;
    ASSERT_TRUE(ParseDriveLog("screen\t1\t1\t01.png\t#32770\tA <b> & \"c\"\t400\t300\n"
                              "control\t1\t203\tStatic\t11\t22\t200\t26\t380\t13\t1\tline\\none\n",
                              &result.log, &strError));
    result.vFindings.push_back({PF_CLIPPED, "clipped \"x\"\n", 1, 0});
    PreviewFacts facts{"T", 64, "Wine"};
    std::string strHtml = FormatPreviewHtml(facts, result);
    EXPECT_NE(strHtml.find("class=\"mark\" title=\"text does not fit\" style=\"left:11px;top:22px;width:200px;"
                           "height:26px\""),
              std::string::npos);
    EXPECT_NE(strHtml.find("background-position:-11px -22px"), std::string::npos);
    EXPECT_NE(strHtml.find("A &lt;b&gt; &amp; &quot;c&quot;"), std::string::npos);
    EXPECT_EQ(strHtml.find("<script"), std::string::npos);
    EXPECT_EQ(strHtml.find("http"), std::string::npos);
    std::string strJson = FormatPreviewJson(facts, result);
    EXPECT_NE(strJson.find("\"caption\": \"A <b> & \\\"c\\\"\""), std::string::npos);
    EXPECT_NE(strJson.find("\"text\": \"line\\u000aone\""), std::string::npos);
    EXPECT_NE(strJson.find("{\"kind\": \"clipped\", \"message\": \"clipped \\\"x\\\"\\u000a\", \"screen\": 1}"),
              std::string::npos);
}

} // namespace
