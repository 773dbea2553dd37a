/* build_test.cpp - the product put into the stub without Windows tools: the
 * installer the kit writes must carry what the resource compiler and linker
 * put into the sample installer, in an image the loader can map; stubs the
 * kit cannot use are refused; a failed build leaves nothing behind. */
#include <gtest/gtest.h>

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
