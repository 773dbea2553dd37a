/* bench_report.cpp - what the benchmark makes of its runs: medians, ratios to
 * the plain yardsticks, the goals and the tables and CSV files it writes, and
 * the item bytes the runs move.  No platform calls, so it is easy to test. */
#include "bench.h"

#include <algorithm>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct CaseInfo {
    const char *pszKey;
    const char *pszTitle;
    int nYardstick;
    int fProgram;
    int fInstall;
    int fPeer;
};

static const CaseInfo aCases[CASE_COUNT] = {
    {"install-shown", "install, progress on", CASE_COPY, 1, 1, 0},
    {"install-sealed", "install, sealed, progress on", CASE_COPY, 1, 1, 0},
    {"install-quiet", "install, progress off", CASE_COPY, 1, 1, 0},
    {"extract-blocks", "records to files via blocks", CASE_COPY, 0, 1, 0},
    {"nsis-silent", "NSIS, silent", CASE_COPY, 0, 1, 1},
    {"nsis-shown", "NSIS, progress window", CASE_COPY, 0, 1, 1},
    {"copy", "CopyFileA loop", CASE_COPY, 0, 1, 0},
    {"build", "build (PackFiles)", CASE_CONCAT, 1, 0, 0},
    {"concat-blocks", "concatenation via blocks", CASE_CONCAT, 0, 0, 0},
    {"concat", "plain concatenation", CASE_CONCAT, 0, 0, 0},
};

const char *CaseKey(int nCase) { return aCases[nCase].pszKey; }
const char *CaseTitle(int nCase) { return aCases[nCase].pszTitle; }
int CaseYardstick(int nCase) { return aCases[nCase].nYardstick; }
int CaseIsProgram(int nCase) { return aCases[nCase].fProgram; }
int CaseIsInstall(int nCase) { return aCases[nCase].fInstall; }
int CaseIsPeer(int nCase) { return aCases[nCase].fPeer; }

int FindCase(const char *pszKey)
{
    for (int i = 0; i < CASE_COUNT; i++)
        if (strcmp(aCases[i].pszKey, pszKey) == 0)
            return i;
    return -1;
}

/* ---- Statistics ---------------------------------------------------------- */

double Median(std::vector<double> aValues)
{
    if (aValues.empty())
        return 0;
    std::sort(aValues.begin(), aValues.end());
    size_t n = aValues.size();
    return n % 2 ? aValues[n / 2] : (aValues[n / 2 - 1] + aValues[n / 2]) / 2;
}

static double MedianSeconds(const std::vector<CaseRun> &aRuns, int *pnOk)
{
    std::vector<double> aSeconds;
    for (const CaseRun &run : aRuns)
        if (run.fOk)
            aSeconds.push_back(run.dSeconds);
    *pnOk = (int)aSeconds.size();
    return Median(aSeconds);
}

/* The ratio is taken between medians: the same bytes moved in the median
   time of each, so it is the yardstick's median time over the case's. */
CaseSummary SummariseCase(const SetRuns &set, int nCase)
{
    CaseSummary sum;
    const std::vector<CaseRun> &aRuns = set.aRuns[nCase];
    sum.nRuns = (int)aRuns.size();
    sum.dSeconds = MedianSeconds(aRuns, &sum.nOk);
    for (const CaseRun &run : aRuns)
        if (run.fOk)
            sum.dPeakMb = std::max(sum.dPeakMb, run.dPeakMb);
    if (sum.nOk == 0 || sum.dSeconds <= 0)
        return sum;
    sum.dItemsPerSec = set.nItems / sum.dSeconds;
    sum.dMbPerSec = (double)set.nItems * (double)set.llItemSize / MB / sum.dSeconds;
    int nYardOk = 0;
    double dYard = MedianSeconds(set.aRuns[CaseYardstick(nCase)], &nYardOk);
    if (nYardOk > 0)
        sum.dRatio = dYard / sum.dSeconds;
    return sum;
}

