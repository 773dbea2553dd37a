/* Item extraction under Wine: packages beside the test program, manifests
 * from resource modules, ResToFiles called the way the copy step calls it,
 * and every message box read and answered. */
#include <gtest/gtest.h>

#include <memory>

#include <algorithm>
#include <string>
#include <vector>

#include "filedir.h"
#include "load.h"
#include "logic.h"
#include "quarnel.h"
#include "resource.h"
#include "statbar.h"
#include "testsupport.h"
#include "unload.h"

namespace {

/* Distinct bytes for item i, binary on purpose (zero, ^Z, CR LF, 0xFF). */
std::string Content(int i, size_t cb = 1000)
{
    std::string s = "item " + std::to_string(i) + "\r\n";
    s += std::string("\0\x1a\xff", 3);
    while (s.size() < cb + static_cast<size_t>(i) * 37)
        s += static_cast<char>((s.size() * 7 + i * 13) & 0xFF);
    return s;
}

std::string PackagePath(const char *pszName)
{
    return ExeDir() + pszName;
}

/* Writes the package with the program's own builder from item contents. */
void BuildPackage(const char *pszName, const std::vector<std::string> &items)
{
    std::string dir = ScratchDir(std::string("items_") + pszName);
    std::string script = "Items of a test package\n*###\nPACKAGE# \"" + PackagePath(pszName) + "\"\n";
    for (size_t i = 0; i < items.size(); i++) {
        std::string path = dir + "item" + std::to_string(i);
        ASSERT_TRUE(WriteBytes(path, items[i]));
        script += "ITEM# \"" + path + "\"\n";
    }
    ASSERT_TRUE(WriteBytes(dir + "package.qps", script));
    BoxAnswerer answerer({}, GetCurrentProcessId(), 500);
    int r = PackFiles((dir + "package.qps").c_str());
    std::vector<SeenBox> seen = answerer.Stop();
    ASSERT_EQ(r, 1) << "the builder failed";
    ASSERT_TRUE(seen.empty()) << "the builder showed: " << seen[0].text;
}

/* Writes package bytes as given, for damaged and hand-made packages. */
void WritePackage(const char *pszName, const std::string &bytes)
{
    ASSERT_TRUE(WriteBytes(PackagePath(pszName), bytes));
}

void ExpectPrompt(const SeenBox &box, const std::string &text)
{
    EXPECT_EQ(box.caption, "Parvex");
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.icon, "question");
    std::vector<int> buttons = box.buttons;
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ(buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
}

std::string FileDate(const std::string &path)
{
    char sz[16] = "none";
    GetFileDate(path.c_str(), sz);
    return sz;
}

std::string TodayUtc()
{
    SYSTEMTIME st;
    GetSystemTime(&st);
    char sz[16];
    wsprintfA(sz, "%04u%02u%02u", st.wYear, st.wMonth, st.wDay);
    return sz;
}

} // namespace

/* ---- A fresh install ------------------------------------------------------ */

class ExtractFresh : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(UseManifest("manifest_extract_basic"), nullptr);
        dest = ScratchDir("fresh");
        ASSERT_TRUE(CreateDirectoryA((dest + "bin").c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA((dest + "bin\\data").c_str(), NULL));
        for (int i = 0; i < 4; i++)
            items.push_back(Content(i));
        ASSERT_NO_FATAL_FAILURE(BuildPackage("XBASIC.PKG", items));
    }
    void ExpectInstalled()
    {
        EXPECT_EQ(ReadBytes(dest + "readme.txt"), items[0]);
        EXPECT_EQ(ReadBytes(dest + "bin\\tool.exe"), items[1]);
        EXPECT_EQ(ReadBytes(dest + "bin\\data\\plain.dat"), items[2]);
        /* the archive hook leaves the file as written */
        EXPECT_EQ(ReadBytes(dest + "extra.Zip"), items[3]);
        EXPECT_EQ(FileDate(dest + "readme.txt"), "19980909");
        EXPECT_EQ(FileDate(dest + "bin\\tool.exe"), "20010203");
        EXPECT_EQ(FileDate(dest + "extra.Zip"), "19800105");
    }
    std::string dest;
    std::vector<std::string> items;
};

