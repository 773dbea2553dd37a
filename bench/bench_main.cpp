/* bench_main.cpp - the benchmark's driver: makes each item set's files and
 * package, runs every case several times in alternating order, each run in a
 * child process of its own, checks every output, and writes the report.
 *   quarnel_bench [--out DIR] [--sets 4k,1m,256m,big] [--reps 4k=7,1m=5,256m=3,big=1] [--keep]
 *   quarnel_bench --make-set SET DIR   (only the set's source files, for the peer's build)
 * The manifest modules bench_<set>.dll, the packages and the peer's
 * installers nsis_<set>.exe (made by scripts/bench.sh) lie beside it. */
#include "bench.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Item sizes belong to the benchmark; item counts and package names to the
   manifest modules (entries 999 and 98), which the build generates. */
struct SetPlan {
    const char *pszName;
    long long llItemSize;
    int nReps;
};

static const SetPlan aPlans[] = {
    {"4k", 4096, 7},
    {"1m", 1048576, 5},
    {"256m", 256LL * 1048576, 3},
    /* The largest item: near 2 GB, more than a 32-bit process without a
       large address space can hold in one block. */
    {"big", 1900LL * 1048576, 1},
};

/* Sets with items this small also get the step-by-step breakdown. */
static const long long BREAKDOWN_MAX_ITEM = 1048576;
static const int nPlans = sizeof(aPlans) / sizeof(aPlans[0]);

struct Options {
    std::string out;
    std::vector<int> aSets;             /* indexes into aPlans */
    int aReps[nPlans];
    bool fKeep = false;
};

/* ---- Command line -------------------------------------------------------- */

static int FindPlan(const std::string &name)
{
    for (int i = 0; i < nPlans; i++)
        if (name == aPlans[i].pszName)
            return i;
    return -1;
}

static std::vector<std::string> SplitList(const char *pszList)
{
    std::vector<std::string> aParts;
    std::string part;
    for (const char *p = pszList;; p++) {
        if (*p == ',' || *p == '\0') {
            if (!part.empty())
                aParts.push_back(part);
            part.clear();
            if (*p == '\0')
                break;
        } else {
            part += *p;
        }
    }
    return aParts;
}

static bool ParseSets(const char *pszList, Options *pOpt)
{
    pOpt->aSets.clear();
    for (const std::string &name : SplitList(pszList)) {
        int nPlan = FindPlan(name);
        if (nPlan < 0)
            return false;
        pOpt->aSets.push_back(nPlan);
    }
    return !pOpt->aSets.empty();
}

static bool ParseReps(const char *pszList, Options *pOpt)
{
    for (const std::string &pair : SplitList(pszList)) {
        size_t nEq = pair.find('=');
        int nPlan = nEq == std::string::npos ? -1 : FindPlan(pair.substr(0, nEq));
        int nReps = nPlan < 0 ? 0 : atoi(pair.c_str() + nEq + 1);
        if (nReps < 1)
            return false;
        pOpt->aReps[nPlan] = nReps;
    }
    return true;
}

static bool ParseOptions(int argc, char **argv, Options *pOpt)
{
    pOpt->out = ExeFolder();
    for (int i = 0; i < nPlans; i++) {
        pOpt->aSets.push_back(i);
        pOpt->aReps[i] = aPlans[i].nReps;
    }
    for (int i = 1; i < argc; i++) {
        bool fHasValue = i + 1 < argc;
        if (strcmp(argv[i], "--keep") == 0)
            pOpt->fKeep = true;
        else if (strcmp(argv[i], "--out") == 0 && fHasValue)
            pOpt->out = std::string(argv[++i]) + "\\";
        else if (strcmp(argv[i], "--sets") == 0 && fHasValue) {
            if (!ParseSets(argv[++i], pOpt))
                return false;
        } else if (strcmp(argv[i], "--reps") == 0 && fHasValue) {
            if (!ParseReps(argv[++i], pOpt))
                return false;
        } else
            return false;
    }
    return true;
}

/* ---- One run ------------------------------------------------------------- */

struct SetWork {
    SetRuns *pSet;
    std::string package;                /* entry 98 */
    std::string data;                   /* the set's folder, no final "\" */
    DWORD dwTimeoutMs;
};

static void ClearOutputs(const SetWork &work)
{
    RemoveFolder(work.data + "\\dest");
    RemoveFolder(work.data + "\\out");
    MakeFolder(work.data + "\\out");
}

static std::string VerifyOutput(int nCase, const SetWork &work)
{
    if (CaseIsInstall(nCase))
        return VerifyFolder(work.data + "\\dest\\", *work.pSet);
    if (nCase == CASE_BUILD)
        return VerifyPackage(work.data + "\\out\\" + work.package, *work.pSet, true);
    return VerifyPackage(work.data + "\\out\\concat.bin", *work.pSet, false);
}

