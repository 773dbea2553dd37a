/* ini_test.cpp - INI changes: the overwrite rules against real profile files
 * (keys absent, empty or set), the "Parvex" prompt and its answers, and
 * whole change lists read from test manifests. */
#include <gtest/gtest.h>

#include "quarnel.h"
#include "testsupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char szSeed[] = "[Main]\r\nOld=old\r\nEmpty=\r\n";

std::string ProfileValue(const std::string &file, const char *pszSec, const char *pszKey)
{
    char sz[1024];
    GetPrivateProfileStringA(pszSec, pszKey, "<absent>", sz, sizeof(sz), file.c_str());
    return sz;
}

struct RuleCase {
    const char *pszName;
    const char *pszRule;
    const char *pszKey;         /* in the seeded file: Old=old, Empty=, Absent missing */
    std::vector<int> answers;   /* the prompt's answer, when one is expected */
    int nExpected;
    const char *pszPrompt;      /* expected prompt text; NULL: no prompt at all */
};

const RuleCase aRuleCases[] = {
    {"EmptyRuleWrites", "", "Old", {}, IDYES, NULL},
    {"AlwaysWrites", "A", "Old", {}, IDYES, NULL},
    {"NeverKeepsValue", "N", "Old", {}, IDNO, NULL},
    {"NeverOnAbsentKeyWrites", "N", "Absent", {}, IDYES, NULL},
    {"NeverOnEmptyKeyWrites", "N", "Empty", {}, IDYES, NULL},
    {"LowerCaseNMeansAlways", "n", "Old", {}, IDYES, NULL},
    {"LowerCasePMeansAlways", "pAsk %s %s", "Old", {}, IDYES, NULL},
    {"UnknownLetterWrites", "X", "Old", {}, IDYES, NULL},
    {"PromptOnAbsentKeyWritesUnasked", "PReplace %s with %s?", "Absent", {}, IDYES, NULL},
    {"PromptOnEmptyKeyWritesUnasked", "PReplace %s with %s?", "Empty", {}, IDYES, NULL},
    {"PromptYes", "PReplace %s with %s?", "Old", {IDYES}, IDYES, "Replace old with new?"},
    {"PromptNo", "PReplace %s with %s?", "Old", {IDNO}, IDNO, "Replace old with new?"},
    {"PromptCancel", "PReplace %s with %s?", "Old", {IDCANCEL}, IDCANCEL,
     "Replace old with new?"},
    {"PromptPercentEscape", "P100%% sure: %s", "Old", {IDYES}, IDYES, "100% sure: old"},
    /* Only the two texts are ever read; other conversions stay as text. */
    {"HostileFormat", "P%s %s %s %d %n", "Old", {IDNO}, IDNO, "old new  %d %n"},
};

class IniRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(IniRule, DecidesAsTheRuleSays)
{
    const RuleCase &c = GetParam();
    std::string file = ScratchDir(std::string("ini_rule_") + c.pszName) + "app.ini";
    ASSERT_TRUE(WriteBytes(file, szSeed));

    BoxAnswerer answerer(c.answers, GetCurrentProcessId(), 1500);
    int r = CanOvrINI(file.c_str(), c.pszRule, "Main", c.pszKey, "new");
    std::vector<SeenBox> seen = answerer.Stop();

