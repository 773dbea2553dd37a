/* build_test.cpp - the product put into the stub without Windows tools: the
 * installer the kit writes must carry what the resource compiler and linker
 * put into the sample installer, in an image the loader can map; stubs the
 * kit cannot use are refused; a failed build leaves nothing behind. */
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "kit_build.h"
#include "kit_pe.h"
#include "kit_pew.h"
#include "kit_testutil.h"

namespace {

const unsigned RT_RCDATA = 10, RT_VERSION = 16;

std::string StubPath(const char *pszTarget)
{
    std::string strKit = KIT_TOOL;
    return strKit.substr(0, strKit.find_last_of('/') + 1) + "quarnel-stub-" + pszTarget + ".exe";
}

/* A target's stub and its layout. */
Bytes ReadStub(const char *pszTarget, PeLayout *pLayout)
{
    Bytes v = ReadAll(StubPath(pszTarget));
    std::vector<PeResource> vRes;
    std::string strError;
    EXPECT_GT(v.size(), 4096u) << StubPath(pszTarget) << ": build the Windows trees first";
    EXPECT_TRUE(ReadPeResources(v, pLayout, &vRes, &strError)) << strError;
    return v;
}

uint32_t Get32(const Bytes &v, uint64_t n)
{
    return v[n] | (v[n + 1] << 8) | (v[n + 2] << 16) | ((uint32_t)v[n + 3] << 24);
}

/* The sample's manifest and checksums as the resource compiler put them
   into the CMake-built installer. */
struct Sample {
    StringTable table;
    Bytes vSums;
};

Sample ReadSample(const Bytes &vExe)
{
    Sample s;
    std::string strError;
    EXPECT_TRUE(ReadPeStringTable(vExe, &s.table, &strError)) << strError;
    EXPECT_EQ(ReadPeNamedResource(vExe, RT_RCDATA, "QPKGSUMS", &s.vSums, &strError), 1) << strError;
    return s;
}

ProductVersion SampleVersion()
{
    ProductVersion version;
    version.strName = "Quarnel Sample";
    version.strVersion = "1.0";
    version.awNumbers[0] = 1;
    version.strPublisher = "Quarnel";
    return version;
}

Bytes Build(const Bytes &vStub, const Manifest &manifest, const Bytes &vSums, std::string *pstrError)
{
    ProductVersion version = SampleVersion();
    InstallerParts parts;
    parts.pManifest = &manifest;
    parts.pvSums = &vSums;
    parts.pVersion = &version;
    Bytes vImage;
    if (!WriteInstallerImage(vStub, parts, &vImage, pstrError))
        vImage.clear();
    return vImage;
}

/* Named keys first, by upper-cased name; then numbers ascending. */
bool KeyBefore(const ResourceKey &a, const ResourceKey &b)
{
    if (a.strName.empty() != b.strName.empty())
        return !a.strName.empty();
    if (a.strName.empty())
        return a.uId < b.uId;
    std::u16string strA = a.strName, strB = b.strName;
    for (std::u16string *p : {&strA, &strB})
        for (char16_t &c : *p)
            c = (c >= u'a' && c <= u'z') ? (char16_t)(c - 32) : c;
    return strA < strB;
}

/* The headers of the image agree with its sections: each section follows
   the one before by whole alignment steps, SizeOfImage covers the last,
   the resource and relocation directories name their sections, and the
   checksum is the image's. */
void ExpectSoundLayout(const Bytes &v, const Bytes &vStub)
{
    PeLayout l, lStub;
    std::vector<PeResource> vRes;
    std::string strError;
    ASSERT_TRUE(ReadPeResources(v, &l, &vRes, &strError)) << strError;
    ASSERT_TRUE(ReadPeResources(vStub, &lStub, &vRes, &strError)) << strError;
    ASSERT_EQ(l.vSections.size(), lStub.vSections.size());
    uint64_t nRawEnd = 0;
    for (size_t i = 0; i < l.vSections.size(); i++) {
        const PeSection &s = l.vSections[i];
        EXPECT_EQ(s.dwVirtualAddress % l.dwSectionAlignment, 0u) << s.strName;
        EXPECT_EQ(s.dwRawOffset % l.dwFileAlignment, 0u) << s.strName;
        if (i > 0) {
            const PeSection &p = l.vSections[i - 1];
            uint64_t nNext = (p.dwVirtualAddress + (uint64_t)p.dwVirtualSize + l.dwSectionAlignment - 1) /
                             l.dwSectionAlignment * l.dwSectionAlignment;
            EXPECT_EQ(s.dwVirtualAddress, nNext) << s.strName;
        }
        if (s.dwRawSize)
            nRawEnd = std::max(nRawEnd, (uint64_t)s.dwRawOffset + s.dwRawSize);
        if (s.strName == ".rsrc") {
            EXPECT_EQ(l.vDirectories[2].dwRva, s.dwVirtualAddress);
        }
        if (s.strName == ".reloc") {
            EXPECT_EQ(l.vDirectories[5].dwRva, s.dwVirtualAddress);
            const PeSection &old = lStub.vSections[i];
            EXPECT_TRUE(std::equal(v.begin() + s.dwRawOffset, v.begin() + s.dwRawOffset + s.dwRawSize,
                                   vStub.begin() + old.dwRawOffset))
                << "the relocations are moved unchanged";
        }
    }
    EXPECT_EQ(nRawEnd, v.size());
    const PeSection &last = l.vSections.back();
    EXPECT_EQ(Get32(v, l.nOpt + 56), (last.dwVirtualAddress + last.dwVirtualSize + l.dwSectionAlignment - 1) /
                                         l.dwSectionAlignment * l.dwSectionAlignment);
    EXPECT_EQ(Get32(v, l.nOpt + 64), ComputePeChecksum(v, l.nOpt + 64));
    EXPECT_EQ(Get32(vStub, l.nOpt + 64), ComputePeChecksum(vStub, l.nOpt + 64)) << "the linker's own sum";
    EXPECT_EQ(Get32(v, l.nCoff + 4), 0u) << "no time stamp";
}

class BothStubs : public ::testing::TestWithParam<std::pair<const char *, const char *>> {};

TEST_P(BothStubs, CarryWhatTheResourceCompilerPutsIntoTheSample)
{
    Bytes vStub = ReadAll(StubPath(GetParam().first)), vExe = ReadAll(GetParam().second);
    ASSERT_GT(vStub.size(), 4096u) << StubPath(GetParam().first) << ": build the Windows trees first";
    ASSERT_GT(vExe.size(), 4096u) << GetParam().second << ": build the Windows trees first";
    Sample sample = ReadSample(vExe);
    std::string strError;
    Bytes vImage = Build(vStub, sample.table.mapEntries, sample.vSums, &strError);
    ASSERT_FALSE(vImage.empty()) << strError;

    StringTable table;
    ASSERT_TRUE(ReadPeStringTable(vImage, &table, &strError)) << strError;
    EXPECT_EQ(table.mapEntries, sample.table.mapEntries);
    EXPECT_EQ(table.mapBlockLanguages, sample.table.mapBlockLanguages) << "the languages windres writes";

    /* Every resource of the linked sample, in the same language with the
       same bytes, the version resource from the product file included. */
    PeLayout layout;
    std::vector<PeResource> vKit, vLinked;
    ASSERT_TRUE(ReadPeResources(vImage, &layout, &vKit, &strError)) << strError;
    ASSERT_TRUE(ReadPeResources(vExe, &layout, &vLinked, &strError)) << strError;
    size_t nVersions = 0;
    for (const PeResource &res : vKit) {
        nVersions += res.type.uId == RT_VERSION && res.type.strName.empty();
        bool fFound = false;
        for (const PeResource &linked : vLinked)
            fFound |= linked.type.uId == res.type.uId && linked.type.strName == res.type.strName &&
                      linked.name.uId == res.name.uId && linked.name.strName == res.name.strName &&
                      linked.uLang == res.uLang && linked.vData == res.vData;
        EXPECT_TRUE(fFound) << "type " << res.type.uId << " name " << res.name.uId;
    }
    EXPECT_EQ(nVersions, 1u);
    EXPECT_EQ(vKit.size(), vLinked.size());

    /* The loader halves each directory: read in file order, the keys of
       one level ascend. */
    for (size_t i = 1; i < vKit.size(); i++) {
        const PeResource &a = vKit[i - 1], &b = vKit[i];
        bool fSameType = !KeyBefore(a.type, b.type) && !KeyBefore(b.type, a.type);
        EXPECT_TRUE(KeyBefore(a.type, b.type) || (fSameType && KeyBefore(a.name, b.name)) ||
                    (fSameType && !KeyBefore(b.name, a.name) && a.uLang < b.uLang))
            << "resource " << i;
    }
    ExpectSoundLayout(vImage, vStub);
}

INSTANTIATE_TEST_SUITE_P(Targets, BothStubs,
                         ::testing::Values(std::make_pair("win32", KIT_WIN32_EXE),
                                           std::make_pair("win64", KIT_WIN64_EXE)));

/* Patches a 32-bit field of the stub's headers. */
Bytes WithField(Bytes v, uint64_t n, uint32_t dw)
{
    for (int i = 0; i < 4; i++)
        v[n + i] = (unsigned char)(dw >> (8 * i));
    return v;
}

/* The stub with one resource name changed, so it no longer reads as ours. */
Bytes Renamed(Bytes v, const std::u16string &strFrom, const std::u16string &strTo)
{
    Bytes vFrom, vTo;
    for (char16_t c : strFrom)
        vFrom.insert(vFrom.end(), {(unsigned char)c, (unsigned char)(c >> 8)});
    for (char16_t c : strTo)
        vTo.insert(vTo.end(), {(unsigned char)c, (unsigned char)(c >> 8)});
    auto it = std::search(v.begin(), v.end(), vFrom.begin(), vFrom.end());
    if (it != v.end())
        std::copy(vTo.begin(), vTo.end(), it);
    return v;
}

TEST(WriteInstallerImage, RefusesWhatIsNotAnUnsignedStubWithoutAProduct)
{
    PeLayout l;
    Bytes vStub = ReadStub("win64", &l);
    ASSERT_FALSE(HasFailure());
    std::string strError;
    Sample sample = ReadSample(ReadAll(KIT_WIN64_EXE));
    Bytes vBuilt = Build(vStub, sample.table.mapEntries, sample.vSums, &strError);
    Bytes vOverlay = vStub;
    vOverlay.insert(vOverlay.end(), 512, 0);
    Bytes vText(8192, 'x');
    /* The relocations made non-discardable stand for any section that code
       may address. */
    const PeSection &reloc = l.vSections.back();
    struct Case {
        Bytes v;
        const char *pszWhy;
    } cases[] = {
        {vText, "not a Windows executable the kit can read: not an executable (no MZ header)"},
        {Bytes(vStub.begin(), vStub.begin() + 300), "not a Windows executable the kit can read"},
        {WithField(vStub, l.nDirs + 8 * 4, 0x1000), "the stub is signed"},
        {WithField(vStub, l.nDirs + 8 * 4 + 4, 0x100), "the stub is signed"},
        {vOverlay, "512 bytes follow the stub's last section (overlay data)"},
        {vBuilt, "the stub already carries a product (it has a "},
        {ReadAll(KIT_WIN64_EXE), "the stub already carries a product"},
        {Renamed(vStub, u"PARVEXDLG", u"PARVEXDLH"), "not a Quarnel installer stub"},
        {WithField(vStub, reloc.nHeader + 36, reloc.dwCharacteristics & ~0x02000000u),
         "section .reloc lies after the resources and is not discardable"},
        {WithField(vStub, l.nOpt + 36, 0x300), "alignments are not powers of two"},
    };
    for (const Case &c : cases) {
        strError.clear();
        EXPECT_TRUE(Build(c.v, sample.table.mapEntries, sample.vSums, &strError).empty()) << c.pszWhy;
        EXPECT_NE(strError.find(c.pszWhy), std::string::npos) << strError;
    }
    /* The near miss: the stub as built, and named in lower case. */
    EXPECT_FALSE(Build(vStub, sample.table.mapEntries, sample.vSums, &strError).empty()) << strError;
    EXPECT_FALSE(Build(Renamed(vStub, u"PARVEXDLG", u"parvexdlg"), sample.table.mapEntries, sample.vSums, &strError)
                     .empty())
        << strError;
}

/* Damage anywhere in the stub's headers or resources is refused with a
   reason or gives an image whose strings read back whole: the writer never
   trusts an offset. */
TEST(WriteInstallerImage, DamagedStubsFailCleanly)
{
    PeLayout l;
    Bytes vStub = ReadStub("win32", &l);
    ASSERT_FALSE(HasFailure());
    std::string strError;
    const PeSection *pRsrc = nullptr;
    for (const PeSection &s : l.vSections)
        pRsrc = s.strName == ".rsrc" ? &s : pRsrc;
    ASSERT_NE(pRsrc, nullptr);
    Manifest manifest = {{98, "A.PKG"}, {999, "0"}, {100, "C:\\A"}};
    Bytes vSums = {1, 2, 3, 4};
    std::vector<uint64_t> vAt;
    for (uint64_t n = 0; n < 0x400; n += 3)
        vAt.push_back(n);
    for (uint64_t n = pRsrc->dwRawOffset; n < (uint64_t)pRsrc->dwRawOffset + 0x600; n += 5)
        vAt.push_back(n);
    int nRefused = 0;
    for (uint64_t n : vAt)
        for (unsigned char bXor : {0x80, 0x0f, 0xff}) {
            Bytes v = vStub;
            v[n] ^= bXor;
            strError.clear();
            Bytes vImage = Build(v, manifest, vSums, &strError);
            if (vImage.empty()) {
                nRefused++;
                EXPECT_FALSE(strError.empty()) << "at " << n;
                continue;
            }
            StringTable table;
            EXPECT_TRUE(ReadPeStringTable(vImage, &table, &strError)) << "at " << n << ": " << strError;
            EXPECT_EQ(table.mapEntries, manifest) << "at " << n;
        }
    EXPECT_GT(nRefused, 20);
    for (size_t cb = 0; cb < vStub.size(); cb += vStub.size() / 61 + 1)
        EXPECT_TRUE(Build(Bytes(vStub.begin(), vStub.begin() + cb), manifest, vSums, &strError).empty()) << cb;
}

/* A product of two items, built in code. */
Product TwoItems()
{
    WriteText("src/a.txt", "alpha");
    WriteText("src/b.bin", "bravo!");
    Product product;
    product.strFile = "two.toml";
    product.strPackageName = "TWO.PKG";
    product.manifest = {{98, "TWO.PKG"},     {100, "C:\\TWO"},    {999, "2"},
                        {1000, "%DA.TXT"},   {1001, "%DB.BIN"},   {1400, "A"},
                        {1401, "B"},         {1800, "20240101"},  {1801, "20240101"}};
    product.vItemSources = {"src/a.txt", "src/b.bin"};
    product.version = SampleVersion();
    return product;
}

TEST(BuildProduct, WritesBothFilesOrNothing)
{
    ScratchCwd cwd;
    Product product = TwoItems();
    BuildRequest request;
    request.strStub = StubPath("win32");
    request.strOutDir = "out";
    BuildResult result;
    std::string strError;
    ASSERT_TRUE(BuildProduct(product, request, &result, &strError)) << strError;
    EXPECT_EQ(result.strInstaller, "out/quarnel.exe");
    Bytes vPackage = ReadAll("out/TWO.PKG");
    EXPECT_EQ(std::string(vPackage.begin(), vPackage.end()),
              std::string("\5\0\0\0alpha\6\0\0\0bravo!", 19));
    StringTable table;
    ASSERT_TRUE(ReadPeStringTable(ReadAll("out/quarnel.exe"), &table, &strError)) << strError;
    EXPECT_EQ(table.mapEntries, product.manifest);

    /* Each failure names its file and leaves the folder as it was: no new
       folder, no part files, the earlier build's files untouched. */
    struct Case {
        const char *pszOutDir, *pszStub, *pszItem, *pszWhy;
    } cases[] = {
        {"new", "", "src/missing.txt", "src/missing.txt"},
        {"new", "nostub.exe", "", "nostub.exe: no such file"},
        {"new", "src/a.txt", "", "src/a.txt: not a Windows executable"},
        {"out", "", "src/missing.txt", "src/missing.txt"},
        {"no/such/dir", "", "", "no/such/dir: its parent folder does not exist"},
        {"src/a.txt", "", "", "src/a.txt: exists and is not a folder"},
        {"src", "", "src/TWO.PKG", "src/TWO.PKG: is one of the product's own files"},
    };
    WriteText("src/TWO.PKG", "an item that has the package's name");
    for (const Case &c : cases) {
        Product bad = product;
        if (*c.pszItem)
            bad.vItemSources[1] = c.pszItem;
        BuildRequest req = request;
        req.strOutDir = c.pszOutDir;
        if (*c.pszStub)
            req.strStub = c.pszStub;
        EXPECT_FALSE(BuildProduct(bad, req, &result, &strError)) << c.pszWhy;
        EXPECT_NE(strError.find(c.pszWhy), std::string::npos) << strError;
        EXPECT_FALSE(Exists("new")) << c.pszWhy;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator("out"), {}), 2) << c.pszWhy;
        EXPECT_EQ(ReadAll("out/TWO.PKG"), vPackage) << c.pszWhy;
    }
    Bytes vItem = ReadAll("src/TWO.PKG");
    EXPECT_EQ(std::string(vItem.begin(), vItem.end()), "an item that has the package's name");
}

} // namespace

