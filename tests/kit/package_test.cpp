/* package_test.cpp - walking the records of exact, truncated, surplus and
 * damaged packages, verify's verdict on each against a two-item manifest,
 * and what list prints for them. */
#include <gtest/gtest.h>

#include "kit_lint.h"
#include "kit_testutil.h"

namespace {

/* Record bytes: a 3-byte and a 5-byte item, 16 bytes in all. */
const Bytes vExact = {3, 0, 0, 0, 'a', 'b', 'c', 5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};

Bytes Join(Bytes v, const Bytes &vMore)
{
    v.insert(v.end(), vMore.begin(), vMore.end());
    return v;
}

PackageLayout Walk(const Bytes &v)
{
    WriteBytesTo("t.pkg", v);
    PackageLayout layout;
    std::string strError;
    EXPECT_TRUE(ReadPackageLayout("t.pkg", &layout, &strError)) << strError;
    return layout;
}

struct Rec {
    uint64_t nOffset;
    int32_t lLength;
    uint64_t nPresent;
};

void ExpectRecords(const PackageLayout &layout, const std::vector<Rec> &vWant, const char *pszCase)
{
    ASSERT_EQ(layout.vRecords.size(), vWant.size()) << pszCase;
    for (size_t i = 0; i < vWant.size(); i++) {
        EXPECT_EQ(layout.vRecords[i].nOffset, vWant[i].nOffset) << pszCase << " record " << i;
        EXPECT_EQ(layout.vRecords[i].lLength, vWant[i].lLength) << pszCase << " record " << i;
        EXPECT_EQ(layout.vRecords[i].nPresent, vWant[i].nPresent) << pszCase << " record " << i;
    }
}

TEST(PackageLayout, Walks)
{
    ScratchCwd cwd;
    PackageLayout l = Walk(vExact);
    ExpectRecords(l, {{0, 3, 3}, {7, 5, 5}}, "exact");
    EXPECT_EQ(l.nSize, 16u);
    EXPECT_FALSE(l.fTruncated || l.fBadLength || l.nTrailing);

    l = Walk(Bytes(vExact.begin(), vExact.end() - 2));
    ExpectRecords(l, {{0, 3, 3}, {7, 5, 3}}, "truncated");
    EXPECT_TRUE(l.fTruncated);

    l = Walk(Join(vExact, {9, 0}));
    ExpectRecords(l, {{0, 3, 3}, {7, 5, 5}}, "trailing");
    EXPECT_EQ(l.nTrailing, 2u);
    EXPECT_EQ(l.nTrailingOffset, 16u);

    l = Walk(Join(vExact, {0xff, 0xff, 0xff, 0xff, 1, 2}));
    ExpectRecords(l, {{0, 3, 3}, {7, 5, 5}, {16, -1, 0}}, "negative length");
    EXPECT_TRUE(l.fBadLength);

    l = Walk(Join({0, 0, 0, 0}, {1, 0, 0, 0, 'x'}));
    ExpectRecords(l, {{0, 0, 0}, {4, 1, 1}}, "zero length");
    EXPECT_FALSE(IsSoundRecord(l.vRecords[0]));

    l = Walk({});
    EXPECT_TRUE(l.vRecords.empty());
    EXPECT_EQ(l.nSize, 0u);
}

TEST(PackageLayout, MissingFileIsNamed)
{
    ScratchCwd cwd;
    PackageLayout layout;
    std::string strError;
    EXPECT_FALSE(ReadPackageLayout("absent.pkg", &layout, &strError));
    EXPECT_NE(strError.find("absent.pkg"), std::string::npos) << strError;
}

const Manifest manifestTwoItems = {{98, "T.PKG"}, {999, "2"}, {1000, "%DA.TXT"}, {1001, "%DB.TXT"}};

struct Verdict {
    const char *pszCase;
    Bytes vPackage;
    std::vector<std::pair<unsigned, Severity>> vWant; /* every finding expected */
};

TEST(VerifyPackage, Verdicts)
{
    const Verdict verdicts[] = {
        {"exact", vExact, {}},
        {"one record short", Bytes(vExact.begin(), vExact.begin() + 7), {{1001, SEV_ERROR}}},
        {"empty package", {}, {{1000, SEV_ERROR}}},
        {"second record truncated", Bytes(vExact.begin(), vExact.end() - 1), {{1001, SEV_ERROR}}},
        {"surplus record", Join(vExact, {1, 0, 0, 0, 'z'}), {{999, SEV_WARNING}}},
        {"surplus record truncated", Join(vExact, {4, 0, 0, 0, 'z'}), {{999, SEV_WARNING}, {999, SEV_WARNING}}},
        {"trailing bytes after the items", Join(vExact, {7}), {{999, SEV_WARNING}}},
        {"trailing bytes instead of a record", Join(Bytes(vExact.begin(), vExact.begin() + 7), {5, 0}),
         {{999, SEV_ERROR}, {1001, SEV_ERROR}}},
        {"negative length", Join(Bytes(vExact.begin(), vExact.begin() + 7), {0xfe, 0xff, 0xff, 0xff}),
         {{1001, SEV_ERROR}}},
        {"zero-length record", Join({0, 0, 0, 0}, {1, 0, 0, 0, 'x'}), {{1000, SEV_ERROR}}},
    };
    for (const Verdict &v : verdicts) {
        ScratchCwd cwd;
        std::vector<Finding> vFound;
        VerifyPackage(manifestTwoItems, Walk(v.vPackage), &vFound);
        SortFindings(&vFound);
        std::string strSeen;
        for (const Finding &f : vFound)
            strSeen += "\n    " + FormatFinding(f);
        ASSERT_EQ(vFound.size(), v.vWant.size()) << v.pszCase << strSeen;
        for (size_t i = 0; i < vFound.size(); i++) {
            EXPECT_EQ(vFound[i].uId, v.vWant[i].first) << v.pszCase << strSeen;
            EXPECT_EQ(vFound[i].severity, v.vWant[i].second) << v.pszCase << strSeen;
        }
    }
}

/* Records the 32-bit installer may not hold on 32-bit Windows are warned
   about by size alone (the layouts stand for packages of several GB). */
TEST(VerifyPackage, ItemsOverOneGibAreWarnedAbout)
{
    const struct { int32_t lFirst, lSecond; std::vector<unsigned> vWarned; } cases[] = {
        {1073741824, 5, {}},
        {1073741825, 5, {1000}},
        {3, 2147483647, {1001}},
        {1992294400, 1073741825, {1000, 1001}},
    };
    for (const auto &c : cases) {
        PackageLayout layout;
        layout.vRecords = {{0, c.lFirst, (uint64_t)c.lFirst}, {4 + (uint64_t)c.lFirst, c.lSecond, (uint64_t)c.lSecond}};
        std::vector<Finding> vFound;
        VerifyPackage(manifestTwoItems, layout, &vFound);
        std::vector<unsigned> vWarned;
        for (const Finding &f : vFound) {
            EXPECT_EQ(f.severity, SEV_WARNING) << FormatFinding(f);
            EXPECT_NE(f.strMessage.find("1073741824 (1 GiB)"), std::string::npos) << FormatFinding(f);
            vWarned.push_back(f.uId);
        }
        EXPECT_EQ(vWarned, c.vWarned) << c.lFirst << " " << c.lSecond;
    }
}

TEST(ListTool, RowsAndDamage)
{
    ScratchCwd cwd;
    WriteBytesTo("ok.pkg", vExact);
    ToolRun run = RunTool("list ok.pkg");
    EXPECT_EQ(run.nExit, 0) << run.strOut;
    EXPECT_EQ(run.strOut, "index  offset  length  note\n"
                          "    0       0       3\n"
                          "    1       7       5\n"
                          "ok.pkg: 2 records, 16 bytes\n");

    WriteBytesTo("cut.pkg", Join(vExact, {10, 0, 0, 0, 'x', 'y', 'z'}));
    run = RunTool("list cut.pkg");
    EXPECT_EQ(run.nExit, 1) << run.strOut;
    EXPECT_NE(run.strOut.find("    2      16      10  truncated: 3 of 10 bytes\n"), std::string::npos) << run.strOut;

    WriteBytesTo("tail.pkg", Join(vExact, {1, 2, 3}));
    run = RunTool("list tail.pkg");
    EXPECT_EQ(run.nExit, 1) << run.strOut;
    EXPECT_NE(run.strOut.find("tail.pkg: 3 trailing bytes at offset 16"), std::string::npos) << run.strOut;

    run = RunTool("list nothere.pkg");
    EXPECT_EQ(run.nExit, 1);
    EXPECT_NE(run.strOut.find("nothere.pkg"), std::string::npos) << run.strOut;
}

TEST(ListTool, WithTheSampleInstaller)
{
    ScratchCwd cwd;
    /* Three records for the sample's three items, then one surplus. */
    WriteBytesTo("s.pkg", Join(vExact, {1, 0, 0, 0, 'x', 1, 0, 0, 0, 'y'}));
    ToolRun run = RunTool(std::string("list s.pkg ") + KIT_WIN64_EXE);
    EXPECT_EQ(run.nExit, 0) << run.strOut;
    EXPECT_NE(run.strOut.find("    1       7       5  %DDOCS\\GUIDE.TXT       User Guide   19980909"),
              std::string::npos) << run.strOut;
    size_t nRow = run.strOut.find("\n    3      21       1  ");
    ASSERT_NE(nRow, std::string::npos) << run.strOut;
    std::string strRow = run.strOut.substr(nRow + 1, run.strOut.find('\n', nRow + 1) - nRow - 1);
    /* No manifest item for the surplus record: blanks up to the note. */
    const std::string strNote = "surplus: never read";
    ASSERT_GT(strRow.size(), strNote.size() + 21) << strRow;
    EXPECT_EQ(strRow.substr(strRow.size() - strNote.size()), strNote) << strRow;
    EXPECT_EQ(strRow.find_first_not_of(' ', 21), strRow.size() - strNote.size()) << strRow;
}

} // namespace