TEST_F(ExtractFresh, EveryItemWithItsBytesAndDate)
{
    std::string dayBefore = TodayUtc();
    ExtractOutcome out = RunExtraction(dest, {});
    std::string dayAfter = TodayUtc();
    EXPECT_EQ(out.nResult, 1);
    EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
    ExpectInstalled();
    /* no date entry: the file keeps the date that writing gave it */
    std::string plainDate = FileDate(dest + "bin\\data\\plain.dat");
    EXPECT_TRUE(plainDate == dayBefore || plainDate == dayAfter) << plainDate;
}

TEST_F(ExtractFresh, ProgressDialogEndsAtDone)
{
    ExtractOutcome out = RunExtraction(dest, {}, true);
    EXPECT_EQ(out.nResult, 1);
    EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
    EXPECT_TRUE(out.bDialogLeftOpen);
    EXPECT_EQ(out.status, "DONE");
    ExpectInstalled();
}

TEST_F(ExtractFresh, MissingSubdirectoryIsPathInvalid)
{
    RemoveTree(dest + "bin");
    ExtractOutcome out = RunExtraction(dest, {IDOK}, true);
    ExpectStoppedWith(out, "Path invalid.");
    EXPECT_EQ(ReadBytes(dest + "readme.txt"), items[0]);
    EXPECT_FALSE(FileExists(dest + "extra.Zip"));
}

/* ---- Overwrite rules on existing files ----------------------------------- */

/* Items r0 ... r7 carry the rules A, N, O19980909, O19980909P..., P...,
   none, O1998 and n. */
class ExtractRules : public ::testing::Test {
protected:
    enum { COUNT = 8 };
    void SetUp() override
    {
        ASSERT_NE(UseManifest("manifest_extract_rules"), nullptr);
        dest = ScratchDir("rules");
        for (int i = 0; i < COUNT; i++)
            items.push_back(Content(i, 50));
        ASSERT_NO_FATAL_FAILURE(BuildPackage("XRULES.PKG", items));
    }
    std::string File(int i) { return dest + "r" + std::to_string(i) + ".txt"; }
    /* What r3 and r4 ask.  The format is manifest text: one %s gets the
       path, %% gives %, and everything else stays as written. */
    std::string Prompt(int i)
    {
        return i == 3 ? "Newer " + File(3) + " exists. Replace it?" : "Replace " + File(4) + "? %d% ";
    }
    std::string Old(int i) { return "old " + std::to_string(i); }
    /* Every destination exists, dated pszDate. */
    void MakeExisting(const char *pszDate)
    {
        for (int i = 0; i < COUNT; i++) {
            ASSERT_TRUE(WriteBytes(File(i), Old(i)));
            ASSERT_EQ(SetFileDate(File(i).c_str(), pszDate), 1);
            ASSERT_EQ(FileDate(File(i)), pszDate);
        }
    }
    /* written: the items whose record must be at their destination; the
       others must still hold their old text. */
    void ExpectWritten(const std::vector<int> &written)
    {
        for (int i = 0; i < COUNT; i++) {
            bool bWritten = std::find(written.begin(), written.end(), i) != written.end();
            EXPECT_EQ(ReadBytes(File(i)), bWritten ? items[i] : Old(i)) << "item " << i;
        }
    }
    std::string dest;
    std::vector<std::string> items;
};

TEST_F(ExtractRules, NoFileThereIsWrittenUnderEveryRule)
{
    ExtractOutcome out = RunExtraction(dest, {});
    EXPECT_EQ(out.nResult, 1);
    EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
    for (int i = 0; i < COUNT; i++)
        EXPECT_EQ(ReadBytes(File(i)), items[i]) << "item " << i;
}

