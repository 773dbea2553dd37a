/* kit_installer_test.cpp - the sample's installer written by `quarnel-kit
 * build` into the stub against the one quarnel_add_product() links: the
 * program must not see a difference, in any string, checksum or template,
 * nor in what an install leaves behind, nor in the version the file's
 * properties show. */
#include <gtest/gtest.h>

#include <map>

#include "e2e_session.h"
#include "resource.h"

namespace {

/* The CMake-built sample beside the build's tests folder, the kit-built
   one where the kit_build_sample step put it. */
std::string LinkedExe()
{
    return ExeDir() + "..\\quarnel.exe";
}

std::string KitExe()
{
    return ProductDir("kitsample") + "quarnel.exe";
}

/* A module loaded as data, freed when the test ends. */
struct DataModule {
    HMODULE h;
    explicit DataModule(const std::string &path) : h(LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule()
    {
        if (h)
            FreeLibrary(h);
    }
};

std::string ResourceBytes(HMODULE h, const char *pszName, const char *pszType)
{
    HRSRC hRes = FindResourceA(h, pszName, pszType);
    HGLOBAL hData = hRes ? LoadResource(h, hRes) : NULL;
    const char *p = hData ? static_cast<const char *>(LockResource(hData)) : NULL;
    return p ? std::string(p, SizeofResource(h, hRes)) : std::string("<absent>");
}

TEST(KitInstaller, ReadsLikeTheLinkedOne)
{
    DataModule linked(LinkedExe()), kit(KitExe());
    ASSERT_TRUE(linked.h != NULL) << LinkedExe();
    ASSERT_TRUE(kit.h != NULL) << KitExe() << ": the kit_build_sample step did not run";
    int nPresent = 0;
    for (unsigned uId = 0; uId <= 0xffff; uId++) {
        char szLinked[1100] = "", szKit[1100] = "";
        int cchLinked = LoadStringA(linked.h, uId, szLinked, sizeof szLinked);
        int cchKit = LoadStringA(kit.h, uId, szKit, sizeof szKit);
        ASSERT_EQ(cchKit, cchLinked) << "entry " << uId;
        ASSERT_STREQ(szKit, szLinked) << "entry " << uId;
        nPresent += cchLinked > 0;
    }
    EXPECT_GT(nPresent, 30);
    /* The checksums, the templates, the icons and the version the file's
       properties show: each present in both, byte for byte the same. */
    const struct {
        const char *pszName;
        int nType;
    } aResources[] = {
        {RES_PACKAGE_SUMS, 10},   {"PARVEXDLG", 5},       {"BROWSEDLG", 5},       {"VERIFYDLG", 5},
        {"VERIFYDLGNOSUB", 5},    {"VERIFYDLGROOTDIR", 5}, {"VERIFYDLGWINDIR", 5}, {"VERIFYDLGSYSDIR", 5},
        {"DISKSPACEDLG", 5},      {"WAITDLG", 5},          {"CARGO", 14},          {"QUARNEL", 14},
        {MAKEINTRESOURCEA(1), 16},
    };
    for (const auto &res : aResources) {
        std::string strLinked = ResourceBytes(linked.h, res.pszName, MAKEINTRESOURCEA(res.nType));
        std::string strWhat = IS_INTRESOURCE(res.pszName) ? "#" + std::to_string((ULONG_PTR)res.pszName)
                                                          : std::string(res.pszName);
        EXPECT_NE(strLinked, "<absent>") << strWhat << " of type " << res.nType;
        EXPECT_EQ(ResourceBytes(kit.h, res.pszName, MAKEINTRESOURCEA(res.nType)), strLinked)
            << strWhat << " of type " << res.nType;
    }
}

std::string VersionText(const std::vector<char> &vInfo, const char *pszName)
{
    void *pv = NULL;
    UINT cch = 0;
    std::string strPath = std::string("\\StringFileInfo\\040904E4\\") + pszName;
    if (!VerQueryValueA(vInfo.data(), strPath.c_str(), &pv, &cch) || !pv)
        return "<absent>";
    return std::string(static_cast<const char *>(pv));
}

TEST(KitInstaller, ShowsTheProductsVersionInItsProperties)
{
    DWORD dwHandle = 0;
    DWORD cb = GetFileVersionInfoSizeA(KitExe().c_str(), &dwHandle);
    ASSERT_GT(cb, 0u) << KitExe();
    std::vector<char> vInfo(cb);
    ASSERT_TRUE(GetFileVersionInfoA(KitExe().c_str(), 0, cb, vInfo.data()));
    VS_FIXEDFILEINFO *pFixed = NULL;
    UINT cbFixed = 0;
    ASSERT_TRUE(VerQueryValueA(vInfo.data(), "\\", reinterpret_cast<void **>(&pFixed), &cbFixed));
    ASSERT_EQ(cbFixed, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(pFixed->dwSignature, 0xfeef04bdu);
    EXPECT_EQ(pFixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(pFixed->dwFileVersionLS, 0u);
    EXPECT_EQ(pFixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(pFixed->dwFileType, (DWORD)VFT_APP);
    EXPECT_EQ(VersionText(vInfo, "ProductName"), "Quarnel Sample");
    EXPECT_EQ(VersionText(vInfo, "CompanyName"), "Quarnel");
    EXPECT_EQ(VersionText(vInfo, "FileVersion"), "1.0.0.0");
    EXPECT_EQ(VersionText(vInfo, "ProductVersion"), "1.0.0.0");
    EXPECT_EQ(VersionText(vInfo, "FileDescription"), "Quarnel Sample Setup");
    struct {
        WORD wLang, wCodePage;
    } *pTranslation = NULL;
    UINT cbTranslation = 0;
    ASSERT_TRUE(VerQueryValueA(vInfo.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&pTranslation),
                               &cbTranslation));
    ASSERT_EQ(cbTranslation, 4u);
    EXPECT_EQ(pTranslation->wLang, 0x409);
    EXPECT_EQ(pTranslation->wCodePage, 1252);
}

/* What an install left behind, with the destination written as %D so that
   two installs into two folders compare. */
typedef std::map<std::string, std::string> Found;

std::string Relative(std::string s, const std::string &dest)
{
    for (size_t n = 0; (n = s.find(dest, n)) != std::string::npos;)
        s.replace(n, dest.size(), "%D");
    return s;
}

void CollectFiles(const std::string &dir, const std::string &dest, Found *pFound)
{
    ForEachBelow(dir, [&](const std::string &path, bool fDir) {
        (*pFound)[Relative(path, dest)] =
            fDir ? "<folder>" : CreationDate(path) + " " + Relative(ReadBytes(path), dest);
    });
}

/* Installs the sample with exe into dest, answering as a user who accepts
   everything, and gathers the files (bytes and dates; the INI file among
   them) and the program group's shortcuts. */
void InstallSample(const std::string &exe, const std::string &dest, Found *pFound)
{
    const std::string group = ProgramsDir() + "Quarnel Sample\\";
    RemoveTree(group);
    ASSERT_TRUE(WaitForProgramManager(30000));
    Installer inst(exe);
    ASSERT_TRUE(inst.Started()) << exe;
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL) << exe;
    inst.TypeAndOk(hMain, dest);
    HWND hVerify = inst.Confirmation();
    ASSERT_TRUE(hVerify != NULL) << exe;
    ASSERT_TRUE(inst.Answer(hVerify, IDOK));
    SeenBox done = inst.NextBox(30000);
    ASSERT_TRUE(done.bFound) << exe;
    EXPECT_EQ(done.caption, "Installer") << exe;
    EXPECT_EQ(done.text, "Quarnel Sample is installed.") << exe;
    ASSERT_TRUE(inst.Answer(done.hWnd, IDOK));
    EXPECT_EQ(inst.Exit(), 0) << exe;
    CloseWindowsTitled("Quarnel Sample", 4000);
    CollectFiles(dest, dest, pFound);
    std::map<std::string, std::string> links = GroupShortcuts(group);
    ASSERT_FALSE(links.empty()) << "no program group " << group;
    std::string upperDest = dest;
    CharUpperA(&upperDest[0]);
    for (auto &link : links) {
        std::string target = link.second;
        CharUpperA(&target[0]);
        (*pFound)["group: " + link.first] = Relative(target, upperDest);
    }
}

/* The kit's installer unsigned and signed, and the linked one signed by
   quarnel_add_product(... SIGN_PKCS12): a signature changes nothing the
   program reads. */
TEST(KitInstaller, InstallsLikeTheLinkedOne)
{
    const std::string base = ScratchDir("kitsample");
    Found linked;
    InstallSample(LinkedExe(), base + "LINKED\\", &linked);
    for (const char *pszProduct : {"kitsample", "kitsigned", "signedsample"}) {
        Found other;
        InstallSample(ProductDir(pszProduct) + "quarnel.exe", base + pszProduct + "\\", &other);
        EXPECT_EQ(other, linked) << pszProduct;
    }
    EXPECT_EQ(linked.count("%DDOCS\\EXTRA\\DATA.BIN"), 1u);
    EXPECT_NE(linked["%DSAMPLE.INI"].find("Path=%D"), std::string::npos) << linked["%DSAMPLE.INI"];
    EXPECT_EQ(linked["group: Guide.lnk"], "%DDOCS\\GUIDE.TXT");
}

/* The icons' commands hold %D, which becomes whatever the user chose: below
   an existing folder with blanks and parentheses, and in a new folder whose
   name holds a comma, every shortcut is made and points at its file. */
TEST(KitInstaller, IconsHoldWhateverTheDestinationBecomes)
{
    const std::string existing = "C:\\Program Files (x86)";
    ASSERT_TRUE(DirExists(existing)) << "the prefix has no " << existing;
    for (const std::string &dest : {existing + "\\QSAMPLE\\", std::string("C:\\A,B\\")}) {
        RemoveTree(dest);
        Found found;
        InstallSample(KitExe(), dest, &found);
        EXPECT_EQ(found.count("%DDOCS\\EXTRA\\DATA.BIN"), 1u) << dest;
        const Found wantIcons = {{"group: Guide.lnk", "%DDOCS\\GUIDE.TXT"}, {"group: Read Me.lnk", "%DREADME.TXT"}};
        Found icons;
        for (const auto &entry : found)
            if (entry.first.compare(0, 7, "group: ") == 0)
                icons.insert(entry);
        EXPECT_EQ(icons, wantIcons) << dest;
        RemoveTree(dest);
    }
}

} // namespace

namespace {

/* From a folder of files to an install: the product file init wrote for
   the sample's files, built by the kit, installs each file unchanged. */
TEST(KitInstaller, InstallsWhatInitStarted)
{
    const std::string dest = ScratchDir("kitstarted") + "APP\\";
    Installer inst(ProductDir("kitstarted") + "quarnel.exe");
    ASSERT_TRUE(inst.Started());
    HWND hMain = inst.MainDialog();
    ASSERT_TRUE(hMain != NULL);
    inst.TypeAndOk(hMain, dest);
    HWND hVerify = inst.Confirmation();
    ASSERT_TRUE(hVerify != NULL);
    ASSERT_TRUE(inst.Answer(hVerify, IDOK));
    EXPECT_EQ(inst.Exit(), 0);
    for (const char *pszName : {"README.TXT", "GUIDE.TXT", "DATA.BIN"}) {
        std::string source = ReadBytes(ProductDir("kitstarted-src") + "files\\" + pszName);
        EXPECT_FALSE(source.empty()) << pszName;
        EXPECT_EQ(ReadBytes(dest + pszName), source) << pszName;
    }
}

} // namespace
