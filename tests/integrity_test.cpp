/* The package check under Wine: an installer that carries its package's
 * checksums refuses a damaged, cut, padded or rebuilt package with message
 * 307 before it touches the destination that the bad record would reach;
 * without checksums the package is taken as it always was. */
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "logic.h"
#include "quarnel.h"
#include "testsupport.h"

namespace {

const char szInvalid[] = "The install package file is invalid.";

/* The sealed package's items (tests/integrity/items) and where the
   manifest puts them. */
const char *const apszItems[] = {"zero.txt", "one.txt", "two.bin", "three.txt", "four.txt"};
const char *const apszDests[] = {"s0.txt", "s1.txt", "s2.bin", "s3.txt", "s4.txt"};
enum { SEALED_ITEMS = 5 };

std::string ItemBytes(int i)
{
    return ReadBytes(WinPathOfUnix(INTEGRITY_ITEMS) + apszItems[i]);
}

std::string FlipByte(std::string bytes, size_t nAt, unsigned char bMask = 0x01)
{
    bytes[nAt] = (char)(bytes[nAt] ^ bMask);
    return bytes;
}

class Sealed : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(UseManifest("manifest_integrity_sealed"), nullptr);
        dest = ScratchDir("sealed");
        std::string expected;
        for (int i = 0; i < SEALED_ITEMS; i++) {
            items.push_back(ItemBytes(i));
            ASSERT_FALSE(items[i].empty()) << apszItems[i];
            expected += PackageRecord(items[i]);
        }
        /* The package the build sealed holds exactly these records. */
        pristine = ReadBytes(ExeDir() + "integrity\\XSEAL.PKG");
        ASSERT_EQ(pristine, expected);
    }
    void PlacePackage(const std::string &bytes) { ASSERT_TRUE(WriteBytes(ExeDir() + "XSEAL.PKG", bytes)); }
    std::string Dest(int i) { return dest + apszDests[i]; }
    /* Where record i's data begins in the package. */
    size_t DataOffset(int i)
    {
        size_t n = 4;
        for (int k = 0; k < i; k++)
            n += 4 + items[k].size();
        return n;
    }
    /* Items before nFirstUntouched hold their records; from there on each
       destination is as it was: absent, or the old text it was given. */
    void ExpectWrittenBefore(int nFirstUntouched, const std::vector<int> &vOld = {})
    {
        for (int i = 0; i < SEALED_ITEMS; i++) {
            bool bOld = std::find(vOld.begin(), vOld.end(), i) != vOld.end();
            if (bOld)
                EXPECT_EQ(ReadBytes(Dest(i)), Old(i)) << "item " << i;
            else if (i < nFirstUntouched)
                EXPECT_EQ(ReadBytes(Dest(i)), items[i]) << "item " << i;
            else
                EXPECT_FALSE(FileExists(Dest(i))) << "item " << i;
        }
    }
    std::string Old(int i) { return "old " + std::to_string(i); }
    void MakeOld(int i) { ASSERT_TRUE(WriteBytes(Dest(i), Old(i))); }

    std::string dest;
    std::vector<std::string> items;
    std::string pristine;
};

} // namespace

TEST_F(Sealed, MatchingPackageInstallsEveryItem)
{
    ASSERT_NO_FATAL_FAILURE(PlacePackage(pristine));
    ExtractOutcome out = RunExtraction(dest, {}, true);
    EXPECT_EQ(out.nResult, 1);
    EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
    EXPECT_EQ(out.status, "DONE");
    ExpectWrittenBefore(SEALED_ITEMS);
}

/* Data bytes are caught by the record's checksum; a length byte, which
   leaves the package's length as sealed, by the record no longer fitting
   it (a negative length would otherwise read as a failed allocation). */
TEST_F(Sealed, FlippedByteInRecordThreeStopsBeforeItsDestination)
{
    enum { LAST = 1 << 30 };
    struct Case { const char *pszWhere; long nInto; unsigned char bMask; bool bExisting; } cases[] = {
        {"first data byte", 0, 0x01, false},
        {"a middle byte, destination there already", 1000, 0x01, true},
        {"last data byte", LAST, 0x01, false},
        {"length made negative", -1, 0x80, false},
        {"length made longer than the package", -2, 0x01, false},
        {"length made shorter", -4, 0x02, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszWhere);
        dest = ScratchDir("flipped");
        if (c.bExisting) {
            ASSERT_NO_FATAL_FAILURE(MakeOld(3));
        }
        size_t nAt = DataOffset(3) + (c.nInto == LAST ? items[3].size() - 1 : c.nInto);
        ASSERT_NO_FATAL_FAILURE(PlacePackage(FlipByte(pristine, nAt, c.bMask)));
        ExtractOutcome out = RunExtraction(dest, {IDOK}, true);
        ExpectStoppedWith(out, szInvalid);
        ExpectWrittenBefore(3, c.bExisting ? std::vector<int>{3} : std::vector<int>{});
    }
}