TEST_F(ExtractRules, ExistingFiles)
{
    struct Case {
        const char *what;
        const char *date;           /* of every existing destination */
        std::vector<int> answers;   /* to the prompts, in order */
        std::vector<int> asked;     /* the items that ask */
        int result;
        std::vector<int> written;
    } cases[] = {
        {"later: r3 asks (Yes), r4 asks (No)", "20000101", {IDYES, IDNO}, {3, 4}, 1, {0, 3, 5, 7}},
        {"equal: only r4 asks (Yes); O1998 finds 19980909 later", "19980909", {IDYES}, {4}, 1,
         {0, 2, 3, 4, 5, 7}},
        {"earlier: only r4 asks (No)", "19970101", {IDNO}, {4}, 1, {0, 2, 3, 5, 6, 7}},
        {"Cancel at r4 stops silently", "19970101", {IDCANCEL}, {4}, 0, {0, 2, 3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        dest = ScratchDir("rules");
        ASSERT_NO_FATAL_FAILURE(MakeExisting(c.date));
        ExtractOutcome out = RunExtraction(dest, c.answers, true);
        EXPECT_EQ(out.nResult, c.result);
        ASSERT_EQ(out.boxes.size(), c.asked.size()) << BoxTexts(out.boxes);
        for (size_t k = 0; k < c.asked.size(); k++)
            ExpectPrompt(out.boxes[k], Prompt(c.asked[k]));
        /* the copy step closes the dialog after success; a cancel closed it */
        EXPECT_EQ(out.bDialogLeftOpen, c.result == 1);
        ExpectWritten(c.written);
    }
}

/* A question that cannot be shown is no consent: r3 and r4, which would
   ask, keep their files, and the copy goes on. */
TEST_F(ExtractRules, PromptThatCannotBeShownKeepsTheFile)
{
    ASSERT_NO_FATAL_FAILURE(MakeExisting("20000101"));
    ExtractOutcome out;
    {
        WindowsRefused refused;
        ASSERT_TRUE(refused.IsActive());
        out = RunExtraction(dest, {});
    }
    EXPECT_EQ(out.nResult, 1);
    EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
    ExpectWritten({0, 5, 7});
}

TEST_F(ExtractRules, CanOvrAnswers)
{
    ASSERT_NO_FATAL_FAILURE(MakeExisting("20000101"));
    struct Case { int item; int answer; int expect; } cases[] = {
        {0, 0, 6}, {1, 0, 7}, {2, 0, 7}, {5, 0, 6}, {6, 0, 7}, {7, 0, 6},
        {3, IDYES, 6}, {3, IDNO, 7}, {3, IDCANCEL, 2},
        {4, IDYES, 6}, {4, IDNO, 7}, {4, IDCANCEL, 2},
    };
    for (const Case &c : cases) {
        BoxAnswerer answerer(c.answer ? std::vector<int>{c.answer} : std::vector<int>{},
                             GetCurrentProcessId(), 1000);
        EXPECT_EQ(CanOvr(File(c.item).c_str(), c.item), c.expect) << "item " << c.item;
        std::vector<SeenBox> seen = answerer.Stop();
        EXPECT_EQ(seen.size(), c.answer ? 1u : 0u) << "item " << c.item << " " << BoxTexts(seen);
    }
    /* no file: write without asking, whatever the rule */
    for (int i = 0; i < COUNT; i++)
        EXPECT_EQ(CanOvr((dest + "absent.txt").c_str(), i), 6) << "item " << i;
}

/* ---- Manifest and package faults ----------------------------------------- */

TEST(ExtractManifest, MissingDestinationStopsAfterTheItemsBefore)
{
    ASSERT_NE(UseManifest("manifest_extract_missing"), nullptr);
    std::string dest = ScratchDir("missing");
    std::vector<std::string> items = {Content(0), Content(1), Content(2)};
    ASSERT_NO_FATAL_FAILURE(BuildPackage("XMISSING.PKG", items));
    ExtractOutcome out = RunExtraction(dest, {IDOK}, true);
    ExpectStoppedWith(out, "The cargo manifest is missing required entries.");
    EXPECT_EQ(ReadBytes(dest + "m0.txt"), items[0]);
    EXPECT_EQ(ReadBytes(dest + "m1.txt"), items[1]);
}

TEST(ExtractManifest, NoItemsNeedsThePackageOnly)
{
    ASSERT_NE(UseManifest("manifest_extract_empty"), nullptr);
    std::string dest = ScratchDir("empty");
    DeleteFileA(PackagePath("XEMPTY.PKG").c_str());
    ExtractOutcome missing = RunExtraction(dest, {}, true);
    EXPECT_EQ(missing.nResult, 0);
    EXPECT_TRUE(missing.boxes.empty()) << BoxTexts(missing.boxes);
    EXPECT_FALSE(missing.bDialogLeftOpen);

    ASSERT_NO_FATAL_FAILURE(WritePackage("XEMPTY.PKG", PackageRecord("surplus")));
    ExtractOutcome present = RunExtraction(dest, {}, true);
    EXPECT_EQ(present.nResult, 1);
    EXPECT_TRUE(present.boxes.empty()) << BoxTexts(present.boxes);
    EXPECT_EQ(present.status, "DONE");
    EXPECT_FALSE(FileExists(dest + "never.txt"));
}

/* Items d0 and d1; d1 asks before it replaces an existing file. */
class ExtractDamaged : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(UseManifest("manifest_extract_damage"), nullptr);
        dest = ScratchDir("damaged");
    }
    std::string dest;
};