namespace {

/* The sample product copied into the scratch folder. */
void CopySample()
{
    namespace fs = std::filesystem;
    fs::copy(std::string(KIT_SOURCE_DIR) + "/examples/sample/files", "files", fs::copy_options::recursive);
    fs::copy(std::string(KIT_SOURCE_DIR) + "/examples/sample/sample.toml", "sample.toml");
}

TEST(BuildTool, BuildsFromTheStubBesideTheKitAndNamesWhatFails)
{
    ScratchCwd cwd;
    CopySample();
    ToolRun run = RunTool("build sample.toml -o dist");
    ASSERT_EQ(run.nExit, 0) << run.strOut;
    Bytes vExe = ReadAll("dist/quarnel.exe");
    PeLayout layout;
    std::vector<PeResource> vRes;
    std::string strError;
    ASSERT_TRUE(ReadPeResources(vExe, &layout, &vRes, &strError)) << strError;
    EXPECT_EQ(layout.uMagic, 0x10bu) << "the default stub is the 32-bit one";
    Bytes vSums;
    EXPECT_EQ(ReadPeNamedResource(vExe, RT_RCDATA, "QPKGSUMS", &vSums, &strError), 1);
    EXPECT_EQ(RunTool("verify dist/quarnel.exe dist/SAMPLE.PKG").nExit, 0);

    run = RunTool("build sample.toml -o unsealed --no-seal --stub " + StubPath("win64"));
    ASSERT_EQ(run.nExit, 0) << run.strOut;
    vExe = ReadAll("unsealed/quarnel.exe");
    ASSERT_TRUE(ReadPeResources(vExe, &layout, &vRes, &strError)) << strError;
    EXPECT_EQ(layout.uMagic, 0x20bu);
    EXPECT_EQ(ReadPeNamedResource(vExe, RT_RCDATA, "QPKGSUMS", &vSums, &strError), 0);

    WriteText("broken.toml", "[product\nname = 1\n");
    struct Case {
        const char *pszArgs;
        int nExit;
        const char *pszSays;
    } cases[] = {
        {"build sample.toml", 2, "--output is required"},
        {"build sample.toml -o out --stub nostub.exe", 1, "nostub.exe: no such file"},
        {"build sample.toml -o out --stub sample.toml", 1, "sample.toml: not a Windows executable"},
        {"build sample.toml -o out --stub dist/quarnel.exe", 1, "already carries a product"},
        {"build broken.toml -o out", 1, "broken.toml:1:"},
        {"build missing.toml -o out", 1, "missing.toml"},
        {"build sample.toml -o out --sign-pkcs12 none.p12 --sign-password-file nopass.txt", 1,
         "nopass.txt: cannot open the password file"},
        {"build sample.toml -o out --sign-pkcs12 none.p12", 1, "none.p12"},
    };
    for (const Case &c : cases) {
        ToolRun bad = RunTool(c.pszArgs);
        EXPECT_EQ(bad.nExit, c.nExit) << c.pszArgs << "\n" << bad.strOut;
        EXPECT_NE(bad.strOut.find(c.pszSays), std::string::npos) << c.pszArgs << "\n" << bad.strOut;
        EXPECT_FALSE(Exists("out")) << c.pszArgs;
    }
    setenv("SOURCE_DATE_EPOCH", "yesterday", 1);
    run = RunTool("build sample.toml -o out3");
    unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(run.nExit, 1) << run.strOut;
    EXPECT_NE(run.strOut.find("SOURCE_DATE_EPOCH=yesterday: not a number"), std::string::npos) << run.strOut;
    EXPECT_FALSE(Exists("out3"));
}

} // namespace