/* Item 1 keeps an existing file (rule N): its record is read and dropped,
   and still checked. */
TEST_F(Sealed, SkippedRecordIsCheckedToo)
{
    ASSERT_NO_FATAL_FAILURE(MakeOld(1));
    ASSERT_NO_FATAL_FAILURE(PlacePackage(FlipByte(pristine, DataOffset(1) + 5)));
    ExtractOutcome out = RunExtraction(dest, {IDOK});
    ExpectStoppedWith(out, szInvalid);
    ExpectWrittenBefore(1, {1});

    /* The same skip with the record intact goes on to the end. */
    dest = ScratchDir("skipped");
    ASSERT_NO_FATAL_FAILURE(MakeOld(1));
    ASSERT_NO_FATAL_FAILURE(PlacePackage(pristine));
    out = RunExtraction(dest, {});
    EXPECT_EQ(out.nResult, 1) << BoxTexts(out.boxes);
    ExpectWrittenBefore(SEALED_ITEMS, {1});
}

TEST_F(Sealed, CutOrPaddedPackageTouchesNothing)
{
    struct Case { const char *pszCase; std::string bytes; } cases[] = {
        {"last byte cut", pristine.substr(0, pristine.size() - 1)},
        {"cut inside the first length", pristine.substr(0, 2)},
        {"empty", ""},
        {"one byte added", pristine + std::string(1, '\0')},
        {"a whole record added", pristine + PackageRecord("surplus")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszCase);
        dest = ScratchDir("cut");
        ASSERT_NO_FATAL_FAILURE(MakeOld(0));
        ASSERT_NO_FATAL_FAILURE(PlacePackage(c.bytes));
        ExtractOutcome out = RunExtraction(dest, {IDOK}, true);
        ExpectStoppedWith(out, szInvalid);
        ExpectWrittenBefore(0, {0});
    }
}

/* Run as the destination dialog runs the copy: the sealed length is
   checked before the destination's directories are made. */
TEST_F(Sealed, CutPackageMakesNoDirectory)
{
    ASSERT_NO_FATAL_FAILURE(PlacePackage(pristine.substr(0, pristine.size() - 1)));
    std::string newDest = dest + "new\\deeper\\";
    CopySz(GetDestPath(), 256, newDest.c_str());
    BoxAnswerer answerer({IDOK}, GetCurrentProcessId(), 1500);
    EXPECT_EQ(Unload(NULL), 0);
    std::vector<SeenBox> boxes = answerer.Stop();
    ASSERT_EQ(boxes.size(), 1u) << BoxTexts(boxes);
    ExpectErrorBox(boxes[0], szInvalid);
    EXPECT_FALSE(DirExists(dest + "new"));

    /* The whole package goes on to make them and install. */
    ASSERT_NO_FATAL_FAILURE(PlacePackage(pristine));
    BoxAnswerer none({}, GetCurrentProcessId(), 1500);
    EXPECT_EQ(Unload(NULL), 1);
    EXPECT_TRUE(none.Stop().empty());
    EXPECT_EQ(ReadBytes(newDest + apszDests[4]), items[4]);
}

/* A package packed again after the installer was built, from changed
   items: same length, other bytes. */
TEST_F(Sealed, RebuiltPackageIsRefused)
{
    std::string changed = items[2];
    changed[changed.size() / 2] = (char)~changed[changed.size() / 2];
    std::string reordered, edited;
    for (int i = 0; i < SEALED_ITEMS; i++) {
        reordered += PackageRecord(items[SEALED_ITEMS - 1 - i]);
        edited += PackageRecord(i == 2 ? changed : items[i]);
    }
    ASSERT_EQ(reordered.size(), pristine.size());
    struct Case { const char *pszCase; std::string bytes; int nFirstUntouched; } cases[] = {
        {"item 2 edited", edited, 2},
        {"items in another order", reordered, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszCase);
        dest = ScratchDir("rebuilt");
        ASSERT_NO_FATAL_FAILURE(PlacePackage(c.bytes));
        ExtractOutcome out = RunExtraction(dest, {IDOK});
        ExpectStoppedWith(out, szInvalid);
        ExpectWrittenBefore(c.nFirstUntouched);
    }
}

/* ---- Checksums written by hand ------------------------------------------ */