TEST_F(ExtractDamaged, RecordFaultsAreReported)
{
    struct Case { const char *what; std::string tail; const char *message; } cases[] = {
        {"data shorter than its length", LengthField(10) + "abcd", "The install package file is invalid."},
        {"length cut short", std::string("\x05\x00", 2), "The install package file is invalid."},
        {"no record at all", "", "The install package file is invalid."},
        {"length -1", LengthField(-1) + "abcd", "A memory allocation failed."},
        {"most negative length", LengthField(-2147483647L - 1) + "abcd", "A memory allocation failed."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        dest = ScratchDir("damaged");
        ASSERT_NO_FATAL_FAILURE(WritePackage("XDAMAGE.PKG", PackageRecord(Content(0)) + c.tail));
        ExtractOutcome out = RunExtraction(dest, {IDOK}, true);
        ExpectStoppedWith(out, c.message);
        EXPECT_EQ(ReadBytes(dest + "d0.txt"), Content(0));
        EXPECT_FALSE(FileExists(dest + "d1.txt"));
    }
}

TEST_F(ExtractDamaged, DamagedRecordLeavesExistingFileAlone)
{
    ASSERT_NO_FATAL_FAILURE(WritePackage("XDAMAGE.PKG", PackageRecord(Content(0)) + LengthField(10) + "abcd"));
    ASSERT_TRUE(WriteBytes(dest + "d1.txt", "keep"));
    ExtractOutcome out = RunExtraction(dest, {IDYES, IDOK});
    EXPECT_EQ(out.nResult, 0);
    ASSERT_EQ(out.boxes.size(), 2u) << BoxTexts(out.boxes);
    ExpectPrompt(out.boxes[0], "Replace " + dest + "d1.txt?");
    ExpectErrorBox(out.boxes[1], "The install package file is invalid.");
    EXPECT_EQ(ReadBytes(dest + "d1.txt"), "keep");
}

TEST_F(ExtractDamaged, SkippedRecordIsCheckedToo)
{
    ASSERT_NO_FATAL_FAILURE(WritePackage("XDAMAGE.PKG", PackageRecord(Content(0)) + LengthField(-5)));
    ASSERT_TRUE(WriteBytes(dest + "d1.txt", "keep"));
    ExtractOutcome out = RunExtraction(dest, {IDNO, IDOK});
    EXPECT_EQ(out.nResult, 0);
    ASSERT_EQ(out.boxes.size(), 2u) << BoxTexts(out.boxes);
    ExpectErrorBox(out.boxes[1], "A memory allocation failed.");
    EXPECT_EQ(ReadBytes(dest + "d1.txt"), "keep");
}

TEST_F(ExtractDamaged, EmptyRecordWritesAnEmptyFile)
{
    ASSERT_NO_FATAL_FAILURE(WritePackage("XDAMAGE.PKG", PackageRecord(Content(0)) + LengthField(0) +
                                                            PackageRecord("surplus record")));
    ASSERT_TRUE(WriteBytes(dest + "d1.txt", "old text"));
    ExtractOutcome out = RunExtraction(dest, {IDYES});
    EXPECT_EQ(out.nResult, 1);
    ASSERT_EQ(out.boxes.size(), 1u) << BoxTexts(out.boxes);
    EXPECT_TRUE(FileExists(dest + "d1.txt"));
    EXPECT_EQ(ReadBytes(dest + "d1.txt"), "");
}

TEST_F(ExtractDamaged, MissingPackageIsSilent)
{
    DeleteFileA(PackagePath("XDAMAGE.PKG").c_str());
    ExtractOutcome out = RunExtraction(dest, {}, true);
    EXPECT_EQ(out.nResult, 0);
    EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
    EXPECT_FALSE(out.bDialogLeftOpen);
    EXPECT_FALSE(FileExists(dest + "d0.txt"));
}

TEST_F(ExtractDamaged, FileInUseIsASharingViolation)
{
    ASSERT_NO_FATAL_FAILURE(WritePackage("XDAMAGE.PKG", PackageRecord(Content(0)) + PackageRecord(Content(1))));
    ASSERT_TRUE(WriteBytes(dest + "d0.txt", "in use"));
    HANDLE h = CreateFileA((dest + "d0.txt").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ExtractOutcome out = RunExtraction(dest, {IDOK}, true);
    CloseHandle(h);
    ExpectStoppedWith(out, "A sharing violation occured.");
    EXPECT_EQ(ReadBytes(dest + "d0.txt"), "in use");
    EXPECT_FALSE(FileExists(dest + "d1.txt"));
}

/* ---- Cancel in the progress dialog --------------------------------------- */

TEST_F(ExtractDamaged, CancelBeforeTheFirstItemWritesNothing)
{
    ASSERT_NO_FATAL_FAILURE(WritePackage("XDAMAGE.PKG", PackageRecord(Content(0)) + PackageRecord(Content(1))));
    /* What the dialog shows while the question is up: the first item's
       line (d0 has no display name) at its percentage. */
    std::string statusAtQuestion = "(not read)";
    int nPercAtQuestion = -1;
    BoxAnswerer answerer({IDYES}, GetCurrentProcessId(), 3000, [&](size_t, const SeenBox &) {
        statusAtQuestion = ReadControl(GetStatDlg(), IDC_STATUS);
        nPercAtQuestion = GetStatPerc();
    });
    ASSERT_EQ(StatDlgStart(NULL), 1);
    /* a click on Cancel waiting in the queue, seen at the first update */
    PostMessageA(GetStatDlg(), WM_COMMAND, IDCANCEL, 0);
    int r = ResToFiles(dest.c_str());
    bool bLeftOpen = GetStatDlg() != NULL;
    StatDlgEnd();
    std::vector<SeenBox> seen = answerer.Stop();
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(bLeftOpen) << "the caller closes the dialog";
    ASSERT_EQ(seen.size(), 1u) << BoxTexts(seen);
    EXPECT_EQ(seen[0].caption, "Install");
    EXPECT_EQ(statusAtQuestion, "Copying ");
    EXPECT_EQ(nPercAtQuestion, 0);
    EXPECT_FALSE(FileExists(dest + "d0.txt"));
    EXPECT_FALSE(FileExists(dest + "d1.txt"));
}

namespace {

/* Watches one extraction for its first overwrite prompt: notes whether the
   progress dialog is open and what it shows, optionally clicks its Cancel
   and confirms the question with Yes, then answers the prompt with
   nPromptAnswer.  Any later box is recorded and closed. */
struct PromptWatcher {
    int nPromptAnswer = IDYES;
    bool bClickCancel = false;
    SeenBox prompt, question;
    std::vector<SeenBox> strays;
    bool bDialogAtPrompt = false;
    std::string statusAtPrompt;
    std::unique_ptr<BoxAnswerer> answerer;

    void AtPrompt(size_t nIndex, const SeenBox &box)
    {
        if (nIndex != 0)
            return;
        HWND hStatDlg = GetStatDlg();
        bDialogAtPrompt = hStatDlg != NULL;
        if (hStatDlg)
            statusAtPrompt = ReadControl(hStatDlg, IDC_STATUS);
        if (bClickCancel && hStatDlg)
            ClickCancel(hStatDlg, box.hWnd);
    }
    /* The click is queued while the prompt is open: the prompt's own
       message loop hands it to the progress dialog, which asks. */
    void ClickCancel(HWND hStatDlg, HWND hPrompt)
    {
        PostMessageA(hStatDlg, WM_COMMAND, IDCANCEL, 0);
        HWND hQuestion = WaitForMessageBox(GetCurrentProcessId(), 10000, hPrompt);
        if (!hQuestion)
            return;
        question = ReadMessageBox(hQuestion);
        PressButton(hQuestion, IDYES);
        WaitForWindowGone(hQuestion, 5000);
    }
    /* Nothing but the prompt is expected; whatever else comes is closed
       after two seconds so the extraction cannot hang. */
    void Start()
    {
        answerer.reset(new BoxAnswerer({nPromptAnswer}, GetCurrentProcessId(), 2000,
                                       [this](size_t nIndex, const SeenBox &box) { AtPrompt(nIndex, box); }));
    }
    void Join()
    {
        std::vector<SeenBox> seen = answerer->Stop();
        if (!seen.empty()) {
            prompt = seen[0];
            strays.assign(seen.begin() + 1, seen.end());
        }
    }
};

} // namespace

/* d0 is written, then d1 (existing, "keep") asks; at that prompt Cancel is
   clicked in the progress dialog and confirmed, and the prompt answered. */
TEST_F(ExtractDamaged, CancelConfirmedDuringTheCopy)
{
    struct Case { const char *what; int answer; int result; } cases[] = {
        /* the update before d1 sees the cancel: d1 is not written */
        {"Yes to d1: stopped before it", IDYES, 0},
        /* d1 skipped: the next update is the final "DONE", which cannot
           undo anything */
        {"No to d1: the cancel comes at DONE", IDNO, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        dest = ScratchDir("damaged");
        ASSERT_NO_FATAL_FAILURE(WritePackage("XDAMAGE.PKG", PackageRecord(Content(0)) + PackageRecord(Content(1))));
        ASSERT_TRUE(WriteBytes(dest + "d1.txt", "keep"));
        ASSERT_EQ(StatDlgStart(NULL), 1);
        PromptWatcher watcher;
        watcher.bClickCancel = true;
        watcher.nPromptAnswer = c.answer;
        watcher.Start();
        int r = ResToFiles(dest.c_str());
        watcher.Join();
        bool bLeftOpen = GetStatDlg() != NULL;
        StatDlgEnd();
        EXPECT_EQ(r, c.result);
        EXPECT_TRUE(bLeftOpen) << "the caller closes the dialog";
        ExpectPrompt(watcher.prompt, "Replace " + dest + "d1.txt?");
        /* d0 has no display name: the status line is the message alone */
        EXPECT_EQ(watcher.statusAtPrompt, "Copying ");
        EXPECT_EQ(watcher.question.caption, "Install");
        EXPECT_TRUE(watcher.strays.empty()) << BoxTexts(watcher.strays);
        EXPECT_EQ(ReadBytes(dest + "d0.txt"), Content(0));
        EXPECT_EQ(ReadBytes(dest + "d1.txt"), "keep");
    }
}

/* ---- Destination lengths -------------------------------------------------- */

TEST(ExtractLong, DestinationsUpTo255AreWrittenLongerRefused)
{
    ASSERT_NE(UseManifest("manifest_extract_long"), nullptr);
    /* entry 98 has 16 characters; the package goes by its first 15 */
    DeleteFileA(PackagePath("XLONGPACKAGE.PKG").c_str());
    ASSERT_NO_FATAL_FAILURE(WritePackage("XLONGPACKAGE.PK", PackageRecord(Content(0))));
    const std::string name = std::string(96, 'n') + ".txt";
    struct Case { size_t total; bool written; } cases[] = {{200, true}, {255, true}, {256, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE("destination of " + std::to_string(c.total) + " characters");
        std::string base = ScratchDir("long");
        ASSERT_LT(base.size() + name.size() + 2, c.total) << "build folder too deep for this test";
        std::string dir = base + std::string(c.total - name.size() - base.size() - 1, 'd') + "\\";
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), NULL));
        std::string file = dir + name;
        ASSERT_EQ(file.size(), c.total);
        ExtractOutcome out = RunExtraction(dir, c.written ? std::vector<int>{} : std::vector<int>{IDOK});
        if (c.written) {
            EXPECT_EQ(out.nResult, 1);
            EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
            EXPECT_EQ(ReadBytes(file), Content(0));
        } else {
            ExpectStoppedWith(out, "Path invalid.");
            EXPECT_FALSE(FileExists(file));
            EXPECT_FALSE(FileExists(file.substr(0, 255))) << "never written to a cut path";
        }
    }
}

/* ---- Cases that need the Linux side prepared (tests/extract/fs_case.sh) --- */

namespace {

/* The prepared place named by pszVar, or a reason to skip in *pReason. */
bool PreparedByScript(const char *pszVar, const char *pszSkipVar, std::string *pValue,
                      std::string *pReason)
{
    if (const char *pszSkip = getenv(pszSkipVar)) {
        *pReason = pszSkip;
        return false;
    }
    const char *psz = getenv(pszVar);
    if (!psz) {
        *pReason = std::string("needs the Linux side prepared; runs as its own test through "
                               "tests/extract/fs_case.sh (") + pszVar + " not set)";
        return false;
    }
    *pValue = psz;
    return true;
}

} // namespace

TEST(ExtractDiskFull, ShortWriteIsReportedAndStops)
{
    std::string drive, reason;
    if (!PreparedByScript("QUARNEL_FULL_DRIVE", "QUARNEL_FULL_SKIP", &drive, &reason))
        GTEST_SKIP() << reason;
    ULARGE_INTEGER free, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA(drive.c_str(), &free, &total, &totalFree)) << drive;
    ASSERT_LT(total.QuadPart, 2u * 1024 * 1024) << "the small drive is not mapped";

    ASSERT_NE(UseManifest("manifest_extract_full"), nullptr);
    std::vector<std::string> items = {Content(0), Content(1, 2 * 1024 * 1024), Content(2)};
    ASSERT_NO_FATAL_FAILURE(BuildPackage("XFULL.PKG", items));
    ExtractOutcome out = RunExtraction(drive, {IDOK}, true);
    ExpectStoppedWith(out, "A file write failed.  The disk may be full.");
    EXPECT_EQ(ReadBytes(drive + "small.txt"), items[0]);
    EXPECT_FALSE(FileExists(drive + "big.bin")) << "a cut file would pass for installed";
    EXPECT_FALSE(FileExists(drive + "after.txt"));
}

