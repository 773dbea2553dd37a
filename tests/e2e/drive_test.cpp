/* drive_test.cpp - the preview driver (quarnel-drive.exe) run as the kit
 * runs it, against the sample product and against the "preview" test
 * product, in the test prefix; what it wrote into its drive.tsv and its
 * pictures is checked record by record. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include <tlhelp32.h>

#include "fixed.h"
#include "pngcheck.h"
#include "resource.h"
#include "testsupport.h"

namespace {

typedef std::vector<std::string> Record;

std::string Unescaped(const std::string &field)
{
    std::string text;
    for (size_t k = 0; k < field.size(); k++) {
        if (field[k] != '\\' || k + 1 == field.size()) {
            text.push_back(field[k]);
            continue;
        }
        char c = field[++k];
        text.push_back(c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c);
    }
    return text;
}

std::vector<Record> ReadRecords(const std::string &path)
{
    std::vector<Record> records;
    std::string bytes = ReadBytes(path);
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        std::string line = bytes.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? bytes.size() : end + 1;
        Record rec;
        for (size_t from = 0;;) {
            size_t tab = line.find('\t', from);
            rec.push_back(Unescaped(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from)));
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        records.push_back(rec);
    }
    return records;
}

std::vector<Record> OfKind(const std::vector<Record> &records, const char *pszKind)
{
    std::vector<Record> found;
    for (const Record &rec : records)
        if (rec[0] == pszKind)
            found.push_back(rec);
    return found;
}

/* The driver run on an installer into a fresh folder: its exit code. */
int Drive(const std::string &installer, std::string outDir)
{
    /* A backslash before the closing quote would escape it. */
    if (!outDir.empty() && outDir.back() == '\\')
        outDir.pop_back();
    return RunProcess("\"" + ExeDir() + "..\\quarnel-drive.exe\" \"" + outDir + "\" \"" + installer + "\"", "",
                      300000);
}

/* Every run's screens as "RUN caption", in order. */
std::vector<std::string> Screens(const std::vector<Record> &records)
{
    std::vector<std::string> shown;
    for (const Record &rec : OfKind(records, "screen"))
        shown.push_back(rec[2] + " " + rec[5]);
    return shown;
}

/* The control of screen N with ID nId, empty when there is none. */
Record ControlOf(const std::vector<Record> &records, const std::string &screen, int nId)
{
    for (const Record &rec : OfKind(records, "control"))
        if (rec[1] == screen && rec[2] == std::to_string(nId))
            return rec;
    return Record();
}

std::vector<std::string> Events(const std::vector<Record> &records, const char *pszKind)
{
    std::vector<std::string> texts;
    for (const Record &rec : OfKind(records, "event"))
        if (rec[2] == pszKind)
            texts.push_back(rec[1] + " " + rec[3]);
    return texts;
}

bool ProcessRunning(const char *pszExe)
{
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof(pe);
    bool bFound = false;
    for (BOOL f = Process32First(hSnap, &pe); f && !bFound; f = Process32Next(hSnap, &pe))
        bFound = _stricmp(pe.szExeFile, pszExe) == 0;
    CloseHandle(hSnap);
    return bFound;
}

} // namespace

