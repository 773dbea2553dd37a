/* Package checksums: CRC-32 against published check values and a
 * bit-at-a-time reference, and the byte layout of the checksum resource. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic.h"

namespace {

typedef std::vector<unsigned char> Bytes;

uint32_t Crc(const std::string &s)
{
    return Crc32Update(0, s.data(), s.size());
}

/* CRC-32 one bit at a time, straight from its definition (reflected,
   polynomial 0xEDB88320, all-ones start and final inversion). */
uint32_t CrcBitwise(const unsigned char *pb, size_t cb)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < cb; i++) {
        c ^= pb[i];
        for (int k = 0; k < 8; k++)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

} // namespace

TEST(Crc32, CheckValues)
{
    struct Case { std::string text; uint32_t uCrc; } cases[] = {
        {"", 0x00000000u},
        {"a", 0xE8B7BE43u},
        {"abc", 0x352441C2u},
        {"hello", 0x3610A686u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
        {std::string(4096, '\0'), 0xC71C0011u},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Crc(c.text), c.uCrc) << "\"" << c.text.substr(0, 20) << "\" (" << c.text.size() << " bytes)";
    std::string ramp;
    for (int i = 0; i < 1024; i++)
        ramp += (char)(i & 0xFF);
    EXPECT_EQ(Crc(ramp), 0xB70B4C26u);
}

/* Every length and start offset around the eight-byte steps, so that each
   table and the tail loop are exercised against the reference. */
TEST(Crc32, AgreesWithTheBitwiseDefinition)
{
    Bytes v(300);
    uint32_t uSeed = 12345;
    for (unsigned char &b : v) {
        uSeed = uSeed * 1103515245u + 12345u;
        b = (unsigned char)(uSeed >> 16);
    }
    for (size_t nStart = 0; nStart < 9; nStart++)
        for (size_t cb = 0; nStart + cb <= v.size(); cb += (cb < 40 ? 1 : 29))
            ASSERT_EQ(Crc32Update(0, v.data() + nStart, cb), CrcBitwise(v.data() + nStart, cb))
                << "start " << nStart << ", " << cb << " bytes";
}

TEST(Crc32, ContinuesAcrossPieces)
{
    const std::string s = "The quick brown fox jumps over the lazy dog";
    for (size_t nSplit = 0; nSplit <= s.size(); nSplit++) {
        uint32_t u = Crc32Update(0, s.data(), nSplit);
        u = Crc32Update(u, s.data() + nSplit, s.size() - nSplit);
        EXPECT_EQ(u, 0x414FA339u) << "split at " << nSplit;
    }
}

namespace {

/* The resource for the records "abc" and "hello": 16 package bytes. */
const Bytes vTwoRecords = {
    'Q', 'S', 'U', 'M', 1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
    16, 0, 0, 0, 0, 0, 0, 0,
    0xC2, 0x41, 0x24, 0x35, 0x86, 0xA6, 0x10, 0x36,
};

Bytes Encode(uint32_t uCount, uint64_t uTotal, const std::vector<uint32_t> &vCrcs)
{
    Bytes v(64, 0xEE);
    size_t cb = EncodePackageSums(uCount, uTotal, vCrcs.data(), v.data(), v.size());
    v.resize(cb);
    return v;
}

} // namespace

TEST(PackageSums, Layout)
{
    EXPECT_EQ(Encode(2, 16, {0x352441C2u, 0x3610A686u}), vTwoRecords);
    /* No records: the header alone; a length beyond 32 bits keeps its
       high half. */
    EXPECT_EQ(Encode(0, 0x123456789ull, {}),
              (Bytes{'Q', 'S', 'U', 'M', 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                     0x89, 0x67, 0x45, 0x23, 0x01, 0, 0, 0}));
    EXPECT_EQ(PackageSumsSize(0), 24u);
    EXPECT_EQ(PackageSumsSize(400), 1624u);
    /* A count whose size would pass 32 bits is still measured exactly. */
    EXPECT_EQ(PackageSumsSize(0xFFFFFFFFu), 24u + 4ull * 0xFFFFFFFFu);
}

TEST(PackageSums, TooSmallABufferIsLeftAlone)
{
    uint32_t auCrcs[2] = {1, 2};
    Bytes v(31, 0xEE);
    EXPECT_EQ(EncodePackageSums(2, 16, auCrcs, v.data(), v.size()), 0u);
    EXPECT_EQ(v, Bytes(31, 0xEE));
}

TEST(PackageSums, DecodeAcceptsOnlyTheWholeLayout)
{
    PackageSums sums = {};
    ASSERT_EQ(DecodePackageSums(vTwoRecords.data(), vTwoRecords.size(), &sums), 1);
    EXPECT_EQ(sums.uCount, 2u);
    EXPECT_EQ(sums.uTotal, 16u);
    EXPECT_EQ(sums.pbSums, vTwoRecords.data() + 24);

    struct Case { const char *pszCase; size_t nAt; int nValue; int nResize; } cases[] = {
        {"magic in lower case", 0, 'q', 0},
        {"last magic letter", 3, 'N', 0},
        {"version 2", 4, 2, 0},
        {"version in a high byte", 7, 1, 0},
        {"another checksum kind", 8, 2, 0},
        {"count one too many", 12, 3, 0},
        {"count one too few", 12, 1, 0},
        {"a byte more than the count needs", 0, -1, 1},
        {"a byte less", 0, -1, -1},
    };
    for (const Case &c : cases) {
        Bytes v = vTwoRecords;
        if (c.nValue >= 0)
            v[c.nAt] = (unsigned char)c.nValue;
        v.resize(v.size() + c.nResize, 0);
        EXPECT_EQ(DecodePackageSums(v.data(), v.size(), &sums), 0) << c.pszCase;
    }
    EXPECT_EQ(DecodePackageSums(vTwoRecords.data(), 23, &sums), 0) << "header cut short";
    EXPECT_EQ(DecodePackageSums(nullptr, 0, &sums), 0);
}

TEST(PackageSums, CheckRecordSum)
{
    PackageSums sums = {};
    ASSERT_EQ(DecodePackageSums(vTwoRecords.data(), vTwoRecords.size(), &sums), 1);
    struct Case { uint32_t uRecord; std::string data; int fOk; } cases[] = {
        {0, "abc", 1},
        {1, "hello", 1},
        {0, "abd", 0},
        {0, "ab", 0},
        {1, "abc", 0},
        {0, "hello", 0},
        {2, "", 0},         /* no checksum for a third record */
        {2, "abc", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CheckRecordSum(&sums, c.uRecord, c.data.data(), c.data.size()), c.fOk)
            << "record " << c.uRecord << " \"" << c.data << "\"";
}
