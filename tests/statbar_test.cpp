/* statbar_test.cpp - the progress window on the virtual display: its status
 * line, the bar's pixels, the focus, and the Cancel question answered from a
 * watcher thread while the test sits in the message drain. */
#include <gtest/gtest.h>
#include "testsupport.h"

#include <algorithm>
#include <string>
#include <vector>

#include "manifest.h"
#include "resource.h"
#include "statbar.h"

namespace {

const char *const DEFAULT_ASK = "Are you sure you want to\ncancel the installation?";

class StatBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(UseManifest("manifest_ui"), nullptr);
        m_hOwner = CreateWindowExA(0, "STATIC", "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480,
                                   NULL, NULL, NULL, NULL);
        ASSERT_NE(m_hOwner, nullptr);
    }
    void TearDown() override
    {
        StatDlgEnd();
        DestroyWindow(m_hOwner);
    }
    HWND Start()
    {
        EXPECT_EQ(StatDlgStart(m_hOwner), 1);
        return GetStatDlg();
    }
    HWND m_hOwner = NULL;
};

/* Makes the bar area's inside exactly nWidth pixels wide. */
void SetBarWidth(HWND hDlg, int nWidth)
{
    HWND hBar = GetDlgItem(hDlg, IDC_BAR);
    RECT rcWin, rcClient;
    GetWindowRect(hBar, &rcWin);
    GetClientRect(hBar, &rcClient);
    int nFrame = (rcWin.right - rcWin.left) - rcClient.right;
    POINT pt = {rcWin.left, rcWin.top};
    ScreenToClient(hDlg, &pt);
    MoveWindow(hBar, pt.x, pt.y, nWidth + nFrame, rcWin.bottom - rcWin.top, TRUE);
}

/* One row of the bar area: 'R' red, 'G' light grey, '?' anything else. */
std::string BarRow(HWND hDlg, int y)
{
    HWND hBar = GetDlgItem(hDlg, IDC_BAR);
    RECT rc;
    GetClientRect(hBar, &rc);
    HDC hDc = GetDC(hBar);
    std::string row;
    for (int x = 0; x < rc.right; ++x) {
        COLORREF cr = GetPixel(hDc, x, y);
        row += cr == RGB(255, 0, 0) ? 'R' : cr == RGB(192, 192, 192) ? 'G' : '?';
    }
    ReleaseDC(hBar, hDc);
    return row;
}

int BarHeight(HWND hDlg)
{
    RECT rc;
    GetClientRect(GetDlgItem(hDlg, IDC_BAR), &rc);
    return rc.bottom;
}

/* Clicks Cancel and drains as the copy would, while a watcher answers. */
int ClickCancel(std::vector<int> answers, std::vector<SeenBox> *pSeen)
{
    BoxAnswerer answerer(answers);
    PostMessageA(GetDlgItem(GetStatDlg(), IDCANCEL), BM_CLICK, 0, 0);
    int nOk = StatDlgIsOk();
    *pSeen = answerer.Stop();
    return nOk;
}

void ExpectQuestion(const SeenBox &box, const char *pszText)
{
    EXPECT_EQ(box.caption, "Install");
    EXPECT_EQ(box.text, pszText);
    EXPECT_EQ(box.icon, "question");
    std::vector<int> buttons = box.buttons;
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ(buttons, (std::vector<int>{IDYES, IDNO}));
}

TEST_F(StatBar, EveryCallGoesOnWhenNoDialogIsOpen)
{
    ASSERT_EQ(GetStatDlg(), nullptr);
    EXPECT_EQ(StatDlgMsg("Copying ", "README.TXT", 70), 1);
    EXPECT_EQ(GetStatPerc(), 0);
    EXPECT_EQ(StatDlgIsOk(), 1);
    PaintBar();
    EXPECT_EQ(StatDlgEnd(), 1);
    EXPECT_EQ(GetStatDlg(), nullptr);
}

TEST_F(StatBar, FailedStartLeavesNoDialog)
{
    /* The test program itself carries no templates. */
    SetAppInstance(GetModuleHandleA(NULL));
    EXPECT_EQ(StatDlgStart(m_hOwner), 0);
    EXPECT_EQ(GetStatDlg(), nullptr);
    EXPECT_EQ(StatDlgMsg("Copying ", "A", 10), 1);
    EXPECT_EQ(StatDlgIsOk(), 1);
}

