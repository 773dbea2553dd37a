/* bench.h - the install and build benchmark: the six cases measured for
 * every item set (three installs and the CopyFileA loop they are held against,
 * the build and the plain concatenation it is held against), the item data
 * they run on, and the report they end in.  bench_report.cpp needs no
 * platform; the other modules talk to Win32. */
#ifndef QUARNEL_BENCH_H
#define QUARNEL_BENCH_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

/* ---- Cases --------------------------------------------------------------- */

/* The two "block" cases are diagnostics between a program case and its
   yardstick: the yardstick's work, but every item passes through a fresh
   zero-initialised movable block as the program's records do.  They tell
   the cost of that allocation apart from the program's own overhead. */
enum BenchCase {
    CASE_INSTALL_SHOWN,     /* ResToFiles, progress dialog on */
    CASE_INSTALL_SEALED,    /* the same, checking every record against the package checksums */
    CASE_INSTALL_QUIET,     /* ResToFiles, progress dialog off */
    CASE_EXTRACT_BLOCKS,    /* package records to files, no manifest (diagnostic) */
    CASE_NSIS_SILENT,       /* the peer: an NSIS store-mode installer run with /S */
    CASE_NSIS_SHOWN,        /* the same installer with its progress window */
    CASE_COPY,              /* CopyFileA loop over the source files */
    CASE_BUILD,             /* PackFiles */
    CASE_CONCAT_BLOCKS,     /* concatenation, a fresh block per file (diagnostic) */
    CASE_CONCAT,            /* plain concatenation with the builder's I/O calls */
    CASE_COUNT
};

const char *CaseKey(int nCase);         /* name on the child's command line */
const char *CaseTitle(int nCase);       /* label in the report */
int CaseYardstick(int nCase);           /* the plain case it is compared with */
int CaseIsProgram(int nCase);           /* 1 when it runs the installer's own code */
int CaseIsInstall(int nCase);           /* 1 when it writes the items into dest\ */
int CaseIsPeer(int nCase);              /* 1 when it runs another installer */
int FindCase(const char *pszKey);       /* -1 when unknown */

/* One case run in one child process. */
struct CaseRun {
    int nRep = 0;
    bool fOk = false;
    double dSeconds = 0;
    double dPeakMb = 0;     /* peak working set minus the working set before the case */
    double dBaseMb = 0;     /* the working set before the case */
    std::string note;       /* why the run failed */
};

/* One step of an item's install and its time per item, from a child that
   runs the install's steps one by one with the clock around each. */
struct BreakdownStep {
    std::string name;
    double dMicros = 0;
};

/* Every run of one item set. */
struct SetRuns {
    std::string name;       /* "4k", "1m", "256m" */
    int nItems = 0;
    long long llItemSize = 0;
    std::vector<CaseRun> aRuns[CASE_COUNT];
    std::string skipped;    /* why the set was not measured, empty when it was */
    std::string aCaseSkipped[CASE_COUNT];  /* why one case was not run, empty when it was */
    std::vector<BreakdownStep> aSteps;     /* one item's time, step by step */
};

struct CaseSummary {
    int nOk = 0;
    int nRuns = 0;
    double dSeconds = 0;    /* median over the runs that succeeded */
    double dItemsPerSec = 0;
    double dMbPerSec = 0;
    double dRatio = 0;      /* throughput over the yardstick's; 0 when unknown */
    double dPeakMb = 0;     /* highest of the runs */
};

/* ---- Report (platform-free) ---------------------------------------------- */

const double MB = 1048576.0;