TEST(Drive, SampleProductsThreeRuns)
{
    ASSERT_TRUE(WaitForProgramManager(30000));
    RemoveTree("C:\\QSAMPLE");
    const std::string out = ScratchDir("drive-sample");
    ASSERT_EQ(Drive(ExeDir() + "..\\quarnel.exe", out), 0);
    /* The shell may open the group's folder after the driver looked. */
    CloseWindowsTitled("Quarnel Sample", 4000);
    std::vector<Record> records = ReadRecords(out + "drive.tsv");

    /* Run 1 installs with its progress caught on an item, run 2 again over
       it, run 3 is refused its typed folder and cancelled. */
    const std::string main = std::string("Install"), verify = szCaptionVerify;
    std::vector<std::string> want = {
        "1 " + main, "1 " + verify, "1 " + main, "1 Install", "1 Installer",
        "2 " + main, "2 " + verify, "2 " + main, "2 Install", "2 Installer",
        "3 " + main, "3 Installer"};
    EXPECT_EQ(Screens(records), want);
    EXPECT_EQ(Events(records, "answered"),
              (std::vector<std::string>{"1 Install, OK", "1 Install Verification  , OK", "1 Install, No",
                                        "1 Installer, OK", "2 Install, OK", "2 Install Verification  , OK",
                                        "2 Install, No", "2 Installer, OK", "3 Install, OK", "3 Installer, OK",
                                        "3 Install, Cancel"}));
    EXPECT_EQ(ControlOf(records, "3", IDC_STATUS).back(), "Copying  Read Me");
    EXPECT_EQ(ControlOf(records, "5", 0xFFFF).back(), "Quarnel Sample is installed.");
    EXPECT_EQ(ControlOf(records, "12", 0xFFFF).back(), "The entered path is invalid.");
    EXPECT_EQ(ControlOf(records, "1", IDC_DESCRIPTION)[10], "0") << "the sample's description fits";
    EXPECT_EQ(Events(records, "exit"), (std::vector<std::string>{"1 0", "2 0", "3 0"}));
    EXPECT_TRUE(Events(records, "failed").empty());
    EXPECT_FALSE(DirExists("C:\\Quarnel Preview Refused"));

    std::vector<Record> links = OfKind(records, "shortcut");
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0], (Record{"shortcut", "Quarnel Sample\\Guide.lnk", "C:\\QSAMPLE\\DOCS\\GUIDE.TXT", "", ""}));
    EXPECT_EQ(links[1], (Record{"shortcut", "Quarnel Sample\\Read Me.lnk", "C:\\QSAMPLE\\README.TXT", "", ""}));

    /* Each picture a valid PNG of the size its record gives. */
    for (const Record &screen : OfKind(records, "screen")) {
        int cx = 0, cy = 0;
        std::string raw;
        EXPECT_EQ(pngcheck::Read(ReadBytes(out + screen[3]), &cx, &cy, &raw), "") << screen[3];
        EXPECT_EQ(std::to_string(cx) + "x" + std::to_string(cy), screen[6] + "x" + screen[7]) << screen[3];
    }
}

TEST(Drive, PromptsFollowUpAndClippedDescription)
{
    const std::string dir = ExeDir() + "e2e\\preview\\";
    ASSERT_TRUE(WriteBytes(dir + "PREVIEW.PKG", PackageRecord("one\r\n") + PackageRecord("two\r\n")));
    RemoveTree("C:\\QPREVIEW");
    const std::string out = ScratchDir("drive-preview");
    ASSERT_EQ(Drive(dir + "quarnel.exe", out), 0);
    std::vector<Record> records = ReadRecords(out + "drive.tsv");

    /* Run 2's questions, each kind answered Yes, then No. */
    std::vector<std::string> asked;
    for (const std::string &answer : Events(records, "answered"))
        if (answer.compare(0, 9, "2 Parvex,") == 0)
            asked.push_back(answer);
    EXPECT_EQ(asked, (std::vector<std::string>{"2 Parvex, Yes", "2 Parvex, No", "2 Parvex, Yes", "2 Parvex, No"}));
    std::vector<std::string> prompts;
    for (const Record &screen : OfKind(records, "screen"))
        if (screen[5] == "Parvex")
            prompts.push_back(ControlOf(records, screen[1], 0xFFFF).back());
    EXPECT_EQ(prompts, (std::vector<std::string>{"Replace C:\\QPREVIEW\\ONE.TXT?", "Replace C:\\QPREVIEW\\TWO.TXT?",
                                                 "Change yes-value to yes-value?", "Change no-value to no-value?"}));

    /* The follow-up recorded as started, in both installs, and ended. */
    std::vector<std::string> follow = Events(records, "followup");
    ASSERT_EQ(follow.size(), 2u);
    EXPECT_NE(follow[0].find("NOTEPAD.EXE C:\\QPREVIEW\\ONE.TXT"), std::string::npos) << follow[0];
    EXPECT_FALSE(ProcessRunning("notepad.exe")) << "the follow-up was left running";

    /* The description does not fit its field; the other texts do. */
    Record desc = ControlOf(records, "1", IDC_DESCRIPTION);
    ASSERT_FALSE(desc.empty());
    EXPECT_EQ(desc[10], "1");
    /* The field wraps: the text takes more lines than it has room for. */
    EXPECT_GT(std::stoi(desc[9]), std::stoi(desc[7]));
    for (const Record &ctrl : OfKind(records, "control")) {
        if (ctrl[2] != std::to_string(IDC_DESCRIPTION)) {
            EXPECT_EQ(ctrl[10], "0") << ctrl[11];
        }
    }
}