TEST_F(StatBar, StatusLineJoinsMessageAndItem)
{
    HWND hDlg = Start();
    ASSERT_NE(hDlg, nullptr);
    const std::string sLongMsg(300, 'm'), sLongItem(200, 'i');
    const struct { std::string msg, item, line; } cases[] = {
        {"Copying ", "README.TXT", "Copying  README.TXT"},
        {"Copying", "a b", "Copying a b"},
        {"Done", "", "Done"},
        {"Copying ", "", "Copying "},
        /* Too long for the 356-character line: cut, never overrun. */
        {sLongMsg, sLongItem, sLongMsg + " " + std::string(54, 'i')},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(StatDlgMsg(c.msg.c_str(), c.item.c_str(), 10), 1);
        EXPECT_EQ(ReadControl(hDlg, IDC_STATUS), c.line);
    }
}

TEST_F(StatBar, BarFillsInProportion)
{
    HWND hDlg = Start();
    ASSERT_NE(hDlg, nullptr);
    SetBarWidth(hDlg, 133);
    const struct { int nPerc, nRed; } cases[] = {
        {0, 0}, {50, 66}, {100, 133}, {33, 43}, {1, 1},
        /* Outside 0..100 the bar stays inside its area. */
        {150, 133}, {-20, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.nPerc);
        EXPECT_EQ(StatDlgMsg("Copying ", "README.TXT", c.nPerc), 1);
        EXPECT_EQ(GetStatPerc(), c.nPerc);
        const std::string want = std::string(c.nRed, 'R') + std::string(133 - c.nRed, 'G');
        for (int y : {0, BarHeight(hDlg) / 2, BarHeight(hDlg) - 1})
            EXPECT_EQ(BarRow(hDlg, y), want) << "row " << y;
    }
    /* The control's own repaint keeps the bar. */
    StatDlgMsg("Copying ", "README.TXT", 50);
    InvalidateRect(GetDlgItem(hDlg, IDC_BAR), NULL, TRUE);
    StatDlgIsOk();
    EXPECT_EQ(BarRow(hDlg, BarHeight(hDlg) / 2), std::string(66, 'R') + std::string(67, 'G'));
    /* An update that moves no pixel of the split still leaves the bar right
       after something drew over it and the area was invalidated. */
    HWND hBar = GetDlgItem(hDlg, IDC_BAR);
    HDC hDc = GetDC(hBar);
    RECT rc;
    GetClientRect(hBar, &rc);
    FillRect(hDc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(hBar, hDc);
    InvalidateRect(hBar, NULL, TRUE);
    EXPECT_EQ(StatDlgMsg("Copying ", "NEXT.TXT", 50), 1);
    EXPECT_EQ(BarRow(hDlg, BarHeight(hDlg) / 2), std::string(66, 'R') + std::string(67, 'G'));
    EXPECT_TRUE(SaveWindowBmp(hDlg, ScreenshotPath("WAITDLG")));
}

TEST_F(StatBar, OpensWithTheFocusOnCancel)
{
    HWND hDlg = Start();
    ASSERT_NE(hDlg, nullptr);
    StatDlgIsOk();
    EXPECT_EQ(GetFocus(), GetDlgItem(hDlg, IDCANCEL));
    EXPECT_EQ(WindowText(hDlg), "Install");
}

TEST_F(StatBar, AnswerNoGoesOn)
{
    ASSERT_NE(Start(), nullptr);
    std::vector<SeenBox> seen;
    EXPECT_EQ(ClickCancel({IDNO}, &seen), 1);
    ASSERT_EQ(seen.size(), 1u);
    ExpectQuestion(seen[0], DEFAULT_ASK);
    EXPECT_EQ(seen[0].hOwner, GetStatDlg());
    EXPECT_EQ(StatDlgMsg("Copying ", "B.TXT", 50), 1);
}

TEST_F(StatBar, AnswerYesCancelsUntilTheEnd)
{
    HWND hDlg = Start();
    ASSERT_NE(hDlg, nullptr);
    std::vector<SeenBox> seen;
    EXPECT_EQ(ClickCancel({IDYES}, &seen), 0);
    ASSERT_EQ(seen.size(), 1u);
    ExpectQuestion(seen[0], DEFAULT_ASK);

    /* Still on screen, still updated, still cancelled. */
    EXPECT_TRUE(IsWindow(hDlg));
    EXPECT_EQ(StatDlgMsg("Copying ", "C.TXT", 40), 0);
    EXPECT_EQ(ReadControl(hDlg, IDC_STATUS), "Copying  C.TXT");
    EXPECT_EQ(StatDlgIsOk(), 0);

    /* Asked again, No does not take the cancel back. */
    EXPECT_EQ(ClickCancel({IDNO}, &seen), 0);
    EXPECT_EQ(seen.size(), 1u);

    EXPECT_EQ(StatDlgEnd(), 1);
    EXPECT_FALSE(IsWindow(hDlg));
    EXPECT_EQ(GetStatDlg(), nullptr);
    EXPECT_EQ(StatDlgIsOk(), 1);

    /* A new start begins afresh: nothing pending, bar empty. */
    HWND hDlg2 = Start();
    ASSERT_NE(hDlg2, nullptr);
    EXPECT_EQ(GetStatPerc(), 0);
    EXPECT_EQ(StatDlgIsOk(), 1);
    SetBarWidth(hDlg2, 133);
    PaintBar();
    EXPECT_EQ(BarRow(hDlg2, BarHeight(hDlg2) / 2), std::string(133, 'G'));
}

/* Every update's line and percentage reach the dialog, and the bar follows
   them pixel for pixel, also when several updates land on one pixel. */
TEST_F(StatBar, EveryUpdateReachesTheDialog)
{
    HWND hDlg = Start();
    ASSERT_NE(hDlg, nullptr);
    SetBarWidth(hDlg, 133);
    StatDlgIsOk();
    for (int i = 0; i < 400; i += 7) {
        int nPerc = i * 100 / 400;
        std::string item = "F" + std::to_string(i) + ".BIN";
        ASSERT_EQ(StatDlgMsg("Copying ", item.c_str(), nPerc), 1);
        EXPECT_EQ(ReadControl(hDlg, IDC_STATUS), "Copying  " + item);
        EXPECT_EQ(GetStatPerc(), nPerc);
        int nRed = 133 * nPerc / 100;
        EXPECT_EQ(BarRow(hDlg, 0), std::string(nRed, 'R') + std::string(133 - nRed, 'G')) << i;
    }
    EXPECT_EQ(StatDlgMsg("DONE", "", 100), 1);
    EXPECT_EQ(ReadControl(hDlg, IDC_STATUS), "DONE");
    EXPECT_EQ(BarRow(hDlg, BarHeight(hDlg) - 1), std::string(133, 'R'));
}

TEST_F(StatBar, SystemMenuCloseAsksTheSameQuestion)
{
    HWND hDlg = Start();
    ASSERT_NE(hDlg, nullptr);
    BoxAnswerer answerer({IDYES});
    PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(StatDlgIsOk(), 0);
    std::vector<SeenBox> seen = answerer.Stop();
    ASSERT_EQ(seen.size(), 1u);
    ExpectQuestion(seen[0], DEFAULT_ASK);
    EXPECT_TRUE(IsWindow(hDlg));
}

TEST_F(StatBar, ManifestWordsTheQuestion)
{
    ASSERT_NE(UseManifest("manifest_ui_ask"), nullptr);
    ASSERT_NE(Start(), nullptr);
    std::vector<SeenBox> seen;
    EXPECT_EQ(ClickCancel({IDNO}, &seen), 1);
    ASSERT_EQ(seen.size(), 1u);
    ExpectQuestion(seen[0], "Stop copying the files now?");
}

TEST_F(StatBar, OnlyThePlainCancelCommandAsks)
{
    HWND hDlg = Start();
    ASSERT_NE(hDlg, nullptr);
    /* A box is modal: raised by these calls or by a message they leave
       queued, it would be up until the watcher closes it after half a
       second, and show up in what it saw. */
    BoxAnswerer answerer({}, GetCurrentProcessId(), 500);
    EXPECT_EQ(StatDlgProc(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_SETFOCUS), 0), 1);
    EXPECT_EQ(StatDlgProc(hDlg, WM_COMMAND, IDOK, 0), 1);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    EXPECT_TRUE(answerer.Stop().empty());
    EXPECT_EQ(StatDlgIsOk(), 1);
}

