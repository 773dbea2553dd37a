/* quarnel_ini.cpp - the manifest's INI changes: each change names a file,
 * section, key and value, and a rule that may keep an existing value or ask
 * the user before replacing it. */
#include "quarnel.h"

#include "fixed.h"
#include "logic.h"
#include "manifest.h"
#include "resource.h"

/* One change as read from the manifest, every text expanded. */
typedef struct INICHANGE {
    char szF[INI_TEXT_BUF];
    char szSec[INI_TEXT_BUF];
    char szKey[INI_TEXT_BUF];
    char szVal[INI_TEXT_BUF];
    char szOvr[INI_TEXT_BUF];
} INICHANGE;

/* Expanded entry uId into a buffer of INI_TEXT_BUF.  0 when the text did
   not fit whole: a cut file name, key or value would change the wrong thing. */
static int LoadIniField(UINT uId, const char *pszPath, char *pszOut, size_t cchOut)
{
    const char *psz = LoadStrExpand(uId, "", pszPath);
    size_t n = CopySz(pszOut, cchOut, psz);
    return !ExpandWasCut() && psz[n] == '\0';
}

/* Change i in the order file, section, key, value, rule; an empty file name
   ends the reading before anything else of the change is looked at.
   0 when the change is missing or does not fit.  The rule is kept cut to
   its buffer: only its first letter decides, and a long prompt shown
   shorter is no reason to drop the change. */
static int LoadIniChange(int i, const char *pszPath, INICHANGE *pChg)
{
    if (!LoadIniField(IDS_INI_FILE + i, pszPath, pChg->szF, sizeof(pChg->szF))
        || pChg->szF[0] == '\0'
        || !LoadIniField(IDS_INI_SECTION + i, pszPath, pChg->szSec, sizeof(pChg->szSec))
        || !LoadIniField(IDS_INI_KEY + i, pszPath, pChg->szKey, sizeof(pChg->szKey))
        || !LoadIniField(IDS_INI_VALUE + i, pszPath, pChg->szVal, sizeof(pChg->szVal)))
        return 0;
    CopySz(pChg->szOvr, sizeof(pChg->szOvr), LoadStrExpand(IDS_INI_RULE + i, "", pszPath));
    return 1;
}

int ChgINIs(const char *pszPath)
{
    int n = LoadInt(IDS_INI_COUNT, 0);
    for (int i = 0; i < n; i++) {
        INICHANGE chg;
        if (!LoadIniChange(i, pszPath, &chg)) {
            ErrBox(MSG_MISSING, szTextMissing);
            return 0;
        }
        int nAnswer = CanOvrINI(chg.szF, chg.szOvr, chg.szSec, chg.szKey, chg.szVal);
        if (nAnswer == OVR_CANCEL)
            return 0;
        if (nAnswer == OVR_SKIP)
            continue;
        /* A failed write is not reported: the install itself is done. */
        WritePrivateProfileStringA(chg.szSec, chg.szKey, chg.szVal, chg.szF);
    }
    return 1;
}

/* Asks whether to replace the current value.  The rule's text is the
   manifest author's, so it is filled in by FormatPrompt, which substitutes
   only the two texts it is given and never overruns. */
static int AskIni(const char *pszFormat, const char *pszCurVal, const char *pszVal)
{
    const char *apszArgs[2] = {pszCurVal, pszVal};
    char szMsg[INI_PROMPT_BUF];
    FormatPrompt(pszFormat, apszArgs, 2, szMsg, sizeof(szMsg));
    return AskOverwrite(szMsg);
}

int CanOvrINI(const char *pszFile, const char *pszOvr, const char *pszSec,
              const char *pszKey, const char *pszVal)
{
    /* These rules write in any case, so the file is not even read. */
    ParsedRule rule;
    ParseRule(pszOvr, 0, &rule);
    if (rule.kind == RULE_ALWAYS)
        return OVR_WRITE;

    char szCurVal[INI_VALUE_BUF];
    GetPrivateProfileStringA(pszSec, pszKey, "", szCurVal, sizeof(szCurVal), pszFile);

    const char *pszPrompt = NULL;
    int nDecision = DecideIniRule(pszOvr, szCurVal, &pszPrompt);
    return nDecision == OVR_ASK ? AskIni(pszPrompt, szCurVal, pszVal) : nDecision;
}
