/* fuzz_dates.cpp - item dates and overwrite rules: every DOS date word, and
 * arbitrary date texts, rules, file dates and INI values.  The calendar,
 * the packing of a date text, the text comparison and both rule tables are
 * worked out here independently; rule texts lie in blocks of exactly their
 * size, so a look one character past a short rule is seen. */
#include "fuzz_input.h"
#include "logic.h"

static bool IsRealDay(unsigned uYear, unsigned uMonth, unsigned uDay)
{
    static const unsigned auDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (uMonth < 1 || uMonth > 12 || uDay < 1)
        return false;
    bool fLeap = (uYear % 4 == 0 && uYear % 100 != 0) || uYear % 400 == 0;
    return uDay <= auDays[uMonth - 1] + (uMonth == 2 && fLeap ? 1 : 0);
}

static void CheckDosDate(uint16_t uDate)
{
    unsigned uYear = 1980 + (uDate >> 9), uMonth = (uDate >> 5) & 15, uDay = uDate & 31;
    auto pszDate = ExactBuffer(9);
    FormatItemDate(uDate, pszDate.get());
    char szExpected[16];
    snprintf(szExpected, sizeof(szExpected), "%04u%02u%02u", uYear, uMonth, uDay);
    FUZZ_CHECK(memcmp(pszDate.get(), szExpected, 9) == 0);
    FUZZ_CHECK(IsValidDosDate(uDate) == (IsRealDay(uYear, uMonth, uDay) ? 1 : 0));
    /* Every field of the word fits its digits, so the text packs back. */
    FUZZ_CHECK(PackItemDate(pszDate.get()) == uDate);
}

/* A date part read the standard way: white space, a sign, digits. */
static int64_t PartValue(const std::string &part)
{
    size_t i = part.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return 0;
    bool fNegative = part[i] == '-';
    if (part[i] == '+' || part[i] == '-')
        i++;
    int64_t ll = 0;
    for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; i++)
        ll = ll * 10 + (part[i] - '0');
    return fNegative ? -ll : ll;
}

static std::string Part(const std::string &text, size_t nFrom, size_t nLen)
{
    return nFrom < text.size() ? text.substr(nFrom, nLen) : std::string();
}

static uint16_t PackedDate(const std::string &text)
{
    uint32_t uYear = (uint32_t)(PartValue(Part(text, 0, 4)) - 1980);
    uint32_t uMonth = (uint32_t)PartValue(Part(text, 4, 2));
    uint32_t uDay = (uint32_t)PartValue(Part(text, 6, 2));
    return (uint16_t)((uYear << 9) | (uMonth << 5) | uDay);
}

static int Sign(int n)
{
    return (n > 0) - (n < 0);
}

static int CompareDates(const std::string &a, const std::string &b)
{
    return Sign(a.substr(0, 8).compare(b.substr(0, 8)));
}

/* Expected decision and prompt offset (-1 for none) of an item rule. */
static int ItemDecision(const std::string &rule, const std::string &fileDate, int *pnPrompt)
{
    *pnPrompt = -1;
    char c = rule.empty() ? '\0' : rule[0];
    if (c == 'N')
        return OVR_SKIP;
    if (c == 'P') {
        *pnPrompt = 1;
        return OVR_ASK;
    }
    if (c != 'O' || CompareDates(fileDate, rule.substr(1)) <= 0)
        return OVR_WRITE;
    if (rule.size() < 10 || rule[9] != 'P')
        return OVR_SKIP;
    *pnPrompt = 10;
    return OVR_ASK;
}

static int IniDecision(const std::string &rule, const std::string &value, int *pnPrompt)
{
    *pnPrompt = -1;
    if (value.empty() || rule.empty() || (rule[0] != 'N' && rule[0] != 'P'))
        return OVR_WRITE;
    if (rule[0] == 'N')
        return OVR_SKIP;
    *pnPrompt = 1;
    return OVR_ASK;
}

static void CheckPrompt(const char *pszRule, const char *pszPrompt, int nPrompt)
{
    FUZZ_CHECK(nPrompt < 0 ? pszPrompt == NULL : pszPrompt == pszRule + nPrompt);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t cbData)
{
    FuzzInput in(pData, cbData);
    CheckDosDate(in.TakeWord());
    std::string dateText = in.TakeText(), rule = in.TakeText();
    std::string fileDate = in.TakeText(), value = in.TakeText();
    auto pszDateText = ExactCopy(dateText), pszRule = ExactCopy(rule);
    auto pszFileDate = ExactCopy(fileDate), pszValue = ExactCopy(value);

    FUZZ_CHECK(PackItemDate(pszDateText.get()) == PackedDate(dateText));

    int nCmp = CompareItemDates(pszFileDate.get(), pszRule.get());
    FUZZ_CHECK(Sign(nCmp) == CompareDates(fileDate, rule));
    FUZZ_CHECK(Sign(CompareItemDates(pszRule.get(), pszFileDate.get())) == -Sign(nCmp));
    FUZZ_CHECK(CompareItemDates(pszDateText.get(), pszDateText.get()) == 0);

    bool fLooks = !rule.empty() && rule[0] != 'A';
    FUZZ_CHECK(ItemRuleLooksAtFile(pszRule.get()) == (fLooks ? 1 : 0));

    const char *pszPrompt = pszRule.get();
    int nPrompt;
    int nDecision = DecideItemRule(pszRule.get(), pszFileDate.get(), &pszPrompt);
    FUZZ_CHECK(nDecision == ItemDecision(rule, fileDate, &nPrompt));
    CheckPrompt(pszRule.get(), pszPrompt, nPrompt);
    FUZZ_CHECK(DecideItemRule(pszRule.get(), pszFileDate.get(), NULL) == nDecision);

    nDecision = DecideIniRule(pszRule.get(), pszValue.get(), &pszPrompt);
    FUZZ_CHECK(nDecision == IniDecision(rule, value, &nPrompt));
    CheckPrompt(pszRule.get(), pszPrompt, nPrompt);
    FUZZ_CHECK(DecideIniRule(pszRule.get(), pszValue.get(), NULL) == nDecision);
    return 0;
}
