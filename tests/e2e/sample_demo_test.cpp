/* sample_demo_test.cpp - the sample product's install, driven from start to
 * end and photographed, for the demonstration run.  It installs into the
 * folder named by QUARNEL_DEMO_DEST and saves its pictures in
 * QUARNEL_DEMO_SHOTS; without both it is skipped. */
#include <gtest/gtest.h>

#include "e2e_session.h"
#include "resource.h"

namespace {

std::string Env(const char *pszName)
{
    char sz[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(pszName, sz, sizeof(sz));
    return n > 0 && n < sizeof(sz) ? std::string(sz, n) : std::string();
}

} // namespace

TEST(SampleDemo, FullInstall)
{
    std::string dest = Env("QUARNEL_DEMO_DEST");
    if (dest.empty() || Env("QUARNEL_DEMO_SHOTS").empty())
        GTEST_SKIP() << "QUARNEL_DEMO_DEST and QUARNEL_DEMO_SHOTS are not set";
    if (dest.back() != '\\')
        dest.push_back('\\');

    ASSERT_TRUE(WaitForProgramManager(30000));
    Installer inst(ExeDir() + "..\\quarnel.exe");
    ASSERT_TRUE(inst.Started());
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    EXPECT_EQ(ReadControl(hMain, IDC_DESCRIPTION), "Quarnel Sample 1.0, a small demo.");
    EXPECT_LE(inst.DescriptionOverflow(hMain), 0) << "the description is cut off by its field";
    Shot(hMain, "demo-1-destination");
    inst.TypeAndOk(hMain, dest);

    HWND hVerify = inst.Confirmation();
    ASSERT_TRUE(hVerify != NULL);
    EXPECT_EQ(ReadControl(hVerify, IDC_FIELD0), dest);
    Shot(hVerify, "demo-2-verify");
    ASSERT_TRUE(inst.Answer(hVerify, IDOK));

    /* The sample's items are small: the progress window may be gone before
       its picture is taken, and a picture of what was behind it is dropped. */
    HWND hProgress = inst.Progress(3000);
    const std::string progressShot = ShotPath("demo-3-progress");
    if (hProgress && (!SaveWindowBmp(hProgress, progressShot) || !IsWindow(hProgress)))
        DeleteFileA(progressShot.c_str());

    /* Overwrite questions (a reinstall) are answered Yes; the run ends with
       the completion message. */
    std::vector<SeenBox> seen;
    int nShot = 4;
    while (inst.Exit(0) == -1 && seen.size() < 10) {
        SeenBox box = inst.NextBox(500);
        if (!box.bFound)
            continue;
        seen.push_back(box);
        /* The completion message follows the new group's folder window,
           which may stand over it. */
        if (box.caption == "Installer")
            CloseWindowsTitled("Quarnel Sample", 4000);
        Shot(box.hWnd, "demo-" + std::to_string(nShot++) + "-message");
        ASSERT_TRUE(inst.Answer(box.hWnd, box.caption == "Parvex" ? IDYES : IDOK));
    }
    EXPECT_EQ(inst.Exit(), 0);
    CloseWindowsTitled("Quarnel Sample", 4000);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().caption, "Installer");
    EXPECT_EQ(seen.back().text, "Quarnel Sample is installed.");

    EXPECT_TRUE(FileExists(dest + "README.TXT"));
    EXPECT_TRUE(FileExists(dest + "DOCS\\GUIDE.TXT"));
    EXPECT_TRUE(FileExists(dest + "DOCS\\EXTRA\\DATA.BIN"));
    EXPECT_EQ(CreationDate(dest + "DOCS\\EXTRA\\DATA.BIN"), "20010615");
    EXPECT_EQ(IniValue(dest + "SAMPLE.INI", "Install", "Path"), dest);
    EXPECT_EQ(IniValue(dest + "SAMPLE.INI", "Install", "Version"), "1.0");
}