    EXPECT_EQ(r, c.nExpected);
    if (c.pszPrompt == NULL) {
        EXPECT_TRUE(seen.empty()) << "unexpected box: " << seen[0].text;
        return;
    }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Parvex");
    EXPECT_EQ(seen[0].text, c.pszPrompt);
    EXPECT_EQ(seen[0].icon, "question");
    std::vector<int> buttons = seen[0].buttons;
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ(buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
    /* Deciding never changes the file itself. */
    EXPECT_EQ(ReadBytes(file), szSeed);
}

INSTANTIATE_TEST_SUITE_P(Rules, IniRule, ::testing::ValuesIn(aRuleCases),
                         [](const ::testing::TestParamInfo<RuleCase> &info) {
                             return std::string(info.param.pszName);
                         });

/* A prompt longer than its 512-character buffer is shown cut, never
   written past its end; a current value is read into 100 characters. */
TEST(IniRuleLimits, LongPromptAndValueAreCutSafely)
{
    std::string file = ScratchDir("ini_rule_long") + "app.ini";
    std::string cur(150, 'c');
    ASSERT_TRUE(WriteBytes(file, "[Main]\r\nLong=" + cur + "\r\n"));
    std::string rule = "P%s|" + std::string(600, 'x');

    BoxAnswerer answerer({IDNO}, GetCurrentProcessId(), 1500);
    int r = CanOvrINI(file.c_str(), rule.c_str(), "Main", "Long", "new");
    std::vector<SeenBox> seen = answerer.Stop();

    EXPECT_EQ(r, IDNO);
    ASSERT_EQ(seen.size(), 1u);
    std::string expected = std::string(99, 'c') + "|" + std::string(600, 'x');
    expected.resize(511);
    EXPECT_EQ(seen[0].text, expected);
}

/* A question that cannot be shown is no consent: the value stays. */
TEST(IniRuleLimits, PromptThatCannotBeShownKeepsTheValue)
{
    std::string file = ScratchDir("ini_rule_nobox") + "app.ini";
    ASSERT_TRUE(WriteBytes(file, szSeed));

    BoxAnswerer answerer({}, GetCurrentProcessId(), 1500);
    int r;
    {
        WindowsRefused refused;
        ASSERT_TRUE(refused.IsActive());
        r = CanOvrINI(file.c_str(), "PReplace %s with %s?", "Main", "Old", "new");
    }
    std::vector<SeenBox> seen = answerer.Stop();

    EXPECT_EQ(r, IDNO);
    EXPECT_TRUE(seen.empty()) << "unexpected box: " << seen[0].text;
}

/* ---- Whole change lists from a manifest --------------------------------- */

const char szMissing[] = "The cargo manifest is missing required entries.";

/* One run of ChgINIs under a manifest, its boxes answered in turn. */
struct IniRun {
    int r = -1;
    std::vector<SeenBox> seen;
};

IniRun RunChgINIs(const char *pszManifest, const std::string &path, std::vector<int> answers)
{
    IniRun run;
    if (UseManifest(pszManifest) == NULL) {
        ADD_FAILURE() << pszManifest << " did not load";
        return run;
    }
    BoxAnswerer answerer(std::move(answers), GetCurrentProcessId(), 1500);
    run.r = ChgINIs(path.c_str());
    run.seen = answerer.Stop();
    return run;
}

void ExpectMissingBox(const std::vector<SeenBox> &seen)
{
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Installer");
    EXPECT_EQ(seen[0].text, szMissing);
    EXPECT_EQ(seen[0].icon, "error");
}

TEST(ChgINIs, ExpandsEveryPartKeepsAndAsks)
{
    std::string dest = ScratchDir("ini_main");
    ASSERT_TRUE(WriteBytes(dest + "main.ini", "[Main]\r\nKept=old\r\nAsked=old\r\n"));

    IniRun run = RunChgINIs("manifest_ini_main", dest, {IDYES});

    EXPECT_EQ(run.r, 1);
    /* Section, key and value all expanded; %D keeps its trailing backslash. */
    EXPECT_EQ(ProfileValue(dest + "main.ini", ("Sec " + dest).c_str(), ("Key " + dest).c_str()),
              dest);
    EXPECT_EQ(ProfileValue(dest + "main.ini", "Main", "Kept"), "old");
    EXPECT_EQ(ProfileValue(dest + "main.ini", "Main", "Asked"), "new");
    EXPECT_EQ(ProfileValue(dest + "other.ini", "Other", "Plain"), "v3");
    ASSERT_EQ(run.seen.size(), 1u);
    EXPECT_EQ(run.seen[0].caption, "Parvex");
    EXPECT_EQ(run.seen[0].text, "Replace old with new?");
}

TEST(ChgINIs, MissingFileEntryStopsTheList)
{
    std::string dest = ScratchDir("ini_stop");

    IniRun run = RunChgINIs("manifest_ini_stop", dest, {IDOK});

    EXPECT_EQ(run.r, 0);
    ExpectMissingBox(run.seen);
    EXPECT_EQ(ProfileValue(dest + "stop.ini", "Main", "First"), "1");
    EXPECT_EQ(ProfileValue(dest + "stop.ini", "Main", "Second"), "<absent>");
    EXPECT_EQ(ProfileValue(dest + "stop.ini", "Main", "Third"), "<absent>");
}

TEST(ChgINIs, CancelInPromptAbandonsTheRest)
{
    std::string dest = ScratchDir("ini_cancel");
    ASSERT_TRUE(WriteBytes(dest + "cancel.ini", "[Main]\r\nAsked=old\r\n"));

    IniRun run = RunChgINIs("manifest_ini_cancel", dest, {IDCANCEL});

    EXPECT_EQ(run.r, 0);
    ASSERT_EQ(run.seen.size(), 1u);
    EXPECT_EQ(run.seen[0].text, "Keep old?");
    EXPECT_EQ(ProfileValue(dest + "cancel.ini", "Main", "First"), "1");
    EXPECT_EQ(ProfileValue(dest + "cancel.ini", "Main", "Asked"), "old");
    EXPECT_EQ(ProfileValue(dest + "cancel.ini", "Main", "Third"), "<absent>");
}

TEST(ChgINIs, NoCountTouchesNothing)
{
    std::string dest = ScratchDir("ini_none");

    IniRun run = RunChgINIs("manifest_ini_none", dest, {});

    EXPECT_EQ(run.r, 1);
    EXPECT_TRUE(run.seen.empty());
    EXPECT_FALSE(FileExists(dest + "none.ini"));
}

TEST(ChgINIs, TextTooLongForItsBufferIsNeverWrittenCut)
{
    std::string dest = ScratchDir("ini_cut");

    IniRun run = RunChgINIs("manifest_ini_cut", dest, {IDOK});

    EXPECT_EQ(run.r, 0);
    ExpectMissingBox(run.seen);
    EXPECT_EQ(ProfileValue(dest + "cut.ini", "Main", "Fits"), std::string(255, 'x'));
    EXPECT_EQ(ProfileValue(dest + "cut.ini", "Main", "TooLong"), "<absent>");
    EXPECT_EQ(ProfileValue(dest + "cut.ini", "Main", "After"), "<absent>");
}

/* A destination so long that the expanded file name cannot be held. */
TEST(ChgINIs, FileNameTooLongStopsBeforeWriting)
{
    std::string dest = ScratchDir("ini_longdest");
    std::string longDest = dest + std::string(250, 'd') + "\\";

    IniRun run = RunChgINIs("manifest_ini_stop", longDest, {IDOK});

    EXPECT_EQ(run.r, 0);
    ExpectMissingBox(run.seen);
    /* Cut to 255 characters the name would land in the scratch folder. */
    EXPECT_FALSE(FileExists(dest + std::string(255 - dest.size(), 'd')));
    EXPECT_FALSE(DirExists(longDest));
}

} // namespace
