#include <gtest/gtest.h>
#include "testsupport.h"

#include <fstream>

/* The machine type in a PE file's header, 0 when it cannot be read. */
static WORD PeMachine(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    IMAGE_DOS_HEADER dos = {};
    DWORD dwSig = 0;
    IMAGE_FILE_HEADER file = {};
    if (!in.read(reinterpret_cast<char *>(&dos), sizeof(dos)) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        !in.seekg(dos.e_lfanew) || !in.read(reinterpret_cast<char *>(&dwSig), sizeof(dwSig)) ||
        dwSig != IMAGE_NT_SIGNATURE || !in.read(reinterpret_cast<char *>(&file), sizeof(file)))
        return 0;
    return file.Machine;
}

/* A tree's run can never fall back silently to the other target's
   programs: an i686 tree runs as a 32-bit process under WoW64 and tests
   the 32-bit installer, an x86_64 tree as a native 64-bit process with the
   64-bit installer.  The tree's CTest says which it is. */
TEST(Smoke, RunsAsTheProcessKindOfItsTree)
{
    const char *pszCpu = getenv("QUARNEL_TREE_CPU");
    ASSERT_NE(pszCpu, nullptr) << "run from the test list, which names the tree's processor";
    const bool f32 = std::string(pszCpu) == "i686";
    ASSERT_TRUE(f32 || std::string(pszCpu) == "x86_64") << pszCpu;
    BOOL fWow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &fWow64));
    EXPECT_EQ(fWow64 != FALSE, f32) << "WoW64 process";
    EXPECT_EQ(sizeof(void *), f32 ? 4u : 8u);
    EXPECT_EQ(PeMachine(ExeDir() + "..\\quarnel.exe"), f32 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64);
}

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

static int CALLBACK FontFound(const LOGFONTA *, const TEXTMETRICA *, DWORD, LPARAM lParam)
{
    *reinterpret_cast<bool *>(lParam) = true;
    return 0;
}

/* Window captions draw their buttons with Marlett's glyphs; without the
   font a close button shows the letter "r" (and screenshots show it). */
TEST(Smoke, CaptionGlyphFontIsThere)
{
    HDC hdc = GetDC(NULL);
    LOGFONTA lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, "Marlett", LF_FACESIZE);
    bool bFound = false;
    EnumFontFamiliesExA(hdc, &lf, FontFound, reinterpret_cast<LPARAM>(&bFound), 0);
    ReleaseDC(NULL, hdc);
    EXPECT_TRUE(bFound) << "the prefix has no Marlett font";
}