namespace {

/* The full example (every feature, and a © in a message) built by the kit
   reads as the one quarnel_add_product() links from the same product file:
   the same texts in code page 1252, the same checksums. */
TEST(BuildTool, FullProductReadsAsTheLinkedOne)
{
    std::string strLinked = KIT_WIN64_EXE;
    strLinked = strLinked.substr(0, strLinked.find_last_of('/') + 1) + "products/full/quarnel.exe";
    Bytes vLinked = ReadAll(strLinked);
    ASSERT_GT(vLinked.size(), 4096u) << strLinked << ": build the Windows trees first";
    ScratchCwd cwd;
    ToolRun run = RunTool("build " KIT_SOURCE_DIR "/examples/full/full.toml -o out --stub " + StubPath("win64"));
    ASSERT_EQ(run.nExit, 0) << run.strOut;
    Bytes vKit = ReadAll("out/quarnel.exe");
    Sample linked = ReadSample(vLinked), kit = ReadSample(vKit);
    EXPECT_EQ(kit.table.mapEntries, linked.table.mapEntries);
    EXPECT_EQ(kit.table.mapBlockLanguages, linked.table.mapBlockLanguages);
    EXPECT_EQ(kit.vSums, linked.vSums);
    bool fCopyright = false;
    for (const auto &entry : kit.table.mapEntries)
        fCopyright |= entry.second.find('\xa9') != std::string::npos;
    EXPECT_TRUE(fCopyright) << "the full example's message carries a (c) sign";
}

} // namespace

