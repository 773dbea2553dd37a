#include <gtest/gtest.h>
#include "testsupport.h"

TEST(Smoke, ManifestModuleLoads)
{
    HINSTANCE h = UseManifest("manifest_smoke");
    ASSERT_NE(h, nullptr);
    char sz[32];
    EXPECT_EQ(LoadStringA(h, 98, sz, sizeof(sz)), 9);
    EXPECT_STREQ(sz, "SMOKE.PKG");
    EXPECT_EQ(LoadStringA(h, 1001, sz, sizeof(sz)), 6);
}

TEST(Smoke, MessageBoxIsAnswered)
{
    BoxAnswerer answerer({IDNO});
    int r = MessageBoxA(NULL, "Hello", "Caption  ", MB_YESNO | MB_ICONQUESTION);
    std::vector<SeenBox> seen = answerer.Stop();
    EXPECT_EQ(r, IDNO);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Caption  ");
    EXPECT_EQ(seen[0].text, "Hello");
    EXPECT_EQ(seen[0].icon, "question");
}
