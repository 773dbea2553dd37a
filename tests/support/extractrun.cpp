/* extractrun.cpp - runs the item extraction the way the copy step does and
 * records what it showed, for the tests of extraction and of the package
 * check; with the checks every such test makes of a stopped extraction. */
#include "testsupport.h"

#include <gtest/gtest.h>

#include "resource.h"
#include "statbar.h"
#include "unload.h"

ExtractOutcome RunExtraction(const std::string &dest, std::vector<int> answers, bool bProgress)
{
    ExtractOutcome out;
    BoxAnswerer answerer(std::move(answers), GetCurrentProcessId(), 1500);
    if (bProgress) {
        EXPECT_EQ(StatDlgStart(NULL), 1);
    }
    out.nResult = ResToFiles(dest.c_str());
    out.bDialogLeftOpen = GetStatDlg() != NULL;
    if (out.bDialogLeftOpen)
        out.status = ReadControl(GetStatDlg(), IDC_STATUS);
    StatDlgEnd();
    out.boxes = answerer.Stop();
    return out;
}

std::string BoxTexts(const std::vector<SeenBox> &boxes)
{
    std::string s;
    for (const SeenBox &b : boxes)
        s += "[" + b.caption + ": " + b.text + "] ";
    return s;
}

void ExpectErrorBox(const SeenBox &box, const char *pszText)
{
    EXPECT_EQ(box.caption, "Installer");
    EXPECT_EQ(box.text, pszText);
    EXPECT_EQ(box.icon, "error");
}

void ExpectStoppedWith(const ExtractOutcome &out, const char *pszText)
{
    EXPECT_EQ(out.nResult, 0);
    EXPECT_FALSE(out.bDialogLeftOpen) << "closed before the message";
    ASSERT_EQ(out.boxes.size(), 1u) << BoxTexts(out.boxes);
    ExpectErrorBox(out.boxes[0], pszText);
}