TEST_F(StatBar, ProcedureAnswersColourRequestsOnlyForTheBar)
{
    HWND hDlg = Start();
    ASSERT_NE(hDlg, nullptr);
    HDC hDc = GetDC(hDlg);
    WPARAM wDc = reinterpret_cast<WPARAM>(hDc);
    LPARAM lBar = reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDC_BAR));
    LPARAM lStatus = reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDC_STATUS));
    EXPECT_EQ(StatDlgProc(hDlg, WM_CTLCOLORSTATIC, wDc, lBar),
              reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(StatDlgProc(hDlg, WM_CTLCOLORSTATIC, wDc, lStatus), 0);
    EXPECT_EQ(StatDlgProc(hDlg, WM_TIMER, 0, 0), 0);
    ReleaseDC(hDlg, hDc);
}

TEST_F(StatBar, SecondStartReplacesTheOpenDialog)
{
    HWND hFirst = Start();
    ASSERT_NE(hFirst, nullptr);
    std::vector<SeenBox> seen;
    EXPECT_EQ(ClickCancel({IDYES}, &seen), 0);
    HWND hSecond = Start();
    ASSERT_NE(hSecond, nullptr);
    EXPECT_FALSE(IsWindow(hFirst));
    EXPECT_EQ(StatDlgIsOk(), 1);
}

}  // namespace