TEST(ExtractLocked, ReadOnlyDestinationIsAccessDenied)
{
    std::string dir, reason;
    if (!PreparedByScript("QUARNEL_LOCKED_DIR", "QUARNEL_LOCKED_SKIP", &dir, &reason))
        GTEST_SKIP() << reason;
    /* the script made small.txt there immutable, holding "locked" */
    std::string dest = WinPathOfUnix(dir) + "\\";
    ASSERT_EQ(ReadBytes(dest + "small.txt"), "locked");

    ASSERT_NE(UseManifest("manifest_extract_full"), nullptr);
    ASSERT_NO_FATAL_FAILURE(BuildPackage("XFULL.PKG", {Content(0), Content(1), Content(2)}));
    ExtractOutcome out = RunExtraction(dest, {IDOK}, true);
    ExpectStoppedWith(out, "Access denied.");
    EXPECT_EQ(ReadBytes(dest + "small.txt"), "locked");
    EXPECT_FALSE(FileExists(dest + "big.bin"));
}

/* ---- A program in a folder too deep for its package path ------------------ */

/* The program path is kept to 239 characters so the package path always
   fits; a longer one leaves no folder to look in.  The test copies itself
   (and the manifest) into such a folder, with the package beside the copy,
   and runs the copy, which then takes the second branch below. */
