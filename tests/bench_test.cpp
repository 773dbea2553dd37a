/* bench_test.cpp - the benchmark's own checks: its statistics and goal
 * verdicts, its output checks (a fast but wrong run must never count), the
 * generated manifest modules, and whole child runs of quarnel_bench. */
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "bench.h"
#include "resource.h"
#include "testsupport.h"

namespace {

CaseRun MakeRun(bool fOk, double dSeconds, double dPeakMb, const char *pszNote = "")
{
    CaseRun run;
    run.fOk = fOk;
    run.dSeconds = dSeconds;
    run.dPeakMb = dPeakMb;
    run.note = pszNote;
    return run;
}

SetRuns MakeSet(const char *pszName, int nItems, long long llItemSize)
{
    SetRuns set;
    set.name = pszName;
    set.nItems = nItems;
    set.llItemSize = llItemSize;
    return set;
}

std::string BenchDir() { return ExeDir() + "..\\bench\\"; }

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

/* ---- Statistics and verdicts --------------------------------------------- */

TEST(BenchReport, MedianOfOddEvenSingleAndNone)
{
    struct { std::vector<double> a; double dWant; } aCases[] = {
        {{3, 1, 2}, 2}, {{4, 1, 3, 2}, 2.5}, {{5}, 5}, {{}, 0}, {{9, 1, 1}, 1},
    };
    for (const auto &c : aCases)
        EXPECT_DOUBLE_EQ(c.dWant, Median(c.a));
}

TEST(BenchReport, SummaryUsesOnlySuccessfulRunsAndMediansForTheRatio)
{
    SetRuns set = MakeSet("4k", 400, 4096);
    set.aRuns[CASE_COPY] = {MakeRun(true, 1.0, 5), MakeRun(true, 3.0, 5), MakeRun(true, 2.0, 5),
                            MakeRun(false, 0.001, 0, "boom")};
    set.aRuns[CASE_INSTALL_SHOWN] = {MakeRun(true, 4.0, 1.5), MakeRun(true, 4.0, 2.5),
                                     MakeRun(false, 0.5, 99, "box")};
    CaseSummary sum = SummariseCase(set, CASE_INSTALL_SHOWN);
    EXPECT_EQ(2, sum.nOk);
    EXPECT_EQ(3, sum.nRuns);
    EXPECT_DOUBLE_EQ(4.0, sum.dSeconds);
    EXPECT_DOUBLE_EQ(100.0, sum.dItemsPerSec);          /* 400 items in 4 s */
    EXPECT_DOUBLE_EQ(0.390625, sum.dMbPerSec);          /* 1.5625 MB in 4 s */
    EXPECT_DOUBLE_EQ(0.5, sum.dRatio);                  /* copy's median 2 s over 4 s */
    EXPECT_DOUBLE_EQ(2.5, sum.dPeakMb);                 /* highest successful run */
    EXPECT_DOUBLE_EQ(1.0, SummariseCase(set, CASE_COPY).dRatio);
}

TEST(BenchReport, CaseWithoutSuccessOrYardstickHasNoRatio)
{
    SetRuns set = MakeSet("1m", 200, 1048576);
    set.aRuns[CASE_BUILD] = {MakeRun(true, 2.0, 3)};
    set.aRuns[CASE_CONCAT] = {MakeRun(false, 1.0, 3, "x")};
    set.aRuns[CASE_INSTALL_QUIET] = {MakeRun(false, 1.0, 3, "ResToFiles reported failure")};
    EXPECT_DOUBLE_EQ(0, SummariseCase(set, CASE_BUILD).dRatio);
    EXPECT_EQ(0, SummariseCase(set, CASE_INSTALL_QUIET).nOk);
    std::string table = FormatTable({set});
    EXPECT_TRUE(Contains(table, "| 200 x 1 MB | install, progress off | 0/1 | failed: "
                                "ResToFiles reported failure |"))
        << table;
    EXPECT_TRUE(Contains(table, "| 200 x 1 MB | build (PackFiles) | 1/1 | 2.000 | 100 | 100 | - | 3.0 |"))
        << table;
}

TEST(BenchReport, LabelsAndMemoryLimit)
{
    EXPECT_EQ("400 x 4 KB", SetLabel(MakeSet("4k", 400, 4096)));
    EXPECT_EQ("200 x 1 MB", SetLabel(MakeSet("1m", 200, 1048576)));
    EXPECT_EQ("4 x 256 MB", SetLabel(MakeSet("256m", 4, 268435456)));
    EXPECT_EQ("3 x 1000 bytes", SetLabel(MakeSet("odd", 3, 1000)));
    EXPECT_DOUBLE_EQ(264.0, MemoryLimitMb(MakeSet("256m", 4, 268435456)));
    EXPECT_DOUBLE_EQ(9.0, MemoryLimitMb(MakeSet("1m", 200, 1048576)));
}

TEST(BenchReport, GoalsAtAndJustBelowTheirThresholds)
{
    SetRuns small = MakeSet("4k", 400, 4096);
    small.aRuns[CASE_COPY] = {MakeRun(true, 1.0, 1)};
    small.aRuns[CASE_INSTALL_SHOWN] = {MakeRun(true, 1.0, 8.0)};     /* 1.00: met */
    small.aRuns[CASE_NSIS_SILENT] = {MakeRun(true, 1.0, 1)};         /* a tie is not faster */
    small.aRuns[CASE_CONCAT] = {MakeRun(true, 0.89, 1)};
    small.aRuns[CASE_BUILD] = {MakeRun(true, 1.0, 9.0)};             /* 0.89: missed */
    SetRuns large = MakeSet("256m", 4, 268435456);
    large.aRuns[CASE_COPY] = {MakeRun(true, 0.9, 1)};
    large.aRuns[CASE_INSTALL_SHOWN] = {MakeRun(true, 1.0, 264.0)};   /* 0.90, 264 MB: met */
    large.aRuns[CASE_INSTALL_QUIET] = {MakeRun(true, 1.0, 264.5)};   /* over the limit */
    SetRuns middle = MakeSet("1m", 200, 1048576);
    middle.aRuns[CASE_EXTRACT_BLOCKS] = {MakeRun(true, 0.9, 1)};
    middle.aRuns[CASE_INSTALL_SHOWN] = {MakeRun(true, 1.0, 2)};      /* 0.90 of the blocks: met */
    middle.aRuns[CASE_NSIS_SILENT] = {MakeRun(true, 1.01, 1)};       /* faster than the peer */
    std::string goals = FormatGoals({small, large, middle});
    const char *apszWant[] = {
        "| install, progress on, 4 x 256 MB / CopyFileA loop | 0.90 | >= 0.90 | met |",
        "| install, progress on, 400 x 4 KB / CopyFileA loop | 1.00 | >= 1.00 | met |",
        "| install, progress on, 400 x 4 KB / NSIS, silent | 1.00 | > 1.00 | MISSED |",
        "| install, progress on, 200 x 1 MB / records to files via blocks | 0.90 | >= 0.90 | met |",
        "| install, progress on, 200 x 1 MB / NSIS, silent | 1.01 | > 1.00 | met |",
        "| build (PackFiles), 400 x 4 KB / plain concatenation | 0.89 | >= 0.90 | MISSED |",
        "| build (PackFiles), 4 x 256 MB / plain concatenation | 0.00 | >= 0.90 | not measured |",
        "| peak memory, install, progress on, 4 x 256 MB | 264.0 MB | <= 264.0 MB | met |",
        "| peak memory, install, progress off, 4 x 256 MB | 264.5 MB | <= 264.0 MB | MISSED |",
        "| peak memory, build (PackFiles), 400 x 4 KB | 9.0 MB | <= 8.0 MB | MISSED |",
    };
    for (const char *pszWant : apszWant)
        EXPECT_TRUE(Contains(goals, pszWant)) << pszWant << "\n" << goals;
    EXPECT_FALSE(Contains(goals, "install, progress on, 400 x 4 KB / CopyFileA loop | 0.50 | >= 0.90"));
    EXPECT_FALSE(Contains(goals, "peak memory, NSIS")) << "the peer is no program of ours";
    EXPECT_FALSE(Contains(goals, "4 x 256 MB / NSIS")) << "the peer's goals are for the small sets";
}

TEST(BenchReport, CaseLeftOutSaysWhyAndCountsForNoGoal)
{
    SetRuns set = MakeSet("4k", 400, 4096);
    set.aRuns[CASE_COPY] = {MakeRun(true, 1.0, 1)};
    set.aRuns[CASE_INSTALL_SHOWN] = {MakeRun(true, 0.5, 1)};
    set.aCaseSkipped[CASE_NSIS_SHOWN] = "no nsis_4k.exe beside the program";
    std::string table = FormatTable({set});
    EXPECT_TRUE(Contains(table, "| 400 x 4 KB | NSIS, progress window | not measured: no nsis_4k.exe "
                                "beside the program |"))
        << table;
    EXPECT_DOUBLE_EQ(2.0, CaseRatio(set, CASE_INSTALL_SHOWN, CASE_COPY));
    EXPECT_DOUBLE_EQ(0.0, CaseRatio(set, CASE_INSTALL_SHOWN, CASE_NSIS_SHOWN));
}

TEST(BenchReport, BreakdownReadBackAndTabledPerSet)
{
    std::vector<BreakdownStep> aSteps =
        ParseBreakdown("create 568.20\nof which bar (PaintBar) 43.10\nnot a number x\n\nclose 0.5");
    ASSERT_EQ(3u, aSteps.size());
    EXPECT_EQ("of which bar (PaintBar)", aSteps[1].name);
    EXPECT_DOUBLE_EQ(43.1, aSteps[1].dMicros);
    EXPECT_DOUBLE_EQ(0.5, aSteps[2].dMicros);
    SetRuns small = MakeSet("4k", 400, 4096), middle = MakeSet("1m", 200, 1048576);
    EXPECT_EQ("", FormatBreakdown({small, middle}));
    small.aSteps = aSteps;
    middle.aSteps = ParseBreakdown("close 7.25\ncreate 600\n");
    std::string table = FormatBreakdown({small, middle});
    EXPECT_TRUE(Contains(table, "| step, µs per item | 400 x 4 KB | 200 x 1 MB |\n")) << table;
    EXPECT_TRUE(Contains(table, "| create | 568.2 | 600.0 |\n")) << table;
    EXPECT_TRUE(Contains(table, "| of which bar (PaintBar) | 43.1 | - |\n")) << table;
    EXPECT_TRUE(Contains(table, "| close | 0.5 | 7.2 |\n")) << table;
}

TEST(BenchReport, CsvQuotesTitlesAndNotes)
{
    SetRuns set = MakeSet("4k", 400, 4096);
    set.aRuns[CASE_COPY] = {MakeRun(false, 1.5, 2, "message box \"Installer\": a, b")};
    set.aRuns[CASE_INSTALL_SHOWN] = {MakeRun(true, 2.5, 3)};
    std::string runs = FormatRunsCsv({set});
    EXPECT_TRUE(Contains(runs, "4k,copy,0,0,1.500000,2.00,0.00,\"message box \"\"Installer\"\": a, b\"\n"))
        << runs;
    std::string summary = FormatSummaryCsv({set});
    EXPECT_TRUE(Contains(summary, "4k,400,4096,install-shown,\"install, progress on\",1,2.500000,"
                                  "160.000,0.625,0.0000,3.00,8.00\n"))
        << summary;
}

/* ---- Item bytes and output checks ----------------------------------------- */

TEST(BenchData, PatternIsTheSameFromAnyOffsetAndDiffersPerItem)
{
    uint64_t ullSeed = ItemSeed("4k", 7);
    unsigned char abWhole[100], abPart[50];
    FillPattern(ullSeed, 0, abWhole, sizeof(abWhole));
    FillPattern(ullSeed, 37, abPart, sizeof(abPart));
    EXPECT_EQ(0, memcmp(abWhole + 37, abPart, sizeof(abPart)));
    EXPECT_NE(ItemSeed("4k", 7), ItemSeed("4k", 8));
    EXPECT_NE(ItemSeed("4k", 7), ItemSeed("1m", 7));
    unsigned char abOther[100];
    FillPattern(ItemSeed("4k", 8), 0, abOther, sizeof(abOther));
    EXPECT_NE(0, memcmp(abWhole, abOther, sizeof(abWhole)));
}

TEST(BenchData, FolderCheckFindsMissingShortAndChangedItems)
{
    SetRuns set = MakeSet("v", 2, 3 * 1048576);
    std::string dir = ScratchDir("bench_folder");
    for (int i = 0; i < set.nItems; i++)
        ASSERT_TRUE(WriteItemFile(dir + ItemFileName(i), ItemSeed("v", i), set.llItemSize));
    EXPECT_EQ("", VerifyFolder(dir, set));

    std::string bytes = ReadBytes(dir + "file1.bin");
    std::string changed = bytes;
    changed[changed.size() / 2] ^= 1;                    /* inside the middle megabyte */
    ASSERT_TRUE(WriteBytes(dir + "file1.bin", changed));
    EXPECT_EQ("file1.bin has the wrong bytes", VerifyFolder(dir, set));
    ASSERT_TRUE(WriteBytes(dir + "file1.bin", bytes.substr(0, bytes.size() - 1)));
    EXPECT_EQ("file1.bin has the wrong size", VerifyFolder(dir, set));
    DeleteFileA((dir + "file0.bin").c_str());
    EXPECT_EQ("file0.bin missing", VerifyFolder(dir, set));
}

TEST(BenchData, PackageCheckReadsLengthsAndOrder)
{
    SetRuns set = MakeSet("p", 2, 4096);
    std::string dir = ScratchDir("bench_package");
    std::string item[2];
    for (int i = 0; i < 2; i++) {
        ASSERT_TRUE(WriteItemFile(dir + ItemFileName(i), ItemSeed("p", i), set.llItemSize));
        item[i] = ReadBytes(dir + ItemFileName(i));
    }
    const std::string head("\x00\x10\x00\x00", 4);      /* 4096, little-endian */
    ASSERT_TRUE(WriteBytes(dir + "good.pkg", head + item[0] + head + item[1]));
    EXPECT_EQ("", VerifyPackage(dir + "good.pkg", set, true));
    ASSERT_TRUE(WriteBytes(dir + "badlen.pkg", head + item[0] + std::string("\x00\x10\x00\x01", 4) + item[1]));
    EXPECT_EQ("record 1 has the wrong length", VerifyPackage(dir + "badlen.pkg", set, true));
    ASSERT_TRUE(WriteBytes(dir + "plain.bin", item[0] + item[1]));
    EXPECT_EQ("", VerifyPackage(dir + "plain.bin", set, false));
    EXPECT_EQ("output has the wrong size", VerifyPackage(dir + "plain.bin", set, true));
    ASSERT_TRUE(WriteBytes(dir + "swapped.bin", item[1] + item[0]));
    EXPECT_EQ("item 0 has the wrong bytes", VerifyPackage(dir + "swapped.bin", set, false));
}

/* ---- Generated manifests ----------------------------------------------- */

TEST(BenchManifest, ModulesNamePackageCountAndEveryItem)
{
    struct { const char *pszModule; UINT uId; const char *pszWant; } aEntries[] = {
        {"bench_4k.dll", IDS_PACKAGE, "B4K.PKG"},
        {"bench_4k.dll", IDS_ITEM_COUNT, "400"},
        {"bench_4k.dll", IDS_ITEM_DEST, "%Dfile0.bin"},
        {"bench_4k.dll", IDS_ITEM_DEST + 399, "%Dfile399.bin"},
        {"bench_4k.dll", IDS_ITEM_NAME + 7, "file7.bin"},
        {"bench_4k.dll", IDS_ITEM_DATE + 399, "20261207"},
        {"bench_4k.dll", IDS_ITEM_RULE, ""},
        {"bench_1m.dll", IDS_PACKAGE, "B1M.PKG"},
        {"bench_1m.dll", IDS_ITEM_COUNT, "200"},
        {"bench_1m.dll", IDS_ITEM_DEST + 199, "%Dfile199.bin"},
        {"bench_1m.dll", IDS_ITEM_DEST + 200, ""},
        {"bench_256m.dll", IDS_PACKAGE, "B256M.PKG"},
        {"bench_256m.dll", IDS_ITEM_COUNT, "4"},
        {"bench_256m.dll", IDS_ITEM_NAME + 3, "file3.bin"},
        {"bench_big.dll", IDS_PACKAGE, "BBIG.PKG"},
        {"bench_big.dll", IDS_ITEM_COUNT, "1"},
        {"bench_big.dll", IDS_ITEM_DEST, "%Dfile0.bin"},
    };
    for (const auto &e : aEntries) {
        HMODULE hModule = LoadLibraryA((BenchDir() + e.pszModule).c_str());
        ASSERT_TRUE(hModule != NULL) << e.pszModule;
        char szText[64] = "";
        LoadStringA(hModule, e.uId, szText, sizeof(szText));
        EXPECT_STREQ(e.pszWant, szText) << e.pszModule << " entry " << e.uId;
        FreeLibrary(hModule);
    }
}

/* ---- Whole child runs ----------------------------------------------------- */

class BenchChild : public ::testing::Test {
protected:
    void SetUp() override
    {
        set = MakeSet("4k", 400, 4096);
        data = ScratchDir("bench_child");
        data.pop_back();                                  /* the child wants no final "\" */
        ASSERT_EQ("", MakeSetFiles(data, set, "B4K.PKG"));
    }
    CaseRun RunCase(int nCase)
    {
        RemoveFolder(data + "\\dest");
        RemoveFolder(data + "\\out");
        MakeFolder(data + "\\out");
        return RunCaseChild(BenchDir() + "quarnel_bench.exe", nCase, set.name, data, 120000);
    }
    SetRuns set;
    std::string data;
};

TEST_F(BenchChild, PlainCasesProduceWhatTheyAreCheckedAgainst)
{
    CaseRun copy = RunCase(CASE_COPY);
    ASSERT_TRUE(copy.fOk) << copy.note;
    EXPECT_GT(copy.dSeconds, 0);
    EXPECT_EQ("", VerifyFolder(data + "\\dest\\", set));
    for (int nCase : {CASE_CONCAT, CASE_CONCAT_BLOCKS}) {
        CaseRun concat = RunCase(nCase);
        ASSERT_TRUE(concat.fOk) << CaseTitle(nCase) << ": " << concat.note;
        EXPECT_EQ("", VerifyPackage(data + "\\out\\concat.bin", set, false)) << CaseTitle(nCase);
    }
}

TEST_F(BenchChild, MissingSourceFailsTheRun)
{
    DeleteFileA((data + "\\src\\file123.bin").c_str());
    CaseRun copy = RunCase(CASE_COPY);
    EXPECT_FALSE(copy.fOk);
    EXPECT_TRUE(Contains(copy.note, "file123.bin")) << copy.note;
    CaseRun concat = RunCase(CASE_CONCAT);
    EXPECT_FALSE(concat.fOk);
    EXPECT_TRUE(Contains(concat.note, "file123.bin")) << concat.note;
}

TEST_F(BenchChild, BuildThenBothInstallsRoundTrip)
{
    CaseRun build = RunCase(CASE_BUILD);
    ASSERT_TRUE(build.fOk) << build.note;
    ASSERT_EQ("", VerifyPackage(data + "\\out\\B4K.PKG", set, true));
    std::string placed = BenchDir() + "B4K.PKG";
    ASSERT_TRUE(MoveFileExA((data + "\\out\\B4K.PKG").c_str(), placed.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    for (int nCase : {CASE_EXTRACT_BLOCKS, CASE_INSTALL_QUIET, CASE_INSTALL_SHOWN}) {
        CaseRun install = RunCase(nCase);
        EXPECT_TRUE(install.fOk) << CaseTitle(nCase) << ": " << install.note;
        EXPECT_EQ("", VerifyFolder(data + "\\dest\\", set)) << CaseTitle(nCase);
    }
    /* The step-by-step install writes the same items and names its steps. */
    RemoveFolder(data + "\\dest");
    std::vector<BreakdownStep> aSteps =
        RunBreakdownChild(BenchDir() + "quarnel_bench.exe", set.name, data, 120000);
    EXPECT_EQ("", VerifyFolder(data + "\\dest\\", set));
    std::vector<std::string> names;
    for (const BreakdownStep &step : aSteps)
        names.push_back(step.name);
    for (const char *pszStep : {"create", "date stamping", "progress (StatDlgMsg)",
                                "of which queue drain (StatDlgIsOk)", "sum of the steps"})
        EXPECT_NE(std::find(names.begin(), names.end(), pszStep), names.end()) << pszStep;
    DeleteFileA(placed.c_str());
}

TEST_F(BenchChild, InstallWithoutPackageFails)
{
    DeleteFileA((BenchDir() + "B4K.PKG").c_str());
    CaseRun install = RunCase(CASE_INSTALL_QUIET);
    EXPECT_FALSE(install.fOk);
    EXPECT_EQ("ResToFiles reported failure", install.note);
    CaseRun extract = RunCase(CASE_EXTRACT_BLOCKS);
    EXPECT_FALSE(extract.fOk);
    EXPECT_EQ("no package beside the program", extract.note);
}

/* The sealed case must really check: its module carries the checksums of
   the package the builder makes, the install passes with them, and one
   changed byte in the package stops it with a message box. */
TEST_F(BenchChild, SealedInstallChecksTheRecords)
{
    CaseRun build = RunCase(CASE_BUILD);
    ASSERT_TRUE(build.fOk) << build.note;
    std::string placed = BenchDir() + "B4K.PKG";
    ASSERT_TRUE(MoveFileExA((data + "\\out\\B4K.PKG").c_str(), placed.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    ASSERT_EQ("", MakeSealedModule(BenchDir(), set));
    std::string sealed = BenchDir() + "bench_4k_sealed.dll";
    HMODULE hModule = LoadLibraryExA(sealed.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(hModule != NULL);
    HRSRC hRes = FindResourceA(hModule, RES_PACKAGE_SUMS, RT_RCDATA);
    ASSERT_TRUE(hRes != NULL);
    EXPECT_EQ(24u + 4u * 400u, SizeofResource(hModule, hRes));
    const unsigned char *pb = (const unsigned char *)LockResource(LoadResource(hModule, hRes));
    ASSERT_TRUE(pb != NULL);
    /* Version 1, kind 1 (CRC-32), 400 records, 400 x 4100 = 0x190640 bytes. */
    EXPECT_EQ(0, memcmp(pb, "QSUM\1\0\0\0\1\0\0\0\x90\1\0\0\x40\x06\x19\0\0\0\0\0", 24));
    FreeLibrary(hModule);

    CaseRun install = RunCase(CASE_INSTALL_SEALED);
    EXPECT_TRUE(install.fOk) << install.note;
    EXPECT_EQ("", VerifyFolder(data + "\\dest\\", set));

    std::string package = ReadBytes(placed);
    ASSERT_EQ(400u * 4100u, package.size());
    package[123 * 4100 + 4 + 10] ^= 0x20;          /* a byte of item 123 */
    ASSERT_TRUE(WriteBytes(placed, package));
    install = RunCase(CASE_INSTALL_SEALED);
    EXPECT_FALSE(install.fOk);
    EXPECT_TRUE(Contains(install.note, "message box")) << install.note;
    DeleteFileA(placed.c_str());
    DeleteFileA(sealed.c_str());
}