namespace {

namespace fs = std::filesystem;

/* Every name in a folder, sorted, to show that a failure left none of its
   own files behind and took none away. */
std::vector<std::string> NamesIn(const std::string &strDir)
{
    std::vector<std::string> v;
    for (const auto &e : fs::directory_iterator(strDir))
        v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}

/* A build whose last step fails (the installer's name is taken by a
   folder, so its rename fails after the package's succeeded) keeps the
   earlier package, names the failing call's own error, and takes no file
   it did not make: files named as the kit's temporaries stay. */
TEST(BuildProduct, LastStepFailingKeepsEarlierOutputs)
{
    ScratchCwd cwd;
    Product product = TwoItems();
    BuildRequest request;
    request.strStub = StubPath("win32");
    request.strOutDir = "out/";
    BuildResult result;
    std::string strError;
    ASSERT_TRUE(BuildProduct(product, request, &result, &strError)) << strError << " (a new folder named with a /)";
    Bytes vEarlier = ReadAll("out/TWO.PKG");
    WriteText("src/a.txt", "alpha, changed");
    struct Case {
        const char *pszCase;
        std::vector<std::string> vDirs;  /* taken by folders */
        std::vector<std::string> vFiles; /* someone else's files, beside */
        const char *pszWhy;              /* empty: built */
    } cases[] = {
        {"the installer's name is a folder", {"out/quarnel.exe"}, {}, "out/quarnel.exe: cannot put the file in place: "},
        {"the package's name is a folder", {"out/TWO.PKG"}, {}, "out/TWO.PKG: cannot put the file in place: "},
        {"files named as temporaries",
         {},
         {"out/.TWO.PKG.part", "out/.quarnel.exe.part", "out/.TWO.PKG.old", "out/quarnel.exe.signed"},
         ""},
        {"files named as temporaries, and a failure",
         {"out/quarnel.exe"},
         {"out/.TWO.PKG.part", "out/.quarnel.exe.part", "out/.TWO.PKG.old"},
         "out/quarnel.exe: cannot put the file in place: "},
    };
    for (const Case &c : cases) {
        fs::remove_all("out");
        fs::create_directory("out");
        WriteBytesTo("out/TWO.PKG", vEarlier);
        WriteText("out/quarnel.exe", "earlier installer");
        for (const std::string &str : c.vDirs) {
            fs::remove(str);
            fs::create_directories(str + "/inside");
        }
        for (const std::string &str : c.vFiles)
            WriteText(str, "not the kit's: " + str);
        std::vector<std::string> vBefore = NamesIn("out");
        strError.clear();
        int fBuilt = BuildProduct(product, request, &result, &strError);
        EXPECT_EQ(NamesIn("out"), vBefore) << c.pszCase;
        for (const std::string &str : c.vFiles) {
            Bytes v = ReadAll(str);
            EXPECT_EQ(std::string(v.begin(), v.end()), "not the kit's: " + str) << c.pszCase;
        }
        if (!*c.pszWhy) {
            EXPECT_TRUE(fBuilt) << c.pszCase << ": " << strError;
            EXPECT_NE(ReadAll("out/TWO.PKG"), vEarlier) << c.pszCase;
            continue;
        }
        EXPECT_FALSE(fBuilt) << c.pszCase;
        EXPECT_EQ(strError.find(c.pszWhy), 0u) << c.pszCase << ": " << strError;
        EXPECT_NE(strError.find(strerror(EISDIR)), std::string::npos) << c.pszCase << ": " << strError;
        for (const std::string &str : c.vDirs)
            EXPECT_TRUE(fs::is_directory(str + "/inside")) << c.pszCase;
        Bytes vPackage = fs::is_directory("out/TWO.PKG") ? vEarlier : ReadAll("out/TWO.PKG");
        EXPECT_EQ(vPackage, vEarlier) << c.pszCase;
        Bytes vInstaller = fs::is_directory("out/quarnel.exe") ? Bytes() : ReadAll("out/quarnel.exe");
        EXPECT_TRUE(vInstaller.empty() || std::string(vInstaller.begin(), vInstaller.end()) == "earlier installer")
            << c.pszCase;
    }
}

/* manifest -o and script -o leave an earlier output and the files beside
   it as they were when the last step fails, and say why. */
TEST(OutputTool, TextOutputsAreWrittenBesideAndRenamedLast)
{
    ScratchCwd cwd;
    CopySample();
    for (const char *pszCommand : {"manifest", "script"}) {
        std::string strCase = pszCommand;
        fs::remove_all("o");
        fs::create_directories("o/out.txt/inside");
        for (const char *pszBeside : {"o/out.txt.tmp", "o/.out.txt.part"})
            WriteText(pszBeside, "mine");
        std::vector<std::string> vBefore = NamesIn("o");
        ToolRun run = RunTool(strCase + " sample.toml -o o/out.txt");
        EXPECT_EQ(run.nExit, 1) << strCase << "\n" << run.strOut;
        EXPECT_NE(run.strOut.find("o/out.txt: cannot write: " + std::string(strerror(EISDIR))), std::string::npos)
            << strCase << "\n" << run.strOut;
        EXPECT_EQ(NamesIn("o"), vBefore) << strCase;
        fs::remove_all("o/out.txt");
        WriteText("o/out.txt", "earlier");
        run = RunTool(strCase + " sample.toml -o o/out.txt");
        EXPECT_EQ(run.nExit, 0) << strCase << "\n" << run.strOut;
        EXPECT_EQ(NamesIn("o"), vBefore) << strCase;
        for (const char *pszBeside : {"o/out.txt.tmp", "o/.out.txt.part"}) {
            Bytes v = ReadAll(pszBeside);
            EXPECT_EQ(std::string(v.begin(), v.end()), "mine") << strCase << ": " << pszBeside;
        }
        EXPECT_GT(ReadAll("o/out.txt").size(), 100u) << strCase;
    }
}

/* An osslsigncode on PATH that copies -in to -out with " signed" added,
   as the real one writes a new file (refusing an -out that exists), records its arguments and environment
   in the scratch folder, and exits with the code in FAKE_SIGNER_EXIT. */
class FakeSigner {
public:
    FakeSigner()
    {
        WriteText("bin/osslsigncode", "#!/bin/sh\n"
                                      "printf '%s\\n' \"$*\" > \"$FAKE_SIGNER_LOG.args\"\n"
                                      "env > \"$FAKE_SIGNER_LOG.env\"\n"
                                      "while [ $# -gt 0 ]; do\n"
                                      "  case $1 in -in) in=$2; shift;; -out) out=$2; shift;; esac; shift\n"
                                      "done\n"
                                      "[ -e \"$out\" ] && exit 9\n"
                                      "{ cat \"$in\"; printf ' signed'; } > \"$out\" && exit \"${FAKE_SIGNER_EXIT:-0}\"\n");
        fs::permissions("bin/osslsigncode", fs::perms::owner_all);
        const char *pszPath = getenv("PATH");
        m_strPath = pszPath ? pszPath : "";
        setenv("PATH", (fs::absolute("bin").string() + ":" + m_strPath).c_str(), 1);
        setenv("FAKE_SIGNER_LOG", fs::absolute("signer").string().c_str(), 1);
    }
    ~FakeSigner()
    {
        setenv("PATH", m_strPath.c_str(), 1);
        for (const char *psz : {"FAKE_SIGNER_LOG", "FAKE_SIGNER_EXIT", "QUARNEL_SIGN_PASSWORD"})
            unsetenv(psz);
    }
    static std::string Log(const char *pszKind)
    {
        Bytes v = ReadAll(std::string("signer.") + pszKind);
        return std::string(v.begin(), v.end());
    }

private:
    std::string m_strPath;
};

TEST(SignExecutable, ReadsTheSignerRightAndKeepsWhatIsNotItsOwn)
{
    ScratchCwd cwd;
    FakeSigner signer;
    struct Case {
        const char *pszCase;
        const char *pszExit;   /* the signer's exit code */
        bool fIgnoreChild;     /* SIGCHLD ignored, as some parents leave it */
        const char *pszPassword;
        bool fSigned;
    } cases[] = {
        {"signed", "0", false, "pw", true},
        {"signed with SIGCHLD ignored", "0", true, "pw", true},
        {"refused", "1", false, "pw", false},
        {"refused with SIGCHLD ignored", "1", true, "pw", false},
        {"a certificate without a password", "0", false, "", true},
    };
    for (const Case &c : cases) {
        WriteText("app.exe", "MZ unsigned");
        fs::permissions("app.exe", fs::perms::owner_read | fs::perms::owner_write | fs::perms::owner_exec |
                                       fs::perms::group_read | fs::perms::group_exec);
        WriteText("app.exe.signed", "someone's file");
        setenv("FAKE_SIGNER_EXIT", c.pszExit, 1);
        SignRequest request;
        request.strPkcs12 = "me.p12";
        request.strPassword = c.pszPassword;
        std::string strError;
        struct sigaction saIgnore = {}, saEarlier = {};
        saIgnore.sa_handler = c.fIgnoreChild ? SIG_IGN : SIG_DFL;
        sigaction(SIGCHLD, &saIgnore, &saEarlier);
        int fSigned = SignExecutable("app.exe", "app.exe", request, &strError);
        sigaction(SIGCHLD, &saEarlier, nullptr);
        EXPECT_EQ(fSigned, c.fSigned) << c.pszCase << ": " << strError;
        EXPECT_EQ(fSigned ? 0u : strError.find("me.p12: osslsigncode could not sign app.exe"), 0u)
            << c.pszCase << ": " << strError;
        EXPECT_EQ(fs::status("app.exe").permissions() & fs::perms::all,
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec)
            << c.pszCase;
        Bytes v = ReadAll("app.exe.signed"), vExe = ReadAll("app.exe");
        EXPECT_EQ(std::string(v.begin(), v.end()), "someone's file") << c.pszCase;
        EXPECT_EQ(std::string(vExe.begin(), vExe.end()), c.fSigned ? "MZ unsigned signed" : "MZ unsigned")
            << c.pszCase;
        EXPECT_EQ(NamesIn("."), (std::vector<std::string>{"app.exe", "app.exe.signed", "bin", "signer.args",
                                                           "signer.env"}))
            << c.pszCase;
        EXPECT_EQ(FakeSigner::Log("args").find("-readpass") != std::string::npos, *c.pszPassword != 0) << c.pszCase;
    }
}

/* The password reaches the signer through its pipe alone, never in its
   environment; one longer than osslsigncode reads is refused before
   anything is built. */
TEST(SignTool, PasswordStaysOutOfTheSignersEnvironmentAndWithinItsLimit)
{
    ScratchCwd cwd;
    CopySample();
    FakeSigner signer;
    setenv("QUARNEL_SIGN_PASSWORD", "s3cret-in-env", 1);
    ToolRun run = RunTool("build sample.toml -o dist --sign-pkcs12 me.p12");
    ASSERT_EQ(run.nExit, 0) << run.strOut;
    EXPECT_EQ(FakeSigner::Log("env").find("s3cret"), std::string::npos) << FakeSigner::Log("env");
    EXPECT_NE(FakeSigner::Log("env").find("FAKE_SIGNER_LOG="), std::string::npos) << "the rest of it is passed on";
    EXPECT_NE(FakeSigner::Log("args").find("-readpass /dev/fd/"), std::string::npos) << FakeSigner::Log("args");
    unsetenv("QUARNEL_SIGN_PASSWORD");
    struct Case {
        size_t cb;
        bool fTaken;
    } cases[] = {{4095, true}, {4096, false}, {100000, false}};
    for (const Case &c : cases) {
        WriteText("pw.txt", std::string(c.cb, 'p') + "\n");
        fs::remove_all("out");
        run = RunTool("build sample.toml -o out --sign-pkcs12 me.p12 --sign-password-file pw.txt");
        EXPECT_EQ(run.nExit, c.fTaken ? 0 : 1) << c.cb << "\n" << run.strOut;
        EXPECT_EQ(Exists("out"), c.fTaken) << c.cb;
        std::string strSays = "pw.txt: the certificate's password is " + std::to_string(c.cb) +
                              " bytes; osslsigncode reads at most 4095";
        EXPECT_EQ(run.strOut.find(strSays) != std::string::npos, !c.fTaken) << run.strOut;
    }
}

} // namespace
