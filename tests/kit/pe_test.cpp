/* pe_test.cpp - reading the manifest out of the built installers: the
 * sample product's quarnel.exe of the i686 (PE32) and x86_64 (PE32+) builds
 * must give the sample manifest's entries; damaged images must fail cleanly. */
#include <gtest/gtest.h>

#include "kit_pe.h"
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
        {700, "[CreateGroup(Quarnel Sample)][ShowGroup(Quarnel Sample,1)]"},
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