double Median(std::vector<double> aValues);         /* 0 for none */
CaseSummary SummariseCase(const SetRuns &set, int nCase);
double MemoryLimitMb(const SetRuns &set);           /* largest item + 8 MB */
double CaseRatio(const SetRuns &set, int nCase, int nAgainst);  /* 0 when unknown */
std::string SetLabel(const SetRuns &set);           /* "400 x 4 KB" */
std::string FormatTable(const std::vector<SetRuns> &aSets);
std::string FormatGoals(const std::vector<SetRuns> &aSets);
std::string FormatSummaryCsv(const std::vector<SetRuns> &aSets);
std::string FormatRunsCsv(const std::vector<SetRuns> &aSets);
std::string FormatBreakdown(const std::vector<SetRuns> &aSets);    /* "" when none */
/* "name micros" lines as the breakdown child writes them. */
std::vector<BreakdownStep> ParseBreakdown(const std::string &text);

/* ---- Item bytes (platform-free) ------------------------------------------ */

/* Item bytes are a counter-based pseudo-random stream, so any stretch of
   any item can be made again for checking without reading the source. */
uint64_t ItemSeed(const char *pszSet, int nItem);
void FillPattern(uint64_t ullSeed, uint64_t ullOffset, unsigned char *pb, size_t cb);
std::string ItemFileName(int nItem);                /* "file<i>.bin" */

/* ---- Files (Win32) ------------------------------------------------------- */

std::string ProgramPath();                          /* the running program */
std::string ExeFolder();                            /* its folder, ends in "\" */
bool MakeFolder(const std::string &path);
void RemoveFolder(const std::string &path);
bool WriteTextFile(const std::string &path, const std::string &text);
bool WriteItemFile(const std::string &path, uint64_t ullSeed, long long llSize);
unsigned long long FreeDiskBytes(const std::string &path);

/* Makes a set's folder afresh: src\file<i>.bin and the package script
   pkg.qps, which builds out\<package> from them.  "" or what failed. */
std::string MakeSetFiles(const std::string &data, const SetRuns &set, const std::string &package);

/* Manifest modules: ModuleFile("4k") is "bench_4k.dll".  The set's module
   as a sealed product carries it is module SealedModuleName(set), made in
   folder by MakeSealedModule: bench_<set>.dll with the package checksums
   added, worked out from the item bytes (the package the builder makes of
   them is the one they fit).  "" or what failed. */
std::string ModuleFile(const std::string &module);
std::string SealedModuleName(const std::string &setName);
std::string MakeSealedModule(const std::string &folder, const SetRuns &set);

/* Output checks: "" when right, else what is wrong.  Items up to 1 MB are
   compared whole, larger ones at their start, middle and end. */
std::string VerifyFolder(const std::string &folder, const SetRuns &set);
std::string VerifyPackage(const std::string &path, const SetRuns &set, bool fRecords);

/* ---- Child process (Win32) ----------------------------------------------- */

/* Starts exe as the child that runs one case on the set's folder data (no
   final "\") and waits for it; a child that outlives dwTimeoutMs is ended
   and the run has failed. */
CaseRun RunCaseChild(const std::string &exe, int nCase, const std::string &setName,
                     const std::string &data, unsigned long dwTimeoutMs);

/* Runs one case: quarnel_bench --child CASE SET DATADIR RESULTFILE.
   Writes "ok|fail seconds peak-MB base-MB note" to RESULTFILE. */
int RunChild(const char *pszCase, const char *pszSet, const char *pszData,
             const char *pszResult);

/* Installs the set with the installer's steps one at a time, the progress
   dialog open, and writes "name micros-per-item" lines to RESULTFILE:
   quarnel_bench --breakdown SET DATADIR RESULTFILE. */
int RunBreakdown(const char *pszSet, const char *pszData, const char *pszResult);
std::vector<BreakdownStep> RunBreakdownChild(const std::string &exe, const std::string &setName,
                                             const std::string &data, unsigned long dwTimeoutMs);

/* The peer's installers beside the program: NsisInstaller("4k") for a set,
   NsisInstaller("empty") with no files, whose time is taken off. */
std::string NsisInstaller(const std::string &setName);

/* Reads the manifest module bench_<pszSet>.dll: its item count (entry 999)
   and its package name (entry 98).  NULL when the module cannot be loaded. */
void *LoadSetManifest(const char *pszSet, int *pnItems, std::string *pPackage);

#endif