double MemoryLimitMb(const SetRuns &set)
{
    return (double)set.llItemSize / MB + 8.0;
}

/* ---- Text ---------------------------------------------------------------- */

static std::string Format(const char *pszFormat, ...) __attribute__((format(printf, 1, 2)));
static std::string Format(const char *pszFormat, ...)
{
    char szBuf[512];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(szBuf, sizeof(szBuf), pszFormat, args);
    va_end(args);
    return szBuf;
}

static std::string SizeLabel(long long llBytes)
{
    if (llBytes >= 1048576 && llBytes % 1048576 == 0)
        return Format("%lld MB", llBytes / 1048576);
    if (llBytes >= 1024 && llBytes % 1024 == 0)
        return Format("%lld KB", llBytes / 1024);
    return Format("%lld bytes", llBytes);
}

std::string SetLabel(const SetRuns &set)
{
    return Format("%d x %s", set.nItems, SizeLabel(set.llItemSize).c_str());
}

/* Rates spread over five orders of magnitude: keep three significant
   figures without turning large ones into exponents. */
static std::string Rate(double d)
{
    if (d >= 100)
        return Format("%.0f", d);
    if (d >= 10)
        return Format("%.1f", d);
    return Format("%.2f", d);
}

static std::string FirstFailure(const std::vector<CaseRun> &aRuns)
{
    for (const CaseRun &run : aRuns)
        if (!run.fOk)
            return run.note;
    return "";
}

static std::string TableRow(const SetRuns &set, int nCase)
{
    CaseSummary sum = SummariseCase(set, nCase);
    std::string row = Format("| %s | %s | %d/%d |", SetLabel(set).c_str(), CaseTitle(nCase),
                             sum.nOk, sum.nRuns);
    if (sum.nOk == 0)
        return row + Format(" failed: %s | | | | |\n", FirstFailure(set.aRuns[nCase]).c_str());
    row += Format(" %.3f | %s | %s |", sum.dSeconds, Rate(sum.dItemsPerSec).c_str(),
                  Rate(sum.dMbPerSec).c_str());
    row += sum.dRatio > 0 ? Format(" %.2f |", sum.dRatio) : std::string(" - |");
    /* Wine reports no memory figures for a process that has ended. */
    if (CaseIsPeer(nCase) && sum.dPeakMb <= 0)
        return row + " - |\n";
    return row + Format(" %.1f |\n", sum.dPeakMb);
}

std::string FormatTable(const std::vector<SetRuns> &aSets)
{
    std::string text =
        "| items | case | runs ok | median s | items/s | MB/s | ratio to plain | peak memory MB |\n"
        "|---|---|---:|---:|---:|---:|---:|---:|\n";
    for (const SetRuns &set : aSets) {
        if (!set.skipped.empty()) {
            text += Format("| %s | not measured: %s | | | | | | |\n", SetLabel(set).c_str(),
                           set.skipped.c_str());
            continue;
        }
        for (int c = 0; c < CASE_COUNT; c++)
            text += set.aCaseSkipped[c].empty()
                        ? TableRow(set, c)
                        : Format("| %s | %s | not measured: %s | | | | | |\n", SetLabel(set).c_str(),
                                 CaseTitle(c), set.aCaseSkipped[c].c_str());
    }
    return text;
}

/* ---- Goals --------------------------------------------------------------- */

/* Throughput goals: a case of the sets whose items have this size (0: every
   set) must reach this share of another case's throughput (-1: of its
   yardstick's).  A minimum above 1 with a peer asks to be faster. */
struct RatioGoal {
    long long llItemSize;
    int nCase;
    double dMin;
    int nAgainst;
};

static const RatioGoal aRatioGoals[] = {
    {256LL * 1048576, CASE_INSTALL_SHOWN, 0.9, -1},
    {4096, CASE_INSTALL_SHOWN, 1.0, -1},
    {4096, CASE_INSTALL_SHOWN, 1.0, CASE_NSIS_SILENT},
    {1048576, CASE_INSTALL_SHOWN, 0.9, CASE_EXTRACT_BLOCKS},
    {1048576, CASE_INSTALL_SHOWN, 1.0, CASE_NSIS_SILENT},
    {0, CASE_BUILD, 0.9, -1},
};