TEST(ExtractDeep, ProgramPathBeyond239FindsNoPackage)
{
    char szSelf[1024];
    DWORD cchSelf = GetModuleFileNameA(NULL, szSelf, sizeof(szSelf));
    const char *pszDest = getenv("QUARNEL_DEEP_DEST");
    if (cchSelf > 239) {
        ASSERT_NE(pszDest, nullptr);
        ASSERT_NE(UseManifest("manifest_extract_damage"), nullptr);
        ASSERT_TRUE(FileExists(PackagePath("XDAMAGE.PKG"))) << "the package is there";
        ExtractOutcome out = RunExtraction(pszDest, {}, true);
        EXPECT_EQ(out.nResult, 0);
        EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
        EXPECT_FALSE(out.bDialogLeftOpen);
        return;
    }
    const std::string exeName = "test_extract.exe";
    std::string base = ScratchDir("deep");
    ASSERT_LT(base.size() + exeName.size(), 240u) << "build folder too deep for this test";
    std::string dir = base + std::string(245 - exeName.size() - base.size() - 1, 'p') + "\\";
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), NULL));
    ASSERT_EQ((dir + exeName).size(), 245u);
    ASSERT_TRUE(CopyFileA(szSelf, (dir + exeName).c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((ExeDir() + "manifest_extract_damage.dll").c_str(),
                          (dir + "manifest_extract_damage.dll").c_str(), FALSE));
    ASSERT_TRUE(WriteBytes(dir + "XDAMAGE.PKG", PackageRecord(Content(0)) + PackageRecord(Content(1))));
    std::string dest = ScratchDir("deepdest");
    SetEnvironmentVariableA("QUARNEL_DEEP_DEST", dest.c_str());
    int rc = RunProcess("\"" + dir + exeName + "\" --gtest_filter=ExtractDeep.*", dir, 120000);
    SetEnvironmentVariableA("QUARNEL_DEEP_DEST", NULL);
    EXPECT_EQ(rc, 0) << "the copy's own checks failed";
    EXPECT_FALSE(FileExists(dest + "d0.txt"));
    RemoveTree(base);
}

