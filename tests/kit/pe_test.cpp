/* pe_test.cpp - reading the manifest out of the built installers: the
 * sample product's quarnel.exe of the i686 (PE32) and x86_64 (PE32+) builds
 * must give the sample manifest's entries; damaged images must fail cleanly. */
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>

#include "kit_pe.h"
#include "kit_pew.h"
#include "kit_testutil.h"

namespace {

/* PE32 or PE32+, read straight from the headers so that the test knows it
   covers both formats. */
unsigned OptionalMagic(const Bytes &v)
{
    size_t nPe = v[0x3c] | (v[0x3d] << 8) | (v[0x3e] << 16) | ((size_t)v[0x3f] << 24);
    return v[nPe + 24] | (v[nPe + 25] << 8);
}

class SampleExe : public ::testing::TestWithParam<std::pair<const char *, unsigned>> {};

TEST_P(SampleExe, GivesTheSampleManifest)
{
    const char *pszExe = GetParam().first;
    Bytes v = ReadAll(pszExe);
    ASSERT_GT(v.size(), 1024u) << pszExe << " is missing: build the Windows trees first (scripts/build.sh)";
    EXPECT_EQ(OptionalMagic(v), GetParam().second);
    StringTable table;
    std::string strError;
    ASSERT_TRUE(ReadPeStringTable(v, &table, &strError)) << strError;
    EXPECT_EQ(table.vLanguages, std::vector<unsigned>{0x409});
    for (const auto &block : table.mapBlockLanguages)
        EXPECT_EQ(block.second, 0x409u) << "block " << block.first;
    const std::map<unsigned, std::string> &m = table.mapEntries;
    struct Want {
        unsigned uId;
        const char *pszText;
    } wants[] = {
        {98, "SAMPLE.PKG"},
        {100, "C:\\QSAMPLE"},
        {105, "TRUE"},
        {499, "2"},
        {501, "DOCS\\EXTRA"},
        {700, "[CreateGroup(\"Quarnel Sample\")][ShowGroup(\"Quarnel Sample\",1)]"},
        {701, "[AddItem(\"%DREADME.TXT\",\"Read Me\")]"},
        {999, "3"},
        {1000, "%DREADME.TXT"},
        {1002, "%DDOCS\\EXTRA\\DATA.BIN"},
        {1402, "Sample Data"},
        {1802, "20010615"},
        {2202, "O20010615PA newer %s exists.  Replace it?"},
        {3201, "N"},
        {3801, "1.0"},
    };
    for (const Want &w : wants) {
        ASSERT_TRUE(m.count(w.uId)) << "entry " << w.uId;
        EXPECT_EQ(m.at(w.uId), w.pszText) << "entry " << w.uId;
    }
    /* Absent entries stay absent, also in a block that has others. */
    for (unsigned uId : {0u, 97u, 102u, 112u, 503u, 1003u, 2200u, 2201u, 3200u})
        EXPECT_EQ(m.count(uId), 0u) << "entry " << uId;
}

INSTANTIATE_TEST_SUITE_P(BothTargets, SampleExe,
                         ::testing::Values(std::make_pair(KIT_WIN32_EXE, 0x10bu),
                                           std::make_pair(KIT_WIN64_EXE, 0x20bu)));

TEST(ReadPeStringTable, DamagedImagesFailWithAReason)
{
    Bytes vGood = ReadAll(KIT_WIN64_EXE);
    ASSERT_GT(vGood.size(), 4096u);
    StringTable table;
    std::string strError;

    Bytes vText(vGood.size(), 'x');
    EXPECT_FALSE(ReadPeStringTable(vText, &table, &strError));
    EXPECT_NE(strError.find("MZ"), std::string::npos) << strError;

    Bytes vNoPe = vGood;
    size_t nPe = vGood[0x3c] | (vGood[0x3d] << 8);
    vNoPe[nPe] = 'Q';
    EXPECT_FALSE(ReadPeStringTable(vNoPe, &table, &strError));
    EXPECT_NE(strError.find("PE signature"), std::string::npos) << strError;

    Bytes vBadMagic = vGood;
    vBadMagic[nPe + 24] = 0x99;
    EXPECT_FALSE(ReadPeStringTable(vBadMagic, &table, &strError));

    /* Every cut of the image either fails with a reason or, when it keeps
       the whole resource section, reads the whole table: never a part. */
    StringTable full;
    ASSERT_TRUE(ReadPeStringTable(vGood, &full, &strError)) << strError;
    int nFailed = 0;
    for (size_t cb = 0; cb < vGood.size(); cb += vGood.size() / 197 + 1) {
        Bytes vCut(vGood.begin(), vGood.begin() + cb);
        strError.clear();
        if (!ReadPeStringTable(vCut, &table, &strError)) {
            nFailed++;
            EXPECT_FALSE(strError.empty()) << "cut at " << cb;
        } else {
            EXPECT_EQ(table.mapEntries, full.mapEntries) << "cut at " << cb;
        }
    }
    EXPECT_GT(nFailed, 5);
}

TEST(ConvertUtf16ToAnsi, CodePage1252)
{
    struct Case {
        std::vector<uint16_t> vText;
        const char *pszAnsi;
    } cases[] = {
        {{'A', 'b', '1'}, "Ab1"},
        {{0x00e9, 0x00ff, 0x00a0}, "\xe9\xff\xa0"},
        {{0x20ac, 0x2122, 0x0178, 0x201e}, "\x80\x99\x9f\x84"},
        {{0x0081, 0x008d, 0x009d}, "\x81\x8d\x9d"},
        {{0x0080, 0x03a9, 0x4e2d}, "???"},
        {{'a', 0xd83d, 0xde00, 'b'}, "a?b"},
        {{0xdc00, 'c'}, "?c"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ConvertUtf16ToAnsi(c.vText.data(), c.vText.size()), c.pszAnsi) << c.pszAnsi;
}

} // namespace

namespace {

/* A minimal image built by hand: headers of the chosen kind, one section
   holding a resource directory with RT_STRING blocks. */
struct Block {
    unsigned uBlock;
    unsigned uLang;
    std::vector<std::u16string> vStrings; /* the first strings of the block */
};

void Put16(Bytes *pv, size_t n, unsigned u)
{
    if (pv->size() < n + 2)
        pv->resize(n + 2);
    (*pv)[n] = (unsigned char)u;
    (*pv)[n + 1] = (unsigned char)(u >> 8);
}

void Put32(Bytes *pv, size_t n, uint32_t u)
{
    Put16(pv, n, u & 0xffff);
    Put16(pv, n + 2, u >> 16);
}

/* Resource section bytes for base RVA dwRva: root -> type 6 -> block ->
   language -> data entry -> string data.  Blocks of one number share one
   block entry with a language each, as a resource compiler lays them out. */
Bytes BuildResources(const std::vector<Block> &vBlocks, uint32_t dwRva)
{
    std::vector<unsigned> vNumbers;
    for (const Block &block : vBlocks)
        if (std::find(vNumbers.begin(), vNumbers.end(), block.uBlock) == vNumbers.end())
            vNumbers.push_back(block.uBlock);
    Bytes v;
    size_t nTypeDir = 16 + 8, nLangDir = nTypeDir + 16 + 8 * vNumbers.size();
    size_t nData = nLangDir + 16 * vNumbers.size() + 8 * vBlocks.size();
    size_t nText = nData + vBlocks.size() * 16;
    Put16(&v, 14, 1);                      /* root: one numbered entry */
    Put32(&v, 16, 6);
    Put32(&v, 20, 0x80000000u | (uint32_t)nTypeDir);
    Put16(&v, nTypeDir + 14, (unsigned)vNumbers.size());
    for (size_t n = 0; n < vNumbers.size(); n++) {
        Put32(&v, nTypeDir + 16 + 8 * n, vNumbers[n]);
        Put32(&v, nTypeDir + 20 + 8 * n, 0x80000000u | (uint32_t)nLangDir);
        unsigned uLangs = 0;
        for (size_t b = 0; b < vBlocks.size(); b++) {
            if (vBlocks[b].uBlock != vNumbers[n])
                continue;
            Put32(&v, nLangDir + 16 + 8 * uLangs, vBlocks[b].uLang);
            Put32(&v, nLangDir + 20 + 8 * uLangs, (uint32_t)(nData + b * 16));
            uLangs++;
        }
        Put16(&v, nLangDir + 14, uLangs);
        nLangDir += 16 + 8 * uLangs;
    }
    for (size_t b = 0; b < vBlocks.size(); b++) {
        size_t nStart = nText;
        for (size_t k = 0; k < 16; k++) {
            std::u16string str = k < vBlocks[b].vStrings.size() ? vBlocks[b].vStrings[k] : u"";
            Put16(&v, nText, (unsigned)str.size());
            nText += 2;
            for (char16_t c : str) {
                Put16(&v, nText, c);
                nText += 2;
            }
        }
        Put32(&v, nData + b * 16, dwRva + (uint32_t)nStart);
        Put32(&v, nData + b * 16 + 4, (uint32_t)(nText - nStart));
    }
    return v;
}

const uint32_t RES_RVA = 0x1000;

/* An image of one section, at RES_RVA, holding the resource bytes vRes. */
Bytes WrapResources(const Bytes &vRes, bool fPe32Plus)
{
    const uint32_t dwRva = RES_RVA, dwRaw = 0x400;
    Bytes v(dwRaw, 0);
    Put16(&v, 0, 0x5a4d);
    Put32(&v, 0x3c, 0x80);
    Put32(&v, 0x80, 0x00004550);
    size_t nCoff = 0x84, nOpt = nCoff + 20;
    size_t nDirs = nOpt + (fPe32Plus ? 112 : 96);
    unsigned uOptSize = (unsigned)(nDirs - nOpt + 16 * 8);
    Put16(&v, nCoff, fPe32Plus ? 0x8664 : 0x14c);
    Put16(&v, nCoff + 2, 1);
    Put16(&v, nCoff + 16, uOptSize);
    Put16(&v, nOpt, fPe32Plus ? 0x20b : 0x10b);
    Put32(&v, nDirs - 4, 16);
    Put32(&v, nDirs + 16, dwRva);
    Put32(&v, nDirs + 20, (uint32_t)vRes.size());
    size_t nSection = nOpt + uOptSize;
    memcpy(&v[nSection], ".rsrc", 5);
    Put32(&v, nSection + 8, (uint32_t)vRes.size());
    Put32(&v, nSection + 12, dwRva);
    Put32(&v, nSection + 16, (uint32_t)vRes.size());
    Put32(&v, nSection + 20, dwRaw);
    v.insert(v.end(), vRes.begin(), vRes.end());
    return v;
}

Bytes BuildImage(const std::vector<Block> &vBlocks, bool fPe32Plus)
{
    return WrapResources(BuildResources(vBlocks, RES_RVA), fPe32Plus);
}

/* The first strings of block 63 (IDs 992-1007) up to entry 1000. */
std::vector<std::u16string> Block63(const std::u16string &strCount, const std::u16string &strDest)
{
    std::vector<std::u16string> v(7, u"");
    v.push_back(strCount);
    v.push_back(strDest);
    return v;
}

TEST(ReadPeStringTable, BlocksAndLanguages)
{
    typedef std::map<unsigned, unsigned> Langs; /* block -> language read */
    struct Case {
        const char *pszCase;
        std::vector<Block> vBlocks;
        Langs mapLangs;
        std::map<unsigned, std::string> mapWant;
    } cases[] = {
        {"block 7 holds IDs 96-111", {{7, 0x409, {u"a", u"", u"PKG.PKG"}}}, {{7, 0x409}}, {{96, "a"}, {98, "PKG.PKG"}}},
        {"block 1 holds ID 0", {{1, 0x409, {u"zero", u"one"}}}, {{1, 0x409}}, {{0, "zero"}, {1, "one"}}},
        {"US English before German",
         {{7, 0x407, {u"", u"", u"DE.PKG"}}, {7, 0x409, {u"", u"", u"US.PKG"}}}, {{7, 0x409}}, {{98, "US.PKG"}}},
        {"neutral before US English",
         {{7, 0x409, {u"", u"", u"US.PKG"}}, {7, 0x000, {u"", u"", u"N.PKG"}}}, {{7, 0x000}}, {{98, "N.PKG"}}},
        {"else the lowest language",
         {{7, 0x40c, {u"", u"", u"FR.PKG"}}, {7, 0x407, {u"", u"", u"DE.PKG"}}}, {{7, 0x407}}, {{98, "DE.PKG"}}},
        {"a block only in another language is read as the installer reads it",
         {{7, 0x409, {u"", u"", u"US.PKG"}}, {63, 0x407, Block63(u"", u"3")}},
         {{7, 0x409}, {63, 0x407}}, {{98, "US.PKG"}, {1000, "3"}}},
        {"each block picks its own language",
         {{7, 0x000, {u"", u"", u"N.PKG"}}, {63, 0x407, Block63(u"1", u"%DDE.BIN")},
          {63, 0x40c, Block63(u"1", u"%DFR.BIN")}, {7, 0x407, {u"", u"", u"DE.PKG"}}},
         {{7, 0x000}, {63, 0x407}}, {{98, "N.PKG"}, {999, "1"}, {1000, "%DDE.BIN"}}},
        {"text in code page 1252", {{63, 0x409, Block63(u"", u"Caf\u00e9 \u20ac5 \u03a9")}},
         {{63, 0x409}}, {{1000, "Caf\xe9 \x80" "5 ?"}}},
    };
    for (bool fPlus : {false, true}) {
        for (const Case &c : cases) {
            StringTable table;
            std::string strError;
            ASSERT_TRUE(ReadPeStringTable(BuildImage(c.vBlocks, fPlus), &table, &strError))
                << c.pszCase << ": " << strError;
            EXPECT_EQ(table.mapBlockLanguages, c.mapLangs) << c.pszCase;
            EXPECT_EQ(table.mapEntries, c.mapWant) << c.pszCase << (fPlus ? " (PE32+)" : " (PE32)");
        }
    }
}

/* The tool on an image whose item list exists only in German: lint reads
   entry 999 and item 0, notes the two languages and finds item 0's
   directory missing. */
TEST(ReadPeStringTable, LintReadsABlockOnlyInGerman)
{
    ScratchCwd cwd;
    WriteBytesTo("mixed.exe", BuildImage({{7, 0x000, {u"", u"", u"N.PKG"}}, {63, 0x407, Block63(u"1", u"%DSUB\\X.BIN")}},
                                         false));
    ToolRun run = RunTool("lint mixed.exe");
    EXPECT_EQ(run.nExit, 1) << run.strOut;
    EXPECT_NE(run.strOut.find("carries 2 languages; checked: 0x0000 (1 block), 0x0407 (1 block)"), std::string::npos)
        << run.strOut;
    EXPECT_NE(run.strOut.find("mixed.exe: error: entry 1000: its directory \"SUB\""), std::string::npos) << run.strOut;
}

TEST(ReadPeStringTable, EmptyStringDirectoryGivesAnEmptyTable)
{
    Bytes v = BuildImage({}, false);
    StringTable table;
    std::string strError;
    ASSERT_TRUE(ReadPeStringTable(v, &table, &strError)) << strError;
    EXPECT_TRUE(table.mapEntries.empty());
}

} // namespace

namespace {

/* Resource trees whose walk would not end in proportion to their size. */

/* A type directory with nNames numbered entries of type uType, each with a
   language directory, a data entry and 32 bytes (an empty string block) of
   its own: 1 + 2 * nNames entries in all, nothing shared. */
Bytes WideTree(unsigned uType, size_t nNames)
{
    Bytes v;
    const size_t cbLeaf = 24 + 16 + 32;
    size_t nNameDir = 24, nLeaves = nNameDir + 16 + 8 * nNames;
    Put16(&v, 14, 1);
    Put32(&v, 16, uType);
    Put32(&v, 20, 0x80000000u | (uint32_t)nNameDir);
    Put16(&v, nNameDir + 14, (unsigned)nNames);
    for (size_t k = 0; k < nNames; k++) {
        size_t nLang = nLeaves + cbLeaf * k;
        Put32(&v, nNameDir + 16 + 8 * k, (unsigned)(k % 4096) + 1);
        Put32(&v, nNameDir + 20 + 8 * k, 0x80000000u | (uint32_t)nLang);
        Put16(&v, nLang + 14, 1);
        Put32(&v, nLang + 16, 0x409);
        Put32(&v, nLang + 20, (uint32_t)nLang + 24);
        Put32(&v, nLang + 24, RES_RVA + (uint32_t)nLang + 40);
        Put32(&v, nLang + 28, 32);
    }
    v.resize(nLeaves + cbLeaf * nNames, 0);
    return v;
}

/* The root's only entry points back at the root. */
Bytes SelfTree()
{
    Bytes v;
    Put16(&v, 14, 1);
    Put32(&v, 16, 6);
    Put32(&v, 20, 0x80000000u);
    return v;
}

/* nTypes named types, every name the same text of cch characters, each
   type with an empty directory of its own: the names are read over and
   over from one place. */
Bytes SharedNameTree(size_t nTypes, size_t cch)
{
    Bytes v;
    size_t nName = 16 + 8 * nTypes, nDirs = nName + 2 + 2 * cch;
    Put16(&v, 12, (unsigned)nTypes);
    for (size_t k = 0; k < nTypes; k++) {
        Put32(&v, 16 + 8 * k, 0x80000000u | (uint32_t)nName);
        Put32(&v, 20 + 8 * k, 0x80000000u | (uint32_t)(nDirs + 16 * k));
    }
    Put16(&v, nName, (unsigned)cch);
    for (size_t c = 0; c < cch; c++)
        Put16(&v, nName + 2 + 2 * c, 'N');
    Put16(&v, nDirs + 16 * nTypes - 2, 0);
    return v;
}

/* A crafted image of the fuzz corpus (its first byte picks the mode). */
Bytes CorpusImage(const char *pszName)
{
    Bytes v = ReadAll(std::string(KIT_SOURCE_DIR) + "/fuzz/corpus/pe/" + pszName);
    EXPECT_GT(v.size(), 1024u) << pszName;
    return v.empty() ? v : Bytes(v.begin() + 1, v.end());
}

TEST(ReadPeResources, RefusesTreesAndSectionsThatWouldRunAway)
{
    struct Case {
        const char *pszCase;
        Bytes v;
        const char *pszWhy; /* empty: read */
        bool fStrings;      /* the string-table reader refuses it too */
    } cases[] = {
        {"the resource section's data lies near 2 GiB, past the file", CorpusImage("rsrc_beyond_end"),
         "section .rsrc lies beyond the end of the file", true},
        {"three directories of 80 entries pointing at each other", CorpusImage("resource_loop"),
         "resource directories point at each other", true},
        {"the root pointing at itself", WrapResources(SelfTree(), false), "resource directories point at each other",
         true},
        {"80,001 entries, none shared", WrapResources(WideTree(6, 40000), true), "more than 65536 entries", true},
        {"one name of 20,000 characters read by 100 types", WrapResources(SharedNameTree(100, 20000), false),
         "more resource data than the file holds", false},
        {"60,001 entries", WrapResources(WideTree(6, 30000), false), "", false},
        {"one name read by 2 types", WrapResources(SharedNameTree(2, 20), false), "", false},
    };
    for (const Case &c : cases) {
        PeLayout layout;
        std::vector<PeResource> vRes;
        StringTable table;
        std::string strError, strStrings;
        int fRead = ReadPeResources(c.v, &layout, &vRes, &strError);
        int fStrings = ReadPeStringTable(c.v, &table, &strStrings);
        if (!*c.pszWhy) {
            EXPECT_TRUE(fRead && fStrings) << c.pszCase << ": " << strError << strStrings;
            continue;
        }
        EXPECT_FALSE(fRead) << c.pszCase << " (" << vRes.size() << " resources read)";
        EXPECT_NE(strError.find(c.pszWhy), std::string::npos) << c.pszCase << ": " << strError;
        EXPECT_EQ(!fStrings, c.fStrings) << c.pszCase << ": " << strStrings;
        /* The writer reads its stub with the same reader before it copies
           a byte, and says why it refuses. */
        Manifest manifest = {{98, "A.PKG"}, {100, "C:\\A"}, {999, "0"}};
        InstallerParts parts;
        parts.pManifest = &manifest;
        Bytes vImage;
        strError.clear();
        EXPECT_FALSE(WriteInstallerImage(c.v, parts, &vImage, &strError)) << c.pszCase;
        EXPECT_NE(strError.find(c.pszWhy), std::string::npos) << c.pszCase << ": " << strError;
    }
}

} // namespace
