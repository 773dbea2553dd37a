/* logic_rules.cpp - overwrite rules of items and INI changes and the item
 * date comparison: pure decisions on text, tested row by row natively; the
 * callers supply the file's date or the key's value and show the prompt. */
#include "logic.h"

#include "fixed.h"

static void SetPrompt(const char **ppszPrompt, const char *pszPrompt)
{
    if (ppszPrompt != NULL)
        *ppszPrompt = pszPrompt;
}

int CompareItemDates(const char *pszA, const char *pszB)
{
    for (int i = 0; i < ITEM_DATE_LEN; i++) {
        /* Character codes compare unsigned; the terminator (0) thus counts
           as lower than any character, so a shorter text is the earlier. */
        unsigned char a = (unsigned char)pszA[i];
        unsigned char b = (unsigned char)pszB[i];
        if (a != b)
            return a < b ? -1 : 1;
        if (a == '\0')
            break;
    }
    return 0;
}

/* "O" + date [+ "P" + prompt]: a "P" is the prompt mark only right after
   eight date characters; a shorter date leaves the rule without a prompt. */
static void ParseOlderRule(const char *pszRule, ParsedRule *pRule)
{
    pRule->kind = RULE_OLDER;
    pRule->pszDate = pszRule + 1;
    size_t n = 0;
    while (n < ITEM_DATE_LEN && pRule->pszDate[n] != '\0')
        n++;
    pRule->cchDate = n;
    pRule->pszAfterDate = pRule->pszDate + n;
    if (n == ITEM_DATE_LEN && pRule->pszAfterDate[0] == RULE_MARK_ASK)
        pRule->pszPrompt = pRule->pszAfterDate + 1;
}

void ParseRule(const char *pszRule, int fItem, ParsedRule *pRule)
{
    pRule->kind = RULE_OTHER;
    pRule->pszDate = NULL;
    pRule->cchDate = 0;
    pRule->pszAfterDate = NULL;
    pRule->pszPrompt = NULL;
    switch (pszRule[0]) {
    case '\0':
    case RULE_MARK_ALWAYS:
        pRule->kind = RULE_ALWAYS;
        break;
    case RULE_MARK_NEVER:
        pRule->kind = RULE_NEVER;
        break;
    case RULE_MARK_ASK:
        pRule->kind = RULE_ASK;
        pRule->pszPrompt = pszRule + 1;
        break;
    case RULE_MARK_OLDER:
        if (fItem)
            ParseOlderRule(pszRule, pRule);
        break;
    }
}

int ItemRuleLooksAtFile(const char *pszRule)
{
    ParsedRule rule;
    ParseRule(pszRule, 1, &rule);
    return rule.kind != RULE_ALWAYS;
}

int DecideItemRule(const char *pszRule, const char *pszFileDate, const char **ppszPrompt)
{
    ParsedRule rule;
    ParseRule(pszRule, 1, &rule);
    SetPrompt(ppszPrompt, NULL);
    switch (rule.kind) {
    case RULE_NEVER:
        return OVR_SKIP;
    case RULE_OLDER:
        /* An existing file not later than the date is overwritten; a later
           one is asked about when the rule has a prompt, else kept. */
        if (CompareItemDates(pszFileDate, rule.pszDate) <= 0)
            return OVR_WRITE;
        break;
    case RULE_ASK:
        break;
    default:        /* empty, "A" and every unknown letter: overwrite */
        return OVR_WRITE;
    }
    SetPrompt(ppszPrompt, rule.pszPrompt);
    return rule.pszPrompt != NULL ? OVR_ASK : OVR_SKIP;
}

int DecideIniRule(const char *pszRule, const char *pszCurVal, const char **ppszPrompt)
{
    SetPrompt(ppszPrompt, NULL);
    /* A key without a value is always written, whatever the rule. */
    if (pszCurVal[0] == '\0')
        return OVR_WRITE;
    ParsedRule rule;
    ParseRule(pszRule, 0, &rule);
    switch (rule.kind) {
    case RULE_NEVER:
        return OVR_SKIP;
    case RULE_ASK:
        SetPrompt(ppszPrompt, rule.pszPrompt);
        return OVR_ASK;
    default:        /* empty, "A" and every other letter: write */
        return OVR_WRITE;
    }
}
