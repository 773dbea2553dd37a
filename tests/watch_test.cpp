/* watch_test.cpp - the window-watching unit checked on windows whose
 * content is known: message boxes of every standard icon answered in turn,
 * blank and drawn windows photographed, a text measured against its field,
 * and programs started with and without extra environment. */
#include <gtest/gtest.h>

#include <algorithm>

#include "resource.h"
#include "testsupport.h"

namespace {

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

std::vector<int> Sorted(std::vector<int> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

/* Each box is answered as given (0: no answer, closed as a stray), read
   exactly, and its icon recognised both by handle and by picture. */
TEST(Watch, MessageBoxesAreReadRecognisedAndAnswered)
{
    struct Case {
        UINT uType;
        int nAnswer;
        int nResult;
        const char *pszIcon;
        std::vector<int> buttons;
    } cases[] = {
        {MB_OK | MB_ICONERROR, IDOK, IDOK, "error", {IDOK}},
        {MB_YESNOCANCEL | MB_ICONQUESTION, IDNO, IDNO, "question", {IDYES, IDNO, IDCANCEL}},
        {MB_OKCANCEL | MB_ICONINFORMATION, IDCANCEL, IDCANCEL, "information", {IDOK, IDCANCEL}},
        {MB_YESNO | MB_ICONWARNING, IDYES, IDYES, "warning", {IDYES, IDNO}},
        {MB_OK, IDOK, IDOK, "none", {IDOK}},
        {MB_OKCANCEL | MB_ICONERROR, 0, IDCANCEL, "error", {IDOK, IDCANCEL}},
        {MB_OK | MB_ICONQUESTION, 0, IDOK, "question", {IDOK}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszIcon + std::string(c.nAnswer ? " answered" : " stray"));
        std::string byPicture;
        BoxAnswerer answerer(c.nAnswer ? std::vector<int>{c.nAnswer} : std::vector<int>{},
                             GetCurrentProcessId(), 300,
                             [&](size_t, const SeenBox &box) { byPicture = IconOf(box.hWnd, true); });
        EXPECT_EQ(MessageBoxA(NULL, "Watched text.", "Watched", c.uType), c.nResult);
        std::vector<SeenBox> seen = answerer.Stop();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, "Watched");
        EXPECT_EQ(seen[0].text, "Watched text.");
        EXPECT_EQ(seen[0].icon, c.pszIcon);
        EXPECT_EQ(byPicture, c.pszIcon);
        EXPECT_EQ(Sorted(seen[0].buttons), Sorted(c.buttons));
        EXPECT_EQ(seen[0].hOwner, (HWND)NULL);
    }
}

/* A window that shows nothing yields a single-colour picture and no saved
   screenshot; one with a text in it yields both. */
TEST(Watch, BlankPicturesAreToldApart)
{
    HINSTANCE hInst = GetModuleHandleA(NULL);
    for (bool bText : {false, true}) {
        SCOPED_TRACE(bText ? "with a text" : "blank");
        HWND hWnd = CreateWindowExA(0, "Static", "", WS_POPUP | WS_VISIBLE | WS_BORDER | SS_WHITERECT,
                                    40, 40, 200, 80, NULL, NULL, hInst, NULL);
        ASSERT_NE(hWnd, (HWND)NULL);
        if (bText)
            CreateWindowExA(0, "Static", "Painted", WS_CHILD | WS_VISIBLE, 10, 10, 150, 20, hWnd, NULL,
                            hInst, NULL);
        Picture pic = CaptureWindow(hWnd, 1500);
        EXPECT_EQ(pic.cx, 200);
        EXPECT_EQ(pic.cy, 80);
        EXPECT_EQ(ClientColours(pic) > 1, bText);
        EXPECT_EQ(SaveWindowBmp(hWnd, ScreenshotPath(bText ? "watch-text" : "watch-blank")), bText);
        DestroyWindow(hWnd);
    }
}

/* The description field of the destination dialog, measured in the font its
   template gives it. */
TEST(Watch, TextOverflowMeasuresInTheControlsFont)
{
    HMODULE hMod = UseManifest("manifest_ui");
    ASSERT_NE(hMod, (HMODULE)NULL);
    HWND hDlg = CreateDialogParamA(hMod, "PARVEXDLG", NULL, Inert, 0);
    ASSERT_NE(hDlg, (HWND)NULL);
    struct Case { const char *pszText; bool bFits; } cases[] = {
        {"Basic Test Product", true},
        {"", true},
        {"Quarnel Sample 1.0, a small demonstration product.", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszText);
        WriteControl(hDlg, IDC_DESCRIPTION, c.pszText);
        EXPECT_EQ(TextOverflow(GetDlgItem(hDlg, IDC_DESCRIPTION)) <= 0, c.bFits);
    }
    DestroyWindow(hDlg);
}

/* Programs run to their end with the environment given them; a wait for a
   window of a program that has ended gives up. */
TEST(Watch, ProgramsRunWithTheirEnvironment)
{
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram("cmd.exe /c exit %QUARNEL_WATCH%", "", &pi, {"QUARNEL_WATCH=7"}));
    EXPECT_EQ(WaitForExit(pi.hProcess, 30000), 7);
    EXPECT_EQ(WaitForDialog("Install", pi.dwProcessId, IDC_DESTDIR, 30000), (HWND)NULL);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(RunProcess("cmd.exe /c exit 3", "", 30000), 3);
    EXPECT_EQ(RunProcess("no-such-program-here.exe", "", 30000), -1);
}
