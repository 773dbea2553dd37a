/* logic_integrity.cpp - the package checksums: CRC-32 and the resource that
 * carries one per record.  The authoring tool writes the resource and the
 * installer reads it, both through this one implementation. */
#include "logic.h"

#include <string.h>

/* Eight tables of 256 entries let the loop take eight bytes per step
   ("slicing by 8"); the install reads every record through here, so this
   is several times the speed of the one-table loop.  Table k gives the
   CRC contribution of a byte followed by k zero bytes.  Built at compile
   time, so there is no first-use set-up. */
struct CrcTables {
    uint32_t a[8][256];
};

static constexpr CrcTables MakeCrcTables()
{
    CrcTables t{};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t.a[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; n++)
        for (int k = 1; k < 8; k++)
            t.a[k][n] = (t.a[k - 1][n] >> 8) ^ t.a[0][t.a[k - 1][n] & 0xFF];
    return t;
}

static constexpr CrcTables crcTables = MakeCrcTables();

/* Four bytes as a little-endian word, whatever the machine's byte order
   (compilers turn this into one load where that is the same). */
static uint32_t GetLe32(const unsigned char *pb)
{
    return (uint32_t)pb[0] | ((uint32_t)pb[1] << 8) | ((uint32_t)pb[2] << 16) | ((uint32_t)pb[3] << 24);
}

static void PutLe32(unsigned char *pb, uint32_t u)
{
    for (int i = 0; i < 4; i++)
        pb[i] = (unsigned char)(u >> (8 * i));
}

uint32_t Crc32Update(uint32_t uCrc, const void *pv, size_t cb)
{
    const uint32_t(*T)[256] = crcTables.a;
    const unsigned char *pb = (const unsigned char *)pv;
    uint32_t c = ~uCrc;
    for (; cb >= 8; cb -= 8, pb += 8) {
        uint32_t uLow = c ^ GetLe32(pb);
        uint32_t uHigh = GetLe32(pb + 4);
        c = T[7][uLow & 0xFF] ^ T[6][(uLow >> 8) & 0xFF] ^ T[5][(uLow >> 16) & 0xFF] ^ T[4][uLow >> 24] ^
            T[3][uHigh & 0xFF] ^ T[2][(uHigh >> 8) & 0xFF] ^ T[1][(uHigh >> 16) & 0xFF] ^ T[0][uHigh >> 24];
    }
    for (; cb > 0; cb--, pb++)
        c = T[0][(c ^ *pb) & 0xFF] ^ (c >> 8);
    return ~c;
}

static const unsigned char abSumsMagic[4] = {'Q', 'S', 'U', 'M'};

uint64_t PackageSumsSize(uint32_t uCount)
{
    return SUMS_HEADER_SIZE + (uint64_t)uCount * SUMS_ENTRY_SIZE;
}

size_t EncodePackageSums(uint32_t uCount, uint64_t uTotal, const uint32_t *puCrcs,
                         unsigned char *pbOut, size_t cbOut)
{
    uint64_t cbNeeded = PackageSumsSize(uCount);
    if (cbNeeded > cbOut)
        return 0;
    memcpy(pbOut + SUMS_OFF_MAGIC, abSumsMagic, sizeof(abSumsMagic));
    PutLe32(pbOut + SUMS_OFF_VERSION, SUMS_VERSION);
    PutLe32(pbOut + SUMS_OFF_KIND, SUMS_KIND_CRC32);
    PutLe32(pbOut + SUMS_OFF_COUNT, uCount);
    PutLe32(pbOut + SUMS_OFF_TOTAL, (uint32_t)uTotal);
    PutLe32(pbOut + SUMS_OFF_TOTAL + 4, (uint32_t)(uTotal >> 32));
    for (uint32_t i = 0; i < uCount; i++)
        PutLe32(pbOut + SUMS_HEADER_SIZE + (size_t)i * SUMS_ENTRY_SIZE, puCrcs[i]);
    return (size_t)cbNeeded;
}

int DecodePackageSums(const void *pv, size_t cb, PackageSums *pSums)
{
    const unsigned char *pb = (const unsigned char *)pv;
    if (pb == NULL || cb < SUMS_HEADER_SIZE || memcmp(pb + SUMS_OFF_MAGIC, abSumsMagic, sizeof(abSumsMagic)) != 0)
        return 0;
    /* A later layout or another kind of checksum is not one this program
       can check; taking it for CRC-32 would refuse every good package. */
    if (GetLe32(pb + SUMS_OFF_VERSION) != SUMS_VERSION || GetLe32(pb + SUMS_OFF_KIND) != SUMS_KIND_CRC32)
        return 0;
    uint32_t uCount = GetLe32(pb + SUMS_OFF_COUNT);
    if (PackageSumsSize(uCount) != (uint64_t)cb)
        return 0;
    pSums->uCount = uCount;
    pSums->uTotal = (uint64_t)GetLe32(pb + SUMS_OFF_TOTAL) | ((uint64_t)GetLe32(pb + SUMS_OFF_TOTAL + 4) << 32);
    pSums->pbSums = pb + SUMS_HEADER_SIZE;
    return 1;
}

uint32_t GetRecordSum(const PackageSums *pSums, uint32_t uRecord)
{
    return GetLe32(pSums->pbSums + (size_t)uRecord * SUMS_ENTRY_SIZE);
}

int CheckRecordSum(const PackageSums *pSums, uint32_t uRecord, const void *pv, size_t cb)
{
    if (uRecord >= pSums->uCount)
        return 0;
    return Crc32Update(0, pv, cb) == GetRecordSum(pSums, uRecord);
}