/* ---- The copy step as the destination dialog runs it ---------------------- */

TEST(ExtractUnload, ProgressDialogFollowsEntry105)
{
    struct Case { const char *manifest; bool dialog; } cases[] = {
        {"manifest_extract_unload", true},
        {"manifest_extract_unload_quiet", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.manifest);
        ASSERT_NE(UseManifest(c.manifest), nullptr);
        std::string dest = ScratchDir("unload");
        ASSERT_TRUE(WriteBytes(dest + "u1.txt", "old"));
        ASSERT_NO_FATAL_FAILURE(BuildPackage("XUNLOAD.PKG", {Content(0), Content(1)}));
        CopySz(GetDestPath(), 256, dest.c_str());

        PromptWatcher watcher;
        watcher.Start();
        int r = Unload(NULL);
        watcher.Join();
        EXPECT_EQ(r, 1);
        ExpectPrompt(watcher.prompt, "Replace " + dest + "u1.txt?");
        EXPECT_TRUE(watcher.strays.empty()) << BoxTexts(watcher.strays);
        EXPECT_EQ(watcher.bDialogAtPrompt, c.dialog);
        if (c.dialog) {
            EXPECT_EQ(watcher.statusAtPrompt, "Copying  First");
        }
        EXPECT_EQ(GetStatDlg(), nullptr) << "closed by the copy step";
        EXPECT_EQ(ReadBytes(dest + "sub\\u0.txt"), Content(0));
        EXPECT_EQ(ReadBytes(dest + "u1.txt"), Content(1));
    }
}