/* The case's throughput over the other case's: the other's median time
   over the case's; 0 when either has no successful run. */
double CaseRatio(const SetRuns &set, int nCase, int nAgainst)
{
    CaseSummary sum = SummariseCase(set, nCase);
    CaseSummary other = SummariseCase(set, nAgainst);
    if (sum.nOk == 0 || other.nOk == 0 || sum.dSeconds <= 0)
        return 0;
    return other.dSeconds / sum.dSeconds;
}

static const char *Verdict(bool fMeasured, bool fMet)
{
    return !fMeasured ? "not measured" : fMet ? "met" : "MISSED";
}

static std::string RatioGoalRows(const std::vector<SetRuns> &aSets)
{
    std::string text;
    for (const RatioGoal &goal : aRatioGoals)
        for (const SetRuns &set : aSets) {
            if (goal.llItemSize != 0 && goal.llItemSize != set.llItemSize)
                continue;
            int nAgainst = goal.nAgainst < 0 ? CaseYardstick(goal.nCase) : goal.nAgainst;
            double dRatio = CaseRatio(set, goal.nCase, nAgainst);
            bool fMeasured = set.skipped.empty() && dRatio > 0;
            /* Faster than a peer: a tie is not faster. */
            bool fMet = CaseIsPeer(nAgainst) ? dRatio > goal.dMin : dRatio >= goal.dMin;
            text += Format("| %s, %s / %s | %.2f | %s %.2f | %s |\n", CaseTitle(goal.nCase),
                           SetLabel(set).c_str(), CaseTitle(nAgainst), dRatio,
                           CaseIsPeer(nAgainst) ? ">" : ">=", goal.dMin, Verdict(fMeasured, fMet));
        }
    return text;
}

static std::string MemoryGoalRows(const std::vector<SetRuns> &aSets)
{
    std::string text;
    for (const SetRuns &set : aSets)
        for (int c = 0; c < CASE_COUNT; c++) {
            if (!CaseIsProgram(c))
                continue;
            CaseSummary sum = SummariseCase(set, c);
            double dLimit = MemoryLimitMb(set);
            bool fMeasured = set.skipped.empty() && sum.nOk > 0;
            text += Format("| peak memory, %s, %s | %.1f MB | <= %.1f MB | %s |\n", CaseTitle(c),
                           SetLabel(set).c_str(), sum.dPeakMb, dLimit,
                           Verdict(fMeasured, sum.dPeakMb <= dLimit));
        }
    return text;
}

std::string FormatGoals(const std::vector<SetRuns> &aSets)
{
    return "| goal | measured | target | verdict |\n|---|---:|---:|---|\n" +
           RatioGoalRows(aSets) + MemoryGoalRows(aSets);
}

/* ---- Breakdown ----------------------------------------------------------- */

std::vector<BreakdownStep> ParseBreakdown(const std::string &text)
{
    std::vector<BreakdownStep> aSteps;
    size_t nAt = 0;
    while (nAt < text.size()) {
        size_t nEnd = text.find('\n', nAt);
        std::string line = text.substr(nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt);
        nAt = nEnd == std::string::npos ? text.size() : nEnd + 1;
        size_t nSpace = line.rfind(' ');
        if (nSpace == std::string::npos || nSpace == 0)
            continue;
        BreakdownStep step;
        step.name = line.substr(0, nSpace);
        char *pEnd = NULL;
        step.dMicros = strtod(line.c_str() + nSpace + 1, &pEnd);
        if (pEnd != line.c_str() + nSpace + 1)
            aSteps.push_back(step);
    }
    return aSteps;
}

/* One column per set that has a breakdown, one row per step, in the order
   the first such set lists them. */