static CaseRun RunAndCheck(int nCase, const SetWork &work)
{
    ClearOutputs(work);
    CaseRun run = RunCaseChild(ProgramPath(), nCase, work.pSet->name, work.data,
                               work.dwTimeoutMs);
    if (run.fOk) {
        run.note = VerifyOutput(nCase, work);
        run.fOk = run.note.empty();
    }
    ClearOutputs(work);
    return run;
}

/* ---- One item set -------------------------------------------------------- */

/* The sources, the package and one output at a time. */
static long long DiskNeeded(const SetRuns &set)
{
    return 3 * set.nItems * set.llItemSize + 64LL * 1048576;
}

/* The installs read the package beside this program: the builder makes it
   once before the runs, it is checked, and then moved there. */
static std::string PlacePackage(const SetWork &work)
{
    ClearOutputs(work);
    CaseRun run = RunCaseChild(ProgramPath(), CASE_BUILD, work.pSet->name, work.data,
                               work.dwTimeoutMs);
    std::string built = work.data + "\\out\\" + work.package;
    std::string problem = run.fOk ? VerifyPackage(built, *work.pSet, true) : run.note;
    if (problem.empty() && !MoveFileExA(built.c_str(), (ExeFolder() + work.package).c_str(),
                                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        problem = "it could not be moved beside the program";
    return problem.empty() ? "" : "package not built (" + problem + ")";
}

static void PrintRun(const SetRuns &set, int nRep, int nReps, int nCase, const CaseRun &run)
{
    printf("  %-5s %d/%d  %-28s ", set.name.c_str(), nRep + 1, nReps, CaseTitle(nCase));
    if (run.fOk)
        printf("%8.3f s  peak +%.1f MB\n", run.dSeconds, run.dPeakMb);
    else
        printf("FAILED: %s\n", run.note.c_str());
    fflush(stdout);
}

/* Every repetition runs all the cases, forwards and backwards in turn, so
   that drift in the machine's state (page cache, writeback, other load)
   falls on every case alike. */
static void RunRounds(const SetWork &work, int nReps)
{
    SetRuns &set = *work.pSet;
    for (int r = 0; r < nReps; r++)
        for (int k = 0; k < CASE_COUNT; k++) {
            int nCase = r % 2 == 0 ? k : CASE_COUNT - 1 - k;
            if (!set.aCaseSkipped[nCase].empty())
                continue;
            CaseRun run = RunAndCheck(nCase, work);
            run.nRep = r;
            PrintRun(set, r, nReps, nCase, run);
            set.aRuns[nCase].push_back(run);
        }
}

/* The peer runs only where scripts/bench.sh could make its installers. */
static void NoteMissingPeer(SetRuns *pSet)
{
    for (int c = 0; c < CASE_COUNT; c++) {
        if (!CaseIsPeer(c))
            continue;
        std::string missing;
        for (const std::string &exe : {NsisInstaller(pSet->name), NsisInstaller("empty")})
            if (GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES && missing.empty())
                missing = exe.substr(exe.rfind('\\') + 1);
        if (!missing.empty())
            pSet->aCaseSkipped[c] = "no " + missing + " beside the program";
    }
}

/* The set's name, item size and (from its manifest module) item count and
   package name; false when the module is missing or lists no items. */
static bool PlanSet(int nPlan, SetRuns *pSet, std::string *pPackage)
{
    const SetPlan &plan = aPlans[nPlan];
    pSet->name = plan.pszName;
    pSet->llItemSize = plan.llItemSize;
    if (!LoadSetManifest(plan.pszName, &pSet->nItems, pPackage) || pSet->nItems <= 0) {
        pSet->skipped = "its manifest module " + ModuleFile(pSet->name) + " is missing or empty";
        return false;
    }
    return true;
}

static void MeasureSet(const Options &opt, int nPlan, SetRuns *pSet)
{
    SetWork work;
    work.pSet = pSet;
    work.data = opt.out + "data\\" + aPlans[nPlan].pszName;
    if (!PlanSet(nPlan, pSet, &work.package))
        return;
    NoteMissingPeer(pSet);
    double dMbNeeded = (double)DiskNeeded(*pSet) / MB;
    double dMbFree = (double)FreeDiskBytes(opt.out) / MB;
    printf("%s: %s, needs %.0f MB of disk, %.0f MB free\n", pSet->name.c_str(),
           SetLabel(*pSet).c_str(), dMbNeeded, dMbFree);
    if (dMbFree < dMbNeeded) {
        char szWhy[128];
        snprintf(szWhy, sizeof(szWhy), "not enough free disk space (needs %.0f MB, %.0f MB free)",
                 dMbNeeded, dMbFree);
        pSet->skipped = szWhy;
        printf("  %s\n", szWhy);
        return;
    }
    /* Generous: a run that takes ten times a slow disk's time has hung. */
    work.dwTimeoutMs = (DWORD)(120000 + dMbNeeded * 100);
    pSet->skipped = MakeSetFiles(work.data, *work.pSet, work.package);
    if (pSet->skipped.empty()) {
        /* Without a package the installs fail run by run, but the build and
           the yardsticks are still worth measuring. */
        std::string problem = PlacePackage(work);
        if (!problem.empty())
            printf("  %s\n", problem.c_str());
        /* Without it only the sealed install fails, run by run. */
        std::string sealProblem = MakeSealedModule(ExeFolder(), *pSet);
        if (!sealProblem.empty())
            printf("  %s\n", sealProblem.c_str());
        RunRounds(work, opt.aReps[nPlan]);
        if (pSet->llItemSize <= BREAKDOWN_MAX_ITEM) {
            ClearOutputs(work);
            pSet->aSteps = RunBreakdownChild(ProgramPath(), pSet->name, work.data, work.dwTimeoutMs);
            std::string problem = VerifyFolder(work.data + "\\dest\\", *pSet);
            if (!pSet->aSteps.empty() && !problem.empty()) {
                printf("  breakdown output wrong: %s\n", problem.c_str());
                pSet->aSteps.clear();
            }
            ClearOutputs(work);
        }
    } else {
        printf("  %s\n", pSet->skipped.c_str());
    }
    if (!opt.fKeep) {
        RemoveFolder(work.data);
        DeleteFileA((ExeFolder() + work.package).c_str());
        DeleteFileA((ExeFolder() + ModuleFile(SealedModuleName(pSet->name))).c_str());
    }
}

/* ---- Report -------------------------------------------------------------- */

static void WriteReport(const Options &opt, const std::vector<SetRuns> &aSets)
{
    std::string table = FormatTable(aSets);
    std::string goals = FormatGoals(aSets);
    std::string steps = FormatBreakdown(aSets);
    if (!steps.empty())
        goals += "\n" + steps;
    printf("\n%s\n%s", table.c_str(), goals.c_str());
    bool fSaved = WriteTextFile(opt.out + "table.md", table + "\n" + goals) &&
                  WriteTextFile(opt.out + "summary.csv", FormatSummaryCsv(aSets)) &&
                  WriteTextFile(opt.out + "runs.csv", FormatRunsCsv(aSets));
    printf("\n%s %stable.md, summary.csv, runs.csv\n", fSaved ? "Saved" : "Could not save all of",
           opt.out.c_str());
}

/* The set's source files alone, for a peer's installer to be made of. */
static int MakeSetOnly(const char *pszSet, const char *pszDir)
{
    SetRuns set;
    std::string package;
    int nPlan = FindPlan(pszSet);
    std::string problem = "unknown set";
    if (nPlan >= 0)
        problem = PlanSet(nPlan, &set, &package) ? MakeSetFiles(pszDir, set, package) : set.skipped;
    if (!problem.empty())
        fprintf(stderr, "%s: %s\n", pszSet, problem.c_str());
    return problem.empty() ? 0 : 1;
}

int main(int argc, char **argv)
{
    if (argc == 6 && strcmp(argv[1], "--child") == 0)
        return RunChild(argv[2], argv[3], argv[4], argv[5]);
    if (argc == 5 && strcmp(argv[1], "--breakdown") == 0)
        return RunBreakdown(argv[2], argv[3], argv[4]);
    if (argc == 4 && strcmp(argv[1], "--make-set") == 0)
        return MakeSetOnly(argv[2], argv[3]);
    Options opt;
    if (!ParseOptions(argc, argv, &opt)) {
        fprintf(stderr, "usage: quarnel_bench [--out DIR] [--sets 4k,1m,256m,big] "
                        "[--reps 4k=7,1m=5,256m=3,big=1] [--keep]\n");
        return 2;
    }
    if (!MakeFolder(opt.out) || !MakeFolder(opt.out + "data")) {
        fprintf(stderr, "cannot use the output folder %s\n", opt.out.c_str());
        return 1;
    }
    DWORD dwStart = GetTickCount();
    std::vector<SetRuns> aSets(opt.aSets.size());
    for (size_t i = 0; i < opt.aSets.size(); i++)
        MeasureSet(opt, opt.aSets[i], &aSets[i]);
    if (!opt.fKeep)
        RemoveDirectoryA((opt.out + "data").c_str());
    printf("\nAll runs took %.0f s.\n", (GetTickCount() - dwStart) / 1000.0);
    WriteReport(opt, aSets);
    return 0;
}
