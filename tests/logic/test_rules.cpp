/* Overwrite rules of items and INI changes, and item date comparison: every
 * row of the rule tables with the answer a user of the manifest expects. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic.h"

static std::string Decision(int n)
{
    switch (n) {
    case OVR_WRITE: return "write";
    case OVR_SKIP: return "skip";
    case OVR_ASK: return "ask";
    case OVR_CANCEL: return "cancel";
    default: return "?" + std::to_string(n);
    }
}

/* One row of a rule table: the rule, the file's date or the key's value,
   the decision and the prompt format it must point at (nullptr: none). */
struct RuleCase {
    const char *rule;
    const char *given;
    const char *expect;
    const char *prompt;
};

typedef int (*DecideFn)(const char *, const char *, const char **);

static void CheckRuleTable(DecideFn pfnDecide, const std::vector<RuleCase> &cases)
{
    for (const RuleCase &c : cases) {
        SCOPED_TRACE(std::string("rule \"") + c.rule + "\", given \"" + c.given + "\"");
        const char *pszPrompt = "untouched";
        EXPECT_EQ(Decision(pfnDecide(c.rule, c.given, &pszPrompt)), c.expect);
        if (c.prompt == nullptr) {
            EXPECT_EQ(pszPrompt, nullptr);
        } else {
            ASSERT_NE(pszPrompt, nullptr);
            EXPECT_STREQ(pszPrompt, c.prompt);
        }
    }
}

TEST(ItemRuleLooksAtFile, OnlyEmptyAndAlwaysDoNot)
{
    struct Case { const char *rule; int looks; } cases[] = {
        {"", 0},
        {"A", 0},
        {"Anything after it", 0},
        {"N", 1},
        {"O19980909", 1},
        {"PReplace %s?", 1},
        {"a", 1},
        {"X", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ItemRuleLooksAtFile(c.rule), c.looks) << "rule: \"" << c.rule << "\"";
}

TEST(DecideItemRule, Table)
{
    CheckRuleTable(DecideItemRule, {
        /* always */
        {"", "20011231", "write", nullptr},
        {"A", "20011231", "write", nullptr},
        {"ANY", "20011231", "write", nullptr},
        /* never */
        {"N", "19800101", "skip", nullptr},
        {"Never mind", "20011231", "skip", nullptr},
        /* overwrite older: equal, earlier, later */
        {"O19980909", "19980909", "write", nullptr},
        {"O19980909", "19980908", "write", nullptr},
        {"O19980909", "19971231", "write", nullptr},
        {"O19980909", "19980910", "skip", nullptr},
        {"O19980909", "20000101", "skip", nullptr},
        /* only the first eight characters of the rule's date count */
        {"O199809091", "19980909", "write", nullptr},
        /* later with a prompt after the date: ask with the rest of the rule */
        {"O19980909PReplace newer %s?", "19990101", "ask", "Replace newer %s?"},
        {"O19980909P", "19990101", "ask", ""},
        /* not later: the prompt is never used */
        {"O19980909PReplace newer %s?", "19980909", "write", nullptr},
        /* a tenth character other than P, or none: skip */
        {"O19980909 PReplace?", "19990101", "skip", nullptr},
        {"O19980909p", "19990101", "skip", nullptr},
        {"O19980909X", "19990101", "skip", nullptr},
        /* four-digit year: the end of the rule is lower than any digit, so
           the same year counts as later; an earlier year is overwritten */
        {"O1998", "19980101", "skip", nullptr},
        {"O1998", "19981231", "skip", nullptr},
        {"O1998", "19990101", "skip", nullptr},
        {"O1998", "19971231", "write", nullptr},
        /* "O" with nothing after it: every dated file is later */
        {"O", "19800101", "skip", nullptr},
        /* ask */
        {"P", "19800101", "ask", ""},
        {"POverwrite %s?", "19800101", "ask", "Overwrite %s?"},
        /* letters are case-sensitive: lower case is an unknown rule */
        {"a", "20011231", "write", nullptr},
        {"n", "20011231", "write", nullptr},
        {"o19980909", "20011231", "write", nullptr},
        {"pOverwrite %s?", "20011231", "write", nullptr},
        /* any other first character */
        {"X", "20011231", "write", nullptr},
        {"1", "20011231", "write", nullptr},
        {" N", "20011231", "write", nullptr},
    });
}

TEST(DecideItemRule, PromptPointsIntoTheRule)
{
    const char szRule[] = "O20000101PKeep %s?";
    const char *pszPrompt = nullptr;
    ASSERT_EQ(DecideItemRule(szRule, "20000102", &pszPrompt), OVR_ASK);
    EXPECT_EQ(pszPrompt, szRule + 10);
}

TEST(DecideItemRule, NullPromptPointerIsAccepted)
{
    EXPECT_EQ(DecideItemRule("PAsk", "20000101", nullptr), OVR_ASK);
    EXPECT_EQ(DecideItemRule("O20000101PAsk", "20000102", nullptr), OVR_ASK);
}

TEST(CompareItemDates, Table)
{
    struct Case { const char *a; const char *b; int sign; } cases[] = {
        {"19980909", "19980909", 0},
        {"19980908", "19980909", -1},
        {"19980910", "19980909", 1},
        {"19991231", "20000101", -1},
        /* only eight characters take part */
        {"19980909", "19980909X", 0},
        {"199809091", "199809092", 0},
        /* the end of a text is lower than any character */
        {"1998", "19980101", -1},
        {"19980101", "1998", 1},
        {"", "0", -1},
        {"", "", 0},
        /* character codes compare unsigned */
        {"1998\xe9", "19989", 1},
        {"A", "a", -1},
    };
    for (const Case &c : cases) {
        int n = CompareItemDates(c.a, c.b);
        int sign = n < 0 ? -1 : (n > 0 ? 1 : 0);
        EXPECT_EQ(sign, c.sign) << "\"" << c.a << "\" vs \"" << c.b << "\"";
    }
}

TEST(DecideIniRule, Table)
{
    CheckRuleTable(DecideIniRule, {
        /* always */
        {"", "old", "write", nullptr},
        {"A", "old", "write", nullptr},
        {"Always", "old", "write", nullptr},
        /* a key with no value is written under every rule */
        {"N", "", "write", nullptr},
        {"PReplace %s with %s?", "", "write", nullptr},
        {"", "", "write", nullptr},
        /* never, when the key has a value */
        {"N", "old", "skip", nullptr},
        {"No", "old", "skip", nullptr},
        /* ask with the rest of the rule as format */
        {"PReplace %s with %s?", "old", "ask", "Replace %s with %s?"},
        {"P", "old", "ask", ""},
        /* letters are case-sensitive: lower case is any other rule */
        {"n", "old", "write", nullptr},
        {"p%s", "old", "write", nullptr},
        {"a", "old", "write", nullptr},
        /* item-only rules mean nothing here */
        {"O19980909", "old", "write", nullptr},
        {"X", "old", "write", nullptr},
    });
}