std::string FormatBreakdown(const std::vector<SetRuns> &aSets)
{
    std::vector<const SetRuns *> aWith;
    for (const SetRuns &set : aSets)
        if (!set.aSteps.empty())
            aWith.push_back(&set);
    if (aWith.empty())
        return "";
    std::string text = "| step, µs per item |", rule = "|---|";
    for (const SetRuns *pSet : aWith) {
        text += " " + SetLabel(*pSet) + " |";
        rule += "---:|";
    }
    text += "\n" + rule + "\n";
    for (const BreakdownStep &step : aWith[0]->aSteps) {
        text += "| " + step.name + " |";
        for (const SetRuns *pSet : aWith) {
            std::string cell = " - |";
            for (const BreakdownStep &other : pSet->aSteps)
                if (other.name == step.name)
                    cell = Format(" %.1f |", other.dMicros);
            text += cell;
        }
        text += "\n";
    }
    return text;
}

/* ---- CSV ----------------------------------------------------------------- */

/* Titles and notes may hold commas: they go in quotes, quotes doubled. */
static std::string CsvQuoted(const std::string &text)
{
    std::string out = "\"";
    for (char ch : text)
        out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return out + "\"";
}

std::string FormatSummaryCsv(const std::vector<SetRuns> &aSets)
{
    std::string text = "set,items,item_bytes,case,title,runs_ok,median_s,items_per_s,mb_per_s,"
                       "ratio,peak_mb,limit_mb\n";
    for (const SetRuns &set : aSets) {
        if (!set.skipped.empty())
            continue;
        for (int c = 0; c < CASE_COUNT; c++) {
            CaseSummary sum = SummariseCase(set, c);
            text += Format("%s,%d,%lld,%s,", set.name.c_str(), set.nItems, set.llItemSize,
                           CaseKey(c)) + CsvQuoted(CaseTitle(c)) +
                    Format(",%d,%.6f,%.3f,%.3f,%.4f,%.2f,%.2f\n", sum.nOk, sum.dSeconds,
                           sum.dItemsPerSec, sum.dMbPerSec, sum.dRatio, sum.dPeakMb,
                           MemoryLimitMb(set));
        }
    }
    return text;
}

std::string FormatRunsCsv(const std::vector<SetRuns> &aSets)
{
    std::string text = "set,case,rep,ok,seconds,peak_mb,base_mb,note\n";
    for (const SetRuns &set : aSets)
        for (int c = 0; c < CASE_COUNT; c++)
            for (const CaseRun &run : set.aRuns[c])
                text += Format("%s,%s,%d,%d,%.6f,%.2f,%.2f,", set.name.c_str(), CaseKey(c),
                               run.nRep, run.fOk ? 1 : 0, run.dSeconds, run.dPeakMb,
                               run.dBaseMb) + CsvQuoted(run.note) + "\n";
    return text;
}

/* ---- Item bytes ---------------------------------------------------------- */

/* splitmix64 of the word index: every 8-byte word of a stream stands alone. */
static uint64_t PatternWord(uint64_t ullSeed, uint64_t ullWord)
{
    uint64_t z = ullSeed + (ullWord + 1) * 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

uint64_t ItemSeed(const char *pszSet, int nItem)
{
    uint64_t h = 14695981039346656037ULL;   /* FNV-1a of the set's name */
    for (const char *p = pszSet; *p; p++)
        h = (h ^ (unsigned char)*p) * 1099511628211ULL;
    return PatternWord(h, (uint64_t)nItem);
}

void FillPattern(uint64_t ullSeed, uint64_t ullOffset, unsigned char *pb, size_t cb)
{
    uint64_t ullWord = ullOffset / 8;
    unsigned nSkip = (unsigned)(ullOffset % 8);
    while (cb > 0) {
        uint64_t w = PatternWord(ullSeed, ullWord++);
        for (unsigned k = nSkip; k < 8 && cb > 0; k++, cb--)
            *pb++ = (unsigned char)(w >> (8 * k));
        nSkip = 0;
    }
}

std::string ItemFileName(int nItem)
{
    return Format("file%d.bin", nItem);
}