TEST(HandSums, MatchTheirPackage)
{
    ASSERT_NE(UseManifest("manifest_integrity_hand"), nullptr);
    std::string dest = ScratchDir("hand");
    ASSERT_TRUE(WriteBytes(ExeDir() + "XHAND.PKG", PackageRecord("abc") + PackageRecord("hello")));
    ExtractOutcome out = RunExtraction(dest, {});
    EXPECT_EQ(out.nResult, 1);
    EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
    EXPECT_EQ(ReadBytes(dest + "h0.txt"), "abc");
    EXPECT_EQ(ReadBytes(dest + "h1.txt"), "hello");
}

TEST(HandSums, MismatchShowsTheManifestsOwnText)
{
    ASSERT_NE(UseManifest("manifest_integrity_hand"), nullptr);
    std::string dest = ScratchDir("hand");
    ASSERT_TRUE(WriteBytes(ExeDir() + "XHAND.PKG", PackageRecord("abc") + PackageRecord("hellp")));
    ExtractOutcome out = RunExtraction(dest, {IDOK}, true);
    ExpectStoppedWith(out, "The package is damaged: get a fresh copy of the product.");
    EXPECT_EQ(ReadBytes(dest + "h0.txt"), "abc");
    EXPECT_FALSE(FileExists(dest + "h1.txt"));
}

/* No items: the package's length is still checked. */
TEST(HandSums, NoItemsStillNeedsTheSealedLength)
{
    ASSERT_NE(UseManifest("manifest_integrity_none"), nullptr);
    std::string dest = ScratchDir("none");
    ASSERT_TRUE(WriteBytes(ExeDir() + "XNONE.PKG", ""));
    ExtractOutcome out = RunExtraction(dest, {}, true);
    EXPECT_EQ(out.nResult, 1);
    EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
    EXPECT_EQ(out.status, "DONE");

    ASSERT_TRUE(WriteBytes(ExeDir() + "XNONE.PKG", PackageRecord("x")));
    out = RunExtraction(dest, {IDOK}, true);
    ExpectStoppedWith(out, szInvalid);
}

/* Checksums of a layout this installer does not know cannot vouch for
   any package: refused before anything is written. */
TEST(HandSums, UnknownLayoutIsRefused)
{
    ASSERT_NE(UseManifest("manifest_integrity_later"), nullptr);
    std::string dest = ScratchDir("later");
    ASSERT_TRUE(WriteBytes(ExeDir() + "XLATER.PKG", PackageRecord("abc") + PackageRecord("hello")));
    ExtractOutcome out = RunExtraction(dest, {IDOK});
    ExpectStoppedWith(out, szInvalid);
    EXPECT_FALSE(FileExists(dest + "l0.txt"));
    EXPECT_FALSE(FileExists(dest + "l1.txt"));
}

/* ---- Without checksums ---------------------------------------------------- */

TEST(NoSums, PackageIsTakenAsItIs)
{
    ASSERT_NE(UseManifest("manifest_integrity_plain"), nullptr);
    struct Case { const char *pszCase; std::string bytes; } cases[] = {
        {"a changed byte", PackageRecord("abc") + PackageRecord("hellp")},
        {"a surplus record", PackageRecord("abc") + PackageRecord("hellp") + PackageRecord("more")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszCase);
        std::string dest = ScratchDir("plain");
        ASSERT_TRUE(WriteBytes(ExeDir() + "XPLAIN.PKG", c.bytes));
        ExtractOutcome out = RunExtraction(dest, {});
        EXPECT_EQ(out.nResult, 1);
        EXPECT_TRUE(out.boxes.empty()) << BoxTexts(out.boxes);
        EXPECT_EQ(ReadBytes(dest + "p0.txt"), "abc");
        EXPECT_EQ(ReadBytes(dest + "p1.txt"), "hellp");
    }
}

/* A cut package is found only when the cut record is read: the items
   before it are written, as they always were. */
TEST(NoSums, CutPackageStopsAtTheCutRecord)
{
    ASSERT_NE(UseManifest("manifest_integrity_plain"), nullptr);
    std::string dest = ScratchDir("plain");
    std::string bytes = PackageRecord("abc") + PackageRecord("hello");
    ASSERT_TRUE(WriteBytes(ExeDir() + "XPLAIN.PKG", bytes.substr(0, bytes.size() - 1)));
    ExtractOutcome out = RunExtraction(dest, {IDOK}, true);
    ExpectStoppedWith(out, szInvalid);
    EXPECT_EQ(ReadBytes(dest + "p0.txt"), "abc");
    EXPECT_FALSE(FileExists(dest + "p1.txt"));
}
