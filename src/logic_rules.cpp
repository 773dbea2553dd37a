/* logic_rules.cpp - overwrite rules of items and INI changes and the item
 * date comparison: pure decisions on text, tested row by row natively; the
 * callers supply the file's date or the key's value and show the prompt. */
#include "logic.h"

/* Item dates compare over their first eight characters only. */
enum { ITEM_DATE_LEN = 8 };

/* An "O" rule: the letter, eight date characters, then "P" and the prompt. */
enum { OLDER_PROMPT_MARK = 1 + ITEM_DATE_LEN, OLDER_PROMPT_FORMAT = OLDER_PROMPT_MARK + 1 };

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

int ItemRuleLooksAtFile(const char *pszRule)
{
    return pszRule[0] != '\0' && pszRule[0] != 'A';
}

/* The character at nIndex, or the terminator when the text ends before it
   (never reads past the end of a short rule). */
static char CharAt(const char *psz, int nIndex)
{
    for (int i = 0; i < nIndex; i++)
        if (psz[i] == '\0')
            return '\0';
    return psz[nIndex];
}

/* "O" + date [+ "P" + prompt]: an existing file not later than the date is
   overwritten; a later one is asked about when the prompt is there, else
   kept. */
static int DecideOlderRule(const char *pszRule, const char *pszFileDate, const char **ppszPrompt)
{
    if (CompareItemDates(pszFileDate, pszRule + 1) <= 0)
        return OVR_WRITE;
    if (CharAt(pszRule, OLDER_PROMPT_MARK) != 'P')
        return OVR_SKIP;
    SetPrompt(ppszPrompt, pszRule + OLDER_PROMPT_FORMAT);
    return OVR_ASK;
}

int DecideItemRule(const char *pszRule, const char *pszFileDate, const char **ppszPrompt)
{
    SetPrompt(ppszPrompt, NULL);
    switch (pszRule[0]) {
    case 'N':
        return OVR_SKIP;
    case 'O':
        return DecideOlderRule(pszRule, pszFileDate, ppszPrompt);
    case 'P':
        SetPrompt(ppszPrompt, pszRule + 1);
        return OVR_ASK;
    default:        /* empty, "A" and every unknown letter: overwrite */
        return OVR_WRITE;
    }
}

int DecideIniRule(const char *pszRule, const char *pszCurVal, const char **ppszPrompt)
{
    SetPrompt(ppszPrompt, NULL);
    /* A key without a value is always written, whatever the rule. */
    if (pszCurVal[0] == '\0')
        return OVR_WRITE;
    switch (pszRule[0]) {
    case 'N':
        return OVR_SKIP;
    case 'P':
        SetPrompt(ppszPrompt, pszRule + 1);
        return OVR_ASK;
    default:        /* empty, "A" and every other letter: write */
        return OVR_WRITE;
    }
}
