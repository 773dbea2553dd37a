/* driver_unit_test.cpp - the driver's functions called directly: the
 * creation of the destination's subdirectories (and its refusal of paths
 * that would have to be cut), the choice of confirmation by path type, and
 * the centring of the destination dialog. */
#include <gtest/gtest.h>

#include "quarnel.h"
#include "resource.h"
#include "testsupport.h"

#include "e2e_session.h"

namespace {

/* A destination of exactly nLen characters below base, ending in "\",
   made of components of at most 60 characters. */
std::string LongDest(const std::string &base, size_t nLen)
{
    std::string dest = base;
    char c = 'A';
    while (dest.size() < nLen) {
        size_t nLeft = nLen - dest.size();
        size_t nName = nLeft - 1 > 60 ? 60 : nLeft - 1;
        if (nLeft - 1 - nName == 1) /* never leave room for an empty name */
            nName--;
        dest.append(nName, c++).push_back('\\');
    }
    return dest;
}

} // namespace

TEST(CreatePaths, MakesTheDestinationAndEverySubdirectory)
{
    ASSERT_TRUE(UseManifest("manifest_driver") != NULL);
    const std::string dest = ScratchDir("paths-ok") + "NEW\\DEST\\";
    BoxAnswerer boxes({});
    EXPECT_EQ(CreatePaths(dest.c_str()), 1);
    EXPECT_TRUE(boxes.Stop().empty());
    EXPECT_TRUE(DirExists(dest + "ONE\\TWO"));
    EXPECT_TRUE(DirExists(dest + "THIRTY_CHARACTERS_LONG_NAME_XX"));
    /* A second run finds everything in place and accepts it silently. */
    BoxAnswerer again({});
    EXPECT_EQ(CreatePaths(dest.c_str()), 1);
    EXPECT_TRUE(again.Stop().empty());
}

TEST(CreatePaths, NestedBeforeParentIsReportedWithTheManifestText)
{
    ASSERT_TRUE(UseManifest("manifest_driver_nowarn") != NULL);
    const std::string dest = ScratchDir("paths-order");
    BoxAnswerer boxes({IDOK});
    EXPECT_EQ(CreatePaths(dest.c_str()), 0);
    std::vector<SeenBox> seen = boxes.Stop();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Installer");
    EXPECT_EQ(seen[0].text, "Could not make a subdirectory.");
    EXPECT_EQ(seen[0].icon, "error");
    EXPECT_FALSE(DirExists(dest + "LATER"));
}

TEST(CreatePaths, JoinedPathBeyond255IsRefusedNotCut)
{
    ASSERT_TRUE(UseManifest("manifest_driver") != NULL);
    /* 230 + "ONE\TWO" fits; 230 + the 30-character name would be 260. */
    const std::string dest = LongDest(ScratchDir("paths-long"), 230);
    ASSERT_EQ(dest.size(), 230u);
    BoxAnswerer boxes({IDOK});
    EXPECT_EQ(CreatePaths(dest.c_str()), 0);
    std::vector<SeenBox> seen = boxes.Stop();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Subdirectory creation failed.");
    EXPECT_TRUE(DirExists(dest + "ONE\\TWO"));
    EXPECT_FALSE(DirExists(dest + "THIRTY_CHARACTERS_LONG_NAME_"));
    EXPECT_FALSE(DirExists(dest + "THIRTY_CHARACTERS_LONG_NAME_XX"));
}

TEST(CreatePaths, DestinationBeyond235IsRefusedNotCut)
{
    ASSERT_TRUE(UseManifest("manifest_driver") != NULL);
    const std::string base = ScratchDir("paths-235");
    const std::string dest = LongDest(base, 240);
    ASSERT_EQ(dest.size(), 240u);
    BoxAnswerer boxes({IDOK});
    EXPECT_EQ(CreatePaths(dest.c_str()), 0);
    std::vector<SeenBox> seen = boxes.Stop();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Subdirectory creation failed.");
    /* Cut at 235, "ONE" would have landed beside the destination's last
       directory instead of inside it. */
    EXPECT_FALSE(DirExists(dest.substr(0, 235) + "ONE"));
    EXPECT_FALSE(DirExists(dest + "ONE"));
}

TEST(GetPathType, TellsRootWindowsAndSystemFolders)
{
    const std::string win = WindowsDir(), sys = SystemDir();
    struct {
        std::string path;
        int nWarned;   /* warnings at their defaults */
        int nUnwarned; /* every warning switched off */
    } cases[] = {
        {"C:\\", 1, 0},
        {"c:\\", 1, 0},
        {"Z:\\", 1, 0},
        {"C:", 0, 0},
        {"C:\\QX\\", 0, 0},
        {win, 2, 0},
        {win.substr(0, win.size() - 1), 0, 0},
        {sys, 3, 0},
        {sys + "DRIVERS\\", 0, 0},
        {"", 0, 0},
    };
    std::string winUpper = win;
    for (char &c : winUpper)
        c = (char)toupper((unsigned char)c);

    ASSERT_TRUE(UseManifest("manifest_driver") != NULL);
    for (const auto &c : cases)
        EXPECT_EQ(GetPathType(NULL, c.path.c_str()), c.nWarned) << c.path;
    EXPECT_EQ(GetPathType(NULL, winUpper.c_str()), 2);

    ASSERT_TRUE(UseManifest("manifest_driver_nowarn") != NULL);
    for (const auto &c : cases)
        EXPECT_EQ(GetPathType(NULL, c.path.c_str()), c.nUnwarned) << c.path;
}

TEST(CenterWindow, PlacesTheWindowInTheMiddleOfTheScreen)
{
    const int cxScreen = GetSystemMetrics(SM_CXSCREEN), cyScreen = GetSystemMetrics(SM_CYSCREEN);
    const int sizes[][2] = {{300, 200}, {301, 201}, {cxScreen + 41, 50}};
    for (const auto &size : sizes) {
        HWND hWnd = CreateWindowExA(0, "STATIC", "centre me", WS_POPUP, 3, 5, size[0], size[1],
                                    NULL, NULL, NULL, NULL);
        ASSERT_TRUE(hWnd != NULL);
        EXPECT_EQ(CenterWindow(hWnd), 1);
        RECT rc;
        GetWindowRect(hWnd, &rc);
        EXPECT_EQ(rc.left, (cxScreen - size[0]) / 2) << size[0];
        EXPECT_EQ(rc.top, (cyScreen - size[1]) / 2) << size[1];
        EXPECT_EQ(rc.right - rc.left, size[0]);
        EXPECT_EQ(rc.bottom - rc.top, size[1]);
        DestroyWindow(hWnd);
    }
}
