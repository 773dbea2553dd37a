/* seal_test.cpp - quarnel-kit seal and the package check of verify: the
 * resource script written for a package, the checksums read back out of the
 * built sample installers, and verify's verdict on packages that differ from
 * the one an installer was sealed with. */
#include <gtest/gtest.h>

#include "kit_pe.h"
#include "kit_seal.h"
#include "kit_testutil.h"
#include "resource.h"

namespace {

/* The records "abc" and "hello", 16 bytes, and their checksum resource. */
const Bytes vTwo = {3, 0, 0, 0, 'a', 'b', 'c', 5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
const Bytes vTwoSums = {
    'Q', 'S', 'U', 'M', 1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
    16, 0, 0, 0, 0, 0, 0, 0,
    0xC2, 0x41, 0x24, 0x35, 0x86, 0xA6, 0x10, 0x36,
};

/* A record of up to 255 bytes. */
Bytes Record(const std::string &s)
{
    std::string strRecord = std::string(1, (char)s.size()) + std::string(3, '\0') + s;
    return Bytes(strRecord.begin(), strRecord.end());
}

Bytes Join(Bytes v, const Bytes &vMore)
{
    v.insert(v.end(), vMore.begin(), vMore.end());
    return v;
}

std::string SampleDir(const char *pszExe)
{
    std::string s = pszExe;
    return s.substr(0, s.find_last_of('/') + 1);
}

} // namespace

TEST(SealTool, WritesTheChecksumsAsAResourceScript)
{
    ScratchCwd cwd;
    WriteBytesTo("T.PKG", vTwo);
    ToolRun run = RunTool("seal T.PKG");
    EXPECT_EQ(run.nExit, 0) << run.strOut;
    EXPECT_NE(run.strOut.find("\nLANGUAGE 0, 0\nQPKGSUMS RCDATA\nBEGIN\n"
                              "    0x5351, 0x4d55, 0x0001, 0x0000, 0x0001, 0x0000, 0x0002, 0x0000,\n"
                              "    0x0010, 0x0000, 0x0000, 0x0000, 0x41c2, 0x3524, 0xa686, 0x3610\n"
                              "END\n"),
              std::string::npos)
        << run.strOut;
    EXPECT_NE(run.strOut.find("T.PKG"), std::string::npos) << "names the package";

    ToolRun toFile = RunTool("seal T.PKG -o sums.rc");
    EXPECT_EQ(toFile.nExit, 0) << toFile.strOut;
    Bytes vRc = ReadAll("sums.rc");
    EXPECT_EQ(std::string(vRc.begin(), vRc.end()), run.strOut);
    EXPECT_FALSE(Exists("sums.rc.tmp"));
}

TEST(SealTool, DamagedOrMissingPackageIsNotSealed)
{
    ScratchCwd cwd;
    struct Case { const char *pszCase; Bytes v; } cases[] = {
        {"last record cut", Bytes(vTwo.begin(), vTwo.end() - 1)},
        {"bytes after the last record", Join(vTwo, {1, 2})},
        {"negative length", Join(vTwo, {0xff, 0xff, 0xff, 0xff})},
    };
    for (const Case &c : cases) {
        WriteBytesTo("D.PKG", c.v);
        WriteText("old.rc", "previous");
        ToolRun run = RunTool("seal D.PKG -o old.rc");
        EXPECT_EQ(run.nExit, 1) << c.pszCase;
        EXPECT_NE(run.strOut.find("D.PKG: the package is damaged"), std::string::npos) << run.strOut;
        Bytes vOld = ReadAll("old.rc");
        EXPECT_EQ(std::string(vOld.begin(), vOld.end()), "previous") << c.pszCase;
    }
    ToolRun missing = RunTool("seal nothere.pkg -o x.rc");
    EXPECT_EQ(missing.nExit, 1);
    EXPECT_NE(missing.strOut.find("nothere.pkg"), std::string::npos) << missing.strOut;
    EXPECT_FALSE(Exists("x.rc"));
}

TEST(MakePackageSums, EmptyPackageHasTheHeaderAlone)
{
    ScratchCwd cwd;
    WriteBytesTo("E.PKG", {});
    std::vector<unsigned char> vSums;
    std::string strError;
    ASSERT_TRUE(MakePackageSums("E.PKG", &vSums, &strError)) << strError;
    EXPECT_EQ(vSums, (Bytes{'Q', 'S', 'U', 'M', 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

/* Verdicts on packages against the "abc", "hello" checksums, for a
   manifest of two items unless the case says otherwise.  Every package the
   installer refuses also gets one 98 error that says what to do. */
TEST(VerifySums, Verdicts)
{
    Bytes vLater = vTwoSums;
    vLater[4] = 2;
    struct Case {
        const char *pszCase;
        Bytes vSums;
        Bytes vPackage;
        size_t nItems;
        std::vector<std::pair<unsigned, Severity>> vWant;
    } cases[] = {
        {"the sealed package", vTwoSums, vTwo, 2, {}},
        {"record 1 changed", vTwoSums, Join(Record("abc"), Record("hellp")), 2,
         {{98, SEV_ERROR}, {1001, SEV_ERROR}}},
        {"records swapped", vTwoSums, Join(Record("hello"), Record("abc")), 2,
         {{98, SEV_ERROR}, {1000, SEV_ERROR}, {1001, SEV_ERROR}}},
        {"a record added", vTwoSums, Join(vTwo, Record("x")), 2,
         {{98, SEV_ERROR}, {98, SEV_ERROR}, {98, SEV_ERROR}}},
        {"the last record longer", vTwoSums, Join(Record("abc"), Record("hello!")), 2,
         {{98, SEV_ERROR}, {98, SEV_ERROR}, {1001, SEV_ERROR}}},
        {"a changed record no item reads", vTwoSums, Join(Record("abc"), Record("hellp")), 1,
         {{999, SEV_WARNING}}},
        {"checksums of a later layout", vLater, vTwo, 2, {{98, SEV_ERROR}}},
        {"checksums cut short", Bytes(vTwoSums.begin(), vTwoSums.end() - 1), vTwo, 2, {{98, SEV_ERROR}}},
    };
    for (const Case &c : cases) {
        ScratchCwd cwd;
        WriteBytesTo("t.pkg", c.vPackage);
        PackageLayout layout;
        std::vector<uint32_t> vCrcs;
        std::string strError;
        ASSERT_TRUE(ReadPackageLayout("t.pkg", &layout, &strError)) << strError;
        ASSERT_TRUE(SumRecords("t.pkg", layout, &vCrcs, &strError)) << strError;
        std::vector<Finding> vFound;
        VerifySums(c.vSums, layout, vCrcs, c.nItems, &vFound);
        SortFindings(&vFound);
        std::string strSeen;
        for (const Finding &f : vFound)
            strSeen += "\n    " + FormatFinding(f);
        ASSERT_EQ(vFound.size(), c.vWant.size()) << c.pszCase << strSeen;
        for (size_t i = 0; i < vFound.size(); i++) {
            EXPECT_EQ(vFound[i].uId, c.vWant[i].first) << c.pszCase << strSeen;
            EXPECT_EQ(vFound[i].severity, c.vWant[i].second) << c.pszCase << strSeen;
        }
    }
}

/* ---- The sample product's installers, as the build makes them ------------- */

/* Sealed by quarnel_add_product on both targets, and once built with
   NO_SEAL: that installer carries no checksums, so any package of the
   right layout passes. */
struct SampleInstaller {
    const char *pszExe;
    bool fSealed;
};

void PrintTo(const SampleInstaller &s, std::ostream *pos)
{
    *pos << s.pszExe << (s.fSealed ? " (sealed)" : " (NO_SEAL)");
}

/* What verify and lint say of a package that is not the sealed one, then
   the advice for the route that built the installer: with a package
   script it came the classic way; without one the route is not known. */
const char *const pszNotSealedOne = ": error: entry 98: this package is not the one sealed into the installer, which "
                                    "refuses it (message 307): ";
const char *const pszClassicAdvice = "(message 307): rebuild both together (quarnel-kit pack SCRIPT";
const char *const pszEitherAdvice = "(message 307): if quarnel-kit build made the installer, build both again with "
                                    "quarnel-kit build";

class SampleProduct : public ::testing::TestWithParam<SampleInstaller> {};

TEST_P(SampleProduct, CarriesTheChecksumsOfItsPackageUnlessNoSeal)
{
    const char *pszExe = GetParam().pszExe;
    Bytes vImage = ReadAll(pszExe);
    ASSERT_GT(vImage.size(), 1024u) << pszExe << " is missing: build the Windows trees first";
    Bytes vPackage = ReadAll(SampleDir(pszExe) + "SAMPLE.PKG");
    ASSERT_FALSE(vPackage.empty());
    std::vector<unsigned char> vSums;
    std::string strError;
    int nFound = ReadPeNamedResource(vImage, 10, RES_PACKAGE_SUMS, &vSums, &strError);
    if (!GetParam().fSealed) {
        EXPECT_EQ(nFound, 0) << strError;
        return;
    }
    ASSERT_EQ(nFound, 1) << strError;
    ASSERT_EQ(vSums.size(), 24u + 3 * 4) << "three records";
    EXPECT_EQ(Bytes(vSums.begin(), vSums.begin() + 16), (Bytes{'Q', 'S', 'U', 'M', 1, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0}));
    uint64_t nTotal = 0;
    for (int k = 0; k < 8; k++)
        nTotal |= (uint64_t)vSums[16 + k] << (8 * k);
    EXPECT_EQ(nTotal, vPackage.size());
    /* Resource names match without regard to case; other names and types
       are absent. */
    std::vector<unsigned char> vAgain;
    EXPECT_EQ(ReadPeNamedResource(vImage, 10, "qpkgSums", &vAgain, &strError), 1);
    EXPECT_EQ(vAgain, vSums);
    EXPECT_EQ(ReadPeNamedResource(vImage, 10, "QPKGSUM", &vAgain, &strError), 0);
    EXPECT_TRUE(vAgain.empty());
    EXPECT_EQ(ReadPeNamedResource(vImage, 6, RES_PACKAGE_SUMS, &vAgain, &strError), 0);
    Bytes vNotPe(vImage.size(), 'x');
    EXPECT_EQ(ReadPeNamedResource(vNotPe, 10, RES_PACKAGE_SUMS, &vAgain, &strError), -1);
    EXPECT_NE(strError.find("MZ"), std::string::npos) << strError;
}

TEST_P(SampleProduct, VerifyAcceptsItsPackageAndNoOtherWhenSealed)
{
    std::string strExe = GetParam().pszExe;
    std::string strPackage = SampleDir(GetParam().pszExe) + "SAMPLE.PKG";
    ToolRun run = RunTool("verify " + strExe + " " + strPackage);
    EXPECT_EQ(run.nExit, 0) << run.strOut;
    EXPECT_EQ(run.strOut, "quarnel-kit: " + strExe + ", " + strPackage + ": verified (0 errors, 0 warnings)\n");

    ScratchCwd cwd;
    Bytes v = ReadAll(strPackage);
    v[4 + 10] ^= 0x20;      /* a byte of record 0's data */
    WriteBytesTo("flipped.pkg", v);
    run = RunTool("verify " + strExe + " flipped.pkg");
    if (!GetParam().fSealed) {
        EXPECT_EQ(run.nExit, 0) << run.strOut;
        EXPECT_EQ(run.strOut, "quarnel-kit: " + strExe + ", flipped.pkg: verified (0 errors, 0 warnings)\n");
        return;
    }
    EXPECT_EQ(run.nExit, 1) << run.strOut;
    EXPECT_NE(run.strOut.find(strExe + ": error: entry 1000: record 0 has the CRC-32 0x"), std::string::npos)
        << run.strOut;
    EXPECT_NE(run.strOut.find("message 307"), std::string::npos) << run.strOut;
    EXPECT_NE(run.strOut.find(pszNotSealedOne), std::string::npos) << run.strOut;
}

/* The sample's package packed again after an item changed, as an author
   does with quarnel-kit pack or the builder mode: the installer built
   before is no longer its match, and verify and lint (whose script names
   the package) say so and how to rebuild; an installer built with NO_SEAL
   takes it. */
TEST_P(SampleProduct, PackageRebuiltAfterTheInstallerIsReportedWhenSealed)
{
    ScratchCwd cwd;
    std::string strSample = std::string(KIT_SOURCE_DIR) + "/examples/sample/";
    std::string strExe = GetParam().pszExe;
    Bytes vGuide = ReadAll(strSample + "files/GUIDE.TXT");
    ASSERT_FALSE(vGuide.empty());
    WriteBytesTo("README.TXT", ReadAll(strSample + "files/README.TXT"));
    WriteBytesTo("GUIDE.TXT", Join(vGuide, {'!'}));
    WriteBytesTo("DATA.BIN", ReadAll(strSample + "files/DATA.BIN"));
    WriteText("sample.qps", "*### PACKAGE# \"SAMPLE.PKG\" ITEM# \"README.TXT\" ITEM# \"GUIDE.TXT\" ITEM# \"DATA.BIN\"");
    ToolRun lint = RunTool("lint " + strExe + " sample.qps");
    EXPECT_EQ(lint.nExit, 0) << "no package packed yet\n" << lint.strOut;

    ASSERT_EQ(RunTool("pack sample.qps").nExit, 0);
    ToolRun run = RunTool("verify " + strExe + " SAMPLE.PKG");
    lint = RunTool("lint " + strExe + " sample.qps");
    if (!GetParam().fSealed) {
        EXPECT_EQ(run.nExit, 0) << run.strOut;
        EXPECT_EQ(lint.nExit, 0) << lint.strOut;
        EXPECT_EQ(lint.strOut.find("the one sealed"), std::string::npos) << lint.strOut;
        return;
    }
    for (const ToolRun &r : {run, lint}) {
        EXPECT_EQ(r.nExit, 1) << r.strOut;
        EXPECT_NE(r.strOut.find(": error: entry 98: the package is " + std::to_string(ReadAll("SAMPLE.PKG").size()) +
                                " bytes, the installer was sealed for"),
                  std::string::npos)
            << r.strOut;
        EXPECT_NE(r.strOut.find(": error: entry 1001: record 1 has the CRC-32"), std::string::npos) << r.strOut;
        EXPECT_EQ(r.strOut.find("entry 1000:"), std::string::npos) << "record 0 is unchanged\n" << r.strOut;
        EXPECT_NE(r.strOut.find(pszNotSealedOne), std::string::npos) << r.strOut;
        EXPECT_NE(r.strOut.find("NO_SEAL"), std::string::npos) << r.strOut;
        EXPECT_EQ(CountOccurrences(r.strOut, pszNotSealedOne), 1u) << r.strOut;
    }
    EXPECT_NE(run.strOut.find(pszEitherAdvice), std::string::npos) << run.strOut;
    EXPECT_NE(run.strOut.find("--no-seal"), std::string::npos) << run.strOut;
    EXPECT_NE(lint.strOut.find(pszClassicAdvice), std::string::npos) << "the script says how it was built\n"
                                                                       << lint.strOut;
    EXPECT_EQ(lint.strOut.find("--no-seal"), std::string::npos) << lint.strOut;
}

INSTANTIATE_TEST_SUITE_P(BuiltInstallers, SampleProduct,
                         ::testing::Values(SampleInstaller{KIT_WIN32_EXE, true}, SampleInstaller{KIT_WIN64_EXE, true},
                                           SampleInstaller{KIT_WIN64_UNSEALED_EXE, false}));
